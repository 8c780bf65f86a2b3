// The POSIX stand-in of the Windows services, against a real directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/windows_services.h"

// The stand-in's flock(2) and open(2) come here (the tests link with
// --wrap), so that a test can play a file system without locks, or another
// run that acts just before a lock is taken or just after a file is opened.
extern "C" int __real_flock(int descriptor, int operation);
extern "C" int __real_open(const char* path, int flags, ...);
namespace {
std::function<int(int, int)> flock_hook;
std::function<void(const std::string&, int)> open_hook;
}  // namespace
extern "C" int __wrap_flock(int descriptor, int operation) {
  return flock_hook ? flock_hook(descriptor, operation)
                    : __real_flock(descriptor, operation);
}
extern "C" int __wrap_open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
  va_end(rest);
  const int descriptor = __real_open(path, flags, mode);
  if (open_hook) open_hook(path, flags);
  return descriptor;
}

namespace {

class PosixServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wizardsetup-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    root_ = pattern;
    unsetenv("WIZARDSETUP_REGISTRY");
    flock_hook = nullptr;
    open_hook = nullptr;
  }
  void TearDown() override {
    unsetenv("WIZARDSETUP_REGISTRY");
    std::system(
        ("chmod -R u+w '" + root_ + "' && rm -rf '" + root_ + "'").c_str());
  }

  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  mode_t Mode(const std::string& name) const {
    struct stat status;
    return stat(Path(name).c_str(), &status) == 0 ? status.st_mode & 07777
                                                  : 07777;
  }
  // The same path as the tool spells it, with backslashes.
  std::string WindowsPath(const std::string& name) const {
    std::string path = Path(name);
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return file ? bytes.str() : "<missing>";
  }
  HANDLE Create(const std::string& name) const {
    return CreateFileA(WindowsPath(name).c_str(), GENERIC_WRITE, 0, nullptr,
                       CREATE_ALWAYS, 0, nullptr);
  }
  BOOL Copy(const std::string& from, const std::string& to) const {
    return CopyFileA(WindowsPath(from).c_str(), WindowsPath(to).c_str(), FALSE);
  }
  BOOL Delete(const std::string& name) const {
    return DeleteFileA(WindowsPath(name).c_str());
  }
  void MakeReadOnly(const std::string& name) const {
    ASSERT_EQ(0, chmod(Path(name).c_str(), 0444));
  }

  // Makes $root/registry/HKEY_LOCAL_MACHINE/<key> and points the stand-in at
  // it.
  void MakeKey(const std::string& key) const {
    std::system(
        ("mkdir -p '" + Path("registry/HKEY_LOCAL_MACHINE/" + key) + "'")
            .c_str());
    setenv("WIZARDSETUP_REGISTRY", Path("registry").c_str(), 1);
  }

  std::string root_;
};

TEST_F(PosixServicesTest, RegistryValueIsTheFileBytesAsRegSz) {
  MakeKey("SOFTWARE/Vendor/8.0");
  Put("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vendor/8.0/Dir", "C:\\IDE\\");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\8.0", &key));

  BYTE data[16] = {};
  DWORD type = 0;
  DWORD size = sizeof data;
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(key, "Dir", nullptr, &type, data, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(7u, size);
  EXPECT_EQ("C:\\IDE\\", std::string(reinterpret_cast<char*>(data), size));

  size = 6;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegQueryValueExA(key, "Dir", nullptr, &type, data, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(key, "Missing", nullptr, &type, data, &size));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(PosixServicesTest, RegistryKeyMissingWithoutTreeOrVariable) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", &key));
  MakeKey("SOFTWARE/Other");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &key));
  EXPECT_EQ(nullptr, key);
}

TEST_F(PosixServicesTest, ModuleFileNameIsThisProgramWithBackslashes) {
  char path[4096];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 1u);
  EXPECT_EQ('\\', path[0]);
  EXPECT_EQ(std::string::npos, std::string(path).find('/'));
  EXPECT_NE(std::string::npos, std::string(path).find("posix_services_tests"));

  char cut[5] = {'#', '#', '#', '#', '#'};
  EXPECT_EQ(4u, GetModuleFileNameA(nullptr, cut, 4));
  EXPECT_EQ(std::string(path, 4), std::string(cut, 4));
  EXPECT_EQ('#', cut[4]);
}

TEST_F(PosixServicesTest, CreateWriteCloseEmptiesAndWrites) {
  Put("file", "old content that is longer");
  const HANDLE file = Create("file");
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  EXPECT_EQ(FALSE, WriteFile(file, "refused", 7, nullptr, nullptr));
  EXPECT_NE(FALSE, WriteFile(file, "new\r\n", 5, &written, nullptr));
  EXPECT_EQ(5u, written);
  EXPECT_NE(FALSE, CloseHandle(file));
  EXPECT_EQ("new\r\n", Get("file"));
}

TEST_F(PosixServicesTest, ReadOnlyFileIsNeitherDeletedNorOverwritten) {
  Put("locked", "kept");
  Put("source", "new");
  MakeReadOnly("locked");

  EXPECT_EQ(FALSE, Delete("locked"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("locked"));
  EXPECT_EQ(FALSE, Copy("source", "locked"));
  EXPECT_EQ("kept", Get("locked"));
}

TEST_F(PosixServicesTest, CopyReplacesTargetAndKeepsSourceAttributes) {
  Put("source", "icon bytes");
  Put("target", "older and longer bytes");
  MakeReadOnly("source");

  EXPECT_NE(FALSE, Copy("source", "target"));
  EXPECT_EQ("icon bytes", Get("target"));
  struct stat status;
  ASSERT_EQ(0, stat(Path("target").c_str(), &status));
  EXPECT_EQ(0444u, status.st_mode & 0777u);
}

TEST_F(PosixServicesTest, CopyRefusesMissingSourceAndCopyOntoItself) {
  Put("icon", "bytes");
  EXPECT_EQ(FALSE, Copy("missing", "target"));
  EXPECT_EQ("<missing>", Get("target"));
  EXPECT_EQ(FALSE, Copy("icon", "icon"));
  EXPECT_EQ("bytes", Get("icon"));
}

// A link is deleted itself, whatever it leads to, or nothing.
TEST_F(PosixServicesTest, DeleteRemovesFilesAndLinksOnly) {
  Put("file", "x");
  Put("locked", "kept");
  MakeReadOnly("locked");
  ASSERT_EQ(0, mkdir(Path("folder").c_str(), 0755));
  ASSERT_EQ(0, symlink(Path("locked").c_str(), Path("to-locked").c_str()) |
                   symlink(Path("gone").c_str(), Path("dangling").c_str()));
  EXPECT_NE(FALSE, Delete("file"));
  EXPECT_EQ(FALSE, Delete("file"));
  EXPECT_EQ(FALSE, Delete("folder"));
  EXPECT_NE(FALSE, Delete("to-locked"));
  EXPECT_NE(FALSE, Delete("dangling"));
  struct stat status;
  EXPECT_NE(0, lstat(Path("to-locked").c_str(), &status) &
                   lstat(Path("dangling").c_str(), &status));
  EXPECT_EQ("<missing>", Get("file"));
  EXPECT_EQ("kept", Get("locked"));
}

// Nor is a FIFO ever opened, which would release a peer waiting on it: it
// is only looked at (O_PATH).
TEST_F(PosixServicesTest, FifoIsRefusedWithoutWaitingForAPeer) {
  ASSERT_EQ(0, mkfifo(Path("fifo").c_str(), 0666));
  int opened = 0;
  open_hook = [&opened](const std::string& path, int flags) {
    opened += path.find("fifo") != std::string::npos && (flags & O_PATH) == 0;
  };
  Put("icon", "bytes");
  MakeKey("SOFTWARE/Vendor");
  ASSERT_EQ(
      0, mkfifo(Path("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vendor/Dir").c_str(),
                0666));
  alarm(10);  // a wait in open() ends the test as a failure

  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("fifo"));
  EXPECT_EQ(FALSE, Copy("fifo", "copy"));
  EXPECT_EQ(FALSE, Copy("icon", "fifo"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &key));
  BYTE data[8];
  DWORD size = sizeof data;
  EXPECT_NE(ERROR_SUCCESS,
            RegQueryValueExA(key, "Dir", nullptr, nullptr, data, &size));
  RegCloseKey(key);
  EXPECT_EQ(FALSE, Delete("fifo"));
  alarm(0);
  EXPECT_EQ(0, opened);
  EXPECT_EQ("<missing>", Get("copy"));
}

// Another run puts a FIFO in the file's place just after the stand-in first
// opens the name, to look at it: what it then opens, writes or deletes is the
// file it looked at, and the FIFO is neither opened nor deleted.
TEST_F(PosixServicesTest, FifoTakingTheNameAfterTheLookIsLeftAlone) {
  Put("icon", "bytes");
  const std::function<void()> calls[] = {
      [this] { Delete("file"); }, [this] { Copy("file", "copy"); },
      [this] { Copy("icon", "file"); }, [this] { CloseHandle(Create("file")); }};
  for (const auto& call : calls) {
    Put("file", "looked at");
    int opens = 0;
    open_hook = [this, &opens](const std::string& path, int) {
      if (path == Path("file") && opens++ == 0) {
        unlink(path.c_str());
        mkfifo(path.c_str(), 0666);
      }
    };
    call();
    open_hook = nullptr;
    struct stat status;
    EXPECT_EQ(1, opens) << &call - calls;
    EXPECT_TRUE(lstat(Path("file").c_str(), &status) == 0 &&
                S_ISFIFO(status.st_mode)) << &call - calls;
    unlink(Path("file").c_str());
  }
}

TEST_F(PosixServicesTest, CopyTakesOnlyTheReadOnlyStateOfItsSource) {
  const mode_t usual = umask(022);
  for (const mode_t source : {06755u, 0777u, 01666u}) {
    Put("icon", "bytes");
    ASSERT_EQ(0, chmod(Path("icon").c_str(), source));
    EXPECT_NE(FALSE, Copy("icon", "copy"));
    EXPECT_EQ(0644u, Mode("copy")) << std::oct << source;
    unlink(Path("icon").c_str());
    unlink(Path("copy").c_str());
  }
  umask(usual);
}

TEST_F(PosixServicesTest, WriteBeyondTheFileSizeLimitFailsAndTheRunGoesOn) {
  Put("icon", std::string(8192, 'i'));
  const pid_t child = fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    const BOOL copied = Copy("icon", "copy");
    const HANDLE file = Create("file");
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, std::string(8192, 'f').data(), 8192, &written, nullptr);
    _exit(copied == FALSE && wrote == FALSE ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(PosixServicesTest, FileSystemWithoutLocksStillTakesEveryFile) {
  flock_hook = [](int, int) {
    errno = ENOLCK;
    return -1;
  };
  Put("stale", "an older and longer file");
  Put("icon", "bytes");
  for (const char* name : {"stale", "new"}) {
    const HANDLE file = Create(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << name;
    DWORD written = 0;
    WriteFile(file, "written", 7, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ("written", Get(name));
  }
  EXPECT_NE(FALSE, Copy("icon", "copy"));
  EXPECT_EQ("bytes", Get("copy"));
}

// Another run fills the file between this one's open and its lock, or
// deletes the file this one made and writes its own in its place, which this
// one must neither write into nor remove.
TEST_F(PosixServicesTest, FileIsJudgedUnderTheLock) {
  Put("file", "");
  flock_hook = [this](int descriptor, int operation) {
    Put("file", "a longer file of another run");
    return __real_flock(descriptor, operation);
  };
  const HANDLE file = Create("file");
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, "short", 5, &written, nullptr);
  CloseHandle(file);
  EXPECT_EQ("short", Get("file"));

  unlink(Path("file").c_str());
  flock_hook = [this](int descriptor, int operation) {
    unlink(Path("file").c_str());
    Put("file", "a third run's file");
    return __real_flock(descriptor, operation);
  };
  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("file"));
  EXPECT_EQ("a third run's file", Get("file"));
}

// Paths that name no file here: below the working directory, or on a
// network path whose server or share is "." or "..".
TEST_F(PosixServicesTest, PathsNamingNoFileHereAreRefused) {
  char usual[PATH_MAX];
  ASSERT_NE(nullptr, getcwd(usual, sizeof usual));
  ASSERT_EQ(0, chdir(root_.c_str()));
  ASSERT_EQ(0, mkdir(Path("C:").c_str(), 0755));
  Put("C:/kept", "kept");
  Put("icon", "bytes");

  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA("C:\\new", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                        nullptr));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("icon").c_str(), "C:\\copy", FALSE));
  EXPECT_EQ(FALSE, CopyFileA("C:\\kept", WindowsPath("copy").c_str(), FALSE));
  EXPECT_EQ(FALSE, DeleteFileA("C:\\kept"));
  for (const char* network : {"\\\\..\\..", "\\\\.\\..", "\\\\server\\.."}) {
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA((network + WindowsPath("new")).c_str(), GENERIC_WRITE,
                          0, nullptr, CREATE_ALWAYS, 0, nullptr))
        << network;
  }
  ASSERT_EQ(0, chdir(usual));
  EXPECT_EQ("kept", Get("C:/kept"));
  EXPECT_EQ("<missing>", Get("C:/new"));
  EXPECT_EQ("<missing>", Get("new"));
  EXPECT_EQ("<missing>", Get("C:/copy"));
  EXPECT_EQ("<missing>", Get("copy"));
}

// Windows works out "." and ".." and trailing dots before the file system
// sees the path: a link or a missing folder on the way changes nothing, and
// no path climbs above the root, or a network path's share.
TEST_F(PosixServicesTest, DotsAreWorkedOutFromThePathText) {
  ASSERT_EQ(0, mkdir(Path("ide").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("other").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("other/deep").c_str(), 0755));
  ASSERT_EQ(0, symlink(Path("other/deep").c_str(), Path("ide/link").c_str()));
  std::string root_climb = WindowsPath("ide/file");
  root_climb.insert(0, "\\..\\..\\..");
  const std::string share_climb = "\\" + WindowsPath("../../ide/file");
  for (const std::string& written :
       {WindowsPath("ide/missing/../file"), WindowsPath("ide/link/../file"),
        WindowsPath("ide/./link/./..//file"), root_climb, share_climb,
        WindowsPath("ide./file"), WindowsPath("ide/file. .")}) {
    const HANDLE file = CreateFileA(written.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << written;
    CloseHandle(file);
    EXPECT_EQ("", Get("ide/file")) << written;
    EXPECT_EQ("<missing>", Get("other/file")) << written;
    EXPECT_NE(FALSE, DeleteFileA(written.c_str())) << written;
    EXPECT_EQ("<missing>", Get("ide/file")) << written;
  }
}

TEST_F(PosixServicesTest, FileOpenForWritingIsSharedWithNoOtherWriter) {
  Put("icon", "bytes");
  const HANDLE first = Create("file");
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  DWORD written = 0;
  WriteFile(first, "first", 5, &written, nullptr);

  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("file"));
  EXPECT_EQ(FALSE, Copy("icon", "file"));
  EXPECT_EQ(FALSE, Delete("file"));
  // Nor by a user who may write it but not read it (root reads anything),
  // who deletes it once it is let go, as Windows does; a file this user may
  // neither read nor write is not deleted.
  Put("unopenable", "kept");
  const uid_t user = geteuid();
  ASSERT_EQ(0, chmod(Path("file").c_str(), 0222) | chmod(root_.c_str(), 0777) |
                   chmod(Path("unopenable").c_str(), user == 0 ? 0200 : 0020));
  ASSERT_EQ(0, user == 0 ? seteuid(65534) : 0);
  EXPECT_EQ(FALSE, Delete("file"));
  CloseHandle(first);
  EXPECT_NE(FALSE, Delete("file"));
  EXPECT_EQ(FALSE, Delete("unopenable"));
  ASSERT_EQ(0, seteuid(user));
  EXPECT_EQ("<missing>", Get("file"));
  ASSERT_EQ(0, chmod(Path("unopenable").c_str(), 0644));
  EXPECT_EQ("kept", Get("unopenable"));
}

TEST_F(PosixServicesTest, CaseInsensitiveComparisonFoldsAsciiOnly) {
  EXPECT_EQ(0, _stricmp("/UnInstall", "/uninstall"));
  EXPECT_LT(_stricmp("/install", "/installx"), 0);
  EXPECT_NE(0, _stricmp("\xC9", "\xE9"));
}

}  // namespace
