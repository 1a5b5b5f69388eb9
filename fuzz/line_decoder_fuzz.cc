// The check and the run read a line through the same decoder, so they must
// agree on it: a script goes through the medium check and then through the
// run over the fake machine, and every line at which the run stops with an
// argument message (a missing closing quote, an unquoted argument the line
// ends in) must be a line the check did not find clean.
//
// Input: byte 0 selects the run's language (bit 0); the rest is Setup.Inf.
// The medium holds the script, D:\a.txt and D:\app.dll; the run starts with
// an empty registry, which the check cannot see either.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "check/checker.h"
#include "engine/messages.h"
#include "fuzz/fake_world.h"

namespace {

using namespace setup;
using namespace setup::testing;

// The lines the check reported an error or a warning at (notes change
// nothing: the line is clean).
class FlaggedLines : public CheckReport {
 public:
  void Diagnostic(const char* file, int line, int script_line, Severity severity,
                  const char*) override {
    if (severity == Severity::kNote) return;
    // A diagnostic of a copied text counts at the script line that copies
    // it; one of the script as a whole (line 0) at every line.
    int number = file != nullptr ? script_line : line;
    if (number < 0) return;  // checker_fuzz's property
    auto at = static_cast<std::size_t>(number);
    if (at >= lines.size()) lines.resize(at + 1);
    lines[at] = true;
  }
  bool Flagged(int line) const {
    auto at = static_cast<std::size_t>(line);
    return (at < lines.size() && lines[at]) || (!lines.empty() && lines[0]);
  }
  // By line number; one allocation or so per script, not one per line.
  std::vector<bool> lines;
};

// The run's UI, keeping the line of every argument message.
class RunUi : public RecordingUi {
 public:
  void ShowEngineError(const EngineError& error) override {
    if (error.format == kMsgNoQuote || error.format == kMsgNoTab) {
      if (stopped_line == 0) stopped_line = error.line;
    }
    RecordingUi::ShowEngineError(error);
  }
  int stopped_line = 0;
};

// The medium besides Setup.Inf.
void AddMedium(FakeFileSystem& files) {
  files.AddFile("D:\\a.txt", "a /* \x93\xfa $# en */ b\n");
  files.AddFile("D:\\app.dll", "MZ");
}

// The run numbers lines as the loader stores them, the check as the file
// holds them; they differ behind a line the loader stores in pieces: one of
// kStoredLineSize - 2 bytes or more up to its line feed (CR LF is read as
// one byte, a lone CR is a byte of the line).
bool StoredInPieces(const std::string& script) {
  const char* begin = script.data();
  const char* end = begin + script.size();
  for (;;) {
    const void* at = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin));
    const char* stop = at != nullptr ? static_cast<const char*>(at) : end;
    if (stop - begin >= kStoredLineSize - 2) return true;
    if (stop == end) return false;
    begin = stop + 1;
  }
}

// One room for the checker, cleared before each input (see checker_fuzz.cc:
// fresh heap pages per input cost a tenth of a run, and a cleared room lets
// a finding replay alone).
alignas(Checker) unsigned char checker_room[sizeof(Checker)];

}  // namespace

// Where a heap block came from is not kept: recording each allocation's
// stack (the fakes make hundreds an input) was a tenth of the time, and a
// finding replays alone, where ASAN_OPTIONS=malloc_context_size=30 brings
// the stacks back. Every check of the sanitizer stays.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming): the sanitizer's name
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string script(reinterpret_cast<const char*>(data + 1), size - 1);

  // The check reads the run's own medium before the run: it opens files
  // for reading alone, and its writes go to a sink.
  FakeWorld<RunUi> world(script);
  world.mode = (data[0] & 1) ? kJapanese : kEnglish;
  AddMedium(world.files);
  FlaggedLines flagged;
  CheckOptions options;
  std::memset(checker_room, 0, sizeof checker_room);
  Checker* checker = new (checker_room) Checker(world.files, options, flagged);
  checker->Run();
  checker->~Checker();
  // A disk prompt that never finds its file is cancelled at the second try.
  world.ui.answers = {true, false};
  world.Run();

  int line = world.ui.stopped_line;
  if (line != 0 && !flagged.Flagged(line) && !StoredInPieces(script)) {
    std::fprintf(stderr,
                 "line_decoder_fuzz: the run stopped at line %d with an argument message, "
                 "and the check found that line clean\n",
                 line);
    std::abort();
  }
  return 0;
}
