#!/usr/bin/env bash
# Installs everything the builds need on a Debian 12 machine. Idempotent and cheap on a ready
# machine: packages are checked with dpkg-query before apt is touched, and the mingw libraries
# and the Wine prefix are built once under the build root and reused.
#
#   bash scripts/setup.sh               everything (native, sanitizers, fuzz, bench, Windows)
#   bash scripts/setup.sh --native-only only what the Linux builds need (native, sanitizers,
#                                       fuzz, bench, gnustep: its FreeType and libpng sources;
#                                       the X11 editor and its Xvfb tests)
set -euo pipefail
. "$(dirname "$0")/common.sh"

native_only=0
for a in "$@"; do
  case $a in
    --native-only) native_only=1 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) vx_die "setup.sh: unknown option '$a'" ;;
  esac
done

NATIVE_PACKAGES=(
  build-essential cmake ninja-build g++ clang libclang-rt-14-dev python3 pkgconf dpkg-dev
  googletest libgtest-dev libbenchmark-dev
  libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev libsndfile1-dev libpixman-1-dev
  libsoxr-dev libfftw3-dev libcli11-dev nlohmann-json3-dev   # the measurement tool: resampling, THD+N, command line, JSON
  fonts-liberation2 fonts-dejavu-core   # Arial -> Liberation Sans, Verdana -> DejaVu Sans
  ardour sox                            # a real host for the plug-in modules, headless
  # The editor in Linux hosts' X11 windows (libxcb, shared memory), and its tests' X server with
  # XTest input, pixels read back and resource counts.
  libxcb1-dev libxcb-shm0-dev libxcb-image0-dev libxcb-xtest0-dev libxcb-res0-dev xvfb xauth
)
# The macOS view host built and tested against GNUstep's AppKit under Xvfb (the gnustep build).
GNUSTEP_PACKAGES=(
  gobjc++ gnustep-make libgnustep-gui-dev gnustep-back0.29 gnustep-back0.29-cairo xvfb xauth
)
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev
  wine wine64 xvfb xauth x11-apps imagemagick
)

# ---------------------------------------------------------------------------------------------
# Debian packages
wanted=("${NATIVE_PACKAGES[@]}" "${GNUSTEP_PACKAGES[@]}")
[ $native_only = 1 ] || wanted+=("${WINDOWS_PACKAGES[@]}")
missing=()
for p in "${wanted[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  vx_stamp "installing ${#missing[@]} packages: ${missing[*]}"
  vx_as_root apt-get update -qq
  vx_as_root apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 \
    "${missing[@]}" >/dev/null
  vx_stamp "packages installed"
else
  vx_stamp "packages: all ${#wanted[@]} present"
fi

mkdir -p "$VX_BUILD_ROOT"

# ---------------------------------------------------------------------------------------------
# Debian source packages, fetched through a private apt configuration that lists only deb-src
# stanzas of the main archive: the machine's own apt setup stays untouched, and the security
# archive does not serve source files here.
A=$VX_BUILD_ROOT/deps-src/apt
debian_sources() {
  rm -rf "$A"
  mkdir -p "$A/lists/partial" "$A/cache/archives/partial" "$A/parts"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk -v RS= -v ORS='\n\n' '!/security/' /etc/apt/sources.list.d/debian.sources \
      | sed 's/^Types: deb$/Types: deb-src/' > "$A/parts/src.sources"
  else
    grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
      | grep -v security | sed 's/^deb /deb-src /' > "$A/parts/src.list" || true
  fi
  printf '%s\n' "Dir::Etc::SourceList \"/dev/null\";" "Dir::Etc::SourceParts \"$A/parts\";" \
    "Dir::State::Lists \"$A/lists\";" "Dir::Cache \"$A/cache\";" 'Dir::Cache::pkgcache "";' \
    'Dir::Cache::srcpkgcache "";' 'APT::Sandbox::User "root";' > "$A/apt.conf"
  APT_CONFIG=$A/apt.conf apt-get update -qq
}

# FreeType and libpng as Debian's source packages (unpacked, with Debian's patches): the gnustep
# configuration builds them into the macOS bundle's binary as a Mac build does from the pinned
# sources (cmake/VxStaticDeps.cmake), and runs the text tests against them; the Windows build
# makes its static libpng from the same libpng source.
src=$VX_BUILD_ROOT/deps-src
if [ ! -f "$src/.ready" ]; then
  vx_stamp "Debian sources of FreeType and libpng: fetching"
  debian_sources
  rm -rf "$src"/freetype-* "$src"/libpng1.6-*
  (cd "$src" && APT_CONFIG=$A/apt.conf apt-get source -qq freetype libpng1.6 >/dev/null)
  ls -d "$src"/freetype-*/src/base "$src"/libpng1.6-*/scripts >/dev/null \
    || vx_die "Debian sources of FreeType and libpng did not unpack"
  touch "$src/.ready"
else
  vx_stamp "Debian sources of FreeType and libpng: cached"
fi

[ $native_only = 0 ] || exit 0

# ---------------------------------------------------------------------------------------------
# Static libpng for mingw. Debian packages zlib for mingw but not libpng, so build Debian's own
# libpng 1.6 source (fetched above; built out of its folder, which stays as it is).
work=$VX_BUILD_ROOT/deps-mingw-work
if [ ! -f "$VX_DEPS_MINGW/lib/libpng16.a" ]; then
  src=$(ls -d "$VX_BUILD_ROOT"/deps-src/libpng1.6-*/ 2>/dev/null | head -1)
  [ -n "$src" ] || vx_die "libpng for mingw: Debian's libpng1.6 source missing in $VX_BUILD_ROOT/deps-src"
  rm -rf "$work/src" "$work/build-libpng"
  vx_stamp "libpng for mingw: building $(basename "$src")"
  cmake -S "$src" -B "$work/build-libpng" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$VX_TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$VX_DEPS_MINGW" -DPNG_SHARED=OFF \
    -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
  cmake --build "$work/build-libpng" -j"$VX_JOBS" >/dev/null
  cmake --install "$work/build-libpng" >/dev/null
  [ -f "$VX_DEPS_MINGW/lib/libpng16.a" ] || vx_die "libpng for mingw: libpng16.a not installed"
else
  vx_stamp "libpng for mingw: cached"
fi

# GoogleTest for mingw, from the googletest package's sources.
if [ ! -f "$VX_DEPS_MINGW/lib/libgtest.a" ]; then
  vx_stamp "googletest for mingw: building /usr/src/googletest"
  rm -rf "$work/build-gtest"
  cmake -S /usr/src/googletest -B "$work/build-gtest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$VX_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$VX_DEPS_MINGW" -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$work/build-gtest" -j"$VX_JOBS" >/dev/null
  cmake --install "$work/build-gtest" >/dev/null
  [ -f "$VX_DEPS_MINGW/lib/libgtest.a" ] || vx_die "googletest for mingw: libgtest.a not installed"
else
  vx_stamp "googletest for mingw: cached"
fi

# ---------------------------------------------------------------------------------------------
# Wine prefix. Marked ready only after both registry settings are in, so an interrupted set-up
# is redone rather than reused.
if [ ! -f "$WINEPREFIX/.vx-ready" ]; then
  vx_stamp "wine prefix: creating $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  env -u DISPLAY "$VX_WINE" wineboot --init </dev/null >/dev/null 2>&1
  # No crash dialog: under Xvfb nobody would close it and the test would hang.
  "$VX_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  # Unmanaged windows: without a window manager every GUI process otherwise waits 2 s at exit.
  "$VX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >/dev/null 2>&1
  "$VX_WINESERVER" -w
  grep -q 'ShowCrashDialog' "$WINEPREFIX/user.reg" && grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" \
    || vx_die "wine prefix: registry settings did not stick"
  touch "$WINEPREFIX/.vx-ready"
  vx_stamp "wine prefix: ready"
else
  vx_stamp "wine prefix: cached"
fi
