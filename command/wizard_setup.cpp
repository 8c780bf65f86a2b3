#include "command/wizard_setup.h"

#include <cstring>

#include "command/wizard_sequences.h"
#include "deploy/wizard_texts.h"
#include "platform/windows_services.h"

namespace wizard {

namespace {

// The open key of Visual Studio 8.0, closed at the end of the run.
class VisualStudioKey {
 public:
  VisualStudioKey() {
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kVisualStudioKey.data(), &key_) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  VisualStudioKey(const VisualStudioKey&) = delete;
  VisualStudioKey& operator=(const VisualStudioKey&) = delete;
  ~VisualStudioKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }

  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// True when the working directory plays no part in where `path` leads: it
// starts at a drive's root ("C:\" or "C:/"), at the current drive's root
// ("\"), at a server ("\\server") or, in the native build, at "/". Both
// "IDE\" and "C:IDE\" (below drive C's current directory) are relative.
bool IsAbsolutePath(const char* path) {
  if (IsSeparator(path[0])) return true;
  return IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
}

// Reads the install directory into `buffer` as a NUL-terminated string.
// Whatever the value's type, its bytes are used up to the first NUL within
// what the query returned. False when there is no usable directory: the key
// or value is missing, the value is too long, fills the whole buffer with no
// terminator (a cut path), or is not absolute (empty or relative, it would
// put the wizard files below the current directory).
bool ReadInstallDir(HKEY key, char (&buffer)[kInstallDirSize]) {
  DWORD type = 0;
  DWORD size = kInstallDirSize;
  if (key == nullptr ||
      RegQueryValueExA(key, kInstallDirValue.data(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      size > kInstallDirSize) {
    return false;
  }
  if (std::memchr(buffer, '\0', size) == nullptr) {
    if (size == kInstallDirSize) return false;
    buffer[size] = '\0';
  }
  return IsAbsolutePath(buffer);
}

bool IsSwitch(const char* argument, std::string_view command_switch) {
  return _stricmp(argument, command_switch.data()) == 0;
}

}  // namespace

int RunWizardSetup(int argc, const char* const* argv) noexcept {
  const VisualStudioKey key;
  char install_dir[kInstallDirSize];
  if (!ReadInstallDir(key.get(), install_dir)) return 0;
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return 0;
  if (IsSwitch(argv[1], kUninstallSwitch)) {
    UninstallWizards(install_dir);
  } else if (IsSwitch(argv[1], kInstallSwitch)) {
    InstallWizards(install_dir);
  }
  return 0;
}

}  // namespace wizard
