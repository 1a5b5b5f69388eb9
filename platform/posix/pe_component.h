// What a PE file is as a component, read from its headers alone: a Windows
// image is never run on this machine, so its registration is judged from
// what it declares.
#pragma once

namespace setup::posix {

enum class PeKind {
  kNone,     // not a PE image (or a damaged one)
  kProgram,  // an image without the DLL flag: an EXE
  kLibrary,  // an image with the DLL flag
};

// The kind of the PE image open for reading on fd (read with pread, the
// offset untouched).
PeKind ReadPeKind(int fd);

// True when the PE image on fd exports a function by the name name (as
// GetProcAddress would find it by name). False for anything that is no PE
// image or has no export directory; never reads outside the file.
bool PeExports(int fd, const char* name);

}  // namespace setup::posix
