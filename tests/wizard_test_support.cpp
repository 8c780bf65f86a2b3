#include "tests/wizard_test_support.h"

#include "command/wizard_setup.h"

namespace wizard_test {

std::string WizardPath(const std::string& name) { return kWizardDir + name; }

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

// Whatever a test did, the tool must leave no handle open and no string
// allocated, and make no call that Windows would fault on or that only a
// mistaken caller makes (the fake's `errors`).
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
