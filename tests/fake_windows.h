// A recording fake of the Windows services: an in-memory registry and file
// map, an ordered log of the calls with their arguments, and failures on
// demand. It is process-wide, as the real services are; tests reset it.
#ifndef WIZARDSETUP_TESTS_FAKE_WINDOWS_H_
#define WIZARDSETUP_TESTS_FAKE_WINDOWS_H_

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows_services.h"

namespace fake {

struct RegistryValue {
  DWORD type = REG_SZ;
  std::string bytes;
};

struct File {
  std::string bytes;
  bool read_only = false;
};

struct Windows {
  // Registry below HKEY_LOCAL_MACHINE: key path -> value name -> value.
  std::map<std::string, std::map<std::string, RegistryValue>> registry;
  // What GetModuleFileNameA reports; 0 makes the call fail.
  std::string module_path = "X:\\Setup\\WizardSetup.exe";
  bool module_path_fails = false;
  // Files by their path exactly as the tool spells it.
  std::map<std::string, File> files;

  // Calls by name ("CopyFileA") and paths that fail whatever the call.
  std::set<std::string> failing_calls;
  std::set<std::string> failing_paths;
  // The n-th HeapAlloc (counted from 1) returns null; 0 never.
  std::size_t failing_allocation = 0;
  // Writes beyond this many bytes are cut short by the fake disk.
  std::size_t write_limit = static_cast<std::size_t>(-1);

  std::vector<std::string> log;
  bool keep_log = true;
  // Every path a file call named: {"CopyFileA source", path} and the like.
  std::vector<std::pair<std::string, std::string>> file_paths;
  std::size_t allocations = 0;
  std::set<const void*> live_allocations;
  // Open handles -> the path they write; closing one twice is an error.
  std::map<std::size_t, std::string> open_files;
  std::size_t next_handle = 1;
  std::vector<std::string> errors;
};

/// The process's fake; `Reset()` returns it to an empty machine.
Windows& State();
void Reset();

/// Convenience: registers Visual Studio 8.0 with `install_dir` as a
/// terminated REG_SZ value.
void RegisterVisualStudio(const std::string& install_dir);

}  // namespace fake

#endif  // WIZARDSETUP_TESTS_FAKE_WINDOWS_H_
