// The program's entry point (named to the linker in ui/CMakeLists.txt). It
// stands in for the start-up code of mingw's C runtime, crt2.o and what that
// pulls in (the argv parser, TLS callbacks, pseudo-relocations, an
// unhandled-exception filter): the program uses none of that, and it made
// up a sixth of setup.exe. What the program does rely on is done here:
// msvcrt learns that it serves a GUI program, the static constructors run,
// WinMain gets its usual arguments, and the program ends through exit, which
// runs what atexit registered (the static destructors) and flushes the C
// runtime's streams. msvcrt.dll initialises itself when it is loaded.
#include <windows.h>

#include <cstddef>
#include <cstdlib>

#include "platform/win32/library_loading.h"

// The names below are the C runtime's and the linker's, so they keep their
// spelling.
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" {

// From msvcrt.dll: the kind of program (2: GUI) for its error reports.
void __cdecl __set_app_type(int type);

// Built by the linker's default script: -1, the static constructors, 0.
extern void (*__CTOR_LIST__[])();

// mingw's C runtime defines atexit in the start-up code this file replaces,
// on msvcrt's _onexit, whose list msvcrt's exit runs.
int __cdecl atexit(void(__cdecl* function)()) {
  return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// The stack is aligned for the compiler's code whatever the caller left.
__attribute__((force_align_arg_pointer, noreturn)) void SetupEntry() {
  // Before any library can be loaded: none from the program's folder.
  setup::win32::RestrictLibrarySearch();
  // setup.exe runs from the disks it asks for: an empty drive or a missing
  // file is a failure the program reports in its own words, never the
  // system's "no disk" box over the setup window.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  __set_app_type(2);

  // The constructors run from the last to the first, as libgcc's own
  // start-up runs them.
  size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (; count > 0; --count) __CTOR_LIST__[count]();

  // WinMain's command line is the process's without the program's name
  // (quoted parts may hold blanks) and the blanks after it.
  auto* line = reinterpret_cast<unsigned char*>(GetCommandLineA());
  bool quoted = false;
  while (*line > ' ' || (*line != '\0' && quoted)) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line != '\0' && *line <= ' ') ++line;

  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, reinterpret_cast<char*>(line), show));
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
