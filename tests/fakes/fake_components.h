// A Components that records what was loaded, called and started, with
// scripted modules, programs and export statuses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/components.h"

namespace setup::testing {

class FakeComponents : public Components {
 public:
  // A loadable module: whether it has the export, and the status it returns.
  struct Module {
    bool has_export = true;
    long status = 0;
  };

  // Paths LoadModule succeeds for.
  std::map<std::string, Module> modules;
  // Program paths (as written between the quotes of a command line, or as
  // its first word) that StartProcess succeeds for.
  std::set<std::string> programs;
  // How many times HasEnded answers false before a started program ends.
  int polls_before_end = 2;

  // Everything that happened, one line each:
  //   "load PATH" / "load PATH failed", "call NAME -> STATUS" /
  //   "call NAME missing", "free PATH", "start [CMD] in [FOLDER]" (with
  //   " failed" when refused), "close".
  std::vector<std::string> events;
  int sleep_count = 0;
  unsigned slept_ms = 0;  // all sleeps together
  // Handles loaded or started and not yet freed or closed.
  int open_modules = 0;
  int open_processes = 0;

  ModuleHandle LoadModule(const char* path) override;
  bool CallExport(ModuleHandle module, const char* name, long* status) override;
  void FreeModule(ModuleHandle module) override;
  ProcessHandle StartProcess(const char* command_line, const char* folder) override;
  bool HasEnded(ProcessHandle process) override;
  void Sleep(unsigned milliseconds) override;
  void CloseProcess(ProcessHandle process) override;

  // The "start ..." events only, for expectations about the process route.
  std::vector<std::string> Starts() const;

 private:
  std::vector<std::string> loaded_;  // path of each handle, handle = index + 1
  std::vector<int> polls_left_;      // per process, handle = index + 1
};

}  // namespace setup::testing
