// tests/backend/registry_backend.h over the POSIX stand-ins: the registry file
// of the test machine, read in the Shift-JIS code page.
#include <string>

#include "platform/posix/registry_store.h"
#include "tests/backend/registry_backend.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {

struct RealRegistry::State {
  CodePageScope code_page{932};
  posix::RegistryStore store;  // registry.reg of the machine folder
};

RealRegistry::RealRegistry() {
  static int count = 0;
  UseTestMachine();
  state_ = std::make_unique<State>();
  base = "HKEY_CURRENT_USER\\Software\\SetupTest" + std::to_string(++count);
}

RealRegistry::~RealRegistry() = default;

Registry& RealRegistry::registry() { return state_->store; }

bool RealRegistry::DoubleByteNames() { return true; }

}  // namespace setup::testing
