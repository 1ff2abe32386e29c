# What lets a program built with Microsoft's compiler (or clang for the MSVC ABI) call Velmora.dll: every
# export under its decorated name as well, at the same address as its GCC name, and Velmora.lib, an import
# library in Microsoft's format beside MinGW's Velmora.dll.a. Included by src/Velmora on Windows.
#
# Both names of each function come from Velmora.h through the two compilers at build time
# (cmake/ExportNames.cmake); the module-definition file made from them is part of the DLL's link.
find_program(VELMORA_CLANG NAMES clang++ REQUIRED)
find_program(VELMORA_LLVM_NM NAMES llvm-nm REQUIRED)
find_program(VELMORA_LLVM_DLLTOOL NAMES llvm-dlltool REQUIRED)

set(VELMORA_MSVC_SHIM ${PROJECT_SOURCE_DIR}/src/Velmora/msvc/include CACHE INTERNAL
    "<cstddef> and <cstdint> for compiling Velmora.h for the MSVC ABI without a C++ library")
set(namesDir ${CMAKE_CURRENT_BINARY_DIR}/export-names)
# "GCC-name decorated-name" of each export, for the check of the DLL's export table.
set(VELMORA_EXPORT_PAIRS ${namesDir}/pairs.txt CACHE INTERNAL "both names of each export of Velmora.dll")
set(linkDefinitions ${namesDir}/Velmora.def)
set(importDefinitions ${namesDir}/Velmora-import.def)
set(VELMORA_MSVC_IMPORT_LIBRARY ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/Velmora.lib CACHE INTERNAL
    "Velmora.dll's import library in Microsoft's format")

add_custom_command(
    OUTPUT ${VELMORA_EXPORT_PAIRS} ${linkDefinitions} ${importDefinitions}
    COMMAND ${CMAKE_COMMAND} -DCLANG=${VELMORA_CLANG} -DMINGW_CXX=${CMAKE_CXX_COMPILER} -DNM=${VELMORA_LLVM_NM}
            -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/msvc/ExportedFunctions.cpp -DINCLUDE=${PROJECT_SOURCE_DIR}/src
            -DSHIM=${VELMORA_MSVC_SHIM} -DWORK_DIR=${namesDir} -DPAIRS=${VELMORA_EXPORT_PAIRS}
            -DLINK_DEF=${linkDefinitions} -DIMPORT_DEF=${importDefinitions}
            -P ${PROJECT_SOURCE_DIR}/cmake/ExportNames.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Velmora.h ${CMAKE_CURRENT_SOURCE_DIR}/msvc/ExportedFunctions.cpp
            ${VELMORA_MSVC_SHIM}/cstddef ${VELMORA_MSVC_SHIM}/cstdint ${PROJECT_SOURCE_DIR}/cmake/ExportNames.cmake
    COMMENT "Deriving the GCC and MSVC names of Velmora.dll's exports from Velmora.h"
    VERBATIM)
target_sources(Velmora PRIVATE ${linkDefinitions})

add_custom_command(
    OUTPUT ${VELMORA_MSVC_IMPORT_LIBRARY}
    COMMAND ${VELMORA_LLVM_DLLTOOL} -m i386:x86-64 -d ${importDefinitions} -l ${VELMORA_MSVC_IMPORT_LIBRARY}
    DEPENDS ${importDefinitions}
    COMMENT "Making Velmora.lib"
    VERBATIM)
add_custom_target(VelmoraMsvcImportLibrary ALL DEPENDS ${VELMORA_MSVC_IMPORT_LIBRARY})
install(FILES ${VELMORA_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
