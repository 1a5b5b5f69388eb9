// The registry store through its own calls, with the code page switched
// between writer and reader: a machine made under one code page and read by
// a run under the other locale sees every value it holds, as its writer does.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

// One machine folder for the whole session, on tmpfs when there is one: the
// store flushes every change to disk.
const std::string& Folder() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string& folder = *new std::string([] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/registry_round_trip.XXXXXX"
                                                        : "/tmp/registry_round_trip.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    // Without an exception: one thrown from an exit handler ends the
    // process with abort, which libFuzzer takes for a crash of no input.
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return pattern;
  }());
  return folder;
}

// The writer's (0) or the reader's (1) machine under page (932 or 1252),
// over Folder(). Each is made and given its folder once: what SetRoot makes
// there stays, and the store reads nothing of a machine but its folder and
// code page, which every input sets again (see LLVMFuzzerTestOneInput).
setup::posix::Machine& MachineOf(int role, unsigned page) {
  static setup::posix::Machine* machines[2][2] = {};
  setup::posix::Machine*& machine = machines[role][page == 932 ? 1 : 0];
  if (machine == nullptr) {
    machine = new setup::posix::Machine(page);
    if (!machine->SetRoot(Folder())) Fail("the machine folder " + Folder());
  }
  // As made: the code page it was made with, until the record says another.
  machine->set_code_page(page);
  return *machine;
}

struct Write {
  std::string key;
  std::string name;
  std::string data;
};

// Reads name below key of root in store; "<missing>" when it cannot.
std::string Read(setup::posix::RegistryStore& store, const Write& w) {
  RegKey key = 0;
  if (store.OpenKey(store.Root(RootKey::kCurrentUser), w.key.c_str(), 0, &key) != 0) {
    return "<missing>";
  }
  static char data[1 << 16];
  unsigned size = sizeof data;
  unsigned type = 0;
  long result = store.QueryValue(key, w.name.c_str(), &type, data, &size);
  store.CloseKey(key);
  if (result != 0) return "<missing>";
  return std::to_string(type) + ":" + std::string(data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the writer's code page and the reader's locale.
  unsigned writer_page = (bytes[0] & 1) != 0 ? 932 : 1252;
  unsigned reader_page = (bytes[0] & 2) != 0 ? 932 : 1252;
  // The rest is key, value name and data, three NUL-ended fields at a time.
  std::vector<std::string> fields(1);
  for (size_t i = 1; i < size && fields.size() <= 24; ++i) {
    if (bytes[i] == 0) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(bytes[i]);
    }
  }
  const std::string& folder = Folder();
  unlink((folder + "/registry.reg").c_str());
  unlink((folder + "/registry.log").c_str());
  // The machine's record of its code page, as the writer's machine makes it:
  // one that holds the writer's page already is the one it would make.
  static unsigned recorded_page = 0;
  if (recorded_page != writer_page) unlink((folder + "/code_page").c_str());
  recorded_page = 0;  // until the writer's machine has it

  auto abort_on_diagnostic = [](const std::string& text) { Fail("diagnostic: " + text); };
  setup::posix::Machine& writer_machine = MachineOf(0, writer_page);
  std::string error;
  bool refused = false;
  if (!writer_machine.UseRecordedCodePage(0, &error, &refused)) {
    Fail("the writer's machine: " + error);
  }
  recorded_page = writer_page;
  setup::posix::RegistryStore writer(writer_machine);
  writer.SetDiagnosticSink(abort_on_diagnostic);
  std::vector<Write> written;
  for (size_t i = 0; i + 2 < fields.size(); i += 3) {
    Write w{fields[i], fields[i + 1], fields[i + 2]};
    RegKey key = 0;
    if (writer.CreateKey(writer.Root(RootKey::kCurrentUser), w.key.c_str(), 0, &key) != 0) {
      continue;  // a name the store refuses
    }
    long result = writer.SetValue(key, w.name.c_str(), setup::kRegBinary, w.data.data(),
                                  static_cast<unsigned>(w.data.size()));
    writer.CloseKey(key);
    if (result == 0) written.push_back(w);
  }

  // Another run, under the other locale: the machine's record decides.
  setup::posix::Machine& reader_machine = MachineOf(1, reader_page);
  if (!reader_machine.UseRecordedCodePage(0, &error, &refused) ||
      reader_machine.code_page() != writer_page) {
    Fail("the reader's machine, code page " + std::to_string(reader_machine.code_page()) +
         " after a writer under " + std::to_string(writer_page) + ": " + error);
  }
  setup::posix::RegistryStore reader(reader_machine);
  reader.SetDiagnosticSink(abort_on_diagnostic);
  std::vector<std::string> seen;  // by the writer, for each write
  for (const Write& w : written) {
    seen.push_back(Read(writer, w));
    if (seen.back() == "<missing>") Fail("a value written is missing for its writer");
    if (Read(reader, w) != seen.back()) Fail("the reader sees another value than the writer");
  }
  if (!written.empty() && seen.back() != "3:" + written.back().data) {
    Fail("the last write to a name is not what it holds");
  }
  // The reader carried out the writer's log; folded into the file, the same.
  writer.Fold();
  for (size_t i = 0; i < written.size(); ++i) {
    if (Read(reader, written[i]) != seen[i]) Fail("the folded file differs from its log");
  }
  return 0;
}
