// A throw-away copy of a machine folder, for a run that must leave the real
// machine as it is (a dry run).
#pragma once

#include <string>

namespace setup::posix {

// Copies the tree of from into the existing, empty folder to. Modes and
// modification times are kept; a symbolic link is copied as a link, not
// followed, an absolute target inside from pointing to the same place
// inside to; a FIFO becomes a new FIFO; sockets and devices are left out, as
// is the folder installs (the records of earlier runs) at the top. A missing
// from is an empty machine. False with *error set on the first failure.
bool CopyMachineFolder(const std::string& from, const std::string& to, std::string* error);

// Removes path and everything below it, links not followed; what cannot be
// removed stays.
void RemoveTree(const std::string& path);

}  // namespace setup::posix
