// Test helper: reads back an executable's resources through the Windows
// APIs that Explorer and the loader use, one "name=value" line each.
//
//   resource_probe.exe FILE
//
// Prints the version strings, the fixed file version, and the execution
// level that the application manifest requests.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PrintVersionStrings(const std::vector<char>& info) {
  for (const char* name :
       {"FileDescription", "FileVersion", "InternalName", "OriginalFilename",
        "ProductName", "ProductVersion"}) {
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(info.data(), key.c_str(),
                       reinterpret_cast<void**>(&value), &length)) {
      std::printf("%s=%s\n", name, value);
    }
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed),
                     &length)) {
    std::printf("FixedFileVersion=%d.%d.%d.%d\n",
                HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  }
}

void PrintExecutionLevel(const char* file) {
  const HMODULE module =
      LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return;
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1),
                                    MAKEINTRESOURCEA(24));
  if (found != nullptr) {
    const char* manifest =
        static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string text(manifest, SizeofResource(module, found));
    const std::string key = "requestedExecutionLevel level=\"";
    const std::size_t start = text.find(key);
    if (start != std::string::npos) {
      const std::size_t end = text.find('"', start + key.size());
      std::printf("ExecutionLevel=%s\n",
                  text.substr(start + key.size(), end - start - key.size())
                      .c_str());
    }
  }
  FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &handle);
  if (size == 0) return 1;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(argv[1], 0, size, info.data())) return 1;
  PrintVersionStrings(info);
  PrintExecutionLevel(argv[1]);
  return 0;
}
