// The real back end of this build for the behavioural tests that every back
// end must pass alike, and the scratch folders they run in. Each platform
// implements this header in a file of its own (tests/posix, tests/win32).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/components.h"
#include "platform/file_system.h"
#include "platform/version_info.h"

namespace setup::testing {

// The FileSystem of this build's back end; one instance for the process.
FileSystem& RealFileSystem();
// The Components and the version reader of this build's back end, over the
// same machine as RealFileSystem.
std::unique_ptr<Components> NewRealComponents();
std::unique_ptr<VersionInfo> NewRealVersionInfo();
// The ANSI code page the back end's texts come back in.
unsigned RealAnsiCodePage();

// Where the build put the test components (a path of this system).
std::filesystem::path ComponentsFolder();
// What the probe component writes when the back end starts it, at the
// Windows-form path program, with "/regserver" in the Windows-form folder.
std::string ExpectedProbeLog(const std::string& program, const std::string& folder);

// A new empty folder for one test; removed with all it holds (read-only
// entries included) when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder in Windows form, without a final backslash.
  const std::string& path() const { return path_; }
  // The Windows-form path of name inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// The back end's own name of a Windows-form path, for reading and writing
// test files with the C library (fopen) and std::filesystem.
std::string NativePath(const std::string& windows_path);

// Writes a test file through the C library; false on failure.
bool WriteFile(const std::string& windows_path, const std::string& bytes);
// The whole file, or "<missing>".
std::string ReadFile(const std::string& windows_path);

// Sets the last-write time of a file, in seconds since 1970 (UTC).
bool SetLastWriteTime(const std::string& windows_path, std::int64_t seconds);

}  // namespace setup::testing
