// The application object: the one engine, its user interface, and start-up.
#pragma once

#include "engine/script_engine.h"
#include "ui/win32/command_line.h"
#include "ui/win32/win32_ui.h"

namespace setup::win32 {

class CSetupApp {
 public:
  // The application over the machine's back ends; construct it once, as a
  // static object (the engine state is large).
  explicit CSetupApp(const Platform& platform);
  CSetupApp(const CSetupApp&) = delete;
  CSetupApp& operator=(const CSetupApp&) = delete;

  // The whole program as options say: the usage when asked for (or for a
  // wrong command line), else the engine's start-up, which shows the setup
  // dialog (or, silent, runs at once). Returns the exit status.
  int Run(const CommandLine& options);

 private:
  // Prepares the controls and runs the engine's start-up.
  SetupResult InitInstance();

  Win32Ui ui_;  // before the engine, which keeps a reference to it

 public:
  ScriptEngine engine;
};

}  // namespace setup::win32
