// The PE version reader over the files the test build makes: code pages,
// paths, short buffers, and truncated or corrupted copies of real files.
#include "platform/posix/pe_version.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_pe_files.h"
#include "tests/posix/test_machine.h"

namespace setup::posix {
namespace {

std::vector<unsigned char> FileBytes(const char* name) {
  std::ifstream in(std::string(SETUP_TEST_PE_DIR) + "/" + name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string WindowsPath(const std::string& host) {
  std::string path = "Z:" + host;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string PePath(const char* name) {
  return WindowsPath(std::string(SETUP_TEST_PE_DIR) + "/" + name);
}

class PeVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SETUP_TEST_PE_AVAILABLE) GTEST_SKIP() << "no mingw-w64: test PE files were not built";
    ASSERT_TRUE(machine_.SetMedium(SETUP_TEST_PE_DIR));  // the files are read as from a medium
  }

  // Reads path's block with a reader converting to code_page.
  bool Load(const std::string& path, unsigned code_page) {
    reader_ = PeVersionInfo(&machine_, code_page);
    unsigned size = reader_.GetSize(path.c_str());
    if (size == 0) return false;
    block_.assign(size, 0xCC);
    return reader_.Read(path.c_str(), size, block_.data());
  }

  std::string Text(const char* sub_block) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!reader_.Query(block_.data(), sub_block, &value, &length)) return "<none>";
    return static_cast<const char*>(value);
  }

  setup::testing::TestMachine machine_;
  PeVersionInfo reader_{&machine_};
  std::vector<unsigned char> block_;
};

struct TextCase {
  const char* file;
  const char* sub_block;
  unsigned code_page;
  const char* expected;
};

TEST_F(PeVersionTest, TextsComeBackInTheChosenCodePage) {
  const TextCase cases[] = {
      {"version_ja.dll", "\\StringFileInfo\\041103A4\\CompanyName", 932,
       "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x83\x65\x83\x58\x83\x67"},
      {"version_ja.dll", "\\StringFileInfo\\041103A4\\CompanyName", 1252, "???????"},
      {"version_en64.exe", "\\StringFileInfo\\040904B0\\LegalCopyright", 1252,
       "\xA9 2026 Caf\xE9 Ltd."},
      // Neither sign has a Shift-JIS form.
      {"version_en64.exe", "\\StringFileInfo\\040904B0\\LegalCopyright", 932, "? 2026 Caf? Ltd."},
      {"version_ja.dll", "\\StringFileInfo\\041103A4\\FileVersion", 932, "1.2.3.4"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.sub_block + " " + std::to_string(c.code_page));
    ASSERT_TRUE(Load(PePath(c.file), c.code_page));
    EXPECT_EQ(Text(c.sub_block), c.expected);
  }
}

TEST_F(PeVersionTest, CodePageFollowsTheMachineWhenNotGiven) {
  machine_.set_code_page(932);
  bool loaded = Load(PePath("version_ja.dll"), 0);
  std::string japanese = Text("\\StringFileInfo\\041103A4\\CompanyName");
  machine_.set_code_page(1252);
  std::string western = Text("\\StringFileInfo\\041103A4\\CompanyName");  // same block
  ASSERT_TRUE(loaded);
  EXPECT_EQ(japanese, "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(western, "???????");
}

TEST_F(PeVersionTest, PathsMapLikeWindowsPaths) {
  // The last component found without regard to case, as on Windows.
  std::string upper = std::string(SETUP_TEST_PE_DIR) + "/VERSION_JA.DLL";
  EXPECT_GT(reader_.GetSize(WindowsPath(upper).c_str()), 0u);
  // Drives other than C: and Z: do not exist on the simulated machine.
  std::string other = PePath("version_ja.dll");
  other[0] = 'Q';
  EXPECT_EQ(reader_.GetSize(other.c_str()), 0u);
  // A folder is no PE file.
  EXPECT_EQ(reader_.GetSize(WindowsPath(SETUP_TEST_PE_DIR).c_str()), 0u);
  EXPECT_EQ(reader_.GetSize(nullptr), 0u);
}

TEST_F(PeVersionTest, FileAndMemoryGiveTheSameBlock) {
  for (const char* name : {"version_ja.dll", "version_hex.dll", "version_en64.exe"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Load(PePath(name), 1252));
    std::vector<unsigned char> from_memory;
    std::vector<unsigned char> image = FileBytes(name);
    ASSERT_TRUE(LoadVersionBuffer(image.data(), image.size(), &from_memory));
    block_.resize(from_memory.size());
    EXPECT_EQ(block_, from_memory);
  }
  std::vector<unsigned char> none;
  for (const char* name : {"no_version.dll", "no_resources.dll"}) {
    std::vector<unsigned char> image = FileBytes(name);
    ASSERT_FALSE(image.empty());
    EXPECT_FALSE(LoadVersionBuffer(image.data(), image.size(), &none)) << name;
  }
}

TEST_F(PeVersionTest, ShortBufferCutsTheBlockAndStaysInsideIt) {
  std::string path = PePath("version_ja.dll");
  unsigned full = reader_.GetSize(path.c_str());
  ASSERT_GT(full, 100u);
  // Each buffer is exactly as big as claimed, so a sanitizer build catches
  // any query that strays behind it.
  for (unsigned size = 0; size < full; size += 7) {
    std::vector<unsigned char> block(size);
    if (!reader_.Read(path.c_str(), size, block.data())) {
      EXPECT_LT(size, 20u) << "only buffers below a header fail";
      continue;
    }
    for (const char* sub_block :
         {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\041103A4\\FileVersion",
          "\\StringFileInfo\\041103A4\\ProductVersion",
          "\\StringFileInfo\\041103A4\\CompanyName"}) {
      const void* value = nullptr;
      unsigned length = 0;
      if (!reader_.Query(block.data(), sub_block, &value, &length)) continue;
      auto* p = static_cast<const unsigned char*>(value);
      ASSERT_GE(p, block.data());
      ASSERT_LE(p + length, block.data() + size) << sub_block << " in " << size;
    }
  }
  std::vector<unsigned char> block(full);
  ASSERT_TRUE(reader_.Read(path.c_str(), full, block.data()));
  const void* value = nullptr;
  unsigned length = 0;
  EXPECT_TRUE(
      reader_.Query(block.data(), "\\StringFileInfo\\041103A4\\ProductVersion", &value, &length));
}

TEST_F(PeVersionTest, QueryRejectsABlockNotFilledByRead) {
  std::vector<unsigned char> block(256, 0);
  block[0] = 64;  // a plausible length, but no signature behind it
  const void* value = nullptr;
  unsigned length = 0;
  EXPECT_FALSE(reader_.Query(block.data(), "\\", &value, &length));
  EXPECT_FALSE(reader_.Query(nullptr, "\\", &value, &length));
}

// Checks every query over an image: whatever it finds lies inside the
// buffer, and texts end inside it.
void QueryEverything(const std::vector<unsigned char>& image) {
  std::vector<unsigned char> buffer;
  if (!LoadVersionBuffer(image.data(), image.size(), &buffer)) return;
  PeVersionInfo reader(nullptr, 932);  // blocks only
  for (const char* sub_block :
       {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\041103A4\\FileVersion",
        "\\StringFileInfo\\041103A4\\CompanyName", "\\StringFileInfo\\040904B0\\FileVersion",
        "\\StringFileInfo\\040904B0\\LegalCopyright"}) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!reader.Query(buffer.data(), sub_block, &value, &length)) continue;
    auto* p = static_cast<const unsigned char*>(value);
    ASSERT_GE(p, buffer.data());
    ASSERT_LE(p + length, buffer.data() + buffer.size());
  }
}

TEST_F(PeVersionTest, TruncatedCopiesFailCleanly) {
  for (const char* name : {"version_ja.dll", "version_en64.exe"}) {
    std::vector<unsigned char> image = FileBytes(name);
    ASSERT_FALSE(image.empty());
    std::vector<unsigned char> buffer;
    ASSERT_TRUE(LoadVersionBuffer(image.data(), image.size(), &buffer));
    size_t block_size = buffer[0] | (buffer[1] << 8);
    size_t found = 0;
    for (size_t size = 0; size < image.size(); ++size) {
      // A copy of exactly size bytes, so reads behind it are caught.
      std::vector<unsigned char> cut(image.begin(), image.begin() + static_cast<long>(size));
      std::vector<unsigned char> out;
      if (LoadVersionBuffer(cut.data(), cut.size(), &out)) {
        ++found;
        EXPECT_EQ(out, buffer) << name << " cut to " << size;
      }
    }
    // Only copies that still hold the whole block find it (the file ends
    // with the resource section, padded).
    EXPECT_LE(found, image.size() - block_size) << name;
    EXPECT_GT(found, 0u) << name;
  }
}

TEST_F(PeVersionTest, CorruptedCopiesNeverCrashOrStray) {
  for (const char* name : {"version_ja.dll", "version_en64.exe"}) {
    const std::vector<unsigned char> image = FileBytes(name);
    ASSERT_FALSE(image.empty());
    std::vector<unsigned char> copy = image;
    for (size_t i = 0; i < image.size(); ++i) {
      for (unsigned char v : {0x00, 0x01, 0x7F, 0x80, 0xFF, static_cast<int>(image[i] ^ 0x10)}) {
        copy[i] = v;
        QueryEverything(copy);
        if (HasFatalFailure()) return;
      }
      copy[i] = image[i];
    }
  }
}

// image with its PE headers moved to the end of the file and count section
// headers: the image's own, then empty ones (which map no byte).
std::vector<unsigned char> WithSections(std::vector<unsigned char> image, unsigned count) {
  size_t pe = image[0x3C] | (image[0x3D] << 8) | (image[0x3E] << 16) | (size_t{image[0x3F]} << 24);
  size_t own = image[pe + 6] | (image[pe + 7] << 8);
  size_t optional_size = image[pe + 20] | (image[pe + 21] << 8);
  std::vector<unsigned char> headers(
      image.begin() + static_cast<long>(pe),
      image.begin() + static_cast<long>(pe + 24 + optional_size + 40 * own));
  headers.resize(24 + optional_size + 40 * size_t{count}, 0);
  headers[6] = static_cast<unsigned char>(count & 0xFF);
  headers[7] = static_cast<unsigned char>(count >> 8);
  size_t moved = image.size();
  for (int i = 0; i < 4; ++i) image[0x3C + i] = static_cast<unsigned char>(moved >> (8 * i));
  image.insert(image.end(), headers.begin(), headers.end());
  return image;
}

TEST_F(PeVersionTest, MoreSectionsThanWindowsLoadsHaveNoVersion) {
  const std::vector<unsigned char> image = FileBytes("version_ja.dll");
  ASSERT_FALSE(image.empty());
  std::vector<unsigned char> expected;
  ASSERT_TRUE(LoadVersionBuffer(image.data(), image.size(), &expected));
  for (unsigned count : {96u, 97u, 65535u}) {
    std::vector<unsigned char> crafted = WithSections(image, count);
    std::vector<unsigned char> buffer;
    bool found = LoadVersionBuffer(crafted.data(), crafted.size(), &buffer);
    EXPECT_EQ(found, count <= 96) << count;
    if (found) {
      EXPECT_EQ(buffer, expected) << count;
    }
  }
}

}  // namespace
}  // namespace setup::posix
