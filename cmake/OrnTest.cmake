# orn_add_test(NAME name SOURCES a_test.cpp ... LIBS lib ...)
# Builds one GoogleTest executable and registers each of its tests with ctest.
function(orn_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ORN_SANITIZER_ENVIRONMENT)
    # Test discovery passes a list-valued ENVIRONMENT on cut in pieces, and
    # it runs the program itself too: a launcher reaches both.
    set_target_properties(${T_NAME} PROPERTIES
      CROSSCOMPILING_EMULATOR "/usr/bin/env;${ORN_SANITIZER_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "ORN_TEST_SRCDIR=${CMAKE_SOURCE_DIR}")
endfunction()
