// Registry paths, the key walk and the registry commands over the in-memory
// registry: what ends up in the registry and what the user is shown.
#include "engine/registry_access.h"

#include <string>
#include <vector>

#include "engine/messages.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/registry_suite.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

constexpr const char* kApp = "HKEY_CURRENT_USER\\Software\\Vendor\\App";

struct FakeBackend {
  Registry& registry() { return fake; }
  bool DoubleByteNames() { return true; }
  FakeRegistry fake;
  std::string base = "HKEY_CURRENT_USER\\Software\\SetupTest";
};
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, RegistryBehaviour, FakeBackend);

// --- the path syntax ---

struct ParseCase {
  const char* text;
  bool parsed;
  RootKey root;
  const char* key_path;
  const char* value_name;
};

TEST(RegistryPathTest, ParseExamples) {
  const ParseCase cases[] = {
      {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Version", true, RootKey::kLocalMachine,
       "Software\\Vendor\\App", "Version"},
      {"HKEY_CURRENT_USER\\Software\\App\\", true, RootKey::kCurrentUser, "Software\\App", ""},
      {"HKEY_USERS\\Name", true, RootKey::kUsers, "", "Name"},
      {"HKEY_USERS\\", true, RootKey::kUsers, "", ""},
      {"HKEY_CLASSES_ROOT\\.txt\\", true, RootKey::kClassesRoot, ".txt", ""},
      {"HKEY_CURRENT_CONFIG\\a\\\\b", true, RootKey::kCurrentConfig, "a\\", "b"},
      // The second byte 0x5C of a double-byte character is no separator.
      {"HKEY_CURRENT_USER\\\x95\x5C\\\x8E\x9F\x95\x5C", true, RootKey::kCurrentUser, "\x95\x5C",
       "\x8E\x9F\x95\x5C"},
      {"HKEY_CURRENT_USER\\A\\\x95\x5C", true, RootKey::kCurrentUser, "A", "\x95\x5C"},
      {"HKEY_CURRENT_USER", false, RootKey::kCurrentUser, "", ""},
      {"hkey_current_user\\Software\\x", false, RootKey::kCurrentUser, "", ""},
      {"HKEY_PERFORMANCE_DATA\\x", false, RootKey::kCurrentUser, "", ""},
      {"HKCU\\Software\\x", false, RootKey::kCurrentUser, "", ""},
      {" HKEY_USERS\\x", false, RootKey::kCurrentUser, "", ""},
      {"", false, RootKey::kCurrentUser, "", ""},
  };
  for (const ParseCase& c : cases) {
    RegistryPath path;
    ASSERT_EQ(ParseRegistryPath(ShiftJisLeadBytes(), c.text, &path), c.parsed) << c.text;
    if (!c.parsed) continue;
    EXPECT_EQ(path.root, c.root) << c.text;
    EXPECT_STREQ(path.key_path, c.key_path) << c.text;
    EXPECT_STREQ(path.value_name, c.value_name) << c.text;
  }
}

TEST(RegistryPathTest, RemainderOf255BytesFitsAndOf256IsRefused) {
  RegistryPath path;
  std::string fits = "HKEY_USERS\\" + std::string(200, 'k') + "\\" + std::string(54, 'v');
  ASSERT_TRUE(ParseRegistryPath(ShiftJisLeadBytes(), fits.c_str(), &path));
  EXPECT_EQ(std::string(path.key_path), std::string(200, 'k'));
  EXPECT_EQ(std::string(path.value_name), std::string(54, 'v'));
  EXPECT_FALSE(ParseRegistryPath(ShiftJisLeadBytes(), (fits + "v").c_str(), &path));
}

// --- the key walk, as the platform sees it ---

class KeyWalkTest : public ::testing::Test {
 protected:
  FakeRegistry fake;
};

TEST_F(KeyWalkTest, AtMostTwoKeysOpenRootsNeverClosedReadOnlyWhereOnlyRead) {
  RegKey key = OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kLocalMachine, "A\\B\\C\\D",
                               KeyUse::kCreate);
  ASSERT_NE(key, 0u);
  EXPECT_TRUE(fake.HasKey("HKEY_LOCAL_MACHINE\\A\\B\\C\\D"));
  EXPECT_EQ(fake.open_count, 1);  // only the key handed back
  EXPECT_EQ(fake.max_open, 2);
  fake.CloseKey(key);
  // Reading asks for read access alone: a key that may be read but not
  // written must not read as missing.
  key = OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kLocalMachine, "a\\b\\c\\d",
                        KeyUse::kRead);
  ASSERT_NE(key, 0u);
  fake.CloseKey(key);
  EXPECT_EQ(fake.open_count, 0);
  EXPECT_EQ(fake.max_open, 2);
  EXPECT_EQ(fake.root_closes, 0);
  EXPECT_EQ(fake.bad_closes, 0);
  const std::vector<unsigned> kReadWrite(4, 0x2001Fu), kRead(4, 0x20019u);
  std::vector<unsigned> expected = kReadWrite;
  expected.insert(expected.end(), kRead.begin(), kRead.end());
  EXPECT_EQ(fake.access_seen, expected);
}

TEST_F(KeyWalkTest, FailedStepClosesWhatIsOpenAndCreatesNothingWithoutTheFlag) {
  fake.AddKey("HKEY_CURRENT_USER\\A\\B");
  EXPECT_EQ(OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kCurrentUser, "A\\B\\Missing\\D",
                            KeyUse::kRead),
            0u);
  EXPECT_FALSE(fake.HasKey("HKEY_CURRENT_USER\\A\\B\\Missing"));
  EXPECT_EQ(fake.open_count, 0);
  EXPECT_EQ(fake.root_closes, 0);
}

TEST_F(KeyWalkTest, EmptyNamesReopenTheCurrentKey) {
  fake.AddKey("HKEY_USERS\\A\\B");
  for (const char* path : {"", "A\\\\B", "A\\B\\", "\\A"}) {
    RegKey key = OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kUsers, path, KeyUse::kRead);
    EXPECT_NE(key, 0u) << path;
    fake.CloseKey(key);
  }
  EXPECT_EQ(fake.open_count, 0);
  EXPECT_EQ(fake.SubkeyNames("HKEY_USERS\\A"), std::vector<std::string>{"B"});
}

TEST_F(KeyWalkTest, KeyNameOver255BytesFailsBeforeThePlatformIsAsked) {
  RegKey key = OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kUsers,
                               std::string(255, 'n').c_str(), KeyUse::kCreate);
  EXPECT_NE(key, 0u);
  fake.CloseKey(key);
  std::string too_long = "A\\" + std::string(256, 'n') + "\\B";
  EXPECT_EQ(OpenRegistryKey(fake, ShiftJisLeadBytes(), RootKey::kUsers, too_long.c_str(),
                            KeyUse::kCreate),
            0u);
  EXPECT_EQ(fake.SubkeyNames("HKEY_USERS\\A"), std::vector<std::string>{});
  EXPECT_EQ(fake.access_seen.size(), 2u);  // the 255-byte name and A, nothing more
  EXPECT_EQ(fake.open_count, 0);
}

// Reading and testing ask for read access alone; writing and deleting still
// need write access.
TEST_F(KeyWalkTest, KeyThatMayOnlyBeReadReadsButIsNotWritten) {
  fake.SetValueAt("HKEY_LOCAL_MACHINE\\Locked", "Value", kRegSz, std::string("v\0", 2));
  fake.MakeReadOnly("HKEY_LOCAL_MACHINE\\Locked");
  char value[16] = "junk";
  ReadRegistryString(fake, ShiftJisLeadBytes(), "HKEY_LOCAL_MACHINE\\Locked\\Value", value,
                     sizeof value);
  EXPECT_STREQ(value, "v");
  EXPECT_TRUE(RegistryKeyExists(fake, ShiftJisLeadBytes(), "HKEY_LOCAL_MACHINE\\Locked"));
  EXPECT_FALSE(WriteRegistryString(fake, ShiftJisLeadBytes(), "HKEY_LOCAL_MACHINE\\Locked\\Value",
                                   "w", kRegSz));
  EXPECT_FALSE(DeleteRegistryEntry(fake, ShiftJisLeadBytes(), "HKEY_LOCAL_MACHINE\\Locked\\Value"));
  EXPECT_NE(fake.FindValue("HKEY_LOCAL_MACHINE\\Locked", "Value"), nullptr);
  EXPECT_EQ(fake.open_count, 0);
}

// Every operation failing in turn: the result is a clean failure (or the
// whole success), and no key is left open.
TEST_F(KeyWalkTest, FailureAtEveryStepLeavesNoKeyOpen) {
  const char* path = "HKEY_CURRENT_USER\\A\\B\\C\\Name";
  for (int n = 1; n <= 6; ++n) {
    FakeRegistry registry;
    registry.fail_at = n;
    // Three creates and one set.
    EXPECT_EQ(WriteRegistryString(registry, ShiftJisLeadBytes(), path, "v", kRegSz), n > 4) << n;
    EXPECT_EQ(registry.FindValue("HKEY_CURRENT_USER\\A\\B\\C", "Name") != nullptr, n > 4) << n;
    // Three opens and two queries.
    registry.SetValueAt("HKEY_CURRENT_USER\\A\\B\\C", "Name", kRegSz, std::string("v\0", 2));
    registry.operations = 0;
    char value[16];
    ReadRegistryString(registry, ShiftJisLeadBytes(), path, value, sizeof value);
    EXPECT_STREQ(value, n > 5 ? "v" : "") << n;
    registry.operations = 0;
    EXPECT_EQ(RegistryKeyExists(registry, ShiftJisLeadBytes(), "HKEY_CURRENT_USER\\A\\B\\C"), n > 3)
        << n;
    registry.operations = 0;
    EXPECT_EQ(DeleteRegistryEntry(registry, ShiftJisLeadBytes(), path), n > 3) << n;
    EXPECT_EQ(registry.open_count, 0) << n;
    EXPECT_EQ(registry.root_closes, 0) << n;
    EXPECT_EQ(registry.bad_closes, 0) << n;
  }
}

TEST_F(KeyWalkTest, ReadIsBoundedByTheCallersBufferAndTakesLargeValuesWhole) {
  std::string big(5000, 'b');
  big += std::string("\0tail", 5);
  fake.SetValueAt(kApp, "Big", kRegBinary, big);
  char small[8];
  ReadRegistryString(fake, ShiftJisLeadBytes(), "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Big",
                     small, sizeof small);
  EXPECT_STREQ(small, "bbbbbbb");
  // A double-byte character that does not fit whole is left out.
  fake.SetValueAt(kApp, "Dbcs", kRegSz, std::string("abcdef\x95\x5C\0", 9));
  ReadRegistryString(fake, ShiftJisLeadBytes(), "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dbcs",
                     small, sizeof small);
  EXPECT_STREQ(small, "abcdef");
  EXPECT_EQ(fake.open_count, 0);
}

TEST_F(KeyWalkTest, DeletingTheRootItselfIsRefusedButCounts) {
  fake.AddKey("HKEY_USERS\\A");
  EXPECT_TRUE(DeleteRegistryEntry(fake, ShiftJisLeadBytes(), "HKEY_USERS\\"));
  EXPECT_TRUE(fake.HasKey("HKEY_USERS\\A"));
  EXPECT_FALSE(DeleteRegistryEntry(fake, ShiftJisLeadBytes(), "HKEY_USERS"));
}

// --- the commands ---

class RegistryCommandTest : public EngineTest {
 protected:
  RegistryCommandTest() {
    platform.registry = &fake;
    Reset();
  }
  // Runs the script from the start (start-up macros are not needed here).
  std::string Run(const std::string& script) {
    EXPECT_TRUE(Load(script));
    ui.events.clear();
    completed = engine->RunScript(kJapanese);
    return ui.Transcript();
  }
  FakeRegistry fake;
  bool completed = false;  // what the run returned
};

TEST_F(RegistryCommandTest, SetRegistryWritesStringValues) {
  EXPECT_EQ(Run("SetRegistry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Version 1.0 \n"
                "SetRegistry \"HKEY_CURRENT_USER\\Software\\Vendor\\App\\Install Dir\" "
                "\"C:\\Program Files\\App\" ignored text\n"
                "SetRegistry HKEY_CURRENT_USER\\Software\\Vendor\\App\\ \"the default\"\n"
                "SetRegistry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Empty \"\"\n"
                "SetRegistry HKEY_CURRENT_USER\\Software\\Vendor\\Keys\\Only\\ \"\"\n"),
            "completed\n");
  auto value = [&](const char* key, const char* name) {
    const FakeRegistry::Value* v = fake.FindValue(key, name);
    return v == nullptr ? std::string("<missing>") : std::to_string(v->type) + ":" + v->data;
  };
  EXPECT_EQ(value(kApp, "Version"), std::string("1:1.0\0", 6));
  EXPECT_EQ(value(kApp, "Install Dir"), std::string("1:C:\\Program Files\\App\0", 23));
  EXPECT_EQ(value(kApp, ""), std::string("1:the default\0", 14));
  EXPECT_EQ(value(kApp, "Empty"), std::string("1:\0", 3));
  EXPECT_TRUE(fake.HasKey("HKEY_CURRENT_USER\\Software\\Vendor\\Keys\\Only"));
  EXPECT_EQ(fake.ValueNames("HKEY_CURRENT_USER\\Software\\Vendor\\Keys\\Only").size(), 0u);
  EXPECT_EQ(fake.open_count, 0);
}

TEST_F(RegistryCommandTest, FailedWriteIsReportedAndTheRunGoesOn) {
  fake.MakeReadOnly("HKEY_LOCAL_MACHINE\\Software");
  EXPECT_EQ(Run("SetRegistry HKCU\\Software\\App\\V data \n"
                "SetRegistry HKEY_LOCAL_MACHINE\\Software\\App\\V \"two words\"\n"
                "Message next\n"),
            "error: " + Format(kMsgRegistryWrite, "HKCU\\Software\\App\\V", "data") + "\n" +
                "error: " +
                Format(kMsgRegistryWrite, "HKEY_LOCAL_MACHINE\\Software\\App\\V", "two words") +
                "\ninfo: next\ncompleted\n");
  EXPECT_TRUE(completed);
}

TEST_F(RegistryCommandTest, LongPathAndDataMessageStaysWithinItsBuffer) {
  std::string path = "HKCU\\" + std::string(240, 'p');
  std::string data(240, 'd');
  Run("SetRegistry " + path + " " + data + " \nMessage next\n");
  ASSERT_EQ(ui.events.size(), 3u);
  EXPECT_EQ(ui.events[0],
            "error: " + Format(kMsgRegistryWrite, path.c_str(), data.c_str()).substr(0, 255));
  EXPECT_EQ(ui.events[1], "info: next");
}

TEST_F(RegistryCommandTest, ArgumentErrorsStopTheRun) {
  // Unquoted data that ends the line has no blank after it.
  EXPECT_EQ(Run("SetRegistry HKEY_CURRENT_USER\\App\\V data\nMessage no\n"),
            "error: " + Format(kMsgNoTab, "D:\\Setup.Inf", 1) + "\n");
  EXPECT_FALSE(completed);
  EXPECT_FALSE(fake.HasKey("HKEY_CURRENT_USER\\App"));
  Reset();
  EXPECT_EQ(Run("Message a\nSetRegistry \"HKEY_CURRENT_USER\\App\\V data \nMessage no\n"),
            "info: a\nerror: " + Format(kMsgNoQuote, "D:\\Setup.Inf", 2) + "\n");
  Reset();
  EXPECT_EQ(Run("DeleteRegistry HKEY_CURRENT_USER\\App\\V\nMessage no\n"),
            "error: " + Format(kMsgNoTab, "D:\\Setup.Inf", 1) + "\n");
  EXPECT_FALSE(completed);
}

TEST_F(RegistryCommandTest, DeleteRegistryRemovesQuietlyAndTheRunGoesOn) {
  fake.SetValueAt(kApp, "Keep", kRegSz, std::string("k\0", 2));
  fake.SetValueAt(kApp, "Drop", kRegSz, std::string("d\0", 2));
  fake.AddKey("HKEY_CURRENT_USER\\Software\\Vendor\\Gone");
  EXPECT_EQ(Run("DeleteRegistry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Drop \n"
                "DeleteRegistry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Missing \n"
                "DeleteRegistry HKEY_CURRENT_USER\\Software\\NoKey\\Value \n"
                "DeleteRegistry \"HKEY_CURRENT_USER\\Software\\Vendor\\Gone\\\" extra\n"
                "DeleteRegistry NOROOT\\x \n"
                "Message next\n"),
            "info: next\ncompleted\n");
  EXPECT_EQ(fake.ValueNames(kApp), std::vector<std::string>{"Keep"});
  EXPECT_FALSE(fake.HasKey("HKEY_CURRENT_USER\\Software\\Vendor\\Gone"));
  EXPECT_EQ(fake.open_count, 0);
}

// --- the Registry form of SetupDir ---

struct SetupDirCase {
  const char* line;
  const char* stored;  // the value in the registry; nullptr: none
  const char* folder;
  const char* label;
};

TEST_F(RegistryCommandTest, RegistryFormOfSetupDir) {
  const SetupDirCase cases[] = {
      // Value absent: the default folder as written, its final backslash kept.
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default\\ Label\n",
       nullptr, "C:\\Default\\", "Label"},
      // A value loses its final backslash; a drive root becomes drive and colon.
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default \"My App\"\n",
       "D:\\Apps\\Vendor\\", "D:\\Apps\\Vendor", "My App"},
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default \n", "E:\\",
       "E:", "Setup Directory"},
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default \n",
       "E:", "E:.", "Setup Directory"},
      // A double-byte character ending in 0x5C is no backslash.
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default \n",
       "C:\\\x95\x5C", "C:\\\x95\x5C", "Setup Directory"},
      // The default folder at the end of the line is the rest of it.
      {"SetupDir registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Programs\n", nullptr,
       "C:\\Programs", "Setup Directory"},
      // An unquoted default folder ends at its first blank.
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Program Files\n",
       nullptr, "C:\\Program", "Files"},
      {"SetupDir\tRegistry\t\"HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir\"\t\"C:\\A B\"\tL\n",
       nullptr, "C:\\A B", "L"},
      // An unknown root reads as absent.
      {"SetupDir Registry HKCU\\Software\\Vendor\\App\\Dir C:\\Default \n", "D:\\x", "C:\\Default",
       "Setup Directory"},
      // An empty value reads as absent.
      {"SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\Default \n", "",
       "C:\\Default", "Setup Directory"},
  };
  for (const SetupDirCase& c : cases) {
    FakeRegistry registry;
    if (c.stored != nullptr) {
      registry.SetValueAt(kApp, "Dir", kRegSz, std::string(c.stored) + '\0');
    }
    platform.registry = &registry;
    Reset();
    EXPECT_TRUE(Load(c.line)) << c.line;
    EXPECT_STREQ(engine->params.folder1, c.folder) << c.line;
    EXPECT_STREQ(engine->params.label1, c.label) << c.line;
    EXPECT_EQ(ui.Transcript(), "") << c.line;
  }
}

TEST_F(RegistryCommandTest, RegistryFormOfSetupDir2SetsTheSecondFolder) {
  fake.SetValueAt(kApp, "Data", kRegSz, std::string("D:\\Data\\\0", 9));
  ASSERT_TRUE(
      Load("SetupDir2 Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Data C:\\ Data\n"));
  EXPECT_EQ(engine->params.folder_count, 2);
  EXPECT_STREQ(engine->params.folder2, "D:\\Data");
  EXPECT_STREQ(engine->params.label2, "Data");
  EXPECT_STREQ(engine->params.folder1, "C:\\");
}

TEST_F(RegistryCommandTest, MalformedRegistryPathIsReportedWithTheLine) {
  EXPECT_FALSE(Load("Message x\nSetupDir Registry HKEY_CURRENT_USER\\Software\\App\\Dir\n"));
  EXPECT_EQ(ui.Transcript(), "error: " + Format(kMsgNoTab, "D:\\Setup.Inf", 2) + "\n");
  EXPECT_STREQ(engine->params.folder1, "C:\\");
}

TEST_F(RegistryCommandTest, RegistryFolderThatDoesNotFitIsRefusedNotCut) {
  std::string folder = "D:\\" + std::string(300, 'f');
  fake.SetValueAt(kApp, "Dir", kRegSz, folder + '\0');
  EXPECT_FALSE(Load("SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\ L\n"));
  EXPECT_EQ(ui.Transcript(), "error: " + Format(kMsgFolderTooLong, "D:\\Setup.Inf", 1, 255) + "\n");
  EXPECT_STREQ(engine->params.folder1, "C:\\");
  // 255 bytes fit, and so do 256 whose last byte is the backslash removed.
  Reset();
  ui.events.clear();
  fake.SetValueAt(kApp, "Dir", kRegSz, "D:\\" + std::string(252, 'f') + "\\" + '\0');
  EXPECT_TRUE(Load("SetupDir Registry HKEY_CURRENT_USER\\Software\\Vendor\\App\\Dir C:\\ L\n"));
  EXPECT_EQ(std::string(engine->params.folder1), "D:\\" + std::string(252, 'f'));
  EXPECT_EQ(ui.Transcript(), "");
}

}  // namespace
}  // namespace setup::testing
