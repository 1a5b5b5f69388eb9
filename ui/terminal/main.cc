// The Linux setup program: reads its options, wires the POSIX stand-ins of
// the machine into the engine and runs the installation on the terminal.
#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "engine/script_engine.h"
#include "platform/posix/code_page.h"
#include "platform/posix/components_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/interruption.h"
#include "platform/posix/leftovers.h"
#include "platform/posix/machine.h"
#include "platform/posix/pe_version.h"
#include "platform/posix/record_file.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/system_info_posix.h"
#include "record/change_record.h"
#include "record/install_record.h"
#include "ui/terminal/check.h"
#include "ui/terminal/dry_run.h"
#include "ui/terminal/options.h"
#include "ui/terminal/terminal_ui.h"

namespace {

using setup::SetupResult;
using setup::terminal::Options;

// The exit statuses, as README.md and --help give them: the table both
// programs share. Cancelled also stands for a run a signal ended.
using setup::kExitCancelled;
using setup::kExitInstalled;
using setup::kExitStopped;
using setup::kExitUsage;

// Problems the registry store said on standard error during the run.
int registry_problems = 0;
// The install record could not be written: a completed run is not a clean one.
bool record_failed = false;

// The back ends over one simulated machine, alive for the whole program.
struct Backends {
  Backends(setup::posix::Machine& machine, setup::posix::NativeCode native)
      : system(machine),
        files(machine),
        registry(machine),
        versions(&machine),
        components(setup::posix::NewComponents(machine, native)) {}

  setup::posix::PosixSystemInfo system;
  setup::posix::PosixFileSystem files;
  setup::posix::RegistryStore registry;  // registry.reg of the machine folder
  setup::posix::PeVersionInfo versions;  // texts in the machine's code page
  std::unique_ptr<setup::posix::MachineComponents> components;
  setup::Platform platform;
};

// Wires the POSIX stand-ins into backends->platform, the medium folder
// becoming the program folder and the readable part of the host, host
// access granted when asked for. False with *error set when it cannot.
bool BuildPlatform(const Options& options, const std::string& caption,
                   setup::posix::Machine* machine, Backends* backends, std::string* error) {
  if (!options.medium.empty() && !backends->system.SetProgramFolder(options.medium)) {
    *error = "the medium folder '" + options.medium + "' does not exist";
    return false;
  }
  // The medium is the one host folder the script may read besides the
  // machine, and the current folder of its relative paths.
  std::string medium = options.medium.empty() ? setup::posix::ExecutableFolder() : options.medium;
  if (!machine->SetMedium(medium)) {
    *error = "the medium folder '" + medium + "' does not exist";
    return false;
  }
  machine->set_host_access(options.host_access);
  // A damaged registry file is said once on standard error; the engine only
  // sees registry operations fail. A problem said only there (a new key
  // whose save at its closing failed) still makes the run's status 4.
  backends->registry.SetDiagnosticSink([caption](const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), message.c_str());
    ++registry_problems;
  });
  backends->platform.system = &backends->system;
  backends->platform.files = &backends->files;
  backends->platform.components = backends->components.get();
  backends->platform.registry = &backends->registry;
  backends->platform.versions = &backends->versions;
  return true;
}

// A standard stream closed at start would be the descriptor of the first
// file the program opens (the registry, a copy): answers would be read
// from it, output written into it. Each closed one becomes /dev/null, read
// only: input at its end, writes refused as to a closed stream.
void FillClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (opened < 0 || opened == fd) continue;  // the lowest free descriptor: fd itself
    dup2(opened, fd);
    close(opened);
  }
}

// The --folder and --folder2 values as the dialog would take them typed;
// false, said on standard error, when the dialog would refuse one.
bool CheckFolderOptions(const Options& options, const setup::terminal::CodePageConverter& converter,
                        const std::string& caption, std::string* folder1, std::string* folder2) {
  for (auto [name, typed, ansi] : {std::tuple{"--folder", &options.folder1, folder1},
                                   std::tuple{"--folder2", &options.folder2, folder2}}) {
    if (typed->empty()) continue;
    switch (setup::terminal::CheckTypedFolder(*typed, converter, ansi)) {
      case setup::terminal::FolderCheck::kOk:
        continue;
      case setup::terminal::FolderCheck::kInputError:
        std::fprintf(stderr, "%s: option '%s': Folder input error: '%s'\n", caption.c_str(), name,
                     setup::posix::DefuseControls(*typed).c_str());
        return false;
      case setup::terminal::FolderCheck::kTooLong:
        std::fprintf(stderr, "%s: option '%s': the folder is longer than %d bytes\n",
                     caption.c_str(), name, setup::kTextSize - 1);
        return false;
    }
  }
  return true;
}

// The install record of the run, ended whichever way the program ends.
struct RecordEnd {
  setup::InstallRecord* record = nullptr;
  const setup::posix::RecordFile* file = nullptr;
  const setup::ScriptEngine* engine = nullptr;
  std::string caption;
};
RecordEnd record_end;

// Ends the record of a run that started with result; a failure is said on
// standard error and leaves the exit status as it is.
void FinishRecord(setup::RecordResult result) {
  if (record_end.record == nullptr || !record_end.engine->run_started()) return;
  if (!record_end.record->Finish(result, record_end.engine->line_number)) {
    std::fprintf(stderr, "%s: %s\n", record_end.caption.c_str(),
                 setup::posix::DefuseControls(record_end.file->ErrorText()).c_str());
    record_failed = true;
  }
}

// TerminalIo::end_program: the output is lost, the message said.
void EndStopped() {
  FinishRecord(setup::RecordResult::kStopped);
  std::exit(kExitStopped);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Columns of the terminal; for other output $COLUMNS when set, else 80.
int TerminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  if (columns != nullptr) {
    int n = std::atoi(columns);
    if (n >= 20 && n <= 1000) return n;
  }
  return 80;
}

}  // namespace

int main(int argc, char** argv) {
  FillClosedStandardStreams();
  std::setlocale(LC_ALL, "");
  std::string caption = setup::terminal::ProgramCaption(argc > 0 ? argv[0] : nullptr);
  Options options = setup::terminal::ParseOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", caption.c_str(),
                 options.error.c_str(), caption.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(setup::terminal::UsageText(caption).c_str(), stdout);
    return kExitInstalled;
  }
  if (options.version) {
    std::fputs(setup::terminal::VersionText().c_str(), stdout);
    return kExitInstalled;
  }
  if (options.check) return setup::terminal::RunCheck(options, caption);

  // A new machine's code page follows the locale (932 under a Japanese one)
  // unless --code-page names one; an existing machine keeps its own. static,
  // as the back ends over it: they outlive every message.
  // A run that cannot start makes no machine: the medium is looked at first,
  // so that the corrected command may still choose a code page.
  if (!options.medium.empty() && !IsFolder(options.medium)) {
    std::fprintf(stderr, "%s: the medium folder '%s' does not exist\n", caption.c_str(),
                 setup::posix::DefuseControls(options.medium).c_str());
    return kExitUsage;
  }
  static setup::posix::Machine machine;
  std::string machine_folder =
      options.machine.empty() ? setup::posix::DefaultMachineRoot() : options.machine;
  int dry_run_status = 0;
  if (options.dry_run && setup::terminal::StartDryRun(caption, &machine_folder, &dry_run_status)) {
    return dry_run_status;  // the run went on, against a copy, in a child process
  }
  if (!machine.SetRoot(machine_folder)) {
    // A link among the machine's own folders would have them made elsewhere.
    const char* why = errno == ELOOP ? "drive_c, or a folder the machine makes in it, is a "
                                       "symbolic link"
                                     : std::strerror(errno);
    std::fprintf(stderr, "%s: cannot use the machine folder '%s': %s\n", caption.c_str(),
                 setup::posix::DefuseControls(machine_folder).c_str(), why);
    return kExitStopped;
  }
  std::string error;
  bool refused = false;
  if (!machine.UseRecordedCodePage(options.code_page, &error, &refused)) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), setup::posix::DefuseControls(error).c_str());
    return refused ? kExitUsage : kExitStopped;
  }
  // A run killed outright left its temporaries: the first run after it
  // removes them.
  if (setup::posix::BeginMachineRun(machine.root()) < 0) {
    std::fprintf(stderr, "%s: cannot use the machine folder '%s': %s\n", caption.c_str(),
                 setup::posix::DefuseControls(machine.root()).c_str(), std::strerror(errno));
    return kExitStopped;
  }
  // A signal ends the run as cancelled and removes the file being copied.
  static const std::string interrupted =
      "\n" + caption + ": interrupted; the installation was cancelled.\n";
  setup::posix::EndOnInterruption(interrupted.c_str(), kExitCancelled);
  static Backends backends(machine, options.native_components ? setup::posix::NativeCode::kAllowed
                                                              : setup::posix::NativeCode::kNever);
  if (!BuildPlatform(options, caption, &machine, &backends, &error)) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), setup::posix::DefuseControls(error).c_str());
    return kExitUsage;
  }

  // The engine's texts are in the machine's ANSI code page; the terminal
  // shows the locale's charset.
  setup::posix::CodePageConverter converter(machine.code_page(), nl_langinfo(CODESET));
  std::string folder1;
  std::string folder2;
  if (!CheckFolderOptions(options, converter, caption, &folder1, &folder2)) return kExitUsage;
  setup::terminal::TerminalIo io;
  io.input_is_terminal = isatty(STDIN_FILENO) == 1;
  io.output_is_terminal = isatty(STDOUT_FILENO) == 1;
  io.width = TerminalWidth();
  io.end_program = EndStopped;
  io.unattended = options.unattended;
  // Error messages also go where a log or a calling script catches them.
  if (!io.output_is_terminal) io.errors = stderr;
  if (options.trace) io.trace = stderr;
  io.explain = stderr;  // each error also says where and why, in English
  setup::terminal::TerminalUi ui(io, converter, caption);
  ui.set_file_names([medium = options.medium](const char* path) {
    // As the command line names the medium, like the check's diagnostics.
    std::string host;
    if (!machine.ToHostPath(path, &host)) return std::string();
    const std::string& real = machine.medium();
    if (!medium.empty() && host.compare(0, real.size(), real) == 0) {
      host = medium + host.substr(real.size());
    }
    return host;
  });
  ui.set_language(options.english ? setup::kEnglish : setup::kJapanese);
  ui.PresetFolders(folder1, folder2);
  // Every change of the run goes to the install record, also when it ends early.
  // The messages of the run go there too.
  static setup::posix::RecordFile record_file(setup::posix::RecordFolder(machine.root()),
                                              machine.code_page());
  static setup::InstallRecord record(record_file);
  static setup::posix::PosixCopyFacts copy_facts(backends.files);
  static setup::posix::MachineSimulationFacts simulation(*backends.components);
  static setup::RecordingPlatform recording(backends.platform, record, &copy_facts, &simulation);
  static setup::RecordingUi recording_ui(ui, record, false);
  backends.components->OnSimulated([&ui] { ui.NoteSimulatedRegistration(); });
  // The engine holds the 64 KiB line store and the macro table: not for the stack.
  auto engine = std::make_unique<setup::ScriptEngine>(recording.platform(), recording_ui);
  recording_ui.Attach(engine.get());
  record.set_title(engine->params.window_title);
  record_end = RecordEnd{&record, &record_file, engine.get(), caption};
  setup::posix::SetInterruptionHook(setup::posix::FinishRecordOnInterruption);
  ui.Attach(engine.get());
  if (options.trace) engine->tracer = &ui;
  SetupResult result = engine->InitInstance();
  // The run's registry changes are in the file, on disk, before its record
  // says how the run ended.
  backends.registry.Fold();
  FinishRecord(result == SetupResult::kCompleted ? setup::RecordResult::kCompleted
                                                 : setup::RecordResult::kStopped);
  setup::posix::EndMachineRun(machine.root());
  ui.EndIfOutputLost();  // lost at the very end: the completion was not seen
  if (ui.refused_command_line()) return kExitUsage;
  // A registry problem said on standard error, or a record that could not be
  // written, counts as an error message shown.
  return setup::ExitStatus(result,
                           ui.errors_shown() != 0 || registry_problems != 0 || record_failed);
}
