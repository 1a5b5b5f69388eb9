// A self-registering test program: with /regserver it takes a few seconds, so
// a test can click around setup.exe while setup waits for it, then appends one
// line to regserver.log beside itself.
#include <stdio.h>
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  if (strstr(command_line, "/regserver") == nullptr) return 2;
  Sleep(3000);
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH - 16);
  path[length] = '\0';
  char* slash = strrchr(path, '\\');
  strcpy(slash != nullptr ? slash + 1 : path, "regserver.log");
  FILE* log = fopen(path, "ab");
  if (log == nullptr) return 1;
  fputs("registered\n", log);
  fclose(log);
  return 0;
}
