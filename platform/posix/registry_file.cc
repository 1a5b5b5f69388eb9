// Contents of the simulated registry and their registry-editor text form.
#include "platform/posix/registry_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/posix/code_page.h"

namespace setup::posix {

const char* const kStoredRootNames[5] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                         "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr unsigned kRegSz = 1;
constexpr unsigned kRegDword = 4;
constexpr unsigned kRegBinary = 3;
constexpr size_t kHexLineWidth = 76;  // where the editor wraps hex data

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at line[*pos] == '"', where a backslash
// escapes a backslash or a quote; *pos ends behind the closing quote.
bool ReadQuoted(std::string_view line, size_t* pos, std::string* text, std::string* what) {
  text->clear();
  size_t i = *pos + 1;
  for (;;) {
    if (i >= line.size()) {
      *what = "a quoted text has no closing quote";
      return false;
    }
    char c = line[i];
    if (c == '"') break;
    if (c == '\\') {
      if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"')) {
        *what = "a backslash in a quoted text is not followed by \\ or \"";
        return false;
      }
      c = line[++i];
    }
    text->push_back(c);
    ++i;
  }
  *pos = i + 1;
  return true;
}

void WriteQuoted(const std::string& text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// True when data reads back exactly from a quoted string: one final zero and
// no other zero, no line break.
bool IsPlainString(unsigned type, const std::string& data) {
  if (type != kRegSz || data.empty() || data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == '\0' || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

// prefix, then data as comma-separated hex bytes, wrapped as the editor
// wraps them, and the line end.
void WriteHex(const std::string& prefix, const std::string& data, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  out->append(prefix);
  size_t line = prefix.size();  // the length of the line being written
  for (size_t i = 0; i < data.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(data[i]);
    out->push_back(kDigits[byte >> 4]);
    out->push_back(kDigits[byte & 15]);
    line += 2;
    if (i + 1 < data.size()) {
      out->push_back(',');
      ++line;
      if (line + 3 > kHexLineWidth) {  // wrap as the editor does
        out->append("\\\r\n  ");
        line = 2;
      }
    }
  }
  out->append("\r\n");
}

// One value's line (or lines, for wrapped hex data) of the text form;
// name is scratch memory, reused across calls.
void AppendValueLine(const StoredValue& value, std::string* name, std::string* out) {
  char number[32];
  name->clear();
  if (value.name.empty()) {
    *name = "@=";
  } else {
    WriteQuoted(value.name, name);
    name->push_back('=');
  }
  if (IsPlainString(value.type, value.data)) {
    out->append(*name);
    out->push_back('"');
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
      char c = value.data[i];
      if (c == '\\' || c == '"') out->push_back('\\');
      out->push_back(c);
    }
    out->append("\"\r\n");
  } else if (value.type == kRegDword && value.data.size() == 4) {
    unsigned dword = 0;
    for (size_t i = 4; i-- > 0;) dword = dword << 8 | static_cast<unsigned char>(value.data[i]);
    std::snprintf(number, sizeof number, "dword:%08x\r\n", dword);
    out->append(*name).append(number);
  } else if (value.type == kRegBinary) {
    name->append("hex:");
    WriteHex(*name, value.data, out);
  } else {
    std::snprintf(number, sizeof number, "hex(%x):", value.type);
    name->append(number);
    WriteHex(*name, value.data, out);
  }
}

// The line-by-line reader of the text form.
class Parser {
 public:
  // changes: the text is a log of changes, whose deletions ([-key] and
  // "name"=-) are carried out; a stored registry holds none.
  Parser(const char* bytes, size_t size, const std::string& file_name, StoredRegistry* registry,
         bool changes = false)
      : bytes_(bytes), size_(size), file_name_(file_name), registry_(registry), changes_(changes) {}

  bool Run(std::string* error) {
    if (!Parse()) {
      *error = file_name_ + ":" + std::to_string(line_number_) + ": " + what_;
      return false;
    }
    return true;
  }

 private:
  // The next line without its line end into line_; false at the end of the
  // text or on a malformed line end (what_ set).
  bool NextLine(bool* got) {
    *got = false;
    if (pos_ >= size_) return true;
    ++line_number_;
    // The line up to its line end, a CR before the LF taken with it; the
    // first CR or zero byte inside says what is wrong.
    const char* start = bytes_ + pos_;
    size_t left = size_ - pos_;
    const char* end = static_cast<const char*>(std::memchr(start, '\n', left));
    size_t length = end != nullptr ? static_cast<size_t>(end - start) : left;
    size_t text = end != nullptr && length > 0 && start[length - 1] == '\r' ? length - 1 : length;
    const void* cr = std::memchr(start, '\r', text);
    const void* zero = std::memchr(start, '\0', text);
    if (cr != nullptr && (zero == nullptr || cr < zero)) {
      return Fail("a carriage return inside a line");
    }
    if (zero != nullptr) return Fail("a zero byte inside a line");
    line_.assign(start, text);
    // Every line the store writes ends in a line end; one without it is the
    // sign of a file cut short.
    if (end == nullptr) return Fail("the file is truncated (its last line has no line end)");
    pos_ += length + 1;
    *got = true;
    return true;
  }

  bool Fail(const std::string& what) {
    what_ = what;
    return false;
  }

  bool Parse() {
    bool got = false;
    if (!NextLine(&got)) return false;
    if (!got) {
      line_number_ = 1;
      return Fail("the file is empty; expected \"" + std::string(kHeader) + "\"");
    }
    if (line_ != kHeader) return Fail("expected \"" + std::string(kHeader) + "\"");
    for (;;) {
      if (!NextLine(&got)) return false;
      if (!got) return true;
      // Blank lines end a section; ";" lines are comments.
      if (line_.empty() || line_[0] == ';') continue;
      if (line_[0] == '[') {
        if (!ParseKey()) return false;
      } else if (line_[0] == '"' || line_[0] == '@') {
        if (!ParseValue()) return false;
      } else {
        return Fail("expected a [key], a \"value\"= or @= line");
      }
    }
  }

  bool ParseKey() {
    if (line_.size() < 2 || line_.back() != ']') return Fail("a key line does not end in ]");
    std::string_view path = std::string_view(line_).substr(1, line_.size() - 2);
    if (!path.empty() && path[0] == '-') {
      if (!changes_) return Fail("a key deletion ([-...]) has no place in a stored registry");
      std::string deleted(path.substr(1));
      if (!registry_->RemoveTree(deleted) &&
          SplitKeyPath(deleted, registry_->code_page()).size() < 2) {
        return Fail("\"" + deleted + "\" is no key that can be deleted");
      }
      key_ = nullptr;  // values need a [key] line of their own
      return true;
    }
    key_ = registry_->AddKey(path);
    if (key_ == nullptr) return Fail("\"" + std::string(path) + "\" is not a valid key path");
    return true;
  }

  bool ParseValue() {
    if (key_ == nullptr) return Fail("a value line comes before any [key] line");
    size_t pos = 0;
    std::string& name = name_;  // both kept from line to line, with their memory
    std::string& data = data_;
    name.clear();
    data.clear();
    if (line_[0] == '@') {
      pos = 1;
    } else if (!ReadQuoted(line_, &pos, &name, &what_)) {
      return false;
    }
    if (pos >= line_.size() || line_[pos] != '=') return Fail("a value name is not followed by =");
    ++pos;
    unsigned type = 0;
    std::string_view rest = std::string_view(line_).substr(pos);
    if (!rest.empty() && rest[0] == '"') {
      size_t end = 0;
      if (!ReadQuoted(rest, &end, &data, &what_)) return false;
      if (end != rest.size()) return Fail("text follows a quoted value");
      type = kRegSz;
      data.push_back('\0');
    } else if (rest.starts_with("dword:")) {
      if (!ParseDword(rest.substr(6), &data)) return false;
      type = kRegDword;
    } else if (rest.starts_with("hex:")) {
      type = kRegBinary;
      if (!ParseHex(rest.substr(4), &data)) return false;
    } else if (rest.starts_with("hex(")) {
      size_t close = rest.find("):");
      if (close == std::string::npos || close == 4 || close > 12) {
        return Fail("a hex(type) value has no valid type");
      }
      unsigned long long parsed = 0;
      for (size_t i = 4; i < close; ++i) {
        int digit = HexDigit(rest[i]);
        if (digit < 0) return Fail("a hex(type) value has no valid type");
        parsed = parsed * 16 + static_cast<unsigned>(digit);
      }
      type = static_cast<unsigned>(parsed);
      if (!ParseHex(rest.substr(close + 2), &data)) return false;
    } else if (rest == "-") {
      if (!changes_) return Fail("a value deletion (=-) has no place in a stored registry");
      key_->RemoveValue(name);
      return true;
    } else {
      return Fail("a value is neither a quoted text, dword: nor hex:");
    }
    key_->SetValue(name, type, data);
    return true;
  }

  bool ParseDword(std::string_view digits, std::string* data) {
    if (digits.empty() || digits.size() > 8) return Fail("dword: needs 1 to 8 hex digits");
    unsigned value = 0;
    for (char c : digits) {
      int digit = HexDigit(c);
      if (digit < 0) return Fail("dword: needs 1 to 8 hex digits");
      value = value * 16 + static_cast<unsigned>(digit);
    }
    for (int i = 0; i < 4; ++i) data->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return true;
  }

  // Comma-separated two-digit bytes; a line that ends in ",\" goes on in the
  // next line (after its leading blanks).
  bool ParseHex(std::string_view text, std::string* data) {
    for (;;) {
      size_t i = 0;
      while (i < text.size()) {
        if (i + 1 >= text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) {
          return Fail("hex data is not a list of two-digit bytes");
        }
        data->push_back(static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
        i += 2;
        if (i == text.size()) return true;
        if (text[i] != ',') return Fail("hex bytes are not separated by commas");
        ++i;
        if (i + 1 == text.size() && text[i] == '\\') break;  // continued in the next line
        if (i == text.size()) return Fail("hex data ends in a comma");
      }
      if (i == text.size() && text.empty()) return true;  // no bytes at all
      bool got = false;
      if (!NextLine(&got)) return false;
      if (!got) return Fail("the file is truncated (hex data goes on past its end)");
      size_t start = line_.find_first_not_of(" \t");
      // line_ holds this line until the next is read, after text's last use.
      text =
          start == std::string::npos ? std::string_view() : std::string_view(line_).substr(start);
      if (text.empty()) return Fail("hex data goes on into an empty line");
    }
  }

  const char* bytes_;
  size_t size_;
  size_t pos_ = 0;
  const std::string& file_name_;
  StoredRegistry* registry_;
  bool changes_;
  StoredKey* key_ = nullptr;
  std::string line_;
  std::string name_, data_;  // of the value line being read
  int line_number_ = 0;
  std::string what_;
};

}  // namespace

namespace {

// The lead bytes of code_page, a flag a byte: every lookup folds and splits
// its path, where a table read per byte is cheaper than a call. The two
// pages asked for last are kept (the machine's, and the one a registry was
// read under); the table stays valid until another page is asked for.
const bool* LeadBytesOf(unsigned code_page) {
  struct Table {
    unsigned code_page = 0;  // IsLeadByteOf(0, byte) is false, as the table
    bool lead[256] = {};
  };
  static thread_local Table tables[2];
  static thread_local int next = 0;
  for (const Table& table : tables) {
    if (table.code_page == code_page) return table.lead;
  }
  Table& table = tables[next];
  next = 1 - next;
  table.code_page = code_page;
  for (int byte = 0; byte < 256; ++byte) {
    table.lead[byte] = IsLeadByteOf(code_page, static_cast<unsigned char>(byte));
  }
  return table.lead;
}

// FoldName into *folded, its memory reused: a lookup folds a name at every
// registry operation.
void FoldInto(std::string_view name, unsigned code_page, std::string* folded) {
  folded->assign(name);
  const bool* lead = LeadBytesOf(code_page);
  char* bytes = folded->data();
  const size_t size = folded->size();
  for (size_t i = 0; i < size; ++i) {
    // Eight ASCII bytes at once (no lead byte among them): each of a-z
    // loses its 0x20. No byte below 0x80 plus 0x1F or 0x05 carries into
    // the next.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      constexpr std::uint64_t kHigh = 0x8080808080808080u;
      if ((word & kHigh) != 0) break;
      std::uint64_t lower = (word + 0x1F1F1F1F1F1F1F1Fu) & ~(word + 0x0505050505050505u) & kHigh;
      word -= lower >> 2;
      std::memcpy(bytes + i, &word, 8);
      i += 8;
    }
    if (i >= size) break;
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (lead[c]) {
      ++i;  // the second byte stays as it is
    } else if (c >= 'a' && c <= 'z') {
      bytes[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
}

// FoldName(a) == FoldName(b), without making either.
bool SameFolded(std::string_view a, std::string_view b, unsigned code_page) {
  if (a.size() != b.size()) return false;
  const bool* lead = LeadBytesOf(code_page);
  bool second_a = false;  // the byte is the second of a double-byte character
  bool second_b = false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    bool lead_a = !second_a && lead[x];
    bool lead_b = !second_b && lead[y];
    if (!second_a && !lead_a && x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (!second_b && !lead_b && y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
    second_a = lead_a;
    second_b = lead_b;
  }
  return true;
}

}  // namespace

std::string FoldName(const std::string& name, unsigned code_page) {
  std::string folded;
  FoldInto(name, code_page, &folded);
  return folded;
}

std::vector<std::string> SplitKeyPath(const std::string& path, unsigned code_page) {
  std::vector<std::string> names(1);
  const bool* lead = LeadBytesOf(code_page);
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') {
      names.emplace_back();
    } else if (lead[c] && i + 1 < path.size()) {
      names.back() += path[i];
      names.back() += path[++i];
    } else {
      names.back() += path[i];
    }
  }
  return names;
}

bool IsValidKeyName(std::string_view name, unsigned code_page) {
  if (name.empty() || name.size() > 255) return false;
  const bool* lead = LeadBytesOf(code_page);
  bool second = false;  // the byte is the second of a double-byte character
  for (char c : name) {
    if (c == '\r' || c == '\n' || (c == '\\' && !second)) return false;
    second = !second && lead[static_cast<unsigned char>(c)];
  }
  return true;
}

StoredValue* StoredKey::FindValue(std::string_view name) {
  if (!index.empty()) {
    static thread_local std::string folded;
    FoldInto(name, code_page, &folded);
    auto found = index.find(folded);
    return found != index.end() ? &values[found->second] : nullptr;
  }
  for (StoredValue& value : values) {
    if (SameFolded(value.name, name, code_page)) return &value;
  }
  return nullptr;
}

const StoredValue* StoredKey::FindValue(std::string_view name) const {
  return const_cast<StoredKey*>(this)->FindValue(name);
}

void StoredKey::SetValue(const std::string& name, unsigned type, const std::string& data) {
  if (StoredValue* value = FindValue(name)) {
    value->type = type;
    value->data = data;
    return;
  }
  values.push_back(StoredValue{name, type, data});
  if (!index.empty()) {
    index.emplace(FoldName(name, code_page), values.size() - 1);
  } else if (values.size() >= kIndexedFrom) {
    for (size_t i = 0; i < values.size(); ++i)
      index.emplace(FoldName(values[i].name, code_page), i);
  }
}

bool StoredKey::RemoveValue(const std::string& name) {
  StoredValue* value = FindValue(name);
  if (value == nullptr) return false;
  size_t position = static_cast<size_t>(value - values.data());
  if (!index.empty()) {
    index.erase(FoldName(name, code_page));
    // The values after it move down by one.
    for (auto& entry : index) {
      if (entry.second > position) --entry.second;
    }
  }
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

bool StoredRegistry::TreeOrder::operator()(std::string_view a, std::string_view b) const {
  // The separator sorts before every other byte, so a key's subkeys follow it
  // directly, before any sibling whose name merely starts the same way.
  // Only the first byte that differs decides: the paths of a lookup share
  // their roots' and ancestors' names, passed over eight bytes at a time.
  size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) break;
  }
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() < b.size();
  unsigned x = a[i] == '\\' ? 0 : static_cast<unsigned char>(a[i]) + 1u;
  unsigned y = b[i] == '\\' ? 0 : static_cast<unsigned char>(b[i]) + 1u;
  return x < y;
}

StoredRegistry::StoredRegistry(unsigned code_page) : code_page_(code_page) {
  for (const char* root : kStoredRootNames) keys_.emplace(root, StoredKey{root, {}, code_page, {}});
}

StoredKey* StoredRegistry::FindKey(std::string_view path) {
  static thread_local std::string folded;
  FoldInto(path, code_page_, &folded);
  auto it = keys_.find(folded);
  return it == keys_.end() ? nullptr : &it->second;
}

const StoredKey* StoredRegistry::FindKey(std::string_view path) const {
  return const_cast<StoredRegistry*>(this)->FindKey(path);
}

StoredKey* StoredRegistry::AddKey(std::string_view path, bool* created) {
  if (created != nullptr) *created = false;
  // The folded path once: the names end where characters end, so each
  // level's folded path is the start of it, up to the level's separator.
  static thread_local std::string folded;
  FoldInto(path, code_page_, &folded);
  // A key that exists is found in one lookup: folding keeps every name's
  // length and where its double-byte characters are, so its names were
  // checked when it was made.
  auto it = keys_.find(folded);
  if (it != keys_.end()) return &it->second;
  // Where each name ends: at the separators that are not second bytes of
  // double-byte characters (as SplitKeyPath splits), and at the end.
  static thread_local std::vector<size_t> ends;
  ends.clear();
  const bool* lead = LeadBytesOf(code_page_);
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') {
      ends.push_back(i);
    } else if (lead[c] && i + 1 < path.size()) {
      ++i;
    }
  }
  ends.push_back(path.size());
  if (ends.size() < 2) return nullptr;  // one name, and not a root
  for (size_t level = 1; level < ends.size(); ++level) {
    size_t start = ends[level - 1] + 1;
    if (!IsValidKeyName(std::string_view(path).substr(start, ends[level] - start), code_page_)) {
      return nullptr;
    }
  }
  // The deepest level that exists (a root at least), then the levels below
  // it, each spelt as the existing ancestors are.
  size_t level = ends.size() - 1;
  do {
    it = keys_.find(std::string_view(folded).substr(0, ends[--level]));
  } while (it == keys_.end() && level > 0);
  if (it == keys_.end()) return nullptr;  // not a root
  std::string spelled = it->second.path;
  size_t spelled_to = ends[level];
  for (++level; level < ends.size(); ++level) {
    spelled.append(path.substr(spelled_to, ends[level] - spelled_to));
    spelled_to = ends[level];
    it = keys_.emplace_hint(std::next(it), folded.substr(0, ends[level]),
                            StoredKey{spelled, {}, code_page_, {}});
  }
  if (created != nullptr) *created = true;
  return &it->second;
}

bool StoredRegistry::HasSubkeys(const std::string& path) const {
  std::string prefix = FoldName(path, code_page_) + "\\";
  for (auto it = keys_.upper_bound(FoldName(path, code_page_)); it != keys_.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0) continue;
    // A real separator, not the second byte of a double-byte character.
    if (SplitKeyPath(it->first, code_page_).size() > SplitKeyPath(path, code_page_).size()) {
      return true;
    }
  }
  return false;
}

bool StoredRegistry::RemoveKey(const std::string& path) {
  std::string folded = FoldName(path, code_page_);
  auto it = keys_.find(folded);
  if (it == keys_.end() || SplitKeyPath(path, code_page_).size() < 2) return false;
  keys_.erase(it);
  return true;
}

void StoredRegistry::Clear() {
  for (auto it = keys_.begin(); it != keys_.end();) {
    // Only a root's path holds no separator.
    if (it->first.find('\\') != std::string::npos) {
      it = keys_.erase(it);
    } else {
      it->second.values.clear();
      it->second.index.clear();
      ++it;
    }
  }
}

bool StoredRegistry::RemoveTree(const std::string& path) {
  if (SplitKeyPath(path, code_page_).size() < 2) return false;
  std::string folded = FoldName(path, code_page_);
  auto it = keys_.find(folded);
  if (it == keys_.end()) return false;
  // Subkeys follow their key directly in tree order.
  auto end = std::next(it);
  while (end != keys_.end() && end->first.size() > folded.size() &&
         end->first.compare(0, folded.size(), folded) == 0 && end->first[folded.size()] == '\\') {
    ++end;
  }
  keys_.erase(it, end);
  return true;
}

bool ParseRegistryText(const char* bytes, size_t size, const std::string& file_name,
                       StoredRegistry* registry, std::string* error) {
  Parser parser(bytes, size, file_name, registry);
  return parser.Run(error);
}

bool ApplyRegistryChanges(const char* bytes, size_t size, const std::string& file_name,
                          StoredRegistry* registry, std::string* error) {
  Parser parser(bytes, size, file_name, registry, true);
  return parser.Run(error);
}

void AppendKeyRecord(const std::string& path, std::string* out) {
  out->append("[").append(path).append("]\r\n\r\n");
}

void AppendValueRecord(const std::string& key_path, const StoredValue& value, std::string* out) {
  out->append("[").append(key_path).append("]\r\n");
  std::string scratch;
  AppendValueLine(value, &scratch, out);
  out->append("\r\n");
}

void AppendValueDeletion(const std::string& key_path, const std::string& name, std::string* out) {
  out->append("[").append(key_path).append("]\r\n");
  if (name.empty()) {
    out->append("@");
  } else {
    WriteQuoted(name, out);
  }
  out->append("=-\r\n\r\n");
}

void AppendKeyDeletion(const std::string& path, std::string* out) {
  out->append("[-").append(path).append("]\r\n\r\n");
}

std::string FormatRegistryText(const StoredRegistry& registry) {
  std::string out;
  FormatRegistryText(registry, &out);
  return out;
}

void FormatRegistryText(const StoredRegistry& registry, std::string* text) {
  // One buffer, grown by appending only: a large registry is formatted in
  // one pass with no text built apart and copied.
  std::string& out = *text;
  out.clear();
  out.append(kHeader).append("\r\n\r\n");
  std::string name;
  for (const auto& entry : registry.keys()) {
    const StoredKey& key = entry.second;
    out.push_back('[');
    out.append(key.path).append("]\r\n");
    for (const StoredValue& value : key.values) AppendValueLine(value, &name, &out);
    out.append("\r\n");
  }
}

}  // namespace setup::posix
