// What a run killed outright (kill -9, a crash, a power cut) leaves behind:
// the temporaries its copies, its registry save and its install record were
// writing. Signals remove their own; nothing else would remove these.
#pragma once

#include <string>

namespace setup::posix {

// The mark of runs on one machine folder: each run holds a shared lock on
// root/run.lock for as long as its process lives, and root/run.dirty exists
// while one runs. A run that finds no other alive (the lock free) but the
// mark left removes the leftovers first: in root, registry.reg.XXXXXX and
// code_page.XXXXXX; in installs/ and anywhere below drive_c (links not
// followed), regular files named .<name>.XXXXXX, the names this program
// gives its temporaries. Returns the number removed; -1 (errno set) when the
// lock cannot be taken.
int BeginMachineRun(const std::string& root);

// The run ends well: the mark goes when no other run is alive.
void EndMachineRun(const std::string& root);

// True when name is one of the program's temporary names: prefix (empty:
// any name, then with a leading '.') followed by '.' and six letters or
// digits, as mkostemp makes them.
bool IsTemporaryName(const std::string& name, const std::string& prefix);

}  // namespace setup::posix
