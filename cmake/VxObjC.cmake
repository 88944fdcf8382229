# Objective-C++ for the macOS window host. On macOS the sources build with Apple clang against
# Cocoa; with VX_GNUSTEP=ON they build with g++ against GNUstep's AppKit, which runs on Linux
# under Xvfb, so the same sources are compiled and tested here.
#
# vx_objc_support target - links target with what its .mm sources need: the AppKit headers and
# libraries and the Objective-C++ compile options.

option(VX_GNUSTEP "Build the macOS window host against GNUstep (Linux)" OFF)
set(VX_HAVE_OBJC OFF)

if(APPLE)
  enable_language(OBJCXX)
  add_library(vx_objc INTERFACE)
  target_link_libraries(vx_objc INTERFACE "-framework Cocoa" "-framework CoreFoundation" "-framework CoreGraphics")
  set(VX_HAVE_OBJC ON)
elseif(VX_GNUSTEP)
  if(NOT CMAKE_OBJCXX_COMPILER)
    set(CMAKE_OBJCXX_COMPILER ${CMAKE_CXX_COMPILER})
  endif()
  enable_language(OBJCXX)
  find_program(VX_GNUSTEP_CONFIG gnustep-config REQUIRED)
  execute_process(COMMAND ${VX_GNUSTEP_CONFIG} --objc-flags OUTPUT_VARIABLE objc_flags OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${VX_GNUSTEP_CONFIG} --gui-libs OUTPUT_VARIABLE gui_libs OUTPUT_STRIP_TRAILING_WHITESPACE)
  separate_arguments(objc_flags UNIX_COMMAND "${objc_flags}")
  separate_arguments(gui_libs UNIX_COMMAND "${gui_libs}")
  set(incs)
  set(defs)
  set(opts)
  foreach(f ${objc_flags})
    if(f MATCHES "^-I(.+)$")
      if(NOT CMAKE_MATCH_1 STREQUAL ".")
        list(APPEND incs ${CMAKE_MATCH_1})
      endif()
    elseif(f MATCHES "^-D(.+)$")
      list(APPEND defs ${CMAKE_MATCH_1})
    elseif(f MATCHES "^-(MMD|MP|g|O[0-9s]|Wall|Wno-import)$")
      # dependency files, debug and optimisation levels and warnings are the build's own
    else()
      list(APPEND opts ${f})
    endif()
  endforeach()
  add_library(vx_objc INTERFACE)
  target_include_directories(vx_objc SYSTEM INTERFACE ${incs})
  target_compile_definitions(vx_objc INTERFACE ${defs})
  # Without -fobjc-call-cxx-cdtors g++ silently leaves C++ members of Objective-C objects
  # unconstructed.
  target_compile_options(vx_objc INTERFACE
    $<$<COMPILE_LANGUAGE:OBJCXX>:${opts};-fobjc-call-cxx-cdtors;-Wno-subobject-linkage>)
  target_link_libraries(vx_objc INTERFACE ${gui_libs})
  set(VX_HAVE_OBJC ON)
endif()
