// tests/backend/registry_backend.h over the POSIX stand-ins: the registry file
// of the back-end tests' machine, in its Shift-JIS code page.
#include <string>

#include "platform/posix/registry_store.h"
#include "tests/backend/registry_backend.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {

struct RealRegistry::State {
  posix::RegistryStore store{BackendMachine()};  // registry.reg of the machine folder
};

RealRegistry::RealRegistry() {
  static int count = 0;
  state_ = std::make_unique<State>();
  base = "HKEY_CURRENT_USER\\Software\\SetupTest" + std::to_string(++count);
}

RealRegistry::~RealRegistry() = default;

Registry& RealRegistry::registry() { return state_->store; }

bool RealRegistry::DoubleByteNames() { return BackendMachine().code_page() == 932; }

}  // namespace setup::testing
