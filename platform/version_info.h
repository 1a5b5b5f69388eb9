// Version resources of executable files, in the manner of the version.dll
// calls: the resource block is read whole and then queried by path.
#pragma once

namespace setup {

class VersionInfo {
 public:
  virtual ~VersionInfo() = default;

  // GetFileVersionInfoSizeA: bytes needed for the block, 0 when the file has
  // no version resource or cannot be read.
  virtual unsigned GetSize(const char* path) = 0;
  // GetFileVersionInfoA: reads the block into a buffer of size bytes.
  virtual bool Read(const char* path, unsigned size, void* block) = 0;
  // VerQueryValueA: finds sub_block ("\VarFileInfo\Translation",
  // "\StringFileInfo\041104B0\FileVersion") inside block; strings come back
  // NUL-terminated in the ANSI code page. The result points into block.
  virtual bool Query(void* block, const char* sub_block, const void** value, unsigned* length) = 0;
};

}  // namespace setup
