// The recording decorators: each passes the call on and notes what a
// successful mutating call changed.
#include "platform/posix/change_record.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace setup::posix {
namespace {

// The column at which the name of the changed thing starts.
constexpr size_t kKindWidth = 24;

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

// text with control bytes as \xNN.
std::string Defused(const char* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Defused(const char* text) { return Defused(text, std::strlen(text)); }

// 12345 -> "12,345".
std::string WithThousands(unsigned long long n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string SizeText(unsigned long long size) {
  return " (" + WithThousands(size) + (size == 1 ? " byte)" : " bytes)");
}

// A value's data as the record shows it: strings quoted (up to their first
// zero byte), a DWORD as dword:xxxxxxxx, anything else as hex:xx,xx.
std::string DataText(unsigned type, const void* data, unsigned size) {
  const char* bytes = static_cast<const char*>(data);
  if (bytes == nullptr) size = 0;
  if (type == kRegSz || type == kRegExpandSz) {
    size_t length = 0;
    while (length < size && bytes[length] != '\0') ++length;
    return std::string(type == kRegExpandSz ? "expand:" : "") + "\"" + Defused(bytes, length) +
           "\"";
  }
  char text[16];
  if (type == kRegDword && size == 4) {
    unsigned long value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    std::snprintf(text, sizeof text, "dword:%08lx", value);
    return text;
  }
  std::string out = type == kRegBinary ? "hex:" : "hex(" + std::to_string(type) + "):";
  for (unsigned i = 0; i < size; ++i) {
    std::snprintf(text, sizeof text, i == 0 ? "%02x" : ",%02x",
                  static_cast<unsigned char>(bytes[i]));
    out += text;
  }
  return out;
}

std::string ValueName(const char* name) {
  return name == nullptr || name[0] == '\0' ? "@" : Defused(name);
}

// The program of a command line that starts with a quoted path, and whether
// the rest is the switch of self-registration.
bool RegistrationProgram(const std::string& command_line, std::string* program) {
  if (command_line.size() < 2 || command_line[0] != '"') return false;
  size_t close = command_line.find('"', 1);
  if (close == std::string::npos) return false;
  *program = command_line.substr(1, close - 1);
  return command_line.compare(close + 1, std::string::npos, " /regserver") == 0;
}

}  // namespace

std::string ChangeLine(const char* kind, const std::string& text) {
  std::string line = kind;
  line.append(line.size() < kKindWidth ? kKindWidth - line.size() : 2, ' ');
  return line + text;
}

// --- files ---

bool RecordingFileSystem::Exists(const char* path) {
  FileStatus status;
  return inner_.GetStatus(path, &status);
}

void RecordingFileSystem::NoteFile(const std::string& path, bool existed, unsigned long long size) {
  sink_.Changed(
      ChangeLine(existed ? "file replaced" : "file added", Defused(path.c_str()) + SizeText(size)));
}

bool RecordingFileSystem::Write(FileHandle file, const void* data, unsigned long size) {
  if (!inner_.Write(file, data, size)) return false;
  auto found = replacements_.find(file);
  if (found != replacements_.end()) found->second.written += size;
  return true;
}

void RecordingFileSystem::Close(FileHandle file) {
  replacements_.erase(file);
  inner_.Close(file);
}

FileHandle RecordingFileSystem::CreateReplacement(const char* path) {
  bool existed = Exists(path);
  FileHandle file = inner_.CreateReplacement(path);
  if (file != kNoFile) replacements_[file] = Replacement{path, existed, 0};
  return file;
}

bool RecordingFileSystem::CommitReplacement(FileHandle file) {
  Replacement replacement;
  auto found = replacements_.find(file);
  bool known = found != replacements_.end();
  if (known) {
    replacement = found->second;
    replacements_.erase(found);
  }
  if (!inner_.CommitReplacement(file)) return false;
  if (known) NoteFile(replacement.path, replacement.existed, replacement.written);
  return true;
}

void RecordingFileSystem::AbandonReplacement(FileHandle file) {
  replacements_.erase(file);
  inner_.AbandonReplacement(file);
}

CreateFolderResult RecordingFileSystem::CreateFolder(const char* path) {
  CreateFolderResult result = inner_.CreateFolder(path);
  if (result == CreateFolderResult::kCreated) {
    sink_.Changed(ChangeLine("folder created", Defused(path)));
  }
  return result;
}

bool RecordingFileSystem::CopyFile(const char* source, const char* dest) {
  if (copies_ != nullptr) {
    if (!inner_.CopyFile(source, dest)) return false;
    NoteFile(dest, copies_->last_copy().replaced, copies_->last_copy().size);
    return true;
  }
  bool existed = Exists(dest);
  if (!inner_.CopyFile(source, dest)) return false;
  std::string host;
  struct stat st {};
  if (machine_.MapFor(Machine::Access::kRead, dest, &host) && stat(host.c_str(), &st) == 0) {
    NoteFile(dest, existed, static_cast<unsigned long long>(st.st_size));
  } else {
    sink_.Changed(ChangeLine(existed ? "file replaced" : "file added", Defused(dest)));
  }
  return true;
}

bool RecordingFileSystem::SetAttributes(const char* path, unsigned attributes) {
  if (!inner_.SetAttributes(path, attributes)) return false;
  const char* what = (attributes & kAttrReadOnly) != 0 ? " (read-only on)" : " (read-only off)";
  sink_.Changed(ChangeLine("attributes set", Defused(path) + what));
  return true;
}

// --- registry ---

std::string RecordingRegistry::NameOf(RegKey key, const char* name) const {
  auto found = names_.find(key);
  std::string path = found != names_.end() ? found->second : "?";
  if (name != nullptr && name[0] != '\0') path += "\\" + std::string(name);
  return path;
}

RegKey RecordingRegistry::Root(RootKey root) {
  RegKey key = inner_.Root(root);
  names_[key] = kRootNames[static_cast<int>(root)];
  roots_.insert(key);
  return key;
}

long RecordingRegistry::OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  long result = inner_.OpenKey(parent, name, access, key);
  if (result == kErrorSuccess) names_[*key] = NameOf(parent, name);
  return result;
}

long RecordingRegistry::CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  RegKey probe = 0;
  bool existed = inner_.OpenKey(parent, name, access, &probe) == kErrorSuccess;
  if (existed) inner_.CloseKey(probe);
  long result = inner_.CreateKey(parent, name, access, key);
  if (result != kErrorSuccess) return result;
  names_[*key] = NameOf(parent, name);
  if (!existed) sink_.Changed(ChangeLine("registry key created", Defused(names_[*key].c_str())));
  return result;
}

long RecordingRegistry::SetValue(RegKey key, const char* name, unsigned type, const void* data,
                                 unsigned size) {
  long result = inner_.SetValue(key, name, type, data, size);
  if (result == kErrorSuccess) {
    sink_.Changed(ChangeLine("registry set", Defused(NameOf(key, "").c_str()) + "  " +
                                                 ValueName(name) + " = " +
                                                 DataText(type, data, size)));
  }
  return result;
}

long RecordingRegistry::DeleteValue(RegKey key, const char* name) {
  long result = inner_.DeleteValue(key, name);
  if (result == kErrorSuccess) {
    sink_.Changed(ChangeLine("registry value deleted",
                             Defused(NameOf(key, "").c_str()) + "  " + ValueName(name)));
  }
  return result;
}

long RecordingRegistry::DeleteKey(RegKey key, const char* subkey) {
  long result = inner_.DeleteKey(key, subkey);
  if (result == kErrorSuccess) {
    sink_.Changed(ChangeLine("registry key deleted", Defused(NameOf(key, subkey).c_str())));
  }
  return result;
}

void RecordingRegistry::CloseKey(RegKey key) {
  if (roots_.count(key) == 0) names_.erase(key);
  inner_.CloseKey(key);
}

// --- components ---

ModuleHandle RecordingComponents::LoadModule(const char* path) {
  ModuleHandle module = inner_.LoadModule(path);
  if (module != 0) modules_[module] = path;
  return module;
}

bool RecordingComponents::CallExport(ModuleHandle module, const char* name, long* status) {
  bool called = inner_.CallExport(module, name, status);
  auto found = modules_.find(module);
  if (called && *status == 0 && found != modules_.end() &&
      std::strcmp(name, "DllRegisterServer") == 0) {
    sink_.Changed(ChangeLine(RegisteredKind(module), Defused(found->second.c_str())));
  }
  return called;
}

void RecordingComponents::FreeModule(ModuleHandle module) {
  modules_.erase(module);
  inner_.FreeModule(module);
}

ProcessHandle RecordingComponents::StartProcess(const char* command_line, const char* folder) {
  ProcessHandle process = inner_.StartProcess(command_line, folder);
  if (process != 0) processes_[process] = command_line;
  return process;
}

bool RecordingComponents::HasEnded(ProcessHandle process) {
  if (!inner_.HasEnded(process)) return false;
  auto found = processes_.find(process);
  if (found != processes_.end()) {
    std::string program;
    if (RegistrationProgram(found->second, &program)) {
      sink_.Changed(ChangeLine(RegisteredKind(process), Defused(program.c_str())));
    } else {
      sink_.Changed(ChangeLine("program run", Defused(found->second.c_str())));
    }
    processes_.erase(found);
  }
  return true;
}

void RecordingComponents::CloseProcess(ProcessHandle process) {
  processes_.erase(process);
  inner_.CloseProcess(process);
}

const char* RecordingComponents::RegisteredKind(std::uintptr_t handle) const {
  return simulation_ != nullptr && simulation_->Simulated(handle) ? "registered (simulated)"
                                                                  : "registered";
}

RecordingPlatform::RecordingPlatform(const Platform& inner, Machine& machine, ChangeSink& sink,
                                     const MachineComponents* simulation,
                                     const PosixFileSystem* copies)
    : files_(*inner.files, machine, sink, copies),
      registry_(*inner.registry, sink),
      components_(*inner.components, sink, simulation),
      platform_(inner) {
  platform_.files = &files_;
  platform_.registry = &registry_;
  platform_.components = &components_;
}

}  // namespace setup::posix
