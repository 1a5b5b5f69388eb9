// A VersionInfo over version resources set up by the test, per path.
#include "tests/fakes/fake_version_info.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace setup::testing {
namespace {

constexpr char kMagic[4] = {'F', 'V', 'I', 'B'};

// Lower-cases ASCII letters and folds runs of backslashes into one, so
// that paths compare as Windows would.
std::string Canonical(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// A sub-block as version.dll reads it: components between backslashes, so
// leading, trailing and repeated ones do not count.
std::string CanonicalSubBlock(const std::string& text) {
  std::string out = Canonical("\\" + text + "\\");
  return out.substr(0, out.size() - 1);
}

void PutLength(std::string* out, size_t n) {
  uint32_t v = static_cast<uint32_t>(n);
  out->append(reinterpret_cast<const char*>(&v), sizeof v);
}

uint32_t GetLength(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

FakeVersionInfo::File* FakeVersionInfo::Find(const std::string& path) {
  for (File& file : files_) {
    if (Canonical(file.path) == Canonical(path)) return &file;
  }
  return nullptr;
}

FakeVersionInfo::File* FakeVersionInfo::FindOrAdd(const std::string& path) {
  if (File* file = Find(path)) return file;
  files_.push_back({path, {}});
  return &files_.back();
}

void FakeVersionInfo::AddFile(const std::string& path, const std::string& file_version,
                              const std::string& product_version, unsigned short language,
                              unsigned short code_page) {
  File* file = FindOrAdd(path);
  file->values.clear();
  SetTranslations(path, {language, code_page});
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04X%04X\\", language, code_page);
  if (!file_version.empty()) {
    SetValue(path, prefix + std::string("FileVersion"), file_version + '\0');
  }
  if (!product_version.empty()) {
    SetValue(path, prefix + std::string("ProductVersion"), product_version + '\0');
  }
}

void FakeVersionInfo::SetValue(const std::string& path, const std::string& sub_block,
                               const std::string& bytes) {
  File* file = FindOrAdd(path);
  for (auto& value : file->values) {
    if (CanonicalSubBlock(value.first) == CanonicalSubBlock(sub_block)) {
      value.second = bytes;
      return;
    }
  }
  file->values.emplace_back(sub_block, bytes);
}

void FakeVersionInfo::RemoveValue(const std::string& path, const std::string& sub_block) {
  File* file = Find(path);
  if (file == nullptr) return;
  for (size_t i = 0; i < file->values.size(); ++i) {
    if (CanonicalSubBlock(file->values[i].first) == CanonicalSubBlock(sub_block)) {
      file->values.erase(file->values.begin() + static_cast<long>(i));
      return;
    }
  }
}

void FakeVersionInfo::SetTranslations(const std::string& path,
                                      const std::vector<unsigned short>& pairs) {
  std::string bytes;
  for (unsigned short v : pairs) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>(v >> 8);
  }
  SetValue(path, "\\VarFileInfo\\Translation", bytes);
}

std::string FakeVersionInfo::Serialize(const File& file) {
  std::string body;
  for (const auto& [key, bytes] : file.values) {
    std::string canonical = CanonicalSubBlock(key);
    PutLength(&body, canonical.size());
    body += canonical;
    PutLength(&body, bytes.size());
    body += bytes;
  }
  std::string block(kMagic, sizeof kMagic);
  PutLength(&block, sizeof kMagic + 4 + body.size());
  return block + body;
}

unsigned FakeVersionInfo::GetSize(const char* path) {
  ++get_size_calls;
  File* file = path != nullptr ? Find(path) : nullptr;
  return file != nullptr ? static_cast<unsigned>(Serialize(*file).size()) : 0;
}

bool FakeVersionInfo::Read(const char* path, unsigned size, void* block) {
  ++read_calls;
  File* file = path != nullptr ? Find(path) : nullptr;
  if (file == nullptr || block == nullptr || fail_read) return false;
  std::string bytes = Serialize(*file);
  if (size < bytes.size()) return false;
  std::memcpy(block, bytes.data(), bytes.size());
  return true;
}

bool FakeVersionInfo::Query(void* block, const char* sub_block, const void** value,
                            unsigned* length) {
  if (block == nullptr || sub_block == nullptr || value == nullptr) return false;
  queries.emplace_back(sub_block);
  auto* b = static_cast<const unsigned char*>(block);
  if (std::memcmp(b, kMagic, sizeof kMagic) != 0) return false;
  size_t end = GetLength(b + 4);
  std::string wanted = CanonicalSubBlock(sub_block);
  for (size_t at = 8; at + 4 <= end;) {
    size_t key_size = GetLength(b + at);
    std::string key(reinterpret_cast<const char*>(b + at + 4), key_size);
    at += 4 + key_size;
    size_t value_size = GetLength(b + at);
    at += 4;
    if (key == wanted) {
      *value = b + at;
      if (length != nullptr) *length = static_cast<unsigned>(value_size);
      return true;
    }
    at += value_size;
  }
  return false;
}

}  // namespace setup::testing
