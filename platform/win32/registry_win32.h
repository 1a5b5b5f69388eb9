// The Windows registry back end: the Registry interface over advapi32.
#pragma once

#include <memory>

#include "platform/registry.h"

namespace setup::win32 {

// A Registry that calls the ANSI registry functions of advapi32 directly;
// keys are real HKEYs and every result is the Windows error code.
std::unique_ptr<Registry> MakeWin32Registry();
// Deletes key_path below root with all its subkeys and values (for tests that
// clean up after themselves); true when it is gone.
bool DeleteKeyTree(RootKey root, const char* key_path);

}  // namespace setup::win32
