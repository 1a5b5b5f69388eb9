// The registry file's parser on any bytes: it never crashes, and whatever it
// accepts is written back in a form that reads back to the same contents;
// read as a log of changes, the same bytes carried out twice change nothing
// more than once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/registry_file.h"

namespace {

// Every key and value. by_name: each key's values in the order of their
// names, not as stored: the order of a key's values cannot be seen through
// the store's calls, and carrying out a log again moves a value the log
// deletes and sets again to the end.
std::string Dump(const setup::posix::StoredRegistry& registry, bool by_name = false) {
  std::string out;
  for (const auto& entry : registry.keys()) {
    out += "[" + entry.second.path + "]\n";
    std::vector<std::string> values;
    for (const auto& value : entry.second.values) {
      values.push_back(value.name + "=" + std::to_string(value.type) + ":" +
                       std::to_string(value.data.size()) + ":" + value.data + "\n");
    }
    if (by_name) std::sort(values.begin(), values.end());
    for (const std::string& value : values) out += value;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the machine's code page: Shift-JIS, or single-byte.
  unsigned code_page = size > 0 && (data[0] & 1) != 0 ? 932 : 1252;
  if (size > 0) {
    ++data;
    --size;
  }
  std::string error;
  // The bytes as a log of changes: carried out again over the registry it
  // made, it gives that registry again (a crash after a log is folded into
  // the file and before it is removed carries it out twice).
  setup::posix::StoredRegistry once(code_page);
  if (setup::posix::ApplyRegistryChanges(reinterpret_cast<const char*>(data), size, "fuzz.log",
                                         &once, &error)) {
    setup::posix::StoredRegistry twice = once;
    if (!setup::posix::ApplyRegistryChanges(reinterpret_cast<const char*>(data), size, "again.log",
                                            &twice, &error) ||
        Dump(twice, true) != Dump(once, true)) {
      std::abort();
    }
  } else if (error.compare(0, 9, "fuzz.log:") != 0) {
    std::abort();
  }
  setup::posix::StoredRegistry registry(code_page);
  if (!setup::posix::ParseRegistryText(reinterpret_cast<const char*>(data), size, "fuzz.reg",
                                       &registry, &error)) {
    if (error.compare(0, 9, "fuzz.reg:") != 0) std::abort();  // every error names file and line
    return 0;
  }
  std::string text = setup::posix::FormatRegistryText(registry);
  setup::posix::StoredRegistry again(code_page);
  if (!setup::posix::ParseRegistryText(text.data(), text.size(), "again.reg", &again, &error)) {
    std::abort();
  }
  if (Dump(again) != Dump(registry)) std::abort();
  return 0;
}
