// A scripted SetupUi that records every operation as one line of text, so
// tests can compare what the user would have seen byte for byte.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/script_engine.h"

namespace setup::testing {

class RecordingUi : public SetupUi {
 public:
  // Answers for AskScriptMessage and PromptDisk, taken in order; when none is
  // left the answer is true (OK).
  std::deque<bool> answers;
  // Called at PromptDisk before the answer is returned (a test can put the
  // disk in).
  void (*on_prompt)(void* context) = nullptr;
  void* prompt_context = nullptr;
  // Called when the setup dialog is shown; a test presses OK by calling
  // StartRun from it. Default: the dialog is cancelled.
  void (*on_dialog)(void* context, const char* folder1, const char* folder2) = nullptr;
  void* dialog_context = nullptr;

  // Called at AskScriptMessage before the answer is returned (a test changes
  // the machine while the message waits).
  std::function<void()> on_message;

  // Called from KeepResponsive, as a window procedure would be (a test
  // clicks a button from here).
  std::function<void()> on_idle;

  std::vector<std::string> events;  // "error: ...", "info: ...", ...
  int idle_count = 0;               // calls of KeepResponsive
  int progress_range = -1;
  std::vector<int> progress_positions;

  void RunSetupDialog(const char* folder1, const char* folder2) override {
    events.push_back(std::string("dialog: ") + folder1 + " | " + folder2);
    if (on_dialog != nullptr) on_dialog(dialog_context, folder1, folder2);
  }
  void SetProgressRange(int count) override { progress_range = count; }
  void SetProgressPos(int position) override { progress_positions.push_back(position); }
  void ShowError(const char* text) override { events.push_back(std::string("error: ") + text); }
  void ShowTopmostError(const char* text) override {
    events.push_back(std::string("topmost error: ") + text);
  }
  void ShowInformation(const char* text) override {
    events.push_back(std::string("info: ") + text);
  }
  bool AskScriptMessage(const char* text) override {
    events.push_back(std::string("message: ") + text);
    if (on_message) on_message();
    return Answer();
  }
  bool PromptDisk(const char* text) override {
    events.push_back(std::string("disk: ") + text);
    if (on_prompt != nullptr) on_prompt(prompt_context);
    return Answer();
  }
  void ShowCompleted() override { events.push_back("completed"); }
  void KeepResponsive() override {
    ++idle_count;
    if (on_idle) on_idle();
  }

  // The events joined with newlines, for compact expectations.
  std::string Transcript() const {
    std::string all;
    for (const std::string& e : events) all += e + "\n";
    return all;
  }

 private:
  bool Answer() {
    if (answers.empty()) return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace setup::testing
