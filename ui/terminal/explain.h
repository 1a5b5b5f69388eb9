// What an error message of the engine means, in English and in compiler
// form, for standard error: the run says where it stopped and why in the
// words the medium check uses for the same fault.
#pragma once

#include <string>
#include <vector>

#include "engine/script_engine.h"

namespace setup::terminal {

// One line of an explanation: "file:line: error: text" (or "note:").
struct Explanation {
  std::string file;   // the Windows path the engine knows the file by; empty: none
  int line = 0;       // 1-based; 0 for the file as a whole
  bool note = false;  // a note on the error before it
  std::string text;   // English, script and machine text quoted in the ANSI code page
};

// The explanation of an error the engine showed while engine stood where
// it reported it (its script line, the text being copied, the Goto's label).
std::vector<Explanation> ExplainEngineError(const EngineError& error, const ScriptEngine& engine);

// The explanation of a message the script itself shows to end the run
// (ErrorExit) on the current line.
std::vector<Explanation> ExplainErrorExit(const ScriptEngine& engine);

// The explanation of a component that Regsvr could not register.
std::vector<Explanation> ExplainRegistration(const char* text, const ScriptEngine& engine);

}  // namespace setup::terminal
