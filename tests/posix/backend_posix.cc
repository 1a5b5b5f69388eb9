// tests/backend/backend.h over the POSIX stand-ins: the tests run in a
// machine folder of their own below /tmp, removed when the process ends.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/components_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/pe_version.h"
#include "tests/backend/backend.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {
namespace {

// The temporary machine folder; made at first use, removed at exit.
class TestMachineFolder {
 public:
  TestMachineFolder() {
    char pattern[] = "/tmp/setup-test-machine-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    root_ = pattern;
  }
  ~TestMachineFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace

const std::string& TestMachineRoot() {
  static TestMachineFolder folder;
  return folder.root();
}

posix::Machine& BackendMachine() {
  static TestMachine machine(932);
  // The shared suites set the current folder as on Windows, the process's,
  // and read the test files through Z: where the build put them: the open
  // mapping of --host-access. The sandbox has a suite of its own.
  machine.set_host_access(true);
  return machine;
}

FileSystem& RealFileSystem() {
  static posix::PosixFileSystem files(BackendMachine());
  return files;
}

// The shared suite runs real components: native ones here.
std::unique_ptr<Components> NewRealComponents() {
  return posix::NewComponents(BackendMachine(), posix::NativeCode::kAllowed);
}

std::unique_ptr<VersionInfo> NewRealVersionInfo() {
  return std::make_unique<posix::PeVersionInfo>(&BackendMachine());
}

unsigned RealAnsiCodePage() { return BackendMachine().code_page(); }

std::filesystem::path ComponentsFolder() { return SETUP_COMPONENTS_DIR; }

std::string ExpectedProbeLog(const std::string&, const std::string& folder) {
  // A native program sees its arguments and the host's name of its folder.
  return "arguments: [/regserver]\nfolder: " +
         std::filesystem::canonical(NativePath(folder)).string() + "\n";
}

ScratchFolder::ScratchFolder() {
  static int count = 0;
  path_ = "C:\\scratch" + std::to_string(++count);
  std::string host = BackendMachine().root() + "/drive_c/scratch" + std::to_string(count);
  if (mkdir(host.c_str(), 0777) != 0) std::abort();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::string host = NativePath(path_);
  // Folders made read-only would stop the removal for a user other than root.
  std::filesystem::permissions(host, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(host, ignored)) {
    if (entry.is_directory(ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(host, ignored);
}

std::string NativePath(const std::string& windows_path) {
  std::string host;
  if (!BackendMachine().ToHostPath(windows_path.c_str(), &host)) {
    return "/nonexistent-" + windows_path;
  }
  return host;
}

bool SetLastWriteTime(const std::string& windows_path, std::int64_t seconds) {
  struct timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  return utimensat(AT_FDCWD, NativePath(windows_path).c_str(), times, 0) == 0;
}

}  // namespace setup::testing
