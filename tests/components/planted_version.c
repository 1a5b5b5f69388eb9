/* A version.dll planted beside setup.exe, as an attacker would plant it. It
   claims version 9.9.9.9 for every file, so a script that reads a version
   shows which version.dll answered. (Wine's own user32 imports version.dll,
   unlike Windows's, so under Wine this DLL is loaded at every start-up
   whatever setup.exe does; its wide functions pass on to the system's copy
   for that.) */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <string.h>

#define EXPORT __declspec(dllexport)

static const char kTranslation[4] = {0x09, 0x04, 0xE4, 0x04};
static const char kVersion[] = "9.9.9.9";

static FARPROC Real(const char* name) {
  static HMODULE real;
  if (real == NULL) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH - 16);
    if (length == 0 || length >= MAX_PATH - 16) return NULL;
    strcpy(path + length, "\\version.dll");
    real = LoadLibraryA(path);
    if (real == NULL) return NULL;
  }
  return GetProcAddress(real, name);
}

EXPORT DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
  (void)file;
  if (handle != NULL) *handle = 0;
  return 64;
}

EXPORT BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID block) {
  (void)file;
  (void)handle;
  memset(block, 0, size);
  return TRUE;
}

EXPORT BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* value, PUINT length) {
  (void)block;
  if (strstr(sub_block, "Translation") != NULL) {
    *value = (LPVOID)kTranslation;
    *length = sizeof kTranslation;
  } else {
    *value = (LPVOID)kVersion;
    *length = sizeof kVersion;
  }
  return TRUE;
}

EXPORT DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
  typedef DWORD(WINAPI * Function)(LPCWSTR, LPDWORD);
  Function real = (Function)(void*)Real("GetFileVersionInfoSizeW");
  return real != NULL ? real(file, handle) : 0;
}

EXPORT BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID block) {
  typedef BOOL(WINAPI * Function)(LPCWSTR, DWORD, DWORD, LPVOID);
  Function real = (Function)(void*)Real("GetFileVersionInfoW");
  return real != NULL && real(file, handle, size, block);
}

EXPORT BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* value, PUINT length) {
  typedef BOOL(WINAPI * Function)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  Function real = (Function)(void*)Real("VerQueryValueW");
  return real != NULL && real(block, sub_block, value, length);
}
