// tests/backend/backend.h over the Win32 back end: scratch folders below the
// user's temporary folder.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// platform/components.h uses the plain name that <windows.h> defines as a macro.
#undef FreeModule

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/win32/components_win32.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/version_info_win32.h"
#include "tests/backend/backend.h"

namespace setup::testing {
namespace {

// Removes path and all below it, clearing read-only attributes on the way.
void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(child);
      } else {
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
  }
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryA(path.c_str());
}

}  // namespace

FileSystem& RealFileSystem() {
  static std::unique_ptr<FileSystem> files = win32::NewFileSystem();
  return *files;
}

std::unique_ptr<Components> NewRealComponents() { return win32::NewComponents(); }

std::unique_ptr<VersionInfo> NewRealVersionInfo() { return win32::NewVersionInfo(); }

unsigned RealAnsiCodePage() { return win32::AnsiCodePage(); }

std::filesystem::path ComponentsFolder() {
  // Beside the test program, so the build folder may be anywhere.
  char program[1024];
  if (!win32::NewSystemInfo()->GetProgramPath(program, sizeof program)) return {};
  return std::filesystem::path(program).parent_path() / "components";
}

std::string ExpectedProbeLog(const std::string& program, const std::string& folder) {
  // A Windows program sees its whole command line and its folder as given.
  return "command: \"" + program + "\" /regserver\nfolder: " + folder + "\n";
}

ScratchFolder::ScratchFolder() {
  static int count = 0;
  char temp[MAX_PATH];
  DWORD length = ::GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) std::abort();
  std::string base(temp, length);
  if (base.back() == '\\') base.pop_back();
  // The process id keeps parallel runs apart.
  for (;;) {
    path_ = base + "\\setup-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(++count);
    if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) std::abort();
  }
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::string NativePath(const std::string& windows_path) { return windows_path; }

bool SetLastWriteTime(const std::string& windows_path, std::int64_t seconds) {
  HANDLE file =
      ::CreateFileA(windows_path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // FILETIME counts 100 ns from 1601-01-01.
  ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  bool ok = ::SetFileTime(file, nullptr, nullptr, &time) != FALSE;
  ::CloseHandle(file);
  return ok;
}

}  // namespace setup::testing
