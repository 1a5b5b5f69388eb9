// Files written whole or not at all: a temporary beside the destination,
// flushed, then put in its place by a rename (or a link that never replaces)
// and the folder flushed, so that a crash leaves the old file or the new
// one, never half of either. The temporary is in the interruption table
// while it exists and is removed on every failure.
#pragma once

#include <sys/types.h>

#include <string>

namespace setup::posix {

// Creates the temporary *pattern (ending in XXXXXX; the name made goes
// back there) with O_EXCL, so a link planted under a guessed name is never
// written through, and enters it in the interruption table. mode: its
// permission bits exactly, or -1 to keep those it was made with: creation
// under the umask. -1 (errno set) on failure, with nothing left behind.
int CreateTemporary(std::string* pattern, int mode = -1, mode_t creation = 0600);

// How a temporary takes its name.
enum class Placing {
  kReplace,  // renamed over whatever has the name
  kNewName,  // linked to the name, failing with EEXIST when it is taken
};

// Flushes the temporary's data (with flush), puts it at path and flushes the
// folder (with flush; *folder_flushed tells whether that worked, when not
// null). fd stays open; without flush it is not used (-1 for a temporary
// closed already). On failure the temporary is removed and errno kept.
bool PlaceTemporary(int fd, const std::string& temporary, const std::string& path, Placing placing,
                    bool flush, bool* folder_flushed = nullptr);

// Removes a temporary of CreateTemporary and takes it out of the table;
// errno is kept.
void RemoveTemporary(const std::string& temporary);

// Flushes the folder that holds path to disk, so that a name made or
// changed in it survives a crash. False (errno set) when it cannot.
bool SyncFolderOf(const std::string& path);

}  // namespace setup::posix
