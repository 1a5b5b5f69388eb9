// Regsvr over the real back end of the build with real components: modules
// whose DllRegisterServer succeeds or fails and a program that records how
// it was started (shared objects and ELF programs natively, DLLs and an EXE
// under Windows).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "tests/backend/scratch_folder.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

#if defined(_WIN32)
#include "platform/win32/components_win32.h"
#include "platform/win32/system_info_win32.h"
#else
#include "platform/posix/components_posix.h"
#include "platform/posix/machine.h"
#endif

namespace setup::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kModuleSuffix = SETUP_MODULE_SUFFIX;
const std::string kProgram = std::string("regserver_probe") + SETUP_PROGRAM_SUFFIX;

fs::path ComponentsFolder() {
#if defined(_WIN32)
  // Beside the test program, so the build folder may be anywhere.
  char program[1024];
  if (!win32::NewSystemInfo()->GetProgramPath(program, sizeof program)) return {};
  return fs::path(program).parent_path() / "components";
#else
  return SETUP_COMPONENTS_DIR;
#endif
}

std::unique_ptr<Components> NewRealComponents() {
#if defined(_WIN32)
  return win32::NewComponents();
#else
  return posix::NewComponents();
#endif
}

class RealRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if !defined(_WIN32)
    ASSERT_TRUE(posix::SetMachineRoot((scratch_ / "machine").string()));
#endif
    Platform platform;
    platform.system = &system_;
    platform.components = components_.get();
    engine_ = std::make_unique<ScriptEngine>(platform, ui_);
  }

  // Copies a built component into folder (below the scratch folder) and
  // returns where it is now.
  fs::path Install(const fs::path& component, const std::string& folder = "app") {
    fs::path dest = scratch_ / folder;
    fs::create_directories(dest);
    dest /= component.filename();
    fs::copy_file(ComponentsFolder() / component, dest);
    return dest;
  }

  static std::string CantRegister(const fs::path& path) {
    return "topmost error:  '" + WindowsPath(path) + "' registration can't be done";
  }

  // What the probe program writes when it is run with "/regserver".
  static std::string ExpectedProbeLog(const std::string& program, const fs::path& folder) {
#if defined(_WIN32)
    return "command: \"" + program + "\" /regserver\nfolder: " + folder.string() + "\n";
#else
    (void)program;
    return "arguments: [/regserver]\nfolder: " + fs::canonical(folder).string() + "\n";
#endif
  }

  ScratchFolder scratch_;
  FakeSystem system_;
  RecordingUi ui_;
  std::unique_ptr<Components> components_ = NewRealComponents();
  std::unique_ptr<ScriptEngine> engine_;
};

TEST_F(RealRegistrationTest, ModuleRegistersInProcess) {
  fs::path module = Install("reg_ok" + kModuleSuffix);

  EXPECT_TRUE(engine_->RegisterComponent(WindowsPath(module).c_str()));

  EXPECT_EQ(ReadFile(module.string() + ".ran"), "DllRegisterServer\n");
  EXPECT_THAT(ui_.events, IsEmpty());
}

// An error status (E_FAIL) and S_FALSE both fail the in-process route; the
// module is then no program to start, so the user is told.
TEST_F(RealRegistrationTest, ModuleWithFailureStatusRunsAndThenCannotBeStarted) {
  for (const char* name : {"reg_fail", "reg_false"}) {
    SCOPED_TRACE(name);
    ui_.events.clear();
    fs::path module = Install(name + kModuleSuffix);

    EXPECT_FALSE(engine_->RegisterComponent(WindowsPath(module).c_str()));

    EXPECT_EQ(ReadFile(module.string() + ".ran"), "DllRegisterServer\n");
    EXPECT_THAT(ui_.events, ElementsAre(CantRegister(module)));
  }
}

TEST_F(RealRegistrationTest, ProgramRunsWithTheSwitchInItsOwnFolder) {
  // A blank in the folder shows that the path is quoted.
  fs::path program = Install(kProgram, "Program Files");
  std::string path = WindowsPath(program);

  // The probe ends with exit code 3, which still counts as registered.
  EXPECT_TRUE(engine_->RegisterComponent(path.c_str()));

  EXPECT_EQ(ReadFile(program.string() + ".log"), ExpectedProbeLog(path, program.parent_path()));
  EXPECT_THAT(ui_.events, IsEmpty());
}

TEST_F(RealRegistrationTest, ProgramWithoutFolderStartsInTheCurrentFolder) {
  fs::path program = Install(kProgram);
  fs::path saved = fs::current_path();
  fs::current_path(program.parent_path());

  bool registered = engine_->RegisterComponent(kProgram.c_str());

  fs::current_path(saved);
  EXPECT_TRUE(registered);
  EXPECT_EQ(ReadFile(program.string() + ".log"), ExpectedProbeLog(kProgram, program.parent_path()));
}

TEST_F(RealRegistrationTest, MissingFileGivesTheMessage) {
  fs::path missing = scratch_ / "gone" / ("reg_ok" + kModuleSuffix);

  EXPECT_FALSE(engine_->RegisterComponent(WindowsPath(missing).c_str()));

  EXPECT_THAT(ui_.events, ElementsAre(CantRegister(missing)));
}

TEST_F(RealRegistrationTest, ProgramIsNotStartedInAMissingFolder) {
  fs::path program = Install(kProgram);
  std::string command = "\"" + WindowsPath(program) + "\" /regserver";

  EXPECT_EQ(components_->StartProcess(command.c_str(), WindowsPath(scratch_ / "none").c_str()), 0u);

  EXPECT_EQ(ReadFile(program.string() + ".log"), "(missing)");
}

TEST_F(RealRegistrationTest, EndedProcessStaysEnded) {
  fs::path program = Install(kProgram);
  std::string command = "\"" + WindowsPath(program) + "\"";
  ProcessHandle process = components_->StartProcess(command.c_str(), "");
  ASSERT_NE(process, 0u);

  while (!components_->HasEnded(process)) components_->Sleep(1);

  EXPECT_TRUE(components_->HasEnded(process));
  components_->CloseProcess(process);
}

TEST_F(RealRegistrationTest, MissingExportIsReportedAndTheModuleFreed) {
  fs::path module = Install("reg_ok" + kModuleSuffix);
  ModuleHandle handle = components_->LoadModule(WindowsPath(module).c_str());
  ASSERT_NE(handle, 0u);

  long status = 12345;
  EXPECT_FALSE(components_->CallExport(handle, "DllUnregisterServer", &status));
  EXPECT_EQ(status, 12345);
  components_->FreeModule(handle);
}

#if SETUP_HAVE_WINDOWS_COMPONENTS
// Windows images cannot be loaded or started here: both routes fail.
TEST_F(RealRegistrationTest, WindowsImagesFailBothRoutes) {
  for (const char* name : {"reg_ok.dll", "regserver_probe.exe"}) {
    SCOPED_TRACE(name);
    ui_.events.clear();
    fs::path image = Install(fs::path("windows") / name);

    EXPECT_FALSE(engine_->RegisterComponent(WindowsPath(image).c_str()));

    EXPECT_EQ(ReadFile(image.string() + ".ran"), "(missing)");
    EXPECT_EQ(ReadFile(image.string() + ".log"), "(missing)");
    EXPECT_THAT(ui_.events, ElementsAre(CantRegister(image)));
  }
}
#endif

}  // namespace
}  // namespace setup::testing
