# The Windows build's GoogleTest module: as CMake's own, except that a test
# program is one test (under Wine a start per test case would cost minutes).
include(${CMAKE_ROOT}/Modules/GoogleTest.cmake)

function(gtest_discover_tests target)
  add_test(NAME ${target} COMMAND ${target})
endfunction()
