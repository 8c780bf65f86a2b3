// The POSIX stand-in's system calls for one /install, in the same order and
// with nothing else: the benchmark's measure of what the tool's own work
// costs beyond them.
//
//   same_io REGISTRY_KEY_FOLDER TOOL_DIR WIZARD_DIR
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kFlags = O_CLOEXEC | O_NOCTTY;
char self[4096];
char path[4096];
char looked_at[32];
char block[16384];

// Looked at without being opened, then opened through the look.
int OpenIn(const char* folder, const char* name, bool writing,
           struct stat& status) {
  readlink("/proc/self/exe", self, sizeof self);
  std::snprintf(path, sizeof path, "%s/%s", folder, name);
  const int look = open(path, O_PATH | O_CLOEXEC);
  fstat(look, &status);
  std::snprintf(looked_at, sizeof looked_at, "/proc/self/fd/%d", look);
  const int fd = open(looked_at, (writing ? O_WRONLY : O_RDONLY) | kFlags);
  close(look);
  if (!writing) return fd;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return -1;
  fstat(fd, &status);
  if (ftruncate(fd, 0) != 0) return -1;
  return fd;
}

void Copy(char** argv, const char* name) {
  struct stat source;
  struct stat target;
  const int from = OpenIn(argv[2], name, false, source);
  const int to = OpenIn(argv[3], name, true, target);
  for (ssize_t got; (got = read(from, block, sizeof block)) > 0;) {
    if (write(to, block, static_cast<size_t>(got)) != got) break;
  }
  fchmod(to, target.st_mode & 0644);
  close(to);
  close(from);
}

void Put(char** argv, const char* name, int pieces, size_t size) {
  struct stat status;
  const int fd = OpenIn(argv[3], name, true, status);
  for (; pieces > 0; --pieces) {
    if (write(fd, block, size) < 0) break;
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  struct stat status;
  close(OpenIn(argv[1], "InstallDir", false, status));
  Copy(argv, "TaskWizard.ico");
  Copy(argv, "ComponentWizard.ico");
  Put(argv, "TaskWizard.vsdir", 1, 104);
  Put(argv, "TaskWizard.vsz", 3, 60);
  Put(argv, "ComponentWizard.vsdir", 1, 144);
  Put(argv, "ComponentWizard.vsz", 3, 63);
  return 0;
}
