// Removal of a whole key tree, for tests that clean up after themselves. A
// file of its own, so the installer (which never needs it) does not import
// RegDeleteTreeA, which older systems lack.
#include <windows.h>

#include "platform/win32/registry_win32.h"

namespace setup::win32 {

bool DeleteKeyTree(RootKey root, const char* key_path) {
  std::unique_ptr<Registry> registry = MakeWin32Registry();
  HKEY key = reinterpret_cast<HKEY>(registry->Root(root));
  LONG result = RegDeleteTreeA(key, key_path);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace setup::win32
