# Builds for the MSVC ABI with clang and lld-link, as Microsoft's compiler would, on a machine without the
# Windows SDK or Microsoft's C runtime: nothing may be linked by default.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
# Without a C runtime no test program of CMake's can be linked; compiling one is enough.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib -Wl,/nodefaultlib")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "no default Windows libraries")
