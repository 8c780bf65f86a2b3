#include "tests/fake_windows.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/ascii_case.h"

namespace fake {

Windows& State() {
  static Windows windows;
  return windows;
}

void Reset() { State() = Windows{}; }

void RegisterVisualStudio(const std::string& install_dir) {
  State().registry["SOFTWARE\\Microsoft\\VisualStudio\\8.0"]["InstallDir"] = {
      REG_SZ, install_dir + std::string(1, '\0')};
}

}  // namespace fake

struct HKEY__ {
  std::string path;
};

namespace {

using fake::State;

// Joins the parts into one log entry; nothing is built when no log is kept.
template <typename... Parts>
void Log(const Parts&... parts) {
  if (!State().keep_log) return;
  std::string entry;
  (entry.append(parts), ...);
  State().log.push_back(std::move(entry));
}

void Touch(const char* call, const char* path) {
  State().file_paths.emplace_back(call, path);
}

bool Fails(const char* call) { return State().failing_calls.count(call) > 0; }

bool Fails(const char* call, const std::string& path) {
  return Fails(call) || State().failing_paths.count(path) > 0;
}

std::size_t HandleNumber(HANDLE handle) {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(handle));
}

HKEY KeyHandle(const std::string& key_path) {
  static std::map<std::string, HKEY__> keys;
  HKEY__& key = keys[key_path];
  key.path = key_path;
  return &key;
}

fake::OpenFile* Opened(HANDLE handle) {
  const auto file = State().open_files.find(HandleNumber(handle));
  return file == State().open_files.end() ? nullptr : &file->second;
}

std::string OpenedPath(HANDLE handle) {
  const fake::OpenFile* file = Opened(handle);
  return file == nullptr ? "<bad handle>" : file->path;
}

// CreateFileA's dispositions and the attributes that matter to it.
constexpr DWORD kCreateNew = 1;
constexpr DWORD kOpenExisting = 3;
constexpr DWORD kOpenAlways = 4;
constexpr DWORD kTruncateExisting = 5;
constexpr DWORD kHiddenOrSystem = 0x2 | 0x4;

// Whether Windows opens `file` (null: absent) with this access, disposition
// and attributes.
bool MayOpen(const fake::File* file, bool write, DWORD disposition,
             DWORD attributes) {
  if (file == nullptr) {
    return disposition == kCreateNew || disposition == CREATE_ALWAYS ||
           disposition == kOpenAlways;
  }
  if (write && file->read_only) return false;
  if (disposition == CREATE_ALWAYS) {
    return !file->hidden || (attributes & kHiddenOrSystem) != 0;
  }
  return disposition == kOpenExisting || disposition == kOpenAlways ||
         (disposition == kTruncateExisting && write);
}

// A call Windows would fault on, or that only a mistaken caller makes.
BOOL Misuse(const std::string& what) {
  State().errors.push_back(what);
  return FALSE;
}

// Guard bytes after every block, checked when it is freed.
constexpr std::size_t kGuardSize = 8;
constexpr unsigned char kGuardByte = 0xFD;

}  // namespace

LONG RegOpenKeyA(HKEY key, const char* sub_key, HKEY* result) {
  Log("RegOpenKeyA(", key == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "?",
      ", ", sub_key, ")");
  if (key != HKEY_LOCAL_MACHINE || Fails("RegOpenKeyA") ||
      State().registry.count(sub_key) == 0) {
    return ERROR_FILE_NOT_FOUND;
  }
  *result = KeyHandle(sub_key);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* size) {
  Log("RegQueryValueExA(", value_name, ", ",
      reserved == nullptr ? "NULL" : "reserved", ", ", std::to_string(*size),
      ")");
  const auto& values = State().registry[key->path];
  const auto value = values.find(value_name);
  if (value == values.end() || Fails("RegQueryValueExA")) {
    return ERROR_FILE_NOT_FOUND;
  }
  const std::string& bytes = value->second.bytes;
  const DWORD capacity = *size;
  *size = static_cast<DWORD>(bytes.size());
  if (type != nullptr) *type = value->second.type;
  if (bytes.size() > capacity) return ERROR_MORE_DATA;
  std::memcpy(data, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY /*key*/) {
  Log("RegCloseKey()");
  return ERROR_SUCCESS;
}

DWORD GetModuleFileNameA(HMODULE module, char* file_name, DWORD size) {
  Log("GetModuleFileNameA(", module ? "module" : "NULL", ", ",
      std::to_string(size), ")");
  if (State().module_path_fails) return 0;
  const std::string& path = State().module_path;
  // As Windows XP and Wine do: a path that does not fit is cut to `size`
  // bytes without a terminator.
  const DWORD copied =
      static_cast<DWORD>(std::min<std::size_t>(path.size(), size));
  std::memcpy(file_name, path.data(), copied);
  if (copied < size) file_name[copied] = '\0';
  return copied;
}

BOOL DeleteFileA(const char* file_name) {
  Log("DeleteFileA(", file_name, ")");
  Touch("DeleteFileA", file_name);
  const auto file = State().files.find(file_name);
  if (Fails("DeleteFileA", file_name) || file == State().files.end() ||
      file->second.read_only) {
    return FALSE;
  }
  State().files.erase(file);
  return TRUE;
}

HANDLE CreateFileA(const char* file_name, DWORD desired_access,
                   DWORD share_mode, SECURITY_ATTRIBUTES* security,
                   DWORD creation_disposition, DWORD flags_and_attributes,
                   HANDLE template_file) {
  Log("CreateFileA(", file_name, ", ",
      desired_access == GENERIC_WRITE ? "GENERIC_WRITE"
                                      : std::to_string(desired_access),
      ", ", std::to_string(share_mode), ", ",
      security == nullptr ? "NULL" : "security", ", ",
      creation_disposition == CREATE_ALWAYS
          ? "CREATE_ALWAYS"
          : std::to_string(creation_disposition),
      ", ", std::to_string(flags_and_attributes), ", ",
      template_file == nullptr ? "NULL" : "template", ")");
  Touch("CreateFileA", file_name);
  auto& files = State().files;
  const auto found = files.find(file_name);
  const bool write = (desired_access & GENERIC_WRITE) != 0;
  if (Fails("CreateFileA", file_name) ||
      !MayOpen(found == files.end() ? nullptr : &found->second, write,
               creation_disposition, flags_and_attributes)) {
    return INVALID_HANDLE_VALUE;
  }
  fake::File& file = files[file_name];
  if (creation_disposition == CREATE_ALWAYS ||
      creation_disposition == kTruncateExisting) {
    file.bytes.clear();
  }
  const std::size_t number = State().next_handle++;
  State().open_files[number] = {file_name, write};
  return reinterpret_cast<HANDLE>(number);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped) {
  const std::string path = OpenedPath(file);
  Log("WriteFile(", path, ", ", std::to_string(count), ", ",
      overlapped == nullptr ? "NULL" : "overlapped", ")");
  fake::OpenFile* opened = Opened(file);
  if (written == nullptr && overlapped == nullptr) {
    return Misuse("WriteFile with neither a count nor an OVERLAPPED: " + path);
  }
  if (opened == nullptr)
    return Misuse("WriteFile on a handle not open: " + path);
  if (!opened->writable)
    return Misuse("WriteFile without GENERIC_WRITE: " + path);
  if (written != nullptr) *written = 0;
  if (Fails("WriteFile", path)) return FALSE;
  // Writes land at the file pointer, past which the fake disk may be full.
  std::string& bytes = State().files[path].bytes;
  const std::size_t limit = State().write_limit;
  const std::size_t accepted = std::min<std::size_t>(
      count, limit > opened->position ? limit - opened->position : 0);
  bytes.resize(std::max(bytes.size(), opened->position + accepted));
  bytes.replace(opened->position, accepted, static_cast<const char*>(buffer),
                accepted);
  opened->position += accepted;
  if (written != nullptr) *written = static_cast<DWORD>(accepted);
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  const std::string path = OpenedPath(object);
  Log("CloseHandle(", path, ")");
  if (State().open_files.erase(HandleNumber(object)) == 0) {
    return Misuse("CloseHandle on a handle not open: " + path);
  }
  return TRUE;
}

BOOL CopyFileA(const char* existing_file, const char* new_file,
               BOOL fail_if_exists) {
  Log("CopyFileA(", existing_file, ", ", new_file, ", ",
      fail_if_exists ? "TRUE" : "FALSE", ")");
  Touch("CopyFileA source", existing_file);
  Touch("CopyFileA target", new_file);
  auto& files = State().files;
  const auto source = files.find(existing_file);
  const auto target = files.find(new_file);
  if (Fails("CopyFileA", existing_file) || Fails("CopyFileA", new_file) ||
      source == files.end() ||
      (target != files.end() &&
       (fail_if_exists || target->second.read_only || target->second.hidden))) {
    return FALSE;
  }
  files[new_file] = source->second;
  return TRUE;
}

HANDLE GetProcessHeap() { return reinterpret_cast<HANDLE>(std::uintptr_t{1}); }

void* HeapAlloc(HANDLE /*heap*/, DWORD /*flags*/, SIZE_T size) {
  if (++State().allocations == State().failing_allocation) return nullptr;
  auto* memory = static_cast<unsigned char*>(std::malloc(size + kGuardSize));
  std::memset(memory + size, kGuardByte, kGuardSize);
  State().live_allocations[memory] = size;
  return memory;
}

BOOL HeapFree(HANDLE /*heap*/, DWORD /*flags*/, void* memory) {
  if (memory == nullptr) return TRUE;
  const auto block = State().live_allocations.find(memory);
  if (block == State().live_allocations.end()) {
    return Misuse("HeapFree of memory not allocated");
  }
  const auto* guard = static_cast<unsigned char*>(memory) + block->second;
  const bool intact =
      std::all_of(guard, guard + kGuardSize,
                  [](unsigned char c) { return c == kGuardByte; });
  const std::size_t size = block->second;
  State().live_allocations.erase(block);
  std::free(memory);
  if (!intact) {
    return Misuse("write past the end of a block of " + std::to_string(size) +
                  " bytes");
  }
  return TRUE;
}

int _stricmp(const char* left, const char* right) {
  Log("_stricmp(", left, ", ", right, ")");
  return platform::CompareIgnoringAsciiCase(left, right);
}
