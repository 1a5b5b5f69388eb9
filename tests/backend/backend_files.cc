// Reading and writing test files beside the back end under test.
#include <cstdio>
#include <string>

#include "tests/backend/backend.h"

namespace setup::testing {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(NativePath(path).c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
  std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
  if (file == nullptr) return "<missing>";
  std::string bytes;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

}  // namespace setup::testing
