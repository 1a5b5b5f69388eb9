// The small modal dialogs the run shows: the script message, the disk prompt,
// the completion notice and the about box.
#pragma once

#include "engine/script_engine.h"
#include "ui/win32/framework.h"

namespace setup::win32 {

// The script message (dialog 132): the message centred, OK and Cancel.
class CMessageDlg : public CDialog {
 public:
  CMessageDlg();
  CString m_strMessage;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
};

// The disk prompt (dialog 131), captioned with the window title.
class CDiskDlg : public CDialog {
 public:
  explicit CDiskDlg(const SetupParams& params);
  CString m_strMessage;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

 private:
  const SetupParams& params_;
};

// The completion notice (dialog 129), captioned with the window title.
class CCompleteDlg : public CDialog {
 public:
  explicit CCompleteDlg(const SetupParams& params);

 protected:
  BOOL OnInitDialog() override;

 private:
  const SetupParams& params_;
};

// The about box (dialog 100).
class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
};

}  // namespace setup::win32
