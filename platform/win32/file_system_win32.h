// The Win32 back end of FileSystem.
#pragma once

#include <memory>

#include "platform/file_system.h"

namespace setup::win32 {

// Files and folders through the ANSI file calls of the Windows API.
std::unique_ptr<FileSystem> NewFileSystem();

}  // namespace setup::win32
