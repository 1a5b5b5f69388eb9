// Interruption of a run by SIGINT, SIGTERM or SIGHUP: the temporaries being
// written beside their destinations are removed, the components it started
// are ended, and the program ends.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <csignal>
#include <string>

namespace setup::posix {

// Holds off the interrupting signals while alive, so that a temporary file
// and its entry in the table (TrackTemporary) come and go together. Held for
// a few system calls only: a long copy stays interruptible.
class InterruptionBlock {
 public:
  InterruptionBlock();
  ~InterruptionBlock();
  InterruptionBlock(const InterruptionBlock&) = delete;
  InterruptionBlock& operator=(const InterruptionBlock&) = delete;

 private:
  sigset_t saved_;
};

// Enters path, a temporary just created, into the table of files that an
// interruption removes; UntrackTemporary takes it out once it is renamed or
// removed. Call both inside an InterruptionBlock. A path too long for the
// table, or a full table, is not tracked.
void TrackTemporary(const std::string& path);
void UntrackTemporary(const std::string& path);

// Makes a new file *pattern (ending in XXXXXX, which becomes six letters
// or digits) with O_EXCL, as mkostemp does but with mode (under the umask),
// and enters it in the table from the start, needing no InterruptionBlock:
// the name is entered before the file is made, so a signal in between
// removes no file but, at worst, one of this program's own temporaries of
// the same name. *pattern gets the name made; -1 with errno on failure.
// Take it out with UntrackTemporary after renaming or removing it (an
// interruption in between finds nothing left to remove).
// folder_fd: the open folder of the file, which is then made relative to it
// under the part of *pattern from name_at on (the whole path is what the
// table holds); AT_FDCWD and 0 for the path itself.
int MakeTrackedTemporary(std::string* pattern, mode_t mode = 0600, int folder_fd = AT_FDCWD,
                         size_t name_at = 0);

// Enters group, a process group of programs this program started, into the
// table of groups that an interruption ends (with SIGKILL: a component that
// ignores SIGTERM must not outlive the run); UntrackProcessGroup takes it out
// once its leader has been waited for. Call both inside an
// InterruptionBlock. A full table leaves group untracked.
void TrackProcessGroup(pid_t group);
void UntrackProcessGroup(pid_t group);

// Installs the handlers: on SIGINT, SIGTERM or SIGHUP every tracked temporary
// is removed, message (kept, not copied) is written to standard error and the
// process ends with status. SIGPIPE is caught and does nothing, so a closed
// output shows as a failed write (EPIPE) instead of killing the program; a
// caught signal, unlike an ignored one, is reset for a program started later.
// SIGXFSZ is caught the same way: a write past ulimit -f fails with EFBIG.
void EndOnInterruption(const char* message, int status);

// A function the handler calls first, before the temporaries go (null: none);
// it may use async-signal-safe calls only.
void SetInterruptionHook(void (*hook)());

}  // namespace setup::posix
