// The machine as one bundle of interfaces; a program's main wires in a back
// end (win32, posix) and tests wire in fakes.
#pragma once

#include "platform/components.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "platform/version_info.h"

namespace setup {

struct Platform {
  SystemInfo* system = nullptr;
  FileSystem* files = nullptr;
  Registry* registry = nullptr;
  VersionInfo* versions = nullptr;
  Components* components = nullptr;
};

}  // namespace setup
