/* A self-registering program without the export: it writes its command line
   and its current folder to "<its own file>.log" and ends with exit code 3,
   which callers must not take for a failure. */
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  char own[4096];
  char folder[4096];
#if defined(_WIN32)
  (void)argc;
  (void)argv;
  DWORD length = GetModuleFileNameA(NULL, own, sizeof own - 8);
  if (length == 0 || length >= sizeof own - 8) return 1;
  if (GetCurrentDirectoryA(sizeof folder, folder) == 0) return 1;
#else
  ssize_t length = readlink("/proc/self/exe", own, sizeof own - 8);
  if (length <= 0) return 1;
  own[length] = '\0';
  if (getcwd(folder, sizeof folder) == NULL) return 1;
#endif
  strcat(own, ".log");
  FILE* log = fopen(own, "wb");
  if (log == NULL) return 1;
#if defined(_WIN32)
  fprintf(log, "command: %s\n", GetCommandLineA());
#else
  fputs("arguments:", log);
  for (int i = 1; i < argc; ++i) fprintf(log, " [%s]", argv[i]);
  fputs("\n", log);
#endif
  fprintf(log, "folder: %s\n", folder);
  fclose(log);
  return 3;
}
