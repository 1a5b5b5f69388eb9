// Components for the POSIX stand-ins: dlopen for modules, posix_spawn for
// programs, both only from the machine or the medium.
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/posix/components_posix.h"

namespace setup::posix {
namespace {

using ExportFunction = int (*)();

// What a ProcessHandle stands for.
struct StartedProcess {
  pid_t pid;
  bool ended;
};

// Splits a Windows-form command line into words: a word in double quotes may
// hold blanks; words are separated by spaces and TABs.
std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> words;
  const char* p = line;
  while (true) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string word;
    bool quoted = false;
    while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
      if (*p == '"') {
        quoted = !quoted;
      } else {
        word += *p;
      }
      ++p;
    }
    words.push_back(word);
  }
  return words;
}

// Reads the ELF header of fd and tells whether it is a program rather than a
// shared object: an executable image, or a position-independent one that
// names a program interpreter (a plain shared object names none).
template <typename Header, typename ProgramHeader>
bool IsElfProgram(int fd) {
  Header header;
  if (pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) return false;
  if (header.e_type == ET_EXEC) return true;
  if (header.e_type != ET_DYN || header.e_phentsize != sizeof(ProgramHeader)) return false;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    ProgramHeader program;
    off_t at = static_cast<off_t>(header.e_phoff + i * sizeof program);
    if (pread(fd, &program, sizeof program, at) != static_cast<ssize_t>(sizeof program)) {
      return false;
    }
    if (program.p_type == PT_INTERP) return true;
  }
  return false;
}

// True for a file this system can run as a program: an ELF program or a
// script with "#!". Everything else is refused, as Windows refuses to start
// a DLL: a Windows image, and a shared object (which would crash at once
// and so pass for a program that ran).
bool IsNativeProgram(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), X_OK) != 0) {
    return false;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char ident[EI_NIDENT] = {};
  ssize_t count = pread(fd, ident, sizeof ident, 0);
  bool program = false;
  if (count >= 2 && ident[0] == '#' && ident[1] == '!') {
    program = true;
  } else if (count == EI_NIDENT && std::memcmp(ident, ELFMAG, SELFMAG) == 0) {
    program = ident[EI_CLASS] == ELFCLASS64 ? IsElfProgram<Elf64_Ehdr, Elf64_Phdr>(fd)
                                            : IsElfProgram<Elf32_Ehdr, Elf32_Phdr>(fd);
  }
  close(fd);
  return program;
}

// The environment of a started program: a fixed one, so that nothing of the
// installer's own (its credentials, its search paths) reaches the program.
// HOME is the machine's drive C:; the locale is the installer's.
std::vector<std::string> ChildEnvironment(Machine& machine) {
  std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                          "HOME=" + machine.root() + "/drive_c"};
  for (const char* name : {"LANG", "LC_ALL"}) {
    const char* value = std::getenv(name);
    if (value != nullptr) environment.push_back(std::string(name) + "=" + value);
  }
  return environment;
}

class PosixComponents : public Components {
 public:
  explicit PosixComponents(Machine& machine) : machine_(machine) {}

  ModuleHandle LoadModule(const char* path) override {
    std::string host;
    // The mapped path is absolute, so dlopen never searches the library path.
    if (!machine_.MapFor(Machine::Access::kRead, path, &host)) return 0;
    return reinterpret_cast<ModuleHandle>(dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL));
  }

  bool CallExport(ModuleHandle module, const char* name, long* status) override {
    void* address = dlsym(reinterpret_cast<void*>(module), name);
    if (address == nullptr) return false;
    *status = reinterpret_cast<ExportFunction>(address)();
    return true;
  }

  void FreeModule(ModuleHandle module) override { dlclose(reinterpret_cast<void*>(module)); }

  ProcessHandle StartProcess(const char* command_line, const char* folder) override {
    std::vector<std::string> words = SplitCommandLine(command_line);
    if (words.empty()) return 0;
    std::string program;
    if (!machine_.MapFor(Machine::Access::kRead, words[0].c_str(), &program) ||
        !IsNativeProgram(program)) {
      return 0;
    }
    std::string host_folder;
    if (folder != nullptr && folder[0] != '\0' &&
        !machine_.MapFor(Machine::Access::kRead, folder, &host_folder)) {
      return 0;
    }

    std::vector<char*> argv;
    argv.push_back(program.data());
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(words[i].data());
    argv.push_back(nullptr);

    std::vector<std::string> environment = ChildEnvironment(machine_);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return 0;
    // The installer's standard input may be a file of answers: the program
    // must not eat them.
    if (posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return 0;
    }
    // A folder that cannot be entered makes posix_spawn fail, as
    // CreateProcessA fails for a missing current folder.
    if (!host_folder.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions, host_folder.c_str()) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return 0;
    }
    pid_t pid = 0;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return 0;
    return reinterpret_cast<ProcessHandle>(new StartedProcess{pid, false});
  }

  bool HasEnded(ProcessHandle process) override {
    StartedProcess* started = reinterpret_cast<StartedProcess*>(process);
    if (started->ended) return true;
    int status = 0;
    pid_t result = waitpid(started->pid, &status, WNOHANG);
    // Only "still running" keeps the caller waiting; an error (the child
    // is gone) ends the wait too.
    if (result == 0 || (result < 0 && errno == EINTR)) return false;
    started->ended = true;
    return true;
  }

  void Sleep(unsigned milliseconds) override {
    timespec delay = {static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
  }

  void CloseProcess(ProcessHandle process) override {
    delete reinterpret_cast<StartedProcess*>(process);
  }

 private:
  Machine& machine_;
};

}  // namespace

std::unique_ptr<Components> NewComponents(Machine& machine) {
  return std::make_unique<PosixComponents>(machine);
}

}  // namespace setup::posix
