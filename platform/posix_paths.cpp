#include "platform/posix_paths.h"

#include <cstring>

namespace platform {

namespace {

bool IsDotName(const char* name, std::size_t length) {
  return length <= 2 && std::strspn(name, ".") == length;
}

// A name as Windows keeps it: a folder's loses one trailing dot ("VS8." is
// "VS8"), the last one all its trailing dots and blanks; a name of dots
// alone is kept whole.
std::size_t KeptLength(const char* name, std::size_t length, bool folder) {
  if (std::strspn(name, ".") >= length) return length;
  if (folder) return name[length - 1] == '.' ? length - 1 : length;
  while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) {
    --length;
  }
  return length;
}

// Works out the names of an absolute path from its text alone, as Windows
// does before the file system sees a path: empty names and "." are dropped,
// ".." drops the name before it whatever the folders on the way are (a link
// into another tree, or missing), and names lose their trailing dots as
// KeptLength says. ".." never climbs above the root: "/", or the server and
// share of a network path ("//server/share"), which are kept whole and must
// be names of their own. The result is never longer than the path; false
// when the path names nothing.
bool ResolveNames(char* path) {
  char* end = path;   // the resolved part, "" standing for the root
  char* root = path;  // where ".." stops
  int root_names = path[1] == '/' && path[2] != '/' ? 2 : 0;
  const char* name = path;
  while (*name != '\0') {
    while (*name == '/') ++name;
    const std::size_t length = std::strcspn(name, "/");
    std::size_t kept = length;
    if (root_names > 0 && IsDotName(name, length)) return false;
    if (root_names == 0 && IsDotName(name, length)) {
      if (length == 2) {
        while (end > root && *--end != '/') {
        }
      }
      kept = 0;
    } else if (root_names == 0) {
      kept = KeptLength(name, length, name[length] == '/');
    }
    if (kept > 0) {
      *end++ = '/';
      std::memmove(end, name, kept);
      end += kept;
      if (root_names > 0 && --root_names == 0) root = end;
    }
    name += length;
  }
  if (end == path || name[-1] == '/') *end++ = '/';
  *end = '\0';
  return true;
}

bool IsWindowsName(const char* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || std::strchr("\\:*?\"<>|", c) != nullptr) return false;
  }
  return length == 0 || (name[length - 1] != '.' && name[length - 1] != ' ');
}

}  // namespace

PosixPath::PosixPath(const char* windows_path) {
  const std::size_t length = std::strlen(windows_path);
  if (length >= sizeof text) return;
  for (std::size_t i = 0; i <= length; ++i) {
    text[i] = windows_path[i] == '\\' ? '/' : windows_path[i];
  }
}

PosixPath FilePath(const char* windows_path) {
  PosixPath path(windows_path);
  if (path.text[0] != '/' || !ResolveNames(path.text)) path.text[0] = '\0';
  return path;
}

bool IsWindowsNaming(const char* path, std::size_t length) {
  for (std::size_t start = 0; start < length;) {
    const char* name = path + start;
    const char* slash =
        static_cast<const char*>(std::memchr(name, '/', length - start));
    const std::size_t name_length =
        slash == nullptr ? length - start : static_cast<std::size_t>(slash - name);
    if (!IsWindowsName(name, name_length)) return false;
    start += name_length + 1;
  }
  return true;
}

}  // namespace platform
