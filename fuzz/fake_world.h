// The simulated machine of the targets that run whole scripts (script,
// line_decoder): the fakes of the platform, Setup.Inf in D:\ (the target
// adds the medium's other files), and the engine record in one room for the
// whole session.
//
// The record is built in the room for each input and the room cleared
// before, so that what the constructor leaves unset reads as on fresh pages,
// never as the previous input's state: a finding replays alone. A fresh
// record from the heap came as new pages from the system each time.
#pragma once

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

namespace setup::testing {

alignas(ScriptEngine) inline unsigned char engine_room[sizeof(ScriptEngine)];

// One input's machine; Ui is the target's RecordingUi. Run starts the
// engine; the record lives until the world is destroyed, so that a target
// can look at the machine after the run.
template <class Ui>
struct FakeWorld {
  FakeSystem system;
  FakeFileSystem files;
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeComponents components;
  Ui ui;
  LanguageMode mode = kJapanese;

  explicit FakeWorld(const std::string& script) {
    system.program_path = "D:\\SETUP.EXE";
    files.AddFile("D:\\Setup.Inf", script);
    files.AddFolder("C:\\Program Files");
  }
  FakeWorld(const FakeWorld&) = delete;
  FakeWorld& operator=(const FakeWorld&) = delete;
  ~FakeWorld() {
    if (engine_ != nullptr) engine_->~ScriptEngine();
  }

  // Start-up and the run, the dialog answered with OK in mode.
  SetupResult Run() {
    Platform platform;
    platform.system = &system;
    platform.files = &files;
    platform.registry = &registry;
    platform.versions = &versions;
    platform.components = &components;
    std::memset(engine_room, 0, sizeof engine_room);
    engine_ = new (engine_room) ScriptEngine(platform, ui);
    ui.on_dialog = &PressOk;
    ui.dialog_context = this;
    return engine_->InitInstance();
  }

 private:
  static void PressOk(void* context, const char* folder1, const char* folder2) {
    auto* world = static_cast<FakeWorld*>(context);
    StartRun(*world->engine_, folder1, folder2, world->mode);
  }
  ScriptEngine* engine_ = nullptr;
};

}  // namespace setup::testing
