// The SetupUi operations as the Windows program's dialogs and message boxes.
#include "ui/win32/win32_ui.h"

#include "ui/win32/prompts.h"

namespace setup::win32 {

void Win32Ui::RunSetupDialog(const char* folder1, const char* folder2) {
  // The hidden second row of a one-folder dialog takes no typed folder.
  bool one_folder = engine_->params.folder_count < 2;
  if (folder1_ != nullptr) folder1 = folder1_;
  if (folder2_ != nullptr && !one_folder) folder2 = folder2_;
  if (silent_) {
    // /D2= for a script of one folder is a wrong command line, as on Linux.
    folder_refused_ = folder2_ != nullptr && one_folder;
    if (folder_refused_) return;
    RunResult result = StartRun(*engine_, folder1, folder2, language_);
    folder_refused_ = result == RunResult::kFolder1TooLong || result == RunResult::kFolder2TooLong;
    if (folder_refused_) {
      const SetupParams& params = engine_->params;
      ReportFolderTooLong(*engine_,
                          result == RunResult::kFolder1TooLong ? params.label1 : params.label2);
    }
    return;
  }
  CSetupDlg dialog(*engine_);
  // The edits show the expanded folders; the labels stay as written.
  dialog.m_strFolder1 = folder1;
  dialog.m_strFolder2 = folder2;
  dialog.m_language = language_;
  dialog_ = &dialog;
  dialog.DoModal();  // the program ends afterwards, however it closed
  dialog_ = nullptr;
}

void Win32Ui::SetProgressRange(int count) {
  if (dialog_ != nullptr) dialog_->m_progress.SetRange(0, count);
}

void Win32Ui::SetProgressPos(int position) {
  if (dialog_ != nullptr) dialog_->m_progress.SetPos(position);
  KeepResponsive();
}

bool Win32Ui::CountError() {
  if (engine_ != nullptr && engine_->run_started()) ++errors_shown_;
  return !silent_;
}

void Win32Ui::ShowError(const char* text) {
  if (CountError()) AfxMessageBox(text, MB_OK, Owner());
}

void Win32Ui::ShowEngineError(const EngineError& error) {
  const char* text = error.text;
  const bool* own = error.own;
  // Under code page 932 the bytes are already right; so are messages whose
  // own part is plain ASCII.
  bool convert = false;
  if (GetACP() != 932) {
    for (int i = 0; text[i] != '\0'; ++i) convert |= own[i] && (text[i] & 0x80) != 0;
  }
  if (!convert) {
    ShowError(text);
    return;
  }
  if (!CountError()) return;
  // Never more UTF-16 units than bytes.
  wchar_t wide[kTextSize];
  int length = 0;
  for (int i = 0; text[i] != '\0';) {
    int start = i;
    while (text[i] != '\0' && own[i] == own[start]) ++i;
    length += MultiByteToWideChar(own[start] ? 932 : CP_ACP, 0, text + start, i - start,
                                  wide + length, kTextSize - 1 - length);
  }
  wide[length] = L'\0';
  AfxMessageBox(wide, MB_OK, Owner());
}

void Win32Ui::ShowTopmostError(const char* text) {
  if (CountError()) AfxMessageBox(text, MB_OK | MB_TOPMOST, Owner());
}

void Win32Ui::ShowInformation(const char* text) {
  if (!silent_) AfxMessageBox(text, MB_OK | MB_ICONINFORMATION | MB_TOPMOST, Owner());
}

bool Win32Ui::AskScriptMessage(const char* text) {
  if (silent_) return true;
  CMessageDlg dialog;
  dialog.m_strMessage = text;
  return dialog.DoModal(Owner()) == IDOK;
}

bool Win32Ui::PromptDisk(const char* text) {
  if (silent_) return false;  // nobody is there to change the disk
  CDiskDlg dialog(engine_->params);
  dialog.m_strMessage = text;
  return dialog.DoModal(Owner()) != IDCANCEL;
}

void Win32Ui::ShowCompleted() {
  if (silent_) return;
  CCompleteDlg dialog(engine_->params);
  dialog.DoModal(Owner());
}

void Win32Ui::KeepResponsive() { DispatchPendingMessages(); }

}  // namespace setup::win32
