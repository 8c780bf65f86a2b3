// The Windows services on POSIX, for the native build.
//
// Paths: every backslash is a separator, and a file path names a file here
// as posix_paths.h says. Registry: a directory tree below
// $WIZARDSETUP_REGISTRY, a key per directory and a value per regular file
// holding exactly the value's bytes, reported as REG_SZ. Read-only: a file
// with no write permission bit, refused for deleting and overwriting even to
// root, as Windows refuses a file with FILE_ATTRIBUTE_READONLY. Only regular
// files are opened, and never with a wait: a FIFO or a device is refused, and
// not deleted, as Windows refuses what is not a file; each is looked at
// without being opened, and what is opened is the file looked at (through
// /proc/self/fd). A file open for writing holds an exclusive flock(2) until
// it is closed, and another writer, or a deletion, is refused meanwhile, as
// Windows refuses a file open with share mode 0; where the file system gives
// no locks, files are used unlocked. A write cut short by a file-size limit
// fails as a write to a full disk does.
//
// Plain C library and system calls only, in bounded buffers: the native tool
// needs no C++ runtime and starts as fast as a C program.
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/posix_paths.h"
#include "platform/windows_services.h"

struct HKEY__ {
  char directory[PATH_MAX];
};

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

using platform::FilePath;
using platform::PosixPath;

bool IsReadOnly(const struct stat& status) {
  return (status.st_mode & kWriteBits) == 0;
}

bool IsWritable(const struct stat& status) {
  return S_ISREG(status.st_mode) && !IsReadOnly(status);
}

int ToDescriptor(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}

// Descriptors are stored off by one, so no open file is ever the null or
// the invalid handle.
HANDLE ToHandle(int descriptor) {
  return reinterpret_cast<HANDLE>(std::intptr_t{descriptor} + 1);
}

constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY;

// Looks at `path` without opening it (O_PATH: a FIFO's peer is not released,
// a device not started), following a link only when `follow`; -1, with
// errno, when nothing is there. `status` then tells what it is.
int LookAt(const char* path, bool follow, struct stat& status) {
  const int look = open(path, O_PATH | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
  if (look >= 0 && fstat(look, &status) != 0) {
    close(look);
    return -1;
  }
  return look;
}

// Opens the file that `look` looked at, never one that has taken its name
// since.
int OpenLookedAt(int look, int flags) {
  char looked_at[32];
  std::snprintf(looked_at, sizeof looked_at, "/proc/self/fd/%d", look);
  return open(looked_at, flags | kOpenFlags);
}

// Opens `path` only when it is a regular file: opening a FIFO would release a
// peer waiting on it, and opening a device may start it. `status` is then
// the file's.
int OpenRegularFile(const char* path, int flags, struct stat& status) {
  const int look = LookAt(path, true, status);
  if (look < 0) return -1;
  const int descriptor =
      S_ISREG(status.st_mode) ? OpenLookedAt(look, flags) : -1;
  close(look);
  return descriptor;
}

// Removes `path` only while it names the file `file` tells of: once that file
// is deleted, the name may be another run's.
bool RemoveIfStillNamed(const char* path, const struct stat& file) {
  struct stat named;
  return lstat(path, &named) == 0 && named.st_dev == file.st_dev &&
         named.st_ino == file.st_ino && unlink(path) == 0;
}

// Only a lock held by another writer refuses the file, as a sharing
// violation; a file system that gives no locks (NFS without a lock service)
// leaves the file unlocked.
bool LockForWriting(int descriptor) {
  return flock(descriptor, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// The process's state from its start, set once before main: a file it creates
// can be read and written by its owner from the instant it exists, whatever
// umask it was started with, as Windows makes every new file writable, so a
// run cut short leaves nothing a later run cannot replace; and a write past a
// file-size limit fails with EFBIG, as a write to a full disk fails on
// Windows, rather than ending the process with SIGXFSZ.
[[gnu::constructor]] void SetStartUpState() {
  umask(umask(0) & ~static_cast<mode_t>(S_IRWXU));
  std::signal(SIGXFSZ, SIG_IGN);
}

// Opens `path` for writing, creating it with `mode` when it is not there (and
// only then, if `must_be_new`), locks it against other writers and empties
// it; `status` then tells what it is.
// Fails, leaving it untouched, when it is read-only, not a regular file, open
// for writing elsewhere, deleted since it was opened, or the file `source` (a
// copy onto itself). The size is read under the lock, so a file another
// writer filled meanwhile is emptied all the same. A file made here and then
// refused is removed again, unless another writer holds it or its name has
// passed to another file.
int OpenForReplacing(const char* path, bool must_be_new, mode_t mode,
                     const struct stat* source, struct stat& status) {
  const int look = LookAt(path, true, status);
  if (look < 0 && errno != ENOENT) return -1;
  const bool create = look < 0;
  int descriptor = -1;
  if (create) {
    descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, mode);
  } else if (!must_be_new && S_ISREG(status.st_mode)) {
    descriptor = OpenLookedAt(look, O_WRONLY);
  }
  if (look >= 0) close(look);
  if (descriptor < 0) return -1;
  if (!LockForWriting(descriptor)) {
    close(descriptor);
    return -1;
  }
  const bool known = fstat(descriptor, &status) == 0;
  if (!known || status.st_nlink == 0 || !IsWritable(status) ||
      (source != nullptr && status.st_dev == source->st_dev &&
       status.st_ino == source->st_ino) ||
      (status.st_size > 0 && ftruncate(descriptor, 0) != 0)) {
    if (create && known) RemoveIfStillNamed(path, status);
    close(descriptor);
    return -1;
  }
  return descriptor;
}

// What a copy may carry of its source's mode: its read-only state, nothing
// else. A copy is a new file of the target's, never set-user-ID, set-group-ID,
// sticky, executable or writable by others, whoever owned the source.
mode_t CopyMode(const struct stat& target, const struct stat& source) {
  constexpr mode_t kPlainFile = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
  const mode_t mode = (target.st_mode & kPlainFile) | S_IRUSR | S_IWUSR;
  return IsReadOnly(source) ? mode & ~kWriteBits : mode;
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

}  // namespace

LONG RegOpenKeyA(HKEY key, const char* sub_key, HKEY* result) {
  const char* root = std::getenv("WIZARDSETUP_REGISTRY");
  if (key != HKEY_LOCAL_MACHINE || root == nullptr || *root == '\0') {
    return ERROR_FILE_NOT_FOUND;
  }
  const PosixPath sub_path(sub_key);
  char directory[PATH_MAX];
  const int length =
      std::snprintf(directory, sizeof directory, "%s/HKEY_LOCAL_MACHINE/%s",
                    root, sub_path.text);
  struct stat status;
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof directory ||
      stat(directory, &status) != 0 || !S_ISDIR(status.st_mode)) {
    return ERROR_FILE_NOT_FOUND;
  }
  *result = static_cast<HKEY>(std::malloc(sizeof(HKEY__)));
  if (*result == nullptr) return ERROR_FILE_NOT_FOUND;
  std::memcpy((*result)->directory, directory,
              static_cast<std::size_t>(length) + 1);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* /*reserved*/,
                      DWORD* type, BYTE* data, DWORD* size) {
  const PosixPath name(value_name);
  char path[PATH_MAX];
  const int length =
      std::snprintf(path, sizeof path, "%s/%s", key->directory, name.text);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) {
    return ERROR_FILE_NOT_FOUND;
  }
  struct stat status;
  const int descriptor = OpenRegularFile(path, O_RDONLY, status);
  if (descriptor < 0) return ERROR_FILE_NOT_FOUND;
  LONG result = ERROR_FILE_NOT_FOUND;
  if (status.st_size <= 0xFFFFFFFF) {
    const auto value_size = static_cast<DWORD>(status.st_size);
    result = ERROR_SUCCESS;
    if (data != nullptr && value_size > *size) {
      result = ERROR_MORE_DATA;
    } else if (data != nullptr && read(descriptor, data, value_size) !=
                                      static_cast<ssize_t>(value_size)) {
      result = ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) *type = REG_SZ;
    *size = value_size;
  }
  close(descriptor);
  return result;
}

LONG RegCloseKey(HKEY key) {
  std::free(key);
  return ERROR_SUCCESS;
}

DWORD GetModuleFileNameA(HMODULE /*module*/, char* file_name, DWORD size) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  // A path Windows could not have reported names no tool folder there is.
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path ||
      !platform::IsWindowsNaming(path, static_cast<std::size_t>(length))) {
    return 0;
  }
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

// A file that another writer holds open is not deleted, as Windows refuses
// to delete a file open without delete sharing. The lock taken to find out,
// through a descriptor for reading or, where this user may only write the
// file, for writing, is held until the name is gone, so no writer opens the
// file meanwhile; a file this user may neither read nor write is not
// deleted, and the name is removed only while it still names the file
// looked at. A link is deleted itself, never opened, and what is neither a
// link nor a regular file is left alone.
BOOL DeleteFileA(const char* file_name) {
  const PosixPath path = FilePath(file_name);
  struct stat status;
  const int look = LookAt(path.text, false, status);
  if (look < 0) return FALSE;
  int descriptor = -1;
  if (S_ISLNK(status.st_mode)) {
    close(look);
    return RemoveIfStillNamed(path.text, status) ? TRUE : FALSE;
  }
  if (IsWritable(status)) {
    descriptor = OpenLookedAt(look, O_RDONLY);
    if (descriptor < 0 && errno == EACCES) {
      descriptor = OpenLookedAt(look, O_WRONLY);
    }
  }
  close(look);
  if (descriptor < 0) return FALSE;
  const bool deleted =
      LockForWriting(descriptor) && RemoveIfStillNamed(path.text, status);
  close(descriptor);
  return deleted ? TRUE : FALSE;
}

HANDLE CreateFileA(const char* file_name, DWORD /*desired_access*/,
                   DWORD /*share_mode*/, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD /*creation_disposition*/,
                   DWORD /*flags_and_attributes*/, HANDLE /*template_file*/) {
  struct stat status;
  const int descriptor =
      OpenForReplacing(FilePath(file_name).text, false, 0666, nullptr, status);
  return descriptor < 0 ? INVALID_HANDLE_VALUE : ToHandle(descriptor);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped) {
  // Windows faults on a synchronous write with nowhere to put the count.
  if (written == nullptr && overlapped == nullptr) return FALSE;
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
  struct stat status;
  const int source =
      OpenRegularFile(FilePath(existing_file).text, O_RDONLY, status);
  if (source < 0) return FALSE;
  bool copied = false;
  struct stat target;
  const int copy = OpenForReplacing(FilePath(new_file).text,
                                    fail_if_exists != FALSE, 0666, &status,
                                    target);
  if (copy >= 0) {
    copied = CopyContents(source, copy) &&
             fchmod(copy, CopyMode(target, status)) == 0;
    copied = close(copy) == 0 && copied;
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
