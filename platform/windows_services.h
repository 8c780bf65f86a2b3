// The Windows services the tool calls, under their own names and signatures.
//
// On Windows they are the system's own (KERNEL32, ADVAPI32, msvcrt). Elsewhere
// this header declares the few types and functions the tool needs, and the
// build links one implementation of them: the POSIX stand-in for the native
// executable, or the tests' recording fake.
#ifndef WIZARDSETUP_PLATFORM_WINDOWS_SERVICES_H_
#define WIZARDSETUP_PLATFORM_WINDOWS_SERVICES_H_

#ifdef _WIN32
#include <string.h>
#include <windows.h>
#else
#include <cstddef>
#include <cstdint>
#include <cstring>

using BOOL = int;
using BYTE = unsigned char;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using SIZE_T = std::size_t;
using HANDLE = void*;
using HKEY = struct HKEY__*;
using HMODULE = struct HINSTANCE__*;
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr DWORD REG_SZ = 1;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD CREATE_ALWAYS = 2;
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});
inline const HANDLE INVALID_HANDLE_VALUE =
    reinterpret_cast<HANDLE>(std::intptr_t{-1});

/// Opens `sub_key` below `key`; ERROR_SUCCESS with `*result` set, or an error.
LONG RegOpenKeyA(HKEY key, const char* sub_key, HKEY* result);
/// Reads a value's type and bytes; ERROR_MORE_DATA when `*size` is too small.
LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* size);
LONG RegCloseKey(HKEY key);

/// The running executable's full path. A result equal to `size` means the
/// path was cut, possibly without a terminator.
DWORD GetModuleFileNameA(HMODULE module, char* file_name, DWORD size);

BOOL DeleteFileA(const char* file_name);
HANDLE CreateFileA(const char* file_name, DWORD desired_access,
                   DWORD share_mode, SECURITY_ATTRIBUTES* security,
                   DWORD creation_disposition, DWORD flags_and_attributes,
                   HANDLE template_file);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped);
BOOL CloseHandle(HANDLE object);
/// Copies a file with its attributes; a read-only target is not replaced.
BOOL CopyFileA(const char* existing_file, const char* new_file,
               BOOL fail_if_exists);

HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* memory);

/// Compares two strings, ignoring the case of ASCII letters.
int _stricmp(const char* left, const char* right);
#endif

#endif  // WIZARDSETUP_PLATFORM_WINDOWS_SERVICES_H_
