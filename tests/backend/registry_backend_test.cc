// The registry behaviour suite over the real back end of this build: the
// simulated machine's registry file on POSIX systems, the registry itself on
// Windows (and under Wine).
#include "tests/backend/registry_backend.h"

#include "tests/fakes/registry_suite.h"

namespace setup::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Real, RegistryBehaviour, RealRegistry);

}  // namespace
}  // namespace setup::testing
