// The tool's entry: finds Visual Studio 8.0, recognises the switch and runs
// the install or uninstall sequence.
#ifndef WIZARDSETUP_COMMAND_WIZARD_SETUP_H_
#define WIZARDSETUP_COMMAND_WIZARD_SETUP_H_

namespace wizard {

/// Runs the tool on `argv`: the program's name, then "/install" or
/// "/uninstall" in any case. Silent; always returns 0, the exit status.
int RunWizardSetup(int argc, const char* const* argv) noexcept;

}  // namespace wizard

#endif  // WIZARDSETUP_COMMAND_WIZARD_SETUP_H_
