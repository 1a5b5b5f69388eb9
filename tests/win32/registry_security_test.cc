// What the shared registry suite cannot say about the Win32 back end: a key
// an administrator may read but not write (as system-owned keys are) still
// reads and tests as present. Wine enforces key DACLs as Windows does.
#include <gtest/gtest.h>

#include <string>

#include "engine/registry_access.h"
#include "tests/backend/registry_backend.h"
#include "tests/fakes/registry_suite.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// sddl.h needs windows.h before it.
#include <sddl.h>

namespace setup::testing {
namespace {

// Gives the key below HKEY_CURRENT_USER the DACL of sddl (its owner may
// always change it back).
void SetKeyDacl(const std::string& key_path, const char* sddl) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(key);
}

TEST(Win32RegistrySecurityTest, ReadOnlyKeyReadsAndTestsAsPresent) {
  RealRegistry real;
  Registry& registry = real.registry();
  const std::string path = real.base + "\\Locked\\Value";
  ASSERT_TRUE(WriteRegistryString(registry, ShiftJisLeadBytes(), path.c_str(), "data", kRegSz));
  const std::string key_path = real.base.substr(sizeof "HKEY_CURRENT_USER\\" - 1) + "\\Locked";
  SetKeyDacl(key_path, "D:P(A;;KR;;;WD)");  // everyone may read, nobody write

  char value[64];
  ReadRegistryString(registry, ShiftJisLeadBytes(), path.c_str(), value, sizeof value);
  EXPECT_STREQ(value, "data");
  EXPECT_TRUE(RegistryKeyExists(registry, ShiftJisLeadBytes(), (real.base + "\\Locked").c_str()));
  // Writing still asks for write access, and is refused.
  EXPECT_FALSE(WriteRegistryString(registry, ShiftJisLeadBytes(), path.c_str(), "new", kRegSz));

  SetKeyDacl(key_path, "D:P(A;;KA;;;WD)");  // so the fixture can remove it
}

}  // namespace
}  // namespace setup::testing