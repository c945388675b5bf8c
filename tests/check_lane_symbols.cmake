# cmake -DNM=<nm> "-DOBJECTS=<object>..." -P check_lane_symbols.cmake
#
# Each lane object of a kernel is compiled for its own instruction set. The
# only code it may share with the other objects of the MEX file is its
# compute_in_lanes<width>: a function of the common headers with external
# linkage would be one symbol in several objects, and the linker would keep
# one copy of it, maybe the AVX-512 one, for the two-lane path of a
# processor without AVX-512. Code symbols are T, W and i in nm's listing;
# data symbols (the exception personality's reference, for one) are not code.
cmake_minimum_required(VERSION 3.21)
set(failures "")
set(checked 0)
foreach(object IN LISTS OBJECTS)
  string(REGEX MATCH "_in_lanes([0-9]+)" width_match "${object}")
  set(width ${CMAKE_MATCH_1})
  execute_process(COMMAND ${NM} --defined-only --extern-only ${object}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    string(APPEND failures "${NM} failed on ${object}: ${errors}\n")
    continue()
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(entry_found FALSE)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[0-9a-fA-F]* ([A-Za-z]) (.*)$")
      continue()
    endif()
    set(type ${CMAKE_MATCH_1})
    set(symbol ${CMAKE_MATCH_2})
    if(NOT type MATCHES "^[TWi]$")
      continue()
    endif()
    if(symbol STREQUAL "_ZN3zel16compute_in_lanesILi${width}EEEvPKv")
      set(entry_found TRUE)
    else()
      string(APPEND failures "${object}: code symbol ${symbol} (${type}) leaves a ${width}-lane object\n")
    endif()
  endforeach()
  if(NOT entry_found)
    string(APPEND failures "${object}: no compute_in_lanes<${width}> defined\n")
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "no lane object was given")
endif()
message(STATUS "${checked} lane objects: each shares only its compute_in_lanes")
