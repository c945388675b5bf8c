#!/usr/bin/env bash
# The .mexw64 files as Windows' loader sees them, from objdump -p of each:
# exactly the two exports; the host operations of MATLAB's 7.3 interface
# that the kernel uses imported by name from libmx.dll and libmex.dll and
# nothing else from them; no DLL but those two, KERNEL32.dll and msvcrt.dll
# (the compiler's run time is linked in); atan imported from msvcrt.dll by
# the orientation map alone, pow and sin linked in; and an unwind table
# entry covering mexFunction, so that a host's C++ exception unwinds
# through it.
#   mexw64_abi_check.sh OBJDUMP MEX_DIR KERNEL...
set -uo pipefail
objdump=$1 mex_dir=$2
shift 2

failures=0
fail() { echo "FAILED $kernel: $*"; failures=$((failures + 1)); }
# Sorted, one per line, for comparing sets.
set_of() { printf '%s\n' "$@" | sort; }
expect_set() {  # what, expected (newline list), found (newline list)
  [ "$2" = "$3" ] || fail "$1: expected
$(echo "$2" | sed 's/^/    /')
  found
$(echo "$3" | sed 's/^/    /')"
}

for kernel in "$@"; do
  file=$mex_dir/$kernel.mexw64
  if ! dump=$("$objdump" -p "$file" 2>&1); then
    fail "cannot read $file: $dump"
    continue
  fi

  exports=$(echo "$dump" | awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
                                on && /^\t\[/ {print $NF; next}
                                on {on = 0}' | sort)
  expect_set "exports" "$(set_of mexFunction mexfilerequiredapiversion)" "$exports"

  # "DLL function" per import.
  imports=$(echo "$dump" | awk '/^\tDLL Name: / {dll = $3; next}
                                dll && /^\t[0-9a-f]+\t/ {print dll, $NF; next}
                                /^$/ {dll = ""}')
  dlls=$(echo "$dump" | awk '/^\tDLL Name: / {print $3}' | sort)
  expect_set "DLLs" "$(set_of KERNEL32.dll msvcrt.dll libmx.dll libmex.dll)" "$dlls"

  # What each kernel uses of the host, as the Linux suite lists it
  # (tests/kernel_support.cpp): the maps make double outputs; the filter
  # bank makes stacks of either class, which it writes whole, and, with few
  # orientations, a working array that it destroys; the index maps make
  # uint16 maps, which they write whole.
  inquiry=(mxGetDimensions_730 mxGetNumberOfDimensions_730 mxGetData mxGetNumberOfElements mxGetClassID
           mxIsComplex mxIsSparse)
  case $kernel in
    ZELgetResponseStack)
      mx=("${inquiry[@]}" mxCreateUninitNumericArray_730 mxCreateNumericArray_730 mxDestroyArray)
      mex=(mexErrMsgIdAndTxt mexErrMsgTxt mexWarnMsgIdAndTxt) ;;
    ZELgetIndexMaps)
      mx=("${inquiry[@]}" mxCreateUninitNumericArray_730)
      mex=(mexErrMsgIdAndTxt mexErrMsgTxt mexWarnMsgIdAndTxt) ;;
    *)
      mx=("${inquiry[@]}" mxCreateDoubleMatrix_730 mxGetPr)
      mex=(mexErrMsgIdAndTxt mexErrMsgTxt mexWarnMsgIdAndTxt) ;;
  esac
  expect_set "imports from libmx.dll" "$(set_of "${mx[@]}")" \
    "$(echo "$imports" | awk '$1 == "libmx.dll" {print $2}' | sort)"
  expect_set "imports from libmex.dll" "$(set_of "${mex[@]}")" \
    "$(echo "$imports" | awk '$1 == "libmex.dll" {print $2}' | sort)"

  math=""
  [ "$kernel" = ZELgetOrientationMap ] && math="msvcrt.dll atan"
  expect_set "math functions imported" "$math" \
    "$(echo "$imports" | awk '$2 == "pow" || $2 == "atan" || $2 == "sin"' | sort)"

  base=$(echo "$dump" | awk '$1 == "ImageBase" {print $2}')
  rva=$(echo "$dump" | awk '/^Export Address Table -- / {on = 1; next}
                            on && /^\t\[   0\]/ {print $(NF - 2); exit}')
  if [[ ! $base =~ ^[0-9a-f]+$ || ! $rva =~ ^[0-9a-f]+$ ]]; then
    fail "no image base or entry address found"
    continue
  fi
  entry=$((16#$base + 16#$rva))
  covered=no
  while read -r begin end; do
    if [ $((16#$begin)) -le $entry ] && [ $entry -lt $((16#$end)) ]; then covered=yes; fi
  done < <(echo "$dump" | awk '/^The Function Table/ {on = 1; next}
                               on && /^ [0-9a-f]+:/ {print $2, $3; next}
                               on && /^$/ {exit}' | grep -E '^[0-9a-f]+ [0-9a-f]+$')
  [ "$covered" = yes ] || fail "no unwind table entry covers mexFunction (RVA $rva)"
  echo "$kernel: $(echo "$exports" | tr '\n' ' ')exported; imports from $(echo "$dlls" | tr '\n' ' ')"
done

if [ $# -eq 0 ]; then echo "no MEX file named"; exit 1; fi
[ $failures -eq 0 ] || { echo "$failures failed checks"; exit 1; }
