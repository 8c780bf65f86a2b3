#include "tests/expected_files.h"

namespace wizard_test {

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

std::string TaskRecord() {
  return "TaskWizard.vsz| |Custom Task|1|Custom task for use in Integration "
         "Services packages.| |6777| |CustomTask";
}

std::string ComponentRecord() {
  return "ComponentWizard.vsz| |Custom Data Flow Component|1|Custom data "
         "flow component for use in Integration Services packages.| |6777| "
         "|CustomComponent";
}

std::string TaskLaunchFile(const std::string& tool_dir) {
  return LaunchFile("TaskWizard", tool_dir + "TaskWizard");
}

std::string ComponentLaunchFile(const std::string& tool_dir) {
  return LaunchFile("ComponentWizard", tool_dir + "ComponentWizard");
}

std::string ExpectedDescriptor(const std::string& name,
                               const std::string& tool_dir) {
  if (name == "TaskWizard.vsdir") return TaskRecord();
  if (name == "ComponentWizard.vsdir") return ComponentRecord();
  if (name == "TaskWizard.vsz") return TaskLaunchFile(tool_dir);
  return ComponentLaunchFile(tool_dir);
}

}  // namespace wizard_test
