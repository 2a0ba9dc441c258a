# ORN_SANITIZE: a comma list of compiler sanitizers ("address,undefined",
# "thread") that every target of the build is compiled and linked with.
# A finding ends the program with a failure, so the test that ran it fails.
set(ORN_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined or thread (empty = none)")

# The environment a test of this build runs with (one entry at most: test
# discovery passes properties on as a flat list).
set(ORN_SANITIZER_ENVIRONMENT "")
if(ORN_SANITIZE)
  string(REPLACE "," ";" orn_sanitizers "${ORN_SANITIZE}")
  foreach(s IN LISTS orn_sanitizers)
    if(NOT s MATCHES "^(address|undefined|leak|thread)$")
      message(FATAL_ERROR "ORN_SANITIZE: unknown sanitizer '${s}' (address, undefined, leak, thread)")
    endif()
  endforeach()
  if("thread" IN_LIST orn_sanitizers AND ("address" IN_LIST orn_sanitizers OR "leak" IN_LIST orn_sanitizers))
    message(FATAL_ERROR "ORN_SANITIZE: thread cannot be combined with address or leak")
  endif()
  add_compile_options(-fsanitize=${ORN_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ORN_SANITIZE})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The instrumentation makes g++ see uninitialised reads in the standard
    # library's own code (std::regex, std::function) that are not there.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  if("undefined" IN_LIST orn_sanitizers)
    # Without this, undefined behaviour is reported and the program goes on.
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  if("address" IN_LIST orn_sanitizers OR "leak" IN_LIST orn_sanitizers)
    set(ORN_SANITIZER_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp")
  elseif("thread" IN_LIST orn_sanitizers)
    set(ORN_SANITIZER_ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan.supp")
  endif()
endif()

# The environment of a test that runs a Java virtual machine on a library of
# this build. The machine is no sanitized program: the AddressSanitizer
# runtime must be loaded first, and with it the C++ library whose exceptions
# it intercepts (the machine does not link it); the machine's allocations are
# no leaks of ours, and it probes memory through SIGSEGV, which it handles
# itself. ThreadSanitizer cannot run inside the machine at all: such tests
# are not run in its build (ORN_JAVA_UNDER_SANITIZER is false).
set(ORN_JAVA_SANITIZER_ENVIRONMENT "")
set(ORN_JAVA_UNDER_SANITIZER TRUE)
if(ORN_SANITIZE MATCHES "thread")
  set(ORN_JAVA_UNDER_SANITIZER FALSE)
elseif(ORN_SANITIZE MATCHES "address")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
    OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
    OUTPUT_VARIABLE cxx_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(ORN_JAVA_SANITIZER_ENVIRONMENT "LD_PRELOAD=${asan_runtime}:${cxx_runtime}"
    "ASAN_OPTIONS=detect_leaks=0:handle_segv=0:allow_user_segv_handler=1")
endif()

# Gives the Java test `test` (added in the calling folder) what it needs in
# this build, or disables it where it cannot run.
function(orn_java_test_environment test)
  if(NOT ORN_JAVA_UNDER_SANITIZER)
    set_tests_properties(${test} PROPERTIES DISABLED TRUE)
  elseif(ORN_JAVA_SANITIZER_ENVIRONMENT)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${ORN_JAVA_SANITIZER_ENVIRONMENT})
  endif()
endfunction()

# Gives tests made with add_test (in the calling folder) the environment of
# the sanitizer build; orn_add_test does it for its own.
function(orn_sanitizer_environment)
  if(ORN_SANITIZER_ENVIRONMENT)
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT ${ORN_SANITIZER_ENVIRONMENT})
  endif()
endfunction()

# ORN_FUZZ: the fuzz targets get libFuzzer's main (clang only, ./kit fuzz);
# every target is compiled with the coverage that guides it.
option(ORN_FUZZ "Build the fuzz targets for libFuzzer (clang)" OFF)
if(ORN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORN_FUZZ needs clang, not ${CMAKE_CXX_COMPILER_ID}")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
