// The Windows services on POSIX, for the native build.
//
// Paths: every backslash is a separator. Registry: a directory tree below
// $WIZARDSETUP_REGISTRY, a key per directory and a value per regular file
// holding exactly the value's bytes, reported as REG_SZ. Read-only: a file
// with no write permission bit, refused for deleting and overwriting even to
// root, as Windows refuses a file with FILE_ATTRIBUTE_READONLY.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/ascii_case.h"
#include "platform/windows_services.h"

struct HKEY__ {
  std::string directory;
};

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

std::string ToPosixPath(const char* path) {
  std::string posix_path = path;
  for (char& c : posix_path) {
    if (c == '\\') c = '/';
  }
  return posix_path;
}

bool IsReadOnly(const struct stat& status) {
  return (status.st_mode & kWriteBits) == 0;
}

// True when `path` names an existing file that Windows would not overwrite
// or delete: a read-only file or a directory.
bool IsProtected(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return false;
  return S_ISDIR(status.st_mode) || IsReadOnly(status);
}

int ToDescriptor(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}

// Descriptors are stored off by one, so no open file is ever the null or
// the invalid handle.
HANDLE ToHandle(int descriptor) {
  return reinterpret_cast<HANDLE>(std::intptr_t{descriptor} + 1);
}

bool WriteAll(int descriptor, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(descriptor, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyContents(int from, int to) {
  char block[16384];
  for (;;) {
    const ssize_t got = read(from, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    if (!WriteAll(to, block, static_cast<std::size_t>(got))) return false;
  }
}

bool SameFile(const struct stat& left, const std::string& right_path) {
  struct stat right;
  return stat(right_path.c_str(), &right) == 0 && left.st_dev == right.st_dev &&
         left.st_ino == right.st_ino;
}

}  // namespace

LONG RegOpenKeyA(HKEY key, const char* sub_key, HKEY* result) {
  const char* root = std::getenv("WIZARDSETUP_REGISTRY");
  if (key != HKEY_LOCAL_MACHINE || root == nullptr || *root == '\0') {
    return ERROR_FILE_NOT_FOUND;
  }
  std::string directory =
      std::string(root) + "/HKEY_LOCAL_MACHINE/" + ToPosixPath(sub_key);
  struct stat status;
  if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    return ERROR_FILE_NOT_FOUND;
  }
  *result = new (std::nothrow) HKEY__{std::move(directory)};
  return *result != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* /*reserved*/,
                      DWORD* type, BYTE* data, DWORD* size) {
  const std::string path = key->directory + "/" + ToPosixPath(value_name);
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return ERROR_FILE_NOT_FOUND;
  struct stat status;
  LONG result = ERROR_FILE_NOT_FOUND;
  if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
      status.st_size <= 0xFFFFFFFF) {
    const auto length = static_cast<DWORD>(status.st_size);
    result = ERROR_SUCCESS;
    if (data != nullptr && length > *size) {
      result = ERROR_MORE_DATA;
    } else if (data != nullptr &&
               read(descriptor, data, length) != static_cast<ssize_t>(length)) {
      result = ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) *type = REG_SZ;
    *size = length;
  }
  close(descriptor);
  return result;
}

LONG RegCloseKey(HKEY key) {
  delete key;
  return ERROR_SUCCESS;
}

DWORD GetModuleFileNameA(HMODULE /*module*/, char* file_name, DWORD size) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return 0;
  // Like Windows XP and Wine: a path that does not fit is cut to `size`
  // bytes with no terminator, and the result is `size`.
  const DWORD copied =
      static_cast<DWORD>(length) < size ? static_cast<DWORD>(length) : size;
  for (DWORD i = 0; i < copied; ++i) {
    file_name[i] = path[i] == '/' ? '\\' : path[i];
  }
  if (copied < size) file_name[copied] = '\0';
  return copied;
}

BOOL DeleteFileA(const char* file_name) {
  const std::string path = ToPosixPath(file_name);
  if (IsProtected(path)) return FALSE;
  return unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

HANDLE CreateFileA(const char* file_name, DWORD /*desired_access*/,
                   DWORD /*share_mode*/, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD /*creation_disposition*/,
                   DWORD /*flags_and_attributes*/, HANDLE /*template_file*/) {
  const std::string path = ToPosixPath(file_name);
  if (IsProtected(path)) return INVALID_HANDLE_VALUE;
  const int descriptor =
      open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return descriptor < 0 ? INVALID_HANDLE_VALUE : ToHandle(descriptor);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* /*overlapped*/) {
  const bool done =
      WriteAll(ToDescriptor(file), static_cast<const char*>(buffer), count);
  if (written != nullptr) *written = done ? count : 0;
  return done ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE object) {
  return close(ToDescriptor(object)) == 0 ? TRUE : FALSE;
}

BOOL CopyFileA(const char* existing_file, const char* new_file,
               BOOL fail_if_exists) {
  const std::string target = ToPosixPath(new_file);
  const int source =
      open(ToPosixPath(existing_file).c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return FALSE;
  struct stat status;
  bool copied = false;
  // A file copied onto itself would be emptied; Windows refuses that copy.
  if (fstat(source, &status) == 0 && S_ISREG(status.st_mode) &&
      !SameFile(status, target) && !IsProtected(target) &&
      !(fail_if_exists && access(target.c_str(), F_OK) == 0)) {
    const int copy =
        open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (copy >= 0) {
      copied = CopyContents(source, copy) &&
               fchmod(copy, status.st_mode & 07777) == 0;
      copied = close(copy) == 0 && copied;
    }
  }
  close(source);
  return copied ? TRUE : FALSE;
}

HANDLE GetProcessHeap() { return nullptr; }

void* HeapAlloc(HANDLE /*heap*/, DWORD /*flags*/, SIZE_T size) {
  return std::malloc(size);
}

BOOL HeapFree(HANDLE /*heap*/, DWORD /*flags*/, void* memory) {
  std::free(memory);
  return TRUE;
}

int _stricmp(const char* left, const char* right) {
  return platform::CompareIgnoringAsciiCase(left, right);
}
