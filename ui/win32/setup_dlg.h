// The setup dialog: the installer's main window, where the user confirms the
// destination folders and OK runs the script beside a progress bar.
#pragma once

#include "engine/script_engine.h"
#include "ui/win32/framework.h"

namespace setup::win32 {

// Says that a folder typed (or given with /D=) for the row named label does
// not fit a settings field.
void ReportFolderTooLong(ScriptEngine& engine, const char* label);

class CSetupDlg : public CDialog {
 public:
  // The dialog over engine's settings; the texts start as the settings'
  // folders and labels and the icon is the program's icon.
  explicit CSetupDlg(ScriptEngine& engine);

  // True while OK's run is in progress (clicks that arrive during it, from the
  // registration wait's message dispatch, are ignored).
  bool running() const { return running_; }

  CProgressCtrl m_progress;
  CString m_strFolder1;
  CString m_strLabel1;
  CString m_strLabel2;
  CString m_strFolder2;
  HICON m_hIcon;
  LanguageMode m_language = kJapanese;  // of the run OK starts

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Starts the run with the folders as shown, then closes the dialog; a
  // folder that does not fit is reported and the dialog stays.
  void OnOK() override;
  // Closes without installing, unless a run is in progress.
  void OnCancel() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  void OnSysCommand(WPARAM command);
  // True when the icon was painted (the window is minimised).
  bool OnPaint();
  void OnBrowseFolder1();
  void OnBrowseFolder2();
  // Lets the user pick a folder in the shell's folder picker, opening on
  // folder; title is the picker's instruction line.
  void BrowseForFolder(CString& folder, const char* title);
  static int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM lparam, LPARAM data);
  ScriptEngine& engine_;
  bool running_ = false;
};

}  // namespace setup::win32
