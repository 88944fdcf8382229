#!/bin/bash
# Checks a built Linux VST 3 module: it exports exactly the three entry points, and it needs
# no library a Debian user would not already have (libxcb and its shared-memory extension for
# the editor in the host's X11 window).
#   check_module.sh <path/Name.so>
set -u
so=$1
fail=0
exports=$(nm -D --defined-only "$so" | awk '{print $3}' | sort | tr '\n' ' ')
if [ "$exports" != "GetPluginFactory ModuleEntry ModuleExit " ]; then
  echo "FAIL: exported symbols are: $exports"
  fail=1
fi
allowed='^(libc|libm|libdl|libpthread|ld-linux-x86-64|libstdc\+\+|libgcc_s|libpng16|libz|libfreetype|libfontconfig|libexpat|libxcb|libxcb-shm)\.so'
while read -r lib; do
  if ! [[ $lib =~ $allowed ]]; then
    echo "FAIL: unexpected dependency $lib"
    fail=1
  fi
done < <(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if [ $fail = 0 ]; then
  echo "OK: exports $exports; needs $(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
fi
exit $fail
