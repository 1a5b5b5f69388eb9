// The run mark of a machine folder and the removal of a killed run's
// temporaries.
#include "platform/posix/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace setup::posix {
namespace {

constexpr size_t kRandomPart = 6;  // the XXXXXX of mkostemp
// Deeper folders than this are not searched: a machine is no deeper, and a
// folder nested on purpose must not stop the start of a run.
constexpr int kMaxDepth = 64;

int lock_fd = -1;  // the run's shared lock on run.lock, alive with the process

// Removes the temporaries in folder (and with recurse in its folders): the
// names IsTemporaryName takes with prefix. Links are never followed.
int RemoveIn(const std::string& folder, const std::string& prefix, bool recurse, int depth) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = folder;
    path += '/';
    path += name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (recurse && depth < kMaxDepth) removed += RemoveIn(path, prefix, true, depth + 1);
    } else if (S_ISREG(st.st_mode) && IsTemporaryName(name, prefix) && unlink(path.c_str()) == 0) {
      ++removed;
    }
  }
  closedir(dir);
  return removed;
}

}  // namespace

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
  size_t head = prefix.empty() ? 2 : prefix.size();  // ".x" at the least
  if (name.size() < head + 1 + kRandomPart) return false;
  if (prefix.empty() ? name[0] != '.' : name.compare(0, prefix.size(), prefix) != 0) return false;
  if (!prefix.empty() && name.size() != prefix.size() + 1 + kRandomPart) return false;
  size_t dot = name.size() - kRandomPart - 1;
  if (name[dot] != '.') return false;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) return false;
  }
  return true;
}

int BeginMachineRun(const std::string& root) {
  if (lock_fd < 0) {
    lock_fd = open((root + "/run.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (lock_fd < 0) return -1;
  }
  std::string mark = root + "/run.dirty";
  int removed = 0;
  if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) {
    // No other run is alive: a mark left is that of a run that was killed.
    struct stat st;
    if (lstat(mark.c_str(), &st) == 0) {
      removed += RemoveIn(root, "registry.reg", false, 0);
      removed += RemoveIn(root, "code_page", false, 0);
      removed += RemoveIn(root + "/installs", "", false, 0);
      removed += RemoveIn(root + "/drive_c", "", true, 0);
    } else {
      int fd = open(mark.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd >= 0) close(fd);
    }
  }
  while (flock(lock_fd, LOCK_SH) != 0) {
    if (errno != EINTR) return -1;
  }
  return removed;
}

void EndMachineRun(const std::string& root) {
  if (lock_fd < 0) return;
  if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) unlink((root + "/run.dirty").c_str());
  flock(lock_fd, LOCK_SH);
}

}  // namespace setup::posix
