// The registry behaviour suite over the real back end of this build: the
// simulated machine's registry file on POSIX systems, the registry itself on
// Windows (and under Wine).
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/fakes/registry_suite.h"

#ifdef _WIN32
#include "platform/win32/registry_win32.h"
#else
#include "platform/posix/registry_store.h"
#endif

namespace setup::testing {
namespace {

std::string UniqueName() {
  static std::atomic<int> counter{0};
  auto now = std::filesystem::file_time_type::clock::now().time_since_epoch().count();
  return "SetupTest" + std::to_string(now) + "_" + std::to_string(counter++);
}

#ifdef _WIN32

// A key of its own below HKEY_CURRENT_USER\Software, removed afterwards.
struct RealBackend {
  RealBackend() : registry_(win32::MakeWin32Registry()), name_(UniqueName()) {
    base = "HKEY_CURRENT_USER\\Software\\" + name_;
  }
  ~RealBackend() { win32::DeleteKeyTree(RootKey::kCurrentUser, ("Software\\" + name_).c_str()); }
  Registry& registry() { return *registry_; }
  // Whether the ANSI code page takes 0x95 0x5C as one character: if so, a key
  // created with that name cannot be opened as the key 0x95.
  bool DoubleByteNames() {
    RegKey parent = 0;
    RegKey probe = 0;
    std::string key = "Software\\" + name_ + "\\Probe";
    if (registry_->CreateKey(registry_->Root(RootKey::kCurrentUser), key.c_str(), kKeyReadWrite,
                             &parent) != kErrorSuccess) {
      return false;
    }
    RegKey created = 0;
    registry_->CreateKey(parent,
                         "\x95\x5C"
                         "x",
                         kKeyReadWrite, &created);
    if (created != 0) registry_->CloseKey(created);
    bool split = registry_->OpenKey(parent, "\x95", kKeyReadWrite, &probe) == kErrorSuccess;
    if (probe != 0) registry_->CloseKey(probe);
    registry_->CloseKey(parent);
    win32::DeleteKeyTree(RootKey::kCurrentUser, key.c_str());
    return !split;
  }

  std::string base;

 private:
  std::unique_ptr<Registry> registry_;
  std::string name_;
};

#else

// A registry file of its own in a fresh folder, removed afterwards.
struct RealBackend {
  RealBackend()
      : folder_(std::filesystem::temp_directory_path() / UniqueName()),
        store_(
            (std::filesystem::create_directories(folder_), (folder_ / "registry.reg").string())) {}
  ~RealBackend() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  Registry& registry() { return store_; }
  bool DoubleByteNames() { return true; }  // the engine's lead-byte table decides

  std::string base = "HKEY_CURRENT_USER\\Software\\SetupTest";

 private:
  std::filesystem::path folder_;
  posix::RegistryStore store_;
};

#endif

INSTANTIATE_TYPED_TEST_SUITE_P(Real, RegistryBehaviour, RealBackend);

}  // namespace
}  // namespace setup::testing
