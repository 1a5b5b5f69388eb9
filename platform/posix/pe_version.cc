// Version resources read straight out of PE files: the resource directory
// walk, the VS_VERSIONINFO tree and the conversion of its texts to ANSI.
#include "platform/posix/pe_version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/posix/code_page.h"

namespace setup::posix {
namespace {

constexpr size_t kNodeHeader = 6;  // wLength, wValueLength, wType
constexpr size_t kSignatureSize = 4;
constexpr unsigned char kSignature[kSignatureSize] = {'F', 'E', '2', 'X'};
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kVersionName = 1;  // VS_VERSION_INFO, the name FindResource asks for
constexpr uint32_t kHighBit = 0x80000000u;
// Windows' loader refuses an image with more sections than this; each read
// of the resource walk looks through them all.
constexpr unsigned kMaxSections = 96;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
size_t Align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

// Bytes of a PE file, whether held in memory or read from disk. ReadAt
// fails for any range that does not lie wholly inside the bytes.
class Source {
 public:
  virtual ~Source() = default;
  virtual bool ReadAt(uint64_t offset, void* out, size_t n) = 0;
  virtual uint64_t size() const = 0;
};

class MemorySource : public Source {
 public:
  MemorySource(const unsigned char* data, size_t size) : data_(data), size_(size) {}
  bool ReadAt(uint64_t offset, void* out, size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    if (n != 0) std::memcpy(out, data_ + offset, n);
    return true;
  }
  uint64_t size() const override { return size_; }

 private:
  const unsigned char* data_;
  size_t size_;
};

class FileSource : public Source {
 public:
  FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  bool ReadAt(uint64_t offset, void* out, size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    auto* bytes = static_cast<unsigned char*>(out);
    while (n > 0) {
      ssize_t got = pread(fd_, bytes, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // the file shrank under us
      bytes += got;
      offset += static_cast<uint64_t>(got);
      n -= static_cast<size_t>(got);
    }
    return true;
  }
  uint64_t size() const override { return size_; }

 private:
  int fd_;
  uint64_t size_;
};

struct Section {
  uint32_t virtual_address;
  uint32_t raw_size;
  uint32_t raw_offset;
};

// The parts of a PE image that the resource walk needs.
class PeImage {
 public:
  explicit PeImage(Source* source) : source_(source) {}

  // Reads the headers and the section table; false unless a PE image with a
  // resource directory.
  bool Open() {
    unsigned char dos[64];
    if (!source_->ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    uint64_t pe = Le32(dos + 0x3C);
    unsigned char coff[24];
    if (!source_->ReadAt(pe, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0) {
      return false;
    }
    unsigned sections = Le16(coff + 6);
    if (sections > kMaxSections) return false;
    size_t optional_size = Le16(coff + 20);
    // The optional header up to the resource entry of the data directory
    // (PE32: 96 + 3 * 8 bytes, PE32+: 112 + 3 * 8).
    unsigned char optional[136];
    if (optional_size < 2 || !source_->ReadAt(pe + 24, optional, 2)) return false;
    size_t directories;
    uint16_t magic = Le16(optional);
    if (magic == 0x10B) {
      directories = 96;
    } else if (magic == 0x20B) {
      directories = 112;
    } else {
      return false;
    }
    size_t needed = directories + 3 * 8;
    if (optional_size < needed || !source_->ReadAt(pe + 24, optional, needed)) return false;
    if (Le32(optional + directories - 4) <= 2) return false;  // NumberOfRvaAndSizes
    resource_rva_ = Le32(optional + directories + 2 * 8);
    if (resource_rva_ == 0) return false;
    uint64_t table = pe + 24 + optional_size;
    sections_.reserve(sections);
    for (unsigned i = 0; i < sections; ++i) {
      unsigned char header[40];
      if (!source_->ReadAt(table + 40ull * i, header, sizeof header)) return false;
      sections_.push_back({Le32(header + 12), Le32(header + 16), Le32(header + 20)});
    }
    return true;
  }

  // Finds the file offset of n bytes at an RVA; the range must lie inside
  // the raw data of one section, as a file mapped as data holds nothing
  // else, and inside the file.
  bool Locate(uint64_t rva, size_t n, uint64_t* offset) const {
    for (const Section& s : sections_) {
      if (rva < s.virtual_address) continue;
      uint64_t delta = rva - s.virtual_address;
      if (delta >= s.raw_size) continue;
      if (n > s.raw_size - delta) return false;
      *offset = s.raw_offset + delta;
      return *offset <= source_->size() && n <= source_->size() - *offset;
    }
    return false;
  }

  // Reads n bytes at an RVA, as Locate finds them.
  bool ReadRva(uint64_t rva, void* out, size_t n) {
    uint64_t offset;
    return Locate(rva, n, &offset) && source_->ReadAt(offset, out, n);
  }

  // Finds the version resource: type 16, then name 1 (else the first name),
  // then the first language. Sets the RVA and size of its data.
  bool FindVersion(uint32_t* rva, uint32_t* size) {
    uint32_t names;
    uint32_t languages;
    uint32_t entry;
    if (!FindEntry(0, kRtVersion, false, &names) || !(names & kHighBit)) return false;
    if (!FindEntry(names & ~kHighBit, kVersionName, true, &languages) || !(languages & kHighBit)) {
      return false;
    }
    if (!FindEntry(languages & ~kHighBit, 0, true, &entry) || (entry & kHighBit)) return false;
    unsigned char data[16];
    if (!ReadRva(uint64_t{resource_rva_} + entry, data, sizeof data)) return false;
    *rva = Le32(data);
    *size = Le32(data + 4);
    return true;
  }

 private:
  // Looks in the resource directory at offset dir (from the start of the
  // resource directory) for the entry with numeric id; with or_first the
  // first entry serves when none has that id. Sets its OffsetToData. All
  // the entries a header claims must lie in the file, so the work grows
  // with the file's size, not with the counts; they are read a block at a
  // time into a buffer of fixed size.
  bool FindEntry(uint32_t dir, uint32_t id, bool or_first, uint32_t* target) {
    uint64_t base = uint64_t{resource_rva_} + dir;
    unsigned char header[16];
    if (!ReadRva(base, header, sizeof header)) return false;
    unsigned count = Le16(header + 12) + Le16(header + 14);
    uint64_t offset;
    if (!Locate(base + 16, 8 * size_t{count}, &offset)) return false;
    unsigned char block[4096];
    constexpr unsigned kPerBlock = sizeof block / 8;
    for (unsigned done = 0; done < count;) {
      unsigned n = count - done < kPerBlock ? count - done : kPerBlock;
      if (!source_->ReadAt(offset + 8 * uint64_t{done}, block, 8 * size_t{n})) return false;
      for (unsigned i = 0; i < n; ++i) {
        const unsigned char* e = block + 8 * size_t{i};
        uint32_t name = Le32(e);
        if (done + i == 0) {
          *target = Le32(e + 4);
          if (or_first && id == 0) return true;
        }
        if (!(name & kHighBit) && name == id) {
          *target = Le32(e + 4);
          return true;
        }
      }
      done += n;
    }
    return or_first && count > 0;
  }

  Source* source_;
  uint32_t resource_rva_ = 0;
  std::vector<Section> sections_;
};

// Reads the version block of the PE image in source into *resource: the
// smaller of the resource's data size and the block's own wLength.
bool ReadVersionResource(Source* source, std::vector<unsigned char>* resource) {
  PeImage image(source);
  uint32_t rva;
  uint32_t size;
  if (!image.Open() || !image.FindVersion(&rva, &size)) return false;
  unsigned char head[2];
  if (size < kNodeHeader || !image.ReadRva(rva, head, sizeof head)) return false;
  size_t length = Le16(head);
  if (length > size) length = size;  // a block longer than its resource is cut to it
  if (length < kNodeHeader) return false;
  resource->resize(length);
  return image.ReadRva(rva, resource->data(), length);
}

// One node of the VS_VERSIONINFO tree; offsets from the start of the block.
struct Node {
  size_t start;
  size_t end;  // start + wLength
  size_t key;  // the UTF-16 key
  size_t key_units;
  size_t value;       // the value, DWORD-aligned after the key
  size_t value_size;  // bytes, cut to the node
  size_t children;    // the first child, DWORD-aligned after the value
  bool text;
};

// Reads the node at start, which must end by limit. False when its header,
// key or length do not fit.
bool ParseNode(const unsigned char* block, size_t start, size_t limit, Node* node) {
  if (start > limit || limit - start < kNodeHeader) return false;
  size_t length = Le16(block + start);
  if (length < kNodeHeader || length > limit - start) return false;
  node->start = start;
  node->end = start + length;
  node->key = start + kNodeHeader;
  size_t p = node->key;
  while (true) {
    if (node->end - p < 2) return false;  // the key runs past the node
    if (Le16(block + p) == 0) break;
    p += 2;
  }
  node->key_units = (p - node->key) / 2;
  node->text = Le16(block + start + 4) == 1;
  size_t declared = Le16(block + start + 2);
  if (node->text) declared *= 2;  // wValueLength counts UTF-16 units for text
  node->value = Align4(p + 2);
  if (node->value > node->end) node->value = node->end;
  node->value_size = declared < node->end - node->value ? declared : node->end - node->value;
  node->children = Align4(node->value + declared);
  if (node->children > node->end) node->children = node->end;
  return true;
}

// Compares a node's key with one path component, ASCII letters folded.
bool KeyMatches(const unsigned char* block, const Node& node, const char* name, size_t size) {
  if (node.key_units != size) return false;
  for (size_t i = 0; i < size; ++i) {
    unsigned unit = Le16(block + node.key + 2 * i);
    unsigned c = static_cast<unsigned char>(name[i]);
    if (unit >= 'A' && unit <= 'Z') unit += 'a' - 'A';
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (unit != c) return false;
  }
  return true;
}

// Windows-1252 for the UTF-16 unit u, '?' when it has no byte there.
unsigned char To1252(unsigned u) {
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<unsigned char>(u);
  for (unsigned i = 0; i < 32; ++i) {
    if (kHigh[i] == u) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

// Converts one character (one UTF-16 unit or a surrogate pair, size bytes at
// in) to the code page through utf16; '?' when it has no form there, as
// WideCharToMultiByte puts its default character.
size_t ConvertChar(const Iconv& utf16, const unsigned char* in, size_t size, char (&out)[8]) {
  std::string converted;
  // Without a converter even bytes below 0x80 are no character of their own.
  if (!utf16.ok() ||
      !utf16.Convert(std::string_view(reinterpret_cast<const char*>(in), size), false,
                     &converted) ||
      converted.empty() || converted.size() > sizeof out) {
    out[0] = '?';
    return 1;
  }
  std::memcpy(out, converted.data(), converted.size());
  return converted.size();
}

// Converts the UTF-16 text in[0, units) (up to its first NUL) to the code
// page into out[0, room), always NUL-terminated, cut at a character boundary
// when room runs out. Returns the bytes written before the NUL.
size_t ToAnsi(const unsigned char* in, size_t units, unsigned code_page, char* out, size_t room) {
  if (room == 0) return 0;
  Iconv utf16;
  if (code_page != 1252) utf16.Open(IconvName(code_page), "UTF-16LE");
  size_t used = 0;
  for (size_t i = 0; i < units; ++i) {
    unsigned u = Le16(in + 2 * i);
    if (u == 0) break;
    bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < units && Le16(in + 2 * i + 2) >= 0xDC00 &&
                Le16(in + 2 * i + 2) <= 0xDFFF;
    char bytes[8];
    size_t n = 1;
    if (u < 0x80) {
      bytes[0] = static_cast<char>(u);
    } else if (code_page == 1252) {
      bytes[0] = static_cast<char>(pair ? '?' : To1252(u));
    } else {
      n = ConvertChar(utf16, in + 2 * i, pair ? 4 : 2, bytes);
    }
    if (n > room - 1 - used) break;
    std::memcpy(out + used, bytes, n);
    used += n;
    if (pair) ++i;
  }
  out[used] = '\0';
  return used;
}

}  // namespace

unsigned VersionBufferSize(size_t length) {
  return static_cast<unsigned>(2 * length + 2 * kSignatureSize);
}

bool MakeVersionBuffer(const unsigned char* resource, size_t length, void* buffer,
                       size_t capacity) {
  if (length < kNodeHeader || buffer == nullptr) return false;
  size_t block = Le16(resource);
  if (block > length) block = length;
  if (capacity < VersionBufferSize(block)) {
    // Keep the block and its text space inside the caller's buffer.
    if (capacity < VersionBufferSize(kNodeHeader)) return false;
    block = (capacity - 2 * kSignatureSize) / 2;
  }
  if (block < kNodeHeader) return false;
  auto* out = static_cast<unsigned char*>(buffer);
  std::memcpy(out, resource, block);
  out[0] = static_cast<unsigned char>(block & 0xFF);
  out[1] = static_cast<unsigned char>(block >> 8);
  std::memcpy(out + block, kSignature, kSignatureSize);
  std::memset(out + block + kSignatureSize, 0, block + kSignatureSize);
  return true;
}

bool LoadVersionBuffer(const unsigned char* image, size_t size,
                       std::vector<unsigned char>* buffer) {
  MemorySource source(image, size);
  std::vector<unsigned char> resource;
  if (!ReadVersionResource(&source, &resource)) return false;
  buffer->resize(VersionBufferSize(resource.size()));
  return MakeVersionBuffer(resource.data(), resource.size(), buffer->data(), buffer->size());
}

bool PeVersionInfo::LoadFile(const char* path, std::vector<unsigned char>* resource) {
  std::string host;
  if (path == nullptr || machine_ == nullptr ||
      !machine_->MapFor(Machine::Access::kRead, path, &host))
    return false;
  // O_NONBLOCK: opening a FIFO without writer would wait; only a regular
  // file is read, and a regular file's reads never block anyway.
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool ok = false;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    FileSource source(fd, static_cast<uint64_t>(st.st_size));
    ok = ReadVersionResource(&source, resource);
  }
  close(fd);
  return ok;
}

unsigned PeVersionInfo::GetSize(const char* path) {
  std::vector<unsigned char> resource;
  if (!LoadFile(path, &resource)) return 0;
  return VersionBufferSize(resource.size());
}

bool PeVersionInfo::Read(const char* path, unsigned size, void* block) {
  std::vector<unsigned char> resource;
  if (block == nullptr || !LoadFile(path, &resource)) return false;
  return MakeVersionBuffer(resource.data(), resource.size(), block, size);
}

bool PeVersionInfo::Query(void* block, const char* sub_block, const void** value,
                          unsigned* length) {
  if (block == nullptr || sub_block == nullptr || value == nullptr) return false;
  auto* b = static_cast<unsigned char*>(block);
  size_t size = Le16(b);
  // Read always leaves the signature behind the block; anything else is not
  // a block of ours and its length cannot be trusted.
  if (size < kNodeHeader || std::memcmp(b + size, kSignature, kSignatureSize) != 0) return false;
  Node node;
  if (!ParseNode(b, 0, size, &node)) return false;
  bool in_strings = false;
  int depth = 0;
  const char* p = sub_block;
  while (true) {
    while (*p == '\\') ++p;
    if (*p == '\0') break;
    const char* name = p;
    while (*p != '\0' && *p != '\\') ++p;
    size_t name_size = static_cast<size_t>(p - name);
    Node child;
    size_t at = node.children;
    bool found = false;
    while (at < node.end && ParseNode(b, at, node.end, &child)) {
      if (KeyMatches(b, child, name, name_size)) {
        found = true;
        break;
      }
      at = Align4(child.end);
    }
    if (!found) return false;
    if (depth == 0) in_strings = KeyMatches(b, child, "StringFileInfo", 14);
    node = child;
    ++depth;
  }
  // The strings of StringFileInfo are text even where a tool wrote wType 0.
  if (node.text || (in_strings && depth == 3)) {
    char* out = reinterpret_cast<char*>(b + size + kSignatureSize + node.value);
    size_t room = size + kSignatureSize - node.value;  // its mirror of the block
    size_t used = ToAnsi(b + node.value, node.value_size / 2,
                         code_page_ != 0       ? code_page_
                         : machine_ != nullptr ? machine_->code_page()
                                               : 1252,
                         out, room);
    *value = out;
    // A node without a value has length 0, as version.dll gives it.
    if (length != nullptr) *length = node.value_size == 0 ? 0 : static_cast<unsigned>(used + 1);
    return true;
  }
  *value = b + node.value;
  if (length != nullptr) *length = static_cast<unsigned>(node.value_size);
  return true;
}

}  // namespace setup::posix
