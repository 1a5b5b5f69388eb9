// Components over the module, process and message calls of the Windows API.
#include "platform/win32/components_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The interface uses the plain name that <windows.h> defines as a macro.
#undef FreeModule

#include <cstring>

#include "platform/win32/library_loading.h"

namespace setup::win32 {
namespace {

// The self-registration exports are STDAPI functions without arguments.
using ExportFunction = HRESULT(STDAPICALLTYPE*)();

// What a ProcessHandle stands for: both handles CreateProcessA returns.
struct StartedProcess {
  HANDLE process;
  HANDLE thread;
};

class Win32Components : public Components {
 public:
  ModuleHandle LoadModule(const char* path) override {
    return reinterpret_cast<ModuleHandle>(LoadComponentLibrary(path));
  }

  bool CallExport(ModuleHandle module, const char* name, long* status) override {
    FARPROC address = ::GetProcAddress(reinterpret_cast<HMODULE>(module), name);
    if (address == nullptr) return false;
    // GetProcAddress returns a generic function pointer; the caller names an
    // export of the known shape.
    ExportFunction function = reinterpret_cast<ExportFunction>(reinterpret_cast<void*>(address));
    *status = function();
    return true;
  }

  void FreeModule(ModuleHandle module) override {
    ::FreeLibrary(reinterpret_cast<HMODULE>(module));
  }

  ProcessHandle StartProcess(const char* command_line, const char* folder) override {
    // CreateProcessA may write into the command line, so it gets a copy.
    size_t length = strlen(command_line);
    if (length >= sizeof line_) return 0;
    memcpy(line_, command_line, length + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    const char* current = (folder != nullptr && folder[0] != '\0') ? folder : nullptr;
    if (!::CreateProcessA(nullptr, line_, nullptr, nullptr, FALSE, 0, nullptr, current, &startup,
                          &info)) {
      return 0;
    }
    return reinterpret_cast<ProcessHandle>(new StartedProcess{info.hProcess, info.hThread});
  }

  bool HasEnded(ProcessHandle process) override {
    // Anything but "still running" ends the wait, so a failing handle can
    // never keep the caller waiting for ever.
    return ::WaitForSingleObject(reinterpret_cast<StartedProcess*>(process)->process, 0) !=
           WAIT_TIMEOUT;
  }

  void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }

  void CloseProcess(ProcessHandle process) override {
    StartedProcess* started = reinterpret_cast<StartedProcess*>(process);
    ::CloseHandle(started->thread);
    ::CloseHandle(started->process);
    delete started;
  }

 private:
  // The copy of a command line that CreateProcessA may write into; the
  // system's own limit is 32767 characters.
  char line_[32768];  // NOLINT(*-member-init): written before each use
};

}  // namespace

std::unique_ptr<Components> NewComponents() { return std::make_unique<Win32Components>(); }

}  // namespace setup::win32
