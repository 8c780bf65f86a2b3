#include "deploy/wizard_files.h"

#include "deploy/wizard_paths.h"

namespace wizard {

namespace {
// The executable's path as the copy reads it; a longer one is not used.
constexpr DWORD kToolPathSize = 260;
}  // namespace

BOOL RemoveWizardFile(const char* install_dir, std::string_view name) {
  const HeapString path = ComposeWizardPath(install_dir, name);
  if (!path) return FALSE;
  return DeleteFileA(path.get());
}

HANDLE CreateWizardFile(const char* install_dir, std::string_view name) {
  const HeapString path = ComposeWizardPath(install_dir, name);
  if (!path) return INVALID_HANDLE_VALUE;
  return CreateFileA(path.get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                     nullptr);
}

void CopyWizardFile(const char* install_dir, std::string_view name) {
  char tool_path[kToolPathSize];
  const std::size_t tool_dir = ReadToolDirectory(tool_path, kToolPathSize, 0);
  if (tool_dir == 0) return;
  const HeapString target = ComposeWizardPath(install_dir, name);
  if (!target) return;
  const HeapString source = JoinPath({{tool_path, tool_dir}, name});
  if (!source) return;
  CopyFileA(source.get(), target.get(), FALSE);
}

}  // namespace wizard
