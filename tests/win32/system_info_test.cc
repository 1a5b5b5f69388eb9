// The Win32 SystemInfo against the running system. The code page and
// language expectations come from SETUP_EXPECT_ANSI_CODEPAGE and
// SETUP_EXPECT_LANGID (hexadecimal) when the run sets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win32/system_info_win32.h"

namespace setup::testing {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class SystemInfoTest : public ::testing::Test {
 protected:
  std::unique_ptr<SystemInfo> system_ = win32::NewSystemInfo();
};

TEST_F(SystemInfoTest, FoldersAreExistingFoldersWithoutFinalBackslash) {
  using Getter = unsigned (SystemInfo::*)(char*, unsigned);
  for (Getter get : {&SystemInfo::GetWindowsDirectory, &SystemInfo::GetSystemDirectory}) {
    char folder[256];
    unsigned length = (system_.get()->*get)(folder, sizeof folder);

    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof folder);
    EXPECT_EQ(std::strlen(folder), length);
    EXPECT_NE(folder[length - 1], '\\') << folder;
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
  }
}

TEST_F(SystemInfoTest, SystemFolderLiesInTheWindowsFolder) {
  char windows[256];
  char system[256];
  ASSERT_GT(system_->GetWindowsDirectory(windows, sizeof windows), 0u);
  ASSERT_GT(system_->GetSystemDirectory(system, sizeof system), 0u);

  EXPECT_EQ(Lower(system).rfind(Lower(windows) + "\\", 0), 0u) << system;
}

// A buffer without room for the terminator is refused with the size needed.
TEST_F(SystemInfoTest, FolderThatDoesNotFitReportsTheSizeNeeded) {
  char folder[256];
  unsigned length = system_->GetWindowsDirectory(folder, sizeof folder);
  ASSERT_GT(length, 0u);

  char small[256];
  EXPECT_GE(system_->GetWindowsDirectory(small, length), length);
  EXPECT_EQ(system_->GetWindowsDirectory(small, length + 1), length);
}

TEST_F(SystemInfoTest, ProgramPathNamesThisProgram) {
  char path[1024];
  ASSERT_TRUE(system_->GetProgramPath(path, sizeof path));

  EXPECT_EQ(Lower(fs::path(path).filename().string()), "backend_tests.exe");
  EXPECT_TRUE(fs::is_regular_file(path)) << path;
  EXPECT_EQ(path[1], ':') << path;
}

TEST_F(SystemInfoTest, ProgramPathThatDoesNotFitIsRefused) {
  char path[1024];
  ASSERT_TRUE(system_->GetProgramPath(path, sizeof path));
  unsigned length = static_cast<unsigned>(std::strlen(path));

  char exact[1024];
  EXPECT_FALSE(system_->GetProgramPath(exact, length));
  EXPECT_EQ(exact[0], '\0');
  EXPECT_TRUE(system_->GetProgramPath(exact, length + 1));
  EXPECT_STREQ(exact, path);
}

TEST_F(SystemInfoTest, NoAsciiByteIsALeadByte) {
  for (int b = 0; b < 0x80; ++b) EXPECT_FALSE(system_->IsLeadByte(b)) << b;
}

TEST_F(SystemInfoTest, LeadBytesFollowTheAnsiCodePage) {
  const char* expected = std::getenv("SETUP_EXPECT_ANSI_CODEPAGE");
  if (expected == nullptr) GTEST_SKIP() << "SETUP_EXPECT_ANSI_CODEPAGE not set";
  bool japanese = std::strcmp(expected, "932") == 0;
  for (int b = 0x80; b < 0x100; ++b) {
    bool lead = japanese && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
    EXPECT_EQ(system_->IsLeadByte(b), lead) << std::hex << b;
  }
}

TEST_F(SystemInfoTest, UserLanguageFollowsTheLocale) {
  const char* expected = std::getenv("SETUP_EXPECT_LANGID");
  if (expected == nullptr) GTEST_SKIP() << "SETUP_EXPECT_LANGID not set";
  EXPECT_EQ(system_->GetUserDefaultLangID(), std::strtoul(expected, nullptr, 16));
}

}  // namespace
}  // namespace setup::testing
