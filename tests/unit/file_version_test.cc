// IfFileVersion and IfProductVersion in scripts over the fake version
// resources: the version texts, the operators and what a missing or
// malformed resource does.
#include <string>

#include "tests/fakes/fake_version_info.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

class FileVersionTest : public EngineTest {
 protected:
  FileVersionTest() {
    platform.versions = &versions;
    Reset();  // the engine keeps a copy of the platform
    versions.AddFile("C:\\App\\a.dll", "1.2.3.4", "2.0");
    versions.AddFile("C:\\App\\hex.dll", "1.10.0.0", "1, 10, 0, 0", 0x0409, 0x04B0);
  }

  // Runs one line of script; the transcript tells whether its tail ran.
  std::string Run(const std::string& line) {
    Reset();  // one run per engine
    EXPECT_TRUE(Load(line + "\n"));
    ui.events.clear();
    engine->RunScript(kJapanese);
    return ui.Transcript();
  }

  FakeVersionInfo versions;
};

struct VersionCase {
  const char* line;
  bool runs;
};

TEST_F(FileVersionTest, OperatorsCompareTheFilesVersionWithTheScripts) {
  const VersionCase cases[] = {
      {"IfFileVersion C:\\App\\a.dll = 1.2.3.4 x Message yes", true},
      {"IfFileVersion C:\\App\\a.dll = 1.2.3.4.0 x Message yes", false},  // as written
      {"IfFileVersion C:\\App\\a.dll >= 1.2.3.4.0 x Message yes", true},  // normalized
      {"IfFileVersion C:\\App\\a.dll < 1.2.3.5 x Message yes", true},
      {"IfFileVersion C:\\App\\a.dll > 1.2.3 x Message yes", true},
      {"IfFileVersion C:\\App\\a.dll <= 1.2 x Message yes", false},
      {"IfFileVersion C:\\App\\a.dll 9.9 x Message yes", true},  // no operator: has a version
      {"IfProductVersion C:\\App\\a.dll = 2.0 x Message yes", true},
      {"IfProductVersion C:\\App\\a.dll = 1.2.3.4 x Message yes", false},
      {"IfFileVersion C:\\App\\a.dll = 2.0 x Message yes", false},
      // Read as hexadecimal: 1.10 is 1.16, above 1.9 and below 1.A0.
      {"IfFileVersion C:\\App\\hex.dll > 1.9 x Message yes", true},
      {"IfFileVersion C:\\App\\hex.dll < 1.A0 x Message yes", true},
      // "1, 10, 0, 0" counts only its first number.
      {"IfProductVersion C:\\App\\hex.dll = 1.10.0.0 x Message yes", false},
      {"IfProductVersion C:\\App\\hex.dll <= 1 x Message yes", true},
      {"IfProductVersion C:\\App\\hex.dll >= 1.0.0.1 x Message yes", false},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(Run(c.line), c.runs ? "info: yes\ncompleted\n" : "completed\n") << c.line;
  }
}

TEST_F(FileVersionTest, NoVersionTextIsFalseWhateverTheOperator) {
  versions.AddFile("C:\\App\\noproduct.dll", "1.0", "");
  versions.AddFile("C:\\App\\shorttrans.dll", "1.0", "1.0");
  versions.SetTranslations("C:\\App\\shorttrans.dll", {0x0411});  // 2 bytes only
  versions.AddFile("C:\\App\\otherlang.dll", "1.0", "1.0");
  versions.SetTranslations("C:\\App\\otherlang.dll", {0x0409, 0x04B0});  // strings under 041103A4
  const VersionCase cases[] = {
      {"IfFileVersion C:\\App\\missing.dll 1.0 x Message yes", false},
      {"IfFileVersion C:\\App\\missing.dll 1.0 E Message yes", true},
      {"IfFileVersion C:\\App\\missing.dll < 1.0 x Message yes", false},
      {"IfProductVersion C:\\App\\noproduct.dll 1.0 x Message yes", false},
      {"IfFileVersion C:\\App\\noproduct.dll 1.0 x Message yes", true},
      {"IfFileVersion C:\\App\\shorttrans.dll 1.0 x Message yes", false},
      {"IfFileVersion C:\\App\\otherlang.dll 1.0 x Message yes", false},
      {"IfFileVersion C:\\App\\otherlang.dll 1.0 else Message yes", true},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(Run(c.line), c.runs ? "info: yes\ncompleted\n" : "completed\n") << c.line;
  }
}

TEST_F(FileVersionTest, FailedReadReleasesTheBlockAndIsFalse) {
  versions.fail_read = true;
  EXPECT_EQ(Run("IfFileVersion C:\\App\\a.dll 1.0 x Message yes"), "completed\n");
  EXPECT_EQ(versions.read_calls, 1);
  EXPECT_TRUE(versions.queries.empty());
}

TEST_F(FileVersionTest, QueriesTheFirstTranslationsStrings) {
  versions.SetTranslations("C:\\App\\a.dll", {0x0411, 0x03A4, 0x0409, 0x04B0});
  versions.SetValue("C:\\App\\a.dll", "\\StringFileInfo\\040904B0\\FileVersion",
                    std::string("7.0\0", 4));
  EXPECT_EQ(Run("IfFileVersion C:\\App\\a.dll = 1.2.3.4 x Message yes"), "info: yes\ncompleted\n");
  ASSERT_EQ(versions.queries.size(), 2u);
  EXPECT_EQ(versions.queries[0], "\\VarFileInfo\\Translation");
  EXPECT_EQ(versions.queries[1], "\\StringFileInfo\\041103A4\\FileVersion");
}

TEST_F(FileVersionTest, VersionTextIsBoundedByItsLengthAndTheBuffer) {
  const std::string long_text = "1.2." + std::string(600, '3');
  struct Case {
    std::string bytes;  // the FileVersion value; a value follows it in the block
    size_t size;        // of the destination
    std::string text;
  } cases[] = {
      {long_text + '\0', 16, long_text.substr(0, 15)},
      // No NUL within the value's length: the bytes after it are not text.
      {"7.0.1", 256, "7.0.1"},
      {std::string(300, '9'), 256, std::string(255, '9')},
  };
  for (const Case& c : cases) {
    versions.SetValue("C:\\App\\v.dll", "\\VarFileInfo\\Translation", "\x11\x04\xA4\x03");
    versions.SetValue("C:\\App\\v.dll", "\\StringFileInfo\\041103A4\\FileVersion", c.bytes);
    versions.SetValue("C:\\App\\v.dll", "\\StringFileInfo\\041103A4\\Comments", "xx");
    char dest[256];
    ASSERT_TRUE(engine->QueryVersionString("C:\\App\\v.dll", "FileVersion", dest,
                                           static_cast<int>(c.size)));
    EXPECT_EQ(std::string(dest), c.text) << c.bytes.size();
  }
}

}  // namespace
}  // namespace setup::testing
