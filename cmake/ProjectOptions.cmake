# Warnings and sanitizers, as interface targets every project target links.
option(BUILD_TESTING "Build the tests" ON)
option(AURORA_WERROR "Treat warnings as errors (on in CI)" OFF)
if("$ENV{AURORA_WERROR}" OR (DEFINED ENV{CI} AND NOT "$ENV{CI}" STREQUAL "" AND NOT "$ENV{CI}" STREQUAL "false"))
  set(AURORA_WERROR ON CACHE BOOL "" FORCE)
endif()
set(AURORA_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")
# The fuzz preset builds everything with fuzzer-no-link among the sanitizers
# and adds fuzz/, whose targets link libFuzzer's main (clang only).
option(AURORA_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(AURORA_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "AURORA_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
endif()

# lld links the many test binaries several times faster than the default
# linker; without it the default one is used.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld AURORA_HAS_LLD)
if(AURORA_HAS_LLD)
  add_link_options(-fuse-ld=lld)
endif()

add_library(aurora_options INTERFACE)
add_library(aurora::options ALIAS aurora_options)
target_compile_options(aurora_options INTERFACE -Wall -Wextra -Wpedantic)
# Optimised, g++ 12 reports overlapping copies inside std::string that cannot
# happen (GCC bug 105651, fixed in 13), on ordinary concatenations; the
# warning stays on for every other compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(aurora_options INTERFACE -Wno-restrict)
endif()
# clang checks every lock annotation (aurora/ThreadSafety.h); a guarded member
# touched without its mutex is an error in every clang build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(aurora_options INTERFACE -Wthread-safety -Werror=thread-safety)
endif()
if(AURORA_WERROR)
  target_compile_options(aurora_options INTERFACE -Werror)
endif()
if(AURORA_SANITIZE)
  target_compile_options(aurora_options INTERFACE -fsanitize=${AURORA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(aurora_options INTERFACE -fsanitize=${AURORA_SANITIZE})
endif()

# The extension's object libraries (settings/, pillview/, hooks/): compiled as
# the device builds them, file by file, since the load-time functions' order
# follows the files; position-independent for the module; and hidden, so that
# the extension exports nothing a host could bind to by accident.
function(aurora_extension_objects name)
  set_target_properties(${name} PROPERTIES
    UNITY_BUILD OFF POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# GoogleTest's header is most of each test file's compile time: it is
# precompiled once, here, and every test binary uses that one. (The macros
# the binaries define on top do not occur in it, so it stays valid for all.)
function(aurora_test_pch)
  if(TARGET aurora_test_pch)
    return()
  endif()
  set(source "${CMAKE_BINARY_DIR}/aurora_test_pch.cpp")
  # Written only when it differs, so that a reconfigure leaves the header built.
  file(CONFIGURE OUTPUT "${source}" CONTENT "// The precompiled GoogleTest header's own translation unit.\n")
  add_library(aurora_test_pch OBJECT "${source}")
  target_link_libraries(aurora_test_pch PRIVATE GTest::gtest aurora::options)
  target_precompile_headers(aurora_test_pch PRIVATE <gtest/gtest.h>)
endfunction()

# One test binary per folder: aurora_add_test(NAME SOURCES... LIBS ...)
function(aurora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  aurora_test_pch()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main aurora::options)
  target_precompile_headers(${name} REUSE_FROM aurora_test_pch)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
endfunction()
