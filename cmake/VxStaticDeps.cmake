# Third-party libraries of the modules: the targets vx_freetype (the text layer) and vx_png (the
# raster library's PNG loading, with zlib).
#
# By default (Linux, Windows) they are the system's (Linux: shared libraries; the Windows build
# gets static ones from scripts/setup.sh). With VX_STATIC_DEPS (always on macOS, where no user's
# Mac has FreeType or libpng) they are linked into the modules statically:
#   - FreeType and libpng, each the first of: an unpacked source folder given by the user
#     (VX_FREETYPE_SOURCE, VX_PNG_SOURCE; Debian's as `apt-get source` leaves it, for example),
#     used as it is; a static library on the paths the user gives (CMAKE_PREFIX_PATH and the
#     like, never the system's own folders); the pinned source, downloaded and checked against
#     its SHA-256: the release as Debian ships it (FreeType 2.12.1, libpng 1.6.39) plus Debian's
#     fixes of the library, so that the same code as a Debian 12 system's is linked;
#   - zlib: macOS's own; on Linux its static library, which Debian builds position-independent;
#   - on Linux also the C++ runtime, so that the modules need nothing but the C library.
# Built here, FreeType has only what the text layer needs: TrueType and CFF (OpenType) faces in
# font files and collections, the auto-hinter, the anti-aliased and monochrome renderers (no
# compressed, PNG, SVG or bitmap-only fonts, no HarfBuzz, bzip2, Brotli or zlib).
include_guard(GLOBAL)

if(APPLE)
  set(VX_STATIC_DEPS ON CACHE BOOL "Link FreeType, libpng and zlib into the modules" FORCE)
else()
  option(VX_STATIC_DEPS "Link FreeType, libpng and zlib into the modules" OFF)
endif()
set(VX_FREETYPE_SOURCE "" CACHE PATH "An unpacked FreeType source folder to build (VX_STATIC_DEPS)")
set(VX_PNG_SOURCE "" CACHE PATH "An unpacked libpng source folder to build (VX_STATIC_DEPS)")

# The pinned sources: Debian 12's, from its archive (the snapshot address stays valid after
# Debian moves on to a newer revision).
set(vx_debian_pool "https://deb.debian.org/debian/pool/main")
set(vx_debian_snapshot "https://snapshot.debian.org/archive/debian/20250520T000000Z/pool/main")
set(VX_FREETYPE_URLS
  "${vx_debian_pool}/f/freetype/freetype_2.12.1+dfsg.orig.tar.xz"
  "${vx_debian_snapshot}/f/freetype/freetype_2.12.1%2Bdfsg.orig.tar.xz"
  CACHE STRING "Where the pinned FreeType source is downloaded from (tried in order)")
set(VX_FREETYPE_PATCHES_URLS
  "${vx_debian_pool}/f/freetype/freetype_2.12.1+dfsg-5+deb12u4.debian.tar.xz"
  "${vx_debian_snapshot}/f/freetype/freetype_2.12.1%2Bdfsg-5%2Bdeb12u4.debian.tar.xz"
  CACHE STRING "Where Debian's fixes of the pinned FreeType are downloaded from (tried in order)")
set(VX_PNG_URLS
  "${vx_debian_pool}/libp/libpng1.6/libpng1.6_1.6.39.orig.tar.gz"
  "${vx_debian_snapshot}/libp/libpng1.6/libpng1.6_1.6.39.orig.tar.gz"
  CACHE STRING "Where the pinned libpng source is downloaded from (tried in order)")
set(VX_PNG_PATCHES_URLS
  "${vx_debian_pool}/libp/libpng1.6/libpng1.6_1.6.39-2+deb12u5.debian.tar.xz"
  CACHE STRING "Where Debian's fixes of the pinned libpng are downloaded from (tried in order)")

if(TARGET vx_png)
  return()
endif()

if(NOT VX_STATIC_DEPS)
  if(NOT WIN32)  # Windows draws text with its own GDI
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(VX_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
    add_library(vx_freetype INTERFACE)
    target_link_libraries(vx_freetype INTERFACE PkgConfig::VX_FREETYPE)
  endif()
  find_package(PNG REQUIRED)
  add_library(vx_png INTERFACE)
  target_link_libraries(vx_png INTERFACE PNG::PNG)
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

# vx_pinned_source(<out var> <name> <folder in the tarball> <sha256> <urls> <patches sha256>
#                  <patches urls> <patch>...) - the pinned source, unpacked and patched once per
# build folder (patch "SERIES": every patch of Debian's series, in its order).
function(vx_pinned_source out name folder sha256 urls patches_sha256 patches_urls)
  set(deps ${CMAKE_BINARY_DIR}/_deps)
  set(source ${deps}/${folder})
  if(NOT EXISTS ${source}/.vx-patched)
    vx_download(${deps}/${name}.orig ${sha256} ${urls})
    vx_download(${deps}/${name}.debian ${patches_sha256} ${patches_urls})
    file(REMOVE_RECURSE ${source} ${deps}/${name}-debian)
    file(ARCHIVE_EXTRACT INPUT ${deps}/${name}.orig DESTINATION ${deps})
    file(ARCHIVE_EXTRACT INPUT ${deps}/${name}.debian DESTINATION ${deps}/${name}-debian)
    set(dir ${deps}/${name}-debian/debian/patches)
    set(patches ${ARGN})
    if(patches STREQUAL "SERIES")
      file(STRINGS ${dir}/series patches REGEX "^[^#]")
    endif()
    find_program(VX_PATCH patch REQUIRED)
    foreach(p ${patches})
      execute_process(COMMAND ${VX_PATCH} -p1 -N -s -i ${dir}/${p} WORKING_DIRECTORY ${source} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${name}: Debian's ${p} does not apply")
      endif()
    endforeach()
    file(TOUCH ${source}/.vx-patched)
  endif()
  set(${out} ${source} PARENT_SCOPE)
endfunction()

# vx_static_found(<name> <library file> <header>) - a static library on the user's paths: true
# (and the target vx_<name>) when found.
function(vx_static_found name library header suffixes)
  find_library(VX_${name}_STATIC_LIBRARY NAMES ${library}
    NO_CMAKE_ENVIRONMENT_PATH NO_SYSTEM_ENVIRONMENT_PATH NO_CMAKE_SYSTEM_PATH)
  find_path(VX_${name}_STATIC_INCLUDE ${header} PATH_SUFFIXES ${suffixes}
    NO_CMAKE_ENVIRONMENT_PATH NO_SYSTEM_ENVIRONMENT_PATH NO_CMAKE_SYSTEM_PATH)
  if(VX_${name}_STATIC_LIBRARY AND VX_${name}_STATIC_INCLUDE)
    string(TOLOWER ${name} lower)
    add_library(vx_${lower} INTERFACE)
    target_include_directories(vx_${lower} SYSTEM INTERFACE ${VX_${name}_STATIC_INCLUDE})
    target_link_libraries(vx_${lower} INTERFACE ${VX_${name}_STATIC_LIBRARY})
    message(STATUS "${name}: ${VX_${name}_STATIC_LIBRARY}")
  endif()
endfunction()

# ---- zlib -------------------------------------------------------------------------------------
if(APPLE)
  find_package(ZLIB REQUIRED)
  set(vx_zlib ZLIB::ZLIB)
else()
  find_library(VX_ZLIB_STATIC_LIBRARY NAMES libz.a REQUIRED)
  set(vx_zlib ${VX_ZLIB_STATIC_LIBRARY})
endif()

# ---- FreeType ---------------------------------------------------------------------------------
set(source "${VX_FREETYPE_SOURCE}")
if(NOT source)
  vx_static_found(FREETYPE libfreetype.a ft2build.h freetype2)
endif()
if(NOT TARGET vx_freetype)
  if(NOT source)
    vx_pinned_source(source freetype freetype-2.12.1
      7dedb6b9adf331559daea614a83b8de42a753e685ec8e1c4bdb4529eb880b0d1 "${VX_FREETYPE_URLS}"
      c625a97a78e4c74acd32e5b63b3973c9ea8a5c3d7b7f8f7c02def4421589c61b "${VX_FREETYPE_PATCHES_URLS}"
      # Debian's fixes of the library itself, in its order (the rest of its series concerns the
      # demo programs, the documentation and the module list).
      fix-wild-free-svg.patch CVE-2023-2004.patch disable_COLRv1.patch get_colr_glyph_paint.patch
      Minimal-stop-gap-fix-for-CVE-2025-27363.patch)
  endif()
  if(NOT EXISTS ${source}/include/freetype/config/ftoption.h OR NOT EXISTS ${source}/src/base/ftbase.c)
    message(FATAL_ERROR "FreeType: ${source} is not a FreeType source folder")
  endif()
  # The configuration: FreeType's own options less every optional dependency, and the modules
  # the text layer uses (in the order of FreeType's stock list).
  set(config ${CMAKE_BINARY_DIR}/_deps/freetype-config/freetype/config)
  file(WRITE ${config}/ftoption.h.new
    "/* FreeType's options for the text layer (cmake/VxStaticDeps.cmake). */\n"
    "#include \"${source}/include/freetype/config/ftoption.h\"\n"
    "#undef FT_CONFIG_OPTION_USE_LZW\n#undef FT_CONFIG_OPTION_USE_ZLIB\n#undef FT_CONFIG_OPTION_SYSTEM_ZLIB\n"
    "#undef FT_CONFIG_OPTION_USE_BZIP2\n#undef FT_CONFIG_OPTION_USE_PNG\n#undef FT_CONFIG_OPTION_USE_HARFBUZZ\n"
    "#undef FT_CONFIG_OPTION_USE_BROTLI\n#undef FT_CONFIG_OPTION_SVG\n")
  file(WRITE ${config}/ftmodule.h.new
    "/* The FreeType modules of the text layer (cmake/VxStaticDeps.cmake). */\n"
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
    file(COPY_FILE ${config}/${h}.new ${config}/${h} ONLY_IF_DIFFERENT)
  endforeach()
  set(ft_sources
    src/base/ftsystem.c src/base/ftinit.c src/base/ftdebug.c src/base/ftbase.c src/base/ftbitmap.c
    src/base/ftsynth.c src/base/ftglyph.c src/base/ftmm.c
    src/truetype/truetype.c src/cff/cff.c src/sfnt/sfnt.c src/psaux/psaux.c src/psnames/psnames.c
    src/pshinter/pshinter.c src/autofit/autofit.c src/smooth/smooth.c src/raster/raster.c)
  list(TRANSFORM ft_sources PREPEND ${source}/)
  add_library(vx_freetype_static STATIC ${ft_sources})
  # The configuration folder comes first, so that its ftoption.h and ftmodule.h are the ones used.
  target_include_directories(vx_freetype_static BEFORE PUBLIC ${CMAKE_BINARY_DIR}/_deps/freetype-config)
  target_include_directories(vx_freetype_static SYSTEM PUBLIC ${source}/include)
  # DARWIN_NO_CARBON: no Carbon font manager calls (long gone from macOS); fonts are files.
  target_compile_definitions(vx_freetype_static PRIVATE FT2_BUILD_LIBRARY DARWIN_NO_CARBON)
  # Third-party code: its warnings are not this project's to fix.
  target_compile_options(vx_freetype_static PRIVATE -w)
  add_library(vx_freetype INTERFACE)
  target_link_libraries(vx_freetype INTERFACE vx_freetype_static)
  message(STATUS "FreeType: built from ${source}")
endif()

# ---- libpng -----------------------------------------------------------------------------------
set(source "${VX_PNG_SOURCE}")
if(NOT source)
  vx_static_found(PNG libpng16.a png.h "")
endif()
if(TARGET vx_png)
  target_link_libraries(vx_png INTERFACE ${vx_zlib})
else()
  if(NOT source)
    vx_pinned_source(source png libpng-1.6.39
      a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441 "${VX_PNG_URLS}"
      ab14906eda9fddf14cbb1e589b9ba7439c22e233dc3c5e3cf9356c9625565a82 "${VX_PNG_PATCHES_URLS}" SERIES)
  endif()
  if(NOT EXISTS ${source}/png.h OR NOT EXISTS ${source}/scripts/pnglibconf.h.prebuilt)
    message(FATAL_ERROR "libpng: ${source} is not a libpng source folder")
  endif()
  set(config ${CMAKE_BINARY_DIR}/_deps/png-config)
  file(MAKE_DIRECTORY ${config})
  file(COPY_FILE ${source}/scripts/pnglibconf.h.prebuilt ${config}/pnglibconf.h ONLY_IF_DIFFERENT)
  set(png_sources png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c
    pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
  list(TRANSFORM png_sources PREPEND ${source}/)
  add_library(vx_png_static STATIC ${png_sources})
  target_include_directories(vx_png_static SYSTEM PUBLIC ${config} ${source})
  # The portable C code on every processor (the images are small and decoded once).
  target_compile_definitions(vx_png_static PUBLIC PNG_ARM_NEON_OPT=0 PNG_POWERPC_VSX_OPT=0 PNG_MIPS_MSA_OPT=0
    PNG_INTEL_SSE_OPT=0)
  target_compile_options(vx_png_static PRIVATE -w)
  if(APPLE)
    target_link_libraries(vx_png_static PUBLIC ${vx_zlib})
  else()
    # Debian's zlib headers with its static library.
    target_link_libraries(vx_png_static PUBLIC ${vx_zlib} m)
  endif()
  add_library(vx_png INTERFACE)
  target_link_libraries(vx_png INTERFACE vx_png_static)
  message(STATUS "libpng: built from ${source}")
endif()
