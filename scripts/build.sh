#!/usr/bin/env bash
# Configures and builds one configuration into <build root>/<config> (default build/<config>).
#
#   bash scripts/build.sh CONFIG [--configure-only] [cmake --build options, e.g. --target util_tests]
#
#   native   g++, RelWithDebInfo, unit tests, tools and the benchmark programs (built, so that
#            they keep compiling; their figures come from the bench configuration)
#   asan     g++, AddressSanitizer + UndefinedBehaviorSanitizer, unit tests
#   tsan     g++, ThreadSanitizer; builds only the tests whose name contains "tsan"
#   windows  mingw-w64 cross build for Windows x64 (needs scripts/setup.sh first), Release
#   fuzz     clang, libFuzzer targets under ASan/UBSan (nothing to do until fuzz/ exists)
#   bench    g++, Release, Google Benchmark programs in bench/
#   gnustep  g++ against GNUstep's AppKit: the macOS view host, its tests and the macOS bundle
#            (built as on macOS: fonts from the font files, FreeType and libpng from source)
#
# CC/CXX in the environment override the compiler of the Linux configurations.
set -euo pipefail
. "$(dirname "$0")/common.sh"

config=${1:-}
[ -n "$config" ] || { sed -n '2,14p' "$0"; exit 2; }
shift
configure_only=0
build_args=()
for a in "$@"; do
  if [ "$a" = --configure-only ]; then configure_only=1; else build_args+=("$a"); fi
done

dir=$VX_BUILD_ROOT/$config
cc=${CC:-gcc}
cxx=${CXX:-g++}
args=(-G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
case $config in
  native)
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_SANITIZE= -DVX_BUILD_TESTS=ON -DVX_BUILD_BENCH=ON) ;;
  asan)
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DVX_SANITIZE=address,undefined" -DVX_BUILD_TESTS=ON) ;;
  tsan)
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_SANITIZE=thread -DVX_BUILD_TESTS=ON) ;;
  windows)
    [ -f "$VX_DEPS_MINGW/lib/libpng16.a" ] && [ -f "$VX_DEPS_MINGW/lib/libgtest.a" ] \
      || vx_die "windows: mingw libraries missing in $VX_DEPS_MINGW; run 'bash scripts/setup.sh' first"
    args+=(-DCMAKE_TOOLCHAIN_FILE="$VX_TOOLCHAIN" -DCMAKE_FIND_ROOT_PATH="$VX_DEPS_MINGW"
           -DCMAKE_BUILD_TYPE=Release -DVX_SANITIZE= -DVX_BUILD_TESTS=ON) ;;
  fuzz)
    if [ ! -f "$VX_ROOT/fuzz/CMakeLists.txt" ]; then
      echo "fuzz: no fuzz/CMakeLists.txt yet, nothing to build"; exit 0
    fi
    cc=${CC:-clang}; cxx=${CXX:-clang++}
    # fuzz/CMakeLists.txt instruments every library with ASan/UBSan and coverage itself.
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_SANITIZE= -DVX_BUILD_FUZZ=ON
           -DVX_BUILD_TESTS=OFF -DVX_BUILD_TOOLS=OFF) ;;
  bench)
    args+=(-DCMAKE_BUILD_TYPE=Release -DVX_SANITIZE= -DVX_BUILD_BENCH=ON -DVX_BUILD_TESTS=OFF
           -DVX_BUILD_TOOLS=OFF) ;;
  gnustep)
    command -v gnustep-config >/dev/null \
      || vx_die "gnustep: GNUstep is not installed; run 'bash scripts/setup.sh --native-only' first"
    # As the macOS bundle is built: the text layer finds its fonts among the font files, and
    # FreeType and libpng are built from source into it (Debian's, fetched by setup.sh).
    ft=$(ls -d "$VX_BUILD_ROOT"/deps-src/freetype-*/ 2>/dev/null | head -1)
    png=$(ls -d "$VX_BUILD_ROOT"/deps-src/libpng1.6-*/ 2>/dev/null | head -1)
    [ -n "$ft" ] && [ -n "$png" ] \
      || vx_die "gnustep: Debian's FreeType and libpng sources missing; run 'bash scripts/setup.sh --native-only' first"
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_SANITIZE= -DVX_GNUSTEP=ON -DVX_BUILD_TESTS=ON
           -DVX_BUILD_TOOLS=OFF -DVX_FONT_LOOKUP=files -DVX_STATIC_DEPS=ON
           -DVX_FREETYPE_SOURCE="${ft%/}" -DVX_PNG_SOURCE="${png%/}") ;;
  *)
    vx_die "build.sh: unknown configuration '$config' (native asan tsan windows fuzz bench gnustep)" ;;
esac
# The compiler is chosen when a build folder is first configured (or when CC/CXX ask for
# another); naming it again on every run would make CMake throw away a cache that someone
# configured with, say, /usr/bin/c++, and rebuild everything. The fuzz build must be clang.
if [ "$config" != windows ] && { [ ! -f "$dir/CMakeCache.txt" ] || [ -n "${CC:-}${CXX:-}" ] \
     || [ "$config" = fuzz ]; }; then
  args+=(-DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx")
fi

vx_stamp "$config: configure $dir"
mkdir -p "$dir"
cmake -S "$VX_ROOT" -B "$dir" "${args[@]}" >"$dir/vx-configure.log" 2>&1 \
  || { cat "$dir/vx-configure.log"; vx_die "$config: configure failed"; }
[ $configure_only = 0 ] || exit 0

if [ "$config" = tsan ] && [ ${#build_args[@]} -eq 0 ]; then
  # ThreadSanitizer is slow and only the threading tests need it: build just those.
  mapfile -t tests < <(ctest --test-dir "$dir" -N -R tsan | sed -n 's/^ *Test *#[0-9]*: *//p')
  if [ ${#tests[@]} -eq 0 ]; then
    echo "tsan: no test named *tsan* yet, nothing to build"; exit 0
  fi
  known=$(ninja -C "$dir" -t targets all | sed 's/:.*//')
  for t in "${tests[@]}"; do
    if grep -qx "$t" <<<"$known"; then build_args+=(--target "$t"); fi
  done
fi

vx_stamp "$config: build"
cmake --build "$dir" -j"$VX_JOBS" "${build_args[@]}"
vx_stamp "$config: built"
