// The few Windows functions the MSVC-ABI caller uses, declared by hand: it is compiled by clang for the MSVC
// ABI without the Windows SDK (whose headers MinGW has only in its own dialect) and linked against import
// libraries made from kernel32.def.
#pragma once

#include <cstdint>

namespace Win32 {

using Handle = void*;
using Module = void*;
using Procedure = long long(__stdcall*)();

inline constexpr std::uint32_t standardOutput = static_cast<std::uint32_t>(-11);
inline constexpr std::uint32_t genericWrite = 0x40000000u;
inline constexpr std::uint32_t createAlways = 2;
inline constexpr std::uint32_t normalFile = 0x80;
inline const Handle invalidHandle = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

}  // namespace Win32

extern "C" {
__declspec(dllimport) Win32::Module __stdcall LoadLibraryW(const wchar_t* name);
__declspec(dllimport) Win32::Procedure __stdcall GetProcAddress(Win32::Module module, const char* name);
__declspec(dllimport) Win32::Handle __stdcall GetStdHandle(std::uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(Win32::Handle file, const void* data, std::uint32_t size,
                                              std::uint32_t* written, void* overlapped);
[[noreturn]] __declspec(dllimport) void __stdcall ExitProcess(std::uint32_t code);
__declspec(dllimport) wchar_t* __stdcall GetCommandLineW();
__declspec(dllimport) Win32::Handle
    __stdcall CreateFileW(const wchar_t* name, std::uint32_t access, std::uint32_t share, void* security,
                          std::uint32_t disposition, std::uint32_t attributes, Win32::Handle templateFile);
__declspec(dllimport) int __stdcall CloseHandle(Win32::Handle object);
__declspec(dllimport) int __stdcall DeleteFileW(const wchar_t* name);
__declspec(dllimport) std::uint32_t
    __stdcall GetFullPathNameW(const wchar_t* name, std::uint32_t size, wchar_t* buffer, wchar_t** filePart);
}
