// Drive mapping of the simulated machine.
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

namespace setup::posix {
namespace {

bool MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

// The folders of a fresh machine below its folder, parents first.
constexpr const char* kWindowsFolders[] = {
    "drive_c",         "drive_c/Program Files",    "drive_c/Program Files/Common Files",
    "drive_c/Windows", "drive_c/Windows/System32", "drive_c/Windows/Fonts",
};

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!MakeFolder(path.substr(0, i))) return false;
    }
  }
  return true;
}

std::string ProcessFolder() {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return "";
  return cwd;
}

// True when host lies at or below folder.
bool IsBelow(const std::string& host, const std::string& folder) {
  if (folder.empty()) return false;  // no such folder: nothing is below it
  if (folder == "/") return !host.empty() && host[0] == '/';
  return host.compare(0, folder.size(), folder) == 0 &&
         (host.size() == folder.size() || host[folder.size()] == '/');
}

// True when the host name comes back unchanged from the code page's ANSI
// form and that form is a name Windows allows: a path holding one that is
// not cannot be named on the machine.
bool Spellable(unsigned code_page, const std::string& host_name) {
  std::string ansi = HostToAnsi(code_page, host_name);
  if (AnsiToHost(code_page, ansi) != host_name) return false;
  for (size_t i = 0; i < ansi.size(); ++i) {
    if (IsDoubleByteAt(code_page, ansi, i)) {
      ++i;
    } else if (static_cast<unsigned char>(ansi[i]) < 0x20 || std::strchr("<>:\"|*?\\", ansi[i])) {
      return false;
    }
  }
  return true;
}

// realpath as a string; "" on failure (errno set).
std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return "";
  std::string result(real);
  std::free(real);
  return result;
}

constexpr int kMaxLinks = 40;  // as the kernel's limit on links in one lookup

// Finds where the absolute path leads as the kernel would open or create it:
// the links of its existing part followed, a dangling link followed to its
// missing target, the missing rest appended. False when that cannot be
// told: a loop, a ".." after a missing folder, an unreadable folder.
bool Resolve(std::string path, std::string* physical) {
  for (int links = 0; links < kMaxLinks; ++links) {
    std::string prefix = path;
    std::string rest;  // the missing components, each with its leading '/'
    struct stat st;
    for (;;) {
      std::string real = RealPath(prefix);
      if (!real.empty()) {
        *physical = real == "/" && !rest.empty() ? rest : real + rest;
        return true;
      }
      if (errno != ENOENT) return false;
      if (lstat(prefix.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) break;
      size_t slash = prefix.rfind('/');
      if (slash == std::string::npos) return false;
      std::string name = prefix.substr(slash + 1);
      if (name == "..") return false;  // the kernel fails there too
      if (!name.empty() && name != ".") rest.insert(0, name).insert(0, "/");
      prefix = slash == 0 ? "/" : prefix.substr(0, slash);
    }
    // prefix is a dangling link: a write through it would create its target.
    char target[4096];
    ssize_t length = readlink(prefix.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return false;
    std::string to(target, static_cast<size_t>(length));
    std::string next = to[0] == '/' ? std::string() : prefix.substr(0, prefix.rfind('/') + 1);
    next += to;
    next += rest;
    path = next;
  }
  errno = ELOOP;
  return false;
}

// Splits a host path at its slashes, dropping empty and "." parts and
// resolving ".." by name.
std::vector<std::string> SplitHost(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

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

// stat of a path, refused (false, errno ELOOP) when any of its components is
// a symbolic link; where the kernel lacks openat2, false with ENOSYS, and the
// caller looks the long way.
bool StatWithoutLinks(const std::string& path, struct stat* st) {
  open_how how = {};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  if (fd < 0) return false;
  bool ok = fstat(static_cast<int>(fd), st) == 0;
  close(static_cast<int>(fd));
  return ok;
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
                              const struct stat* folder_stat, Entry* entry, struct stat* st) {
  std::string folder = host->empty() ? "/" : *host;
  std::string prefix = folder.back() == '/' ? folder : folder + "/";
  std::string exact = prefix + name;
  struct stat own;
  if (st == nullptr) st = &own;
  Entry found_entry = Entry::kExists;
  if (lstat(exact.c_str(), st) == 0) {
    *host = exact;
  } else {
    found_entry = errno == ENOENT ? Entry::kMissing : Entry::kUnknown;
    std::string best;
    if (const FolderListing* listing = Listing(folder, folder_stat)) {
      auto found = listing->first.find(Fold(name));
      if (found != listing->first.end()) best = found->second;
    }
    *host = best.empty() ? exact : prefix + best;
    if (!best.empty() && entry != nullptr) {
      found_entry = lstat(host->c_str(), st) == 0 ? Entry::kExists : Entry::kUnknown;
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
         (stat(folder.host.c_str(), folder_stat) == 0 && SameStamp(stamp->second, *folder_stat))) &&
        StatWithoutLinks(folder.physical, folder_stat) && SameStamp(stamp->second, *folder_stat)) {
      mapping->cached = true;
      mapping->physical = folder.physical;
      return folder.host;
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
  return host;
}

Machine::FolderChange Machine::BeginFolderChange(const std::string& host_path) const {
  FolderChange change;
  change.folder = FolderOf(host_path);
  auto listing = listings_.find(change.folder);
  auto stamp = stamps_.find(change.folder);
  struct stat st;
  if ((listing == listings_.end() && stamp == stamps_.end()) ||
      stat(change.folder.c_str(), &st) != 0) {
    return change;
  }
  change.known = listing != listings_.end() && SameFolder(listing->second, st);
  change.stamped = stamp != stamps_.end() && SameStamp(stamp->second, st);
  return change;
}

void Machine::EndFolderChange(const FolderChange& change, const std::string& added) {
  if (!change.known && !change.stamped) return;
  auto listing = listings_.find(change.folder);
  auto stamp = stamps_.find(change.folder);
  struct stat st;
  if (stat(change.folder.c_str(), &st) != 0) {
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

std::string DefaultMachineRoot() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data == '/') return std::string(data) + "/setup-machine";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : "/tmp") +
         "/.local/share/setup-machine";
}

Machine::Machine(unsigned code_page) : code_page_(code_page) {}

Machine::Machine() : Machine(CodePageForLocale(LocaleName("LC_CTYPE"))) {}

namespace {

// A host folder given on the command line, absolute and without "." or
// empty parts: relative to the process's folder, not to the simulated
// program's current folder. "" when the process's folder is unknown.
std::string CommandLineFolder(const std::string& folder) {
  std::string absolute = folder;
  if (absolute.empty() || absolute[0] != '/') {
    std::string cwd = ProcessFolder();
    if (cwd.empty()) return "";
    absolute = cwd + "/" + absolute;
  }
  std::string result;
  for (const std::string& part : SplitHost(absolute)) result += "/" + part;
  return result.empty() ? "/" : result;
}

}  // namespace

bool Machine::SetRoot(const std::string& folder) {
  std::string root = CommandLineFolder(folder);
  if (root.empty()) return false;
  if (!MakeFolders(root)) return false;
  // The folders every Windows has, made with the machine (a script may
  // rely on them: MakeDir makes one level only). Each must be a folder of
  // its own, no link: one leading out would have the machine made there.
  for (const char* windows_folder : kWindowsFolders) {
    std::string path = root + "/" + windows_folder;
    struct stat st;
    if (!MakeFolder(path) || lstat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
      errno = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
      return false;
    }
  }
  std::string real = RealPath(root);
  if (real.empty()) return false;
  root_ = root;
  real_root_ = real;
  resolved_.clear();
  stamps_.clear();
  return true;
}

bool Machine::SetMedium(const std::string& host_folder) {
  std::string medium = CommandLineFolder(host_folder);
  if (medium.empty()) return false;
  std::string real = RealPath(medium);
  struct stat st;
  if (real.empty() || stat(real.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  medium_ = medium;
  real_medium_ = real;
  medium_drive_ = false;
  for (const std::string& part : SplitHost(medium)) {
    if (!Spellable(code_page_, part)) medium_drive_ = true;
  }
  resolved_.clear();
  stamps_.clear();
  return true;
}

std::string Machine::CurrentFolder() const { return host_access_ ? ProcessFolder() : medium_; }

bool Machine::Permits(Access access, const std::string& physical) {
  root();  // the checks need the machine folder chosen
  if (IsBelow(physical, real_root_)) return true;
  if (access == Access::kRead && !real_medium_.empty() && IsBelow(physical, real_medium_)) {
    return true;
  }
  errno = EACCES;
  return false;
}

bool Machine::Allows(Access access, const std::string& host_path) {
  if (host_access_) return true;
  std::string physical;
  root();  // Resolve needs the machine folder made
  if (!Resolve(host_path, &physical)) return false;
  return Permits(access, physical);
}

bool Machine::MapFor(Access access, const char* windows_path, std::string* host_path) {
  std::string host;
  Mapping mapping;
  if (!Map(windows_path, &host, &mapping)) return false;
  bool allowed;
  if (host_access_) {
    allowed = true;
  } else if (mapping.cached && !mapping.link && mapping.last != Entry::kUnknown) {
    // The folder's links are followed already; a last component that is no
    // link (or is missing) leads where its name says.
    std::string name = host.substr(host.rfind('/') + 1);
    allowed = Permits(access, mapping.physical == "/" ? "/" + name : mapping.physical + "/" + name);
  } else {
    allowed = Allows(access, host);
  }
  if (!allowed) return false;
  *host_path = host;
  return true;
}

const std::string& Machine::root() {
  if (root_.empty() && !SetRoot(DefaultMachineRoot())) root_ = DefaultMachineRoot();
  return root_;
}

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
  struct stat st;
  AppendComponent(&host, parts.back(), mapping->cached ? &folder_stat : nullptr, &mapping->last,
                  &st);
  mapping->link = mapping->last == Entry::kExists && S_ISLNK(st.st_mode);
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

namespace {

// Reads the code page recorded at path: 1 read, 0 no record, -1 failure
// (errno set; EINVAL for a file that is no record).
int ReadCodePageRecord(const std::string& path, unsigned* code_page) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : -1;
  char text[16] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  int saved = errno;
  close(fd);
  errno = saved;
  if (got < 0) return -1;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || (*end != '\0' && std::strcmp(end, "\n") != 0) || value == 0 || value > 65535) {
    errno = EINVAL;
    return -1;
  }
  *code_page = static_cast<unsigned>(value);
  return 1;
}

// Records code_page at path, whole or not at all: written to a temporary
// and linked to its name, which fails with EEXIST when another run recorded
// one first. 0 when the record is made.
int WriteCodePageRecord(const std::string& path, unsigned code_page) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  char text[16];
  int length = std::snprintf(text, sizeof text, "%u\n", code_page);
  bool ok = fchmod(fd, 0644) == 0 && write(fd, text, static_cast<size_t>(length)) == length;
  ok = close(fd) == 0 && ok;
  ok = ok && link(temporary.c_str(), path.c_str()) == 0;
  int saved = errno;
  unlink(temporary.c_str());
  errno = saved;
  return ok ? 0 : -1;
}

}  // namespace

bool Machine::UseRecordedCodePage(unsigned requested, std::string* error, bool* refused) {
  *refused = false;
  std::string path = root() + "/code_page";
  unsigned recorded = 0;
  int found = ReadCodePageRecord(path, &recorded);
  if (found == 0) {
    if (WriteCodePageRecord(path, requested != 0 ? requested : code_page_) != 0) {
      if (errno != EEXIST) {
        *error = "cannot record the code page in '" + path + "': " + std::strerror(errno);
        return false;
      }
    }
    found = ReadCodePageRecord(path, &recorded);  // ours, or that of a run that came first
  }
  if (found <= 0) {
    *error = "cannot read the code page of the machine from '" + path +
             "': " + (errno == EINVAL ? "it holds no code page" : std::strerror(errno));
    return false;
  }
  if (requested != 0 && requested != recorded) {
    *refused = true;
    *error = "the machine in '" + root() + "' uses code page " + std::to_string(recorded) +
             ", not " + std::to_string(requested) +
             "; its names cannot change code page (choose another --machine folder)";
    return false;
  }
  code_page_ = recorded;
  return true;
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
