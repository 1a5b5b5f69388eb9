// setup --check: a read-only view of the medium for the checker, and its
// diagnostics printed in compiler form.
#include "ui/terminal/check.h"

#include <fcntl.h>
#include <langinfo.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/checker.h"
#include "platform/posix/code_page.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/machine.h"
#include "platform/posix/pe_component.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/system_info_posix.h"

namespace setup::terminal {
namespace {

constexpr unsigned kScriptCodePage = 932;  // Setup.Inf and its texts are Shift-JIS
constexpr char kMediumFolder[] = "D:";     // $$FD$$: the medium as a CD drive

// The medium as the run reaches it, read-only: a Windows path below
// kMediumFolder names the same file as below $$FD$$ in a run, found through
// the run's own file system and sandbox (dots, "..", case and links alike).
class MediumFiles : public FileSystem {
 public:
  // folder: the medium as the command line named it, for the names shown.
  MediumFiles(posix::Machine& machine, std::string folder)
      : machine_(machine),
        files_(machine),
        folder_(std::move(folder)),
        run_folder_(machine.ToWindowsPath(machine.medium())) {
    if (run_folder_.back() == '\\') run_folder_.pop_back();  // the host root: "Z:\"
  }

  // The host path of a Windows path below the medium, as the command line
  // named the medium; false when the run could not read it.
  bool Map(const char* windows_path, std::string* host) {
    std::string path;
    if (!InRun(windows_path, &path) ||
        !machine_.MapFor(posix::Machine::Access::kRead, path.c_str(), host)) {
      return false;
    }
    const std::string& medium = machine_.medium();
    if (host->compare(0, medium.size(), medium) == 0) *host = folder_ + host->substr(medium.size());
    return true;
  }

  FileHandle OpenRead(const char* path) override {
    std::string run_path;
    return InRun(path, &run_path) ? files_.OpenRead(run_path.c_str()) : kNoFile;
  }
  long Read(FileHandle file, void* buffer, unsigned long size) override {
    return files_.Read(file, buffer, size);
  }
  void Close(FileHandle file) override { files_.Close(file); }
  bool GetStatus(const char* path, FileStatus* status) override {
    std::string run_path;
    return InRun(path, &run_path) && files_.GetStatus(run_path.c_str(), status);
  }
  bool Write(FileHandle, const void*, unsigned long) override { return false; }
  FileHandle CreateReplacement(const char*) override { return kNoFile; }
  bool CommitReplacement(FileHandle) override { return false; }
  void AbandonReplacement(FileHandle) override {}
  CreateFolderResult CreateFolder(const char*) override { return CreateFolderResult::kFailed; }
  bool CopyFile(const char*, const char*) override { return false; }
  bool SetAttributes(const char*, unsigned) override { return false; }

 private:
  // The path a run names the same file by: kMediumFolder replaced by the
  // medium's Windows path. False for a path not below kMediumFolder.
  bool InRun(const char* windows_path, std::string* run_path) const {
    size_t n = sizeof kMediumFolder - 1;
    if (strncasecmp(windows_path, kMediumFolder, n) != 0 ||
        (windows_path[n] != '\\' && windows_path[n] != '/')) {
      return false;
    }
    *run_path = run_folder_ + (windows_path + n);
    return true;
  }

  posix::Machine& machine_;
  posix::PosixFileSystem files_;
  std::string folder_;
  std::string run_folder_;
};

// Whether Regsvr on the simulated machine would register the medium file at
// path: a Windows program (its /regserver route) or an image exporting
// DllRegisterServer. Opened without waiting, so a FIFO cannot hold the check.
bool IsWindowsComponent(MediumFiles& medium, const char* path) {
  std::string host;
  if (!medium.Map(path, &host)) return false;
  int fd = open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool component = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                   (posix::ReadPeKind(fd) == posix::PeKind::kProgram ||
                    posix::PeExports(fd, "DllRegisterServer"));
  close(fd);
  return component;
}

// Prints each diagnostic as "file:line: error: text" in the terminal's charset.
class Printer : public CheckReport {
 public:
  Printer(MediumFiles& medium, std::string script, bool japanese)
      : medium_(medium),
        script_(std::move(script)),
        japanese_(japanese),
        converter_(kScriptCodePage, nl_langinfo(CODESET)) {}

  void Diagnostic(const char* file, int line, int script_line, Severity severity,
                  const char* text) override {
    std::string where = script_;
    if (file != nullptr && !medium_.Map(file, &where))
      where = posix::AnsiToHost(kScriptCodePage, file);
    where = posix::DefuseControls(where);
    if (line > 0) where += ":" + std::to_string(line);
    // エラー, 警告, 備考
    const char* word = severity == Severity::kError ? (japanese_ ? "\x83G\x83\x89\x81[" : "error")
                       : severity == Severity::kWarning ? (japanese_ ? "\x8Cx\x8D\x90" : "warning")
                                                        : (japanese_ ? "\x94\xF5\x8Dl" : "note");
    std::string message = std::string(word) + ": " + text;
    lines_.push_back(
        {script_line, where + ": " + posix::DefuseControls(converter_.ToTerminal(message)) + "\n"});
  }

  // Prints the diagnostics in the order of the script's lines, each line's
  // in the order found.
  void Print() {
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const Line& a, const Line& b) { return a.script_line < b.script_line; });
    for (const Line& line : lines_) std::fputs(line.text.c_str(), stdout);
  }

  // The closing line: "Setup.Inf: 2 errors, 1 warning".
  void Summary(const CheckCounts& counts) {
    std::string text;
    if (japanese_) {
      char line[128];
      std::snprintf(line, sizeof line,
                    "\x83G\x83\x89\x81[ %d \x8C\x8F\x81"
                    "A\x8Cx\x8D\x90 %d \x8C\x8F",
                    counts.errors, counts.warnings);
      text = converter_.ToTerminal(line);
    } else {
      text = std::to_string(counts.errors) + (counts.errors == 1 ? " error, " : " errors, ") +
             std::to_string(counts.warnings) + (counts.warnings == 1 ? " warning" : " warnings");
    }
    std::printf("%s: %s\n", posix::DefuseControls(script_).c_str(), text.c_str());
  }

 private:
  struct Line {
    int script_line;
    std::string text;
  };
  MediumFiles& medium_;
  std::string script_;
  std::vector<Line> lines_;
  bool japanese_;
  posix::CodePageConverter converter_;
};

}  // namespace

int RunCheck(const Options& options, const std::string& caption) {
  std::string folder = options.medium.empty() ? posix::ExecutableFolder() : options.medium;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();  // names read folder/file
  posix::Machine machine(kScriptCodePage);
  machine.UseNoFolder();  // the check reads the medium alone
  if (!machine.SetMedium(folder)) {
    std::fprintf(stderr, "%s: the medium folder '%s' does not exist\n", caption.c_str(),
                 posix::DefuseControls(folder).c_str());
    return kCheckErrors;
  }
  MediumFiles medium(machine, folder);
  std::string script;
  std::string name = std::string(kMediumFolder) + "\\Setup.Inf";
  if (!medium.Map(name.c_str(), &script)) script = folder + "/Setup.Inf";
  bool japanese = (posix::LangIdForLocale(posix::LocaleName("LC_MESSAGES")) & 0x3FF) == 0x11;
  Printer printer(medium, script, japanese);
  CheckOptions check;
  check.medium_folder = kMediumFolder;
  check.japanese = japanese;
  check.werror = options.werror;
  check.is_component = [&medium](const char* path) { return IsWindowsComponent(medium, path); };
  auto checker = std::make_unique<Checker>(medium, check, printer);
  CheckCounts counts = checker->Run();
  printer.Print();
  printer.Summary(counts);
  std::fflush(stdout);
  if (counts.errors > 0) return kCheckErrors;
  return counts.warnings > 0 ? kCheckWarnings : kCheckClean;
}

}  // namespace setup::terminal
