// The POSIX stand-in of the Windows services, against a real directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/windows_services.h"

namespace {

class PosixServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wizardsetup-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    root_ = pattern;
    unsetenv("WIZARDSETUP_REGISTRY");
  }
  void TearDown() override {
    unsetenv("WIZARDSETUP_REGISTRY");
    std::system(
        ("chmod -R u+w '" + root_ + "' && rm -rf '" + root_ + "'").c_str());
  }

  std::string Path(const std::string& name) const { return root_ + "/" + name; }
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

  EXPECT_EQ(FALSE, DeleteFileA(WindowsPath("locked").c_str()));
  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("locked"));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("source").c_str(),
                             WindowsPath("locked").c_str(), FALSE));
  EXPECT_EQ("kept", Get("locked"));
}

TEST_F(PosixServicesTest, CopyReplacesTargetAndKeepsSourceAttributes) {
  Put("source", "icon bytes");
  Put("target", "older and longer bytes");
  MakeReadOnly("source");

  EXPECT_NE(FALSE, CopyFileA(WindowsPath("source").c_str(),
                             WindowsPath("target").c_str(), FALSE));
  EXPECT_EQ("icon bytes", Get("target"));
  struct stat status;
  ASSERT_EQ(0, stat(Path("target").c_str(), &status));
  EXPECT_EQ(0444u, status.st_mode & 0777u);
}

TEST_F(PosixServicesTest, CopyRefusesMissingSourceAndCopyOntoItself) {
  Put("icon", "bytes");
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("missing").c_str(),
                             WindowsPath("target").c_str(), FALSE));
  EXPECT_EQ("<missing>", Get("target"));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("icon").c_str(),
                             WindowsPath("icon").c_str(), FALSE));
  EXPECT_EQ("bytes", Get("icon"));
}

TEST_F(PosixServicesTest, DeleteRemovesFilesOnly) {
  Put("file", "x");
  ASSERT_EQ(0, mkdir(Path("folder").c_str(), 0755));
  EXPECT_NE(FALSE, DeleteFileA(WindowsPath("file").c_str()));
  EXPECT_EQ(FALSE, DeleteFileA(WindowsPath("file").c_str()));
  EXPECT_EQ(FALSE, DeleteFileA(WindowsPath("folder").c_str()));
  EXPECT_EQ("<missing>", Get("file"));
}

TEST_F(PosixServicesTest, FifoIsRefusedWithoutWaitingForAPeer) {
  ASSERT_EQ(0, mkfifo(Path("fifo").c_str(), 0666));
  Put("icon", "bytes");
  MakeKey("SOFTWARE/Vendor");
  ASSERT_EQ(
      0, mkfifo(Path("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vendor/Dir").c_str(),
                0666));
  alarm(10);  // a wait in open() ends the test as a failure

  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("fifo"));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("fifo").c_str(),
                             WindowsPath("copy").c_str(), FALSE));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("icon").c_str(),
                             WindowsPath("fifo").c_str(), FALSE));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &key));
  BYTE data[8];
  DWORD size = sizeof data;
  EXPECT_NE(ERROR_SUCCESS,
            RegQueryValueExA(key, "Dir", nullptr, nullptr, data, &size));
  RegCloseKey(key);
  alarm(0);
  EXPECT_EQ("<missing>", Get("copy"));
}

TEST_F(PosixServicesTest, NewFilesAreWritableWhateverTheUmask) {
  Put("icon", "bytes");
  const mode_t usual = umask(0277);
  const HANDLE file = Create("new");
  const BOOL copied = CopyFileA(WindowsPath("icon").c_str(),
                                WindowsPath("copy").c_str(), FALSE);
  umask(usual);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EXPECT_NE(FALSE, copied);
  EXPECT_EQ("bytes", Get("copy"));

  const HANDLE again = Create("new");
  EXPECT_NE(INVALID_HANDLE_VALUE, again);
  if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
}

TEST_F(PosixServicesTest, FileOpenForWritingIsSharedWithNoOtherWriter) {
  Put("icon", "bytes");
  const HANDLE first = Create("file");
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  DWORD written = 0;
  WriteFile(first, "first", 5, &written, nullptr);

  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("file"));
  EXPECT_EQ(FALSE, CopyFileA(WindowsPath("icon").c_str(),
                             WindowsPath("file").c_str(), FALSE));
  CloseHandle(first);
  EXPECT_EQ("first", Get("file"));

  const HANDLE second = Create("file");
  EXPECT_NE(INVALID_HANDLE_VALUE, second);
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
  EXPECT_EQ("", Get("file"));
}

TEST_F(PosixServicesTest, CaseInsensitiveComparisonFoldsAsciiOnly) {
  EXPECT_EQ(0, _stricmp("/UnInstall", "/uninstall"));
  EXPECT_LT(_stricmp("/install", "/installx"), 0);
  EXPECT_NE(0, _stricmp("\xC9", "\xE9"));
}

}  // namespace
