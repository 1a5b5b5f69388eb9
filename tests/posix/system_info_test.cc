// Folders, locale, language and program path of the POSIX system info.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/machine.h"
#include "platform/posix/system_info_posix.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {
namespace {

using posix::PosixSystemInfo;

TEST(LocaleTableTest, LanguageIds) {
  struct Case {
    const char* locale;
    unsigned short lang_id;
  } cases[] = {
      {"ja_JP.UTF-8", 0x0411},
      {"ja_JP.eucJP", 0x0411},
      {"ja", 0x0411},
      {"en_US.UTF-8", 0x0409},
      {"en_GB", 0x0809},
      {"en_AU.utf8", 0x0C09},
      {"de_DE@euro", 0x0407},
      {"de_AT.UTF-8", 0x0C07},
      {"de_LU.UTF-8", 0x0407},
      {"fr_FR", 0x040C},
      {"fr_CA", 0x0C0C},
      {"zh_CN.GB18030", 0x0804},
      {"zh_TW.Big5", 0x0404},
      {"zh", 0x0804},
      {"ko_KR.EUC-KR", 0x0412},
      {"es_ES", 0x0C0A},
      {"es_MX", 0x080A},
      {"it_IT", 0x0410},
      {"pt_BR", 0x0416},
      {"pt", 0x0416},
      {"ru_RU.KOI8-R", 0x0419},
      {"C", 0x0409},
      {"POSIX", 0x0409},
      {"C.UTF-8", 0x0409},
      {"", 0x0409},
      {"xx_YY", 0x0409},
      {"_JP", 0x0409},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(posix::LangIdForLocale(c.locale), c.lang_id);
  }
}

TEST(LocaleTableTest, CodePages) {
  struct Case {
    const char* locale;
    unsigned code_page;
  } cases[] = {
      {"ja_JP.UTF-8", 932}, {"ja_JP.eucJP", 932}, {"ja", 932},     {"en_US.UTF-8", 1252},
      {"C", 1252},          {"C.UTF-8", 1252},    {"POSIX", 1252}, {"de_DE", 1252},
      {"zh_CN.UTF-8", 936}, {"zh_SG", 936},       {"zh_TW", 950},  {"zh_HK", 950},
      {"ko_KR", 949},       {"ru_RU", 1251},      {"pl_PL", 1250}, {"el_GR", 1253},
      {"tr_TR", 1254},      {"he_IL", 1255},      {"ar_EG", 1256}, {"lt_LT", 1257},
      {"th_TH", 874},       {"vi_VN", 1258},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(posix::CodePageForLocale(c.locale), c.code_page);
  }
}

TEST(LocaleTableTest, LeadBytes) {
  struct Case {
    unsigned code_page;
    unsigned char byte;
    bool lead;
  } cases[] = {
      {932, 0x81, true},   {932, 0x9F, true},   {932, 0xE0, true},   {932, 0xFC, true},
      {932, 0x80, false},  {932, 0xA0, false},  {932, 0xA1, false},  {932, 0xB1, false},
      {932, 0xDF, false},  {932, 0xFD, false},  {932, 0x5C, false},  {936, 0x81, true},
      {936, 0xFE, true},   {936, 0xFF, false},  {949, 0xB0, true},   {950, 0xA4, true},
      {1252, 0x81, false}, {1252, 0xE0, false}, {1251, 0x90, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.code_page << " 0x" << std::hex << int{c.byte});
    EXPECT_EQ(posix::IsLeadByteOf(c.code_page, c.byte), c.lead);
  }
  // The path split tells bytes below 0x81 from lead bytes without asking.
  for (unsigned code_page : {932u, 936u, 949u, 950u}) {
    for (int byte = 0; byte < 0x81; ++byte) {
      EXPECT_FALSE(posix::IsLeadByteOf(code_page, static_cast<unsigned char>(byte)))
          << code_page << " " << byte;
    }
  }
}

TEST(LocaleNameTest, FollowsThePosixOrder) {
  EnvironmentScope all("LC_ALL", nullptr);
  EnvironmentScope messages("LC_MESSAGES", nullptr);
  EnvironmentScope lang("LANG", nullptr);
  posix::Machine machine(1252);
  PosixSystemInfo system(machine);  // reads the environment at each call
  EXPECT_EQ(posix::LocaleName("LC_MESSAGES"), "C");
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(system.GetUserDefaultLangID(), 0x0411);
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  EXPECT_EQ(system.GetUserDefaultLangID(), 0x0407);
  setenv("LC_ALL", "en_GB.UTF-8", 1);
  EXPECT_EQ(system.GetUserDefaultLangID(), 0x0809);
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(system.GetUserDefaultLangID(), 0x0407);
  EXPECT_EQ(posix::LocaleName("LC_CTYPE"), "ja_JP.UTF-8");
}

TEST(SystemInfoTest, IsLeadByteFollowsTheCodePage) {
  posix::Machine machine(932);
  PosixSystemInfo system(machine);
  EXPECT_TRUE(system.IsLeadByte(0x83));
  EXPECT_FALSE(system.IsLeadByte(0xB1));
  machine.set_code_page(1252);
  EXPECT_FALSE(system.IsLeadByte(0x83));
}

class SystemInfoFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override { drive_c_ = TestMachineRoot() + "/drive_c"; }
  std::string drive_c_;
  TestMachine machine_;
  PosixSystemInfo system_{machine_};
};

TEST_F(SystemInfoFoldersTest, WindowsAndSystemDirectoriesWithTheSizeContract) {
  struct Case {
    unsigned (PosixSystemInfo::*get)(char*, unsigned);
    std::string text;
    const char* host;
  } cases[] = {
      {&PosixSystemInfo::GetWindowsDirectory, "C:\\Windows", "/Windows"},
      {&PosixSystemInfo::GetSystemDirectory, "C:\\Windows\\System32", "/Windows/System32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    rmdir((drive_c_ + "/Windows/System32").c_str());  // made again on demand
    char buffer[256];
    unsigned length = c.text.size();
    EXPECT_EQ((system_.*c.get)(buffer, sizeof buffer), length);
    EXPECT_EQ(std::string(buffer), c.text);
    EXPECT_EQ((system_.*c.get)(buffer, length), length + 1);  // no room for the NUL
    char exact[64];
    EXPECT_EQ((system_.*c.get)(exact, length + 1), length);
    EXPECT_EQ((system_.*c.get)(nullptr, 0), length + 1);
    struct stat st;
    EXPECT_EQ(stat((drive_c_ + c.host).c_str(), &st), 0);
  }
}

std::string ProgramPath(PosixSystemInfo& system) {
  char buffer[4096];
  return system.GetProgramPath(buffer, sizeof buffer) ? buffer : "<fails>";
}

TEST_F(SystemInfoFoldersTest, ProgramPathOfAMediumFolder) {
  mkdir((drive_c_ + "/Setup").c_str(), 0777);
  ASSERT_TRUE(system_.SetProgramFolder(drive_c_ + "/Setup"));
  EXPECT_EQ(ProgramPath(system_), "C:\\Setup\\setup.exe");
  ASSERT_TRUE(system_.SetProgramFolder("/tmp"));
  EXPECT_EQ(ProgramPath(system_), "Z:\\tmp\\setup.exe");
  ASSERT_TRUE(system_.SetProgramFolder("/"));
  EXPECT_EQ(ProgramPath(system_), "Z:\\setup.exe");
  {
    CurrentFolderScope in_drive_c(drive_c_);
    ASSERT_TRUE(system_.SetProgramFolder("Setup"));
  }
  EXPECT_EQ(ProgramPath(system_), "C:\\Setup\\setup.exe");
  EXPECT_FALSE(system_.SetProgramFolder(drive_c_ + "/missing"));
  EXPECT_FALSE(system_.SetProgramFolder(drive_c_ + "/Windows/../nothing"));
  EXPECT_EQ(ProgramPath(system_), "C:\\Setup\\setup.exe");  // a refused folder changes nothing
  char exact[sizeof "C:\\Setup\\setup.exe"];
  EXPECT_FALSE(system_.GetProgramPath(exact, sizeof exact - 1));  // no room for the NUL
  EXPECT_TRUE(system_.GetProgramPath(exact, sizeof exact));
}

TEST_F(SystemInfoFoldersTest, ProgramPathDefaultsToTheExecutablesFolder) {
  char exe[4096];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(length, 0);
  std::string folder(exe, static_cast<size_t>(length));
  folder.resize(folder.rfind('/'));
  EXPECT_EQ(ProgramPath(system_), machine_.ToWindowsPath(folder) + "\\setup.exe");
}

}  // namespace
}  // namespace setup::testing
