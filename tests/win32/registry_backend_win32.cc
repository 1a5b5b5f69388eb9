// tests/backend/registry_backend.h over the Windows registry: a key of its own
// below HKEY_CURRENT_USER\Software, removed afterwards.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "platform/win32/registry_win32.h"
#include "tests/backend/registry_backend.h"

namespace setup::testing {

struct RealRegistry::State {
  std::unique_ptr<Registry> registry = win32::MakeWin32Registry();
  std::string key;  // below HKEY_CURRENT_USER
};

RealRegistry::RealRegistry() : state_(std::make_unique<State>()) {
  static int count = 0;
  // The process id keeps parallel runs apart.
  state_->key = "Software\\SetupTest" + std::to_string(::GetCurrentProcessId()) + "_" +
                std::to_string(++count);
  base = "HKEY_CURRENT_USER\\" + state_->key;
}

RealRegistry::~RealRegistry() { win32::DeleteKeyTree(RootKey::kCurrentUser, state_->key.c_str()); }

Registry& RealRegistry::registry() { return *state_->registry; }

bool RealRegistry::DoubleByteNames() { return ::GetACP() == 932; }

}  // namespace setup::testing
