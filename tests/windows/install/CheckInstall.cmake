# cmake -P script: installs the Windows build into a scratch prefix, checks that it holds exactly what a
# Windows host application needs, builds a project for the MSVC ABI against the installed package (which must
# hand it Velmora.lib) and runs that project's program under Wine against the installed HyperVSim.dll, as it
# runs the installed velmora.exe.
foreach(variable BUILD_DIR WORK_DIR CONSUMER_DIR CALLER_DIR SHIM_DIR KERNEL32_LIBRARY WINE GENERATOR)
    if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
        message(FATAL_ERROR "CheckInstall.cmake needs -D${variable}=...")
    endif()
endforeach()

function(run_step description)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${description} failed (${result}):\n${output}")
    endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run_step("Installing the build" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(FILTER installed EXCLUDE REGEX "^lib/cmake/Velmora/VelmoraTargets(-[a-z]+)?\\.cmake$")
list(SORT installed)
set(expected
    bin/HyperVSim.dll
    bin/Velmora.dll
    bin/velmora.exe
    include/HyperVSim/Registration.h
    include/Velmora/HResultError.h
    include/Velmora/Velmora.h
    lib/Velmora.dll.a
    lib/Velmora.lib
    lib/cmake/Velmora/VelmoraConfig.cmake
    lib/cmake/Velmora/VelmoraConfigVersion.cmake)
if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " installedLines "${installed}")
    string(REPLACE ";" "\n  " expectedLines "${expected}")
    message(FATAL_ERROR "The install holds\n  ${installedLines}\ninstead of\n  ${expectedLines}\n(and the targets)")
endif()
if(NOT EXISTS ${prefix}/lib/cmake/Velmora/VelmoraTargets.cmake)
    message(FATAL_ERROR "The install holds no VelmoraTargets.cmake")
endif()

set(build ${WORK_DIR}/consumer)
run_step("Configuring the MSVC-ABI consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build} -G ${GENERATOR}
         -DCMAKE_TOOLCHAIN_FILE=${CONSUMER_DIR}/clang-msvc.cmake -DCMAKE_BUILD_TYPE=Release
         -DCMAKE_PREFIX_PATH=${prefix} -DCALLER_DIR=${CALLER_DIR} -DSHIM_DIR=${SHIM_DIR}
         -DKERNEL32_LIBRARY=${KERNEL32_LIBRARY})
file(READ ${build}/import-library.txt importLibrary)
if(NOT importLibrary STREQUAL "${prefix}/lib/Velmora.lib")
    message(FATAL_ERROR "The package gave the MSVC-ABI consumer ${importLibrary}, not ${prefix}/lib/Velmora.lib")
endif()
run_step("Building the MSVC-ABI consumer" ${CMAKE_COMMAND} --build ${build})

# The program finds Velmora.dll and HyperVSim.dll in the installed bin folder through Wine's search path.
string(REPLACE "/" "\\" windowsBin "Z:${prefix}/bin")
run_step("Running the MSVC-ABI consumer against the installed HyperVSim.dll"
         ${CMAKE_COMMAND} -E env "WINEPATH=${windowsBin}" ${WINE} ${build}/caller.exe simulated-host)
# velmora.exe finds Velmora.dll, and HyperVSim.dll for --simulated-host, beside itself.
execute_process(COMMAND ${WINE} ${prefix}/bin/velmora.exe --simulated-host switches RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output MATCHES "^Default Switch +[^\n]+\r?\nExternal Switch ")
    message(FATAL_ERROR "The installed velmora.exe listed no switches of the installed HyperVSim.dll (${result}):\n"
                        "${output}")
endif()
message(STATUS "Installed ${prefix}; the MSVC-ABI consumer linked ${importLibrary} and passed; velmora.exe ran")
