// The three single-file operations on the wizard folder.
#include "deploy/wizard_files.h"

#include <string>
#include <vector>

#include "tests/wizard_test_support.h"

namespace wizard_test {
namespace {

const char* const kInstall = kInstallDir.c_str();

class WizardFileTest : public FakeMachineTest {};

TEST_F(WizardFileTest, CopyReplacesWritableTargetWithIconBesideTool) {
  machine().files[WizardPath("TaskWizard.ico")] = {"old icon, longer", false};

  wizard::CopyWizardFile(kInstall, "TaskWizard.ico");

  EXPECT_EQ("task icon", FileBytes(WizardPath("TaskWizard.ico")));
  EXPECT_EQ(std::vector<std::string>{"CopyFileA(X:\\Setup\\TaskWizard.ico, " +
                                     WizardPath("TaskWizard.ico") + ", FALSE)"},
            CallsNamed({"CopyFileA"}));
}

TEST_F(WizardFileTest, CopyIsSkippedWhenToolFolderIsUnknown) {
  for (const std::string& module_path :
       {std::string("WizardSetup.exe"), "C:\\" + std::string(257, 'x')}) {
    fake::State().log.clear();
    machine().module_path = module_path;
    wizard::CopyWizardFile(kInstall, "TaskWizard.ico");
    EXPECT_EQ(std::vector<std::string>{}, CallsNamed({"CopyFileA"}))
        << module_path;
  }
  EXPECT_EQ(0u, machine().allocations);
}

TEST_F(WizardFileTest, CopyIsSkippedWhenEitherPathCannotBeAllocated) {
  for (std::size_t failing : {1u, 2u}) {
    machine().allocations = 0;
    machine().failing_allocation = failing;
    wizard::CopyWizardFile(kInstall, "TaskWizard.ico");
  }
  EXPECT_EQ(std::vector<std::string>{}, CallsNamed({"CopyFileA"}));
}

TEST_F(WizardFileTest, RemoveReportsWhetherTheFileWasDeleted) {
  machine().files[WizardPath("TaskWizard.vsz")] = {"x", false};
  machine().files[WizardPath("TaskWizard.vsdir")] = {"x", true};

  EXPECT_NE(FALSE, wizard::RemoveWizardFile(kInstall, "TaskWizard.vsz"));
  EXPECT_EQ(FALSE, wizard::RemoveWizardFile(kInstall, "TaskWizard.vsz"));
  EXPECT_EQ(FALSE, wizard::RemoveWizardFile(kInstall, "TaskWizard.vsdir"));
  EXPECT_TRUE(HasFile(WizardPath("TaskWizard.vsdir")));
  machine().failing_allocation = machine().allocations + 1;
  EXPECT_EQ(FALSE, wizard::RemoveWizardFile(kInstall, "TaskWizard.vsdir"));
  EXPECT_EQ(3u, CallsNamed({"DeleteFileA"}).size());
}

TEST_F(WizardFileTest, CreateEmptiesAnExistingFileForWriting) {
  machine().files[WizardPath("TaskWizard.vsz")] = {"old content", false};

  const HANDLE file = wizard::CreateWizardFile(kInstall, "TaskWizard.vsz");

  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ("", FileBytes(WizardPath("TaskWizard.vsz")));
  CloseHandle(file);
}

TEST_F(WizardFileTest, CreateGivesInvalidHandleOnAnyFailure) {
  machine().files[WizardPath("TaskWizard.vsdir")] = {"kept", true};
  machine().failing_paths.insert(WizardPath("TaskWizard.vsz"));

  EXPECT_EQ(INVALID_HANDLE_VALUE,
            wizard::CreateWizardFile(kInstall, "TaskWizard.vsdir"));
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            wizard::CreateWizardFile(kInstall, "TaskWizard.vsz"));
  machine().failing_allocation = machine().allocations + 1;
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            wizard::CreateWizardFile(kInstall, "ComponentWizard.vsz"));
  EXPECT_EQ("kept", FileBytes(WizardPath("TaskWizard.vsdir")));
  EXPECT_EQ(2u, CallsNamed({"CreateFileA"}).size());
}

}  // namespace
}  // namespace wizard_test
