// Whole random scripts through start-up and the interpreter over the fake
// machine: no crash, no overrun, every message the engine formats within its
// 255 bytes (an ErrorExit text, the script's own line, within the line's 511),
// and a completion notice only for a run that reports completion.
//
// Input: byte 0 selects the run's language (bit 0) and whether the user
// answers Cancel to prompts (bit 1); the rest is Setup.Inf.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fake_world.h"

namespace {

using namespace setup;
using namespace setup::testing;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "script_fuzz: %s\n", what);
    std::abort();
  }
}

// Checks each of the engine's own messages as it is shown.
class CheckedUi : public RecordingUi {
 public:
  void ShowEngineError(const EngineError& error) override {
    Check(std::strlen(error.text) <= 255, "message longer than its buffer");
    RecordingUi::ShowEngineError(error);
  }
};

// The version resources every run sees. Building one serialises its block,
// a tenth of a run's time; a copy of this one is the same fresh fake.
const FakeVersionInfo& Versions() {
  static const FakeVersionInfo* versions = [] {
    auto* made = new FakeVersionInfo;
    made->AddFile("D:\\app.dll", "1.2.3.4", "2.0");
    return made;
  }();
  return *versions;
}

}  // namespace

// No allocation stacks: the fakes allocate at every call, and recording
// where each block came from was a tenth of a run (see line_decoder_fuzz.cc).
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming): the sanitizer's name
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FakeWorld<CheckedUi> world(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  world.mode = (data[0] & 1) ? kJapanese : kEnglish;
  bool cancel = (data[0] & 2) != 0;
  world.files.AddFile("D:\\readme.txt", "a /* \x93\xfa $# en */ b\n");
  world.versions = Versions();
  world.registry.SetValueAt("HKEY_CURRENT_USER\\Software\\A", "V", kRegSz, std::string("x\0", 2));
  // A disk prompt that never finds its file must end: the fake user cancels
  // after a few tries.
  for (int i = 0; i < 8; ++i) world.ui.answers.push_back(!cancel);
  world.ui.answers.push_back(false);

  SetupResult result = world.Run();
  bool completed = false;
  for (const std::string& event : world.ui.events) {
    if (event == "completed") completed = true;
    std::size_t colon = event.find(": ");
    if (colon != std::string::npos && event.compare(0, 5, "error") == 0) {
      Check(event.size() - colon - 2 < kWorkLineSize, "message longer than a line");
    }
  }
  Check(completed == (result == SetupResult::kCompleted),
        "completion notice without a completed run");
  Check(world.files.OpenCount() == 0, "a file was left open");
  return 0;
}
