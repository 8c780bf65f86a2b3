// The four descriptor files: their exact bytes, and how each failure is
// kept to the one file it concerns.
#include <string>
#include <vector>

#include "deploy/wizard_files.h"
#include "tests/wizard_test_support.h"

namespace wizard_test {
namespace {

const std::vector<std::string> kDescriptors = {
    "TaskWizard.vsdir", "TaskWizard.vsz", "ComponentWizard.vsdir",
    "ComponentWizard.vsz"};

class DescriptorTest : public FakeMachineTest {
 protected:
  void Write() { wizard::WriteWizardDescriptors(kInstallDir.c_str()); }

  static std::string Expected(const std::string& name) {
    return ExpectedDescriptor(name, kToolDir);
  }
};

TEST_F(DescriptorTest, WritesAllFourByteForByteOverLongerOldFiles) {
  for (const std::string& name : kDescriptors) {
    machine().files[WizardPath(name)] = {std::string(400, 'o'), false};
  }

  Write();

  for (const std::string& name : kDescriptors) {
    EXPECT_EQ(Expected(name), FileBytes(WizardPath(name))) << name;
  }
  EXPECT_EQ(104u, FileBytes(WizardPath("TaskWizard.vsdir")).size());
  EXPECT_EQ(144u, FileBytes(WizardPath("ComponentWizard.vsdir")).size());
  EXPECT_EQ(140u + 19u, FileBytes(WizardPath("TaskWizard.vsz")).size());
  EXPECT_EQ(145u + 24u, FileBytes(WizardPath("ComponentWizard.vsz")).size());
}

// A failure tied to the n-th descriptor, counted from 0, in creation order.
class DescriptorFailureTest
    : public DescriptorTest,
      public ::testing::WithParamInterface<std::size_t> {
 protected:
  void ExpectOnlyItsFileMissing() {
    for (std::size_t i = 0; i < kDescriptors.size(); ++i) {
      const std::string& name = kDescriptors[i];
      EXPECT_EQ(i == GetParam() ? "<missing>" : Expected(name),
                FileBytes(WizardPath(name)))
          << name;
    }
  }
};

TEST_P(DescriptorFailureTest, FileThatCannotBeCreatedIsTheOnlyOneMissing) {
  machine().failing_paths.insert(WizardPath(kDescriptors[GetParam()]));
  Write();
  ExpectOnlyItsFileMissing();
}

TEST_P(DescriptorFailureTest, PathThatCannotBeAllocatedSkipsOnlyItsFile) {
  machine().failing_allocation = GetParam() + 1;
  Write();
  ExpectOnlyItsFileMissing();
}

INSTANTIATE_TEST_SUITE_P(NthDescriptor, DescriptorFailureTest,
                         ::testing::Range<std::size_t>(0, 4));

TEST_F(DescriptorTest, FailedWritesDoNotStopTheOtherPieces) {
  machine().failing_calls.insert("WriteFile");

  Write();

  EXPECT_EQ(8u, CallsNamed({"WriteFile"}).size());
  EXPECT_EQ(4u, CallsNamed({"CloseHandle"}).size());
  for (const std::string& name : kDescriptors) {
    EXPECT_EQ("", FileBytes(WizardPath(name))) << name;
  }
}

TEST_F(DescriptorTest, ShortWritesAreNotRetried) {
  machine().write_limit = 120;

  Write();

  EXPECT_EQ(8u, CallsNamed({"WriteFile"}).size());
  EXPECT_EQ(TaskRecord(), FileBytes(WizardPath("TaskWizard.vsdir")));
  EXPECT_EQ(TaskLaunchFile(kToolDir).substr(0, 120),
            FileBytes(WizardPath("TaskWizard.vsz")));
  EXPECT_EQ(ComponentLaunchFile(kToolDir).substr(0, 120),
            FileBytes(WizardPath("ComponentWizard.vsz")));
}

TEST_F(DescriptorTest, LongestToolFolderStillFits) {
  const std::string tool_dir = "C:\\" + std::string(368, 'd') + "\\";
  machine().module_path = tool_dir + "WizardSetup.exe";

  Write();

  EXPECT_EQ(TaskLaunchFile(tool_dir), FileBytes(WizardPath("TaskWizard.vsz")));
  EXPECT_EQ(ComponentLaunchFile(tool_dir),
            FileBytes(WizardPath("ComponentWizard.vsz")));
}

// When the folder beside the tool is unknown, the launch files are neither
// created nor emptied; the records, which do not name it, are still written.
const std::vector<std::string> kUnknownToolFolders = {
    "",  // the call fails
    "WizardSetup.exe",
    "C:\\" + std::string(384, 'x') + ".exe",               // cut at 388 bytes
    "C:\\" + std::string(369, 'd') + "\\WizardSetup.exe",  // no room left
};

class UnknownToolFolderTest
    : public DescriptorTest,
      public ::testing::WithParamInterface<std::size_t> {};

TEST_P(UnknownToolFolderTest, LeavesLaunchFilesAlone) {
  machine().module_path = kUnknownToolFolders[GetParam()];
  machine().module_path_fails = machine().module_path.empty();
  machine().files[WizardPath("TaskWizard.vsz")] = {"good old", false};

  Write();

  EXPECT_EQ("good old", FileBytes(WizardPath("TaskWizard.vsz")));
  EXPECT_FALSE(HasFile(WizardPath("ComponentWizard.vsz")));
  EXPECT_EQ(TaskRecord(), FileBytes(WizardPath("TaskWizard.vsdir")));
  EXPECT_EQ(ComponentRecord(), FileBytes(WizardPath("ComponentWizard.vsdir")));
  EXPECT_EQ(2u, CallsNamed({"CreateFileA"}).size());
}

INSTANTIATE_TEST_SUITE_P(ModulePaths, UnknownToolFolderTest,
                         ::testing::Range<std::size_t>(0, 4));

}  // namespace
}  // namespace wizard_test
