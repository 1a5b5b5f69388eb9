// Random text files and macro tables through the text copier, in both
// selections: no crash, no temporary left behind, output of bounded size,
// no write larger than the copier's write-behind buffer, no overflow of its
// output buffer.
//
// Input: byte 0 holds the selection (bit 0) and the number of macros (bits
// 1-3); each macro is a name length byte (mod 16), a value length byte and
// the bytes of both; the rest is the source file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "actions/text_copier.h"
#include "engine/script_engine.h"
#include "engine/text_copy_state.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace {

using setup::testing::FakeFileSystem;

// Takes count bytes from the input; fewer when it runs out.
std::string Take(const std::uint8_t*& data, std::size_t& size, std::size_t count) {
  if (count > size) count = size;
  std::string bytes(reinterpret_cast<const char*>(data), count);
  data += count;
  size -= count;
  return bytes;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "text_copier_fuzz: %s\n", what);
    std::abort();
  }
}

// The fake machine, checking at each read and write of the copy that the
// 4096-byte output buffer has not overflowed. It lies inside the engine
// record, between other fields, where AddressSanitizer sees no overrun.
class BoundCheckingFiles : public FakeFileSystem {
 public:
  const setup::TextCopier* copier = nullptr;

  long Read(setup::FileHandle file, void* buffer, unsigned long size) override {
    CheckOutputBound();
    return FakeFileSystem::Read(file, buffer, size);
  }
  bool Write(setup::FileHandle file, const void* data, unsigned long size) override {
    CheckOutputBound();
    return FakeFileSystem::Write(file, data, size);
  }

 private:
  void CheckOutputBound() const;
};

// True when the text has nothing the copier treats specially, so that the
// copy must equal the source with LF turned into CR LF.
bool IsPlain(const std::string& text) {
  for (char byte : text) {
    unsigned char c = static_cast<unsigned char>(byte);
    if (c == '/' || c == '$' || c == '*' || c == 0x1A || c == 0 || c == '\r' || c >= 0x80) {
      return false;
    }
  }
  return true;
}

void BoundCheckingFiles::CheckOutputBound() const {
  if (copier == nullptr) return;
  Check(copier->output_count >= 0 && copier->output_count <= setup::kTextBufferSize,
        "the output buffer overflowed");
  Check(copier->output_position == nullptr ||
            copier->output_position == copier->output + copier->output_count,
        "the output position left the output buffer");
}

// One engine record's room for the whole session: a fresh record from the
// heap for every input came as new pages from the system each time, a
// sixth of the run. The room is cleared before each record is built in it,
// so that nothing of the previous input survives and a finding replays alone.
alignas(setup::ScriptEngine) unsigned char engine_room[sizeof(setup::ScriptEngine)];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  ++data;
  --size;

  setup::testing::FakeSystem system;
  BoundCheckingFiles files;
  setup::testing::RecordingUi ui;
  setup::Platform platform;
  platform.system = &system;
  platform.files = &files;
  std::memset(engine_room, 0, sizeof engine_room);
  setup::ScriptEngine* engine = new (engine_room) setup::ScriptEngine(platform, ui);
  files.copier = &engine->text_copy;

  const int macro_count = (flags >> 1) & 7;
  std::size_t longest_value = 0;
  for (int i = 0; i < macro_count && size >= 2; ++i) {
    std::size_t name_length = data[0] % 16;
    std::size_t value_length = data[1];
    data += 2;
    size -= 2;
    std::string name = Take(data, size, name_length);
    std::string value = Take(data, size, value_length);
    // Names and values end at a NUL byte, as C strings do.
    setup::DefineMacro(engine->macros, name.c_str(), value.c_str());
    if (value.size() > longest_value) longest_value = value.size();
  }
  const std::string source = Take(data, size, size);
  files.AddFile("D:\\SRC.TXT", source);
  files.AddFolder("C:\\OUT");

  const setup::LanguageMode selection = (flags & 1) ? setup::kJapanese : setup::kEnglish;
  char line[] = "D:\\SRC.TXT C:\\OUT\\DEST.TXT";
  const bool copied = setup::TextCopyCommand(*engine, line, selection);

  Check(files.OpenCount() == 0, "a file was left open");
  // Lines gather in the write-behind buffer, so one write may carry up to
  // all of it; the output buffer's own bound is checked by BoundCheckingFiles.
  Check(files.largest_write <= static_cast<std::size_t>(setup::kTextWriteBehindSize),
        "a write beyond the write-behind buffer");
  Check(files.Listing().size() == (copied ? 3u : 2u), "a temporary was left behind");
  Check(ui.events.size() == (copied ? 0u : 1u), "not exactly one message per failure");
  if (copied) {
    // Every source byte becomes at most one macro value, every byte of which
    // at most a CR LF; a lead byte at the very end gains its 0x1A partner.
    const std::string output = files.Contents("C:\\OUT\\DEST.TXT");
    const std::size_t per_byte = longest_value > 1 ? longest_value : 1;
    Check(output.size() <= 2 * per_byte * source.size() + 2, "output out of bounds");
    if (macro_count == 0 && IsPlain(source)) {
      std::string expected;
      for (char c : source) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
      Check(output == expected, "plain text not copied as it is");
    }
  } else {
    Check(!files.Exists("C:\\OUT\\DEST.TXT"), "a failed copy left a destination");
  }
  engine->~ScriptEngine();
  return 0;
}
