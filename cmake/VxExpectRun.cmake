# Runs one command and judges it by its exit status and, optionally, its output (script mode):
#   cmake -DVX_EXPECT_STATUS=<n> [-DVX_EXPECT_OUTPUT=<regex>] -P VxExpectRun.cmake -- <command> [args...]
# ctest alone cannot do both: with PASS_REGULAR_EXPRESSION it ignores the status (a program
# that prints the right text and then exits 1 passes), and WILL_FAIL takes any non-zero
# status, a crash included. The regular expression is CMake's, the same dialect ctest uses,
# matched against standard output and standard error together, in the order they came.
if(NOT DEFINED VX_EXPECT_STATUS)
  message(FATAL_ERROR "VxExpectRun: VX_EXPECT_STATUS is not set")
endif()

set(command)
set(after_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(after_separator)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_separator TRUE)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "VxExpectRun: no command after --")
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output
                ECHO_OUTPUT_VARIABLE ECHO_ERROR_VARIABLE)

set(problems)
if(NOT status STREQUAL VX_EXPECT_STATUS)
  list(APPEND problems "exit status ${status} instead of ${VX_EXPECT_STATUS}")
endif()
if(DEFINED VX_EXPECT_OUTPUT AND NOT output MATCHES "${VX_EXPECT_OUTPUT}")
  list(APPEND problems "output does not match \"${VX_EXPECT_OUTPUT}\"")
endif()
if(problems)
  list(JOIN problems "; " text)
  message(FATAL_ERROR "FAIL: ${text}")
endif()
