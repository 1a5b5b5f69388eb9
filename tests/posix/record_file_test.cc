// The install record's file on the simulated machine, ended by a signal.
#include "platform/posix/record_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace setup::testing {
namespace {

TEST(RecordFileTest, AnInterruptionKeepsWholeLinesOnly) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("record_file_test_" + std::to_string(getpid()));
  {
    posix::RecordFile record(folder.string(), 1252);
    RecordStart start;
    ASSERT_TRUE(record.Open("Title", &start));
    ASSERT_TRUE(record.Write("one\ntwo", 7) && record.Write("\n", 1));
    ASSERT_TRUE(record.Write("cut sh", 6));  // the signal comes before the line's end
    posix::FinishRecordOnInterruption();
  }
  std::stringstream text;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
  }
  EXPECT_EQ(text.str(), "one\ntwo\n\nresult   cancelled\n");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace setup::testing
