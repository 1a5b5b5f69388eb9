// Behaviour of the registry operations that every back end must show: the
// in-memory fake, the simulated machine's registry file and the real Windows
// registry. A test file instantiates the suite with a back-end type that has
//   Registry& registry();          the registry under test
//   std::string base;              a key path (root included) of its own
//   bool DoubleByteNames();        whether 0x95 0x5C is one character there
// (tests/backend/registry_backend.h is the one of the real back ends).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/lexicon.h"
#include "engine/registry_access.h"
#include "platform/shift_jis.h"

namespace setup::testing {

// The Shift-JIS lead bytes, as the engine sets them up on a Japanese system.
inline const LeadBytes& ShiftJisLeadBytes() {
  static const LeadBytes table = [] {
    LeadBytes lead;
    for (int b = 0; b < 256; ++b)
      lead.is_lead[b] = IsShiftJisLeadByte(static_cast<unsigned char>(b));
    return lead;
  }();
  return table;
}

template <class Backend>
class RegistryBehaviour : public ::testing::Test {
 protected:
  Registry& reg() { return backend.registry(); }
  // A path below the test's own key.
  std::string At(const std::string& rest) { return backend.base + "\\" + rest; }
  std::string Read(const std::string& path) {
    char value[256];
    std::memset(value, 'x', sizeof value);
    ReadRegistryString(reg(), ShiftJisLeadBytes(), path.c_str(), value, sizeof value);
    return value;
  }
  bool Write(const std::string& path, const std::string& data) {
    return WriteRegistryString(reg(), ShiftJisLeadBytes(), path.c_str(), data.c_str(), kRegSz);
  }
  bool Exists(const std::string& path) {
    return RegistryKeyExists(reg(), ShiftJisLeadBytes(), path.c_str());
  }
  // Sets a value of any type through the registry itself (creating the key).
  void SetRaw(const std::string& key_path, const char* name, unsigned type,
              const std::string& bytes) {
    RegistryPath parsed;
    ASSERT_TRUE(ParseRegistryPath(ShiftJisLeadBytes(), (key_path + "\\").c_str(), &parsed));
    RegKey key =
        OpenRegistryKey(reg(), ShiftJisLeadBytes(), parsed.root, parsed.key_path, KeyUse::kCreate);
    ASSERT_NE(key, 0u);
    EXPECT_EQ(reg().SetValue(key, name, type, bytes.data(), static_cast<unsigned>(bytes.size())),
              kErrorSuccess);
    reg().CloseKey(key);
  }
  // The stored bytes and type of a value; false when it is missing.
  bool Raw(const std::string& key_path, const char* name, unsigned* type, std::string* bytes) {
    RegistryPath parsed;
    if (!ParseRegistryPath(ShiftJisLeadBytes(), (key_path + "\\").c_str(), &parsed)) return false;
    RegKey key =
        OpenRegistryKey(reg(), ShiftJisLeadBytes(), parsed.root, parsed.key_path, KeyUse::kRead);
    if (key == 0) return false;
    unsigned size = 0;
    bool found = reg().QueryValue(key, name, type, nullptr, &size) == kErrorSuccess;
    if (found) {
      bytes->assign(size, '\0');
      found = reg().QueryValue(key, name, type, bytes->data(), &size) == kErrorSuccess;
    }
    reg().CloseKey(key);
    return found;
  }

  Backend backend;
};

TYPED_TEST_SUITE_P(RegistryBehaviour);

TYPED_TEST_P(RegistryBehaviour, WrittenStringReadsBackAndCreatesTheKeyPath) {
  EXPECT_TRUE(this->Write(this->At("Vendor\\App\\Version"), "1.0"));
  EXPECT_EQ(this->Read(this->At("Vendor\\App\\Version")), "1.0");
  EXPECT_TRUE(this->Exists(this->At("Vendor\\App")));
  EXPECT_TRUE(this->Exists(this->At("Vendor")));
  unsigned type = 0;
  std::string bytes;
  ASSERT_TRUE(this->Raw(this->At("Vendor\\App"), "Version", &type, &bytes));
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(bytes, std::string("1.0\0", 4));  // with its terminating zero
  // Names compare without regard to case.
  EXPECT_EQ(this->Read(this->At("VENDOR\\app\\version")), "1.0");
  EXPECT_TRUE(this->Write(this->At("vendor\\APP\\VERSION"), "2.0"));
  EXPECT_EQ(this->Read(this->At("Vendor\\App\\Version")), "2.0");
}

TYPED_TEST_P(RegistryBehaviour, PathEndingInABackslashNamesTheDefaultValue) {
  // No value name and no data: only the key path comes into being.
  EXPECT_TRUE(this->Write(this->At("Only\\Keys\\"), ""));
  EXPECT_TRUE(this->Exists(this->At("Only\\Keys")));
  unsigned type = 0;
  std::string bytes;
  EXPECT_FALSE(this->Raw(this->At("Only\\Keys"), "", &type, &bytes));
  // With data, the key's default value is written.
  EXPECT_TRUE(this->Write(this->At("Only\\Keys\\"), "default text"));
  EXPECT_EQ(this->Read(this->At("Only\\Keys\\")), "default text");
  ASSERT_TRUE(this->Raw(this->At("Only\\Keys"), "", &type, &bytes));
  EXPECT_EQ(bytes, std::string("default text\0", 13));
}

TYPED_TEST_P(RegistryBehaviour, EmptyDataWritesOneZeroByteAndReadsAsMissing) {
  EXPECT_TRUE(this->Write(this->At("App\\Empty"), ""));
  unsigned type = 0;
  std::string bytes;
  ASSERT_TRUE(this->Raw(this->At("App"), "Empty", &type, &bytes));
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(bytes, std::string(1, '\0'));
  EXPECT_EQ(this->Read(this->At("App\\Empty")), "");
  EXPECT_EQ(this->Read(this->At("App\\Missing")), "");
  EXPECT_EQ(this->Read(this->At("NoSuchKey\\Value")), "");
}

TYPED_TEST_P(RegistryBehaviour, ValuesOfEveryTypeReadAsTheirBytesUpToTheFirstZero) {
  this->SetRaw(this->At("Types"), "Dword", kRegDword, std::string("\x41\0\0\0", 4));
  this->SetRaw(this->At("Types"), "Expand", kRegExpandSz, std::string("%WINDIR%\\x\0", 11));
  this->SetRaw(this->At("Types"), "Multi", kRegMultiSz, std::string("one\0two\0\0", 9));
  this->SetRaw(this->At("Types"), "Binary", kRegBinary, std::string("ab\0cd", 5));
  this->SetRaw(this->At("Types"), "NoZero", kRegBinary, std::string("xyz", 3));
  EXPECT_EQ(this->Read(this->At("Types\\Dword")), "A");
  EXPECT_EQ(this->Read(this->At("Types\\Expand")), "%WINDIR%\\x");  // not expanded
  EXPECT_EQ(this->Read(this->At("Types\\Multi")), "one");
  EXPECT_EQ(this->Read(this->At("Types\\Binary")), "ab");
  EXPECT_EQ(this->Read(this->At("Types\\NoZero")), "xyz");
}

TYPED_TEST_P(RegistryBehaviour, ShiftJisDataRoundTripsByteForByte) {
  const std::string text = "\x83\x5C\x83\x74\x83\x67 \x95\x5C \x8E\x9F";  // with 0x5C seconds
  EXPECT_TRUE(this->Write(this->At("Text\\Value"), text));
  EXPECT_EQ(this->Read(this->At("Text\\Value")), text);
  std::string all_bytes;
  for (int b = 1; b < 256; ++b) all_bytes += static_cast<char>(b);
  all_bytes += '\0';
  this->SetRaw(this->At("Text"), "Bytes", kRegBinary, all_bytes);
  unsigned type = 0;
  std::string bytes;
  ASSERT_TRUE(this->Raw(this->At("Text"), "Bytes", &type, &bytes));
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(bytes, all_bytes);
}

TYPED_TEST_P(RegistryBehaviour, DeleteRemovesAValueOrWithAFinalBackslashTheKey) {
  ASSERT_TRUE(this->Write(this->At("Del\\App\\Keep"), "k"));
  ASSERT_TRUE(this->Write(this->At("Del\\App\\Drop"), "d"));
  ASSERT_TRUE(this->Write(this->At("Del\\App\\Last"), "l"));
  // Enough values besides for a store to look them up through an index.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(this->Write(this->At("Del\\App\\More" + std::to_string(i)), "m"));
  }
  EXPECT_TRUE(
      DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Del\\App\\Drop").c_str()));
  EXPECT_EQ(this->Read(this->At("Del\\App\\Drop")), "");
  EXPECT_EQ(this->Read(this->At("Del\\App\\Keep")), "k");
  // The values on either side of it are still found, and set in place.
  EXPECT_EQ(this->Read(this->At("Del\\App\\Last")), "l");
  ASSERT_TRUE(this->Write(this->At("Del\\App\\Last"), "m"));
  EXPECT_EQ(this->Read(this->At("Del\\App\\Last")), "m");
  EXPECT_EQ(this->Read(this->At("Del\\App\\MORE19")), "m");
  EXPECT_TRUE(
      DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Del\\App\\Last").c_str()));
  // A missing value still counts, as the key could be opened.
  EXPECT_TRUE(
      DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Del\\App\\Drop").c_str()));
  EXPECT_TRUE(
      DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Del\\App\\").c_str()));
  EXPECT_FALSE(this->Exists(this->At("Del\\App")));
  EXPECT_TRUE(this->Exists(this->At("Del")));
  // Below a missing key nothing can be opened.
  EXPECT_FALSE(
      DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Del\\App\\Keep").c_str()));
}

TYPED_TEST_P(RegistryBehaviour, KeyWithSubkeysIsNotDeleted) {
  ASSERT_TRUE(this->Write(this->At("Tree\\Child\\"), ""));
  EXPECT_TRUE(DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), this->At("Tree\\").c_str()));
  EXPECT_TRUE(this->Exists(this->At("Tree\\Child")));
}

TYPED_TEST_P(RegistryBehaviour, ExistenceTestTakesTheWholeRemainderAsKeyPath) {
  ASSERT_TRUE(this->Write(this->At("Find\\Me\\Value"), "v"));
  EXPECT_TRUE(this->Exists(this->At("Find\\Me")));
  EXPECT_TRUE(this->Exists(this->At("Find\\Me\\")));
  EXPECT_FALSE(this->Exists(this->At("Find\\Me\\Value")));  // a value is no key
  EXPECT_FALSE(this->Exists(this->At("Find\\Nothing")));
  EXPECT_TRUE(this->Exists("HKEY_CURRENT_USER\\"));
  EXPECT_TRUE(this->Exists("HKEY_LOCAL_MACHINE\\"));
  EXPECT_FALSE(this->Exists("HKEY_CURRENT_USER"));
  EXPECT_FALSE(this->Exists("hkey_current_user\\"));
  EXPECT_FALSE(this->Exists("HKCU\\Software"));
}

TYPED_TEST_P(RegistryBehaviour, DoubleByteNameSplitsOnlyAtRealBackslashes) {
  if (!this->backend.DoubleByteNames()) GTEST_SKIP() << "the ANSI code page is not Shift-JIS";
  const std::string name = "\x95\x5C\x8E\xA6";  // a key name whose first character ends in 0x5C
  ASSERT_TRUE(this->Write(this->At(name + "\\\x92\x6C"), "value"));
  EXPECT_EQ(this->Read(this->At(name + "\\\x92\x6C")), "value");
  EXPECT_TRUE(this->Exists(this->At(name)));
  EXPECT_FALSE(this->Exists(this->At("\x95")));
  // A value name whose last character ends in 0x5C is no default value.
  ASSERT_TRUE(this->Write(this->At("Dbcs\\\x95\x5C"), "named"));
  EXPECT_EQ(this->Read(this->At("Dbcs\\\x95\x5C")), "named");
  EXPECT_EQ(this->Read(this->At("Dbcs\\")), "");
}

TYPED_TEST_P(RegistryBehaviour, TextsBeyondTheLimitsFailWithoutSideEffects) {
  // A remainder of 256 bytes or more is refused whole.
  std::string long_path = this->At(std::string(300, 'k') + "\\Value");
  EXPECT_FALSE(this->Write(long_path, "x"));
  EXPECT_EQ(this->Read(long_path), "");
  EXPECT_FALSE(DeleteRegistryEntry(this->reg(), ShiftJisLeadBytes(), long_path.c_str()));
  // A single key name of 256 bytes cannot be opened or created.
  EXPECT_FALSE(this->Exists(this->At(std::string(256, 'n'))));
  EXPECT_FALSE(this->Exists(this->At(std::string(300, 'n') + "\\x")));
}

REGISTER_TYPED_TEST_SUITE_P(
    RegistryBehaviour, WrittenStringReadsBackAndCreatesTheKeyPath,
    PathEndingInABackslashNamesTheDefaultValue, EmptyDataWritesOneZeroByteAndReadsAsMissing,
    ValuesOfEveryTypeReadAsTheirBytesUpToTheFirstZero, ShiftJisDataRoundTripsByteForByte,
    DeleteRemovesAValueOrWithAFinalBackslashTheKey, KeyWithSubkeysIsNotDeleted,
    ExistenceTestTakesTheWholeRemainderAsKeyPath, DoubleByteNameSplitsOnlyAtRealBackslashes,
    TextsBeyondTheLimitsFailWithoutSideEffects);

}  // namespace setup::testing
