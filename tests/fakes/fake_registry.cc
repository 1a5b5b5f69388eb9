// The in-memory registry of the tests.
#include "tests/fakes/fake_registry.h"

#include <cstring>

#include "engine/lexicon.h"
#include "platform/shift_jis.h"

namespace setup::testing {
namespace {

constexpr const char* kRootNames[5] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                       "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
// The predefined handles, as Windows numbers them.
constexpr RegKey kRootHandles[5] = {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u,
                                    0x80000005u};
constexpr unsigned kWriteAccess = 0x20006;  // KEY_WRITE

// Names are in Shift-JIS, as on a Japanese system.
bool IsLead(unsigned char byte) { return IsShiftJisLeadByte(byte); }

// Names compare with ASCII letters folded; both bytes of a double-byte
// character compare exactly.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (IsLead(x)) {
      if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (ToUpperAscii(x) != ToUpperAscii(y)) return false;
  }
  return true;
}

// Splits at backslashes that are not second bytes of double-byte characters;
// empty names are dropped (they name the same key again).
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  std::string name;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else if (IsLead(c) && i + 1 < path.size()) {
      name += path[i];
      name += path[++i];
    } else {
      name += path[i];
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

}  // namespace

FakeRegistry::FakeRegistry() {
  for (int i = 0; i < 5; ++i) {
    roots_[i] = std::make_unique<Node>();
    roots_[i]->name = kRootNames[i];
  }
}

FakeRegistry::Node* FakeRegistry::Child(Node* node, const std::string& name) const {
  for (auto& child : node->children) {
    if (SameName(child->name, name)) return child.get();
  }
  return nullptr;
}

FakeRegistry::Node* FakeRegistry::Resolve(const std::string& path, bool create) {
  std::vector<std::string> names = SplitPath(path);
  if (names.empty()) return nullptr;
  Node* node = nullptr;
  for (int i = 0; i < 5; ++i) {
    if (SameName(names[0], kRootNames[i])) node = roots_[i].get();
  }
  for (size_t i = 1; node != nullptr && i < names.size(); ++i) {
    Node* child = Child(node, names[i]);
    if (child == nullptr && create) {
      node->children.push_back(std::make_unique<Node>());
      child = node->children.back().get();
      child->name = names[i];
      child->parent = node;
    }
    node = child;
  }
  return node;
}

const FakeRegistry::Node* FakeRegistry::Find(const std::string& path) const {
  return const_cast<FakeRegistry*>(this)->Resolve(path, false);
}

void FakeRegistry::AddKey(const std::string& path) { Resolve(path, true); }

void FakeRegistry::SetValueAt(const std::string& key_path, const std::string& name, unsigned type,
                              const std::string& data) {
  Node* node = Resolve(key_path, true);
  for (auto& value : node->values) {
    if (SameName(value.first, name)) {
      value.second = Value{type, data};
      return;
    }
  }
  node->values.emplace_back(name, Value{type, data});
}

bool FakeRegistry::HasKey(const std::string& path) const { return Find(path) != nullptr; }

const FakeRegistry::Value* FakeRegistry::FindValue(const std::string& key_path,
                                                   const std::string& name) const {
  const Node* node = Find(key_path);
  if (node == nullptr) return nullptr;
  for (auto& value : node->values) {
    if (SameName(value.first, name)) return &value.second;
  }
  return nullptr;
}

std::vector<std::string> FakeRegistry::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(path)) {
    for (auto& child : node->children) names.push_back(child->name);
  }
  return names;
}

std::vector<std::string> FakeRegistry::ValueNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(path)) {
    for (auto& value : node->values) names.push_back(value.first);
  }
  return names;
}

void FakeRegistry::MakeReadOnly(const std::string& path) { Resolve(path, true)->read_only = true; }

RegKey FakeRegistry::Root(RootKey root) { return kRootHandles[static_cast<int>(root)]; }

FakeRegistry::Node* FakeRegistry::NodeOf(RegKey key) const {
  for (int i = 0; i < 5; ++i) {
    if (key == kRootHandles[i]) return roots_[i].get();
  }
  auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : it->second;
}

bool FakeRegistry::CountOperation() { return ++operations != fail_at; }

long FakeRegistry::OpenOrCreate(RegKey parent, const char* name, unsigned access, RegKey* key,
                                bool create) {
  access_seen.push_back(access);
  if (!CountOperation()) return kErrorAccessDenied;
  Node* node = NodeOf(parent);
  if (node == nullptr) return kErrorInvalidHandle;
  if (node->deleted) return kErrorKeyDeleted;
  for (const std::string& part : SplitPath(name)) {
    if (part.size() > 255) return 87;  // ERROR_INVALID_PARAMETER, as Windows
    Node* child = Child(node, part);
    if (child == nullptr) {
      if (!create) return kErrorFileNotFound;
      if (node->read_only) return kErrorAccessDenied;
      node->children.push_back(std::make_unique<Node>());
      child = node->children.back().get();
      child->name = part;
      child->parent = node;
    }
    node = child;
  }
  if (node->read_only && (access & kWriteAccess & ~0x20000u) != 0) return kErrorAccessDenied;
  *key = next_handle_++;
  handles_[*key] = node;
  if (++open_count > max_open) max_open = open_count;
  return kErrorSuccess;
}

long FakeRegistry::OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  return OpenOrCreate(parent, name, access, key, false);
}

long FakeRegistry::CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  return OpenOrCreate(parent, name, access, key, true);
}

long FakeRegistry::QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                              unsigned* size) {
  if (!CountOperation()) return kErrorAccessDenied;
  Node* node = NodeOf(key);
  if (node == nullptr) return kErrorInvalidHandle;
  if (node->deleted) return kErrorKeyDeleted;
  for (auto& value : node->values) {
    if (!SameName(value.first, name)) continue;
    const std::string& bytes = value.second.data;
    if (type != nullptr) *type = value.second.type;
    if (data != nullptr) {
      if (size == nullptr) return 998;  // ERROR_NOACCESS
      if (*size < bytes.size()) {
        *size = static_cast<unsigned>(bytes.size());
        return kErrorMoreData;
      }
      std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size != nullptr) *size = static_cast<unsigned>(bytes.size());
    return kErrorSuccess;
  }
  return kErrorFileNotFound;
}

long FakeRegistry::SetValue(RegKey key, const char* name, unsigned type, const void* data,
                            unsigned size) {
  if (!CountOperation()) return kErrorAccessDenied;
  Node* node = NodeOf(key);
  if (node == nullptr) return kErrorInvalidHandle;
  if (node->deleted) return kErrorKeyDeleted;
  std::string bytes(static_cast<const char*>(data), size);
  for (auto& value : node->values) {
    if (SameName(value.first, name)) {
      value.second = Value{type, bytes};
      return kErrorSuccess;
    }
  }
  node->values.emplace_back(name, Value{type, bytes});
  return kErrorSuccess;
}

long FakeRegistry::DeleteValue(RegKey key, const char* name) {
  if (!CountOperation()) return kErrorAccessDenied;
  Node* node = NodeOf(key);
  if (node == nullptr) return kErrorInvalidHandle;
  if (node->deleted) return kErrorKeyDeleted;
  for (auto it = node->values.begin(); it != node->values.end(); ++it) {
    if (SameName(it->first, name)) {
      node->values.erase(it);
      return kErrorSuccess;
    }
  }
  return kErrorFileNotFound;
}

long FakeRegistry::DeleteKey(RegKey key, const char* subkey) {
  if (!CountOperation()) return kErrorAccessDenied;
  Node* node = NodeOf(key);
  if (node == nullptr) return kErrorInvalidHandle;
  if (node->deleted) return kErrorKeyDeleted;
  for (const std::string& part : SplitPath(subkey)) {
    node = Child(node, part);
    if (node == nullptr) return kErrorFileNotFound;
  }
  // As on Windows NT: a root, or a key that still has subkeys, stays.
  if (node->parent == nullptr || !node->children.empty()) return kErrorAccessDenied;
  if (node->parent->read_only) return kErrorAccessDenied;
  node->deleted = true;  // open handles now see a deleted key
  auto& siblings = node->parent->children;
  for (auto it = siblings.begin(); it != siblings.end(); ++it) {
    if (it->get() == node) {
      // Keep the node alive for handles that still point at it.
      graveyard_.push_back(std::move(*it));
      siblings.erase(it);
      break;
    }
  }
  return kErrorSuccess;
}

void FakeRegistry::CloseKey(RegKey key) {
  for (RegKey root : kRootHandles) {
    if (key == root) {
      ++root_closes;
      return;
    }
  }
  if (handles_.erase(key) == 0) {
    ++bad_closes;
    return;
  }
  --open_count;
}

}  // namespace setup::testing
