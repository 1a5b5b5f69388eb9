// The registry as the engine sees it: keys opened one name at a time below
// five predefined roots, values read and written as typed byte blocks.
// Results are Windows error codes: 0 for success.
#pragma once

#include <cstdint>

namespace setup {

using RegKey = std::uintptr_t;

enum class RootKey { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

inline constexpr unsigned kKeyRead = 0x20019;       // KEY_READ
inline constexpr unsigned kKeyReadWrite = 0x2001F;  // KEY_READ | KEY_WRITE
inline constexpr unsigned kRegSz = 1;
inline constexpr unsigned kRegExpandSz = 2;
inline constexpr unsigned kRegBinary = 3;
inline constexpr unsigned kRegDword = 4;
inline constexpr unsigned kRegMultiSz = 7;
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;

class Registry {
 public:
  virtual ~Registry() = default;

  // The predefined key for a root; never closed.
  virtual RegKey Root(RootKey root) = 0;
  // RegOpenKeyExA: opens name below parent ("" reopens parent).
  virtual long OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) = 0;
  // RegCreateKeyExA: opens or creates name below parent, non-volatile.
  virtual long CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) = 0;
  // RegQueryValueExA: with data null only type and size are returned.
  virtual long QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                          unsigned* size) = 0;
  // RegSetValueExA.
  virtual long SetValue(RegKey key, const char* name, unsigned type, const void* data,
                        unsigned size) = 0;
  // RegDeleteValueA.
  virtual long DeleteValue(RegKey key, const char* name) = 0;
  // RegDeleteKeyA: "" deletes key itself.
  virtual long DeleteKey(RegKey key, const char* subkey) = 0;
  // RegCloseKey; roots are ignored.
  virtual void CloseKey(RegKey key) = 0;
};

}  // namespace setup
