// The version.dll back end of VersionInfo. version.dll is not among the
// libraries the system always takes from its own folder, so it is not
// imported: a copy planted beside setup.exe would be loaded first. It is
// loaded from the system folder when a script first reads a version.
#include <windows.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/version_info_win32.h"

namespace setup::win32 {
namespace {

using GetSizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetInfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

class Win32VersionInfo : public VersionInfo {
 public:
  unsigned GetSize(const char* path) override {
    DWORD handle = 0;
    return path != nullptr && Load() ? get_size_(path, &handle) : 0;
  }

  bool Read(const char* path, unsigned size, void* block) override {
    return path != nullptr && block != nullptr && size != 0 && Load() &&
           get_info_(path, 0, size, block) != FALSE;
  }

  bool Query(void* block, const char* sub_block, const void** value, unsigned* length) override {
    if (block == nullptr || sub_block == nullptr || value == nullptr) return false;
    void* found = nullptr;
    UINT size = 0;
    if (!Load() || !query_(block, sub_block, &found, &size) || found == nullptr) return false;
    *value = found;
    if (length != nullptr) *length = size;
    return true;
  }

 private:
  // Loads version.dll once; false (and every query fails, as for a file
  // without a version) when the system has none.
  bool Load() {
    if (!tried_) {
      tried_ = true;
      HMODULE library = LoadSystemLibrary("version.dll");
      if (library != nullptr) {
        get_size_ = reinterpret_cast<GetSizeFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoSizeA")));
        get_info_ = reinterpret_cast<GetInfoFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoA")));
        query_ = reinterpret_cast<QueryFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "VerQueryValueA")));
      }
    }
    return get_size_ != nullptr && get_info_ != nullptr && query_ != nullptr;
  }

  bool tried_ = false;
  GetSizeFunction get_size_ = nullptr;
  GetInfoFunction get_info_ = nullptr;
  QueryFunction query_ = nullptr;
};

}  // namespace

std::unique_ptr<VersionInfo> NewVersionInfo() { return std::make_unique<Win32VersionInfo>(); }

unsigned AnsiCodePage() { return GetACP(); }

}  // namespace setup::win32
