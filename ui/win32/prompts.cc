// The script message, disk prompt, completion notice and about box.
#include "ui/win32/prompts.h"

#include "res/resource.h"

namespace setup::win32 {

CMessageDlg::CMessageDlg() : CDialog(IDD_MESSAGE) {}

void CMessageDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_MESSAGE_TEXT, m_strMessage);
}

CDiskDlg::CDiskDlg(const SetupParams& params) : CDialog(IDD_DISK), params_(params) {}

void CDiskDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_DISK_TEXT, m_strMessage); }

BOOL CDiskDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(params_.window_title);
  return TRUE;
}

CCompleteDlg::CCompleteDlg(const SetupParams& params) : CDialog(IDD_COMPLETE), params_(params) {}

BOOL CCompleteDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(params_.window_title);
  return TRUE;
}

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

}  // namespace setup::win32
