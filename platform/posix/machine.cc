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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/code_page.h"
#include "platform/posix/host_paths.h"

namespace setup::posix {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbidden(unsigned char c) {
  switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '*':
    case '?':
      return true;
    default:
      return c < 0x20;
  }
}

// Drops trailing dots and spaces, as Windows does with the names it is given
// ("name." is "name"); "." and ".." stay.
std::string_view TrimName(std::string_view name) {
  if (name == "." || name == "..") return name;
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

constexpr size_t kMaxListings = 64;   // folders the lookup remembers
constexpr size_t kMaxResolved = 256;  // folder resolutions the mapping remembers

// name with its letters folded as strcasecmp folds them, into *folded:
// by the locale's own table of tolower, taken once per name instead of a
// call per byte (every path is folded whole for the caches' keys).
void FoldInto(std::string_view name, std::string* folded) {
  folded->assign(name);
  const int32_t* lower = *__ctype_tolower_loc();
  for (char& c : *folded) c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
}

std::string Fold(std::string_view name) {
  std::string folded;
  FoldInto(name, &folded);
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

void Machine::AppendComponent(std::string* host, std::string_view name,
                              const struct stat* folder_stat, Entry* entry, struct stat* st,
                              Mapping* mapping, bool* absent) {
  // The folder is host[0, folder_size), the host root when that is empty;
  // the name goes behind it in place, so that host is the path looked at.
  size_t folder_size = host->size();
  if (host->empty() || host->back() != '/') host->push_back('/');
  size_t name_at = host->size();
  host->append(name);
  struct stat own;
  if (st == nullptr) st = &own;
  int at = mapping != nullptr ? mapping->folder_fd : -1;
  // Looks at (or opens) the name now at the end of host; 0 or the error.
  auto look = [&]() {
    const char* entry_name = host->c_str() + name_at;
    if (at >= 0 && mapping->open_flags >= 0) {
      int fd = openat(at, entry_name, mapping->open_flags | O_NOFOLLOW | O_CLOEXEC);
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
    int looked =
        at >= 0 ? fstatat(at, entry_name, st, AT_SYMLINK_NOFOLLOW) : lstat(host->c_str(), st);
    return looked == 0 ? 0 : errno;
  };
  if (absent != nullptr) *absent = false;
  Entry found_entry = Entry::kExists;
  int error = look();
  if (error != 0) {
    found_entry = error == ENOENT ? Entry::kMissing : Entry::kUnknown;
    const std::string* best = nullptr;
    if (folder_size == 0) {
      folder_.assign("/");
    } else {
      folder_.assign(*host, 0, folder_size);
    }
    if (const FolderListing* listing = Listing(folder_, folder_stat)) {
      FoldInto(name, &folded_);
      auto found = listing->first.find(folded_);
      if (found != listing->first.end() && !found->second.empty()) best = &found->second;
    }
    if (best != nullptr) {
      host->resize(name_at);
      host->append(*best);
      if (entry != nullptr || mapping != nullptr) {
        found_entry = look() == 0 ? Entry::kExists : Entry::kUnknown;
      }
    } else if (absent != nullptr) {
      // Nothing of that name in any case: nothing below it either.
      *absent = error == ENOENT;
    }
  }
  if (entry != nullptr) *entry = found_entry;
}

void Machine::ResolveFolder(size_t root_size, size_t count, Mapping* mapping,
                            struct stat* folder_stat) {
  std::string_view spelling(spelling_.data(),
                            count < part_starts_.size() ? part_starts_[count] : spelling_.size());
  FoldInto(spelling, &key_);
  auto found = resolved_.find(key_);
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
        host_ = folder.host;
        return;
      }
      if (fd >= 0) close(fd);
    }
  }
  std::string& host = host_;
  host.assign(spelling_, 0, root_size);
  for (size_t i = 0; i < count; ++i) {
    size_t begin = part_starts_[i] + 1;
    size_t end = i + 1 < part_starts_.size() ? part_starts_[i + 1] : spelling_.size();
    std::string_view name(spelling_.data() + begin, end - begin);
    if (mapping->missing_at != std::string::npos) {
      host += '/';  // below a missing component: missing too, nothing to look at
      host += name;
      continue;
    }
    size_t at = host.size();
    bool absent;
    AppendComponent(&host, name, nullptr, nullptr, nullptr, nullptr, &absent);
    if (absent) mapping->missing_at = host[at] == '/' ? at : at - 1;
  }
  if (host.empty()) host = "/";
  if (mapping->missing_at != std::string::npos) return;
  // The status comes first: a change after it shows as a changed stamp.
  if (stat(host.c_str(), folder_stat) != 0 || !S_ISDIR(folder_stat->st_mode)) return;
  std::string physical = RealPath(host);
  if (physical.empty()) return;
  if (resolved_.size() >= kMaxResolved) {
    resolved_.clear();
    stamps_.clear();
  }
  resolved_[key_] = ResolvedFolder{std::string(spelling), host, physical};
  Stamp& stamped = stamps_[host];
  stamped = Stamp{folder_stat->st_dev, folder_stat->st_ino, folder_stat->st_ctim};
  mapping->cached = true;
  mapping->physical = physical;
  if (mapping->want_folder) {
    // The folder resolved is the one opened, or none is used.
    struct stat opened;
    int fd = OpenWithoutLinks(physical, &opened);
    if (fd >= 0 && SameStamp(stamped, opened)) {
      mapping->folder_fd = fd;
      mapping->folder_stat = opened;
    } else if (fd >= 0) {
      close(fd);
    }
  }
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
    std::string_view name(added);
    name.remove_prefix(added.rfind('/') + 1);
    FoldInto(name, &folded_);
    std::string& first = entries.first[folded_];
    if (first.empty() || name < first) first = name;
  }
  entries.changed = st.st_mtim;
}

Machine::Machine(unsigned code_page) : code_page_(code_page) {}

Machine::Machine() : Machine(CodePageForLocale(LocaleName("LC_CTYPE"))) {}

const std::string& Machine::DriveC() {
  const std::string& root_folder = root();
  if (drive_c_.size() != root_folder.size() + 8 ||
      drive_c_.compare(0, root_folder.size(), root_folder) != 0) {
    drive_c_ = root_folder + "/drive_c";
  }
  return drive_c_;
}

bool Machine::ToHostPath(const char* windows_path, std::string* host_path) {
  Mapping mapping;
  return Map(windows_path, host_path, &mapping);
}

std::string_view Machine::HostName(std::string_view ansi) {
  if (IsAscii(ansi)) return ansi;
  if (to_host_page_ != code_page_) {
    to_host_.Open("UTF-8", IconvName(code_page_));
    to_host_page_ = code_page_;
  }
  // A name that does not convert completely is taken as it is, as AnsiToHost
  // does: it may be host bytes already.
  if (!to_host_.Convert(ansi, false, &converted_)) return ansi;
  return converted_;
}

void Machine::AppendPart(std::string_view name) {
  if (name == "..") {
    if (!part_starts_.empty()) {  // ".." at a drive root stays there
      spelling_.resize(part_starts_.back());
      part_starts_.pop_back();
    }
    return;
  }
  part_starts_.push_back(spelling_.size());
  spelling_ += '/';
  spelling_ += name;
}

bool Machine::Map(const char* windows_path, std::string* host_path, Mapping* mapping) {
  // The drive's root folder, then each component in host form, go to
  // spelling_ ("" for the drive's root is the host root); part_starts_ holds
  // where each component's '/' is.
  std::string_view path(windows_path);
  spelling_.clear();
  part_starts_.clear();
  size_t start = 0;
  size_t root_size = std::string::npos;  // the drive's root folder in spelling_
  if (path.size() >= 2 && path[1] == ':' && static_cast<unsigned char>(path[0]) < 0x80) {
    char drive = static_cast<char>(path[0] & ~0x20);
    if (drive == 'C') {
      spelling_ = DriveC();
    } else if (drive == 'D' && medium_drive_) {
      spelling_ = medium_;
    } else if (drive != 'Z') {
      return false;
    }
    start = 2;  // "C:name" is taken from the root as well: no per-drive folders here
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return false;  // \\server\share and \\?\ paths have no counterpart
  } else if (!path.empty() && IsSeparator(path[0])) {
    spelling_ = DriveC();  // a rooted path is on the current drive, C:
  } else {
    std::string process_folder;
    if (host_access_) process_folder = ProcessFolder();
    const std::string& cwd = host_access_ ? process_folder : medium_;
    if (cwd.empty()) return false;  // no medium: relative paths lead nowhere
    const std::string& drive_c = DriveC();
    std::string_view rest(cwd);
    if (IsBelow(cwd, drive_c)) {
      spelling_ = drive_c;
      rest.remove_prefix(drive_c.size());
    }
    root_size = spelling_.size();
    // The current folder's parts, "" and "." dropped, ".." by name.
    while (!rest.empty()) {
      size_t slash = rest.find('/');
      std::string_view part = rest.substr(0, slash);
      rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
      if (!part.empty() && part != ".") AppendPart(part);
    }
  }
  if (root_size == std::string::npos) root_size = spelling_.size();
  // The components, split at \ and / but never at the second byte of a
  // double-byte character (which may be 0x5C or 0x7C; a '/' never is one);
  // a character Windows forbids in names fails the whole path.
  for (size_t i = start; i <= path.size(); ++i) {
    size_t begin = i;
    while (i < path.size() && !IsSeparator(path[i])) {
      if (IsDoubleByteAt(code_page_, path, i)) {
        i += 2;
        continue;
      }
      if (IsForbidden(static_cast<unsigned char>(path[i]))) return false;
      ++i;
    }
    std::string_view name = TrimName(path.substr(begin, i - begin));
    if (name.empty() || name == ".") continue;
    if (name != "..") {
      name = HostName(name);
      // A name whose conversion brought a '/' would be two host components.
      if (name.find('/') != std::string_view::npos) return false;
    }
    AppendPart(name);
  }
  if (part_starts_.empty()) {
    host_ = root_size == 0 ? "/" : spelling_;
    if (host_path != nullptr) *host_path = host_;
    return true;
  }
  struct stat folder_stat;
  size_t last = part_starts_.size() - 1;
  ResolveFolder(root_size, last, mapping, &folder_stat);
  std::string_view name(spelling_);
  name.remove_prefix(part_starts_[last] + 1);
  if (mapping->missing_at != std::string::npos) {
    host_ += '/';  // in a missing folder: missing, nothing to look at
    host_ += name;
    mapping->last = Entry::kMissing;
  } else {
    size_t at = host_.size();
    bool absent;
    AppendComponent(&host_, name, mapping->cached ? &folder_stat : nullptr, &mapping->last,
                    &mapping->last_stat, mapping, &absent);
    if (absent) mapping->missing_at = host_[at] == '/' ? at : at - 1;
  }
  mapping->link = mapping->last == Entry::kExists && S_ISLNK(mapping->last_stat.st_mode);
  if (host_path != nullptr) *host_path = host_;
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

void SplitLastComponent(unsigned code_page, std::string_view windows_path, std::string* folder,
                        std::string* name) {
  // Assigned in place: a caller that keeps the two strings reuses them.
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
    folder->assign(windows_path.substr(0, has_drive ? 2 : 0));
    name->assign(windows_path.substr(folder->size()));
    return;
  }
  name->assign(windows_path.substr(last + 1));
  // Keep the separator when it is the root's own: "C:\b" -> "C:\", "\b" -> "\".
  bool root = last == 0 || (last == 2 && windows_path[1] == ':');
  folder->assign(windows_path.substr(0, root ? last + 1 : last));
}

}  // namespace setup::posix
