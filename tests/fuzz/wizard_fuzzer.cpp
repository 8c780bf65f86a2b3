// Drives the tool's entry against the recording fake with everything it does
// not control taken from the fuzz input: the argument vector, the registry,
// the executable's path, the files already there, and which platform calls
// and allocations fail. After each run it checks what must always hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "command/wizard_setup.h"
#include "platform/ascii_case.h"
#include "tests/expected_files.h"
#include "tests/fake_windows.h"

namespace {

using wizard_test::kWizardFiles;
using wizard_test::kWizardRelativePath;

const char* const kVisualStudioKey = "SOFTWARE\\Microsoft\\VisualStudio\\8.0";
const char* const kIcons[] = {"TaskWizard.ico", "ComponentWizard.ico"};
// In the order they are created.
const char* const kDescriptorFiles[] = {"TaskWizard.vsdir", "TaskWizard.vsz",
                                        "ComponentWizard.vsdir",
                                        "ComponentWizard.vsz"};
const char* const kArguments[] = {"/install",   "/uninstall", "/Install",
                                  "/UNINSTALL", "/install ",  "install"};
const char* const kFailingCalls[] = {"RegOpenKeyA", "RegQueryValueExA",
                                     "DeleteFileA", "CreateFileA",
                                     "WriteFile",   "CopyFileA"};

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// A string of a length anywhere from empty to past every buffer: a run of
// one repeated character, then free bytes.
std::string ConsumeLongString(FuzzedDataProvider& data, std::size_t most) {
  std::string text(data.ConsumeIntegralInRange<std::size_t>(0, most),
                   data.ConsumeIntegral<char>());
  return text + data.ConsumeRandomLengthString(24);
}

// The install directory a correct tool derives from the registry, or ""
// when it must treat Visual Studio as not installed.
std::string ExpectedInstallDir(const fake::Windows& machine) {
  const auto key = machine.registry.find(kVisualStudioKey);
  if (key == machine.registry.end() ||
      machine.failing_calls.count("RegOpenKeyA") ||
      machine.failing_calls.count("RegQueryValueExA")) {
    return "";
  }
  const auto value = key->second.find("InstallDir");
  if (value == key->second.end() || value->second.bytes.size() > 260) return "";
  const std::string& bytes = value->second.bytes;
  const std::size_t end = bytes.find('\0');
  if (end == std::string::npos && bytes.size() == 260) return "";
  // Only an absolute path: "\\...", "/..." or a drive, a colon and either.
  const std::string dir = bytes.substr(0, end);
  const auto separator = [&dir](std::size_t i) {
    return i < dir.size() && (dir[i] == '\\' || dir[i] == '/');
  };
  const bool drive = dir.size() > 2 && std::isalpha(static_cast<unsigned char>(dir[0])) &&
                     dir[1] == ':' && separator(2);
  return separator(0) || drive ? dir : "";
}

// The tool directory read through a buffer of `size` bytes that must leave
// `room` bytes after it, or "" when it is unknown.
std::string ExpectedToolDir(const fake::Windows& machine, std::size_t size,
                            std::size_t room) {
  const std::string& path = machine.module_path;
  if (machine.module_path_fails || path.empty() || path.size() >= size) {
    return "";
  }
  const std::size_t backslash = path.rfind('\\');
  if (backslash == std::string::npos || size - (backslash + 1) < room) {
    return "";
  }
  return path.substr(0, backslash + 1);
}

std::vector<std::string> ConsumeArguments(FuzzedDataProvider& data) {
  std::vector<std::string> arguments;
  const int count = data.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < count; ++i) {
    arguments.push_back(data.ConsumeBool()
                            ? data.PickValueInArray(kArguments)
                            : data.ConsumeRandomLengthString(12));
  }
  return arguments;
}

void ConsumeMachine(FuzzedDataProvider& data) {
  fake::Reset();
  fake::Windows& machine = fake::State();
  machine.keep_log = false;
  if (data.ConsumeBool()) {
    auto& key = machine.registry[kVisualStudioKey];
    if (data.ConsumeBool()) {
      key["InstallDir"] = {data.ConsumeIntegralInRange<DWORD>(0, 11),
                           ConsumeLongString(data, 300)};
    }
  }
  // A module path never holds a NUL: Windows reports a C string.
  machine.module_path = ConsumeLongString(data, 420);
  for (char& c : machine.module_path) {
    if (c == '\0') c = '\\';
  }
  machine.module_path_fails = data.ConsumeProbability<float>() < 0.05f;
  for (const char* call : kFailingCalls) {
    if (data.ConsumeProbability<float>() < 0.1f) {
      machine.failing_calls.insert(call);
    }
  }
  machine.failing_allocation = data.ConsumeIntegralInRange<std::size_t>(0, 12);
  if (data.ConsumeBool()) {
    machine.write_limit = data.ConsumeIntegralInRange<std::size_t>(0, 300);
  }
}

// Icons beside the tool, and wizard files already in place, some read-only
// or hidden.
void ConsumeFiles(FuzzedDataProvider& data, const std::string& install_dir,
                  const std::string& tool_dir) {
  fake::Windows& machine = fake::State();
  for (const char* icon : kIcons) {
    if (data.ConsumeBool()) {
      machine.files[tool_dir + icon] = {std::string("icon ") + icon, false};
    }
  }
  for (const char* name : kWizardFiles) {
    if (data.ConsumeBool()) {
      machine.files[install_dir + kWizardRelativePath + name] = {
          data.ConsumeRandomLengthString(200), data.ConsumeBool(),
          data.ConsumeBool()};
    }
    if (data.ConsumeProbability<float>() < 0.1f) {
      machine.failing_paths.insert(install_dir + kWizardRelativePath + name);
    }
  }
}

bool IsSwitch(const std::vector<std::string>& arguments, const char* name) {
  return arguments.size() == 1 &&
         platform::CompareIgnoringAsciiCase(arguments[0].c_str(), name) == 0;
}

using FileCalls = std::vector<std::pair<std::string, std::string>>;

// Every file call a correct tool makes, in order, as the fake notes them:
// with a usable install directory, both copies and all four creates for
// /install, all six deletions for /uninstall, and nothing else. Only what
// cannot be made is left out: a path whose allocation fails, a copy from
// an unknown folder, a launch file that would name one.
FileCalls ExpectedFileCalls(const std::vector<std::string>& arguments,
                            const std::string& install_dir,
                            const std::string& copy_tool_dir,
                            const std::string& launch_tool_dir) {
  FileCalls calls;
  if (install_dir.empty()) return calls;
  const std::string wizard_dir = install_dir + kWizardRelativePath;
  std::size_t allocation = 0;
  const auto allocated = [&allocation] {
    return ++allocation != fake::State().failing_allocation;
  };
  if (IsSwitch(arguments, "/uninstall")) {
    for (const char* name : kWizardFiles) {
      if (allocated()) calls.emplace_back("DeleteFileA", wizard_dir + name);
    }
  } else if (IsSwitch(arguments, "/install")) {
    for (const char* icon : kIcons) {
      if (copy_tool_dir.empty() || !allocated() || !allocated()) continue;
      calls.emplace_back("CopyFileA source", copy_tool_dir + icon);
      calls.emplace_back("CopyFileA target", wizard_dir + icon);
    }
    for (const std::string name : kDescriptorFiles) {
      const bool launch = name.find(".vsz") != std::string::npos;
      if ((launch && launch_tool_dir.empty()) || !allocated()) continue;
      calls.emplace_back("CreateFileA", wizard_dir + name);
    }
  }
  return calls;
}

void CheckFiles(const std::map<std::string, fake::File>& before,
                const std::string& install_dir,
                const std::string& launch_tool_dir) {
  const fake::Windows& machine = fake::State();
  std::map<std::string, fake::File> others = machine.files;
  for (const std::string name : kWizardFiles) {
    const std::string path = install_dir + kWizardRelativePath + name;
    others.erase(path);
    const auto now = machine.files.find(path);
    const auto was = before.find(path);
    if (now == machine.files.end() ||
        (was != before.end() && was->second.bytes == now->second.bytes)) {
      continue;
    }
    const std::string& bytes = now->second.bytes;
    if (name.find(".ico") != std::string::npos) {
      Require(bytes == "icon " + name, "icon copies are exact");
    } else {
      Require(wizard_test::ExpectedDescriptor(name, launch_tool_dir)
                      .compare(0, bytes.size(), bytes) == 0,
              "descriptors hold only their own bytes");
    }
  }
  for (const auto& [path, file] : before) {
    if (others.count(path) == 0) continue;
    Require(others[path].bytes == file.bytes, "other files are untouched");
  }
  Require(others.size() <= before.size(), "no other file is created");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::vector<std::string> arguments = ConsumeArguments(data);
  ConsumeMachine(data);
  const fake::Windows& machine = fake::State();
  const std::string install_dir = ExpectedInstallDir(machine);
  const std::string copy_tool_dir = ExpectedToolDir(machine, 260, 0);
  const std::string launch_tool_dir = ExpectedToolDir(machine, 388, 16);
  const std::size_t cut = machine.module_path.rfind('\\');
  ConsumeFiles(
      data, install_dir,
      machine.module_path.substr(0, cut == std::string::npos ? 0 : cut + 1));
  const std::map<std::string, fake::File> before = machine.files;

  std::vector<const char*> argv = {"WizardSetup.exe"};
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  Require(wizard::RunWizardSetup(static_cast<int>(argv.size() - 1),
                                 argv.data()) == 0,
          "the exit status is 0");

  Require(machine.file_paths == ExpectedFileCalls(arguments, install_dir,
                                                  copy_tool_dir,
                                                  launch_tool_dir),
          "the file calls are exactly those the switch asks for");
  CheckFiles(before, install_dir, launch_tool_dir);
  Require(machine.errors.empty(), "no call Windows would refuse as a mistake");
  Require(machine.open_files.empty(), "no handle stays open");
  Require(machine.live_allocations.empty(), "no string outlives its call");
  return 0;
}
