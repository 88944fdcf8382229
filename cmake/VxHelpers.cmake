# Project-wide compile settings and small helpers shared by every subsystem.

add_library(vx_options INTERFACE)
target_compile_options(vx_options INTERFACE -Wall -Wextra -Werror)
if(WIN32)
  # _USE_MATH_DEFINES: mingw's <cmath> declares M_PI and friends only on request in strict
  # C++20 mode, while glibc always does; this keeps one source for both.
  target_compile_definitions(vx_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
    _USE_MATH_DEFINES)
endif()
if(VX_SANITIZE)
  target_compile_options(vx_options INTERFACE -fsanitize=${VX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(vx_options INTERFACE -fsanitize=${VX_SANITIZE})
endif()

# vx_add_library(name SOURCES ... [DEPS ...]) - one static library per subsystem.
function(vx_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC vx_options ${A_DEPS})
endfunction()

# vx_add_test(name SOURCES ... [DEPS ...]) - one GoogleTest executable, one ctest entry.
# A single ctest entry per executable keeps runs under Wine cheap (no per-test discovery).
function(vx_add_test name)
  if(NOT VX_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "WORKING_DIRECTORY" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE vx_options ${A_DEPS} GTest::gtest GTest::gtest_main)
  if(NOT A_WORKING_DIRECTORY)
    set(A_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "VX_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# vx_add_x11_test(name SOURCES ... [DEPS ...] [SECONDS n]) - a GoogleTest executable that needs an
# X server: ctest runs it on a private Xvfb (scripts/xvfb-run.sh) under a watchdog, so that a
# hang fails in n seconds (default 300) instead of holding the run.
function(vx_add_x11_test name)
  if(NOT VX_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;DEPS" ${ARGN})
  if(NOT A_SECONDS)
    set(A_SECONDS 300)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE vx_options ${A_DEPS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name}
    COMMAND timeout -k 10 ${A_SECONDS} bash ${PROJECT_SOURCE_DIR}/scripts/xvfb-run.sh $<TARGET_FILE:${name}> --gtest_brief=1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  math(EXPR limit "${A_SECONDS} + 20")
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "VX_SOURCE_DIR=${PROJECT_SOURCE_DIR}" TIMEOUT ${limit})
endfunction()

# vx_add_command_test(name STATUS n [OUTPUT regex] COMMAND cmd args...) - a program run as a
# test, passing only with exactly that exit status and (when given) output matching the
# regular expression (see VxExpectRun.cmake: ctest's own properties check one or the other).
# A program built here may be named by its target; cross builds run it through the emulator.
function(vx_add_command_test name)
  cmake_parse_arguments(A "" "STATUS;OUTPUT" "COMMAND" ${ARGN})
  if(NOT DEFINED A_STATUS OR NOT A_COMMAND)
    message(FATAL_ERROR "vx_add_command_test(${name}): STATUS and COMMAND are required")
  endif()
  list(POP_FRONT A_COMMAND program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
    if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
      set(program ${CMAKE_CROSSCOMPILING_EMULATOR} ${program})
    endif()
  endif()
  set(expect -DVX_EXPECT_STATUS=${A_STATUS})
  if(DEFINED A_OUTPUT)
    list(APPEND expect "-DVX_EXPECT_OUTPUT=${A_OUTPUT}")
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} ${expect} -P ${PROJECT_SOURCE_DIR}/cmake/VxExpectRun.cmake
           -- ${program} ${A_COMMAND})
endfunction()
