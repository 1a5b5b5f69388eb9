// The POSIX stand-in for Components.
#pragma once

#include <memory>

#include "platform/components.h"
#include "platform/posix/machine.h"

namespace setup::posix {

// Modules are shared objects loaded with dlopen (the export is an
// int(void) function); programs are native executables started with
// posix_spawn. Paths are Windows-form and mapped onto the simulated machine;
// only files inside the machine or on the medium are loaded or started
// (any file with host access). A started program reads /dev/null as its
// standard input and gets PATH, LANG, LC_ALL and a HOME of the machine's
// drive C: as its whole environment. machine outlives the object.
std::unique_ptr<Components> NewComponents(Machine& machine);

}  // namespace setup::posix
