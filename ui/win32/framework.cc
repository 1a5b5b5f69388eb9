// Text, progress bar, modal dialogs and message boxes of the Windows program.
#include "ui/win32/framework.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace setup::win32 {

CString::~CString() { free(data_); }

bool CString::Reserve(int length) {
  char* grown = static_cast<char*>(realloc(data_, static_cast<size_t>(length) + 1));
  if (grown == nullptr) return false;
  data_ = grown;
  return true;
}

CString& CString::operator=(const char* text) {
  if (text == nullptr) text = "";
  if (text == data_) return *this;
  int length = static_cast<int>(strlen(text));
  // text may point into our own buffer: copy it aside before reallocating.
  if (data_ != nullptr && text > data_ && text <= data_ + length_) {
    memmove(data_, text, static_cast<size_t>(length) + 1);
    length_ = length;
    return *this;
  }
  if (!Reserve(length)) {
    length_ = 0;
    if (data_ != nullptr) data_[0] = '\0';
    return *this;
  }
  memcpy(data_, text, static_cast<size_t>(length) + 1);
  length_ = length;
  return *this;
}

void CString::GetFromWindow(HWND window) {
  // The length is an upper bound for ANSI texts of a Unicode window; read
  // what actually came back.
  int length = GetWindowTextLengthA(window);
  if (length < 0 || !Reserve(length)) {
    *this = "";
    return;
  }
  int got = GetWindowTextA(window, data_, length + 1);
  data_[got > 0 ? got : 0] = '\0';
  length_ = static_cast<int>(strlen(data_));
}

void CProgressCtrl::SetRange(int lower, int upper) {
  SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(lower & 0xFFFF, upper & 0xFFFF));
}

void CProgressCtrl::SetPos(int position) {
  SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void DDX_Text(CDataExchange* dx, int id, CString& text) {
  HWND control = dx->m_pDlgWnd->GetDlgItem(id);
  if (dx->m_bSaveAndValidate) {
    text.GetFromWindow(control);
  } else {
    SetWindowTextA(control, text);
  }
}

void DDX_Control(CDataExchange* dx, int id, CProgressCtrl& control) {
  control.m_hWnd = dx->m_pDlgWnd->GetDlgItem(id);
}

INT_PTR CDialog::DoModal(HWND owner) {
  // The Unicode call keeps the templates' Japanese texts ("ｷｬﾝｾﾙ") whole under
  // any ANSI code page; the texts we set are ANSI and converted by the system.
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id_), owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

BOOL CDialog::UpdateData(BOOL save) {
  CDataExchange dx{this, save != FALSE};
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  if ((GetWindowLongW(m_hWnd, GWL_STYLE) & DS_CENTER) == 0) CenterWindow();
  return TRUE;
}

void CDialog::CenterWindow() {
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  HMONITOR monitor = MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return;
  RECT area = info.rcWork;
  RECT over = area;
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
  RECT self;
  GetWindowRect(m_hWnd, &self);
  int width = self.right - self.left;
  int height = self.bottom - self.top;
  int x = over.left + (over.right - over.left - width) / 2;
  int y = over.top + (over.bottom - over.top - height) / 2;
  // Keep the whole dialog, and above all its caption, on the screen.
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CDialog* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lparam);
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;  // messages before WM_INITDIALOG
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    // The system sends IDOK for Enter and IDCANCEL for Escape and the close box.
    if (LOWORD(wparam) == IDOK) {
      dialog->OnOK();
      return TRUE;
    }
    if (LOWORD(wparam) == IDCANCEL) {
      dialog->OnCancel();
      return TRUE;
    }
  }
  INT_PTR result = FALSE;
  if (dialog->OnMessage(message, wparam, lparam, &result)) return result;
  return FALSE;
}

void DispatchPendingMessages() {
  MSG message;
  // No TranslateMessage: keys reach the windows untranslated.
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void GetAppTitle(char* name, int size) {
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  path[length < MAX_PATH ? length : MAX_PATH] = '\0';
  // Walk by characters: in Shift-JIS a trail byte can be 0x5C, the backslash,
  // and must not be taken for a separator.
  const char* start = path;
  const char* dot = nullptr;
  for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/' || *p == ':') {
      start = p + 1;
      dot = nullptr;
    } else if (*p == '.') {
      dot = p;
    }
  }
  int length_wanted =
      dot != nullptr ? static_cast<int>(dot - start) : static_cast<int>(strlen(start));
  if (length_wanted > size - 1) length_wanted = size - 1;
  memcpy(name, start, static_cast<size_t>(length_wanted));
  name[length_wanted] = '\0';
}

int AfxMessageBox(const char* text, UINT type, HWND owner) {
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  char caption[MAX_PATH + 1];
  GetAppTitle(caption, sizeof caption);
  return MessageBoxA(owner, text, caption, type);
}

int AfxMessageBox(const wchar_t* text, UINT type, HWND owner) {
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  char caption[MAX_PATH + 1];
  GetAppTitle(caption, sizeof caption);
  wchar_t wide_caption[MAX_PATH + 1];
  if (MultiByteToWideChar(CP_ACP, 0, caption, -1, wide_caption, MAX_PATH + 1) == 0) {
    wide_caption[0] = L'\0';
  }
  return MessageBoxW(owner, text, wide_caption, type);
}

}  // namespace setup::win32
