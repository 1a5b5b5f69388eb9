// The SetupUi operations as the Windows program's dialogs and message boxes.
#include "ui/win32/win32_ui.h"

#include "ui/win32/prompts.h"

namespace setup::win32 {

void Win32Ui::RunSetupDialog(const char* folder1, const char* folder2) {
  CSetupDlg dialog(*engine_);
  // The edits show the expanded folders; the labels stay as written.
  dialog.m_strFolder1 = folder1;
  dialog.m_strFolder2 = folder2;
  dialog_ = &dialog;
  AfxSetMainWnd(&dialog);
  dialog.DoModal();  // the program ends afterwards, however it closed
  AfxSetMainWnd(nullptr);
  dialog_ = nullptr;
}

void Win32Ui::SetProgressRange(int count) {
  if (dialog_ != nullptr) dialog_->m_progress.SetRange(0, count);
}

void Win32Ui::SetProgressPos(int position) {
  if (dialog_ != nullptr) dialog_->m_progress.SetPos(position);
}

void Win32Ui::ShowError(const char* text) { AfxMessageBox(text, MB_OK); }

void Win32Ui::ShowTopmostError(const char* text) { AfxMessageBox(text, MB_OK | MB_TOPMOST); }

void Win32Ui::ShowInformation(const char* text) {
  AfxMessageBox(text, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

bool Win32Ui::AskScriptMessage(const char* text) {
  CMessageDlg dialog;
  dialog.m_strMessage = text;
  return dialog.DoModal() == IDOK;
}

bool Win32Ui::PromptDisk(const char* text) {
  CDiskDlg dialog(engine_->params);
  dialog.m_strMessage = text;
  return dialog.DoModal() != IDCANCEL;
}

void Win32Ui::ShowCompleted() {
  CCompleteDlg dialog(engine_->params);
  dialog.DoModal();
}

void Win32Ui::KeepResponsive() {
  MSG message;
  // No TranslateMessage: keys reach the windows untranslated.
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace setup::win32
