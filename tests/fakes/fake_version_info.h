// A VersionInfo over version resources set up by the test, per path.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/version_info.h"

namespace setup::testing {

class FakeVersionInfo : public VersionInfo {
 public:
  // Gives path a version resource with the one translation language/code page
  // and the strings FileVersion and ProductVersion under it; an empty text
  // leaves that string out. Replaces what path had.
  void AddFile(const std::string& path, const std::string& file_version,
               const std::string& product_version, unsigned short language = 0x0411,
               unsigned short code_page = 0x03A4);
  // Sets the raw bytes of the value at sub_block ("\VarFileInfo\Translation")
  // of path's resource, giving path an empty resource first when it has none.
  // Texts must carry their terminating NUL.
  void SetValue(const std::string& path, const std::string& sub_block, const std::string& bytes);
  // Removes the value at sub_block from path's resource.
  void RemoveValue(const std::string& path, const std::string& sub_block);
  // Sets the translations of path as (language, code page) pairs; an empty
  // list leaves a Translation value of no bytes.
  void SetTranslations(const std::string& path, const std::vector<unsigned short>& pairs);

  // GetSize as version.dll: 0 for a path without a resource. Paths match
  // without regard to ASCII letter case.
  unsigned GetSize(const char* path) override;
  // Fails for an unknown path, a buffer smaller than GetSize, or while
  // fail_read is set.
  bool Read(const char* path, unsigned size, void* block) override;
  // Finds sub_block in a block filled by Read, as version.dll would: ASCII
  // letters folded, only the components between backslashes counting.
  // Texts come back with length counting their NUL.
  bool Query(void* block, const char* sub_block, const void** value, unsigned* length) override;

  bool fail_read = false;
  int get_size_calls = 0;
  int read_calls = 0;
  std::vector<std::string> queries;  // every sub_block asked for, in order

 private:
  struct File {
    std::string path;
    std::vector<std::pair<std::string, std::string>> values;  // sub_block -> bytes
  };
  File* Find(const std::string& path);
  File* FindOrAdd(const std::string& path);
  // The block Read writes for file: "FVIB", its total size, then records.
  static std::string Serialize(const File& file);

  std::vector<File> files_;
};

}  // namespace setup::testing
