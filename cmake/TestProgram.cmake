# One test program per area and build. Every program gets the project's warnings and a precompiled header of
# what nearly every test source includes (GoogleTest and the standard library), which is compiled once per
# program instead of once per source. Off Windows each test case is a CTest test of its own (ctest -R picks
# cases, and -j spreads them over the cores); under Wine a process start costs far more than a case, so there
# the whole program is one test.
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

function(velmora_test_program name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "PREFIX;FILTER" "SOURCES;LIBRARIES;HEADERS;DEFINITIONS")
    add_executable(${name} ${arg_SOURCES})
    velmora_warnings(${name})
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
    target_precompile_headers(${name} PRIVATE ${VELMORA_TEST_PRECOMPILED_HEADERS} ${arg_HEADERS})
    if(NOT arg_FILTER)
        set(arg_FILTER "*")
    endif()
    if(WIN32)
        add_test(NAME windows.${name} COMMAND ${name} --gtest_filter=${arg_FILTER})
    else()
        gtest_discover_tests(${name} TEST_PREFIX "${arg_PREFIX}" TEST_FILTER "${arg_FILTER}"
                             DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
    endif()
endfunction()
