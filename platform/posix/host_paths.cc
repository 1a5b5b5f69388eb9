// Host path helpers shared by the parts of the simulated machine.
#include "platform/posix/host_paths.h"

#include <unistd.h>

#include <cstdlib>

namespace setup::posix {

std::string ProcessFolder() {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return "";
  return cwd;
}

bool IsBelow(const std::string& host, const std::string& folder) {
  if (folder.empty()) return false;  // no such folder: nothing is below it
  if (folder == "/") return !host.empty() && host[0] == '/';
  return host.compare(0, folder.size(), folder) == 0 &&
         (host.size() == folder.size() || host[folder.size()] == '/');
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return "";
  std::string result(real);
  std::free(real);
  return result;
}

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

}  // namespace setup::posix
