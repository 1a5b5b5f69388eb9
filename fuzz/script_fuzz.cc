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
#include <new>
#include <string>

#include "engine/script_engine.h"
#include "tests/fakes/fake_components.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_version_info.h"
#include "tests/fakes/recording_ui.h"

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

struct World {
  FakeSystem system;
  FakeFileSystem files;
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeComponents components;
  CheckedUi ui;
  ScriptEngine* engine = nullptr;
  LanguageMode mode = kJapanese;
};

void PressOk(void* context, const char* folder1, const char* folder2) {
  World* world = static_cast<World*>(context);
  StartRun(*world->engine, folder1, folder2, world->mode);
}

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

// One engine record's room for the whole session: a fresh record from the
// heap for every input came as new pages from the system each time. The room
// is cleared before each record is built in it, so that nothing of the
// previous input survives and a finding replays alone.
alignas(ScriptEngine) unsigned char engine_room[sizeof(ScriptEngine)];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  World world;
  world.mode = (data[0] & 1) ? kJapanese : kEnglish;
  bool cancel = (data[0] & 2) != 0;
  std::string script(reinterpret_cast<const char*>(data + 1), size - 1);

  world.system.program_path = "D:\\SETUP.EXE";
  world.files.AddFile("D:\\Setup.Inf", script);
  world.files.AddFile("D:\\readme.txt", "a /* \x93\xfa $# en */ b\n");
  world.files.AddFolder("C:\\Program Files");
  world.versions = Versions();
  world.registry.SetValueAt("HKEY_CURRENT_USER\\Software\\A", "V", kRegSz, std::string("x\0", 2));
  // A disk prompt that never finds its file must end: the fake user cancels
  // after a few tries.
  for (int i = 0; i < 8; ++i) world.ui.answers.push_back(!cancel);
  world.ui.answers.push_back(false);

  Platform platform;
  platform.system = &world.system;
  platform.files = &world.files;
  platform.registry = &world.registry;
  platform.versions = &world.versions;
  platform.components = &world.components;
  std::memset(engine_room, 0, sizeof engine_room);
  world.engine = new (engine_room) ScriptEngine(platform, world.ui);
  world.ui.on_dialog = &PressOk;
  world.ui.dialog_context = &world;

  SetupResult result = world.engine->InitInstance();
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
  world.engine->~ScriptEngine();
  return 0;
}
