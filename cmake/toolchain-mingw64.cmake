# Cross-build for Windows x86-64 with MinGW-w64, tests run through Wine.
#
# The posix thread model is the one whose libstdc++ has std::thread and std::mutex. Linking everything
# statically keeps libstdc++, libgcc and libwinpthread inside each binary, so that Velmora.dll and the test
# programs depend on system DLLs only (KERNEL32, msvcrt, ole32, OLEAUT32) and run on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VELMORA_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump that reads PE files")

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW's ar spends some 15 s indexing each archive of the simulated host (its objects hold tens of thousands of
# COMDAT sections); llvm-ar (package llvm, which the Windows build needs anyway) writes the same archive, index
# and all, in a fraction of a second.
find_program(VELMORA_LLVM_AR NAMES llvm-ar)
find_program(VELMORA_LLVM_RANLIB NAMES llvm-ranlib)
if(VELMORA_LLVM_AR AND VELMORA_LLVM_RANLIB)
    set(CMAKE_AR ${VELMORA_LLVM_AR})
    set(CMAKE_RANLIB ${VELMORA_LLVM_RANLIB})
endif()

set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest starts every test program through Wine; wine64 is used directly so that the wine32 wrapper warning
# and the /usr/bin wrappers are not needed.
find_program(VELMORA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(VELMORA_WINE64 NAMES wine64)
if(VELMORA_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_WINE64})
endif()
