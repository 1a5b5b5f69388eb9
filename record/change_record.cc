// The recording decorators: each passes the call on and notes what a
// successful mutating call changed.
#include "record/change_record.h"

#include <cstring>

namespace setup {
namespace {

// The column at which the name of the changed thing starts.
constexpr std::size_t kKindWidth = 24;

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

constexpr char kHexDigits[] = "0123456789abcdef";     // of data
constexpr char kEscapeDigits[] = "0123456789ABCDEF";  // of \xNN

// *n / 10 into *n, the remainder returned: 32-bit divisions of the halves,
// so that setup.exe links no 64-bit division routine.
unsigned DivideBy10(unsigned long long* n) {
  auto high = static_cast<std::uint32_t>(*n >> 32);
  auto low = static_cast<std::uint32_t>(*n);
  std::uint32_t rest = high % 10;
  // Below, each dividend is under 10 * 2^16, so each quotient fits 16 bits.
  std::uint32_t middle = rest << 16 | low >> 16;
  std::uint32_t bottom = middle % 10 << 16 | (low & 0xFFFF);
  *n = static_cast<unsigned long long>(high / 10) << 32 | (middle / 10) << 16 | bottom / 10;
  return bottom % 10;
}

void AddHexByte(LineText* line, unsigned char byte) {
  char digits[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
  line->Add(digits, 2);
}

// A value's data as the record shows it: strings quoted (up to their first
// zero byte), a DWORD as dword:xxxxxxxx, anything else as hex:xx,xx.
void AddData(LineText* line, unsigned type, const void* data, unsigned size) {
  const char* bytes = static_cast<const char*>(data);
  if (bytes == nullptr) size = 0;
  if (type == kRegSz || type == kRegExpandSz) {
    std::size_t length = 0;
    while (length < size && bytes[length] != '\0') ++length;
    line->Add(type == kRegExpandSz ? "expand:\"" : "\"").Defused(bytes, length).Add("\"");
    return;
  }
  if (type == kRegDword && size == 4) {
    line->Add("dword:");
    for (int i = 3; i >= 0; --i) AddHexByte(line, static_cast<unsigned char>(bytes[i]));
    return;
  }
  if (type == kRegBinary) {
    line->Add("hex:");
  } else {
    line->Add("hex(").Thousands(type).Add("):");
  }
  for (unsigned i = 0; i < size; ++i) {
    if (i > 0) line->Add(",");
    AddHexByte(line, static_cast<unsigned char>(bytes[i]));
  }
}

void AddValueName(LineText* line, const char* name) {
  if (name == nullptr || name[0] == '\0') {
    line->Add("@");
  } else {
    line->Defused(name);
  }
}

void CopyName(char* dest, const char* text) {
  std::size_t length = std::strlen(text);
  if (length >= kChangeNameSize) length = kChangeNameSize - 1;
  std::memcpy(dest, text, length);
  dest[length] = '\0';
}

}  // namespace

// --- lines ---

LineText& LineText::Add(const char* text) { return Add(text, std::strlen(text)); }

LineText& LineText::Add(const char* text, std::size_t length) {
  constexpr std::size_t kRoom = kChangeLineSize - 4;  // for "..." and the NUL
  if (length_ > kRoom) return *this;
  if (length > kRoom - length_) {
    std::memcpy(text_ + length_, text, kRoom - length_);
    std::memcpy(text_ + kRoom, "...", 4);
    length_ = kChangeLineSize - 1;
    return *this;
  }
  std::memcpy(text_ + length_, text, length);
  length_ += length;
  text_[length_] = '\0';
  return *this;
}

LineText& LineText::Defused(const char* text) { return Defused(text, std::strlen(text)); }

LineText& LineText::Defused(const char* text, std::size_t length) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7F) continue;
    Add(text + plain, i - plain).Add("\\x");
    char digits[2] = {kEscapeDigits[c >> 4], kEscapeDigits[c & 0xF]};
    Add(digits, 2);
    plain = i + 1;
  }
  return Add(text + plain, length - plain);
}

LineText& LineText::Thousands(unsigned long long n) {
  char digits[32];
  int count = 0;
  do {
    if (count % 4 == 3) digits[count++] = ',';
    digits[count++] = static_cast<char>('0' + DivideBy10(&n));
  } while (n != 0);
  char text[32];
  for (int i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
  return Add(text, static_cast<std::size_t>(count));
}

LineText& LineText::PadTo(std::size_t column) {
  std::size_t blanks = length_ + 2 < column ? column - length_ : 2;
  while (blanks-- > 0) Add(" ", 1);
  return *this;
}

void StartChangeLine(LineText* line, const char* kind) { line->Add(kind).PadTo(kKindWidth); }

// --- files ---

bool RecordingFileSystem::Exists(const char* path) {
  FileStatus status;
  return inner_.GetStatus(path, &status);
}

RecordingFileSystem::Replacement* RecordingFileSystem::Find(FileHandle file) {
  for (Replacement& slot : replacements_) {
    if (slot.file == file) return &slot;
  }
  return nullptr;
}

void RecordingFileSystem::NoteFile(const char* path, bool existed, bool sized,
                                   unsigned long long size) {
  LineText line;
  StartChangeLine(&line, existed ? "file replaced" : "file added");
  line.Defused(path);
  if (sized) line.Add(" (").Thousands(size).Add(size == 1 ? " byte)" : " bytes)");
  sink_.Changed(line.c_str());
}

bool RecordingFileSystem::Write(FileHandle file, const void* data, unsigned long size) {
  if (!inner_.Write(file, data, size)) return false;
  Replacement* slot = file != kNoFile ? Find(file) : nullptr;
  if (slot != nullptr) slot->written += size;
  return true;
}

void RecordingFileSystem::Close(FileHandle file) {
  Replacement* slot = file != kNoFile ? Find(file) : nullptr;
  if (slot != nullptr) slot->file = kNoFile;
  inner_.Close(file);
}

FileHandle RecordingFileSystem::CreateReplacement(const char* path) {
  bool existed = Exists(path);
  FileHandle file = inner_.CreateReplacement(path);
  Replacement* slot = file != kNoFile ? Find(kNoFile) : nullptr;
  if (slot != nullptr) {
    *slot = Replacement{file, existed, 0, ""};
    CopyName(slot->path, path);
  }
  return file;
}

bool RecordingFileSystem::CommitReplacement(FileHandle file) {
  Replacement* slot = file != kNoFile ? Find(file) : nullptr;
  if (slot != nullptr) slot->file = kNoFile;  // the slot is read below, before any reuse
  if (!inner_.CommitReplacement(file)) return false;
  if (slot != nullptr) NoteFile(slot->path, slot->existed, true, slot->written);
  return true;
}

void RecordingFileSystem::AbandonReplacement(FileHandle file) {
  Replacement* slot = file != kNoFile ? Find(file) : nullptr;
  if (slot != nullptr) slot->file = kNoFile;
  inner_.AbandonReplacement(file);
}

CreateFolderResult RecordingFileSystem::CreateFolder(const char* path) {
  CreateFolderResult result = inner_.CreateFolder(path);
  if (result == CreateFolderResult::kCreated) {
    LineText line;
    StartChangeLine(&line, "folder created");
    sink_.Changed(line.Defused(path).c_str());
  }
  return result;
}

bool RecordingFileSystem::CopyFile(const char* source, const char* dest) {
  bool existed = Exists(dest);
  if (!inner_.CopyFile(source, dest)) return false;
  unsigned long long size = 0;
  bool sized = facts_ != nullptr && facts_->LastCopy(dest, &existed, &size);
  NoteFile(dest, existed, sized, size);
  return true;
}

bool RecordingFileSystem::SetAttributes(const char* path, unsigned attributes) {
  if (!inner_.SetAttributes(path, attributes)) return false;
  LineText line;
  StartChangeLine(&line, "attributes set");
  line.Defused(path).Add((attributes & kAttrReadOnly) != 0 ? " (read-only on)"
                                                           : " (read-only off)");
  sink_.Changed(line.c_str());
  return true;
}

// --- registry ---

void RecordingRegistry::AddName(LineText* line, RegKey key, const char* name) const {
  const char* known = "?";
  for (int i = 0; i < kRoots; ++i) {
    if (root_known_[i] && roots_[i] == key) known = kRootNames[i];
  }
  for (const Name& slot : names_) {
    if (slot.used && slot.key == key) known = slot.text;
  }
  line->Defused(known);
  if (name != nullptr && name[0] != '\0') line->Add("\\").Defused(name);
}

void RecordingRegistry::Remember(RegKey key, RegKey parent, const char* name) {
  LineText full;
  AddName(&full, parent, name);
  Name* free_slot = nullptr;
  for (Name& slot : names_) {
    if (slot.used && slot.key == key) free_slot = &slot;  // a handle given out again
    if (!slot.used && free_slot == nullptr) free_slot = &slot;
  }
  if (free_slot == nullptr) return;  // more keys open than ever seen: named "?"
  free_slot->used = true;
  free_slot->key = key;
  CopyName(free_slot->text, full.c_str());
}

void RecordingRegistry::AddFormer(LineText* line, RegKey key, const char* name) {
  unsigned char data[1024];
  unsigned type = 0;
  unsigned size = sizeof data;
  long result = inner_.QueryValue(key, name, &type, data, &size);
  if (result == kErrorMoreData) {
    line->Add(" (was ").Thousands(size).Add(" bytes of data)");
  } else if (result == kErrorSuccess) {
    line->Add(" (was ");
    AddData(line, type, data, size);
    line->Add(")");
  }
}

RegKey RecordingRegistry::Root(RootKey root) {
  RegKey key = inner_.Root(root);
  int index = static_cast<int>(root);
  roots_[index] = key;
  root_known_[index] = true;
  return key;
}

long RecordingRegistry::OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  long result = inner_.OpenKey(parent, name, access, key);
  if (result == kErrorSuccess) Remember(*key, parent, name);
  return result;
}

long RecordingRegistry::CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) {
  RegKey probe = 0;
  bool existed = inner_.OpenKey(parent, name, access, &probe) == kErrorSuccess;
  if (existed) inner_.CloseKey(probe);
  long result = inner_.CreateKey(parent, name, access, key);
  if (result != kErrorSuccess) return result;
  Remember(*key, parent, name);
  if (!existed) {
    LineText line;
    StartChangeLine(&line, "registry key created");
    AddName(&line, parent, name);
    sink_.Changed(line.c_str());
  }
  return result;
}

long RecordingRegistry::SetValue(RegKey key, const char* name, unsigned type, const void* data,
                                 unsigned size) {
  LineText line;
  StartChangeLine(&line, "registry set");
  AddName(&line, key, nullptr);
  line.Add("  ");
  AddValueName(&line, name);
  line.Add(" = ");
  AddData(&line, type, data, size);
  AddFormer(&line, key, name);
  long result = inner_.SetValue(key, name, type, data, size);
  if (result == kErrorSuccess) sink_.Changed(line.c_str());
  return result;
}

long RecordingRegistry::DeleteValue(RegKey key, const char* name) {
  LineText line;
  StartChangeLine(&line, "registry value deleted");
  AddName(&line, key, nullptr);
  line.Add("  ");
  AddValueName(&line, name);
  AddFormer(&line, key, name);
  long result = inner_.DeleteValue(key, name);
  if (result == kErrorSuccess) sink_.Changed(line.c_str());
  return result;
}

long RecordingRegistry::DeleteKey(RegKey key, const char* subkey) {
  long result = inner_.DeleteKey(key, subkey);
  if (result == kErrorSuccess) {
    LineText line;
    StartChangeLine(&line, "registry key deleted");
    AddName(&line, key, subkey);
    sink_.Changed(line.c_str());
  }
  return result;
}

void RecordingRegistry::CloseKey(RegKey key) {
  for (Name& slot : names_) {
    if (slot.used && slot.key == key) slot.used = false;
  }
  inner_.CloseKey(key);
}

// --- components ---

RecordingComponents::Started* RecordingComponents::Find(Started* table, std::uintptr_t handle) {
  for (int i = 0; i < kSlots; ++i) {
    if (table[i].handle == handle) return &table[i];
  }
  return nullptr;
}

void RecordingComponents::Keep(Started* table, std::uintptr_t handle, const char* text) {
  Started* slot = handle != 0 ? Find(table, 0) : nullptr;
  if (slot == nullptr) return;  // more started at once than ever seen: not noted
  slot->handle = handle;
  CopyName(slot->text, text);
}

void RecordingComponents::Note(std::uintptr_t handle, bool registration, const char* text,
                               std::size_t length) {
  const char* kind = "program run";
  if (registration) {
    bool simulated = simulation_ != nullptr && simulation_->Simulated(handle);
    kind = simulated ? "registered (simulated)" : "registered";
  }
  LineText line;
  StartChangeLine(&line, kind);
  sink_.Changed(line.Defused(text, length).c_str());
}

ModuleHandle RecordingComponents::LoadModule(const char* path) {
  ModuleHandle module = inner_.LoadModule(path);
  Keep(modules_, module, path);
  return module;
}

bool RecordingComponents::CallExport(ModuleHandle module, const char* name, long* status) {
  bool called = inner_.CallExport(module, name, status);
  Started* slot = module != 0 ? Find(modules_, module) : nullptr;
  if (called && *status == 0 && slot != nullptr && std::strcmp(name, "DllRegisterServer") == 0) {
    Note(module, true, slot->text, std::strlen(slot->text));
  }
  return called;
}

void RecordingComponents::FreeModule(ModuleHandle module) {
  Started* slot = module != 0 ? Find(modules_, module) : nullptr;
  if (slot != nullptr) slot->handle = 0;
  inner_.FreeModule(module);
}

ProcessHandle RecordingComponents::StartProcess(const char* command_line, const char* folder) {
  ProcessHandle process = inner_.StartProcess(command_line, folder);
  Keep(processes_, process, command_line);
  return process;
}

bool RecordingComponents::HasEnded(ProcessHandle process) {
  if (!inner_.HasEnded(process)) return false;
  Started* slot = process != 0 ? Find(processes_, process) : nullptr;
  if (slot != nullptr) {
    // A quoted program followed by the switch of self-registration.
    const char* text = slot->text;
    const char* close = text[0] == '"' ? std::strchr(text + 1, '"') : nullptr;
    if (close != nullptr && std::strcmp(close + 1, " /regserver") == 0) {
      Note(process, true, text + 1, static_cast<std::size_t>(close - text - 1));
    } else {
      Note(process, false, text, std::strlen(text));
    }
    slot->handle = 0;
  }
  return true;
}

void RecordingComponents::CloseProcess(ProcessHandle process) {
  Started* slot = process != 0 ? Find(processes_, process) : nullptr;
  if (slot != nullptr) slot->handle = 0;
  inner_.CloseProcess(process);
}

RecordingPlatform::RecordingPlatform(const Platform& inner, ChangeSink& sink, CopyFacts* copies,
                                     const SimulationFacts* simulation)
    : files_(*inner.files, sink, copies),
      registry_(*inner.registry, sink),
      components_(*inner.components, sink, simulation),
      platform_(inner) {
  platform_.files = &files_;
  platform_.registry = &registry_;
  platform_.components = &components_;
}

}  // namespace setup
