// The simulated machine as a sandbox: its folder and the folders every
// Windows has in it, the medium, and the checks of where a mapped path leads
// once its links are followed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/host_paths.h"
#include "platform/posix/machine.h"

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

constexpr int kMaxLinks = 40;  // as the kernel's limit on links in one lookup

// Finds where the absolute path leads as the kernel would open or create it:
// the links of its existing part followed, a dangling link followed to its
// missing target, the missing rest appended. False when that cannot be
// told: a loop, a ".." after a missing folder, an unreadable folder.
// missing_at: where in path a component starts ('/') that is known to be
// missing, with all below it; the look starts above it.
bool Resolve(std::string path, std::string* physical, size_t missing_at = std::string::npos) {
  for (int links = 0; links < kMaxLinks; ++links) {
    std::string prefix = path;
    std::string rest;  // the missing components, each with its leading '/'
    if (missing_at < path.size()) {
      prefix = missing_at == 0 ? "/" : path.substr(0, missing_at);
      rest = path.substr(missing_at);
      missing_at = std::string::npos;  // a link's target is looked at whole
    }
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

std::string DefaultMachineRoot() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data == '/') return std::string(data) + "/setup-machine";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : "/tmp") +
         "/.local/share/setup-machine";
}

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

const std::string& Machine::root() {
  if (root_.empty() && !SetRoot(DefaultMachineRoot())) root_ = DefaultMachineRoot();
  return root_;
}

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
  LastEntry last;
  return MapFor(access, windows_path, host_path, &last);
}

bool Machine::MapFor(Access access, const char* windows_path, std::string* host_path,
                     LastEntry* last) {
  Mapping mapping;
  if (!MapChecked(access, windows_path, host_path, &mapping)) return false;
  last->known = mapping.last != Entry::kUnknown;
  last->exists = mapping.last == Entry::kExists;
  if (last->exists) last->status = mapping.last_stat;
  return true;
}

bool Machine::MapChecked(Access access, const char* windows_path, std::string* host_path,
                         Mapping* mapping) {
  if (!Map(windows_path, nullptr, mapping)) return false;
  const std::string& host = host_;
  bool allowed;
  if (host_access_) {
    allowed = true;
  } else if (mapping->cached && !mapping->link && mapping->last != Entry::kUnknown) {
    // The folder's links are followed already; a last component that is no
    // link (or is missing) leads where its name says.
    std::string& physical = folder_;
    physical.assign(mapping->physical == "/" ? "" : mapping->physical);
    physical.append(host, host.rfind('/'));
    allowed = Permits(access, physical);
  } else if (mapping->missing_at != std::string::npos) {
    std::string physical;
    root();  // Resolve needs the machine folder made
    allowed = Resolve(host, &physical, mapping->missing_at) && Permits(access, physical);
  } else {
    allowed = Allows(access, host);
  }
  if (!allowed) {
    int saved = errno;
    if (mapping->folder_fd >= 0) close(mapping->folder_fd);
    if (mapping->opened >= 0) close(mapping->opened);
    mapping->folder_fd = mapping->opened = -1;
    errno = saved;
    return false;
  }
  *host_path = host;
  return true;
}

bool Machine::Locate(Access access, const char* windows_path, Place* place, int open_flags) {
  Mapping mapping;
  mapping.want_folder = true;
  mapping.open_flags = open_flags;
  *place = Place();
  if (!MapChecked(access, windows_path, &place->host, &mapping)) return false;
  place->folder = mapping.folder_fd;
  place->folder_status = mapping.folder_stat;
  place->opened = mapping.opened;
  place->name.assign(place->host, place->host.rfind('/') + 1);
  place->last.known = mapping.last != Entry::kUnknown;
  place->last.exists = mapping.last == Entry::kExists;
  if (place->last.exists) place->last.status = mapping.last_stat;
  if (mapping.cached && !mapping.link && mapping.last != Entry::kUnknown) {
    // Built in one string: no temporaries per look. The place may hold an
    // earlier look's path: it is replaced whole.
    std::string& physical = place->physical;
    physical.assign(mapping.physical != "/" ? std::string_view(mapping.physical)
                                            : std::string_view());
    physical += '/';
    physical += place->name;
  }
  return true;
}

bool Machine::Allows(Access access, const Place& place) {
  if (host_access_) return true;
  return place.physical.empty() ? Allows(access, place.host) : Permits(access, place.physical);
}

void Machine::CloseFolder(Place* place) {
  if (place->folder >= 0) close(place->folder);
  if (place->opened >= 0) close(place->opened);
  place->folder = place->opened = -1;
}

}  // namespace setup::posix
