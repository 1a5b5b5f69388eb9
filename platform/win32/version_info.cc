// The version.dll back end of VersionInfo.
#include <windows.h>

#include "platform/win32/version_info_win32.h"

namespace setup::win32 {
namespace {

class Win32VersionInfo : public VersionInfo {
 public:
  unsigned GetSize(const char* path) override {
    DWORD handle = 0;
    return path != nullptr ? GetFileVersionInfoSizeA(path, &handle) : 0;
  }

  bool Read(const char* path, unsigned size, void* block) override {
    return path != nullptr && block != nullptr && size != 0 &&
           GetFileVersionInfoA(path, 0, size, block) != FALSE;
  }

  bool Query(void* block, const char* sub_block, const void** value, unsigned* length) override {
    if (block == nullptr || sub_block == nullptr || value == nullptr) return false;
    void* found = nullptr;
    UINT size = 0;
    // VerQueryValueA takes a non-const path on older SDKs; it does not write it.
    if (!VerQueryValueA(block, const_cast<char*>(sub_block), &found, &size) || found == nullptr) {
      return false;
    }
    *value = found;
    if (length != nullptr) *length = size;
    return true;
  }
};

}  // namespace

std::unique_ptr<VersionInfo> NewVersionInfo() { return std::make_unique<Win32VersionInfo>(); }

unsigned AnsiCodePage() { return GetACP(); }

}  // namespace setup::win32
