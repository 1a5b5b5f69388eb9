// The POSIX stand-in for Components.
#pragma once

#include <memory>

#include "platform/components.h"
#include "platform/posix/machine.h"

namespace setup::posix {

// Modules are shared objects loaded with dlopen (the export is an
// int(void) function); programs are native executables started with
// posix_spawn. Paths are Windows-form and mapped onto the simulated machine.
// machine outlives the object.
std::unique_ptr<Components> NewComponents(Machine& machine);

}  // namespace setup::posix
