# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu, with its C library in libc6-dev-arm64-cross):
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux.cmake
#
# builds the kernels, the stand-in host and the tests for aarch64, which CTest
# runs under qemu-aarch64 (Debian: qemu-user or qemu-user-static) with the
# cross packages' folder as the programs' root for the dynamic loader and the
# libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(zel_target aarch64-linux-gnu)
find_program(CMAKE_C_COMPILER NAMES ${zel_target}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${zel_target}-g++ REQUIRED)

set(ZEL_SYSROOT /usr/${zel_target} CACHE PATH "The target's libraries, as Debian's cross packages install them")
set(CMAKE_FIND_ROOT_PATH ${ZEL_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ZEL_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(ZEL_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEL_QEMU} -L ${ZEL_SYSROOT})
endif()
