#include <cstring>
#include <string_view>
#include <utility>

#include "deploy/wizard_files.h"
#include "deploy/wizard_paths.h"
#include "deploy/wizard_texts.h"

namespace wizard {

namespace {

// Holds the tool directory, then a wizard's name after it.
constexpr DWORD kFolderBufferSize = 388;
constexpr std::size_t kFolderNameRoom = kComponentWizard.name.size() + 1;
static_assert(kTaskWizard.name.size() < kFolderNameRoom);

// One descriptor file open for writing; closed exactly once, when it goes.
class DescriptorFile {
 public:
  explicit DescriptorFile(HANDLE handle) : handle_(handle) {}
  DescriptorFile(DescriptorFile&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  DescriptorFile& operator=(DescriptorFile&&) = delete;
  ~DescriptorFile() {
    if (is_open()) CloseHandle(handle_);
  }

  bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

  // One write call per piece; a failed or short write is not retried.
  void Write(std::string_view bytes) const {
    DWORD written = 0;
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
  }

 private:
  HANDLE handle_;
};

DescriptorFile CreateDescriptor(const char* install_dir,
                                std::string_view name) {
  return DescriptorFile{CreateWizardFile(install_dir, name)};
}

// A launch file is left alone when the folder it would name is unknown: a
// wrong path in it would break a good installation.
DescriptorFile CreateLaunchFile(const char* install_dir, const Wizard& wizard,
                                std::size_t tool_dir) {
  if (tool_dir == 0) return DescriptorFile{INVALID_HANDLE_VALUE};
  return CreateDescriptor(install_dir, wizard.launch_file);
}

void WriteRecord(DescriptorFile file, const Wizard& wizard) {
  if (file.is_open()) file.Write(wizard.record);
}

// `folder` holds the tool directory in its first `tool_dir` bytes; the
// wizard's name is put after it to make the wizard's folder path.
void WriteLaunchFile(DescriptorFile file, const Wizard& wizard, char* folder,
                     std::size_t tool_dir) {
  if (!file.is_open()) return;
  std::memcpy(folder + tool_dir, wizard.name.data(), wizard.name.size());
  file.Write(wizard.launch_head);
  file.Write({folder, tool_dir + wizard.name.size()});
  file.Write(kLaunchTail);
}

}  // namespace

void WriteWizardDescriptors(const char* install_dir) {
  char folder[kFolderBufferSize];
  const std::size_t tool_dir =
      ReadToolDirectory(folder, kFolderBufferSize, kFolderNameRoom);

  // Every file is created, or emptied, before the first one is written.
  DescriptorFile task_record =
      CreateDescriptor(install_dir, kTaskWizard.record_file);
  DescriptorFile task_launch =
      CreateLaunchFile(install_dir, kTaskWizard, tool_dir);
  DescriptorFile component_record =
      CreateDescriptor(install_dir, kComponentWizard.record_file);
  DescriptorFile component_launch =
      CreateLaunchFile(install_dir, kComponentWizard, tool_dir);

  WriteRecord(std::move(task_record), kTaskWizard);
  WriteLaunchFile(std::move(task_launch), kTaskWizard, folder, tool_dir);
  WriteRecord(std::move(component_record), kComponentWizard);
  WriteLaunchFile(std::move(component_launch), kComponentWizard, folder,
                  tool_dir);
}

}  // namespace wizard
