// Regsvr over the real back end of the build with real components: modules
// whose DllRegisterServer succeeds or fails and a program that records how
// it was started (shared objects and ELF programs natively, DLLs and an EXE
// under Windows).
#include "actions/registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "tests/backend/backend.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kModuleSuffix = SETUP_MODULE_SUFFIX;
const std::string kProgram = std::string("regserver_probe") + SETUP_PROGRAM_SUFFIX;

// The whole file, or "(missing)".
std::string ReadFile(const std::string& windows_path) {
  std::FILE* file = std::fopen(NativePath(windows_path).c_str(), "rb");
  if (file == nullptr) return "(missing)";
  std::string bytes;
  char buffer[1024];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

class RealRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Platform platform;
    platform.system = &system_;
    platform.files = &RealFileSystem();
    platform.components = components_.get();
    engine_ = std::make_unique<ScriptEngine>(platform, ui_);
  }

  // Copies a built component into folder (below the scratch folder) and
  // returns its Windows-form path there.
  std::string Install(const fs::path& component, const std::string& folder = "app") {
    std::string dest_folder = scratch_ / folder;
    fs::create_directories(NativePath(dest_folder));
    std::string dest = dest_folder + "\\" + component.filename().string();
    fs::copy_file(ComponentsFolder() / component, NativePath(dest));
    return dest;
  }

  static std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
  }

  static std::string CantRegister(const std::string& path) {
    return "topmost error:  '" + path + "' registration can't be done";
  }

  FakeSystem system_;
  RecordingUi ui_;
  std::unique_ptr<Components> components_ = NewRealComponents();
  std::unique_ptr<ScriptEngine> engine_;
  ScratchFolder scratch_;
};

TEST_F(RealRegistrationTest, ModuleRegistersInProcess) {
  std::string module = Install("reg_ok" + kModuleSuffix);

  EXPECT_TRUE(RegisterComponent(*engine_, module.c_str()));

  EXPECT_EQ(ReadFile(module + ".ran"), "DllRegisterServer\n");
  EXPECT_THAT(ui_.events, IsEmpty());
}

// An error status (E_FAIL) and S_FALSE both fail the in-process route; the
// module is then no program to start, so the user is told.
TEST_F(RealRegistrationTest, ModuleWithFailureStatusRunsAndThenCannotBeStarted) {
  for (const char* name : {"reg_fail", "reg_false"}) {
    SCOPED_TRACE(name);
    ui_.events.clear();
    std::string module = Install(name + kModuleSuffix);

    EXPECT_FALSE(RegisterComponent(*engine_, module.c_str()));

    EXPECT_EQ(ReadFile(module + ".ran"), "DllRegisterServer\n");
    EXPECT_THAT(ui_.events, ElementsAre(CantRegister(module)));
  }
}

TEST_F(RealRegistrationTest, ProgramRunsWithTheSwitchInItsOwnFolder) {
  // A blank in the folder shows that the path is quoted.
  std::string program = Install(kProgram, "Program Files");

  // The probe ends with exit code 3, which still counts as registered.
  EXPECT_TRUE(RegisterComponent(*engine_, program.c_str()));

  EXPECT_EQ(ReadFile(program + ".log"), ExpectedProbeLog(program, FolderOf(program)));
  EXPECT_THAT(ui_.events, IsEmpty());
}

TEST_F(RealRegistrationTest, ProgramWithoutFolderStartsInTheCurrentFolder) {
  std::string program = Install(kProgram);
  fs::path saved = fs::current_path();
  fs::current_path(NativePath(FolderOf(program)));

  bool registered = RegisterComponent(*engine_, kProgram.c_str());

  fs::current_path(saved);
  EXPECT_TRUE(registered);
  EXPECT_EQ(ReadFile(program + ".log"), ExpectedProbeLog(kProgram, FolderOf(program)));
}

TEST_F(RealRegistrationTest, MissingFileGivesTheMessage) {
  std::string missing = scratch_ / ("gone\\reg_ok" + kModuleSuffix);

  EXPECT_FALSE(RegisterComponent(*engine_, missing.c_str()));

  EXPECT_THAT(ui_.events, ElementsAre(CantRegister(missing)));
}

TEST_F(RealRegistrationTest, ProgramIsNotStartedInAMissingFolder) {
  std::string program = Install(kProgram);
  std::string command = "\"" + program + "\" /regserver";

  EXPECT_EQ(components_->StartProcess(command.c_str(), (scratch_ / "none").c_str()), 0u);

  EXPECT_EQ(ReadFile(program + ".log"), "(missing)");
}

TEST_F(RealRegistrationTest, EndedProcessStaysEnded) {
  std::string command = "\"" + Install(kProgram) + "\"";
  ProcessHandle process = components_->StartProcess(command.c_str(), "");
  ASSERT_NE(process, 0u);

  while (!components_->HasEnded(process)) components_->Sleep(1);

  EXPECT_TRUE(components_->HasEnded(process));
  components_->CloseProcess(process);
}

TEST_F(RealRegistrationTest, MissingExportIsReportedAndTheModuleFreed) {
  ModuleHandle handle = components_->LoadModule(Install("reg_ok" + kModuleSuffix).c_str());
  ASSERT_NE(handle, 0u);

  long status = 12345;
  EXPECT_FALSE(components_->CallExport(handle, "DllUnregisterServer", &status));
  EXPECT_EQ(status, 12345);
  components_->FreeModule(handle);
}

}  // namespace
}  // namespace setup::testing
