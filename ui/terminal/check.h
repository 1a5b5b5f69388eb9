// setup --check: the medium check of engine/checker on the terminal.
#pragma once

#include <string>

#include "ui/terminal/options.h"

namespace setup::terminal {

// Exit statuses of a check: clean, warnings only, errors (or a medium that
// cannot be checked).
inline constexpr int kCheckClean = 0;
inline constexpr int kCheckWarnings = 1;
inline constexpr int kCheckErrors = 2;

// Checks the medium of options (default: the program's folder) and prints
// one line per diagnostic and a summary line to standard output. Reads the
// medium only; no machine folder is made or read. Returns the exit status.
int RunCheck(const Options& options, const std::string& caption);

}  // namespace setup::terminal
