// Test helper: holds a file open with no sharing, as another program on the
// machine might, until told to let go.
//
//   hold_file.exe FILE READY RELEASE
//
// Opens FILE (creating it if needed) with share mode 0, creates READY, then
// waits until RELEASE exists (at most 60 s) and closes FILE.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_ALWAYS, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  const HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int waited = 0; waited < 3000; ++waited) {
    if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(20);
  }
  CloseHandle(held);
  return 0;
}
