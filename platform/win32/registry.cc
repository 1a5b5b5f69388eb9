// The Registry interface over the ANSI registry functions of advapi32.
#include <windows.h>

#include "platform/win32/registry_win32.h"

namespace setup::win32 {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

class Win32Registry : public Registry {
 public:
  RegKey Root(RootKey root) override {
    switch (root) {
      case RootKey::kClassesRoot:
        return FromHkey(HKEY_CLASSES_ROOT);
      case RootKey::kCurrentUser:
        return FromHkey(HKEY_CURRENT_USER);
      case RootKey::kLocalMachine:
        return FromHkey(HKEY_LOCAL_MACHINE);
      case RootKey::kUsers:
        return FromHkey(HKEY_USERS);
      case RootKey::kCurrentConfig:
        return FromHkey(HKEY_CURRENT_CONFIG);
    }
    return 0;
  }

  long OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) override {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(ToHkey(parent), name, 0, access, &opened);
    *key = result == ERROR_SUCCESS ? FromHkey(opened) : 0;
    return result;
  }

  long CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) override {
    HKEY opened = nullptr;
    // Non-volatile, no class, default security.
    LONG result = RegCreateKeyExA(ToHkey(parent), name, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &opened, nullptr);
    *key = result == ERROR_SUCCESS ? FromHkey(opened) : 0;
    return result;
  }

  long QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                  unsigned* size) override {
    DWORD value_type = 0;
    DWORD value_size = size != nullptr ? *size : 0;
    LONG result =
        RegQueryValueExA(ToHkey(key), name, nullptr, &value_type, static_cast<BYTE*>(data),
                         size != nullptr ? &value_size : nullptr);
    if (type != nullptr) *type = value_type;
    if (size != nullptr) *size = value_size;
    return result;
  }

  long SetValue(RegKey key, const char* name, unsigned type, const void* data,
                unsigned size) override {
    return RegSetValueExA(ToHkey(key), name, 0, type, static_cast<const BYTE*>(data), size);
  }

  long DeleteValue(RegKey key, const char* name) override {
    return RegDeleteValueA(ToHkey(key), name);
  }

  long DeleteKey(RegKey key, const char* subkey) override {
    return RegDeleteKeyA(ToHkey(key), subkey);
  }

  void CloseKey(RegKey key) override {
    // The predefined keys are never closed. (A constant table: a list
    // written in the loop would be writable data of its own.)
    static constexpr RootKey kRoots[] = {RootKey::kClassesRoot, RootKey::kCurrentUser,
                                         RootKey::kLocalMachine, RootKey::kUsers,
                                         RootKey::kCurrentConfig};
    for (RootKey root : kRoots) {
      if (key == Root(root)) return;
    }
    RegCloseKey(ToHkey(key));
  }
};

}  // namespace

std::unique_ptr<Registry> MakeWin32Registry() { return std::make_unique<Win32Registry>(); }

}  // namespace setup::win32
