# Helpers that give every module the same shape: one static library per
# module, sources picked up from the module's folder, strict warnings.

# Warnings are errors in CI (VANTOR_WERROR=ON), not in a user's build: a
# newer compiler's new warning must not stop someone from building.
set(VANTOR_WARNINGS -Wall -Wextra)
# GCC 12 at -O3 reports -Wrestrict inside libstdc++'s inlined string code for
# plain concatenations such as "/" + std::string(x) (GCC bug 105329), and
# -Wstringop-overread for the memcmp of a std::vector<unsigned char>
# comparison inlined into a map's insert: false positives in the library, not
# in our code, so both are off there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND VANTOR_WARNINGS -Wno-restrict -Wno-stringop-overread)
endif()
if(VANTOR_WERROR)
  list(APPEND VANTOR_WARNINGS -Werror)
endif()

# vantor_module(<target> DIR <folder> INCLUDE <folder> [DEPS <targets...>])
# Builds every .cpp under DIR into a static library whose users include its
# headers relative to INCLUDE.
function(vantor_module target)
  cmake_parse_arguments(ARG "" "DIR;INCLUDE" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources)
    message(STATUS "${target}: no sources yet, skipped")
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_compile_options(${target} PRIVATE ${VANTOR_WARNINGS})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  target_include_directories(${target} PUBLIC ${ARG_INCLUDE})
endfunction()

# vantor_test(<target> DIR <folder> [DEPS <targets...>])
# One gtest binary per layer; every test is registered with CTest under a
# label: suites named *Service run against loopback servers ("service"),
# suites named *Scenario drive the app by touches ("scenario"), the rest are
# "unit".
function(vantor_test target)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources OR NOT TARGET ${ARG_DEPS})
    message(STATUS "${target}: nothing to test yet, skipped")
    return()
  endif()
  add_executable(${target} ${sources})
  target_compile_options(${target} PRIVATE ${VANTOR_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} vantor_test_support GTest::gmock)
  set(env "VANTOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    TEST_FILTER "-*Service.*:*Scenario.*"
    PROPERTIES LABELS unit ENVIRONMENT "${env}")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    TEST_FILTER "*Service.*"
    PROPERTIES LABELS service ENVIRONMENT "${env}")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    TEST_FILTER "*Scenario.*"
    PROPERTIES LABELS scenario ENVIRONMENT "${env}")
endfunction()

# vantor_tsan_tests(<target> <gtest filter>)
# In the ThreadSanitizer build, registers the tests of <target> that the
# filter picks once more, as "tsan.<suite>.<test>" with the label "tsan".
function(vantor_tsan_tests target filter)
  if(NOT VANTOR_TSAN OR NOT TARGET ${target})
    return()
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120
    TEST_FILTER "${filter}" TEST_PREFIX "tsan."
    PROPERTIES LABELS tsan ENVIRONMENT "VANTOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
