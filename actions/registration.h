// The Regsvr command and the two routes by which it registers a component.
#pragma once

#include "engine/script_engine.h"

namespace setup {

// Regsvr PATH: registers the component; false when it could not be done
// (reported, or the path was malformed).
bool RegsvrCommand(ScriptEngine& engine, char* arguments);
// Registers path in process, else as a program run with "/regserver" in its
// own folder; false after "registration can't be done" has been shown.
bool RegisterComponent(ScriptEngine& engine, const char* path);
// Loads path and calls its DllRegisterServer; true only when that returned
// S_OK. Reports nothing.
bool RegisterInProcess(ScriptEngine& engine, const char* path);
// Starts program (quoted) with arguments in folder and waits for its end,
// keeping the user interface responsive meanwhile; false when it could not
// be started. Reports nothing.
bool RunAndWait(ScriptEngine& engine, const char* program, const char* folder,
                const char* arguments);

}  // namespace setup
