// SystemInfo over the Windows API.
#include "platform/win32/system_info_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The interface uses the plain names that <windows.h> turns into macros.
#undef GetWindowsDirectory
#undef GetSystemDirectory

namespace setup::win32 {
namespace {

class Win32SystemInfo : public SystemInfo {
 public:
  unsigned GetWindowsDirectory(char* buffer, unsigned size) override {
    return ::GetWindowsDirectoryA(buffer, size);
  }

  unsigned GetSystemDirectory(char* buffer, unsigned size) override {
    return ::GetSystemDirectoryA(buffer, size);
  }

  bool GetProgramPath(char* buffer, unsigned size) override {
    if (size == 0) return false;
    // The module's path, not argv[0], which has no folder when run as "setup".
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, size);
    // A path that fills the whole buffer has been cut (and on older systems
    // is not terminated), so only a shorter one is usable.
    if (length == 0 || length >= size) {
      buffer[0] = '\0';
      return false;
    }
    return true;
  }

  bool IsLeadByte(unsigned char byte) override { return ::IsDBCSLeadByte(byte) != FALSE; }

  unsigned short GetUserDefaultLangID() override { return ::GetUserDefaultLangID(); }
};

}  // namespace

std::unique_ptr<SystemInfo> NewSystemInfo() { return std::make_unique<Win32SystemInfo>(); }

}  // namespace setup::win32
