// The drive mapping of the simulated machine on any path: a C: or rooted
// path maps below drive_c, a read reaches only the machine and the medium, a
// write only the machine, whatever the dots, separators and double-byte
// characters.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/machine.h"

namespace {

using setup::posix::Machine;

bool IsBelow(const std::string& host, const std::string& folder) {
  return host.compare(0, folder.size(), folder) == 0 &&
         (host.size() == folder.size() || host[folder.size()] == '/');
}

// A "." or ".." component would let a host path say one place and mean another.
bool HasDotComponent(const std::string& host) {
  return host.find("/./") != std::string::npos || host.find("/../") != std::string::npos ||
         (host.size() >= 2 && host.compare(host.size() - 2, 2, "/.") == 0) ||
         (host.size() >= 3 && host.compare(host.size() - 3, 3, "/..") == 0);
}

// A machine and a medium side by side in a fresh folder below /tmp; no
// links, so names are where paths lead.
struct Sandbox {
  Sandbox() {
    char pattern[] = "/tmp/setup-path-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    top = pattern;
    if (mkdir((top + "/medium").c_str(), 0777) != 0) std::abort();
    if (!machine.SetRoot(top + "/machine") || !machine.SetMedium(top + "/medium")) std::abort();
  }
  ~Sandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(top, ignored);
  }
  Machine machine{932};
  std::string top;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox sandbox;
  Machine& machine = sandbox.machine;
  // The first byte picks the code page: Shift-JIS, or single-byte.
  machine.set_code_page(size > 0 && (data[0] & 1) != 0 ? 932 : 1252);
  std::string path;
  for (size_t i = 1; i < size && data[i] != 0; ++i) path += static_cast<char>(data[i]);

  const std::string root = sandbox.top + "/machine";
  const std::string medium = sandbox.top + "/medium";
  bool on_c = path.size() >= 2 && path[1] == ':' && (path[0] == 'C' || path[0] == 'c');
  bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/') &&
                !(path.size() >= 2 && (path[1] == '\\' || path[1] == '/'));
  std::string host;
  if (machine.ToHostPath(path.c_str(), &host)) {
    if (HasDotComponent(host)) std::abort();
    if ((on_c || rooted) && !IsBelow(host, root + "/drive_c")) std::abort();
  }
  if (machine.MapFor(Machine::Access::kRead, path.c_str(), &host) && !IsBelow(host, root) &&
      !IsBelow(host, medium)) {
    std::abort();
  }
  if (machine.MapFor(Machine::Access::kWrite, path.c_str(), &host) && !IsBelow(host, root)) {
    std::abort();
  }
  return 0;
}
