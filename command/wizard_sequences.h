// The two command sequences over the wizard set, task wizard first.
#ifndef WIZARDSETUP_COMMAND_WIZARD_SEQUENCES_H_
#define WIZARDSETUP_COMMAND_WIZARD_SEQUENCES_H_

namespace wizard {

/// Copies both icons into the wizard folder, then writes the descriptors.
void InstallWizards(const char* install_dir);

/// Deletes the six wizard files, each whatever became of the others.
void UninstallWizards(const char* install_dir);

}  // namespace wizard

#endif  // WIZARDSETUP_COMMAND_WIZARD_SEQUENCES_H_
