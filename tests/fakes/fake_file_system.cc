// The in-memory file system of the unit tests.
#include "tests/fakes/fake_file_system.h"

#include <algorithm>
#include <cstring>

namespace setup::testing {
namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// * and ? over the case-folded name; no special treatment of the dot. A
// mismatch resumes behind the last * one byte further on, so a pattern of
// many stars costs no more than a product of the lengths (a recursive
// matcher took exponential time on them and stalled the fuzzing).
bool WildMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* retry = nullptr;
  for (;;) {
    if (*pattern == '*') {
      star = ++pattern;
      retry = name;
      continue;
    }
    if (*name == '\0') {
      if (*pattern == '\0') return true;
    } else if (*pattern == '?' || (*pattern != '\0' && *pattern == *name)) {
      ++pattern;
      ++name;
      continue;
    }
    if (star == nullptr || *retry == '\0') return false;
    pattern = star;
    name = ++retry;
  }
}

bool IsDriveRoot(const std::string& key) {
  return (key.size() == 2 && key[1] == ':') || (key.size() == 3 && key[1] == ':' && key[2] == '\\');
}

}  // namespace

std::string FakeFileSystem::Key(const std::string& path) {
  std::string key;
  for (char c : path) key += c == '/' ? '\\' : Fold(c);
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  return key;
}

std::string FakeFileSystem::Parent(const std::string& path) {
  std::string key = Key(path);
  std::size_t slash = key.find_last_of('\\');
  if (slash == std::string::npos) return "";
  if (slash == 2 && key[1] == ':') return key.substr(0, 3);
  return key.substr(0, slash);
}

void FakeFileSystem::AddFolder(const std::string& path) {
  std::string key = Key(path);
  if (key.empty() || IsDriveRoot(key)) return;
  AddFolder(Parent(path));
  Node& node = nodes_[key];
  if (node.path.empty()) node.path = path;
  node.folder = true;
  node.attributes |= kAttrDirectory;
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& bytes, unsigned attributes,
                             std::int64_t time) {
  AddFolder(Parent(path));
  Node node;
  node.path = path;
  node.bytes = bytes;
  node.attributes = attributes;
  node.last_write_time = time;
  nodes_[Key(path)] = node;
}

void FakeFileSystem::FailOperation(const std::string& op, int nth) { failing_[op].push_back(nth); }

bool FakeFileSystem::ShouldFail(const char* op) {
  int call = ++calls_[op];
  ++all_calls_;
  if (fail_at != 0 && all_calls_ == fail_at) return true;
  auto it = failing_.find(op);
  if (it == failing_.end()) return false;
  return std::find(it->second.begin(), it->second.end(), call) != it->second.end();
}

void FakeFileSystem::Log(const char* op, const std::string& what, bool ok) {
  log.push_back(std::string(op) + " " + what + (ok ? " -> ok" : " -> failed"));
}

bool FakeFileSystem::FolderExists(const std::string& path) const {
  std::string key = Key(path);
  if (key.empty() || IsDriveRoot(key)) return true;  // relative names live in the current folder
  auto it = nodes_.find(key);
  return it != nodes_.end() && it->second.folder;
}

bool FakeFileSystem::IsLocked(const std::string& path) const {
  return std::find(locked_.begin(), locked_.end(), Key(path)) != locked_.end();
}

bool FakeFileSystem::Exists(const std::string& path) const {
  return nodes_.count(Key(path)) != 0 || IsDriveRoot(Key(path));
}

bool FakeFileSystem::IsFolder(const std::string& path) const {
  std::string key = Key(path);
  if (IsDriveRoot(key)) return true;
  auto it = nodes_.find(key);
  return it != nodes_.end() && it->second.folder;
}

std::string FakeFileSystem::Contents(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? std::string() : it->second.bytes;
}

unsigned FakeFileSystem::Attributes(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? 0 : it->second.attributes;
}

std::vector<std::string> FakeFileSystem::Listing() const {
  std::vector<std::string> all;
  for (const auto& [key, node] : nodes_) all.push_back(node.folder ? key + "\\" : key);
  return all;
}

std::vector<std::string> FakeFileSystem::Names(const std::string& folder) const {
  std::vector<std::string> names;
  std::string key = Key(folder);
  for (const auto& [name, node] : nodes_) {
    if (Parent(name) == key) names.push_back(node.path.substr(node.path.find_last_of("\\/") + 1));
  }
  return names;
}

bool FakeFileSystem::SetLastWriteTime(const std::string& path, std::int64_t time) {
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) return false;
  it->second.last_write_time = time;
  return true;
}

bool FakeFileSystem::Remove(const std::string& path) {
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || it->second.folder) return false;
  nodes_.erase(it);
  return true;
}

FileHandle FakeFileSystem::OpenRead(const char* path) {
  auto it = nodes_.find(Key(path));
  bool ok = !ShouldFail("OpenRead") && it != nodes_.end() && !it->second.folder && !IsLocked(path);
  Log("OpenRead", path, ok);
  if (!ok) return kNoFile;
  FileHandle handle = next_handle_++;
  Open& open = open_[handle];
  open.path = path;
  open.bytes = it->second.bytes;
  return handle;
}

long FakeFileSystem::Read(FileHandle file, void* buffer, unsigned long size) {
  auto it = open_.find(file);
  if (it == open_.end() || !it->second.temp.empty()) return -1;
  if (ShouldFail("Read")) return -1;
  Open& open = it->second;
  std::size_t count = std::min<std::size_t>(size, open.bytes.size() - open.position);
  std::memcpy(buffer, open.bytes.data() + open.position, count);
  open.position += count;
  return static_cast<long>(count);
}

bool FakeFileSystem::Write(FileHandle file, const void* data, unsigned long size) {
  auto it = open_.find(file);
  if (it == open_.end() || it->second.temp.empty()) return false;
  if (ShouldFail("Write")) return false;
  largest_write = std::max<std::size_t>(largest_write, size);
  nodes_[Key(it->second.temp)].bytes.append(static_cast<const char*>(data), size);
  return true;
}

void FakeFileSystem::Close(FileHandle file) {
  auto it = open_.find(file);
  if (it == open_.end()) return;
  log.push_back("Close " + it->second.path);
  // A replacement closed without its commit is abandoned, as the real back ends do.
  if (!it->second.temp.empty()) nodes_.erase(Key(it->second.temp));
  open_.erase(it);
}

FileHandle FakeFileSystem::CreateReplacement(const char* path) {
  std::string key = Key(path);
  auto it = nodes_.find(key);
  bool ok =
      !ShouldFail("CreateReplacement") && !key.empty() && FolderExists(Parent(path)) &&
      !IsDriveRoot(key) && !IsLocked(path) &&
      (it == nodes_.end() || (!it->second.folder && !(it->second.attributes & kAttrReadOnly)));
  Log("CreateReplacement", path, ok);
  if (!ok) return kNoFile;
  std::string folder = Parent(path);
  std::string temp = (folder.empty() ? "" : (folder.back() == '\\' ? folder : folder + "\\")) +
                     "~SETUP" + std::to_string(next_temp_++) + ".TMP";
  Node node;
  node.path = temp;
  node.last_write_time = clock;
  nodes_[Key(temp)] = node;
  FileHandle handle = next_handle_++;
  Open& open = open_[handle];
  open.path = path;
  open.temp = temp;
  return handle;
}

bool FakeFileSystem::CommitReplacement(FileHandle file) {
  auto it = open_.find(file);
  if (it == open_.end() || it->second.temp.empty()) return false;
  Open open = it->second;
  open_.erase(it);
  std::string key = Key(open.path);
  auto target = nodes_.find(key);
  bool ok = !ShouldFail("CommitReplacement") && !IsLocked(open.path) &&
            (target == nodes_.end() ||
             (!target->second.folder && !(target->second.attributes & kAttrReadOnly)));
  Log("CommitReplacement", open.path, ok);
  Node node = nodes_[Key(open.temp)];
  nodes_.erase(Key(open.temp));
  if (!ok) return false;
  node.path = target == nodes_.end() ? open.path : target->second.path;
  node.last_write_time = clock;
  nodes_[key] = node;
  return true;
}

void FakeFileSystem::AbandonReplacement(FileHandle file) {
  auto it = open_.find(file);
  if (it == open_.end() || it->second.temp.empty()) return;
  log.push_back("AbandonReplacement " + it->second.path);
  nodes_.erase(Key(it->second.temp));
  open_.erase(it);
}

CreateFolderResult FakeFileSystem::CreateFolder(const char* path) {
  std::string key = Key(path);
  CreateFolderResult result;
  // An injected failure, an existing name, a missing parent: in that order.
  if (ShouldFail("CreateFolder") || key.empty()) {  // NOLINT(bugprone-branch-clone)
    result = CreateFolderResult::kFailed;
  } else if (Exists(path)) {
    result = CreateFolderResult::kAlreadyExists;  // a file of that name too
  } else if (!FolderExists(Parent(path))) {
    result = CreateFolderResult::kFailed;
  } else {
    Node& node = nodes_[key];
    node.path = path;
    node.folder = true;
    node.attributes = kAttrDirectory;
    node.last_write_time = clock;
    result = CreateFolderResult::kCreated;
  }
  Log("CreateFolder", path, result != CreateFolderResult::kFailed);
  return result;
}

bool FakeFileSystem::CopyFile(const char* source, const char* dest) {
  auto from = nodes_.find(Key(source));
  auto to = nodes_.find(Key(dest));
  bool ok =
      !ShouldFail("CopyFile") && from != nodes_.end() && !from->second.folder &&
      !IsLocked(source) && !IsLocked(dest) && FolderExists(Parent(dest)) &&
      !IsDriveRoot(Key(dest)) &&
      (to == nodes_.end() || (!to->second.folder && !(to->second.attributes & kAttrReadOnly)));
  Log("CopyFile", std::string(source) + " " + dest, ok);
  if (!ok) return false;
  Node node = from->second;
  node.path = to == nodes_.end() ? dest : to->second.path;
  nodes_[Key(dest)] = node;
  return true;
}

bool FakeFileSystem::GetStatus(const char* path, FileStatus* status) {
  bool ok = false;
  if (!ShouldFail("GetStatus")) {
    std::string key = Key(path);
    if (key.find_first_of("*?") == std::string::npos) {
      auto it = nodes_.find(key);
      if (it != nodes_.end()) {
        status->attributes = it->second.attributes;
        status->last_write_time = it->second.last_write_time;
        ok = true;
      }
    } else {
      std::string folder = Parent(path);
      std::string pattern =
          key.substr(key.find_last_of('\\') == std::string::npos ? 0 : key.find_last_of('\\') + 1);
      for (const auto& [name, node] : nodes_) {  // sorted, so the first match is stable
        std::size_t slash = name.find_last_of('\\');
        std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
        if (Parent(name) == folder && WildMatch(pattern.c_str(), leaf.c_str())) {
          status->attributes = node.attributes;
          status->last_write_time = node.last_write_time;
          ok = true;
          break;
        }
      }
    }
  }
  Log("GetStatus", path, ok);
  return ok;
}

bool FakeFileSystem::SetAttributes(const char* path, unsigned attributes) {
  auto it = nodes_.find(Key(path));
  bool ok = !ShouldFail("SetAttributes") && it != nodes_.end();
  Log("SetAttributes", path, ok);
  if (!ok) return false;
  it->second.attributes = (attributes & ~kAttrDirectory) | (it->second.folder ? kAttrDirectory : 0);
  return true;
}

}  // namespace setup::testing
