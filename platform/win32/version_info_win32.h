// The version.dll back end of VersionInfo.
#pragma once

#include <memory>

#include "platform/version_info.h"

namespace setup::win32 {

// A VersionInfo over GetFileVersionInfoSizeA, GetFileVersionInfoA and
// VerQueryValueA; it holds no state.
std::unique_ptr<VersionInfo> NewVersionInfo();

// The process's ANSI code page (GetACP), the one Query converts texts to.
unsigned AnsiCodePage();

}  // namespace setup::win32
