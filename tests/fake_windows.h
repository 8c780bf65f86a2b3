// A recording fake of the Windows services: an in-memory registry and file
// map, an ordered log of the calls with their arguments, and failures on
// demand. It keeps Windows' own rules: it refuses what Windows refuses, and
// notes in `errors` each call that Windows would fault or that only a
// mistaken caller makes. It is process-wide, as the real services are;
// tests reset it.
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
  // Hidden or system: CREATE_ALWAYS with attributes 0 and CopyFileA refuse
  // to replace it.
  bool hidden = false;
};

struct OpenFile {
  std::string path;
  bool writable = false;  // opened with GENERIC_WRITE
  std::size_t position = 0;
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
  // Blocks not yet freed -> their size; a write past a block's end is found
  // when it is freed.
  std::map<const void*, std::size_t> live_allocations;
  // Open handles; using one after it was closed is an error.
  std::map<std::size_t, OpenFile> open_files;
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
