// What the logic tests share: a fixture base on a fresh fake machine with
// Visual Studio 8.0 registered, the paths it uses, and the expected bytes.
#ifndef WIZARDSETUP_TESTS_WIZARD_TEST_SUPPORT_H_
#define WIZARDSETUP_TESTS_WIZARD_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/expected_files.h"
#include "tests/fake_windows.h"

namespace wizard_test {

inline const std::string kInstallDir = "C:\\VS8\\Common7\\IDE\\";
inline const std::string kWizardDir = kInstallDir + kWizardRelativePath;
inline const std::string kToolDir = "X:\\Setup\\";

/// The wizard folder's path of a file.
std::string WizardPath(const std::string& name);

/// Runs the tool's entry with these arguments, the program's name first.
int RunTool(std::vector<const char*> arguments);

/// The log entries whose call name is one of `calls`, in order.
std::vector<std::string> CallsNamed(std::initializer_list<const char*> calls);

/// Fresh fake with Visual Studio registered and both icons beside the tool.
class FakeMachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  fake::Windows& machine() { return fake::State(); }
  std::string FileBytes(const std::string& path);
  bool HasFile(const std::string& path);
};

}  // namespace wizard_test

#endif  // WIZARDSETUP_TESTS_WIZARD_TEST_SUPPORT_H_
