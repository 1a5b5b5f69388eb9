// The temporary, flush, rename and folder flush that every file of the
// machine written whole goes through.
#include "platform/posix/durable_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/interruption.h"

namespace setup::posix {

int CreateTemporary(std::string* pattern, int mode, mode_t creation) {
  int fd = MakeTrackedTemporary(pattern, creation);
  if (fd < 0) return -1;
  if (mode >= 0 && fchmod(fd, static_cast<mode_t>(mode)) != 0) {
    int saved = errno;
    close(fd);
    RemoveTemporary(*pattern);
    errno = saved;
    return -1;
  }
  return fd;
}

bool PlaceTemporary(int fd, const std::string& temporary, const std::string& path, Placing placing,
                    bool flush, bool* folder_flushed) {
  bool placed = !flush || fsync(fd) == 0;
  if (placed && placing == Placing::kReplace) {
    // An interruption after the rename finds no temporary left to remove.
    placed = rename(temporary.c_str(), path.c_str()) == 0;
    if (placed) UntrackTemporary(temporary);
  } else if (placed) {
    placed = link(temporary.c_str(), path.c_str()) == 0;
  }
  if (!placed || placing == Placing::kNewName) RemoveTemporary(temporary);
  if (!placed) return false;
  bool synced = !flush || SyncFolderOf(path);
  if (folder_flushed != nullptr) *folder_flushed = synced;
  return true;
}

void RemoveTemporary(const std::string& temporary) {
  int saved = errno;
  // An interruption between the two finds the file gone already.
  unlink(temporary.c_str());
  UntrackTemporary(temporary);
  errno = saved;
}

bool SyncFolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  int saved = errno;
  close(fd);
  errno = saved;
  return synced;
}

}  // namespace setup::posix
