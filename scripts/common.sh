# Shared settings for the build and test scripts; sourced, not run.
#
# Every script works from the repository root and keeps everything it makes under one build
# root (default build/, which git ignores), so a fresh clone needs nothing but these scripts.
# VX_BUILD_ROOT moves that root, e.g. to keep a private set of builds beside the shared one.

VX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VX_BUILD_ROOT=${VX_BUILD_ROOT:-$VX_ROOT/build}
case $VX_BUILD_ROOT in /*) ;; *) VX_BUILD_ROOT=$VX_ROOT/$VX_BUILD_ROOT ;; esac
VX_JOBS=${VX_JOBS:-$(nproc)}

# Windows cross build: static third-party libraries built with the mingw toolchain, and a
# Wine prefix prepared once (wineboot takes ~15 s and the prefix is ~700 MB).
VX_TOOLCHAIN=$VX_ROOT/cmake/mingw-w64-x86_64.cmake
VX_DEPS_MINGW=$VX_BUILD_ROOT/deps-mingw
export WINEPREFIX=${WINEPREFIX:-$VX_BUILD_ROOT/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko install prompts: nothing here needs .NET or an HTML engine.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
VX_WINE=/usr/lib/wine/wine64            # /usr/bin/wine would look for a 32-bit wine first
VX_WINESERVER=/usr/lib/wine/wineserver64

export DEBIAN_FRONTEND=noninteractive

vx_stamp() { echo "[$(date +%T)] $*"; }
vx_die() { echo "ERROR: $*" >&2; exit 1; }

# Runs a command as root: directly when we are root (CI, the usual case), else through sudo.
vx_as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}
