// The setup dialog: folders, folder pickers, system menu, the run on OK.
#include "ui/win32/setup_dlg.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "res/resource.h"
#include "ui/win32/prompts.h"

namespace setup::win32 {

namespace {
// Shown when a folder typed into the dialog does not fit the settings.
constexpr char kMsgDialogFolderTooLong[] = "%s: the folder is longer than %d bytes.";
}  // namespace

CSetupDlg::CSetupDlg(ScriptEngine& engine) : CDialog(IDD_SETUP_DIALOG), engine_(engine) {
  const SetupParams& params = engine.params;
  m_strFolder1 = params.folder1;
  m_strFolder2 = params.folder2;
  m_strLabel1 = params.label1;
  m_strLabel2 = params.label2;
  m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CSetupDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Control(dx, IDC_PROGRESS, m_progress);
  DDX_Text(dx, IDC_FOLDER1, m_strFolder1);
  DDX_Text(dx, IDC_LABEL1, m_strLabel1);
  DDX_Text(dx, IDC_LABEL2, m_strLabel2);
  DDX_Text(dx, IDC_FOLDER2, m_strFolder2);
}

BOOL CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(engine_.params.window_title);

  // Unicode, like the templates: the item reads right under any code page.
  wchar_t about[256];
  if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 256) > 0) {
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (menu != nullptr) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  // The small icon is the same icon's own small image, not the large one
  // shrunk; without it the large one serves.
  HANDLE small_icon =
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(small_icon != nullptr ? small_icon : m_hIcon));

  if (engine_.params.folder_count < 2) {
    ShowWindow(GetDlgItem(IDC_LABEL2), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_FOLDER2), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_BROWSE2), SW_HIDE);
  }
  return TRUE;
}

void ReportFolderTooLong(ScriptEngine& engine, const char* label) {
  char message[kTextSize];
  // The label is the user's name for the row; snprintf cuts a long one.
  snprintf(message, sizeof message, kMsgDialogFolderTooLong, label, kTextSize - 1);
  engine.ui().ShowError(message);
}

void CSetupDlg::OnOK() {
  // The registration wait dispatches messages with our buttons live: a click
  // then must neither start a second run nor close the dialog under the run.
  if (running_) return;
  UpdateData(TRUE);
  running_ = true;
  RunResult result = StartRun(engine_, m_strFolder1.c_str(), m_strFolder2.c_str(), m_language);
  running_ = false;
  // A folder that does not fit the settings is refused before anything is
  // stored, and the dialog stays open so the user can shorten it. (The hidden
  // second row holds the expanded default, which always fits.)
  if (result == RunResult::kFolder1TooLong || result == RunResult::kFolder2TooLong) {
    ReportFolderTooLong(engine_,
                        (result == RunResult::kFolder1TooLong ? m_strLabel1 : m_strLabel2).c_str());
    return;
  }
  CDialog::OnOK();
}

void CSetupDlg::OnCancel() {
  if (running_) return;
  CDialog::OnCancel();
}

bool CSetupDlg::OnMessage(UINT message, WPARAM wparam, LPARAM, INT_PTR* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != IDM_ABOUTBOX) return false;  // default handling
      OnSysCommand(wparam);
      *result = TRUE;
      return true;
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(m_hIcon);
      return true;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return false;
      if (LOWORD(wparam) == IDC_BROWSE1) {
        OnBrowseFolder1();
      } else if (LOWORD(wparam) == IDC_BROWSE2) {
        OnBrowseFolder2();
      } else {
        return false;
      }
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

void CSetupDlg::OnSysCommand(WPARAM) {
  CAboutDlg about;
  about.DoModal(m_hWnd);
}

bool CSetupDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return true;
}

void CSetupDlg::OnBrowseFolder1() { BrowseForFolder(m_strFolder1, engine_.params.label1); }

void CSetupDlg::OnBrowseFolder2() { BrowseForFolder(m_strFolder2, engine_.params.label2); }

int CALLBACK CSetupDlg::BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

void CSetupDlg::BrowseForFolder(CString& folder, const char* title) {
  if (running_) return;
  UpdateData(TRUE);
  char display_name[MAX_PATH];
  BROWSEINFOA info{};
  info.hwndOwner = m_hWnd;
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(folder.c_str());
  LPITEMIDLIST picked = SHBrowseForFolderA(&info);
  if (picked == nullptr) return;  // cancelled: the text stays as typed
  char path[MAX_PATH];
  if (SHGetPathFromIDListA(picked, path)) {
    folder = path;
    UpdateData(FALSE);
  } else {
    engine_.ui().ShowTopmostError(kMsgFolderInput);
  }
  CoTaskMemFree(picked);
}

}  // namespace setup::win32
