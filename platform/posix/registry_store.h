// The registry of the simulated machine: a Registry kept in the file
// registry.reg of the machine folder (see registry_file.h for its form).
//
// Every change is durable when the call returns: the whole file is written
// to a temporary of its own (registry.reg.XXXXXX, created exclusively),
// flushed to disk and renamed over registry.reg, and the folder is flushed
// too, so a crash leaves either the old or the new file. The file keeps its
// mode across saves.
// Changes hold an exclusive flock on registry.reg.lock across read, change and
// write, so concurrent processes never lose each other's changes. Reads take
// no lock: the rename makes every version of the file appear whole.
//
// A damaged file (not in the format, truncated, garbage) is never emptied or
// overwritten: every operation fails with kErrorRegistryCorrupt, and the
// diagnostic sink (standard error by default) receives "file:line: what is
// wrong" once. The engine sees only failed registry operations.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/registry_file.h"
#include "platform/registry.h"

namespace setup::posix {

inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorNoSystemResources = 1450;
inline constexpr long kErrorKeyDeleted = 1018;
inline constexpr long kErrorRegistryCorrupt = 1015;
inline constexpr long kErrorRegistryIoFailed = 1016;

// text with every control byte (below 0x20, and 0x7F) written as \xNN, so
// that a key or path in a diagnostic cannot drive the terminal.
std::string DefuseControls(const std::string& text);

class RegistryStore : public Registry {
 public:
  // Names are in machine's code page. file: the store's path; empty means
  // registry.reg in machine's folder, looked up at every operation (so the
  // machine folder may be chosen later). machine outlives the store.
  explicit RegistryStore(Machine& machine, std::string file = "");

  // Where diagnostics go (damaged file, failed writes, a folder that could
  // not be flushed after a successful write); each distinct message is
  // delivered once per store, its control bytes defused.
  void SetDiagnosticSink(std::function<void(const std::string&)> sink);
  // The path of the store file in use.
  std::string FilePath() const;

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
  // Reads the file (a missing file is an empty registry).
  long Load(StoredRegistry* registry);
  // Lock, load, apply change, and when it reports a change write the file
  // back. change returns a Windows error code and sets *changed.
  long Modify(const std::function<long(StoredRegistry*, bool* changed)>& change);
  long Save(const StoredRegistry& registry);
  // Flushes folder's entries to disk; false with errno set. Virtual so that
  // a test can fail it: nothing else makes fsync of a folder fail at will.
  virtual bool SyncFolder(const std::string& folder);
  void Diagnose(const std::string& message);
  // The key path a handle stands for; false for an unknown handle.
  bool PathOf(RegKey key, std::string* path) const;
  // parent's path joined with a relative name ("" = parent itself).
  std::string Join(const std::string& parent, const char* name) const;
  long NewHandle(const std::string& path, RegKey* key);

  Machine& machine_;
  std::string file_;
  std::function<void(const std::string&)> sink_;
  std::string last_diagnostic_;
  std::vector<std::string> handles_;  // slot i is handle i+1; "" is free
};

}  // namespace setup::posix
