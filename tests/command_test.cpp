// The entry: finding Visual Studio, recognising the switch, and running the
// sequences whatever fails inside them.
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "tests/wizard_test_support.h"

namespace wizard_test {
namespace {

using Log = std::vector<std::string>;

const std::string kCreateArguments =
    ", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL)";

class CommandTest : public FakeMachineTest {};

TEST_F(CommandTest, InstallCopiesIconsThenWritesDescriptors) {
  EXPECT_EQ(0, RunTool({"WizardSetup.exe", "/install"}));

  const std::string w = kWizardDir;
  EXPECT_EQ((Log{
                "RegOpenKeyA(HKEY_LOCAL_MACHINE, "
                "SOFTWARE\\Microsoft\\VisualStudio\\8.0)",
                "RegQueryValueExA(InstallDir, NULL, 260)",
                "_stricmp(/install, /uninstall)",
                "_stricmp(/install, /install)",
                "GetModuleFileNameA(NULL, 260)",
                "CopyFileA(X:\\Setup\\TaskWizard.ico, " + w +
                    "TaskWizard.ico, FALSE)",
                "GetModuleFileNameA(NULL, 260)",
                "CopyFileA(X:\\Setup\\ComponentWizard.ico, " + w +
                    "ComponentWizard.ico, FALSE)",
                "GetModuleFileNameA(NULL, 388)",
                "CreateFileA(" + w + "TaskWizard.vsdir" + kCreateArguments,
                "CreateFileA(" + w + "TaskWizard.vsz" + kCreateArguments,
                "CreateFileA(" + w + "ComponentWizard.vsdir" + kCreateArguments,
                "CreateFileA(" + w + "ComponentWizard.vsz" + kCreateArguments,
                "WriteFile(" + w + "TaskWizard.vsdir, 104, NULL)",
                "CloseHandle(" + w + "TaskWizard.vsdir)",
                "WriteFile(" + w + "TaskWizard.vsz, 109, NULL)",
                "WriteFile(" + w + "TaskWizard.vsz, 19, NULL)",
                "WriteFile(" + w + "TaskWizard.vsz, 31, NULL)",
                "CloseHandle(" + w + "TaskWizard.vsz)",
                "WriteFile(" + w + "ComponentWizard.vsdir, 144, NULL)",
                "CloseHandle(" + w + "ComponentWizard.vsdir)",
                "WriteFile(" + w + "ComponentWizard.vsz, 114, NULL)",
                "WriteFile(" + w + "ComponentWizard.vsz, 24, NULL)",
                "WriteFile(" + w + "ComponentWizard.vsz, 31, NULL)",
                "CloseHandle(" + w + "ComponentWizard.vsz)",
                "RegCloseKey()",
            }),
            machine().log);
  EXPECT_EQ("task icon", FileBytes(WizardPath("TaskWizard.ico")));
  EXPECT_EQ("component icon", FileBytes(WizardPath("ComponentWizard.ico")));
}

TEST_F(CommandTest, UninstallDeletesSixFilesInOrderWhateverFails) {
  machine().files[WizardPath("TaskWizard.vsz")] = {"old", false};
  machine().files[WizardPath("ComponentWizard.ico")] = {"old", true};
  machine().failing_paths.insert(WizardPath("TaskWizard.ico"));

  EXPECT_EQ(0, RunTool({"WizardSetup.exe", "/uninstall"}));

  EXPECT_EQ((Log{
                "RegOpenKeyA(HKEY_LOCAL_MACHINE, "
                "SOFTWARE\\Microsoft\\VisualStudio\\8.0)",
                "RegQueryValueExA(InstallDir, NULL, 260)",
                "_stricmp(/uninstall, /uninstall)",
                "DeleteFileA(" + WizardPath("TaskWizard.ico") + ")",
                "DeleteFileA(" + WizardPath("TaskWizard.vsdir") + ")",
                "DeleteFileA(" + WizardPath("TaskWizard.vsz") + ")",
                "DeleteFileA(" + WizardPath("ComponentWizard.ico") + ")",
                "DeleteFileA(" + WizardPath("ComponentWizard.vsdir") + ")",
                "DeleteFileA(" + WizardPath("ComponentWizard.vsz") + ")",
                "RegCloseKey()",
            }),
            machine().log);
  EXPECT_FALSE(HasFile(WizardPath("TaskWizard.vsz")));
  EXPECT_TRUE(HasFile(WizardPath("ComponentWizard.ico")));
}

struct SwitchCase {
  std::vector<const char*> arguments;
  const char* runs;  // "install", "uninstall" or "nothing"
};

void PrintTo(const SwitchCase& switches, std::ostream* out) {
  for (const char* argument : switches.arguments)
    *out << '"' << argument << "\" ";
}

class SwitchTest : public FakeMachineTest,
                   public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, RunsOnlyTheSequenceItsSwitchNames) {
  EXPECT_EQ(0, RunTool(GetParam().arguments));

  const std::size_t copies = CallsNamed({"CopyFileA"}).size();
  const std::size_t creates = CallsNamed({"CreateFileA"}).size();
  const std::size_t deletes = CallsNamed({"DeleteFileA"}).size();
  const std::string runs = GetParam().runs;
  EXPECT_EQ(runs == "install" ? 2u : 0u, copies);
  EXPECT_EQ(runs == "install" ? 4u : 0u, creates);
  EXPECT_EQ(runs == "uninstall" ? 6u : 0u, deletes);
  EXPECT_EQ(1u, CallsNamed({"RegCloseKey"}).size());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTest,
    ::testing::Values(
        SwitchCase{{"WizardSetup.exe", "/install"}, "install"},
        SwitchCase{{"WizardSetup.exe", "/INSTALL"}, "install"},
        SwitchCase{{"WizardSetup.exe", "/Install"}, "install"},
        SwitchCase{{"WizardSetup.exe", "/uninstall"}, "uninstall"},
        SwitchCase{{"WizardSetup.exe", "/UnInstall"}, "uninstall"},
        SwitchCase{{"WizardSetup.exe", "/UNINSTALL"}, "uninstall"},
        SwitchCase{{"WizardSetup.exe"}, "nothing"}, SwitchCase{{}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/install", "/install"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/uninstall", "x"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "-install"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "install"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/installx"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/install "}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/instal"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/uninstal"}, "nothing"},
        SwitchCase{{"WizardSetup.exe", ""}, "nothing"},
        SwitchCase{{"WizardSetup.exe", "/\xC9NSTALL"}, "nothing"}));

// Registry values and whether the tool takes them as the install directory.
struct RegistryCase {
  const char* name;
  bool key_present;
  DWORD type;
  std::string bytes;
  std::string install_dir;  // empty: Visual Studio counts as not installed
};

void PrintTo(const RegistryCase& value, std::ostream* out) {
  *out << value.name;
}

class RegistryTest : public FakeMachineTest,
                     public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(RegistryTest, TakesInstallDirOnlyFromAUsableValue) {
  const RegistryCase& value = GetParam();
  machine().registry.clear();
  if (value.key_present) {
    auto& key = machine().registry["SOFTWARE\\Microsoft\\VisualStudio\\8.0"];
    if (value.type != 0) key["InstallDir"] = {value.type, value.bytes};
  }

  EXPECT_EQ(0, RunTool({"WizardSetup.exe", "/uninstall"}));

  const std::vector<std::string> deletes = CallsNamed({"DeleteFileA"});
  if (value.install_dir.empty()) {
    EXPECT_EQ(std::vector<std::string>{}, deletes);
    EXPECT_EQ(std::vector<std::string>{}, CallsNamed({"_stricmp"}));
  } else {
    ASSERT_EQ(6u, deletes.size());
    EXPECT_EQ("DeleteFileA(" + value.install_dir +
                  "..\\..\\VC#\\CSharpProjects\\TaskWizard.ico)",
              deletes[0]);
  }
  EXPECT_EQ(value.key_present ? 1u : 0u, CallsNamed({"RegCloseKey"}).size());
}

const std::string k259 = "C:\\" + std::string(256, 'a');

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryTest,
    ::testing::Values(
        RegistryCase{"KeyMissing", false, 0, "", ""},
        RegistryCase{"ValueMissing", true, 0, "", ""},
        RegistryCase{"Terminated", true, REG_SZ,
                     "D:\\IDE\\" + std::string(1, '\0'), "D:\\IDE\\"},
        RegistryCase{"Unterminated", true, REG_SZ, "D:\\IDE\\", "D:\\IDE\\"},
        RegistryCase{"UsedUpToFirstNul", true, 7,
                     std::string("D:\\A\\\0D:\\B\\\0\0", 13), "D:\\A\\"},
        RegistryCase{"ExpandableUsedUnexpanded", true, 2,
                     std::string("D:\\%VS%\\IDE\\\0", 14), "D:\\%VS%\\IDE\\"},
        RegistryCase{"DwordReadOnlyToItsSize", true, 4,
                     std::string("\\A\\", 3) + '\x01', "\\A\\\x01"},
        RegistryCase{"DriveRootWithSlash", true, REG_SZ, "d:/IDE/", "d:/IDE/"},
        RegistryCase{"Unc", true, REG_SZ, "\\\\host\\IDE\\", "\\\\host\\IDE\\"},
        RegistryCase{"PosixRoot", true, REG_SZ, "/opt/IDE/", "/opt/IDE/"},
        RegistryCase{"Relative", true, REG_SZ, "VS8\\Common7\\IDE\\", ""},
        RegistryCase{"DriveRelative", true, REG_SZ, "C:VS8\\IDE\\", ""},
        RegistryCase{"DriveOnly", true, REG_SZ, "C:", ""},
        RegistryCase{"DwordAsText", true, 4, "AAAA", ""},
        RegistryCase{"Utf16Text", true, 3, std::string("C\0:\0\\\0", 6), ""},
        RegistryCase{"Empty", true, REG_SZ, "", ""},
        RegistryCase{"OnlyTerminator", true, REG_SZ, std::string(1, '\0'), ""},
        RegistryCase{"FillsBufferWithTerminator", true, REG_SZ,
                     k259 + std::string(1, '\0'), k259},
        RegistryCase{"FillsBufferUnterminated", true, REG_SZ, k259 + "b", ""},
        RegistryCase{"LongerThanBuffer", true, REG_SZ,
                     k259 + "b" + std::string(1, '\0'), ""}),
    [](const ::testing::TestParamInfo<RegistryCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(CommandTest, InstallTwiceLeavesWhatOneInstallLeaves) {
  RunTool({"WizardSetup.exe", "/install"});
  const auto once = machine().files;
  machine().files[kToolDir + "TaskWizard.ico"].bytes = "new task icon";
  RunTool({"WizardSetup.exe", "/install"});

  auto expected = once;
  expected[kToolDir + "TaskWizard.ico"].bytes = "new task icon";
  expected[WizardPath("TaskWizard.ico")].bytes = "new task icon";
  ASSERT_EQ(expected.size(), machine().files.size());
  for (const auto& [path, file] : expected) {
    EXPECT_EQ(file.bytes, FileBytes(path)) << path;
  }
}

// A hidden or system file is not replaced: Windows refuses CREATE_ALWAYS
// with attributes 0 and CopyFileA on it. The other five are still written.
class HiddenFileTest : public FakeMachineTest,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(HiddenFileTest, KeepsItsBytesAndTheOtherFiveAreWritten) {
  const std::string hidden = GetParam();
  machine().files[WizardPath(hidden)] = {"old hidden", false, true};

  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, RunTool({"WizardSetup.exe", "/install"}));
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());

  for (const std::string name : kWizardFiles) {
    const std::string expected = name == hidden ? "old hidden"
                                 : name.find(".ico") != std::string::npos
                                     ? FileBytes(kToolDir + name)
                                     : ExpectedDescriptor(name, kToolDir);
    EXPECT_EQ(expected, FileBytes(WizardPath(name))) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(WizardFiles, HiddenFileTest,
                         ::testing::ValuesIn(kWizardFiles));

// The n-th allocation of a run fails, counted from 1.
class AllocationTest : public FakeMachineTest,
                       public ::testing::WithParamInterface<std::size_t> {};
class InstallAllocationTest : public AllocationTest {};
class UninstallAllocationTest : public AllocationTest {};

// The strings /install allocates, in order: target and source of each icon
// copy, then the path of each descriptor file.
const std::vector<std::string> kInstallAllocations = {
    "TaskWizard.ico",        "TaskWizard.ico",     "ComponentWizard.ico",
    "ComponentWizard.ico",   "TaskWizard.vsdir",   "TaskWizard.vsz",
    "ComponentWizard.vsdir", "ComponentWizard.vsz"};

TEST_P(InstallAllocationTest, SkipsOnlyTheFileWhosePathCannotBeAllocated) {
  machine().failing_allocation = GetParam();

  RunTool({"WizardSetup.exe", "/install"});

  const std::string& skipped = kInstallAllocations[GetParam() - 1];
  for (const std::string& name : kInstallAllocations) {
    EXPECT_EQ(name != skipped, HasFile(WizardPath(name))) << name;
  }
}

TEST_P(UninstallAllocationTest, KeepsOnlyTheFileWhosePathCannotBeAllocated) {
  for (const std::string name : kWizardFiles) {
    machine().files[WizardPath(name)] = {"installed", false};
  }
  machine().failing_allocation = GetParam();

  RunTool({"WizardSetup.exe", "/uninstall"});

  for (std::size_t i = 0; i < std::size(kWizardFiles); ++i) {
    EXPECT_EQ(i + 1 == GetParam(), HasFile(WizardPath(kWizardFiles[i])))
        << kWizardFiles[i];
  }
  EXPECT_EQ(5u, CallsNamed({"DeleteFileA"}).size());
}

INSTANTIATE_TEST_SUITE_P(NthAllocation, InstallAllocationTest,
                         ::testing::Range<std::size_t>(1, 9));
INSTANTIATE_TEST_SUITE_P(NthAllocation, UninstallAllocationTest,
                         ::testing::Range<std::size_t>(1, 7));

}  // namespace
}  // namespace wizard_test
