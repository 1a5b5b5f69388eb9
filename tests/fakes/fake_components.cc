// The recording Components of the unit tests.
#include "tests/fakes/fake_components.h"

namespace setup::testing {

ModuleHandle FakeComponents::LoadModule(const char* path) {
  auto found = modules.find(path);
  if (found == modules.end()) {
    events.push_back(std::string("load ") + path + " failed");
    return 0;
  }
  events.push_back(std::string("load ") + path);
  loaded_.push_back(path);
  ++open_modules;
  return loaded_.size();
}

bool FakeComponents::CallExport(ModuleHandle module, const char* name, long* status) {
  const Module& scripted = modules[loaded_.at(module - 1)];
  if (!scripted.has_export) {
    events.push_back(std::string("call ") + name + " missing");
    return false;
  }
  events.push_back(std::string("call ") + name + " -> " + std::to_string(scripted.status));
  *status = scripted.status;
  return true;
}

void FakeComponents::FreeModule(ModuleHandle module) {
  events.push_back("free " + loaded_.at(module - 1));
  --open_modules;
}

ProcessHandle FakeComponents::StartProcess(const char* command_line, const char* folder) {
  std::string line(command_line);
  std::string program;
  if (!line.empty() && line[0] == '"') {
    program = line.substr(1, line.find('"', 1) - 1);
  } else {
    program = line.substr(0, line.find_first_of(" \t"));
  }
  std::string event = "start [" + line + "] in [" + folder + "]";
  if (programs.count(program) == 0) {
    events.push_back(event + " failed");
    return 0;
  }
  events.push_back(event);
  polls_left_.push_back(polls_before_end);
  ++open_processes;
  return polls_left_.size();
}

bool FakeComponents::HasEnded(ProcessHandle process) {
  int& left = polls_left_.at(process - 1);
  if (left == 0) return true;
  --left;
  return false;
}

void FakeComponents::Sleep(unsigned milliseconds) {
  ++sleep_count;
  slept_ms += milliseconds;
}

void FakeComponents::CloseProcess(ProcessHandle process) {
  (void)process;
  events.push_back("close");
  --open_processes;
}

std::vector<std::string> FakeComponents::Starts() const {
  std::vector<std::string> starts;
  for (const std::string& e : events) {
    if (e.compare(0, 6, "start ") == 0) starts.push_back(e);
  }
  return starts;
}

}  // namespace setup::testing
