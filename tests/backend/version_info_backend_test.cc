// The same expectations of version resources over the back end of this
// build (the PE reader natively, version.dll under Wine) and over the fake
// the engine's unit tests use.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_pe_files.h"
#include "tests/backend/backend.h"
#include "tests/fakes/fake_version_info.h"

namespace setup {
namespace {

// The Windows form of a test file's path: Z: is the host's root on both the
// simulated machine and Wine.
std::string PePath(const char* name) {
  std::string path = std::string("Z:") + SETUP_TEST_PE_DIR + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

unsigned CodePage() { return testing::RealAnsiCodePage(); }

std::unique_ptr<VersionInfo> MakeBackend() { return testing::NewRealVersionInfo(); }

// The fake set up with what the built files hold.
std::unique_ptr<VersionInfo> MakeFake() {
  auto fake = std::make_unique<testing::FakeVersionInfo>();
  fake->AddFile(PePath("version_ja.dll"), "1.2.3.4", "2.0", 0x0411, 0x03A4);
  fake->SetValue(PePath("version_ja.dll"), "\\StringFileInfo\\041103A4\\FileDescription",
                 std::string("Version test DLL\0", 17));
  fake->AddFile(PePath("version_hex.dll"), "1.10.0.0", "1, 10, 0, 0", 0x0409, 0x04E4);
  fake->SetTranslations(PePath("version_hex.dll"), {0x0409, 0x04E4, 0x0411, 0x03A4});
  fake->SetValue(PePath("version_hex.dll"), "\\StringFileInfo\\041103A4\\FileVersion",
                 std::string("9.9.9.9\0", 8));
  fake->AddFile(PePath("version_en64.exe"), "5.6.7.8", "5.6", 0x0409, 0x04B0);
  return fake;
}

struct Backend {
  const char* name;
  std::unique_ptr<VersionInfo> (*make)();
};

class VersionInfoTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!SETUP_TEST_PE_AVAILABLE) GTEST_SKIP() << "no mingw-w64: test PE files were not built";
    versions_ = GetParam().make();
  }

  // Reads path's block as the engine does; false when there is none.
  bool Load(const std::string& path) {
    unsigned size = versions_->GetSize(path.c_str());
    if (size == 0) return false;
    block_.assign(size, 0);
    return versions_->Read(path.c_str(), size, block_.data());
  }

  // The text at sub_block, or "<none>".
  std::string Text(const char* sub_block) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!versions_->Query(block_.data(), sub_block, &value, &length)) return "<none>";
    return static_cast<const char*>(value);
  }

  // The first translation as "LLLLCCCC", or "<none>".
  std::string Translation() {
    const void* value = nullptr;
    unsigned length = 0;
    if (!versions_->Query(block_.data(), "\\VarFileInfo\\Translation", &value, &length) ||
        length < 4) {
      return "<none>";
    }
    unsigned short pair[2];
    std::memcpy(pair, value, sizeof pair);
    char text[16];
    std::snprintf(text, sizeof text, "%04X%04X", pair[0], pair[1]);
    return text;
  }

  std::unique_ptr<VersionInfo> versions_;
  std::vector<unsigned char> block_;
};

struct VersionCase {
  const char* file;
  const char* translation;
  const char* file_version;
  const char* product_version;
};

TEST_P(VersionInfoTest, ReadsTranslationAndBothVersionTexts) {
  const VersionCase cases[] = {
      {"version_ja.dll", "041103A4", "1.2.3.4", "2.0"},
      {"version_hex.dll", "040904E4", "1.10.0.0", "1, 10, 0, 0"},
      {"version_en64.exe", "040904B0", "5.6.7.8", "5.6"},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(Load(PePath(c.file)));
    std::string translation = Translation();
    EXPECT_EQ(translation, c.translation);
    std::string strings = "\\StringFileInfo\\" + translation + "\\";
    EXPECT_EQ(Text((strings + "FileVersion").c_str()), c.file_version);
    EXPECT_EQ(Text((strings + "ProductVersion").c_str()), c.product_version);
  }
}

TEST_P(VersionInfoTest, OnlyTheAskedTranslationsStringsAreFound) {
  ASSERT_TRUE(Load(PePath("version_hex.dll")));
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\FileVersion"), "9.9.9.9");
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\ProductVersion"), "<none>");
  EXPECT_EQ(Text("\\StringFileInfo\\041104B0\\FileVersion"), "<none>");
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(versions_->Query(block_.data(), "\\VarFileInfo\\Translation", &value, &length));
  EXPECT_EQ(length, 8u);  // both translations; the engine takes the first
}

TEST_P(VersionInfoTest, KeysMatchWithoutRegardToCase) {
  // version_ja.dll names its string block "041103a4", the engine asks for
  // "041103A4".
  ASSERT_TRUE(Load(PePath("version_ja.dll")));
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\FileVersion"), "1.2.3.4");
  EXPECT_EQ(Text("\\stringfileinfo\\041103a4\\FILEVERSION"), "1.2.3.4");
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\FileDescription"), "Version test DLL");
  // Only the components between backslashes count.
  EXPECT_EQ(Text("StringFileInfo\\041103A4\\FileVersion"), "1.2.3.4");
  EXPECT_EQ(Text("\\\\StringFileInfo\\\\041103A4\\FileVersion\\"), "1.2.3.4");
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\FileVersio"), "<none>");
  EXPECT_EQ(Text("\\StringFileInfo\\041103A4\\FileVersionX"), "<none>");
}

TEST_P(VersionInfoTest, StringLengthCountsTheTerminatingNul) {
  ASSERT_TRUE(Load(PePath("version_ja.dll")));
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(versions_->Query(block_.data(), "\\StringFileInfo\\041103A4\\ProductVersion", &value,
                               &length));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::memcmp(value, "2.0", 4), 0);
}

TEST_P(VersionInfoTest, FilesWithoutVersionResourceHaveNone) {
  for (const char* name : {"no_version.dll", "no_resources.dll", "missing.dll"}) {
    SCOPED_TRACE(name);
    std::string path = PePath(name);
    EXPECT_EQ(versions_->GetSize(path.c_str()), 0u);
    std::vector<unsigned char> block(4096);
    EXPECT_FALSE(versions_->Read(path.c_str(), static_cast<unsigned>(block.size()), block.data()));
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, VersionInfoTest,
                         ::testing::Values(Backend{"Platform", MakeBackend},
                                           Backend{"Fake", MakeFake}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the fake does not model: the fixed file info and the conversion of
// texts to the ANSI code page.
class BackendVersionInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SETUP_TEST_PE_AVAILABLE) GTEST_SKIP() << "no mingw-w64: test PE files were not built";
    versions_ = MakeBackend();
  }
  std::unique_ptr<VersionInfo> versions_;
};

TEST_F(BackendVersionInfoTest, RootGivesTheFixedFileInfo) {
  std::string path = PePath("version_ja.dll");
  unsigned size = versions_->GetSize(path.c_str());
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(versions_->Read(path.c_str(), size, block.data()));
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(versions_->Query(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, 52u);  // VS_FIXEDFILEINFO
  unsigned int fixed[13];
  std::memcpy(fixed, value, sizeof fixed);
  EXPECT_EQ(fixed[0], 0xFEEF04BDu);  // dwSignature
  EXPECT_EQ(fixed[2], 0x00010002u);  // dwFileVersionMS: 1.2
  EXPECT_EQ(fixed[3], 0x00030004u);  // dwFileVersionLS: 3.4
  EXPECT_EQ(fixed[4], 0x00020000u);  // dwProductVersionMS: 2.0
}

TEST_F(BackendVersionInfoTest, NodesWithoutValueHaveLengthZero) {
  std::string path = PePath("version_ja.dll");
  unsigned size = versions_->GetSize(path.c_str());
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(versions_->Read(path.c_str(), size, block.data()));
  for (const char* sub_block : {"\\VarFileInfo", "\\StringFileInfo\\041103A4"}) {
    const void* value = nullptr;
    unsigned length = 1;
    EXPECT_TRUE(versions_->Query(block.data(), sub_block, &value, &length)) << sub_block;
    EXPECT_EQ(length, 0u) << sub_block;
  }
}

TEST_F(BackendVersionInfoTest, JapaneseTextComesBackInTheAnsiCodePage) {
  std::string path = PePath("version_ja.dll");
  unsigned size = versions_->GetSize(path.c_str());
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(versions_->Read(path.c_str(), size, block.data()));
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(
      versions_->Query(block.data(), "\\StringFileInfo\\041103A4\\CompanyName", &value, &length));
  // "株式会社テスト": Shift-JIS under code page 932, unmappable elsewhere.
  std::string expected =
      CodePage() == 932 ? "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x83\x65\x83\x58\x83\x67" : "???????";
  EXPECT_EQ(std::string(static_cast<const char*>(value)), expected);
  EXPECT_EQ(length, expected.size() + 1);
}

}  // namespace
}  // namespace setup
