// Where the program takes its libraries from. A program that runs with
// administrator rights must never load a DLL that lies beside it (a
// Downloads folder, a copied medium): such a DLL would run elevated. So the
// program imports only libraries the system always takes from its own
// folder, restricts the search to that folder before anything else runs, and
// loads every other system library by its full name.
#pragma once

#include <windows.h>

namespace setup::win32 {

// Restricts the search for libraries loaded without a full name to the
// system folder where the system offers it (Windows 8, and Windows 7 with
// its update); older systems at least stop searching the current folder.
// Called first thing at start-up.
void RestrictLibrarySearch();

// The system library name (e.g. "version.dll") from the system folder, or
// null.
HMODULE LoadSystemLibrary(const char* name);

// A system library that the program's manifest names, from the system's
// side-by-side store (comctl32.dll: the themed common controls), or null.
// Loaded by its name, since a full name would bypass the manifest.
HMODULE LoadManifestLibrary(const char* name);

// A component's module, as the system's own registration tool loads it: its
// own folder is searched for the libraries it imports. A relative path is
// taken from the current folder.
HMODULE LoadComponentLibrary(const char* path);

}  // namespace setup::win32
