// The simulated Windows machine of the POSIX stand-ins: a folder that holds
// drive C: (drive_c) and the registry (registry.reg). Windows-form paths map
// onto the host: C:\x -> <machine>/drive_c/x, Z:\x -> /x, relative paths
// against the current folder; a component missing with its exact case is
// found case-insensitively, as Windows would.
#pragma once

#include <string>

namespace setup::posix {

// Selects the machine folder and creates drive_c, drive_c/Windows and
// drive_c/Windows/System32 when missing. False (with errno) on failure.
bool SetMachineRoot(const std::string& folder);
// The machine folder in use; the default is $XDG_DATA_HOME/setup-machine
// (or ~/.local/share/setup-machine).
const std::string& MachineRoot();
std::string DefaultMachineRoot();

// Maps a Windows-form path to a host path. False for a drive other than C:
// and Z: or a path that cannot be mapped.
bool ToHostPath(const char* windows_path, std::string* host_path);
// Maps an absolute host path to Windows form (C:\... inside drive_c, else
// Z:\...).
std::string ToWindowsPath(const std::string& host_path);

}  // namespace setup::posix
