// Test helper: the registry edits of the end-to-end suite that Wine's reg
// tool cannot make, or makes slowly.
//
//   vs_registry.exe clear          removes the Visual Studio 8.0 key from
//                                  both views of the registry
//   vs_registry.exe raw TYPE HEX   stores InstallDir with exactly these
//                                  bytes (no terminator is added, as
//                                  RegSetValueEx and reg.exe do), in the
//                                  view of a program of this helper's own
//                                  bitness, the one the tool reads
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kVersionKey[] = "SOFTWARE\\Microsoft\\VisualStudio\\8.0";
constexpr char kProductKey[] = "SOFTWARE\\Microsoft\\VisualStudio";

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

bool ParseHex(const char* hex, std::vector<unsigned char>& bytes) {
  if (std::strlen(hex) % 2 != 0) return false;
  for (; *hex != '\0'; hex += 2) {
    const int high = HexDigit(hex[0]);
    const int low = HexDigit(hex[1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return true;
}

int Clear() {
  for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, view, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kProductKey, view, 0);
  }
  return 0;
}

int SetRaw(const char* type, const char* hex) {
  std::vector<unsigned char> bytes;
  if (!ParseHex(hex, bytes)) return 2;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 1;
  }
  const auto set_value =
      reinterpret_cast<NtSetValueKeyFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  static const wchar_t kName[] = L"InstallDir";
  CountedUnicode name{sizeof kName - sizeof(wchar_t), sizeof kName, kName};
  const LONG status =
      set_value == nullptr
          ? -1
          : set_value(key, &name, 0, std::strtoul(type, nullptr, 10),
                      bytes.data(), static_cast<ULONG>(bytes.size()));
  RegCloseKey(key);
  return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "clear") == 0) return Clear();
  if (argc == 4 && std::strcmp(argv[1], "raw") == 0) {
    return SetRaw(argv[2], argv[3]);
  }
  return 2;
}
