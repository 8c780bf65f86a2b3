// The path rule of the wizard folder and the tool directory read from the
// running executable's path.
#include "deploy/wizard_paths.h"

#include <ostream>
#include <string>

#include "tests/wizard_test_support.h"

namespace wizard_test {
namespace {

class WizardPathTest : public FakeMachineTest {};

TEST_F(WizardPathTest, JoinsInstallDirRelativePartAndNameAsTheyAre) {
  EXPECT_STREQ(
      "X:\\A\\B\\C\\..\\..\\VC#\\CSharpProjects\\TaskWizard.vsz",
      wizard::ComposeWizardPath("X:\\A\\B\\C\\", "TaskWizard.vsz").get());
  EXPECT_STREQ(
      "X:\\A\\B\\C..\\..\\VC#\\CSharpProjects\\TaskWizard.vsz",
      wizard::ComposeWizardPath("X:\\A\\B\\C", "TaskWizard.vsz").get());
}

TEST_F(WizardPathTest, AllocatesExactlyTheJoinedLength) {
  const std::string install_dir(259, 'd');
  const wizard::HeapString path =
      wizard::ComposeWizardPath(install_dir.c_str(), "ComponentWizard.vsdir");
  ASSERT_NE(nullptr, path);
  EXPECT_EQ(install_dir + "..\\..\\VC#\\CSharpProjects\\ComponentWizard.vsdir",
            path.get());
  ASSERT_EQ(1u, machine().live_allocations.size());
  EXPECT_EQ(259u + 25u + 21u + 1u, machine().live_allocations.begin()->second);
}

// What GetModuleFileNameA reports, and the tool directory taken from it.
struct ModulePathCase {
  const char* name;
  std::string module_path;
  bool call_fails;
  unsigned buffer_size;
  std::size_t room;
  std::string tool_dir;  // empty: unknown
};

void PrintTo(const ModulePathCase& module, std::ostream* out) {
  *out << module.name;
}

class ToolDirectoryTest : public FakeMachineTest,
                          public ::testing::WithParamInterface<ModulePathCase> {
};

TEST_P(ToolDirectoryTest, CutsAfterLastBackslashOrKnowsNothing) {
  const ModulePathCase& module = GetParam();
  machine().module_path = module.module_path;
  machine().module_path_fails = module.call_fails;
  std::string buffer(module.buffer_size, '#');

  const std::size_t length =
      wizard::ReadToolDirectory(buffer.data(), module.buffer_size, module.room);

  EXPECT_EQ(module.tool_dir.size(), length);
  if (length != 0) {
    EXPECT_STREQ(module.tool_dir.c_str(), buffer.c_str());
  }
  EXPECT_EQ(module.buffer_size, buffer.size());
}

// The longest tool directory that leaves room for "ComponentWizard".
const std::string kDeep = "C:\\" + std::string(368, 'p') + "\\";

INSTANTIATE_TEST_SUITE_P(
    ModulePaths, ToolDirectoryTest,
    ::testing::Values(
        ModulePathCase{"Plain", "X:\\Setup\\tool.exe", false, 260, 0,
                       "X:\\Setup\\"},
        ModulePathCase{"Root", "C:\\tool.exe", false, 260, 0, "C:\\"},
        ModulePathCase{"CallFails", "X:\\Setup\\tool.exe", true, 260, 0, ""},
        ModulePathCase{"NoBackslash", "tool.exe", false, 260, 0, ""},
        ModulePathCase{"CutShort", "C:\\" + std::string(300, 'x'), false, 260,
                       0, ""},
        ModulePathCase{"ExactlyFillsBuffer", "C:\\" + std::string(257, 'x'),
                       false, 260, 0, ""},
        ModulePathCase{"OneShortOfBuffer", "C:\\" + std::string(256, 'x'),
                       false, 260, 0, "C:\\"},
        ModulePathCase{"BackslashOnlyInCutPart",
                       std::string(259, 'x') + "\\a.exe", false, 260, 0, ""},
        ModulePathCase{"RoomForLongestName", kDeep + "t.exe", false, 388, 16,
                       kDeep},
        ModulePathCase{"NoRoomForLongestName", kDeep + "\\t.exe", false, 388,
                       16, ""}),
    [](const ::testing::TestParamInfo<ModulePathCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace wizard_test
