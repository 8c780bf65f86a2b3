// Opens and closes Visual Studio 8.0's key and does nothing else: the
// benchmark's measure of a Windows program's start under Wine.
#include <windows.h>

int main() {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\VisualStudio\\8.0",
                  &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  return 0;
}
