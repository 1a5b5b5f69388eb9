// The install record's file on the simulated machine, ended by a signal.
#include "platform/posix/record_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/record_output.h"

namespace setup::testing {
namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RecordFileTest, AnInterruptionKeepsWholeLinesOnly) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("record_file_test_" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  {
    posix::RecordFile record(folder.string(), 1252);
    RecordStart start;
    ASSERT_TRUE(record.Open("Title", &start));
    ASSERT_TRUE(record.Write("one\ntwo", 7));
    ASSERT_TRUE(record.Write("\n", 1));
    ASSERT_TRUE(record.Write("cut sh", 6));  // the signal comes before the line's end
    posix::FinishRecordOnInterruption();
  }
  std::filesystem::path written;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) written = entry.path();
  EXPECT_EQ(written.filename().string().substr(19), " Title.txt");
  EXPECT_EQ(Contents(written), "one\ntwo\n\nresult   cancelled\n");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace setup::testing
