// --dry-run: the installation runs against a throw-away copy of the machine
// and shows what it would change; the machine itself stays as it is.
#pragma once

#include <string>

namespace setup::terminal {

// Copies the machine folder *machine_folder (missing: a fresh machine) into a
// new temporary folder ($TMPDIR, else /tmp) and forks. The child goes on as
// the program would, against the copy: *machine_folder becomes the copy and
// the result is false. The parent waits for it (a signal is passed on to
// it), shows the install record the run left in the copy, removes the copy
// and returns true with the child's exit status in *status; also true, with
// a message on standard error and the stopped status, when the copy cannot
// be made.
bool StartDryRun(const std::string& caption, std::string* machine_folder, int* status);

}  // namespace setup::terminal
