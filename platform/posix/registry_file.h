// The contents of the simulated machine's registry and its text form, the
// layout of the Windows registry editor's export ("Windows Registry Editor
// Version 5.00"): one "[key path]" section per key, then its values.
//
// Text encoding: unlike the editor's own export of this version, which is
// UTF-16, the file is a byte file in the machine's ANSI code page, as the
// installer's ANSI registry calls see the registry. Key paths, value names and
// string data are written as their bytes; in names and string data a
// backslash and a double quote are escaped ("\\", "\"") byte by byte, so the
// escaping never depends on the code page. Data that does not read back
// exactly from a quoted string (no final zero, inner zeros, line breaks) is
// written in hex(1) form, so every value round-trips byte for byte. Lines end
// in CR LF; LF alone is accepted when reading.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace setup::posix {

struct StoredValue {
  std::string name;  // "" is the key's default value
  unsigned type = 0;
  std::string data;  // the bytes exactly as set
};

struct StoredKey {
  std::string path;                 // full path with its root, in the case it was created
  std::vector<StoredValue> values;  // in the order they were first set
  unsigned code_page = 1252;        // the registry's, by which value names fold

  // The value whose name equals name without regard to ASCII case.
  StoredValue* FindValue(std::string_view name);
  const StoredValue* FindValue(std::string_view name) const;
  // Sets or replaces a value.
  void SetValue(const std::string& name, unsigned type, const std::string& data);
  // False when there was no such value.
  bool RemoveValue(const std::string& name);

  // Position in values of each folded name once the key has kIndexedFrom
  // values (empty before: most keys hold a few, which a scan finds as fast),
  // so that a key with many values is read and changed in linear time.
  static constexpr size_t kIndexedFrom = 16;
  std::unordered_map<std::string, size_t> index;
};

// The root key names, in the order of the root enumeration of the registry
// interface.
extern const char* const kStoredRootNames[5];

// ASCII letters folded to upper case; double-byte characters (by the lead
// bytes of code_page, the machine's ANSI code page) are kept whole, so their
// second bytes never fold.
std::string FoldName(const std::string& name, unsigned code_page);
// Splits a key path at backslashes that are not second bytes of double-byte
// characters of code_page.
std::vector<std::string> SplitKeyPath(const std::string& path, unsigned code_page);
// True when name can be stored as one key name: 1 to 255 bytes, no
// backslash (outside double-byte characters of code_page), no line break.
bool IsValidKeyName(std::string_view name, unsigned code_page);

// The whole registry: the five roots and every key below them.
class StoredRegistry {
 public:
  // code_page: the machine's ANSI code page, whose double-byte characters
  // names keep whole.
  explicit StoredRegistry(unsigned code_page);

  unsigned code_page() const { return code_page_; }

  // The key with this full path (case-insensitive), or nullptr.
  StoredKey* FindKey(std::string_view path);
  const StoredKey* FindKey(std::string_view path) const;
  // The key, created with its missing ancestors when needed; nullptr when the
  // path does not start with a root name or holds an invalid key name.
  // *created tells whether anything was added.
  StoredKey* AddKey(std::string_view path, bool* created = nullptr);
  bool HasSubkeys(const std::string& path) const;
  // Removes a key without subkeys (never a root); false when it is missing.
  bool RemoveKey(const std::string& path);
  // Removes a key with all its subkeys (never a root); false when it is
  // missing.
  bool RemoveTree(const std::string& path);
  // Removes every key but the roots, and the roots' values: the registry of
  // an empty file, which a store reads into again without making its roots.
  void Clear();

  // Keys in tree order: every key directly before its subkeys. A lookup
  // takes a part of a folded path as it is, without a copy.
  struct TreeOrder {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  const std::map<std::string, StoredKey, TreeOrder>& keys() const { return keys_; }

 private:
  unsigned code_page_;
  std::map<std::string, StoredKey, TreeOrder> keys_;  // by folded path
};

// Parses the text form; on failure *error is "file:line: what is wrong" and
// *registry is unspecified. Accepts any bytes without crashing.
bool ParseRegistryText(const char* bytes, size_t size, const std::string& file_name,
                       StoredRegistry* registry, std::string* error);
// Carries out a log of changes in the text form on *registry: the same
// layout, where "[-key]" removes a key with its subkeys and "name"=- (or
// @=-) a value, as the editor imports them. Every change is stated whole
// (a key made, a value set or removed, a key removed), so a log carried out
// again over the registry it made gives that registry again. On failure
// *error is "file:line: what is wrong".
bool ApplyRegistryChanges(const char* bytes, size_t size, const std::string& file_name,
                          StoredRegistry* registry, std::string* error);
// The records of such a log, each a section that ends in a blank line: a
// key made, a value set, a value removed, a key removed.
void AppendKeyRecord(const std::string& path, std::string* out);
void AppendValueRecord(const std::string& key_path, const StoredValue& value, std::string* out);
void AppendValueDeletion(const std::string& key_path, const std::string& name, std::string* out);
void AppendKeyDeletion(const std::string& path, std::string* out);

// The text form of registry; ParseRegistryText gives back the same contents.
std::string FormatRegistryText(const StoredRegistry& registry);
// The same into *text, whose memory is reused: a store that saves a large
// registry again and again allocates it once.
void FormatRegistryText(const StoredRegistry& registry, std::string* text);

}  // namespace setup::posix
