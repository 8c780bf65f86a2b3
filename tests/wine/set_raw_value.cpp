// Test helper: stores a registry value's bytes exactly as given, with no
// terminator added, which RegSetValueEx and reg.exe always add.
//
//   set_raw_value.exe TYPE HEXBYTES
//
// Sets InstallDir of HKLM\SOFTWARE\Microsoft\VisualStudio\8.0 in the 32-bit
// view of the registry.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct CountedUnicode {
  USHORT length;
  USHORT maximum_length;
  const wchar_t* buffer;
};

using NtSetValueKeyFunction = LONG(WINAPI*)(HANDLE, CountedUnicode*, ULONG,
                                            ULONG, const void*, ULONG);

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strlen(argv[2]) % 2 != 0) return 2;
  std::vector<unsigned char> bytes;
  for (const char* hex = argv[2]; *hex != '\0'; hex += 2) {
    const int high = HexDigit(hex[0]);
    const int low = HexDigit(hex[1]);
    if (high < 0 || low < 0) return 2;
    bytes.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\VisualStudio\\8.0", 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return 1;
  }
  const auto set_value = reinterpret_cast<NtSetValueKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                             "NtSetValueKey")));
  static const wchar_t kName[] = L"InstallDir";
  CountedUnicode name{sizeof kName - sizeof(wchar_t), sizeof kName, kName};
  const LONG status =
      set_value == nullptr
          ? -1
          : set_value(key, &name, 0, std::strtoul(argv[1], nullptr, 10),
                      bytes.data(), static_cast<ULONG>(bytes.size()));
  RegCloseKey(key);
  return status == 0 ? 0 : 1;
}
