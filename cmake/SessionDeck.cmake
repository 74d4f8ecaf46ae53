# Small helpers shared by the project's CMake files.

# add_sessiondeck_test(NAME SOURCES...): a GoogleTest executable linked against
# the library's objects, its cases registered with CTest one by one.
function(add_sessiondeck_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE sd_core GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE SESSIONDECK_GOLDEN_DIR="${PROJECT_SOURCE_DIR}/tests/golden")
  # GoogleTest's header costs more to compile than most test files: parse it once per executable.
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <string> <vector>)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "SESSIONDECK_TEST_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
