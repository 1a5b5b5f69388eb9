// The Win32 back end of Components.
#pragma once

#include <memory>

#include "platform/components.h"

namespace setup::win32 {

// Modules through LoadLibraryA, programs through CreateProcessA, and the
// calling thread's message queue.
std::unique_ptr<Components> NewComponents();

}  // namespace setup::win32
