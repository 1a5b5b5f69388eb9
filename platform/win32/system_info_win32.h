// The Win32 back end of SystemInfo.
#pragma once

#include <memory>

#include "platform/system_info.h"

namespace setup::win32 {

// The running Windows system's folders, ANSI code page, user language and
// the path of this program's own file.
std::unique_ptr<SystemInfo> NewSystemInfo();

}  // namespace setup::win32
