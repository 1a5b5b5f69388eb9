// setup.exe's command line: Windows-style options, case-insensitive, each a
// word of its own (blanks inside double quotes belong to the word):
//
//   /S               silent: no setup dialog and no message box
//   /D=folder        the first folder, as if typed in the setup dialog
//   /D2=folder       the second folder
//   /LANG=english|japanese   the run's language (Japanese by default)
//   /?               the usage, nothing installed
//
// The folder of /D= and /D2= may hold blanks: it runs to the end of the
// command line, or to a blank before another /D= or /D2=, and loses the
// blanks at both of its ends and a pair of double quotes around it.
// No OS header: the tests read it on every platform.
#pragma once

#include "engine/script_engine.h"

namespace setup::win32 {

struct CommandLine {
  bool silent = false;
  bool usage = false;    // /? was given
  bool unknown = false;  // a word that is no option: the usage, and exit status 2
  bool english = false;  // /LANG=english; else the run is Japanese
  // Null when not given (an empty /D= counts as not given); they point into
  // the parsed line.
  const char* folder1 = nullptr;
  const char* folder2 = nullptr;
};

// Parses line (WinMain's, without the program's name) in place: values are
// cut out of it with zero bytes.
CommandLine ParseCommandLine(char* line);

// The usage, for its message box.
inline constexpr char kUsageText[] =
    "setup [/S] [/LANG=english|japanese] [/D=folder] [/D2=folder]\n\n"
    "Exit codes: 0 installed, 1 stopped, 2 wrong command line, 3 cancelled, "
    "4 installed with errors";

}  // namespace setup::win32
