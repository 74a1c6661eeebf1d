# Configures the project with -DORVELPDU_BUILD_FUZZ=ON and nothing else (clang), as the
# option's description offers, and fails unless every source is then compiled with the
# sanitizers: the coverage-instrumented library needs their runtime to link into the tests,
# the replay drivers and the demo. Run by CTest: cmake -DSOURCE=... -DBINARY=... -DCLANGXX=...
# -P FuzzOptionAlone.cmake
file(REMOVE_RECURSE "${BINARY}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${BINARY}" -G Ninja
          "-DCMAKE_CXX_COMPILER=${CLANGXX}" -DORVELPDU_BUILD_FUZZ=ON
          # Only so that the compile commands can be inspected below.
          -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring with ORVELPDU_BUILD_FUZZ=ON failed:\n${output}")
endif()
file(READ "${BINARY}/compile_commands.json" commands)
string(REGEX MATCHALL "\"command\": \"[^\"]*src/buffer/CIPByteBuffer.cpp\"" library "${commands}")
string(REGEX MATCHALL "\"command\": \"[^\"]*examples/demo/demo.cpp\"" demo "${commands}")
foreach(what library demo)
  if("${${what}}" STREQUAL "")
    message(FATAL_ERROR "no compile command for the ${what}")
  endif()
  if(NOT "${${what}}" MATCHES "-fsanitize=address")
    message(FATAL_ERROR "the ${what} is not built with the sanitizers: ${${what}}")
  endif()
endforeach()
file(REMOVE_RECURSE "${BINARY}")
