// The small stand-in for the application framework the Windows program needs:
// a text class, the progress bar, modal dialogs with data exchange, and the
// application's message boxes.
#pragma once

#include <windows.h>
// windows.h makes FreeModule a macro; the Components interface has a member
// of that name.
#undef FreeModule

namespace setup::win32 {

// A heap-held, NUL-terminated byte string of any length. Never null: an empty
// text reads as "".
class CString {
 public:
  CString() = default;
  CString(const char* text) { *this = text; }
  ~CString();
  CString(const CString&) = delete;
  CString& operator=(const CString& other) {
    if (this == &other) return *this;
    return *this = other.c_str();
  }
  // Copies text (null counts as ""). An allocation failure leaves "".
  CString& operator=(const char* text);

  const char* c_str() const { return data_ != nullptr ? data_ : ""; }
  operator const char*() const { return c_str(); }
  int GetLength() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  // Takes the whole text of a window, however long.
  void GetFromWindow(HWND window);

 private:
  // Makes room for length bytes and a NUL; false when memory ran out.
  bool Reserve(int length);

  char* data_ = nullptr;
  int length_ = 0;
};

// A progress bar control, bound by DDX_Control.
class CProgressCtrl {
 public:
  // Range lower..upper; both are 16-bit values.
  void SetRange(int lower, int upper);
  void SetPos(int position);
  HWND m_hWnd = nullptr;
};

class CDialog;

// Which way a data exchange goes: m_bSaveAndValidate true reads the controls
// into the members, false writes the members into the controls.
struct CDataExchange {
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;
};

// Binds the text of control id to text.
void DDX_Text(CDataExchange* dx, int id, CString& text);
// Binds control id to a progress bar object.
void DDX_Control(CDataExchange* dx, int id, CProgressCtrl& control);

// A modal dialog made from a dialog template of the program's resources.
// Owned by the main window while one exists, as every modal window of the
// program is, so the main window stays disabled while it is up: the caller
// names it (the program keeps no global state).
class CDialog {
 public:
  explicit CDialog(int template_id) : template_id_(template_id) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Shows the dialog owned by owner (null: none) and returns the value
  // EndDialog gave (IDOK, IDCANCEL), or -1 when the dialog could not be created.
  INT_PTR DoModal(HWND owner = nullptr);
  // Runs the data exchange; save true reads the controls. Always true here:
  // nothing validates.
  BOOL UpdateData(BOOL save = TRUE);
  // Ends the modal loop with result.
  void EndDialog(INT_PTR result);

  // Centres the dialog over its owner, or on the screen when it has none,
  // kept inside the work area of that monitor.
  void CenterWindow();

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

 protected:
  virtual void DoDataExchange(CDataExchange*) {}
  // Writes the members into the controls and centres the dialog (unless its
  // template centres it on the screen); true lets the system set the focus.
  virtual BOOL OnInitDialog();
  // OK: reads the controls and ends the dialog with IDOK.
  virtual void OnOK();
  // Cancel, Escape and the close box: ends the dialog with IDCANCEL.
  virtual void OnCancel();
  // Any other message; return true when handled, with *result the dialog
  // procedure's return value.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result);

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  int template_id_;
};

// A message box with text and the style type, captioned with the program's
// file name without its extension and owned by owner (the main window, when
// there is one). A style that names no icon gets the warning icon. Returns
// the button chosen.
int AfxMessageBox(const char* text, UINT type, HWND owner = nullptr);
// The same for a text in UTF-16.
int AfxMessageBox(const wchar_t* text, UINT type, HWND owner = nullptr);

// Dispatches the thread's pending messages and returns; never blocks.
void DispatchPendingMessages();

// The program's file name without folder and extension, into name (size
// bytes, cut to fit).
void GetAppTitle(char* name, int size);

}  // namespace setup::win32
