// PE headers and export names, read with pread from an open file.
#include "platform/posix/pe_component.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace setup::posix {
namespace {

constexpr uint16_t kDllFlag = 0x2000;  // IMAGE_FILE_DLL in the COFF characteristics
// Windows' loader refuses an image with more sections than this.
constexpr unsigned kMaxSections = 96;
// An export table longer than this is not looked through: a damaged header
// would otherwise make a run read for a long time.
constexpr uint32_t kMaxNames = 65536;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAt(int fd, uint64_t offset, void* out, size_t n) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (n > 0) {
    ssize_t got = pread(fd, bytes, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // past the end: the header lies
    bytes += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return true;
}

// The headers a component check needs: the COFF characteristics, the export
// directory and the section table that maps its RVAs to file offsets.
struct Section {
  uint32_t address;
  uint32_t raw_size;
  uint32_t raw_offset;
};
struct Headers {
  uint16_t characteristics = 0;
  uint32_t export_rva = 0;
  uint32_t export_size = 0;
  unsigned sections = 0;
  Section section[kMaxSections];
};

bool ReadHeaders(int fd, Headers* headers) {
  unsigned char dos[64];
  if (!ReadAt(fd, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  uint64_t pe = Le32(dos + 0x3C);
  unsigned char coff[24];
  if (!ReadAt(fd, pe, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0) return false;
  headers->sections = Le16(coff + 6);
  if (headers->sections > kMaxSections) return false;
  headers->characteristics = Le16(coff + 22);
  size_t optional_size = Le16(coff + 20);
  uint64_t table = pe + 24 + optional_size;
  for (unsigned i = 0; i < headers->sections; ++i) {
    unsigned char section[40];
    if (!ReadAt(fd, table + 40ull * i, section, sizeof section)) return false;
    headers->section[i] = Section{Le32(section + 12), Le32(section + 16), Le32(section + 20)};
  }
  // The data directories follow 96 bytes of a PE32 optional header, 112 of
  // a PE32+ one; the export directory is their first entry.
  unsigned char optional[120];
  if (optional_size < 2 || !ReadAt(fd, pe + 24, optional, 2)) return false;
  size_t directories;
  uint16_t magic = Le16(optional);
  if (magic == 0x10B) {
    directories = 96;
  } else if (magic == 0x20B) {
    directories = 112;
  } else {
    return false;
  }
  if (optional_size < directories + 8 || !ReadAt(fd, pe + 24, optional, directories + 8)) {
    return true;  // an image without data directories exports nothing
  }
  if (Le32(optional + directories - 4) >= 1) {  // NumberOfRvaAndSizes
    headers->export_rva = Le32(optional + directories);
    headers->export_size = Le32(optional + directories + 4);
  }
  return true;
}

// The file offset of an RVA inside the raw data of a section; false when no
// section holds it.
bool Locate(const Headers& headers, uint32_t rva, uint64_t* offset) {
  for (unsigned i = 0; i < headers.sections; ++i) {
    const Section& s = headers.section[i];
    if (rva >= s.address && rva - s.address < s.raw_size) {
      *offset = uint64_t{s.raw_offset} + (rva - s.address);
      return true;
    }
  }
  return false;
}

}  // namespace

PeKind ReadPeKind(int fd) {
  Headers headers;
  if (!ReadHeaders(fd, &headers)) return PeKind::kNone;
  return (headers.characteristics & kDllFlag) != 0 ? PeKind::kLibrary : PeKind::kProgram;
}

bool PeExports(int fd, const char* name) {
  Headers headers;
  if (!ReadHeaders(fd, &headers) || headers.export_rva == 0 || headers.export_size < 40) {
    return false;
  }
  uint64_t directory;
  unsigned char exports[40];
  if (!Locate(headers, headers.export_rva, &directory) ||
      !ReadAt(fd, directory, exports, sizeof exports)) {
    return false;
  }
  uint32_t count = Le32(exports + 24);  // NumberOfNames
  uint64_t names;
  if (count == 0 || count > kMaxNames || !Locate(headers, Le32(exports + 32), &names)) {
    return false;
  }
  size_t length = std::strlen(name) + 1;  // the name with its NUL must match
  char found[64];
  if (length > sizeof found) return false;
  for (uint32_t i = 0; i < count; ++i) {
    unsigned char rva[4];
    uint64_t at;
    if (!ReadAt(fd, names + 4ull * i, rva, sizeof rva)) return false;
    if (!Locate(headers, Le32(rva), &at)) continue;
    // A name at the very end of the file may be shorter than ours: no match.
    if (ReadAt(fd, at, found, length) && std::memcmp(found, name, length) == 0) return true;
  }
  return false;
}

}  // namespace setup::posix
