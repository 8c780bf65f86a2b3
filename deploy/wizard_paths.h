// Where the wizard files live: the path rule for the wizard folder below the
// IDE, and the tool's own folder read from the running executable.
#ifndef WIZARDSETUP_DEPLOY_WIZARD_PATHS_H_
#define WIZARDSETUP_DEPLOY_WIZARD_PATHS_H_

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "platform/windows_services.h"

namespace wizard {

struct HeapRelease {
  void operator()(char* text) const { HeapFree(GetProcessHeap(), 0, text); }
};

/// A NUL-terminated string on the process heap, released when it goes.
using HeapString = std::unique_ptr<char, HeapRelease>;

/// A new string of exactly the pieces' length plus the terminator, with
/// nothing inserted between them; null when it cannot be allocated.
HeapString JoinPath(std::initializer_list<std::string_view> pieces);

/// The install directory, then "..\..\VC#\CSharpProjects\", then the file
/// name, joined as they are: the ".." steps are left to the file system.
HeapString ComposeWizardPath(const char* install_dir, std::string_view name);

/// Reads the running executable's path into `buffer` and cuts it after its
/// last backslash, leaving the tool directory there. Returns its length, or
/// 0 when the directory is unknown: the path could not be read or was cut
/// short, has no backslash, or leaves fewer than `room` bytes after it.
std::size_t ReadToolDirectory(char* buffer, DWORD size, std::size_t room);

}  // namespace wizard

#endif  // WIZARDSETUP_DEPLOY_WIZARD_PATHS_H_
