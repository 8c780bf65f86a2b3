// Every fixed text of the tool: where Visual Studio 8.0 is registered, the
// wizard set and its file names, and the bytes of the descriptor files.
//
// Each text is a string literal, so `data()` is always NUL-terminated and can
// be handed to the Windows services as it is.
#ifndef WIZARDSETUP_DEPLOY_WIZARD_TEXTS_H_
#define WIZARDSETUP_DEPLOY_WIZARD_TEXTS_H_

#include <cstddef>
#include <string_view>

namespace wizard {

using namespace std::string_view_literals;

/// Registry key of Visual Studio 8.0 under HKEY_LOCAL_MACHINE.
constexpr std::string_view kVisualStudioKey =
    "SOFTWARE\\Microsoft\\VisualStudio\\8.0"sv;
/// Its value naming the IDE's directory, with a trailing backslash.
constexpr std::string_view kInstallDirValue = "InstallDir"sv;
/// Bytes read of that value, terminator included.
constexpr std::size_t kInstallDirSize = 260;

constexpr std::string_view kInstallSwitch = "/install"sv;
constexpr std::string_view kUninstallSwitch = "/uninstall"sv;

/// Leads from the IDE's directory to Visual C#'s project-wizard folder.
constexpr std::string_view kWizardRelativePath =
    "..\\..\\VC#\\CSharpProjects\\"sv;
static_assert(kWizardRelativePath.size() == 25);

/// One wizard: its files in the wizard folder and the texts written there.
struct Wizard {
  std::string_view name;         // also its folder beside the tool
  std::string_view icon;         // copied from beside the tool
  std::string_view record_file;  // lists the wizard in the New Project dialog
  std::string_view launch_file;  // starts the wizard engine
  std::string_view record;       // the whole directory record
  std::string_view launch_head;  // launch file up to the wizard's folder path
};

constexpr Wizard kTaskWizard{
    "TaskWizard"sv,
    "TaskWizard.ico"sv,
    "TaskWizard.vsdir"sv,
    "TaskWizard.vsz"sv,
    "TaskWizard.vsz| |Custom Task|1|"
    "Custom task for use in Integration Services packages.| |6777| |"
    "CustomTask"sv,
    "VSWIZARD 7.0\r\n"
    "Wizard=VsWizard.VsWizardEngine.8.0\r\n"
    "\r\n"
    "Param=\"WIZARD_NAME = TaskWizard\"\r\n"
    "Param=\"ABSOLUTE_PATH = "sv,
};

constexpr Wizard kComponentWizard{
    "ComponentWizard"sv,
    "ComponentWizard.ico"sv,
    "ComponentWizard.vsdir"sv,
    "ComponentWizard.vsz"sv,
    "ComponentWizard.vsz| |Custom Data Flow Component|1|"
    "Custom data flow component for use in Integration Services packages.| |"
    "6777| |CustomComponent"sv,
    "VSWIZARD 7.0\r\n"
    "Wizard=VsWizard.VsWizardEngine.8.0\r\n"
    "\r\n"
    "Param=\"WIZARD_NAME = ComponentWizard\"\r\n"
    "Param=\"ABSOLUTE_PATH = "sv,
};

/// Ends every launch file: closes the folder path, then the last line,
/// which has no line end.
constexpr std::string_view kLaunchTail =
    "\"\r\n"
    "Param=\"FALLBACK_LCID = 1033\""sv;

static_assert(kTaskWizard.record.size() == 104);
static_assert(kComponentWizard.record.size() == 144);
static_assert(kTaskWizard.launch_head.size() == 109);
static_assert(kComponentWizard.launch_head.size() == 114);
static_assert(kLaunchTail.size() == 31);

/// The task wizard comes first in every sequence.
constexpr const Wizard* kWizards[] = {&kTaskWizard, &kComponentWizard};

}  // namespace wizard

#endif  // WIZARDSETUP_DEPLOY_WIZARD_TEXTS_H_
