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
  endif()
endif()

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
