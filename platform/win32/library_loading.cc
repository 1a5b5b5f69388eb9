// Library loading that never takes a DLL from the program's own folder.
#include "platform/win32/library_loading.h"

#include <cstring>

namespace setup::win32 {
namespace {

// The search flags of newer systems; older headers lack them.
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32

// A kernel32 function that older systems lack, looked up by name so that the
// program still starts there.
FARPROC KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

// The search flags above work where SetDefaultDllDirectories exists.
bool HasSearchFlags() { return KernelFunction("SetDefaultDllDirectories") != nullptr; }

}  // namespace

void RestrictLibrarySearch() {
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  using SetDirectory = BOOL(WINAPI*)(LPCSTR);
  auto set_default = reinterpret_cast<SetDefaultDirectories>(
      reinterpret_cast<void*>(KernelFunction("SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(kSearchSystem32)) return;
  auto set_directory =
      reinterpret_cast<SetDirectory>(reinterpret_cast<void*>(KernelFunction("SetDllDirectoryA")));
  if (set_directory != nullptr) set_directory("");
}

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  size_t name_length = std::strlen(name);
  if (length == 0 || length + 1 + name_length >= MAX_PATH) return nullptr;
  path[length] = '\\';
  std::memcpy(path + length + 1, name, name_length + 1);
  return LoadLibraryExA(path, nullptr, HasSearchFlags() ? kSearchSystem32 : 0);
}

HMODULE LoadManifestLibrary(const char* name) {
  // Where the search cannot be restricted, the manifest's side-by-side
  // assembly is still found before any folder is searched.
  return LoadLibraryExA(name, nullptr, HasSearchFlags() ? kSearchSystem32 : 0);
}

HMODULE LoadComponentLibrary(const char* path) {
  // Both ways of searching the module's own folder want a full name.
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return LoadLibraryA(path);
  // Its own folder and the system folder; not the default folders, which
  // include the program's own.
  if (HasSearchFlags()) return LoadLibraryExA(full, nullptr, kSearchDllLoadDir | kSearchSystem32);
  return LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace setup::win32
