// The table of temporaries in progress and the signal handlers that remove
// them, and of the process groups it ends. The handler uses only
// async-signal-safe calls (unlink, kill, write, _exit).
#include "platform/posix/interruption.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

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

int MakeTrackedTemporary(std::string* pattern) {
  for (Slot& slot : slots) {
    if (slot.used != 0 || pattern->size() >= sizeof slot.path) continue;
    std::memcpy(slot.path, pattern->c_str(), pattern->size() + 1);
    // The name is whole before the handler may see the slot in use.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.used = 1;
    int fd = mkostemp(slot.path, O_CLOEXEC);
    if (fd < 0) {
      slot.used = 0;
      return -1;
    }
    *pattern = slot.path;
    return fd;
  }
  return mkostemp(pattern->data(), O_CLOEXEC);  // a full table: untracked, as TrackTemporary
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
