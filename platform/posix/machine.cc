// Drive mapping of the simulated machine.
#include "platform/posix/machine.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace setup::posix {
namespace {

std::string g_root;

bool MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!MakeFolder(path.substr(0, i))) return false;
    }
  }
  return true;
}

// Appends one component to host, taking an existing entry that differs only
// in the case of its letters when the exact name does not exist.
void AppendComponent(std::string* host, const std::string& name) {
  std::string exact = *host + (host->empty() || host->back() != '/' ? "/" : "") + name;
  struct stat st;
  if (name == "." || name == ".." || lstat(exact.c_str(), &st) == 0) {
    *host = exact;
    return;
  }
  DIR* dir = opendir(host->empty() ? "/" : host->c_str());
  if (dir != nullptr) {
    while (dirent* entry = readdir(dir)) {
      if (strcasecmp(entry->d_name, name.c_str()) == 0) {
        exact = *host + (host->empty() || host->back() != '/' ? "/" : "") + entry->d_name;
        break;
      }
    }
    closedir(dir);
  }
  *host = exact;
}

}  // namespace

std::string DefaultMachineRoot() {
  const char* data = getenv("XDG_DATA_HOME");
  if (data != nullptr && *data != '\0') return std::string(data) + "/setup-machine";
  const char* home = getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.local/share/setup-machine";
}

bool SetMachineRoot(const std::string& folder) {
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.empty() || root[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    root = std::string(cwd) + "/" + root;
  }
  if (!MakeFolders(root + "/drive_c/Windows/System32")) return false;
  g_root = root;
  return true;
}

const std::string& MachineRoot() {
  if (g_root.empty()) SetMachineRoot(DefaultMachineRoot());
  return g_root;
}

bool ToHostPath(const char* windows_path, std::string* host_path) {
  std::string path(windows_path);
  std::string host;
  size_t start = 0;
  if (path.size() >= 2 && path[1] == ':') {
    char drive = static_cast<char>(path[0] & ~0x20);
    if (drive == 'C') {
      host = MachineRoot() + "/drive_c";
    } else if (drive == 'Z') {
      host = "";
    } else {
      return false;
    }
    start = 2;
  } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    host = MachineRoot() + "/drive_c";  // a rooted path is on the current drive, C:
  } else {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    host = cwd;
  }
  std::string name;
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (!name.empty()) AppendComponent(&host, name);
      name.clear();
    } else {
      name += path[i];
    }
  }
  if (host.empty()) host = "/";
  *host_path = host;
  return true;
}

std::string ToWindowsPath(const std::string& host_path) {
  std::string drive_c = MachineRoot() + "/drive_c";
  std::string rest;
  std::string result;
  if (host_path.compare(0, drive_c.size(), drive_c) == 0 &&
      (host_path.size() == drive_c.size() || host_path[drive_c.size()] == '/')) {
    result = "C:";
    rest = host_path.substr(drive_c.size());
  } else {
    result = "Z:";
    rest = host_path;
  }
  for (char c : rest) result += (c == '/') ? '\\' : c;
  if (result.size() == 2) result += '\\';
  return result;
}

}  // namespace setup::posix
