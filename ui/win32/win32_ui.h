// SetupUi for Windows: the setup dialog, its progress bar, message boxes and
// the small prompts.
#pragma once

#include "engine/script_engine.h"
#include "ui/win32/setup_dlg.h"

namespace setup::win32 {

class Win32Ui : public SetupUi {
 public:
  // The engine whose settings and run the dialogs use; set before the
  // engine's start-up calls RunSetupDialog.
  void Attach(ScriptEngine* engine) { engine_ = engine; }
  // The command line's choices: silent (/S) shows no window at all and runs
  // with the folders the dialog would show; a message counts as OK, the
  // disk prompt as Cancel. folder1/folder2 (null: the script's) stand for
  // typed folders; language is the run's.
  void Configure(bool silent, const char* folder1, const char* folder2, LanguageMode language) {
    silent_ = silent;
    folder1_ = folder1;
    folder2_ = folder2;
    language_ = language;
  }

  void RunSetupDialog(const char* folder1, const char* folder2) override;
  void SetProgressRange(int count) override;
  // Also handles the messages that arrived, so the window paints and
  // Windows never takes it for hung between two lines.
  void SetProgressPos(int position) override;
  void ShowError(const char* text) override;
  // The program's own Japanese is converted from Shift-JIS and the rest
  // from the machine's code page, so the message reads right on a Western
  // Windows too.
  void ShowEngineError(const EngineError& error) override;
  void ShowTopmostError(const char* text) override;
  void ShowInformation(const char* text) override;
  bool AskScriptMessage(const char* text) override;
  bool PromptDisk(const char* text) override;
  void ShowCompleted() override;
  // Dispatches the thread's pending messages, so the setup dialog paints
  // and its buttons react (and are ignored) while Regsvr waits.
  void KeepResponsive() override;

  // Error messages the run has shown, or in a silent run would have (not
  // those of the dialog before it).
  int errors_shown() const { return errors_shown_; }
  // A silent run refused a folder of the command line: too long, or a
  // second folder for a script of one.
  bool folder_refused() const { return folder_refused_; }

 private:
  // Counts an error message; true when it is to be shown.
  bool CountError();
  // What owns a message box or a dialog: the setup dialog while it is up.
  HWND Owner() const { return dialog_ != nullptr ? dialog_->GetSafeHwnd() : nullptr; }

  int errors_shown_ = 0;
  bool silent_ = false;
  bool folder_refused_ = false;
  const char* folder1_ = nullptr;
  const char* folder2_ = nullptr;
  LanguageMode language_ = kJapanese;
  ScriptEngine* engine_ = nullptr;
  CSetupDlg* dialog_ = nullptr;  // while the setup dialog exists
};

}  // namespace setup::win32
