# One test program per area and build. Every program gets the project's warnings and a precompiled header of
# what nearly every test source includes (GoogleTest and the standard library), which is compiled once per
# program instead of once per source. In the default build each test case is a CTest test of its own (ctest -R
# picks cases, and -j spreads them over the cores). A sanitizer build pays a fraction of a second for every
# process start, more than most cases take, and under Wine a process start costs more still, so there each
# program runs as a few shards (GoogleTest's own sharding), enough for -j to keep both cores busy.
#
#   velmora_test_program(library_tests
#       PREFIX library.                  # CTest names: library.Suite.Case
#       SOURCES a.cpp b.cpp
#       LIBRARIES Velmora HyperVSim ...
#       HEADERS <WinCompat/windows.h>    # more headers for the precompiled header
#       FILTER "-Sweep.*"                # only the cases this build runs (gtest filter)
#       DEFINITIONS NAME="value")
set(VELMORA_TEST_PRECOMPILED_HEADERS
    <gtest/gtest.h> <algorithm> <cstdint> <functional> <map> <memory> <optional> <sstream> <string>
    <string_view> <vector>)

set(VELMORA_TEST_SHARDS 3 CACHE STRING "Sanitizer and Windows builds: CTest tests (GoogleTest shards) per test program")

function(velmora_test_program name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "PREFIX;FILTER" "SOURCES;LIBRARIES;HEADERS;DEFINITIONS")
    add_executable(${name} ${arg_SOURCES})
    velmora_warnings(${name})
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
    # The Windows build gives all its test programs one shared precompiled header, with windows.h and the COM
    # headers in it (cmake/WindowsTestBuild.cmake); a program's own would exclude it.
    if(NOT WIN32)
        target_precompile_headers(${name} PRIVATE ${VELMORA_TEST_PRECOMPILED_HEADERS} ${arg_HEADERS})
    endif()
    if(NOT arg_FILTER)
        set(arg_FILTER "*")
    endif()
    if(WIN32 OR VELMORA_SANITIZE)
        if(WIN32)
            set(testName windows.${name})
        else()
            set(testName ${name})
        endif()
        math(EXPR lastShard "${VELMORA_TEST_SHARDS} - 1")
        foreach(shard RANGE ${lastShard})
            add_test(NAME ${testName}.shard${shard} COMMAND ${name} --gtest_filter=${arg_FILTER})
            set_tests_properties(${testName}.shard${shard} PROPERTIES ENVIRONMENT
                                 "GTEST_SHARD_INDEX=${shard};GTEST_TOTAL_SHARDS=${VELMORA_TEST_SHARDS}")
        endforeach()
    else()
        gtest_discover_tests(${name} TEST_PREFIX "${arg_PREFIX}" TEST_FILTER "${arg_FILTER}"
                             DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
    endif()
endfunction()
