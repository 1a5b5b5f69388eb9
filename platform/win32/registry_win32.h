// The Windows registry back end: the Registry interface over advapi32.
#pragma once

#include <memory>

#include "platform/registry.h"

namespace setup::win32 {

// A Registry that calls the ANSI registry functions of advapi32 directly;
// keys are real HKEYs and every result is the Windows error code.
std::unique_ptr<Registry> MakeWin32Registry();

}  // namespace setup::win32
