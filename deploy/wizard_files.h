// The wizard files in Visual C#'s project-wizard folder: the operations the
// install and uninstall sequences are made of. None reports a failure; a
// step that fails only skips what depends on it.
#ifndef WIZARDSETUP_DEPLOY_WIZARD_FILES_H_
#define WIZARDSETUP_DEPLOY_WIZARD_FILES_H_

#include <string_view>

#include "platform/windows_services.h"

namespace wizard {

/// Deletes the named file from the wizard folder; non-zero on success.
BOOL RemoveWizardFile(const char* install_dir, std::string_view name);

/// Creates the named file in the wizard folder, or empties it, for writing
/// with no sharing. Returns the handle for the caller to write and close, or
/// INVALID_HANDLE_VALUE.
HANDLE CreateWizardFile(const char* install_dir, std::string_view name);

/// Copies the named file from beside the tool into the wizard folder,
/// replacing a writable file there. Skipped when the tool's own folder is
/// unknown, so nothing is ever copied from a wrong folder.
void CopyWizardFile(const char* install_dir, std::string_view name);

/// Writes both wizards' directory records and launch files. The launch files
/// name each wizard's folder beside the tool; when that folder is unknown
/// they are neither created nor emptied.
void WriteWizardDescriptors(const char* install_dir);

}  // namespace wizard

#endif  // WIZARDSETUP_DEPLOY_WIZARD_FILES_H_
