// The simulated machine's path mapping: Windows-form paths to host paths
// and back, with the case-insensitive lookup and its caches. The machine
// folder and the sandbox are in machine_sandbox.cc, the code-page record in
// machine_code_page.cc.
#include "platform/posix/machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/posix/code_page.h"
#include "platform/posix/host_paths.h"

namespace setup::posix {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbidden(unsigned char c) { return c < 0x20 || std::strchr("<>:\"|*?", c) != nullptr; }

// Splits the part of a Windows path after its drive or root into components,
// stepping over the second byte of each double-byte character. False when a
// component holds a character Windows forbids in names.
bool SplitWindows(unsigned code_page, const std::string& path, std::vector<std::string>* parts) {
  std::string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (!part.empty()) parts->push_back(part);
      part.clear();
      continue;
    }
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsDoubleByteAt(code_page, path, i)) {
      part += path[i];
      part += path[++i];  // the trail byte may be 0x5C or 0x7C; a '/' is a separator
      continue;
    }
    if (IsForbidden(c)) return false;
    part += path[i];
  }
  return true;
}

// Drops trailing dots and spaces, as Windows does with the names it is given
// ("name." is "name"); "." and ".." stay.
std::string TrimName(const std::string& name) {
  if (name == "." || name == "..") return name;
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return name.substr(0, end);
}

constexpr size_t kMaxListings = 64;   // folders the lookup remembers
constexpr size_t kMaxResolved = 256;  // folder resolutions the mapping remembers

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// Opens a path (O_PATH) and takes its status, refused (-1, errno ELOOP) when
// any of its components is a symbolic link; where the kernel lacks openat2,
// -1 with ENOSYS, and the caller looks the long way. The descriptor, or -1.
int OpenWithoutLinks(const std::string& path, struct stat* st) {
  open_how how = {};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  if (fd < 0) return -1;
  if (fstat(static_cast<int>(fd), st) != 0) {
    close(static_cast<int>(fd));
    return -1;
  }
  return static_cast<int>(fd);
}

std::string FolderOf(const std::string& host_path) {
  size_t slash = host_path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host_path.substr(0, slash);
}

}  // namespace

bool Machine::SameFolder(const FolderListing& listing, const struct stat& st) {
  return listing.device == st.st_dev && listing.inode == st.st_ino &&
         listing.changed.tv_sec == st.st_mtim.tv_sec &&
         listing.changed.tv_nsec == st.st_mtim.tv_nsec;
}

bool Machine::SameStamp(const Stamp& stamp, const struct stat& st) {
  return stamp.device == st.st_dev && stamp.inode == st.st_ino &&
         stamp.changed.tv_sec == st.st_ctim.tv_sec && stamp.changed.tv_nsec == st.st_ctim.tv_nsec;
}

const Machine::FolderListing* Machine::Listing(const std::string& folder,
                                               const struct stat* known) {
  struct stat st;
  if (known != nullptr) {
    st = *known;
  } else if (stat(folder.c_str(), &st) != 0) {
    return nullptr;
  }
  auto found = listings_.find(folder);
  if (found != listings_.end() && SameFolder(found->second, st)) return &found->second;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return nullptr;
  if (listings_.size() >= kMaxListings) listings_.clear();
  FolderListing& listing = listings_[folder];
  listing = FolderListing{st.st_dev, st.st_ino, st.st_mtim, {}};
  while (dirent* entry = readdir(dir)) {
    std::string& first = listing.first[Fold(entry->d_name)];
    if (first.empty() || std::strcmp(entry->d_name, first.c_str()) < 0) first = entry->d_name;
  }
  closedir(dir);
  return &listing;
}

void Machine::AppendComponent(std::string* host, const std::string& name,
                              const struct stat* folder_stat, Entry* entry, struct stat* st,
                              Mapping* mapping) {
  std::string folder = host->empty() ? "/" : *host;
  std::string prefix = folder.back() == '/' ? folder : folder + "/";
  struct stat own;
  if (st == nullptr) st = &own;
  int at = mapping != nullptr ? mapping->folder_fd : -1;
  // Looks at (or opens) one name of the folder; 0 or the error.
  auto look = [&](const std::string& entry_name) {
    if (at >= 0 && mapping->open_flags >= 0) {
      int fd = openat(at, entry_name.c_str(), mapping->open_flags | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) {
        if (fstat(fd, st) == 0) {
          mapping->opened = fd;
          return 0;
        }
        int error = errno;
        close(fd);
        return error;
      }
      if (errno != ELOOP) return errno;  // ELOOP: a link, looked at below
    }
    int looked = at >= 0 ? fstatat(at, entry_name.c_str(), st, AT_SYMLINK_NOFOLLOW)
                         : lstat((prefix + entry_name).c_str(), st);
    return looked == 0 ? 0 : errno;
  };
  Entry found_entry = Entry::kExists;
  int error = look(name);
  if (error == 0) {
    *host = prefix + name;
  } else {
    found_entry = error == ENOENT ? Entry::kMissing : Entry::kUnknown;
    std::string best;
    if (const FolderListing* listing = Listing(folder, folder_stat)) {
      auto found = listing->first.find(Fold(name));
      if (found != listing->first.end()) best = found->second;
    }
    *host = best.empty() ? prefix + name : prefix + best;
    if (!best.empty() && (entry != nullptr || mapping != nullptr)) {
      found_entry = look(best) == 0 ? Entry::kExists : Entry::kUnknown;
    }
  }
  if (entry != nullptr) *entry = found_entry;
}

std::string Machine::ResolveFolder(const std::string& drive_root,
                                   const std::vector<std::string>& parts, size_t count,
                                   Mapping* mapping, struct stat* folder_stat) {
  std::string spelling = drive_root;
  for (size_t i = 0; i < count; ++i) spelling += "/" + parts[i];
  std::string key = Fold(spelling);
  auto found = resolved_.find(key);
  if (found != resolved_.end() && found->second.spelling == spelling) {
    const ResolvedFolder& folder = found->second;
    auto stamp = stamps_.find(folder.host);
    // The folder's own stamp does not tell that a folder above it was moved
    // away and a link to its new place put where it stood: the physical path
    // must still lead to it without a link. Where the host path is that
    // path, one look serves both.
    if (stamp != stamps_.end() &&
        (folder.host == folder.physical ||
         (stat(folder.host.c_str(), folder_stat) == 0 && SameStamp(stamp->second, *folder_stat)))) {
      int fd = OpenWithoutLinks(folder.physical, folder_stat);
      if (fd >= 0 && SameStamp(stamp->second, *folder_stat)) {
        mapping->cached = true;
        mapping->physical = folder.physical;
        if (mapping->want_folder) {
          mapping->folder_fd = fd;
          mapping->folder_stat = *folder_stat;
        } else {
          close(fd);
        }
        return folder.host;
      }
      if (fd >= 0) close(fd);
    }
  }
  std::string host = drive_root;
  for (size_t i = 0; i < count; ++i) AppendComponent(&host, parts[i]);
  if (host.empty()) host = "/";
  // The status comes first: a change after it shows as a changed stamp.
  if (stat(host.c_str(), folder_stat) != 0 || !S_ISDIR(folder_stat->st_mode)) return host;
  std::string physical = RealPath(host);
  if (physical.empty()) return host;
  if (resolved_.size() >= kMaxResolved) {
    resolved_.clear();
    stamps_.clear();
  }
  resolved_[key] = ResolvedFolder{spelling, host, physical};
  stamps_[host] = Stamp{folder_stat->st_dev, folder_stat->st_ino, folder_stat->st_ctim};
  mapping->cached = true;
  mapping->physical = physical;
  if (mapping->want_folder) {
    // The folder resolved is the one opened, or none is used.
    struct stat opened;
    int fd = OpenWithoutLinks(physical, &opened);
    if (fd >= 0 && SameStamp(stamps_[host], opened)) {
      mapping->folder_fd = fd;
      mapping->folder_stat = opened;
    } else if (fd >= 0) {
      close(fd);
    }
  }
  return host;
}

Machine::FolderChange Machine::BeginFolderChange(const std::string& host_path) const {
  std::string folder = FolderOf(host_path);
  struct stat st;
  if ((listings_.find(folder) == listings_.end() && stamps_.find(folder) == stamps_.end()) ||
      stat(folder.c_str(), &st) != 0) {
    FolderChange change;
    change.folder = folder;
    return change;
  }
  return ChangeFrom(folder, st);
}

Machine::FolderChange Machine::BeginFolderChange(const Place& place) const {
  if (place.folder < 0) return BeginFolderChange(place.host);
  return ChangeFrom(FolderOf(place.host), place.folder_status);
}

Machine::FolderChange Machine::ChangeFrom(const std::string& folder,
                                          const struct stat& before) const {
  FolderChange change;
  change.folder = folder;
  auto listing = listings_.find(folder);
  auto stamp = stamps_.find(folder);
  change.known = listing != listings_.end() && SameFolder(listing->second, before);
  change.stamped = stamp != stamps_.end() && SameStamp(stamp->second, before);
  return change;
}

void Machine::EndFolderChange(const FolderChange& change, const std::string& added) {
  EndFolderChange(change, added, -1);
}

void Machine::EndFolderChange(const FolderChange& change, const std::string& added, int folder_fd) {
  if (!change.known && !change.stamped) return;
  auto listing = listings_.find(change.folder);
  auto stamp = stamps_.find(change.folder);
  struct stat st;
  if ((folder_fd >= 0 ? fstat(folder_fd, &st) : stat(change.folder.c_str(), &st)) != 0) {
    if (listing != listings_.end()) listings_.erase(listing);
    if (stamp != stamps_.end()) stamps_.erase(stamp);
    return;
  }
  if (change.stamped && stamp != stamps_.end()) {
    stamp->second.changed = st.st_ctim;  // the folder as this change left it
  }
  if (!change.known || listing == listings_.end()) return;
  FolderListing& entries = listing->second;
  if (!added.empty()) {
    std::string name = added.substr(added.rfind('/') + 1);
    std::string& first = entries.first[Fold(name)];
    if (first.empty() || name < first) first = name;
  }
  entries.changed = st.st_mtim;
}

Machine::Machine(unsigned code_page) : code_page_(code_page) {}

Machine::Machine() : Machine(CodePageForLocale(LocaleName("LC_CTYPE"))) {}

std::string Machine::CurrentFolder() const { return host_access_ ? ProcessFolder() : medium_; }

std::string Machine::DriveC() { return root() + "/drive_c"; }

bool Machine::ToHostPath(const char* windows_path, std::string* host_path) {
  Mapping mapping;
  return Map(windows_path, host_path, &mapping);
}

bool Machine::Map(const char* windows_path, std::string* host_path, Mapping* mapping) {
  std::string path(windows_path);
  std::string drive_root;          // host folder of the drive's root; "" is the host root
  std::vector<std::string> parts;  // components below drive_root, host bytes
  size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && static_cast<unsigned char>(path[0]) < 0x80) {
    char drive = static_cast<char>(path[0] & ~0x20);
    if (drive == 'C') {
      drive_root = DriveC();
    } else if (drive == 'D' && medium_drive_) {
      drive_root = medium_;
    } else if (drive != 'Z') {
      return false;
    }
    start = 2;  // "C:name" is taken from the root as well: no per-drive folders here
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return false;  // \\server\share and \\?\ paths have no counterpart
  } else if (!path.empty() && IsSeparator(path[0])) {
    drive_root = DriveC();  // a rooted path is on the current drive, C:
  } else {
    std::string cwd = CurrentFolder();
    if (cwd.empty()) return false;  // no medium: relative paths lead nowhere
    std::string drive_c = DriveC();
    if (IsBelow(cwd, drive_c)) {
      drive_root = drive_c;
      cwd = cwd.substr(drive_c.size());
    }
    parts = SplitHost(cwd);
  }
  std::vector<std::string> names;
  if (!SplitWindows(code_page_, path.substr(start), &names)) return false;
  for (const std::string& raw : names) {
    std::string name = TrimName(raw);
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." at a drive root stays there
      continue;
    }
    std::string host = AnsiToHost(code_page_, name);
    // A name whose conversion brought a '/' would be two host components.
    if (host.find('/') != std::string::npos) return false;
    parts.push_back(host);
  }
  if (parts.empty()) {
    *host_path = drive_root.empty() ? "/" : drive_root;
    return true;
  }
  struct stat folder_stat;
  std::string host = ResolveFolder(drive_root, parts, parts.size() - 1, mapping, &folder_stat);
  AppendComponent(&host, parts.back(), mapping->cached ? &folder_stat : nullptr, &mapping->last,
                  &mapping->last_stat, mapping);
  mapping->link = mapping->last == Entry::kExists && S_ISLNK(mapping->last_stat.st_mode);
  *host_path = host;
  return true;
}

std::string Machine::ToWindowsPath(const std::string& host_path) {
  std::string absolute = host_path;
  if (absolute.empty() || absolute[0] != '/') absolute = ProcessFolder() + "/" + absolute;
  std::string normal;
  for (const std::string& part : SplitHost(absolute)) normal += "/" + part;
  std::string drive_c = DriveC();
  std::string rest;
  std::string result;
  if (IsBelow(normal, drive_c)) {
    result = "C:";
    rest = normal.substr(drive_c.size());
  } else if (medium_drive_ && IsBelow(normal, medium_)) {
    result = "D:";
    rest = normal.substr(medium_.size());
  } else {
    result = "Z:";
    rest = normal;
  }
  for (const std::string& part : SplitHost(rest)) result += "\\" + HostToAnsi(code_page_, part);
  if (result.size() == 2) result += '\\';
  return result;
}

void SplitLastComponent(unsigned code_page, const std::string& windows_path, std::string* folder,
                        std::string* name) {
  size_t last = std::string::npos;  // position of the last separator
  for (size_t i = 0; i < windows_path.size(); ++i) {
    if (IsDoubleByteAt(code_page, windows_path, i)) {
      ++i;
    } else if (IsSeparator(windows_path[i])) {
      last = i;
    }
  }
  if (last == std::string::npos) {
    bool has_drive = windows_path.size() >= 2 && windows_path[1] == ':' &&
                     static_cast<unsigned char>(windows_path[0]) < 0x80;
    *folder = has_drive ? windows_path.substr(0, 2) : "";
    *name = windows_path.substr(folder->size());
    return;
  }
  *name = windows_path.substr(last + 1);
  // Keep the separator when it is the root's own: "C:\b" -> "C:\", "\b" -> "\".
  bool root = last == 0 || (last == 2 && windows_path[1] == ':');
  *folder = windows_path.substr(0, root ? last + 1 : last);
}

}  // namespace setup::posix
