// Command-line options, usage and version text of the terminal program.
#include "ui/terminal/options.h"

#include <cstring>

#include "platform/posix/registry_store.h"

#ifndef SETUP_VERSION
#define SETUP_VERSION "9"
#endif

namespace setup::terminal {
namespace {

// Takes the value of an option that needs one, from "--name=value" or from
// the next argument. False when there is none.
bool TakeValue(const char* name, int argc, const char* const* argv, int* i, std::string* value,
               bool* matched) {
  const char* arg = argv[*i];
  size_t n = std::strlen(name);
  *matched = false;
  if (std::strncmp(arg, name, n) != 0) return true;
  if (arg[n] == '=') {
    *matched = true;
    *value = arg + n + 1;
    return !value->empty();
  }
  if (arg[n] != '\0') return true;  // a longer option that begins alike
  *matched = true;
  if (*i + 1 >= argc) return false;
  *value = argv[++*i];
  return !value->empty();
}

// The options that shape the run (--trace, --yes, --language, --folder,
// --folder2). True when argv[*i] is one of them, with options->error set
// when it is malformed; false for any other argument.
bool TakeRunOption(int argc, const char* const* argv, int* i, Options* options) {
  const char* arg = argv[*i];
  if (std::strcmp(arg, "--trace") == 0) {
    options->trace = true;
    return true;
  }
  if (std::strcmp(arg, "--yes") == 0 || std::strcmp(arg, "-y") == 0) {
    options->unattended = true;
    return true;
  }
  bool matched = false;
  std::string language;
  if (!TakeValue("--language", argc, argv, i, &language, &matched) ||
      (matched && language != "english" && language != "japanese")) {
    options->error = "option '--language' needs english or japanese";
    return true;
  }
  if (matched) {
    options->english = language == "english";
    return true;
  }
  for (auto [name, field] :
       {std::pair{"--folder", &options->folder1}, std::pair{"--folder2", &options->folder2}}) {
    if (!TakeValue(name, argc, argv, i, field, &matched)) {
      options->error = std::string("option '") + name + "' needs a folder";
      return true;
    }
    if (matched) return true;
  }
  return false;
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  std::string run_option;  // the first option that only a run uses, as typed
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string name = std::string(arg).substr(0, std::string(arg).find('='));
    if (run_option.empty() && std::strcmp(arg, "--check") != 0 &&
        std::strcmp(arg, "--werror") != 0 && name != "--medium" && name != "-h" &&
        name != "--help" && name != "-V" && name != "--version" && name.size() > 1 &&
        name[0] == '-') {
      run_option = name;
    }
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
      continue;
    }
    if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0) {
      options.version = true;
      continue;
    }
    if (std::strcmp(arg, "--host-access") == 0) {
      options.host_access = true;
      continue;
    }
    if (std::strcmp(arg, "--native-components") == 0) {
      options.native_components = true;
      continue;
    }
    if (std::strcmp(arg, "--dry-run") == 0) {
      options.dry_run = true;
      continue;
    }
    if (std::strcmp(arg, "--check") == 0) {
      options.check = true;
      continue;
    }
    if (std::strcmp(arg, "--werror") == 0) {
      options.werror = true;
      continue;
    }
    if (TakeRunOption(argc, argv, &i, &options)) {
      if (!options.error.empty()) return options;
      continue;
    }
    bool matched = false;
    std::string code_page;
    if (!TakeValue("--code-page", argc, argv, &i, &code_page, &matched) ||
        (matched && code_page != "932" && code_page != "1252")) {
      options.error = "option '--code-page' needs 932 or 1252";
      return options;
    }
    if (matched) {
      options.code_page = code_page == "932" ? 932 : 1252;
      continue;
    }
    for (auto [name, field] :
         {std::pair{"--medium", &options.medium}, std::pair{"--machine", &options.machine}}) {
      if (!TakeValue(name, argc, argv, &i, field, &matched)) {
        options.error = std::string("option '") + name + "' needs a folder";
        return options;
      }
      if (matched) break;
    }
    if (matched) continue;
    // What was typed is shown with its control bytes as \xNN: the
    // explanation stays one line, and no escape sequence reaches the terminal.
    if (arg[0] == '-') {
      options.error = "unknown option '" + posix::DefuseControls(arg) + "'";
    } else {
      options.error = "unexpected argument '" + posix::DefuseControls(arg) + "'";
    }
    return options;
  }
  // A dry run copies the machine; writes elsewhere on the host would be real.
  if (options.dry_run && options.host_access) {
    options.error = "options '--dry-run' and '--host-access' cannot be used together";
  }
  // A native component writes where it likes: the copy would not hold it.
  if (options.dry_run && options.native_components) {
    options.error = "options '--dry-run' and '--native-components' cannot be used together";
  }
  // A check reads the medium alone: a run's option beside it would be
  // ignored while its author believes it applies.
  if (options.check && !run_option.empty()) {
    options.error =
        "option '" + posix::DefuseControls(run_option) + "' cannot be used with '--check'";
  }
  if (options.werror && !options.check) options.error = "option '--werror' needs '--check'";
  // Whoever opens the whole host lets the host's own components run too.
  if (options.host_access) options.native_components = true;
  return options;
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " [--medium DIR] [--machine DIR] [--code-page 932|1252] [--host-access]\n"
         "       [--native-components] [--yes] [--folder PATH] [--folder2 PATH]\n"
         "       [--language english|japanese] [--trace] [--dry-run]\n"
         "       " +
         program +
         " --check [--werror] [--medium DIR]\n"
         "Installs the product described by Setup.Inf on the medium into a simulated\n"
         "Windows machine.\n"
         "\n"
         "  --medium DIR   the distribution medium: the folder that holds Setup.Inf\n"
         "                 and the files it names (default: the folder of this program)\n"
         "  --machine DIR  the simulated machine: DIR/drive_c is drive C: and\n"
         "                 DIR/registry.reg the registry (default:\n"
         "                 $XDG_DATA_HOME/setup-machine or ~/.local/share/setup-machine)\n"
         "  --code-page CP the ANSI code page of a new machine: 932 (Japanese) or\n"
         "                 1252 (Western); default: the one of the locale. A machine\n"
         "                 keeps the code page it was made with, whatever the locale\n"
         "                 of later runs; a different CP for it is refused.\n"
         "  --host-access  open the whole host to the script: Z:\\ reads and writes\n"
         "                 every host folder, relative paths start at the current\n"
         "                 folder, links lead anywhere and Regsvr runs host\n"
         "                 components (implies --native-components)\n"
         "  --native-components\n"
         "                 let Regsvr run native host code from the machine or the\n"
         "                 medium: a shared object's DllRegisterServer (in a child\n"
         "                 process) or a program or script started with /regserver;\n"
         "                 not with --dry-run\n"
         "  -y, --yes      answer every question with its default: the folders as\n"
         "                 shown, OK; a disk prompt is cancelled. Nothing is read from\n"
         "                 standard input\n"
         "  --folder PATH  the first folder of the setup dialog, as typed there\n"
         "                 (e.g. C:\\Apps\\Tool), instead of the script's\n"
         "  --folder2 PATH the same for the second folder\n"
         "  --language L   run the script in English (english) or Japanese (japanese,\n"
         "                 the default, as setup.exe does): TextCopy, JapanCopy and\n"
         "                 EnglishCopy follow it\n"
         "  --trace        print each script line on standard error, after macro\n"
         "                 expansion, with its number and its outcome\n"
         "  --check        check the medium's Setup.Inf and the files it names without\n"
         "                 installing (no machine is used); prints FILE:LINE: error|\n"
         "                 warning: TEXT lines and a summary; exit status 0 clean,\n"
         "                 1 warnings only, 2 errors\n"
         "                 (no other option but --medium and --werror goes with it)\n"
         "  --werror       with --check, and only there: report warnings as errors\n"
         "  --dry-run      run against a throw-away copy of the machine and show what\n"
         "                 the installation would change; the machine stays as it is\n"
         "  -h, --help     show this text and exit\n"
         "  -V, --version  show the version and exit\n"
         "\n"
         "The script writes only inside the machine folder and reads only there and\n"
         "on the medium, which it sees read-only as Z:\\<medium folder>, like a CD;\n"
         "relative paths start at the medium. --host-access lifts these limits.\n"
         "\n"
         "Regsvr runs nothing by default: a Windows DLL exporting DllRegisterServer, or\n"
         "a Windows program, is registered by simulation (the record and --trace say\n"
         "so); anything else cannot be registered. With --native-components a host\n"
         "component runs in a process of its own, with no input and a fixed\n"
         "environment, and is ended when setup is interrupted.\n"
         "\n"
         "Every run keeps a record of what it changed and the messages it showed,\n"
         "with their script lines (UTF-8 text, one a line), and how it ended, in\n"
         "DIR/installs/<time, UTC> <window title>.txt, also when it stops half-way.\n"
         "\n"
         "Questions are read from standard input, one answer per line: a folder (an\n"
         "empty line keeps the one shown), then OK or Cancel (an empty line is OK).\n"
         "The end of the input answers Cancel.\n"
         "\n"
         "Error messages are also written to standard error when standard output is\n"
         "not a terminal; each is explained there in English, at the script line it\n"
         "concerns, as --check would say it (FILE:LINE: error: ...).\n"
         "\n"
         "Exit status:\n"
         "  0  installed, and no error message was shown\n"
         "  1  the installation stopped (its message was shown) or could not start\n"
         "  2  wrong command line\n"
         "  3  cancelled in the setup dialog (nothing was installed) or interrupted\n"
         "  4  installed, but an error message was shown on the way (a registry\n"
         "     write error, a Goto label that never came, ...)\n";
}

std::string VersionText() {
  return std::string("Setup Version ") + SETUP_VERSION + " (terminal)\n";
}

std::string ProgramCaption(const char* argv0) {
  std::string name = argv0 != nullptr && *argv0 != '\0' ? argv0 : "setup";
  size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "setup" : name;
}

}  // namespace setup::terminal
