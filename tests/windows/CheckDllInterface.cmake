# Reads a DLL's export and import tables with objdump and fails unless
#   - it exports exactly the names in EXPORTS, and the second name of each line of ALIASES_FILE (optional),
#     no more, no fewer, and
#   - each line of ALIASES_FILE, "name other-name", names an export of EXPORTS and a second name exported at
#     the same address, and every name of EXPORTS has such a line (when the file is given), and
#   - every DLL it imports from is in ALLOWED_IMPORTS (compared without regard to case), and
#   - it imports every function named in REQUIRED_FUNCTIONS (optional), from whichever DLL.
# A host application must be able to load the DLL on a bare Windows, so a runtime such as libstdc++-6.dll,
# libgcc_s_seh-1.dll or libwinpthread-1.dll among its imports is a packaging fault.
#
# A required function is the trace of code that nothing else in the binary would pull in, such as the entry
# point's DisableThreadLibraryCalls: its absence means that code was not linked.
#
# cmake -DOBJDUMP=... -DDLL=... -DEXPORTS="a;b" -DALLOWED_IMPORTS="KERNEL32.dll;..." [-DALIASES_FILE=...]
#       [-DREQUIRED_FUNCTIONS=...] -P CheckDllInterface.cmake
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

# The name table gives each name's index into the address table. The RVA of an export is kept in a variable
# keyed by the hash of its name: a decorated name has characters that a variable reference does not allow.
function(address_of name result)
    string(MD5 key "${name}")
    set(${result} "${address_${key}}" PARENT_SCOPE)
endfunction()
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
    elseif(line MATCHES "^[ \t]*\\[ *([0-9]+)\\] \\+base\\[ *[0-9]+\\] +([0-9a-f]+) Export RVA")
        set(slot_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
        set(inNameTable TRUE)
    elseif(inNameTable AND line MATCHES "^[ \t]*\\[ *([0-9]+)\\] (.+)$")
        string(STRIP "${CMAKE_MATCH_2}" name)
        list(APPEND exports "${name}")
        string(MD5 key "${name}")
        set(address_${key} "${slot_${CMAKE_MATCH_1}}")
    elseif(inNameTable)
        set(inNameTable FALSE)
    endif()
endforeach()

set(faults "")
set(expected ${EXPORTS})
if(DEFINED ALIASES_FILE)
    file(STRINGS ${ALIASES_FILE} aliasLines)
    set(aliased "")
    foreach(line IN LISTS aliasLines)
        if(NOT line MATCHES "^([^ ]+) ([^ ]+)$")
            message(FATAL_ERROR "${ALIASES_FILE}: not \"name other-name\": ${line}")
        endif()
        set(name "${CMAKE_MATCH_1}")
        set(alias "${CMAKE_MATCH_2}")
        list(APPEND expected "${alias}")
        list(APPEND aliased "${name}")
        if(NOT name IN_LIST EXPORTS)
            string(APPEND faults "  ${alias} is the second name of ${name}, which is not an expected export\n")
        endif()
        address_of("${name}" nameAddress)
        address_of("${alias}" aliasAddress)
        if(name IN_LIST exports AND alias IN_LIST exports AND NOT nameAddress STREQUAL aliasAddress)
            string(APPEND faults "  ${alias} is exported at ${aliasAddress}, not at the address of ${name} "
                                 "(${nameAddress})\n")
        endif()
    endforeach()
    foreach(name IN LISTS EXPORTS)
        if(NOT name IN_LIST aliased)
            string(APPEND faults "  ${name} has no second name\n")
        endif()
    endforeach()
endif()
foreach(name IN LISTS expected)
    if(NOT name IN_LIST exports)
        string(APPEND faults "  missing export: ${name}\n")
    endif()
endforeach()
foreach(name IN LISTS exports)
    if(NOT name IN_LIST expected)
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
set(addresses "")
foreach(name IN LISTS exports)
    address_of("${name}" address)
    list(APPEND addresses "${address}")
endforeach()
list(REMOVE_DUPLICATES addresses)
list(LENGTH addresses addressCount)
message(STATUS "${DLL}: ${exportCount} exports at ${addressCount} addresses, imports ${imports}")
