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

  // The expected bytes of the named descriptor for the tool at `tool_dir`.
  static std::string Expected(const std::string& name,
                              const std::string& tool_dir = kToolDir) {
    if (name == "TaskWizard.vsdir") return TaskRecord();
    if (name == "ComponentWizard.vsdir") return ComponentRecord();
    if (name == "TaskWizard.vsz") return TaskLaunchFile(tool_dir);
    return ComponentLaunchFile(tool_dir);
  }
};

TEST_F(DescriptorTest, WritesAllFourByteForByte) {
  Write();

  for (const std::string& name : kDescriptors) {
    EXPECT_EQ(Expected(name), FileBytes(WizardPath(name))) << name;
  }
  EXPECT_EQ(104u, FileBytes(WizardPath("TaskWizard.vsdir")).size());
  EXPECT_EQ(144u, FileBytes(WizardPath("ComponentWizard.vsdir")).size());
  EXPECT_EQ(140u + 19u, FileBytes(WizardPath("TaskWizard.vsz")).size());
  EXPECT_EQ(145u + 24u, FileBytes(WizardPath("ComponentWizard.vsz")).size());
}

TEST_F(DescriptorTest, FileThatCannotBeCreatedIsTheOnlyOneMissing) {
  for (const std::string& failing : kDescriptors) {
    Restart();
    machine().failing_paths.insert(WizardPath(failing));

    Write();

    for (const std::string& name : kDescriptors) {
      EXPECT_EQ(name == failing ? "<missing>" : Expected(name),
                FileBytes(WizardPath(name)))
          << failing << " failing, " << name;
    }
  }
}

TEST_F(DescriptorTest, PathThatCannotBeAllocatedSkipsOnlyItsFile) {
  for (std::size_t failing = 1; failing <= kDescriptors.size(); ++failing) {
    Restart();
    machine().failing_allocation = failing;

    Write();

    for (std::size_t i = 0; i < kDescriptors.size(); ++i) {
      const std::string& name = kDescriptors[i];
      EXPECT_EQ(i + 1 == failing ? "<missing>" : Expected(name),
                FileBytes(WizardPath(name)))
          << "allocation " << failing << ", " << name;
    }
  }
}

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

TEST_F(DescriptorTest, ComponentFolderRightWhenTaskLaunchFileFailed) {
  machine().failing_paths.insert(WizardPath("TaskWizard.vsz"));

  Write();

  EXPECT_EQ(ComponentLaunchFile(kToolDir),
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
TEST_F(DescriptorTest, UnknownToolFolderLeavesLaunchFilesAlone) {
  const std::vector<std::string> unknown_folders = {
      "",  // the call fails
      "WizardSetup.exe",
      "C:\\" + std::string(384, 'x') + ".exe",               // cut at 388 bytes
      "C:\\" + std::string(369, 'd') + "\\WizardSetup.exe",  // no room left
  };
  for (const std::string& module_path : unknown_folders) {
    Restart();
    machine().module_path = module_path;
    machine().module_path_fails = module_path.empty();
    machine().files[WizardPath("TaskWizard.vsz")] = {"good old", false};

    Write();

    EXPECT_EQ("good old", FileBytes(WizardPath("TaskWizard.vsz")));
    EXPECT_FALSE(HasFile(WizardPath("ComponentWizard.vsz")));
    EXPECT_EQ(TaskRecord(), FileBytes(WizardPath("TaskWizard.vsdir")));
    EXPECT_EQ(ComponentRecord(),
              FileBytes(WizardPath("ComponentWizard.vsdir")));
    EXPECT_EQ(2u, CallsNamed({"CreateFileA"}).size()) << module_path;
  }
}

}  // namespace
}  // namespace wizard_test
