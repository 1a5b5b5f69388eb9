// Loading modules and running programs, for component registration.
#pragma once

#include <cstdint>

namespace setup {

using ModuleHandle = std::uintptr_t;
using ProcessHandle = std::uintptr_t;

class Components {
 public:
  virtual ~Components() = default;

  // LoadLibraryA; 0 on failure.
  virtual ModuleHandle LoadModule(const char* path) = 0;
  // Looks up the export name and calls it with no arguments; false when the
  // export is missing, else true with its 32-bit status.
  virtual bool CallExport(ModuleHandle module, const char* name, long* status) = 0;
  // FreeLibrary.
  virtual void FreeModule(ModuleHandle module) = 0;
  // CreateProcessA with the command line alone naming the program, folder as
  // its current folder (the caller's when folder is empty), normal window.
  // 0 when it cannot be started.
  virtual ProcessHandle StartProcess(const char* command_line, const char* folder) = 0;
  // True once the process has ended; never blocks.
  virtual bool HasEnded(ProcessHandle process) = 0;
  // Sleeps the given milliseconds.
  virtual void Sleep(unsigned milliseconds) = 0;
  // Releases the process (and its thread) handles.
  virtual void CloseProcess(ProcessHandle process) = 0;
};

}  // namespace setup
