// The application object: the one engine, its user interface, and start-up.
#pragma once

#include "engine/script_engine.h"
#include "ui/win32/win32_ui.h"

namespace setup::win32 {

class CSetupApp {
 public:
  // The application over the machine's back ends; construct it once, as a
  // static object (the engine state is large).
  explicit CSetupApp(const Platform& platform);
  CSetupApp(const CSetupApp&) = delete;
  CSetupApp& operator=(const CSetupApp&) = delete;

  // Prepares the controls and runs the engine's start-up, which shows the
  // setup dialog; says how it ended. The program ends afterwards.
  SetupResult InitInstance();
  // The program's exit status after a start-up that ended with result.
  int ExitStatus(SetupResult result) const;

 private:
  Win32Ui ui_;  // before the engine, which keeps a reference to it

 public:
  ScriptEngine engine;
};

}  // namespace setup::win32
