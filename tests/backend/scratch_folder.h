// A fresh folder for one back-end test, removed with everything in it at the
// end, and the Windows-form paths the engine is given for files in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#if !defined(_WIN32)
#include "platform/posix/machine.h"
#endif

namespace setup::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      std::ostringstream name;
      name << "setup-test-" << std::hex << random() << random();
      path_ = base / name.str();
    } while (!std::filesystem::create_directory(path_));
  }
  ~ScratchFolder() {
    std::error_code ignored;
    // Read-only files must become writable before they can be removed.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The path as the engine sees it: Windows form (C:\..., or Z:\... for a host
// path outside the simulated drive C:).
inline std::string WindowsPath(const std::filesystem::path& path) {
#if defined(_WIN32)
  return path.string();
#else
  return setup::posix::ToWindowsPath(path.string());
#endif
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The whole file, or "(missing)".
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace setup::testing
