// The simulated machine's registry file: its text form, durability across a
// killed writer, concurrent writers, and what a damaged file does.
#include "platform/posix/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/registry_file.h"
#include "tests/fakes/registry_suite.h"
#include "tests/posix/test_machine.h"

namespace setup::posix {
namespace {

using setup::testing::ShiftJisLeadBytes;

constexpr unsigned kShiftJis = 932;  // the code page of every name here

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Parses text; the error message, or "" when it parsed.
std::string ParseError(const std::string& text, StoredRegistry* registry = nullptr) {
  StoredRegistry scratch(kShiftJis);
  std::string error;
  bool parsed = ParseRegistryText(text.data(), text.size(), "registry.reg",
                                  registry != nullptr ? registry : &scratch, &error);
  return parsed ? "" : error;
}

// Everything a registry holds, as one comparable text.
std::string Dump(const StoredRegistry& registry) {
  std::string out;
  for (const auto& entry : registry.keys()) {
    out += "[" + entry.second.path + "]\n";
    for (const StoredValue& value : entry.second.values) {
      out += value.name + "=" + std::to_string(value.type) + ":" +
             std::to_string(value.data.size()) + ":" + value.data + "\n";
    }
  }
  return out;
}

// Names and paths in the Shift-JIS code page, for the store and the engine.
class RegistryFileTest : public ::testing::Test {};

TEST_F(RegistryFileTest, WritesTheRegistryEditorLayout) {
  StoredRegistry registry(kShiftJis);
  StoredKey* app = registry.AddKey("HKEY_CURRENT_USER\\Software\\Vendor\\App");
  ASSERT_NE(app, nullptr);
  app->SetValue("", kRegSz, std::string("default\0", 8));
  app->SetValue("Path", kRegSz, std::string("C:\\Program Files\\\"App\"\0", 23));
  app->SetValue("Count", kRegDword, std::string("\x41\x00\x01\x00", 4));
  app->SetValue("Bytes", kRegBinary, std::string("\x01\xAB", 2));
  app->SetValue("Expand", kRegExpandSz, std::string("%A%\0", 4));
  app->SetValue("Multi", kRegMultiSz, std::string("a\0b\0\0", 5));
  app->SetValue("Quad", 11, std::string(8, '\0'));
  app->SetValue("None", 0, "");
  EXPECT_EQ(FormatRegistryText(registry),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CLASSES_ROOT]\r\n\r\n"
            "[HKEY_CURRENT_CONFIG]\r\n\r\n"
            "[HKEY_CURRENT_USER]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Vendor\\App]\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\Program Files\\\\\\\"App\\\"\"\r\n"
            "\"Count\"=dword:00010041\r\n"
            "\"Bytes\"=hex:01,ab\r\n"
            "\"Expand\"=hex(2):25,41,25,00\r\n"
            "\"Multi\"=hex(7):61,00,62,00,00\r\n"
            "\"Quad\"=hex(b):00,00,00,00,00,00,00,00\r\n"
            "\"None\"=hex(0):\r\n\r\n"
            "[HKEY_LOCAL_MACHINE]\r\n\r\n"
            "[HKEY_USERS]\r\n\r\n");
}

TEST_F(RegistryFileTest, EveryValueRoundTripsByteForByte) {
  StoredRegistry registry(kShiftJis);
  StoredKey* key = registry.AddKey("HKEY_LOCAL_MACHINE\\Software\\\x95\x5C\\\x83\x5C\x83\x74");
  ASSERT_NE(key, nullptr);
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes += static_cast<char>(b);
  const StoredValue values[] = {
      {"sjis", kRegSz, std::string("\x83\x5C\x83\x74\x83\x67 \"q\" \\ \x95\x5C\0", 16)},
      {"no terminator", kRegSz, "abc"},
      {"inner zero", kRegSz, std::string("a\0b\0", 4)},
      {"line\tbreaks", kRegSz, std::string("a\r\nb\0", 5)},
      {"empty", kRegSz, ""},
      {"zero only", kRegSz, std::string(1, '\0')},
      {"short dword", kRegDword, "ab"},
      {"all bytes", kRegBinary, all_bytes},
      {"\"quoted\\name\"", kRegExpandSz, std::string("%PATH%\0", 7)},
      {"big type", 0x7FFFFFFF, "x"},
      {"\x95\x5C", kRegMultiSz, std::string("\x95\x5C\0\0", 4)},
      {"", kRegBinary, ""},
  };
  for (const StoredValue& v : values) key->SetValue(v.name, v.type, v.data);
  std::string text = FormatRegistryText(registry);
  StoredRegistry parsed(kShiftJis);
  ASSERT_EQ(ParseError(text, &parsed), "");
  EXPECT_EQ(Dump(parsed), Dump(registry));
  EXPECT_EQ(FormatRegistryText(parsed), text);
  // Long hex data is wrapped at the editor's width and read back whole.
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 81u) << line;
}

// A key is one key in any case of its ASCII letters, at every level, with a
// double-byte name whose second byte is a backslash among its ancestors;
// the spelling of the level's first maker stays.
TEST_F(RegistryFileTest, KeysAreFoundInAnyCaseAtEveryLevel) {
  StoredRegistry registry(kShiftJis);
  bool created = false;
  const StoredKey* deep = registry.AddKey("HKEY_CURRENT_USER\\a\\b\x95\\c\\d", &created);
  ASSERT_NE(deep, nullptr);
  EXPECT_TRUE(created);
  struct Case {
    const char* path;
    bool same;  // deep itself, not made again
  } cases[] = {
      {"HKEY_CURRENT_USER\\A\\B\x95\\C\\D", true},
      {"hkey_current_user\\a\\b\x95\\c\\d", true},
      {"HKEY_CURRENT_USER\\A\\B\x95|C\\D", false},  // another character
      {"HKEY_CURRENT_USER\\A\\B\x95\\C\\D\\e", false},
  };
  for (const Case& c : cases) {
    const StoredKey* key = registry.AddKey(c.path, &created);
    ASSERT_NE(key, nullptr) << c.path;
    EXPECT_EQ(key == deep, c.same) << c.path;
    EXPECT_EQ(created, !c.same) << c.path;
    EXPECT_EQ(registry.FindKey(c.path), key) << c.path;
  }
  EXPECT_EQ(registry.FindKey("HKEY_CURRENT_USER\\A\\B\x95\\C\\D\\E")->path,
            "HKEY_CURRENT_USER\\a\\b\x95\\c\\d\\e");
}

// A value is one value in any case of its ASCII letters, the second byte of a
// double-byte character excepted, in a key of a few values and in one with
// enough to be looked up through its index.
TEST_F(RegistryFileTest, ValuesAreFoundInAnyCaseOfTheirAsciiLetters) {
  for (size_t others : {size_t{0}, StoredKey::kIndexedFrom}) {
    StoredRegistry registry(kShiftJis);
    StoredKey* key = registry.AddKey("HKEY_USERS\\K");
    for (size_t i = 0; i < others; ++i) key->SetValue("other" + std::to_string(i), kRegSz, "");
    key->SetValue("Name\x82\x61z", kRegSz, "v");  // \x82\x61: a double-byte letter
    key->SetValue("tail\x82", kRegSz, "t");       // a lead byte with nothing after it
    struct Case {
      const char* name;
      const char* found;  // the value's data, "" for none
    } cases[] = {
        {"Name\x82\x61z", "v"}, {"NAME\x82\x61Z", "v"}, {"name\x82\x61z", "v"},
        {"Name\x82\x41z", ""},  // another double-byte character, not another case
        {"Name\x82\x61", ""},   {"TAIL\x82", "t"},      {"tail\x83", ""},
    };
    for (const Case& c : cases) {
      const StoredValue* value = key->FindValue(c.name);
      EXPECT_EQ(value != nullptr ? value->data : "", c.found) << c.name << " " << others;
    }
  }
}

TEST_F(RegistryFileTest, ReadsHandWrittenFiles) {
  StoredRegistry registry(kShiftJis);
  ASSERT_EQ(ParseError("Windows Registry Editor Version 5.00\n"
                       "; written by hand, LF line ends\n"
                       "[hkey_current_user\\Software\\App\\Deep]\n"
                       "\"Version\"=\"2.0\"\n"
                       "\"version\"=\"2.1\"\n"
                       "\"Flags\"=dword:1F\n"
                       "\"Data\"=hex:00,01,\\\n"
                       "  02,03\n"
                       "\n"
                       "[HKEY_CURRENT_USER\\SOFTWARE\\app\\Deep]\n"
                       "@=\"d\"\n",
                       &registry),
            "");
  const StoredKey* deep = registry.FindKey("HKEY_CURRENT_USER\\Software\\App\\Deep");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->path, "HKEY_CURRENT_USER\\Software\\App\\Deep");
  EXPECT_NE(registry.FindKey("HKEY_CURRENT_USER\\Software\\App"), nullptr);  // ancestors
  ASSERT_EQ(deep->values.size(), 4u);
  EXPECT_EQ(deep->FindValue("VERSION")->data, std::string("2.1\0", 4));
  EXPECT_EQ(deep->FindValue("Flags")->data, std::string("\x1F\0\0\0", 4));
  EXPECT_EQ(deep->FindValue("Data")->data, std::string("\0\x01\x02\x03", 4));
  EXPECT_EQ(deep->FindValue("")->data, std::string("d\0", 2));
}

TEST_F(RegistryFileTest, DamagedFilesAreReportedWithFileAndLine) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n";
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "registry.reg:1: the file is empty; expected \"Windows Registry Editor Version 5.00\""},
      {"REGEDIT4\r\n", "registry.reg:1: expected \"Windows Registry Editor Version 5.00\""},
      {"Windows Registry Editor",
       "registry.reg:1: the file is truncated (its last line has no line end)"},
      {header + "\r\n[HKEY_USERS\\A]\r\n\"V\"=\"abc",
       "registry.reg:4: the file is truncated (its last line has no line end)"},
      {header + "[HKEY_USERS\\A]\r\n\"V\"=\"abc\r\n",
       "registry.reg:3: a quoted text has no closing quote"},
      {header + "\"V\"=\"x\"\r\n", "registry.reg:2: a value line comes before any [key] line"},
      {header + "[HKEY_USERS\\A\r\n", "registry.reg:2: a key line does not end in ]"},
      {header + "[HKEY_NOWHERE\\A]\r\n",
       "registry.reg:2: \"HKEY_NOWHERE\\A\" is not a valid key path"},
      {header + "[HKEY_USERS\\A\\\\B]\r\n",
       "registry.reg:2: \"HKEY_USERS\\A\\\\B\" is not a valid key path"},
      {header + "[-HKEY_USERS\\A]\r\n",
       "registry.reg:2: a key deletion ([-...]) has no place in a stored registry"},
      {header + "[HKEY_USERS]\r\n\"V\"=-\r\n",
       "registry.reg:3: a value deletion (=-) has no place in a stored registry"},
      {header + "[HKEY_USERS]\r\n\"V\"=dword:123456789\r\n",
       "registry.reg:3: dword: needs 1 to 8 hex digits"},
      {header + "[HKEY_USERS]\r\n\"V\"=hex:0g\r\n",
       "registry.reg:3: hex data is not a list of two-digit bytes"},
      {header + "[HKEY_USERS]\r\n\"V\"=hex:01;02\r\n",
       "registry.reg:3: hex bytes are not separated by commas"},
      {header + "[HKEY_USERS]\r\n\"V\"=hex(zz):01\r\n",
       "registry.reg:3: a hex(type) value has no valid type"},
      {header + "[HKEY_USERS]\r\n\"V\"=hex:01,\\\r\n",
       "registry.reg:3: the file is truncated (hex data goes on past its end)"},
      {header + "[HKEY_USERS]\r\n\"V\"=\"a\"b\r\n", "registry.reg:3: text follows a quoted value"},
      {header + "[HKEY_USERS]\r\n\"V\"=str:x\r\n",
       "registry.reg:3: a value is neither a quoted text, dword: nor hex:"},
      {header + "[HKEY_USERS]\r\n\"V\\n\"=\"x\"\r\n",
       "registry.reg:3: a backslash in a quoted text is not followed by \\ or \""},
      {header + "[HKEY_USERS]\r\n\"V\"\r\n", "registry.reg:3: a value name is not followed by ="},
      {header + std::string("[HKEY_USERS]\r\n\0\0\0\0\r\n", 20),
       "registry.reg:3: a zero byte inside a line"},
      {header + "garbage\r\n", "registry.reg:2: expected a [key], a \"value\"= or @= line"},
      {header + "[HKEY_USERS]\r\r\n", "registry.reg:2: a carriage return inside a line"},
      // The first of the two in a line says it, and so does a CR that ends the file.
      {header + std::string("[HKEY_USERS]\r\0\r\n", 16),
       "registry.reg:2: a carriage return inside a line"},
      {header + std::string("[HKEY_USERS]\0\r\r\n", 16),
       "registry.reg:2: a zero byte inside a line"},
      {header + "[HKEY_USERS]\r", "registry.reg:2: a carriage return inside a line"},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseError(c.text), c.error) << c.text;
}

// --- the store over its file ---

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("registry_store_test_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    file = (folder / "registry.reg").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // Writes name=data below path with a store of its own (as another process would).
  bool Put(const std::string& file, const std::string& path, const std::string& data) {
    RegistryStore store(machine_, file);
    return WriteRegistryString(store, ShiftJisLeadBytes(), path.c_str(), data.c_str(), kRegSz);
  }
  std::string Get(const std::string& path) {
    RegistryStore store(machine_, file);
    char value[256];
    ReadRegistryString(store, ShiftJisLeadBytes(), path.c_str(), value, sizeof value);
    return value;
  }

  setup::testing::TestMachine machine_{kShiftJis};
  std::filesystem::path folder;
  std::string file;
};

TEST_F(RegistryStoreTest, ChangesPersistInTheFileAcrossStores) {
  EXPECT_FALSE(std::filesystem::exists(file));  // nothing is written by reading
  EXPECT_EQ(Get("HKEY_CURRENT_USER\\Software\\App\\V"), "");
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_TRUE(Put(file, "HKEY_CURRENT_USER\\Software\\App\\V", "\x95\x5C\x8E\xA6"));
  EXPECT_EQ(Get("HKEY_CURRENT_USER\\SOFTWARE\\APP\\v"), "\x95\x5C\x8E\xA6");
  std::string text = ReadFile(file);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\App]\r\n\"V\"=\"\x95\\\\\x8E\xA6\"\r\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
}

TEST_F(RegistryStoreTest, DefaultFileIsInTheMachineFolder) {
  const std::string& machine = setup::testing::TestMachineRoot();
  RegistryStore store(machine_);
  EXPECT_EQ(store.FilePath(), machine + "/registry.reg");
  EXPECT_TRUE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\X\\Y", "z", kRegSz));
  RegistryStore same(machine_, machine + "/registry.reg");
  char value[8];
  ReadRegistryString(same, ShiftJisLeadBytes(), "HKEY_USERS\\X\\Y", value, sizeof value);
  EXPECT_STREQ(value, "z");
}

TEST_F(RegistryStoreTest, HandleOfAKeyDeletedElsewhereSeesItDeleted) {
  ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\B\\V", "v"));
  RegistryStore store(machine_, file);
  RegKey key = OpenRegistryKey(store, ShiftJisLeadBytes(), RootKey::kUsers, "A\\B", KeyUse::kRead);
  ASSERT_NE(key, 0u);
  RegistryStore other(machine_, file);  // as another process would
  EXPECT_TRUE(DeleteRegistryEntry(other, ShiftJisLeadBytes(), "HKEY_USERS\\A\\B\\"));
  unsigned type = 0;
  unsigned size = 0;
  EXPECT_EQ(store.QueryValue(key, "V", &type, nullptr, &size), kErrorKeyDeleted);
  EXPECT_EQ(store.SetValue(key, "V", kRegSz, "x", 2), kErrorKeyDeleted);
  store.CloseKey(key);
  EXPECT_EQ(store.QueryValue(key, "V", &type, nullptr, &size), kErrorInvalidHandle);
  EXPECT_FALSE(RegistryKeyExists(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\B"));
}

TEST_F(RegistryStoreTest, NamesThatCannotBeStoredAreRefused) {
  RegistryStore store(machine_, file);
  RegKey key = 0;
  EXPECT_EQ(store.CreateKey(store.Root(RootKey::kUsers), "a\nb", kKeyReadWrite, &key),
            kErrorInvalidParameter);
  EXPECT_EQ(store.CreateKey(store.Root(RootKey::kUsers), std::string(256, 'n').c_str(),
                            kKeyReadWrite, &key),
            kErrorInvalidParameter);
  EXPECT_EQ(store.SetValue(store.Root(RootKey::kUsers), "a\rb", kRegSz, "x", 2),
            kErrorInvalidParameter);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(RegistryStoreTest, DamagedFileIsNeverOverwrittenAndReportedOnce) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\A]\r\n\"V\"=\"cut sh";
  WriteFile(file, damaged);
  RegistryStore store(machine_, file);
  std::vector<std::string> messages;
  store.SetDiagnosticSink([&](const std::string& m) { messages.push_back(m); });
  EXPECT_FALSE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\W", "x", kRegSz));
  EXPECT_FALSE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\B\\", "", kRegSz));
  EXPECT_FALSE(RegistryKeyExists(store, ShiftJisLeadBytes(),
                                 "HKEY_USERS\\"));  // even a root cannot be opened
  RegKey key = 0;
  EXPECT_EQ(store.OpenKey(store.Root(RootKey::kUsers), "", kKeyReadWrite, &key),
            kErrorRegistryCorrupt);
  EXPECT_EQ(ReadFile(file), damaged);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], file +
                             ":4: the file is truncated (its last line has no line end) (the "
                             "registry is damaged; it is left as it is and registry operations "
                             "fail until it is repaired)");
  // Repaired, it works again.
  WriteFile(file, damaged + "\"\r\n");
  EXPECT_TRUE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\W", "x", kRegSz));
  EXPECT_EQ(Get("HKEY_USERS\\A\\V"), "cut sh");
}

TEST_F(RegistryStoreTest, UnwritableStoreFailsWithADiagnostic) {
  RegistryStore store(machine_, (folder / "missing" / "registry.reg").string());
  std::vector<std::string> messages;
  store.SetDiagnosticSink([&](const std::string& m) { messages.push_back(m); });
  EXPECT_FALSE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\V", "x", kRegSz));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("cannot lock the registry"), std::string::npos) << messages[0];
}

// Each save writes a temporary of its own, never through a link planted
// under the old fixed name, and leaves the file's mode as it was.
TEST_F(RegistryStoreTest, SavesKeepTheModeAndWriteNoLinkedFile) {
  std::filesystem::path outside = folder / "outside.txt";
  WriteFile(outside.string(), "untouched");
  std::filesystem::create_symlink(outside, file + ".tmp");
  ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\V", "1"));
  ASSERT_EQ(chmod(file.c_str(), 0600), 0);
  ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\V", "2"));
  EXPECT_EQ(ReadFile(outside.string()), "untouched");
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
  EXPECT_EQ(Get("HKEY_USERS\\A\\V"), "2");
  size_t entries = 0;  // the file, its lock, the link and its target: no temporary left
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 4u);
}

// A store whose folder cannot be flushed after the rename.
class UnsyncedStore : public RegistryStore {
 public:
  using RegistryStore::RegistryStore;

 private:
  bool SyncFolder(const std::string&) override {
    errno = EIO;
    return false;
  }
};

// The rename made the change: the call succeeds, and the risk is said once,
// with a control byte of the path defused.
TEST_F(RegistryStoreTest, FailedFolderFlushIsSaidButTheValueIsWritten) {
  std::filesystem::create_directories(folder / "a\x1B[2Jb");
  file = (folder / "a\x1B[2Jb" / "registry.reg").string();
  UnsyncedStore store(machine_, file);
  std::vector<std::string> messages;
  store.SetDiagnosticSink([&](const std::string& m) { messages.push_back(m); });
  EXPECT_TRUE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\V", "x", kRegSz));
  EXPECT_TRUE(WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\W", "y", kRegSz));
  store.Fold();
  EXPECT_EQ(Get("HKEY_USERS\\A\\W"), "y");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], folder.string() +
                             "/a\\x1B[2Jb/registry.reg: the registry was written, "
                             "but its folder could not be flushed to disk: " +
                             std::strerror(EIO));
}

// A writer killed at any moment leaves the old file or the new one, whole.
TEST_F(RegistryStoreTest, KilledWriterLeavesTheOldOrTheNewFile) {
  ASSERT_TRUE(Put(file, "HKEY_USERS\\K\\v0000", "0"));
  std::srand(static_cast<unsigned>(getpid()));
  int highest = 0;
  // Kills come at random moments within this window. A round in which the
  // child got nothing done (a slow disk, a loaded machine, the sanitizers)
  // widens it, so that every machine sees writes cut at every stage.
  int window_us = 30000;
  for (int round = 0; round < 25; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RegistryStore store(machine_, file);
      char value[256];
      ReadRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\K\\next", value, sizeof value);
      for (int n = std::atoi(value) + 1;; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "HKEY_USERS\\K\\v%04d", n);
        std::snprintf(value, sizeof value, "%d", n);
        WriteRegistryString(store, ShiftJisLeadBytes(), name, value, kRegSz);
        WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\K\\next", value, kRegSz);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::rand() % window_us));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    // The file parses, also before the killed writer's log is folded into it.
    StoredRegistry before(kShiftJis);
    ASSERT_EQ(ParseError(ReadFile(file), &before), "") << "round " << round;
    RegistryStore(machine_, file).Fold();
    // The file parses, and its values are v0000 up to some n with no gap.
    StoredRegistry registry(kShiftJis);
    std::string text = ReadFile(file);
    ASSERT_EQ(ParseError(text, &registry), "") << "round " << round;
    const StoredKey* key = registry.FindKey("HKEY_USERS\\K");
    ASSERT_NE(key, nullptr);
    int count = 0;
    for (const StoredValue& value : key->values) {
      if (value.name[0] == 'v') ++count;
    }
    for (int n = 0; n < count; ++n) {
      char name[16];
      std::snprintf(name, sizeof name, "v%04d", n);
      EXPECT_NE(key->FindValue(name), nullptr) << name;
    }
    EXPECT_GE(count, highest);
    if (count == highest && window_us < 2000000) window_us *= 2;
    highest = count;
  }
  EXPECT_GT(highest, 1);                                 // the children did get some writes done
  EXPECT_TRUE(Put(file, "HKEY_USERS\\K\\after", "ok"));  // a left-over temporary is no obstacle
}

// Changes go to the log; the file changes only when the log is folded into
// it, whole. A log carried out again over the file it was folded into (a
// crash between the rename and the removal of the log) changes nothing.
TEST_F(RegistryStoreTest, TheLogFoldsIntoTheFileAndCarriesOutTwiceTheSame) {
  ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\V", "1"));
  ASSERT_TRUE(Put(file, "HKEY_USERS\\B\\C\\Old", "o"));
  const std::string before = ReadFile(file);
  const std::string log = RegistryStore::LogPath(file);
  EXPECT_EQ(log, (folder / "registry.log").string());
  EXPECT_FALSE(std::filesystem::exists(log));
  std::string logged;
  {
    RegistryStore store(machine_, file);
    const auto& lead = ShiftJisLeadBytes();
    ASSERT_TRUE(WriteRegistryString(store, lead, "HKEY_USERS\\A\\W", "2", kRegSz));
    ASSERT_TRUE(DeleteRegistryEntry(store, lead, "HKEY_USERS\\A\\V"));
    ASSERT_TRUE(DeleteRegistryEntry(store, lead, "HKEY_USERS\\B\\C\\"));
    ASSERT_TRUE(WriteRegistryString(store, lead, "HKEY_USERS\\B\\C\\D\\New", "n", kRegSz));
    ASSERT_TRUE(WriteRegistryString(store, lead, "HKEY_USERS\\A\\", "\x95\x5C", kRegSz));
    EXPECT_EQ(ReadFile(file), before);
    logged = ReadFile(log);
    EXPECT_EQ(Get("HKEY_USERS\\A\\W"), "2");  // another store carries the log out
    EXPECT_EQ(Get("HKEY_USERS\\A\\V"), "");
    EXPECT_EQ(Get("HKEY_USERS\\B\\C\\Old"), "");
    store.Fold();
    EXPECT_FALSE(std::filesystem::exists(log));
  }
  const std::string folded = ReadFile(file);
  EXPECT_NE(folded, before);
  WriteFile(log, logged);
  EXPECT_EQ(Get("HKEY_USERS\\B\\C\\D\\New"), "n");
  EXPECT_EQ(Get("HKEY_USERS\\A\\"), "\x95\x5C");
  RegistryStore(machine_, file).Fold();
  EXPECT_EQ(ReadFile(file), folded);
  EXPECT_FALSE(std::filesystem::exists(log));
}

// What a crash can leave at the end of the log: a record cut short is passed
// over (it was never acknowledged) and written over by the next change; a
// damaged whole record stops the registry, as a damaged file does.
TEST_F(RegistryStoreTest, ACutRecordIsPassedOverAndADamagedOneReported) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string whole = "[HKEY_USERS\\A]\r\n\"W\"=\"2\"\r\n\r\n";
  struct Case {
    std::string log;
    const char* error;  // the diagnostic, or null when the log is usable
  };
  const Case cases[] = {
      {"Windows Registry Ed", nullptr},
      {header, nullptr},
      {header + whole + "[HKEY_USERS\\A]\r\n\"X\"=\"cu", nullptr},
      {header + whole + "[HKEY_USERS\\A]\r\n\"X\"=\"3\"\r\n", nullptr},
      {header + whole + "[HKEY_USERS\\A]\r\n\"X\"=hex:0", nullptr},
      {header + whole + "garbage\r\n\r\n",
       "registry.log:6: expected a [key], a \"value\"= or @= line (the registry's log of "
       "changes is damaged; it is left as it is and registry operations fail until it is "
       "repaired)"},
      {"not a header\r\n\r\n", "registry.log:1: expected \"Windows Registry Editor Version 5.00\""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(RegistryStore::LogPath(file));
    WriteFile(file, header + "[HKEY_USERS\\A]\r\n\"V\"=\"1\"\r\n\r\n");
    WriteFile(RegistryStore::LogPath(file), c.log);
    std::vector<std::string> messages;
    RegistryStore store(machine_, file);
    store.SetDiagnosticSink([&](const std::string& m) { messages.push_back(m); });
    bool put = WriteRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\Y", "4", kRegSz);
    if (c.error != nullptr) {
      EXPECT_FALSE(put) << c.log;
      ASSERT_EQ(messages.size(), 1u) << c.log;
      EXPECT_NE(messages[0].find(c.error), std::string::npos) << messages[0];
      EXPECT_EQ(ReadFile(RegistryStore::LogPath(file)), c.log);
      continue;
    }
    EXPECT_TRUE(put) << c.log;
    EXPECT_EQ(messages.size(), 0u) << c.log;
    store.Fold();
    StoredRegistry registry(kShiftJis);
    ASSERT_EQ(ParseError(ReadFile(file), &registry), "") << c.log;
    const StoredKey* key = registry.FindKey("HKEY_USERS\\A");
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->FindValue("V"), nullptr) << c.log;
    EXPECT_NE(key->FindValue("Y"), nullptr) << c.log;
    EXPECT_EQ(key->FindValue("W") != nullptr, c.log.find(whole) != std::string::npos) << c.log;
    EXPECT_EQ(key->FindValue("X"), nullptr) << c.log;
  }
}

// A store keeps the file in memory, yet sees every change of another store
// (here in this process, as another process would make it) at its next call,
// also a file of the same size written twice within the same second. A key
// this store added and has not saved yet survives the reading of the file.
TEST_F(RegistryStoreTest, ChangesOfAnotherStoreAreSeenAtOnce) {
  ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\V", "0000"));
  RegistryStore store(machine_, file);
  RegistryStore other(machine_, file);
  for (int round = 1; round <= 100; ++round) {
    char seen[16];
    ReadRegistryString(store, ShiftJisLeadBytes(), "HKEY_USERS\\A\\V", seen, sizeof seen);
    ASSERT_EQ(std::atoi(seen), round - 1);
    std::string key = "New" + std::to_string(round);
    RegKey added = OpenRegistryKey(store, ShiftJisLeadBytes(), RootKey::kUsers,
                                   ("A\\" + key).c_str(), KeyUse::kCreate);
    ASSERT_NE(added, 0u);
    char value[16];
    std::snprintf(value, sizeof value, "%04d", 9999 - round);
    ASSERT_TRUE(WriteRegistryString(other, ShiftJisLeadBytes(), "HKEY_USERS\\A\\V", value, kRegSz));
    std::snprintf(value, sizeof value, "%04d", round);
    ASSERT_TRUE(WriteRegistryString(other, ShiftJisLeadBytes(), "HKEY_USERS\\A\\V", value, kRegSz));
    EXPECT_EQ(store.SetValue(added, "W", kRegSz, "w", 2), kErrorSuccess) << round;
    store.CloseKey(added);
    EXPECT_EQ(Get("HKEY_USERS\\A\\" + key + "\\W"), "w") << round;
  }
}

// The file and log a store holds, changed by another program between two of
// its operations: the next one sees the change, also a file replaced while
// another name still holds the old one, or moved away.
TEST_F(RegistryStoreTest, FilesChangedByHandAreSeenAtTheNextOperation) {
  const std::string log = RegistryStore::LogPath(file);
  const std::string kept = (folder / "kept.reg").string();
  auto replace = [&](const char* value) {
    StoredRegistry registry(kShiftJis);
    registry.AddKey("HKEY_USERS\\A")->SetValue("V", kRegSz, std::string(value) + '\0');
    std::string temporary = (folder / "new.reg").string();
    WriteFile(temporary, FormatRegistryText(registry));
    ASSERT_EQ(rename(temporary.c_str(), file.c_str()), 0);
  };
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* path;
    const char* seen;
  } cases[] = {
      {"replaced", [&] { replace("2"); }, "HKEY_USERS\\A\\V", "2"},
      {"replaced, the old file kept under another name",
       [&] {
         ASSERT_EQ(link(file.c_str(), kept.c_str()), 0);
         replace("2");
       },
       "HKEY_USERS\\A\\V", "2"},
      {"removed", [&] { unlink(file.c_str()); }, "HKEY_USERS\\A\\V", ""},
      {"removed, with a value of a root", [&] { unlink(file.c_str()); }, "HKEY_USERS\\R", ""},
      {"moved away", [&] { ASSERT_EQ(rename(file.c_str(), kept.c_str()), 0); }, "HKEY_USERS\\A\\V",
       ""},
      {"its log written again",
       [&] {
         WriteFile(log,
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_USERS\\A]\r\n\"V\"=\"three\"\r\n\r\n");
       },
       "HKEY_USERS\\A\\V", "three"},
      {"its log removed", [&] { unlink(log.c_str()); }, "HKEY_USERS\\A\\W", ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(Put(file, "HKEY_USERS\\A\\V", "1"));
    ASSERT_TRUE(Put(file, "HKEY_USERS\\R", "r"));
    RegistryStore store(machine_, file);
    const auto& lead = ShiftJisLeadBytes();
    char value[16];
    ReadRegistryString(store, lead, "HKEY_USERS\\A\\V", value, sizeof value);
    ASSERT_STREQ(value, "1") << c.what;
    ASSERT_TRUE(WriteRegistryString(store, lead, "HKEY_USERS\\A\\W", "w", kRegSz)) << c.what;
    c.change();
    ReadRegistryString(store, lead, c.path, value, sizeof value);
    EXPECT_STREQ(value, c.seen) << c.what;
  }
}

// Two processes adding values at once: none of either is lost.
TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kEach = 40;
  std::vector<pid_t> children;
  for (char who : {'a', 'b'}) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      bool all = true;
      for (int i = 0; i < kEach; ++i) {
        std::string n = std::to_string(i);
        all = Put(file, std::string("HKEY_USERS\\Shared\\") + who + n, n) && all;
        all = Put(file, std::string("HKEY_USERS\\Shared\\") + who + "\\" + n + "\\", "") && all;
      }
      _exit(all ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  StoredRegistry registry(kShiftJis);
  ASSERT_EQ(ParseError(ReadFile(file), &registry), "");
  for (char who : {'a', 'b'}) {
    for (int i = 0; i < kEach; ++i) {
      std::string n = std::to_string(i);
      EXPECT_EQ(Get(std::string("HKEY_USERS\\Shared\\") + who + n), n);
      EXPECT_NE(registry.FindKey(std::string("HKEY_USERS\\Shared\\") + who + "\\" + n), nullptr);
    }
  }
}

}  // namespace
}  // namespace setup::posix
