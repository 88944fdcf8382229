# FreeType for the text layer: defines the target vx_freetype.
#
# By default (Linux) it is the system's shared library, found through pkg-config. With
# VX_FREETYPE_STATIC (always on macOS, where no user's Mac has FreeType) a static FreeType goes
# into the module, the first of:
#   1. built from VX_FREETYPE_SOURCE, an unpacked FreeType 2.12 source folder (for example
#      Debian's, as `apt-get source freetype` leaves it), used as it is;
#   2. a static libfreetype.a found on the paths the user gives (CMAKE_PREFIX_PATH,
#      Freetype_ROOT), built without PNG, bzip2, Brotli, zlib or HarfBuzz;
#   3. built from the pinned source: FreeType 2.12.1 as Debian ships it (its upstream
#      tarball without the files Debian leaves out) plus Debian's security fixes, downloaded
#      from VX_FREETYPE_URLS / VX_FREETYPE_PATCHES_URLS and checked against their SHA-256.
# Built here, FreeType has only what the text layer needs: TrueType and CFF (OpenType) faces
# in font files and collections, the auto-hinter, and the anti-aliased and monochrome
# renderers; nothing else (no compressed, PNG, SVG or bitmap-only fonts, no HarfBuzz).
include_guard(GLOBAL)

if(APPLE)
  set(VX_FREETYPE_STATIC ON CACHE BOOL "Link a static FreeType into the modules" FORCE)
else()
  option(VX_FREETYPE_STATIC "Link a static FreeType into the modules" OFF)
endif()
set(VX_FREETYPE_SOURCE "" CACHE PATH "An unpacked FreeType source folder to build (VX_FREETYPE_STATIC)")
set(VX_FREETYPE_URLS
  "https://deb.debian.org/debian/pool/main/f/freetype/freetype_2.12.1+dfsg.orig.tar.xz"
  "https://snapshot.debian.org/archive/debian/20250520T000000Z/pool/main/f/freetype/freetype_2.12.1%2Bdfsg.orig.tar.xz"
  CACHE STRING "Where the pinned FreeType source is downloaded from (tried in order)")
set(VX_FREETYPE_SHA256 7dedb6b9adf331559daea614a83b8de42a753e685ec8e1c4bdb4529eb880b0d1)
set(VX_FREETYPE_PATCHES_URLS
  "https://deb.debian.org/debian/pool/main/f/freetype/freetype_2.12.1+dfsg-5+deb12u4.debian.tar.xz"
  "https://snapshot.debian.org/archive/debian/20250520T000000Z/pool/main/f/freetype/freetype_2.12.1%2Bdfsg-5%2Bdeb12u4.debian.tar.xz"
  CACHE STRING "Where Debian's fixes of the pinned FreeType are downloaded from (tried in order)")
set(VX_FREETYPE_PATCHES_SHA256 c625a97a78e4c74acd32e5b63b3973c9ea8a5c3d7b7f8f7c02def4421589c61b)
# Debian's fixes of the library itself, in Debian's order (the rest of its series concerns
# the demo programs, the documentation and the module list).
set(VX_FREETYPE_PATCHES fix-wild-free-svg.patch CVE-2023-2004.patch disable_COLRv1.patch
  get_colr_glyph_paint.patch Minimal-stop-gap-fix-for-CVE-2025-27363.patch)

if(TARGET vx_freetype)
  return()
endif()

if(NOT VX_FREETYPE_STATIC)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(VX_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
  add_library(vx_freetype INTERFACE)
  target_link_libraries(vx_freetype INTERFACE PkgConfig::VX_FREETYPE)
  set(VX_FREETYPE_ORIGIN "the system's shared library")
  return()
endif()

# vx_download(<file> <sha256> <url>...) - the first URL that gives the expected bytes.
function(vx_download file sha256)
  if(EXISTS ${file})
    file(SHA256 ${file} have)
    if(have STREQUAL sha256)
      return()
    endif()
  endif()
  foreach(url ${ARGN})
    message(STATUS "Downloading ${url}")
    file(DOWNLOAD ${url} ${file}.part STATUS status)
    list(GET status 0 code)
    if(code EQUAL 0)
      file(SHA256 ${file}.part have)
      if(have STREQUAL sha256)
        file(RENAME ${file}.part ${file})
        return()
      endif()
      message(WARNING "${url}: SHA-256 ${have}, expected ${sha256}")
    else()
      message(WARNING "${url}: ${status}")
    endif()
  endforeach()
  file(REMOVE ${file}.part)
  message(FATAL_ERROR "Could not download ${file} with SHA-256 ${sha256}; give an unpacked source folder instead")
endfunction()

set(source "${VX_FREETYPE_SOURCE}")
if(NOT source)
  find_library(VX_FREETYPE_STATIC_LIBRARY NAMES libfreetype.a
    NO_CMAKE_ENVIRONMENT_PATH NO_SYSTEM_ENVIRONMENT_PATH NO_CMAKE_SYSTEM_PATH)
  find_path(VX_FREETYPE_STATIC_INCLUDE ft2build.h PATH_SUFFIXES freetype2
    NO_CMAKE_ENVIRONMENT_PATH NO_SYSTEM_ENVIRONMENT_PATH NO_CMAKE_SYSTEM_PATH)
  if(VX_FREETYPE_STATIC_LIBRARY AND VX_FREETYPE_STATIC_INCLUDE)
    add_library(vx_freetype INTERFACE)
    target_include_directories(vx_freetype SYSTEM INTERFACE ${VX_FREETYPE_STATIC_INCLUDE})
    target_link_libraries(vx_freetype INTERFACE ${VX_FREETYPE_STATIC_LIBRARY})
    set(VX_FREETYPE_ORIGIN "${VX_FREETYPE_STATIC_LIBRARY}")
    message(STATUS "FreeType: ${VX_FREETYPE_ORIGIN}")
    return()
  endif()

  # The pinned source, unpacked and patched once per build folder.
  set(deps ${CMAKE_BINARY_DIR}/_deps)
  set(source ${deps}/freetype-2.12.1)
  if(NOT EXISTS ${source}/.vx-patched)
    vx_download(${deps}/freetype.tar.xz ${VX_FREETYPE_SHA256} ${VX_FREETYPE_URLS})
    vx_download(${deps}/freetype-debian.tar.xz ${VX_FREETYPE_PATCHES_SHA256} ${VX_FREETYPE_PATCHES_URLS})
    file(REMOVE_RECURSE ${source} ${deps}/freetype-debian)
    file(ARCHIVE_EXTRACT INPUT ${deps}/freetype.tar.xz DESTINATION ${deps})
    file(ARCHIVE_EXTRACT INPUT ${deps}/freetype-debian.tar.xz DESTINATION ${deps}/freetype-debian)
    find_program(VX_PATCH patch REQUIRED)
    foreach(p ${VX_FREETYPE_PATCHES})
      execute_process(COMMAND ${VX_PATCH} -p1 -N -s -i ${deps}/freetype-debian/debian/patches/${p}
        WORKING_DIRECTORY ${source} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "FreeType: ${p} does not apply")
      endif()
    endforeach()
    file(TOUCH ${source}/.vx-patched)
  endif()
endif()
if(NOT EXISTS ${source}/include/freetype/config/ftoption.h OR NOT EXISTS ${source}/src/base/ftbase.c)
  message(FATAL_ERROR "FreeType: ${source} is not a FreeType source folder")
endif()

# The configuration: FreeType's own options less every optional dependency, and the modules
# the text layer uses (in the order of FreeType's stock list).
set(config ${CMAKE_BINARY_DIR}/_deps/freetype-config)
file(WRITE ${config}/freetype/config/ftoption.h.new
"/* FreeType's options for the text layer (cmake/VxFreeType.cmake). */\n"
"#include \"${source}/include/freetype/config/ftoption.h\"\n"
"#undef FT_CONFIG_OPTION_USE_LZW\n#undef FT_CONFIG_OPTION_USE_ZLIB\n#undef FT_CONFIG_OPTION_SYSTEM_ZLIB\n"
"#undef FT_CONFIG_OPTION_USE_BZIP2\n#undef FT_CONFIG_OPTION_USE_PNG\n#undef FT_CONFIG_OPTION_USE_HARFBUZZ\n"
"#undef FT_CONFIG_OPTION_USE_BROTLI\n#undef FT_CONFIG_OPTION_SVG\n")
file(WRITE ${config}/freetype/config/ftmodule.h.new
"/* The FreeType modules of the text layer (cmake/VxFreeType.cmake). */\n"
"FT_USE_MODULE( FT_Module_Class, autofit_module_class )\n"
"FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )\n"
"FT_USE_MODULE( FT_Driver_ClassRec, cff_driver_class )\n"
"FT_USE_MODULE( FT_Module_Class, psaux_module_class )\n"
"FT_USE_MODULE( FT_Module_Class, psnames_module_class )\n"
"FT_USE_MODULE( FT_Module_Class, pshinter_module_class )\n"
"FT_USE_MODULE( FT_Module_Class, sfnt_module_class )\n"
"FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )\n"
"FT_USE_MODULE( FT_Renderer_Class, ft_raster1_renderer_class )\n")
foreach(h ftoption.h ftmodule.h)
  file(COPY_FILE ${config}/freetype/config/${h}.new ${config}/freetype/config/${h} ONLY_IF_DIFFERENT)
endforeach()

set(ft_sources
  src/base/ftsystem.c src/base/ftinit.c src/base/ftdebug.c src/base/ftbase.c src/base/ftbitmap.c
  src/base/ftsynth.c src/base/ftglyph.c src/base/ftmm.c
  src/truetype/truetype.c src/cff/cff.c src/sfnt/sfnt.c src/psaux/psaux.c src/psnames/psnames.c
  src/pshinter/pshinter.c src/autofit/autofit.c src/smooth/smooth.c src/raster/raster.c)
list(TRANSFORM ft_sources PREPEND ${source}/)
add_library(vx_freetype_static STATIC ${ft_sources})
# The configuration folder comes first, so that its ftoption.h and ftmodule.h are the ones used.
target_include_directories(vx_freetype_static BEFORE PUBLIC ${config})
target_include_directories(vx_freetype_static SYSTEM PUBLIC ${source}/include)
# DARWIN_NO_CARBON: no Carbon font manager calls (long gone from macOS); fonts are files.
target_compile_definitions(vx_freetype_static PRIVATE FT2_BUILD_LIBRARY DARWIN_NO_CARBON)
# Third-party code: its own warnings are not this project's to fix.
target_compile_options(vx_freetype_static PRIVATE -w)
add_library(vx_freetype INTERFACE)
target_link_libraries(vx_freetype INTERFACE vx_freetype_static)
set(VX_FREETYPE_ORIGIN "built from ${source}")
message(STATUS "FreeType: ${VX_FREETYPE_ORIGIN}")
