// The wizard files and their expected bytes, written out here independently
// of the tool's own texts, so that a change to either shows.
#ifndef WIZARDSETUP_TESTS_EXPECTED_FILES_H_
#define WIZARDSETUP_TESTS_EXPECTED_FILES_H_

#include <string>

namespace wizard_test {

inline const std::string kWizardRelativePath = "..\\..\\VC#\\CSharpProjects\\";

/// The six files of the wizard folder, in the order /uninstall deletes them.
inline const char* const kWizardFiles[] = {
    "TaskWizard.ico",      "TaskWizard.vsdir",      "TaskWizard.vsz",
    "ComponentWizard.ico", "ComponentWizard.vsdir", "ComponentWizard.vsz"};

std::string TaskRecord();
std::string ComponentRecord();
/// A launch file naming the wizard's folder in `tool_dir`.
std::string TaskLaunchFile(const std::string& tool_dir);
std::string ComponentLaunchFile(const std::string& tool_dir);
/// The bytes of the named record or launch file, for the tool in `tool_dir`.
std::string ExpectedDescriptor(const std::string& name,
                               const std::string& tool_dir);

}  // namespace wizard_test

#endif  // WIZARDSETUP_TESTS_EXPECTED_FILES_H_
