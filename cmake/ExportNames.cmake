# Derives both names of every export of Velmora.dll from the public header: the GCC (Itanium) name that
# MinGW gives it and the decorated name that Microsoft's compiler gives it, by compiling a source that
# references each function (src/Velmora/msvc/ExportedFunctions.cpp) with both compilers and reading the
# objects' undefined symbols. Clang compiles it for the MSVC ABI with no C++ library, through a shim of
# <cstddef> and <cstdint> over its own C headers. Writes
#   PAIRS:       one line per function, "GCC-name MSVC-name";
#   LINK_DEF:    the module-definition file of the DLL's link, which exports each function under both
#                names at one address;
#   IMPORT_DEF:  the module-definition file from which llvm-dlltool makes the Microsoft import library.
#
# cmake -DCLANG=... -DMINGW_CXX=... -DNM=... -DSOURCE=... -DINCLUDE=... -DSHIM=... -DWORK_DIR=... -DPAIRS=...
#       -DLINK_DEF=... -DIMPORT_DEF=... -P ExportNames.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required CLANG MINGW_CXX NM SOURCE INCLUDE SHIM WORK_DIR PAIRS LINK_DEF IMPORT_DEF)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "${required} is not set")
    endif()
endforeach()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "${command} failed (${status}):\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

# The functions an object references: its undefined symbols, without the __imp_ of a dllimport reference
# (clang takes the addresses through it; GCC takes them directly).
function(referenced_names object result)
    run(${NM} --undefined-only --format=just-symbols ${object})
    string(REPLACE "\n" ";" symbols "${output}")
    set(names "")
    foreach(symbol IN LISTS symbols)
        string(REGEX REPLACE "^__imp_" "" name "${symbol}")
        if(NOT name STREQUAL "")
            list(APPEND names "${name}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES names)
    set(${result} "${names}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${WORK_DIR})
set(msvcObject ${WORK_DIR}/ExportedFunctions-msvc.obj)
set(gccObject ${WORK_DIR}/ExportedFunctions-gcc.obj)
run(${CLANG} --target=x86_64-pc-windows-msvc -std=c++20 -ffreestanding -nostdinc++ -I${SHIM} -I${INCLUDE}
    -c ${SOURCE} -o ${msvcObject})
run(${MINGW_CXX} -std=c++20 -I${INCLUDE} -c ${SOURCE} -o ${gccObject})
referenced_names(${msvcObject} msvcNames)
referenced_names(${gccObject} gccNames)

# A decorated name starts "?function@Velmora@@"; an Itanium one "_ZN7Velmora", the length of the function's
# name and the name.
foreach(name IN LISTS msvcNames)
    if(NOT name MATCHES "^\\?([A-Za-z_][A-Za-z0-9_]*)@Velmora@@")
        message(FATAL_ERROR "not a decorated name of a function in namespace Velmora: ${name}")
    endif()
    set(msvcName_${CMAKE_MATCH_1} "${name}")
endforeach()
set(pairs "")
set(linkExports "")
set(importExports "")
foreach(name IN LISTS gccNames)
    if(NOT name MATCHES "^_ZN7Velmora([0-9]+)")
        message(FATAL_ERROR "not the GCC name of a function in namespace Velmora: ${name}")
    endif()
    string(LENGTH "_ZN7Velmora${CMAKE_MATCH_1}" prefixLength)
    string(SUBSTRING "${name}" ${prefixLength} ${CMAKE_MATCH_1} function)
    if(NOT DEFINED msvcName_${function})
        message(FATAL_ERROR "${function} has no decorated name among: ${msvcNames}")
    endif()
    set(decorated "${msvcName_${function}}")
    unset(msvcName_${function})
    string(APPEND pairs "${name} ${decorated}\n")
    string(APPEND linkExports "    ${name}\n    ${decorated}=${name}\n")
    string(APPEND importExports "    ${name}\n    ${decorated}\n")
endforeach()
list(LENGTH gccNames gccCount)
list(LENGTH msvcNames msvcCount)
if(NOT gccCount EQUAL msvcCount OR gccCount EQUAL 0)
    message(FATAL_ERROR "${gccCount} GCC names but ${msvcCount} decorated names")
endif()

# Written only when changed, so that an unchanged header does not relink the DLL. (file(CONFIGURE) would
# take the decorated names' "@...@" for variables.)
function(write_if_changed path content)
    if(EXISTS ${path})
        file(READ ${path} existing)
        if(existing STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE ${path} "${content}")
endfunction()
write_if_changed(${PAIRS} "${pairs}")
write_if_changed(${LINK_DEF} "EXPORTS\n${linkExports}")
write_if_changed(${IMPORT_DEF} "LIBRARY Velmora.dll\nEXPORTS\n${importExports}")
