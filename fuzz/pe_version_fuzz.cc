// Any bytes, as a PE file or as a bare version block, through the version
// reader: no crash and no read outside the input or the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/pe_version.h"

namespace {

// Runs the queries the engine makes, and a few more, over a buffer laid out
// as Read lays it out, in both code pages.
void QueryAll(std::vector<unsigned char>* buffer) {
  for (unsigned code_page : {932u, 1252u}) {
    setup::posix::PeVersionInfo reader(nullptr, code_page);  // blocks only, no files
    const void* value = nullptr;
    unsigned length = 0;
    reader.Query(buffer->data(), "\\", &value, &length);
    char path[64] = "\\StringFileInfo\\040904B0\\FileVersion";
    if (reader.Query(buffer->data(), "\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
      unsigned char t[4];
      std::memcpy(t, value, 4);
      std::snprintf(path, sizeof path, "\\StringFileInfo\\%02X%02X%02X%02X\\FileVersion", t[1],
                    t[0], t[3], t[2]);
    }
    if (reader.Query(buffer->data(), path, &value, &length)) {
      // Texts end inside the buffer: strlen would run off otherwise.
      volatile size_t n = std::strlen(static_cast<const char*>(value));
      (void)n;
    }
    reader.Query(buffer->data(), "\\StringFileInfo\\041103A4\\ProductVersion", &value, &length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> buffer;
  if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
    if (setup::posix::LoadVersionBuffer(data, size, &buffer)) QueryAll(&buffer);
    return 0;
  }
  // A bare VS_VERSIONINFO block, in a buffer of exactly the size Read needs
  // (the block is the smaller of its wLength and the input), so the
  // sanitizer sees any query that strays behind it.
  size_t block = size;
  if (size >= 2 && static_cast<size_t>(data[0] | (data[1] << 8)) < size) {
    block = data[0] | static_cast<size_t>(data[1]) << 8;
  }
  buffer.resize(setup::posix::VersionBufferSize(block));
  if (setup::posix::MakeVersionBuffer(data, size, buffer.data(), buffer.size())) QueryAll(&buffer);
  return 0;
}
