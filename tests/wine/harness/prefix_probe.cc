// Checks the Wine test harness itself: each test gets a fresh prefix with
// the template's settings, the locale it asked for and a working display.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kMarkerFile[] = "C:\\setup_probe_marker.txt";
const char kMarkerKey[] = "Software\\SetupProbe";

int Fail(const char* what) {
  std::printf("FAILED: %s\n", what);
  return 1;
}

// Nothing of an earlier test may be visible; then leave traces for the next.
int CheckFresh() {
  if (GetFileAttributesA(kMarkerFile) != INVALID_FILE_ATTRIBUTES) {
    return Fail("a file written by an earlier test is in the prefix");
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return Fail("a registry key written by an earlier test is in the prefix");
  }
  HANDLE file = CreateFileA(kMarkerFile, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("cannot write to drive C:");
  CloseHandle(file);
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return Fail("cannot create a registry key");
  }
  RegCloseKey(key);

  // The template's setting that spares a 2 s wait at every closed window.
  char value[8] = {};
  DWORD size = sizeof(value);
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return Fail("HKCU\\Software\\Wine\\X11 Driver is missing");
  }
  LONG rc =
      RegQueryValueExA(key, "Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || std::strcmp(value, "N") != 0) return Fail("Managed is not N");
  std::printf("fresh prefix\n");
  return 0;
}

// The locale of the test decides the ANSI code page and the user language.
int CheckCodePage(unsigned expected) {
  unsigned acp = GetACP();
  std::printf("code page %u, language 0x%04x\n", acp, GetUserDefaultLangID());
  if (acp != expected) return Fail("unexpected ANSI code page");
  if (expected == 932 && (!IsDBCSLeadByte(0x81) || GetUserDefaultLangID() != 0x0411)) {
    return Fail("code page 932 without Japanese lead bytes or language");
  }
  return 0;
}

// A window can be made, shown and destroyed on the test's display.
int CheckWindow() {
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return Fail("CreateWindowEx failed");
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  bool visible = IsWindowVisible(window) != FALSE;
  DestroyWindow(window);
  int width = GetSystemMetrics(SM_CXSCREEN);
  std::printf("screen width %d\n", width);
  if (!visible) return Fail("the window is not visible");
  if (width != 1024) return Fail("not the harness's 1024x768 display");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "fresh") == 0) return CheckFresh();
  if (argc == 3 && std::strcmp(argv[1], "codepage") == 0) {
    return CheckCodePage(static_cast<unsigned>(std::atoi(argv[2])));
  }
  if (argc == 2 && std::strcmp(argv[1], "window") == 0) return CheckWindow();
  std::printf("usage: prefix_probe fresh | codepage N | window\n");
  return 2;
}
