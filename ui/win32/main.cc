// WinMain: wires the Win32 back ends of the machine into the application and
// runs its start-up.
#include <ole2.h>
#include <windows.h>
// windows.h makes FreeModule a macro; the Components interface has a member
// of that name.
#undef FreeModule

#include <cstdlib>
#include <new>

#include "platform/win32/components_win32.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/version_info_win32.h"
#include "ui/win32/command_line.h"
#include "ui/win32/framework.h"
#include "ui/win32/setup_app.h"

// The program is built without exceptions: allocation failure ends it at once
// instead of pulling in the C++ runtime's exception machinery for bad_alloc.
void* operator new(size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) abort();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR line, int) {
  // Without arguments, everything is as it always was.
  using namespace setup;
  win32::CommandLine options = win32::ParseCommandLine(line);
  // The back ends live as long as the program; the application holds pointers.
  // Nothing is static: the program has no writable data of its own.
  const auto system_info = win32::NewSystemInfo();
  const auto file_system = win32::NewFileSystem(win32::DispatchPendingMessages);
  const auto registry = win32::MakeWin32Registry();
  const auto version_info = win32::NewVersionInfo();
  const auto components = win32::NewComponents();
  // The one application object; its engine state (about 100 KB) is not for
  // the stack, and never freed: the program ends with it. It starts zeroed,
  // as a static object would.
  void* memory = calloc(1, sizeof(win32::CSetupApp));
  if (memory == nullptr) abort();
  auto* app = new (memory) win32::CSetupApp(Platform{
      system_info.get(), file_system.get(), registry.get(), version_info.get(), components.get()});
  // The thread is a single-threaded apartment for the whole program, as the
  // system's registration tool makes it: components registered in-process
  // create their registrars through COM, and the folder picker needs it.
  HRESULT com = OleInitialize(nullptr);
  int status = app->Run(options);
  if (SUCCEEDED(com)) OleUninitialize();
  // Whatever happened has been shown; the status tells a calling program.
  return status;
}
