// setup.exe's install record file (/LOG=): the record goes whole to the file
// named, over what was there; a file that cannot be made fails the record.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/record_output_win32.h"
#include "record/install_record.h"
#include "tests/backend/backend.h"

namespace setup::testing {
namespace {

TEST(Win32LogFileTest, RecordGoesWholeToTheNamedFile) {
  struct Case {
    const char* name;
    const char* before;  // null: no file there
    bool written;
  } cases[] = {
      {"install.log", nullptr, true},
      {"old.log", "a longer record of an earlier run, longer than this one\n", true},
      {"missing\\install.log", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch;
    const std::string path = scratch / c.name;
    if (c.before != nullptr) {
      ASSERT_TRUE(WriteFile(path, c.before));
    }
    win32::LogFile file(path.c_str());
    InstallRecord record(file);
    record.set_title("Hanami Setup");
    record.Changed("folder created          C:\\Hanami");
    EXPECT_EQ(record.Finish(RecordResult::kCompleted, 0), c.written);
    std::string text = ReadFile(path);
    if (!c.written) {
      EXPECT_EQ(text, "<missing>");
      continue;
    }
    EXPECT_EQ(text.rfind("title    Hanami Setup\nstarted  20", 0), 0U) << text;
    EXPECT_NE(text.find("Z\nmachine  code page " + std::to_string(RealAnsiCodePage()) + "\n"),
              std::string::npos)
        << text;
    const std::string end = "\nfolder created          C:\\Hanami\n\nresult   completed\n";
    ASSERT_GE(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
  }
}

}  // namespace
}  // namespace setup::testing
