// Components for the POSIX stand-ins: Windows images registered from their
// headers; with native code allowed, shared objects called in a child
// process and programs started with posix_spawn; all only from the machine
// or the medium.
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/posix/components_posix.h"
#include "platform/posix/interruption.h"
#include "platform/posix/pe_component.h"

namespace setup::posix {
namespace {

using ExportFunction = int (*)();

// What a handle stands for: a module or a started process, simulated or
// run. The simulated flag comes first in both, for Simulated().
struct Handle {
  bool simulated;
};
struct Module : Handle {
  int fd;            // the file, open since LoadModule: what was checked is what runs
  std::string host;  // its host path, the name a native module is loaded by
};
struct StartedProcess : Handle {
  pid_t pid;  // also the process group; 0 for a simulated process
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

// What an ELF file is, from its header; "#!" scripts count as programs.
enum class NativeKind { kNone, kProgram, kSharedObject };

NativeKind ReadNativeKind(int fd) {
  unsigned char ident[EI_NIDENT] = {};
  ssize_t count = pread(fd, ident, sizeof ident, 0);
  if (count >= 2 && ident[0] == '#' && ident[1] == '!') return NativeKind::kProgram;
  if (count != EI_NIDENT || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return NativeKind::kNone;
  bool program = ident[EI_CLASS] == ELFCLASS64 ? IsElfProgram<Elf64_Ehdr, Elf64_Phdr>(fd)
                                               : IsElfProgram<Elf32_Ehdr, Elf32_Phdr>(fd);
  if (program) return NativeKind::kProgram;
  Elf32_Half type = 0;  // e_type lies at the same place in both classes
  if (pread(fd, &type, sizeof type, EI_NIDENT) != sizeof type) return NativeKind::kNone;
  return type == ET_DYN ? NativeKind::kSharedObject : NativeKind::kNone;
}

// Opens the regular file at host for reading; -1 (errno set) for anything
// else. A FIFO would block the open until a writer came, and a device may
// act on being opened: both are refused on their status, and the open does
// not wait in case one took the file's place meanwhile.
int OpenRegular(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return -1;
  if (S_ISREG(st.st_mode)) {
    int fd = open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
    close(fd);
  }
  errno = EACCES;
  return -1;
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

// The entries of environment as execve takes them; valid while it lives.
std::vector<char*> EnvironmentPointers(std::vector<std::string>& environment) {
  std::vector<char*> pointers;
  pointers.reserve(environment.size() + 1);
  for (std::string& entry : environment) pointers.push_back(entry.data());
  pointers.push_back(nullptr);
  return pointers;
}

// What the child of a native module tells its parent through a pipe.
struct ExportResult {
  int found;  // 1: the export was called
  long status;
};

// The child's side of a native module's call: in a process of its own, so
// that the module's code (its constructors included) never runs inside the
// installer, with the fixed environment and no input. It loads the module
// by its name (the name the module sees of itself) only while that name
// still leads to the file LoadModule checked.
[[noreturn]] void CallInChild(const Module& module, const char* name, char** environment,
                              int result_fd) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) {
    std::signal(signal_number, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int input = open("/dev/null", O_RDONLY);
  if (input >= 0) dup2(input, STDIN_FILENO);
  struct stat checked;
  struct stat named;
  if (fstat(module.fd, &checked) != 0 || stat(module.host.c_str(), &named) != 0 ||
      checked.st_dev != named.st_dev || checked.st_ino != named.st_ino) {
    _exit(1);  // another file took its place: nothing is loaded
  }
  // Nothing of the installer's own open files (the registry's lock, a
  // copy under way) is the module's to touch: the result pipe becomes 3 and
  // the rest is closed.
  if (result_fd != 3 && dup2(result_fd, 3) < 0) _exit(1);
  close_range(4, ~0U, 0);
  environ = environment;
  ExportResult result = {0, 0};
  void* loaded = dlopen(module.host.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* address = loaded != nullptr ? dlsym(loaded, name) : nullptr;
  if (address != nullptr) {
    result.found = 1;
    result.status = reinterpret_cast<ExportFunction>(address)();
  }
  if (write(3, &result, sizeof result) != sizeof result) _exit(1);
  _exit(0);
}

class PosixComponents : public MachineComponents {
 public:
  PosixComponents(Machine& machine, NativeCode native) : machine_(machine), native_(native) {}

  ModuleHandle LoadModule(const char* path) override {
    std::string host;
    if (!machine_.MapFor(Machine::Access::kRead, path, &host)) return 0;
    int fd = OpenRegular(host);
    if (fd < 0) return 0;
    // Windows loads an EXE as a module too; its exports decide.
    bool simulated = ReadPeKind(fd) != PeKind::kNone;
    if (!simulated &&
        (native_ != NativeCode::kAllowed || ReadNativeKind(fd) != NativeKind::kSharedObject)) {
      close(fd);
      return 0;
    }
    return reinterpret_cast<ModuleHandle>(new Module{{simulated}, fd, host});
  }

  bool CallExport(ModuleHandle handle, const char* name, long* status) override {
    Module* module = reinterpret_cast<Module*>(handle);
    if (module->simulated) {
      if (!PeExports(module->fd, name)) return false;
      *status = 0;  // what a registration that did its work returns
      if (notice_) notice_();
      return true;
    }
    return CallNative(*module, name, status);
  }

  void FreeModule(ModuleHandle handle) override {
    Module* module = reinterpret_cast<Module*>(handle);
    close(module->fd);
    delete module;
  }

  ProcessHandle StartProcess(const char* command_line, const char* folder) override {
    std::vector<std::string> words = SplitCommandLine(command_line);
    if (words.empty()) return 0;
    std::string program;
    if (!machine_.MapFor(Machine::Access::kRead, words[0].c_str(), &program)) return 0;
    std::string host_folder;
    if (folder != nullptr && folder[0] != '\0' &&
        !machine_.MapFor(Machine::Access::kRead, folder, &host_folder)) {
      return 0;
    }
    int fd = OpenRegular(program);
    if (fd < 0) return 0;
    PeKind pe = ReadPeKind(fd);
    bool native = pe == PeKind::kNone && native_ == NativeCode::kAllowed &&
                  ReadNativeKind(fd) == NativeKind::kProgram && access(program.c_str(), X_OK) == 0;
    close(fd);
    if (pe == PeKind::kProgram) {
      if (notice_) notice_();
      return reinterpret_cast<ProcessHandle>(new StartedProcess{{true}, 0, true});
    }
    // Windows refuses to start a DLL, and a shared object would crash at
    // once and so pass for a program that ran.
    if (!native) return 0;
    return Spawn(program, words, host_folder);
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
    InterruptionBlock block;
    UntrackProcessGroup(started->pid);
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

  bool Simulated(std::uintptr_t handle) const override {
    return reinterpret_cast<const Handle*>(handle)->simulated;
  }

  void OnSimulated(std::function<void()> notice) override { notice_ = std::move(notice); }

 private:
  // Calls the export name of the shared object of module in a child
  // process and waits for it; false when it could not be loaded, has no
  // such export, or the child died before it could tell (a crash in the
  // module's constructors or in the export itself).
  bool CallNative(const Module& module, const char* name, long* status) {
    std::vector<std::string> environment = ChildEnvironment(machine_);
    std::vector<char*> envp = EnvironmentPointers(environment);
    int result_pipe[2];
    if (pipe2(result_pipe, O_CLOEXEC) != 0) return false;
    pid_t pid;
    {
      // The child is in the table before a signal could end this process.
      InterruptionBlock block;
      pid = fork();
      if (pid == 0) {
        setpgid(0, 0);
        close(result_pipe[0]);
        CallInChild(module, name, envp.data(), result_pipe[1]);
      }
      if (pid > 0) {
        setpgid(pid, pid);  // as the child does: whichever runs first
        TrackProcessGroup(pid);
      }
    }
    close(result_pipe[1]);
    ExportResult result = {0, 0};
    ssize_t got;
    while ((got = read(result_pipe[0], &result, sizeof result)) < 0 && errno == EINTR) {
    }
    close(result_pipe[0]);
    if (pid < 0) return false;
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    {
      InterruptionBlock block;
      UntrackProcessGroup(pid);
    }
    if (got != static_cast<ssize_t>(sizeof result)) {
      // Died before it could tell: a crash in the constructors or the
      // export itself. Only a call that was made counts as one.
      return false;
    }
    if (result.found == 0) return false;
    *status = result.status;
    return true;
  }

  ProcessHandle Spawn(const std::string& program, std::vector<std::string>& words,
                      const std::string& host_folder) {
    std::vector<char*> argv;
    std::string program_name = program;
    argv.push_back(program_name.data());
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(words[i].data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = ChildEnvironment(machine_);
    std::vector<char*> envp = EnvironmentPointers(environment);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return 0;
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return 0;
    }
    // The installer's standard input may be a file of answers: the program
    // must not eat them. A folder that cannot be entered makes posix_spawn
    // fail, as CreateProcessA fails for a missing current folder. The
    // program leads a process group of its own, so that an interruption
    // ends it with whatever it started; it gets no signal mask of ours.
    sigset_t none;
    sigemptyset(&none);
    bool ready =
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        (host_folder.empty() ||
         posix_spawn_file_actions_addchdir_np(&actions, host_folder.c_str()) == 0) &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK) ==
            0 &&
        posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
        posix_spawnattr_setsigmask(&attributes, &none) == 0;
    pid_t pid = 0;
    int error = EINVAL;
    if (ready) {
      InterruptionBlock block;
      error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
      if (error == 0) TrackProcessGroup(pid);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return 0;
    return reinterpret_cast<ProcessHandle>(new StartedProcess{{false}, pid, false});
  }

  Machine& machine_;
  NativeCode native_;
  std::function<void()> notice_;
};

}  // namespace

std::unique_ptr<MachineComponents> NewComponents(Machine& machine, NativeCode native) {
  return std::make_unique<PosixComponents>(machine, native);
}

}  // namespace setup::posix
