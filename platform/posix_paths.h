// The POSIX stand-in's path rules: how a Windows path names a file here,
// worked out from its text as Windows does, and which paths of this machine
// Windows could have reported as its own.
#ifndef WIZARDSETUP_PLATFORM_POSIX_PATHS_H_
#define WIZARDSETUP_PLATFORM_POSIX_PATHS_H_

#include <limits.h>

#include <cstddef>

namespace platform {

/// A Windows path with its backslashes made slashes; empty when it does not
/// fit, which makes a call fail as an over-long path does on Windows.
struct PosixPath {
  explicit PosixPath(const char* windows_path);
  char text[PATH_MAX] = "";
};

/// The file a file call's Windows path names, with its names worked out as
/// Windows works them out; empty (refused) when it names none: a path that
/// would lead below the current directory, such as "C:\IDE\", which is
/// absolute only on Windows, or a network path whose server or share is "."
/// or "..".
PosixPath FilePath(const char* windows_path);

/// Whether every name of the absolute path `path` (the `length` bytes of it)
/// is one that Windows could have: none holds a backslash, a character that
/// Windows forbids in a name, or ends with a dot or a blank. Windows never
/// reports another, and the rules of FilePath would read one as some other
/// path.
bool IsWindowsNaming(const char* path, std::size_t length);

}  // namespace platform

#endif  // WIZARDSETUP_PLATFORM_POSIX_PATHS_H_
