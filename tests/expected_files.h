// The wizard files' expected bytes, written out here independently of the
// tool's own texts, so that a change to either shows.
#ifndef WIZARDSETUP_TESTS_EXPECTED_FILES_H_
#define WIZARDSETUP_TESTS_EXPECTED_FILES_H_

#include <string>

namespace wizard_test {

std::string TaskRecord();
std::string ComponentRecord();
/// A launch file naming the wizard's folder in `tool_dir`.
std::string TaskLaunchFile(const std::string& tool_dir);
std::string ComponentLaunchFile(const std::string& tool_dir);

}  // namespace wizard_test

#endif  // WIZARDSETUP_TESTS_EXPECTED_FILES_H_
