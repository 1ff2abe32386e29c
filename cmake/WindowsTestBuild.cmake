# How the Windows test programs and everything only they link (the simulated host, GoogleTest) are compiled.
#
# A MinGW translation unit spends about half its time in windows.h, wbemidl.h and the standard library, and a
# debug build adds DWARF that nothing reads under Wine and that makes every link slow. So the test side is
# built without debug information, and each target of several sources compiles those headers once, into a
# precompiled header. Velmora.dll keeps the flags of the build type.

set(VELMORA_WINDOWS_TEST_HEADERS
    <windows.h> <objbase.h> <oleauto.h> <wbemidl.h>
    <algorithm> <functional> <map> <memory> <mutex> <optional> <sstream> <string> <vector>)

# A precompiled header costs about three ordinary sources; below this many sources it does not pay.
set(VELMORA_WINDOWS_PCH_MIN_SOURCES 4)

function(velmora_targets_in_directory directory result)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        velmora_targets_in_directory(${subdirectory} below)
        list(APPEND targets ${below})
    endforeach()
    set(${result} ${targets} PARENT_SCOPE)
endfunction()

# Applies the settings to every compiled target defined in the given directories (and below them), and to the
# named targets. Making a precompiled header costs as much as several sources, so there are two, each made
# once: one for the libraries and one, with GoogleTest added, for the test programs; the other targets of each
# kind reuse it (their compile flags are the same). A target that has a precompiled header of its own keeps it.
function(velmora_windows_test_build)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "DIRECTORIES;TARGETS")
    set(targets ${arg_TARGETS})
    foreach(directory IN LISTS arg_DIRECTORIES)
        velmora_targets_in_directory(${directory} found)
        list(APPEND targets ${found})
    endforeach()
    set(libraryHeaderOwner "")
    set(programHeaderOwner "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY)$")
            continue()
        endif()
        target_compile_options(${target} PRIVATE -g0)
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.(cpp|cc)$")
        list(LENGTH sources count)
        get_target_property(ownHeaders ${target} PRECOMPILE_HEADERS)
        get_target_property(reusedHeaders ${target} PRECOMPILE_HEADERS_REUSE_FROM)
        if(count LESS VELMORA_WINDOWS_PCH_MIN_SOURCES OR ownHeaders OR reusedHeaders)
            continue()
        endif()
        if(type STREQUAL "EXECUTABLE")
            set(owner programHeaderOwner)
            set(headers ${VELMORA_WINDOWS_TEST_HEADERS} <gtest/gtest.h>)
        else()
            set(owner libraryHeaderOwner)
            set(headers ${VELMORA_WINDOWS_TEST_HEADERS})
        endif()
        if(${owner})
            target_precompile_headers(${target} REUSE_FROM ${${owner}})
        else()
            target_precompile_headers(${target} PRIVATE ${headers})
            set(${owner} ${target})
        endif()
    endforeach()
endfunction()
