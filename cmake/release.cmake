# zel_add_matlab_release(PLATFORM <name> SYSTEM <text> REQUIREMENTS <text>
#                        [FOLDER_EXAMPLE <path>] [NOTE <text>]
#                        MEX_FILES <file>... DEPENDS <target>...)
#
# Makes build/zelmaps-<version>-<platform>.zip, a ready-to-use MATLAB
# release: one folder zelmaps holding the MEX files, their help files, the
# functions written in M code (ZEL_M_FUNCTIONS), Contents.m (what help
# zelmaps shows), functionSignatures.json (argument hints and tab
# completion), the licence and an install text. The archive
# is the same, byte for byte, whenever it is made from the same files.
# FOLDER_EXAMPLE is the path the install text's addpath shows; NOTE, a
# paragraph the install text adds to how the files are checked.
# Sets ZEL_RELEASE_ARCHIVE_<platform> in the caller's scope.
function(zel_add_matlab_release)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "PLATFORM;SYSTEM;REQUIREMENTS;FOLDER_EXAMPLE;NOTE"
                        "MEX_FILES;DEPENDS")
  set(name zelmaps-${PROJECT_VERSION}-${ARG_PLATFORM})
  set(stage ${PROJECT_BINARY_DIR}/release/${ARG_PLATFORM})
  set(archive ${PROJECT_BINARY_DIR}/${name}.zip)

  set(ZEL_RELEASE_SYSTEM "${ARG_SYSTEM}")
  set(ZEL_RELEASE_REQUIREMENTS "${ARG_REQUIREMENTS}")
  set(ZEL_RELEASE_FOLDER_EXAMPLE /full/path/to/zelmaps)
  if(ARG_FOLDER_EXAMPLE)
    set(ZEL_RELEASE_FOLDER_EXAMPLE "${ARG_FOLDER_EXAMPLE}")
  endif()
  set(ZEL_RELEASE_NOTE "")
  if(ARG_NOTE)
    set(ZEL_RELEASE_NOTE "\n${ARG_NOTE}\n")
  endif()
  set(install_text ${CMAKE_CURRENT_BINARY_DIR}/INSTALL-${ARG_PLATFORM}.txt)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/matlab-install.txt.in ${install_text} @ONLY)

  set(front_matter ${PROJECT_SOURCE_DIR}/matlab/Contents.m ${PROJECT_SOURCE_DIR}/matlab/functionSignatures.json
      ${PROJECT_SOURCE_DIR}/LICENSE)
  set(members zelmaps/Contents.m zelmaps/functionSignatures.json zelmaps/LICENSE zelmaps/INSTALL.txt)
  set(help_files)
  foreach(name IN LISTS ZEL_KERNELS ZEL_M_FUNCTIONS)
    list(APPEND help_files ${PROJECT_SOURCE_DIR}/matlab/${name}.m)
    list(APPEND members zelmaps/${name}.m)
  endforeach()
  foreach(file IN LISTS ARG_MEX_FILES)
    get_filename_component(file_name ${file} NAME)
    list(APPEND members zelmaps/${file_name})
  endforeach()
  list(SORT members)

  add_custom_command(
    OUTPUT ${archive}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/zelmaps
    COMMAND ${CMAKE_COMMAND} -E copy ${ARG_MEX_FILES} ${help_files} ${front_matter} ${stage}/zelmaps
    COMMAND ${CMAKE_COMMAND} -E copy ${install_text} ${stage}/zelmaps/INSTALL.txt
    COMMAND ${CMAKE_COMMAND} -E rm -f ${archive}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
            ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip --mtime=${ZEL_RELEASE_DATE} -- ${members}
    DEPENDS ${ARG_MEX_FILES} ${ARG_DEPENDS} ${help_files} ${front_matter} ${install_text}
    COMMENT "Making the MATLAB release ${name}.zip"
    VERBATIM)
  add_custom_target(matlab_release_${ARG_PLATFORM} ALL DEPENDS ${archive})
  set(ZEL_RELEASE_ARCHIVE_${ARG_PLATFORM} ${archive} PARENT_SCOPE)
endfunction()
