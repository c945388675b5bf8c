# Unpacks a MATLAB release archive into a scratch folder as a user would and
# checks what it holds:
#   cmake -DARCHIVE=<zip> -DSCRATCH=<dir> -DSOURCE_DIR=<repo> -DVERSION=<x.y.z>
#         -DKERNELS=<name;...> -DFUNCTIONS=<name;...> -DMEX_SUFFIX=<mexa64|mexw64>
#         -P check_release.cmake
# KERNELS are the MEX functions, FUNCTIONS those written in M code.
# The folder SCRATCH/zelmaps is then ready for loading the MEX files.
function(fail)
  message(FATAL_ERROR "release ${ARCHIVE}: ${ARGV}")
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ARCHIVE} WORKING_DIRECTORY ${SCRATCH} RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0)
  fail("cannot be unpacked")
endif()
set(folder ${SCRATCH}/zelmaps)

# Exactly the MEX and help files of every kernel, the M functions and the
# front matter.
set(expected Contents.m INSTALL.txt LICENSE functionSignatures.json)
foreach(kernel IN LISTS KERNELS)
  list(APPEND expected ${kernel}.m ${kernel}.${MEX_SUFFIX})
endforeach()
foreach(function IN LISTS FUNCTIONS)
  list(APPEND expected ${function}.m)
endforeach()
file(GLOB_RECURSE found RELATIVE ${SCRATCH} ${SCRATCH}/*)
list(TRANSFORM expected PREPEND zelmaps/)
list(SORT expected)
list(SORT found)
if(NOT found STREQUAL expected)
  fail("holds ${found}, not ${expected}")
endif()

file(READ ${SOURCE_DIR}/LICENSE licence)
file(READ ${folder}/LICENSE released_licence)
if(NOT licence STREQUAL released_licence)
  fail("LICENSE is not the project's")
endif()

# functionSignatures.json parses, and names every function with its inputs.
file(READ ${folder}/functionSignatures.json signatures)
# The inputs of a kernel are those of its longest usage line (a line of the
# help's head, "%   outputs = NAME(inputs)"): the last ones add the optional
# inputs.
foreach(kernel IN LISTS KERNELS)
  file(STRINGS ${SOURCE_DIR}/matlab/${kernel}.m usages REGEX "^%   [^ ][^%]*= ${kernel}\\([^%]*\\)$")
  set(input_count 0)
  foreach(usage IN LISTS usages)
    string(REGEX MATCH "\\((.*)\\)" arguments "${usage}")
    string(REPLACE "," ";" arguments "${CMAKE_MATCH_1}")
    list(LENGTH arguments count)
    if(count GREATER input_count)
      set(input_count ${count})
    endif()
  endforeach()
  string(JSON described ERROR_VARIABLE error LENGTH "${signatures}" ${kernel} inputs)
  if(error)
    fail("functionSignatures.json: ${error}")
  endif()
  if(NOT described EQUAL input_count)
    fail("functionSignatures.json gives ${kernel} ${described} inputs, its help ${input_count}")
  endif()
endforeach()
# The M functions take optional inputs and options: each is described.
foreach(function IN LISTS FUNCTIONS)
  string(JSON described ERROR_VARIABLE error LENGTH "${signatures}" ${function} inputs)
  if(error OR described EQUAL 0)
    fail("functionSignatures.json describes no inputs of ${function}: ${error}")
  endif()
endforeach()

# Contents.m: this version, and every function with the first line of its help.
file(READ ${folder}/Contents.m contents)
if(NOT contents MATCHES "\n% Version ${VERSION} ")
  fail("Contents.m does not give version ${VERSION}")
endif()
foreach(kernel IN LISTS KERNELS FUNCTIONS)
  file(STRINGS ${SOURCE_DIR}/matlab/${kernel}.m h1 REGEX "^%${kernel}  " LIMIT_COUNT 1)
  string(REGEX REPLACE "^%${kernel}  " "" summary "${h1}")
  string(FIND "${contents}" "${summary}" at)
  if(at EQUAL -1 OR NOT contents MATCHES "%   ${kernel} +- ")
    fail("Contents.m does not list ${kernel} with \"${summary}\"")
  endif()
endforeach()
message(STATUS "release ${ARCHIVE}: unpacked into ${folder}, contents checked")
