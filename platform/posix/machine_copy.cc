// Copying and removing machine folders, entry by entry, links never
// followed.
#include "platform/posix/machine_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace setup::posix {
namespace {

// folder/name.
std::string Child(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += '/';
  path += name;
  return path;
}

struct Copier {
  std::string from;       // as given
  std::string real_from;  // with its links followed
  dev_t skip_device = 0;  // the copy itself, should it lie inside from
  ino_t skip_inode = 0;
  std::string error;

  bool Fail(const std::string& what, const std::string& path) {
    error = what + " '" + path + "': " + std::strerror(errno);
    return false;
  }

  static std::vector<std::string> Names(DIR* folder) {
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        names.emplace_back(entry->d_name);
      }
    }
    return names;
  }

  bool CopyFileData(const std::string& source, const std::string& dest, const struct stat& st) {
    int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return Fail("cannot read", source);
    int out = open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
      close(in);
      return Fail("cannot create", dest);
    }
    static char buffer[1 << 16];
    bool ok = true;
    for (;;) {
      ssize_t n = read(in, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = Fail("cannot read", source);
        break;
      }
      if (n == 0) break;
      for (ssize_t done = 0; done < n;) {
        ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) {
          ok = Fail("cannot write", dest);
          break;
        }
        done += w;
      }
      if (!ok) break;
    }
    close(in);
    if (ok && fchmod(out, st.st_mode & 07777) != 0) ok = Fail("cannot set the mode of", dest);
    if (close(out) != 0 && ok) ok = Fail("cannot write", dest);
    return ok;
  }

  bool CopyLink(const std::string& source, const std::string& dest, const std::string& to) {
    std::vector<char> target(PATH_MAX + 1);
    ssize_t n = readlink(source.c_str(), target.data(), PATH_MAX);
    if (n < 0) return Fail("cannot read the link", source);
    std::string text(target.data(), static_cast<size_t>(n));
    // A link into the machine by its absolute name leads into the copy.
    for (const std::string* prefix : {&from, &real_from}) {
      if (!prefix->empty() && text.compare(0, prefix->size(), *prefix) == 0 &&
          (text.size() == prefix->size() || text[prefix->size()] == '/')) {
        text.replace(0, prefix->size(), to);
        break;
      }
    }
    if (symlink(text.c_str(), dest.c_str()) != 0) return Fail("cannot create the link", dest);
    return true;
  }

  // Copies the entries of folder source into the existing folder dest; to
  // is the copy's root.
  bool CopyFolder(const std::string& source, const std::string& dest, const std::string& to,
                  bool top) {
    DIR* folder = opendir(source.c_str());
    if (folder == nullptr) return Fail("cannot read the folder", source);
    std::vector<std::string> names = Names(folder);
    closedir(folder);
    for (const std::string& name : names) {
      if (top && name == "installs") continue;
      std::string from_path = Child(source, name);
      std::string to_path = Child(dest, name);
      struct stat st {};
      if (lstat(from_path.c_str(), &st) != 0) return Fail("cannot read", from_path);
      if (S_ISDIR(st.st_mode)) {
        if (st.st_dev == skip_device && st.st_ino == skip_inode) continue;
        if (mkdir(to_path.c_str(), 0700) != 0) return Fail("cannot create the folder", to_path);
        if (!CopyFolder(from_path, to_path, to, false)) return false;
        if (chmod(to_path.c_str(), st.st_mode & 07777) != 0) {
          return Fail("cannot set the mode of", to_path);
        }
      } else if (S_ISREG(st.st_mode)) {
        if (!CopyFileData(from_path, to_path, st)) return false;
      } else if (S_ISLNK(st.st_mode)) {
        if (!CopyLink(from_path, to_path, to)) return false;
      } else if (S_ISFIFO(st.st_mode)) {
        if (mkfifo(to_path.c_str(), st.st_mode & 07777) != 0) {
          return Fail("cannot create the FIFO", to_path);
        }
      } else {
        continue;  // a socket or a device has no place in a copy
      }
      // The times last: the entries made inside a folder change its own.
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      if (utimensat(AT_FDCWD, to_path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 &&
          !S_ISLNK(st.st_mode)) {
        return Fail("cannot set the times of", to_path);
      }
    }
    return true;
  }
};

}  // namespace

bool CopyMachineFolder(const std::string& from, const std::string& to, std::string* error) {
  struct stat st {};
  if (lstat(from.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;  // a fresh machine
    *error = "cannot read '" + from + "': " + std::strerror(errno);
    return false;
  }
  Copier copier;
  copier.from = from;
  char* real = realpath(from.c_str(), nullptr);
  if (real != nullptr) {
    copier.real_from = real;
    std::free(real);  // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
  }
  struct stat copy {};
  if (stat(to.c_str(), &copy) == 0) {
    copier.skip_device = copy.st_dev;
    copier.skip_inode = copy.st_ino;
  }
  if (!copier.CopyFolder(from, to, to, true)) {
    *error = copier.error;
    return false;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  chmod(to.c_str(), st.st_mode & 07777);
  utimensat(AT_FDCWD, to.c_str(), times, 0);
  return true;
}

void RemoveTree(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), 0700);  // a read-only folder's entries can go too
    DIR* folder = opendir(path.c_str());
    if (folder != nullptr) {
      std::vector<std::string> names = Copier::Names(folder);
      closedir(folder);
      for (const std::string& name : names) RemoveTree(Child(path, name));
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace setup::posix
