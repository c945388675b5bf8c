# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64):
#
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# builds the kernels as NAME.mexw64, the stand-in host as libmx.dll and
# libmex.dll, and the tests as Windows programs, which CTest runs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(zel_mingw x86_64-w64-mingw32)
# The posix thread model: the tests use std::thread and std::mutex, which the
# win32 model of GCC 12 lacks. Every binary links the compiler's run time
# statically, so no DLL of it (libgcc, libstdc++, winpthread) is needed.
find_program(CMAKE_C_COMPILER NAMES ${zel_mingw}-gcc-posix ${zel_mingw}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${zel_mingw}-g++-posix ${zel_mingw}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${zel_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${zel_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs the Windows programs: Debian keeps its 64-bit loader in
# /usr/lib/wine. The build adds the environment it runs them in.
find_program(ZEL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(ZEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEL_WINE})
endif()
