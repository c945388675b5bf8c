#!/usr/bin/env bash
# Runs the Linux half of the cross-platform check, from the Linux build.
#   linux_half.sh PROGRAM ARGUMENT...
program=$1
shift
if [ ! -x "$program" ]; then
  echo "$program is not built: build the Linux tree first (cmake --build build)," \
       "or point ZEL_LINUX_BUILD_DIR at one" >&2
  exit 1
fi
exec "$program" "$@"
