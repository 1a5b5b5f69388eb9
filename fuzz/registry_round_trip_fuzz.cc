// The registry store through its own calls, with the code page switched
// between writer and reader: a machine made under one code page and read by
// a run under the other locale sees every value it holds, as its writer does.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/posix/machine.h"
#include "platform/posix/registry_store.h"

namespace {

using setup::RegKey;
using setup::RootKey;

// Each failure says which property broke, and a diagnostic its text: an abort
// once seen in a long session never came again, and a bare abort left
// nothing to tell a fault of the store from a full /dev/shm.
void Fail(const std::string& what) {
  std::fprintf(stderr, "registry_round_trip_fuzz: %s\n", what.c_str());
  std::abort();
}

// One machine folder for each code page a writer makes a machine under,
// kept for the whole session, on tmpfs when there is one: the store flushes
// every change to disk. Each holds its machine's record of its code page
// from the first input on, as a machine keeps it; every input starts with
// no registry in it.
const std::string& Folder(unsigned page) {
  // Never destroyed: the exit handler below still needs them.
  static std::string* folders[2] = {};
  std::string*& folder = folders[page == 932 ? 1 : 0];
  if (folder == nullptr) {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/registry_round_trip.XXXXXX"
                                                        : "/tmp/registry_round_trip.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    folder = new std::string(pattern);
    // Without an exception: one thrown from an exit handler ends the
    // process with abort, which libFuzzer takes for a crash of no input.
    static const int removal = std::atexit([] {
      for (std::string* made : folders) {
        std::error_code ignored;
        if (made != nullptr) std::filesystem::remove_all(*made, ignored);
      }
    });
    (void)removal;
  }
  return *folder;
}

// The writer's (0) or a reader's (1) machine under page (932 or 1252), over
// the folder of a writer under folder_page. Each is made and given its
// folder once: what SetRoot makes there stays, and the store reads nothing
// of a machine but its folder and code page, which every input sets again
// (see LLVMFuzzerTestOneInput).
setup::posix::Machine& MachineOf(int role, unsigned page, unsigned folder_page) {
  static setup::posix::Machine* machines[2][2][2] = {};
  setup::posix::Machine*& machine = machines[folder_page == 932 ? 1 : 0][role][page == 932 ? 1 : 0];
  if (machine == nullptr) {
    machine = new setup::posix::Machine(page);
    if (!machine->SetRoot(Folder(folder_page))) Fail("the machine folder " + Folder(folder_page));
  }
  // As made: the code page it was made with, until the record says another.
  machine->set_code_page(page);
  return *machine;
}

// One write of an input: key, value name and data point into the input's
// copy, each ended by its NUL.
struct Write {
  const char* key;
  const char* name;
  const char* data;
  unsigned size;
};

// What a store reads of w, its type's bytes and then its data, into *value;
// false when it finds no such key or value. value's memory is reused from
// input to input.
bool Read(setup::posix::RegistryStore& store, const Write& w, std::string* value) {
  RegKey key = 0;
  if (store.OpenKey(store.Root(RootKey::kCurrentUser), w.key, 0, &key) != 0) return false;
  static char data[1 << 16];
  unsigned size = sizeof data;
  unsigned type = 0;
  long result = store.QueryValue(key, w.name, &type, data, &size);
  store.CloseKey(key);
  if (result != 0) return false;
  value->assign(reinterpret_cast<const char*>(&type), sizeof type);
  value->append(data, size);
  return true;
}

}  // namespace

// Where a heap block came from is not kept (each operation's strings make
// a few a call); a finding replays alone, where
// ASAN_OPTIONS=malloc_context_size=30 brings the stacks back. Every check of
// the sanitizer stays.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming): the sanitizer's name
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the writer's code page and the reader's locale.
  unsigned writer_page = (bytes[0] & 1) != 0 ? 932 : 1252;
  unsigned reader_page = (bytes[0] & 2) != 0 ? 932 : 1252;
  // The rest is key, value name and data, three NUL-ended fields at a time
  // (at most 25 fields, as many as 8 writes take), read in a copy that ends
  // in a NUL of its own. Its memory, and the values' below, serve every input.
  static std::string copy;
  copy.assign(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  constexpr size_t kMaxFields = 25;
  const char* fields[kMaxFields];
  size_t field_count = 1;
  fields[0] = copy.c_str();
  for (size_t i = 0; i < copy.size() && field_count < kMaxFields; ++i) {
    if (copy[i] == '\0') fields[field_count++] = copy.c_str() + i + 1;
  }
  // The writer's store folded its log at the end of the last input in this
  // folder (or the input failed and the process ended): only the file is
  // left to remove.
  unlink((Folder(writer_page) + "/registry.reg").c_str());

  auto abort_on_diagnostic = [](const std::string& text) { Fail("diagnostic: " + text); };
  setup::posix::Machine& writer_machine = MachineOf(0, writer_page, writer_page);
  std::string error;
  bool refused = false;
  if (!writer_machine.UseRecordedCodePage(0, &error, &refused)) {
    Fail("the writer's machine: " + error);
  }
  setup::posix::RegistryStore writer(writer_machine);
  writer.SetDiagnosticSink(abort_on_diagnostic);
  Write written[kMaxFields / 3];
  size_t count = 0;
  for (size_t i = 0; i + 2 < field_count; i += 3) {
    Write w{fields[i], fields[i + 1], fields[i + 2],
            static_cast<unsigned>(std::strlen(fields[i + 2]))};
    RegKey key = 0;
    if (writer.CreateKey(writer.Root(RootKey::kCurrentUser), w.key, 0, &key) != 0) {
      continue;  // a name the store refuses
    }
    long result = writer.SetValue(key, w.name, setup::kRegBinary, w.data, w.size);
    writer.CloseKey(key);
    if (result == 0) written[count++] = w;
  }

  // Another run, under the other locale: the machine's record decides.
  setup::posix::Machine& reader_machine = MachineOf(1, reader_page, writer_page);
  if (!reader_machine.UseRecordedCodePage(0, &error, &refused) ||
      reader_machine.code_page() != writer_page) {
    Fail("the reader's machine, code page " + std::to_string(reader_machine.code_page()) +
         " after a writer under " + std::to_string(writer_page) + ": " + error);
  }
  setup::posix::RegistryStore reader(reader_machine);
  reader.SetDiagnosticSink(abort_on_diagnostic);
  static std::string seen[kMaxFields / 3];  // by the writer, for each write
  static std::string value;                 // by the reader
  for (size_t i = 0; i < count; ++i) {
    if (!Read(writer, written[i], &seen[i])) Fail("a value written is missing for its writer");
    if (!Read(reader, written[i], &value) || value != seen[i]) {
      Fail("the reader sees another value than the writer");
    }
  }
  if (count > 0) {
    const Write& last = written[count - 1];
    const std::string& held = seen[count - 1];
    unsigned type = setup::kRegBinary;
    if (held.size() != sizeof type + last.size ||
        held.compare(0, sizeof type, reinterpret_cast<const char*>(&type), sizeof type) != 0 ||
        held.compare(sizeof type, std::string::npos, last.data, last.size) != 0) {
      Fail("the last write to a name is not what it holds");
    }
  }
  // The reader carried out the writer's log; folded into the file, the same.
  writer.Fold();
  for (size_t i = 0; i < count; ++i) {
    if (!Read(reader, written[i], &value) || value != seen[i]) {
      Fail("the folded file differs from its log");
    }
  }
  return 0;
}
