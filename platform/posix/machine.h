// The simulated Windows machine of the POSIX stand-ins: a folder that holds
// drive C: (drive_c) and the registry (registry.reg). Windows-form paths map
// onto the host: C:\x -> <machine>/drive_c/x, Z:\x -> /x, rooted paths
// (\x) on C:, relative paths against the current folder; a component missing
// with its exact case is found case-insensitively, as Windows would.
#pragma once

#include <string>

namespace setup::posix {

// Selects the machine folder and creates drive_c, drive_c/Windows and
// drive_c/Windows/System32 when missing. False (with errno) on failure.
bool SetMachineRoot(const std::string& folder);
// The machine folder in use; the default is $XDG_DATA_HOME/setup-machine
// (or ~/.local/share/setup-machine), created at first use.
const std::string& MachineRoot();
std::string DefaultMachineRoot();

// Maps a Windows-form path (ANSI bytes of AnsiCodePage) to a host path in
// UTF-8. Separators are \ and /, never the second byte of a double-byte
// character; "." and ".." are resolved by name and never leave the drive;
// trailing dots and spaces of a component are dropped as Windows does.
// False for a drive other than C: and Z:, a UNC path, or a component holding
// a character Windows does not allow in names (< > : " | * ? and controls).
bool ToHostPath(const char* windows_path, std::string* host_path);
// Maps a host path (relative ones against the current folder) to Windows
// form: C:\... inside drive_c, else Z:\...; a drive root ends in \.
std::string ToWindowsPath(const std::string& host_path);

// The case-insensitive lookup of ToHostPath remembers what it read of each
// folder until the folder changes. A change this process makes itself is
// bracketed by these two calls, with the host path of the entry it creates,
// renames, makes or removes: when the folder had not changed otherwise
// before it, the lookup's knowledge follows (added: a new entry's host path,
// or "" for a temporary or a removal, which names never resolve to) instead
// of the folder being read again. A change from elsewhere always makes the
// next lookup read the folder again, up to the clock's resolution for the
// folder's change time.
struct FolderChange {
  std::string folder;
  bool known = false;
};
FolderChange BeginFolderChange(const std::string& host_path);
void EndFolderChange(const FolderChange& change, const std::string& added);

// Splits a Windows-form path into the text before its last separator and the
// last component, double-byte aware: "C:\a\b*" -> "C:\a", "b*";
// "C:\b" -> "C:\", "b"; "\b" -> "\", "b"; "b" -> "", "b"; "C:b" -> "C:", "b".
void SplitLastComponent(const std::string& windows_path, std::string* folder, std::string* name);

}  // namespace setup::posix
