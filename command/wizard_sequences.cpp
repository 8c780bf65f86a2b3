#include "command/wizard_sequences.h"

#include "deploy/wizard_files.h"
#include "deploy/wizard_texts.h"

namespace wizard {

void InstallWizards(const char* install_dir) {
  for (const Wizard* wizard : kWizards)
    CopyWizardFile(install_dir, wizard->icon);
  WriteWizardDescriptors(install_dir);
}

void UninstallWizards(const char* install_dir) {
  for (const Wizard* wizard : kWizards) {
    RemoveWizardFile(install_dir, wizard->icon);
    RemoveWizardFile(install_dir, wizard->record_file);
    RemoveWizardFile(install_dir, wizard->launch_file);
  }
}

}  // namespace wizard
