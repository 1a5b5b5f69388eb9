/* A test component with a DllRegisterServer export that returns
   REGISTER_STATUS and leaves "<its own file>.ran" beside itself, so a test
   can tell that it ran. Built as a Windows DLL and as a shared object.
   Windows variants: USE_HELPER imports a private DLL that lies beside the
   component only; REQUIRE_STA fails unless its caller made the thread a
   single-threaded COM apartment, as the system's registration tool does. */
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#if defined(REQUIRE_STA)
#include <objbase.h>
#endif
#define EXPORT __declspec(dllexport)
#define CALLING __stdcall
#else
#define _GNU_SOURCE
#include <dlfcn.h>
#define EXPORT __attribute__((visibility("default")))
#define CALLING
#endif

#include <stdio.h>
#include <string.h>

#ifndef REGISTER_STATUS
#define REGISTER_STATUS 0
#endif

static int OwnPath(char* path, size_t size) {
#if defined(_WIN32)
  HMODULE self = NULL;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          (LPCSTR)(void*)&OwnPath, &self)) {
    return 0;
  }
  DWORD length = GetModuleFileNameA(self, path, (DWORD)size);
  return length > 0 && length < size;
#else
  Dl_info info;
  if (dladdr((void*)&OwnPath, &info) == 0 || info.dli_fname == NULL) return 0;
  if (strlen(info.dli_fname) >= size) return 0;
  strcpy(path, info.dli_fname);
  return 1;
#endif
}

#if defined(USE_HELPER)
__declspec(dllimport) int HelperValue(void);
#endif

EXPORT long CALLING DllRegisterServer(void) {
#if defined(USE_HELPER)
  if (HelperValue() != 42) return 0x80004005L;
#endif
#if defined(REQUIRE_STA)
  /* S_FALSE: the thread already is a single-threaded apartment. */
  HRESULT apartment = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(apartment)) CoUninitialize();
  if (apartment != S_FALSE) return 0x800401F0L; /* CO_E_NOTINITIALIZED */
#endif
  char marker[4096];
  if (OwnPath(marker, sizeof marker - 8)) {
    strcat(marker, ".ran");
    FILE* file = fopen(marker, "ab");
    if (file != NULL) {
      fputs("DllRegisterServer\n", file);
      fclose(file);
    }
  }
  return REGISTER_STATUS;
}
