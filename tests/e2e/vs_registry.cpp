// Test helper: the registry edits of the end-to-end suite that Wine's reg
// tool cannot make, or makes slowly, each in one Wine process.
//
//   vs_registry.exe clear          removes the Visual Studio 8.0 key from
//                                  both views of the registry
//   vs_registry.exe raw TYPE HEX   stores InstallDir with exactly these
//                                  bytes (no terminator is added, as
//                                  RegSetValueEx and reg.exe do), in the
//                                  view of a program of this helper's own
//                                  bitness, the one the tool reads, and
//                                  reads them back
//
// A change that fails, or does not read back as made, exits 1 with one line
// saying why, in the system's words where it has them.
#include <windows.h>

#include <cstdio>
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

int Failed(const char* what, LONG status) {
  char words[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(status), 0, words, sizeof words,
                 nullptr);
  std::printf("%s: error %ld %s\n", what, static_cast<long>(status), words);
  return 1;
}

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
    for (const char* key : {kVersionKey, kProductKey}) {
      const LONG status = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, view, 0);
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return Failed("removing the key", status);
      }
    }
  }
  return 0;
}

int SetRaw(const char* type, const char* hex) {
  std::vector<unsigned char> bytes;
  if (!ParseHex(hex, bytes)) return 2;
  HKEY key = nullptr;
  const LONG created =
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) return Failed("creating the key", created);
  const auto set_value =
      reinterpret_cast<NtSetValueKeyFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  static const wchar_t kName[] = L"InstallDir";
  CountedUnicode name{sizeof kName - sizeof(wchar_t), sizeof kName, kName};
  const auto number = static_cast<DWORD>(std::strtoul(type, nullptr, 10));
  const LONG status =
      set_value == nullptr
          ? -1
          : set_value(key, &name, 0, number, bytes.data(),
                      static_cast<ULONG>(bytes.size()));
  // The wide call returns the bytes as they are stored.
  std::vector<unsigned char> stored(bytes.size() + 1);
  DWORD stored_type = REG_NONE;
  DWORD size = static_cast<DWORD>(stored.size());
  const LONG read = status != 0 ? status
                                : RegQueryValueExW(key, kName, nullptr,
                                                   &stored_type, stored.data(),
                                                   &size);
  RegCloseKey(key);
  if (status != 0) {
    std::printf("storing InstallDir: status 0x%lx\n",
                static_cast<unsigned long>(status));
    return 1;
  }
  if (read != ERROR_SUCCESS) return Failed("reading InstallDir back", read);
  stored.resize(size);
  if (stored_type != number || stored != bytes) {
    std::printf("InstallDir reads back otherwise than it was stored\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "clear") == 0) return Clear();
  if (argc == 4 && std::strcmp(argv[1], "raw") == 0) {
    return SetRaw(argv[2], argv[3]);
  }
  return 2;
}
