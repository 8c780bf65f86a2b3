#include "tests/wizard_test_support.h"

#include "command/wizard_setup.h"

namespace wizard_test {

std::string WizardPath(const std::string& name) { return kWizardDir + name; }

std::string TaskRecord() {
  return "TaskWizard.vsz| |Custom Task|1|Custom task for use in Integration "
         "Services packages.| |6777| |CustomTask";
}

std::string ComponentRecord() {
  return "ComponentWizard.vsz| |Custom Data Flow Component|1|Custom data "
         "flow component for use in Integration Services packages.| |6777| "
         "|CustomComponent";
}

namespace {
std::string LaunchFile(const std::string& name, const std::string& folder) {
  return "VSWIZARD 7.0\r\nWizard=VsWizard.VsWizardEngine.8.0\r\n\r\n"
         "Param=\"WIZARD_NAME = " +
         name +
         "\"\r\n"
         "Param=\"ABSOLUTE_PATH = " +
         folder +
         "\"\r\n"
         "Param=\"FALLBACK_LCID = 1033\"";
}
}  // namespace

std::string TaskLaunchFile(const std::string& tool_dir) {
  return LaunchFile("TaskWizard", tool_dir + "TaskWizard");
}

std::string ComponentLaunchFile(const std::string& tool_dir) {
  return LaunchFile("ComponentWizard", tool_dir + "ComponentWizard");
}

int RunTool(std::vector<const char*> arguments) {
  const int argc = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  return wizard::RunWizardSetup(argc, arguments.data());
}

std::vector<std::string> CallsNamed(std::initializer_list<const char*> calls) {
  std::vector<std::string> found;
  for (const std::string& entry : fake::State().log) {
    for (const std::string call : calls) {
      if (entry.compare(0, call.size() + 1, call + "(") == 0) {
        found.push_back(entry);
      }
    }
  }
  return found;
}

void FakeMachineTest::SetUp() {
  fake::Reset();
  fake::RegisterVisualStudio(kInstallDir);
  machine().module_path = kToolDir + "WizardSetup.exe";
  machine().files[kToolDir + "TaskWizard.ico"] = {"task icon", false};
  machine().files[kToolDir + "ComponentWizard.ico"] = {"component icon", false};
}

// Whatever a test did, the tool must leave no handle open, no string
// allocated, and no handle closed twice.
void FakeMachineTest::TearDown() {
  EXPECT_TRUE(machine().open_files.empty());
  EXPECT_TRUE(machine().live_allocations.empty());
  EXPECT_EQ(std::vector<std::string>{}, machine().errors);
}

std::string FakeMachineTest::FileBytes(const std::string& path) {
  const auto file = machine().files.find(path);
  return file == machine().files.end() ? "<missing>" : file->second.bytes;
}

bool FakeMachineTest::HasFile(const std::string& path) {
  return machine().files.count(path) > 0;
}

}  // namespace wizard_test
