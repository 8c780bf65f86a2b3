#include "deploy/wizard_paths.h"

#include <cstring>

#include "deploy/wizard_texts.h"

namespace wizard {

HeapString JoinPath(std::initializer_list<std::string_view> pieces) {
  std::size_t length = 0;
  for (std::string_view piece : pieces) length += piece.size();
  HeapString path{
      static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1))};
  if (!path) return path;
  char* end = path.get();
  for (std::string_view piece : pieces) {
    std::memcpy(end, piece.data(), piece.size());
    end += piece.size();
  }
  *end = '\0';
  return path;
}

HeapString ComposeWizardPath(const char* install_dir, std::string_view name) {
  return JoinPath({install_dir, kWizardRelativePath, name});
}

std::size_t ReadToolDirectory(char* buffer, DWORD size, std::size_t room) {
  const DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  // A result of `size` means the path was cut, and Windows XP and Wine then
  // leave no terminator: such a path names some other folder.
  if (length == 0 || length >= size) return 0;
  buffer[length] = '\0';
  const char* last_backslash = std::strrchr(buffer, '\\');
  if (last_backslash == nullptr) return 0;
  const auto directory_length =
      static_cast<std::size_t>(last_backslash - buffer) + 1;
  if (size - directory_length < room) return 0;
  buffer[directory_length] = '\0';
  return directory_length;
}

}  // namespace wizard
