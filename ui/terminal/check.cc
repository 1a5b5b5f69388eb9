// setup --check: a read-only view of the medium for the checker, and its
// diagnostics printed in compiler form.
#include "ui/terminal/check.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/checker.h"
#include "platform/posix/code_page.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/system_info_posix.h"

namespace setup::terminal {
namespace {

constexpr unsigned kScriptCodePage = 932;  // Setup.Inf and its texts are Shift-JIS
constexpr char kMediumFolder[] = "D:";     // $$FD$$: the medium as a CD drive

// The medium folder read-only, its Windows paths below kMediumFolder found
// case-insensitively as Windows would.
class MediumFiles : public FileSystem {
 public:
  explicit MediumFiles(std::string folder) : folder_(std::move(folder)) {}

  // The host path of a Windows path below the medium; false when there is none.
  bool Map(const char* windows_path, std::string* host) {
    size_t n = sizeof kMediumFolder - 1;
    if (strncasecmp(windows_path, kMediumFolder, n) != 0 ||
        (windows_path[n] != '\\' && windows_path[n] != '/')) {
      return false;
    }
    *host = folder_;
    std::string name;
    const char* p = windows_path + n + 1;
    for (;;) {
      // Separators are never the second byte of a double-byte character.
      if (*p == '\0' || *p == '\\' || *p == '/') {
        if (name == "..") return false;
        if (!name.empty() && name != "." && !Append(host, name)) return false;
        name.clear();
        if (*p == '\0') return true;
        ++p;
        continue;
      }
      if (posix::IsLeadByteOf(kScriptCodePage, static_cast<unsigned char>(*p)) && p[1] != '\0') {
        name += *p++;
      }
      name += *p++;
    }
  }

  FileHandle OpenRead(const char* path) override {
    std::string host;
    if (!Map(path, &host)) return kNoFile;
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kNoFile;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return kNoFile;
    }
    return static_cast<FileHandle>(fd) + 1;
  }
  long Read(FileHandle file, void* buffer, unsigned long size) override {
    return static_cast<long>(read(static_cast<int>(file - 1), buffer, size));
  }
  void Close(FileHandle file) override { close(static_cast<int>(file - 1)); }
  bool GetStatus(const char* path, FileStatus* status) override {
    std::string host;
    struct stat st {};
    if (!Map(path, &host) || stat(host.c_str(), &st) != 0) return false;
    status->attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : 0;
    status->last_write_time = st.st_mtime;
    return true;
  }
  bool Write(FileHandle, const void*, unsigned long) override { return false; }
  FileHandle CreateReplacement(const char*) override { return kNoFile; }
  bool CommitReplacement(FileHandle) override { return false; }
  void AbandonReplacement(FileHandle) override {}
  CreateFolderResult CreateFolder(const char*) override { return CreateFolderResult::kFailed; }
  bool CopyFile(const char*, const char*) override { return false; }
  bool SetAttributes(const char*, unsigned) override { return false; }

 private:
  // Appends one component (ANSI) to host: the exact name when it exists,
  // else the first entry in byte order that differs only in case.
  bool Append(std::string* host, const std::string& ansi) {
    std::string name = posix::AnsiToHost(kScriptCodePage, ansi);
    std::string exact = *host + "/" + name;
    struct stat st {};
    if (lstat(exact.c_str(), &st) == 0) {
      *host = exact;
      return true;
    }
    const std::vector<std::string>& entries = Entries(*host);
    for (const std::string& entry : entries) {
      if (strcasecmp(entry.c_str(), name.c_str()) == 0) {
        *host += "/" + entry;
        return true;
      }
    }
    return false;
  }

  // The names in a folder, sorted; read once per check.
  const std::vector<std::string>& Entries(const std::string& folder) {
    auto found = listings_.find(folder);
    if (found != listings_.end()) return found->second;
    std::vector<std::string>& names = listings_[folder];
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
      closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder_;
  std::map<std::string, std::vector<std::string>> listings_;
};

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
    const char* word = severity == Severity::kError ? (japanese_ ? "\x83G\x83\x89\x81[" : "error")
                                                    : (japanese_ ? "\x8Cx\x8D\x90" : "warning");
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
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: the medium folder '%s' does not exist\n", caption.c_str(),
                 posix::DefuseControls(folder).c_str());
    return kCheckErrors;
  }
  MediumFiles medium(folder);
  std::string script;
  std::string name = std::string(kMediumFolder) + "\\Setup.Inf";
  if (!medium.Map(name.c_str(), &script)) script = folder + "/Setup.Inf";
  bool japanese = (posix::LangIdForLocale(posix::LocaleName("LC_MESSAGES")) & 0x3FF) == 0x11;
  Printer printer(medium, script, japanese);
  CheckOptions check;
  check.medium_folder = kMediumFolder;
  check.japanese = japanese;
  check.werror = options.werror;
  auto checker = std::make_unique<Checker>(medium, check, printer);
  CheckCounts counts = checker->Run();
  printer.Print();
  printer.Summary(counts);
  std::fflush(stdout);
  if (counts.errors > 0) return kCheckErrors;
  return counts.warnings > 0 ? kCheckWarnings : kCheckClean;
}

}  // namespace setup::terminal
