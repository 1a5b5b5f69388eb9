// An in-memory Registry for tests: keys and typed values below the five roots,
// names compared without regard to ASCII case, with the failures a real
// registry can show (a failing Nth operation, keys the user may only read).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace setup::testing {

class FakeRegistry : public Registry {
 public:
  static constexpr long kErrorAccessDenied = 5;
  static constexpr long kErrorInvalidHandle = 6;
  static constexpr long kErrorKeyDeleted = 1018;

  struct Value {
    unsigned type = 0;
    std::string data;  // the stored bytes, exactly
  };

  FakeRegistry();

  // Test set-up and inspection, by full path ("HKEY_CURRENT_USER\Software\A").
  // A path with one of the five root names and no key is the root itself.
  void AddKey(const std::string& path);  // with its missing ancestors
  void SetValueAt(const std::string& key_path, const std::string& name, unsigned type,
                  const std::string& data);
  bool HasKey(const std::string& path) const;
  // The value, or nullptr when the key or the value is missing.
  const Value* FindValue(const std::string& key_path, const std::string& name) const;
  // Names of the direct subkeys and the values of a key, in their case as stored.
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  std::vector<std::string> ValueNames(const std::string& path) const;
  // Opening this key with any write access fails (access denied).
  void MakeReadOnly(const std::string& path);

  // Operation n (1-based, counting every call but Root and CloseKey) fails
  // with access denied; 0 never fails.
  int fail_at = 0;
  int operations = 0;
  // Bookkeeping the tests check: handles open now, the most open at once,
  // and calls that would be faults in the caller.
  int open_count = 0;
  int max_open = 0;
  int root_closes = 0;
  int bad_closes = 0;
  std::vector<unsigned> access_seen;  // the access of every open and create

  RegKey Root(RootKey root) override;
  long OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                  unsigned* size) override;
  long SetValue(RegKey key, const char* name, unsigned type, const void* data,
                unsigned size) override;
  long DeleteValue(RegKey key, const char* name) override;
  long DeleteKey(RegKey key, const char* subkey) override;
  void CloseKey(RegKey key) override;

 private:
  struct Node {
    std::string name;
    bool read_only = false;
    bool deleted = false;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    std::vector<std::pair<std::string, Value>> values;  // in the order they were set
  };

  Node* Child(Node* node, const std::string& name) const;
  Node* Resolve(const std::string& path, bool create);
  const Node* Find(const std::string& path) const;
  Node* NodeOf(RegKey key) const;
  bool CountOperation();
  long OpenOrCreate(RegKey parent, const char* name, unsigned access, RegKey* key, bool create);

  std::unique_ptr<Node> roots_[5];
  std::map<RegKey, Node*> handles_;
  std::vector<std::unique_ptr<Node>> graveyard_;  // deleted keys, kept for stale handles
  RegKey next_handle_ = 0x1000;
};

}  // namespace setup::testing
