// Version resources read straight out of PE files (PE32 and PE32+), the
// POSIX stand-in for version.dll.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/version_info.h"

namespace setup::posix {

// Bytes a version buffer needs for a VS_VERSIONINFO block of length bytes:
// the block, a signature and as much again for the texts that Query converts
// to the ANSI code page.
unsigned VersionBufferSize(size_t length);

// Lays out the version buffer in buffer[0, capacity) as Read does: the block
// first, its root wLength cut down when capacity is short of
// VersionBufferSize(length). False when the block is malformed at its root
// or capacity cannot hold even its header.
bool MakeVersionBuffer(const unsigned char* resource, size_t length, void* buffer, size_t capacity);

// Reads the version resource (type 16, name 1 or else the first name, first
// language) of the PE image image[0, size) into *buffer (sized by
// VersionBufferSize), ready for Query. False for anything that is not a PE
// image holding one; never reads outside the image.
bool LoadVersionBuffer(const unsigned char* image, size_t size, std::vector<unsigned char>* buffer);

class PeVersionInfo : public VersionInfo {
 public:
  // machine maps the paths (nullptr: no files, Query of blocks made
  // elsewhere only, in code_page or else 1252); code_page is the ANSI code page the texts are
  // converted to, 0 for machine's at each query. machine outlives the object.
  explicit PeVersionInfo(Machine* machine, unsigned code_page = 0)
      : machine_(machine), code_page_(code_page) {}

  // Paths are Windows-form and mapped with machine's ToHostPath.
  unsigned GetSize(const char* path) override;
  // Copies the block and makes room for converted texts; with size short of
  // GetSize the block is cut to what fits, as Windows truncates.
  bool Read(const char* path, unsigned size, void* block) override;
  // block must have been filled by Read. Path components match keys without
  // regard to letter case; "\" gives the fixed file info, strings come back
  // in the ANSI code page with length counting the terminating NUL.
  bool Query(void* block, const char* sub_block, const void** value, unsigned* length) override;

 private:
  // Reads the file's version block; false when it has none.
  bool LoadFile(const char* path, std::vector<unsigned char>* resource);

  Machine* machine_;
  unsigned code_page_;
};

}  // namespace setup::posix
