// The POSIX stand-in for Components.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/components.h"
#include "platform/posix/machine.h"

namespace setup::posix {

// Whether Regsvr may run native host code.
enum class NativeCode {
  kNever,    // only Windows components, simulated
  kAllowed,  // also shared objects and programs of this system, run
};

// Components of the simulated machine. A Windows component is never run:
// its registration is simulated from its PE headers. LoadModule takes any PE
// image, and CallExport succeeds (S_OK) for an export the image names;
// StartProcess takes a PE image without the DLL flag (an EXE) and gives a
// process that has ended already. With NativeCode::kAllowed a shared object
// of this system is loaded and its export called in a child process, and an
// ELF program or a "#!" script is started with posix_spawn; either runs in
// a process group of its own that an interruption ends (interruption.h),
// reads /dev/null as its standard input and gets PATH, LANG, LC_ALL and a
// HOME of the machine's drive C: as its whole environment. Anything else (a
// shared object or script without it, a FIFO, a device) is refused at once.
// Paths are Windows-form and mapped onto the simulated machine; only files
// inside the machine or on the medium are read (any file with host access).
class MachineComponents : public Components {
 public:
  // True when handle, a module or process this object gave out, stands for
  // a simulated registration: nothing ran.
  virtual bool Simulated(std::uintptr_t handle) const = 0;
  // Called each time a simulated registration succeeds (a CallExport that
  // gives S_OK, a StartProcess), for a front end to say so.
  virtual void OnSimulated(std::function<void()> notice) = 0;
};

// machine outlives the object.
std::unique_ptr<MachineComponents> NewComponents(Machine& machine,
                                                 NativeCode native = NativeCode::kNever);

}  // namespace setup::posix
