// MakeDir, BinCopy and DiskCheck, and the file steps they are made of. Each
// returns true on success and false when the failure has been reported.
#pragma once

#include "engine/script_engine.h"

namespace setup {

// MakeDir FOLDER: creates the folder (an existing one is fine).
bool MakeDirCommand(ScriptEngine& engine, char* arguments);
// BinCopy SOURCE DESTINATION: copies byte for byte over any old file, its
// read-only bit cleared first.
bool BinCopyCommand(ScriptEngine& engine, char* arguments);
// DiskCheck FILE PROMPT: waits until FILE is on the medium (WaitForDisk).
bool DiskCheckCommand(ScriptEngine& engine, char* arguments);

// Creates one folder; an existing folder or file of that name counts as
// success. Reports nothing.
bool CreateFolder(ScriptEngine& engine, const char* path);
// Clears the read-only bit of path when it is set; true when nothing was
// left to clear. Reports nothing.
bool ClearReadOnly(ScriptEngine& engine, const char* path);
// Asks for the disk with prompt until file opens in the program folder;
// false (reported) when the user cancels.
bool WaitForDisk(ScriptEngine& engine, const char* file, const char* prompt);

}  // namespace setup
