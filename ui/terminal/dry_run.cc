// The parent side of a dry run: the copy, the wait, the report, the removal.
#include "ui/terminal/dry_run.h"

#include <langinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/script_engine.h"
#include "platform/posix/code_page.h"
#include "platform/posix/machine_copy.h"
#include "platform/posix/record_file.h"
#include "platform/posix/registry_store.h"

namespace setup::terminal {
namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t child_process = 0;

// An interrupting signal is the child's to act on: it removes its
// temporaries and ends the record as cancelled. This process then cleans up.
void PassOn(int signal_number) {
  if (child_process > 0) kill(static_cast<pid_t>(child_process), signal_number);
}

// The text of the record the run left in the copy; empty when there is none.
std::string ReadRecord(const std::string& copy) {
  std::string path = posix::LatestRecord(copy);
  if (path.empty()) return "";
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

bool StartDryRun(const std::string& caption, std::string* machine_folder, int* status) {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string pattern = std::string(tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp") +
                        "/setup-dry-run-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  *status = kExitStopped;
  if (mkdtemp(buffer.data()) == nullptr) {
    std::fprintf(stderr, "%s: cannot make a folder for the dry run ('%s'): %s\n", caption.c_str(),
                 pattern.c_str(), std::strerror(errno));
    return true;
  }
  std::string copy = buffer.data();
  std::string error;
  // Signals wait while the copy is made, so that it is always removed.
  sigset_t signals;
  sigset_t saved;
  sigemptyset(&signals);
  for (int signal_number : kSignals) sigaddset(&signals, signal_number);
  sigprocmask(SIG_BLOCK, &signals, &saved);
  if (!posix::CopyMachineFolder(*machine_folder, copy, &error)) {
    posix::RemoveTree(copy);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    std::fprintf(stderr, "%s: cannot copy the machine for the dry run: %s\n", caption.c_str(),
                 error.c_str());
    return true;
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    *machine_folder = copy;
    return false;
  }
  if (child < 0) {
    posix::RemoveTree(copy);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    std::fprintf(stderr, "%s: cannot start the dry run: %s\n", caption.c_str(),
                 std::strerror(errno));
    return true;
  }
  child_process = child;
  struct sigaction action = {};
  action.sa_handler = PassOn;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a closed output shows as a failed flush below
  sigprocmask(SIG_SETMASK, &saved, nullptr);

  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wait_status)) *status = WEXITSTATUS(wait_status);

  std::string record = ReadRecord(copy);
  posix::RemoveTree(copy);
  std::string shown;
  posix::Iconv to_terminal(nl_langinfo(CODESET), "UTF-8");
  to_terminal.Convert(record, true, &shown);
  std::printf("\nDry run: the machine '%s' was left untouched.\n",
              posix::DefuseControls(*machine_folder).c_str());
  if (record.empty()) {
    std::printf("The run changed nothing.\n");
  } else {
    std::printf("The run would change this (its install record):\n\n%s", shown.c_str());
  }
  if (std::fflush(stdout) != 0) *status = kExitStopped;
  return true;
}

}  // namespace setup::terminal
