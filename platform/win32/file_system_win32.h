// The Win32 back end of FileSystem.
#pragma once

#include <memory>

#include "platform/file_system.h"

namespace setup::win32 {

// Files and folders through the ANSI file calls of the Windows API. With
// while_copying set, a copy runs beside the calling thread, which calls it
// whenever messages arrive: a window program stays responsive however long a
// copy takes.
std::unique_ptr<FileSystem> NewFileSystem(void (*while_copying)() = nullptr);

// Whether the C runtime's fopen(path, "wb") would open an existing entry
// with these attributes (GetFileAttributesA's bits). It creates with
// CREATE_ALWAYS and normal attributes, which Windows refuses for a folder, a
// read-only file, and a hidden or system one; a replacement refuses the same.
bool CanWriteOver(unsigned long attributes);

}  // namespace setup::win32
