# cmake -DSOURCE_DIR=<repository> "-DKERNELS=<names>" "-DLANE_KERNELS=<names>" -P check_kernel_list.cmake
#
# The kernel list (kernels/kernels.txt, as the build read it into KERNELS)
# against the sources: every kernels/*.cpp gateway is listed, every listed
# name has its gateway and help file, and no name is listed twice. Then the
# lane copies: a kernel of LANE_KERNELS (built again with the lanes capped)
# must pick a lane width, and any other kernel must not, or its capped copy
# would be missing where the lanes differ.
cmake_minimum_required(VERSION 3.21)
set(failures "")

file(GLOB gateways RELATIVE ${SOURCE_DIR}/kernels ${SOURCE_DIR}/kernels/*.cpp)
set(sources "")
foreach(file IN LISTS gateways)
  string(REGEX REPLACE "\\.cpp$" "" name ${file})
  list(APPEND sources ${name})
  if(NOT name IN_LIST KERNELS)
    string(APPEND failures "kernels/${file} is not in kernels/kernels.txt\n")
  endif()
endforeach()
set(seen "")
foreach(name IN LISTS KERNELS)
  if(name IN_LIST seen)
    string(APPEND failures "${name} is listed twice in kernels/kernels.txt\n")
  endif()
  list(APPEND seen ${name})
  if(NOT name IN_LIST sources)
    string(APPEND failures "${name} is listed in kernels/kernels.txt, but kernels/${name}.cpp does not exist\n")
  endif()
  if(NOT EXISTS ${SOURCE_DIR}/matlab/${name}.m)
    string(APPEND failures "${name} is listed in kernels/kernels.txt, but its help file matlab/${name}.m does not exist\n")
  endif()
endforeach()
foreach(name IN LISTS LANE_KERNELS)
  if(NOT name IN_LIST KERNELS)
    string(APPEND failures "${name} has lane copies but is not in kernels/kernels.txt\n")
  endif()
endforeach()

# A kernel computes in lanes when its gateway picks a lane width
# (compute_with_widest_lanes from common/lanes.h): only then does capping
# the width change its code, and only then are lane objects built for it. Including lanes.h alone, for a helper of scalar code,
# leaves the capped copies the same to the byte.
foreach(name IN LISTS KERNELS)
  if(NOT EXISTS ${SOURCE_DIR}/kernels/${name}.cpp)
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/kernels/${name}.cpp picks_width REGEX "compute_with_widest_lanes")
  if(picks_width AND NOT name IN_LIST LANE_KERNELS)
    string(APPEND failures "${name} computes in lanes (compute_with_widest_lanes) but is not in ZEL_LANE_KERNELS "
      "(CMakeLists.txt): its capped lane widths are never built or tested\n")
  elseif(NOT picks_width AND name IN_LIST LANE_KERNELS)
    string(APPEND failures "${name} is in ZEL_LANE_KERNELS but picks no lane width: "
      "its capped copies are the same to the byte as its build\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
list(LENGTH KERNELS count)
message(STATUS "${count} kernels listed, each with its gateway and help file; lane copies for ${LANE_KERNELS}")
