// Registry paths of the script and the key walk, reads, writes, deletions and
// existence tests built on them.
#include "engine/registry_access.h"

#include <cstdlib>
#include <cstring>

namespace setup {

// ORDER: searched in this order; no prefix is a prefix of another.
const RootKeyEntry kRootKeyTable[5] = {
    {"HKEY_CLASSES_ROOT\\", RootKey::kClassesRoot},
    {"HKEY_CURRENT_USER\\", RootKey::kCurrentUser},
    {"HKEY_LOCAL_MACHINE\\", RootKey::kLocalMachine},
    {"HKEY_USERS\\", RootKey::kUsers},
    {"HKEY_CURRENT_CONFIG\\", RootKey::kCurrentConfig},
};

namespace {

// Values up to this size are read on the stack; larger ones need the heap.
constexpr unsigned kReadStackSize = 1024;

// Compares the start of text with prefix, case-sensitively and one character
// at a time; returns the remainder, or nullptr when text does not start with
// prefix. A double-byte character of text never equals the ASCII prefix.
const char* MatchPrefix(const LeadBytes& lead, const char* text, const char* prefix) {
  while (*prefix != '\0') {
    unsigned char c = static_cast<unsigned char>(*text);
    if (IsLeadByte(lead, c)) return nullptr;  // the prefixes hold no double-byte character
    if (*text != *prefix) return nullptr;
    ++text;
    ++prefix;
  }
  return text;
}

// The first backslash of text that is not the second byte of a double-byte
// character, or nullptr.
const char* FindBackslash(const LeadBytes& lead, const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\\') return p;
    if (IsLeadByte(lead, static_cast<unsigned char>(*p))) {
      if (p[1] == '\0') break;  // a lead byte cut off by the terminator ends the text
      ++p;
    }
  }
  return nullptr;
}

// The last such backslash, or nullptr.
const char* FindLastBackslash(const LeadBytes& lead, const char* text) {
  const char* last = nullptr;
  for (const char* p = text; (p = FindBackslash(lead, p)) != nullptr; ++p) last = p;
  return last;
}

}  // namespace

bool ParseRegistryPath(const LeadBytes& lead, const char* text, RegistryPath* path) {
  for (const RootKeyEntry& entry : kRootKeyTable) {
    const char* rest = MatchPrefix(lead, text, entry.prefix);
    if (rest == nullptr) continue;
    // A remainder over 255 bytes cannot be held; refusing it is the sound
    // outcome (a cut path would name another key or value).
    if (std::strlen(rest) >= sizeof path->key_path) return false;
    path->root = entry.root;
    const char* last = FindLastBackslash(lead, rest);
    if (last == nullptr) {
      path->key_path[0] = '\0';
      std::strcpy(path->value_name, rest);
    } else {
      std::memcpy(path->key_path, rest, static_cast<size_t>(last - rest));
      path->key_path[last - rest] = '\0';
      std::strcpy(path->value_name, last + 1);
    }
    return true;
  }
  return false;
}

RegKey OpenRegistryKey(Registry& registry, const LeadBytes& lead, RootKey root,
                       const char* key_path, KeyUse use) {
  const unsigned access = use == KeyUse::kRead ? kKeyRead : kKeyReadWrite;
  const RegKey root_key = registry.Root(root);
  RegKey current = root_key;
  const char* rest = key_path;
  for (;;) {
    // The next name: up to the first real backslash, or the whole rest.
    const char* separator = FindBackslash(lead, rest);
    size_t length =
        separator != nullptr ? static_cast<size_t>(separator - rest) : std::strlen(rest);
    char name[kRegistryTextSize];
    RegKey opened = 0;
    long result = kErrorFileNotFound;
    if (length < sizeof name) {  // a longer name is no key name the platform accepts
      std::memcpy(name, rest, length);
      name[length] = '\0';
      result = use == KeyUse::kCreate ? registry.CreateKey(current, name, access, &opened)
                                      : registry.OpenKey(current, name, access, &opened);
    }
    if (current != root_key) registry.CloseKey(current);  // roots are never closed
    if (result != kErrorSuccess || opened == 0) return 0;
    if (separator == nullptr) return opened;
    current = opened;
    rest = separator + 1;
  }
}

void ReadRegistryString(Registry& registry, const LeadBytes& lead, const char* path, char* dest,
                        int size) {
  if (size <= 0) return;
  dest[0] = '\0';
  RegistryPath parsed;
  if (!ParseRegistryPath(lead, path, &parsed)) return;
  RegKey key = OpenRegistryKey(registry, lead, parsed.root, parsed.key_path, KeyUse::kRead);
  if (key == 0) return;
  unsigned type = 0;
  unsigned value_size = 0;
  if (registry.QueryValue(key, parsed.value_name, &type, nullptr, &value_size) == kErrorSuccess &&
      value_size < 0x7FFFFFFFu) {
    // The whole value is read, since the platform will not hand out part of
    // one; only the bytes up to its first zero are used.
    char stack_buffer[kReadStackSize];
    char* buffer = stack_buffer;
    if (value_size + 1 > sizeof stack_buffer) {
      buffer = static_cast<char*>(std::malloc(value_size + 1));
    }
    if (buffer != nullptr) {
      unsigned read_size = value_size;
      if (registry.QueryValue(key, parsed.value_name, &type, buffer, &read_size) != kErrorSuccess) {
        read_size = 0;  // the value changed in between; read it as missing
      }
      if (read_size > value_size) read_size = value_size;
      buffer[read_size] = '\0';
      CopyBounded(lead, dest, static_cast<unsigned>(size), buffer);
      if (buffer != stack_buffer) std::free(buffer);
    }
  }
  registry.CloseKey(key);
}

bool WriteRegistryString(Registry& registry, const LeadBytes& lead, const char* path,
                         const char* data, unsigned type) {
  RegistryPath parsed;
  if (!ParseRegistryPath(lead, path, &parsed)) return false;
  RegKey key = OpenRegistryKey(registry, lead, parsed.root, parsed.key_path, KeyUse::kCreate);
  if (key == 0) return false;
  bool written = true;
  // With neither a value name nor data, creating the key path is all.
  if (parsed.value_name[0] != '\0' || data[0] != '\0') {
    unsigned size = static_cast<unsigned>(std::strlen(data) + 1);  // with the terminator
    written = registry.SetValue(key, parsed.value_name, type, data, size) == kErrorSuccess;
  }
  registry.CloseKey(key);
  return written;
}

bool DeleteRegistryEntry(Registry& registry, const LeadBytes& lead, const char* path) {
  RegistryPath parsed;
  if (!ParseRegistryPath(lead, path, &parsed)) return false;
  RegKey key = OpenRegistryKey(registry, lead, parsed.root, parsed.key_path, KeyUse::kWrite);
  if (key == 0) return false;
  // The outcome of the deletion is not looked at: the key could be opened.
  if (parsed.value_name[0] != '\0') {
    registry.DeleteValue(key, parsed.value_name);
  } else {
    registry.DeleteKey(key, "");  // the opened key itself
  }
  registry.CloseKey(key);
  return true;
}

bool RegistryKeyExists(Registry& registry, const LeadBytes& lead, const char* path) {
  for (const RootKeyEntry& entry : kRootKeyTable) {
    const char* rest = MatchPrefix(lead, path, entry.prefix);
    if (rest == nullptr) continue;
    // The whole remainder is the key path; a final backslash adds an empty
    // name, which opens the same key again.
    RegKey key = OpenRegistryKey(registry, lead, entry.root, rest, KeyUse::kRead);
    if (key != 0) {
      registry.CloseKey(key);
      return true;
    }
  }
  return false;
}

}  // namespace setup
