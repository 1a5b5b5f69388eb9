// The command line of the terminal setup program.
#pragma once

#include <string>

namespace setup::terminal {

struct Options {
  bool help = false;
  bool version = false;
  std::string medium;        // folder holding Setup.Inf; empty: the program's folder
  std::string machine;       // folder of the simulated machine; empty: the default
  unsigned code_page = 0;    // --code-page: 932 or 1252; 0 when not given
  bool host_access = false;  // the script may reach the whole host
  // Regsvr may run native host code (implied by host_access).
  bool native_components = false;
  // How the run goes: --trace, --language, --yes, --folder, --folder2.
  bool trace = false;       // each script line and its outcome on standard error
  bool english = false;     // --language english; the default is a Japanese run
  bool unattended = false;  // --yes: every question takes its default answer
  std::string folder1;      // the dialog's folders as typed; empty: the script's
  std::string folder2;
  bool check = false;    // --check: check the medium, install nothing
  bool werror = false;   // --werror: a check's warnings count as errors
  bool dry_run = false;  // run against a copy of the machine, show the changes
  std::string error;     // set when the command line is wrong
};

// Reads argv[1..argc-1]: --help (-h), --version (-V), --host-access,
// --native-components, --dry-run,
// --medium DIR, --machine DIR, --code-page 932|1252, --check, --werror, --trace, --yes (-y),
// --language english|japanese, --folder PATH, --folder2 PATH (values also
// written --medium=DIR). Anything else sets error to a one-line explanation.
Options ParseOptions(int argc, const char* const* argv);

// The text --help prints; program is the name the program was started as.
std::string UsageText(const std::string& program);

// The text --version prints.
std::string VersionText();

// The program's name without folder and extension ("setup"): the caption of
// its message boxes.
std::string ProgramCaption(const char* argv0);

}  // namespace setup::terminal
