// The table of temporaries in progress and the signal handlers that remove
// them, and of the process groups it ends. The handler uses only
// async-signal-safe calls (unlink, kill, write, _exit).
#include "platform/posix/interruption.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace setup::posix {
namespace {

// A copy has one temporary open and a text copy one more: a few slots do.
constexpr int kSlots = 4;

struct Slot {
  volatile sig_atomic_t used;
  char path[PATH_MAX];
};

Slot slots[kSlots];
// Components run one at a time; a few slots leave room for a test's own.
volatile sig_atomic_t groups[kSlots];
const char* interruption_message = "";
int interruption_status = 1;
void (*interruption_hook)() = nullptr;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t InterruptingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : kSignals) sigaddset(&set, signal_number);
  return set;
}

void OnInterruption(int) {
  if (interruption_hook != nullptr) interruption_hook();
  for (Slot& slot : slots) {
    if (slot.used != 0) unlink(slot.path);
  }
  for (volatile sig_atomic_t& group : groups) {
    if (group > 0) kill(-static_cast<pid_t>(group), SIGKILL);
  }
  size_t length = std::strlen(interruption_message);
  if (write(STDERR_FILENO, interruption_message, length) < 0) {
    // Nothing more to do about it: the program ends either way.
  }
  _exit(interruption_status);
}

void OnBrokenPipe(int) {}

}  // namespace

InterruptionBlock::InterruptionBlock() {
  sigset_t set = InterruptingSignals();
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptionBlock::~InterruptionBlock() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

void TrackTemporary(const std::string& path) {
  if (path.size() >= sizeof slots[0].path) return;
  for (Slot& slot : slots) {
    if (slot.used != 0) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used = 1;
    return;
  }
}

namespace {

constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kNameTries = 100;  // names taken already (or planted) before giving up

// Puts six letters or digits over the XXXXXX that end name. The names need
// not be secret: O_EXCL, not the name, keeps a planted file or link from
// being used; a planted name only costs another try.
void FillName(char* name, size_t length) {
  static uint64_t state = 0;
  if (state == 0) {
    state = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(std::time(nullptr)) ^
            reinterpret_cast<uintptr_t>(&state) ^ 0x9E3779B97F4A7C15ull;
  }
  for (size_t i = length - 6; i < length; ++i) {
    state ^= state << 13;  // xorshift64
    state ^= state >> 7;
    state ^= state << 17;
    name[i] = kNameLetters[state % (sizeof kNameLetters - 1)];
  }
}

// The creation itself, in buffer (NUL-terminated, ending in XXXXXX).
int CreateExclusive(char* buffer, mode_t mode, int folder_fd, size_t name_at) {
  size_t length = std::strlen(buffer);
  if (length < 6 || std::strcmp(buffer + length - 6, "XXXXXX") != 0 || name_at > length - 6) {
    errno = EINVAL;
    return -1;
  }
  for (int i = 0; i < kNameTries; ++i) {
    FillName(buffer, length);
    int fd = openat(folder_fd, buffer + name_at, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

int MakeTrackedTemporary(std::string* pattern, mode_t mode, int folder_fd, size_t name_at) {
  for (Slot& slot : slots) {
    if (slot.used != 0 || pattern->size() >= sizeof slot.path) continue;
    std::memcpy(slot.path, pattern->c_str(), pattern->size() + 1);
    // The name is whole before the handler may see the slot in use.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.used = 1;
    int fd = CreateExclusive(slot.path, mode, folder_fd, name_at);
    if (fd < 0) {
      slot.used = 0;
      return -1;
    }
    *pattern = slot.path;
    return fd;
  }
  // A full table: untracked, as TrackTemporary.
  return CreateExclusive(pattern->data(), mode, folder_fd, name_at);
}

void UntrackTemporary(const std::string& path) {
  for (Slot& slot : slots) {
    if (slot.used != 0 && path == slot.path) slot.used = 0;
  }
}

void TrackProcessGroup(pid_t group) {
  for (volatile sig_atomic_t& slot : groups) {
    if (slot != 0) continue;
    slot = static_cast<sig_atomic_t>(group);
    return;
  }
}

void UntrackProcessGroup(pid_t group) {
  for (volatile sig_atomic_t& slot : groups) {
    if (slot == group) slot = 0;
  }
}

void EndOnInterruption(const char* message, int status) {
  interruption_message = message;
  interruption_status = status;
  struct sigaction action = {};
  action.sa_handler = OnInterruption;
  // Further interrupting signals wait while the handler removes the files.
  action.sa_mask = InterruptingSignals();
  for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
  struct sigaction pipe_action = {};
  pipe_action.sa_handler = OnBrokenPipe;
  sigemptyset(&pipe_action.sa_mask);
  sigaction(SIGPIPE, &pipe_action, nullptr);
  // A file grown past the limit of ulimit -f fails its write (EFBIG) like a
  // full disk, with the command's message and its temporary removed, instead
  // of ending the program on the spot.
  sigaction(SIGXFSZ, &pipe_action, nullptr);
}

void SetInterruptionHook(void (*hook)()) { interruption_hook = hook; }

}  // namespace setup::posix
