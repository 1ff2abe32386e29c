# Reads a DLL's export and import tables with objdump and fails unless
#   - it exports exactly the names in EXPORTS (no more, no fewer), and
#   - every DLL it imports from is in ALLOWED_IMPORTS (compared without regard to case), and
#   - it imports every function named in REQUIRED_FUNCTIONS (optional), from whichever DLL.
# A host application must be able to load the DLL on a bare Windows, so a runtime such as libstdc++-6.dll,
# libgcc_s_seh-1.dll or libwinpthread-1.dll among its imports is a packaging fault.
#
# A required function is the trace of code that nothing else in the binary would pull in, such as the entry
# point's DisableThreadLibraryCalls: its absence means that code was not linked.
#
# cmake -DOBJDUMP=... -DDLL=... -DEXPORTS="a;b" -DALLOWED_IMPORTS="KERNEL32.dll;..." [-DREQUIRED_FUNCTIONS=...]
#       -P CheckDllInterface.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP DLL EXPORTS ALLOWED_IMPORTS)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "${required} is not set")
    endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed: ${status}")
endif()
string(REPLACE "\n" ";" lines "${headers}")

set(imports "")
set(functions "")
set(exports "")
set(inNameTable FALSE)
foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
        string(STRIP "${CMAKE_MATCH_1}" name)
        list(APPEND imports "${name}")
    elseif(line MATCHES "^\t[0-9a-f]+\t +[0-9]+  ([A-Za-z_][A-Za-z0-9_@]*)$")
        list(APPEND functions "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
        set(inNameTable TRUE)
    elseif(inNameTable AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
        string(STRIP "${CMAKE_MATCH_1}" name)
        list(APPEND exports "${name}")
    elseif(inNameTable)
        set(inNameTable FALSE)
    endif()
endforeach()

set(faults "")
foreach(name IN LISTS EXPORTS)
    if(NOT name IN_LIST exports)
        string(APPEND faults "  missing export: ${name}\n")
    endif()
endforeach()
foreach(name IN LISTS exports)
    if(NOT name IN_LIST EXPORTS)
        string(APPEND faults "  unexpected export: ${name}\n")
    endif()
endforeach()

string(TOUPPER "${ALLOWED_IMPORTS}" allowed)
if(imports STREQUAL "")
    string(APPEND faults "  no imports found: objdump output not understood\n")
endif()
foreach(name IN LISTS imports)
    string(TOUPPER "${name}" upper)
    if(NOT upper IN_LIST allowed)
        string(APPEND faults "  import from a DLL outside the system set: ${name}\n")
    endif()
endforeach()

foreach(name IN LISTS REQUIRED_FUNCTIONS)
    if(NOT name IN_LIST functions)
        string(APPEND faults "  function not imported: ${name}\n")
    endif()
endforeach()

if(faults)
    message(FATAL_ERROR "${DLL}:\n${faults}")
endif()
list(LENGTH exports exportCount)
message(STATUS "${DLL}: ${exportCount} exports, imports ${imports}")
