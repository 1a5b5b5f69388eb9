// setup.exe's command line, read into its options.
#include "ui/win32/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace setup::win32 {
namespace {

struct Case {
  const char* line;
  bool silent, usage, unknown, english;
  const char* folder1;  // null: not given
  const char* folder2;
};

TEST(CommandLineTest, OptionsAsWindowsInstallersRead) {
  const Case cases[] = {
      {"", false, false, false, false, nullptr, nullptr},
      {"  /S  ", true, false, false, false, nullptr, nullptr},
      {"/s /lang=ENGLISH", true, false, false, true, nullptr, nullptr},
      {"/LANG=english /Lang=Japanese", false, false, false, false, nullptr, nullptr},
      {"/?", false, true, false, false, nullptr, nullptr},
      // Folders may hold blanks and run to the end of the line, or to a
      // blank before the other folder option; blanks at their ends go, and
      // quotes around them.
      {"/S /D=C:\\Other Place", true, false, false, false, "C:\\Other Place", nullptr},
      {"/D=C:\\A B  /d2=\"D:\\C D\" ", false, false, false, false, "C:\\A B", "D:\\C D"},
      {"/D2=D:\\x/D=y", false, false, false, false, nullptr, "D:\\x/D=y"},
      {"/D= ", false, false, false, false, nullptr, nullptr},
      // Options the program does not know, or values it does not take.
      {"/SILENT", false, false, true, false, nullptr, nullptr},
      {"/LANG=french /S", true, false, true, false, nullptr, nullptr},
      {"S", false, false, true, false, nullptr, nullptr},
      {"/LOG=C:\\x.log", false, false, true, false, nullptr, nullptr},
      {"\"/S\"", true, false, false, false, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string line = c.line;
    CommandLine options = ParseCommandLine(line.data());
    EXPECT_EQ(options.silent, c.silent);
    EXPECT_EQ(options.usage, c.usage);
    EXPECT_EQ(options.unknown, c.unknown);
    EXPECT_EQ(options.english, c.english);
    EXPECT_EQ(options.folder1 == nullptr ? "(none)" : std::string(options.folder1),
              c.folder1 == nullptr ? "(none)" : c.folder1);
    EXPECT_EQ(options.folder2 == nullptr ? "(none)" : std::string(options.folder2),
              c.folder2 == nullptr ? "(none)" : c.folder2);
  }
}

}  // namespace
}  // namespace setup::win32
