// A test driver for setup.exe under Wine: starts the program, then follows a
// list of steps that wait for its windows, read their captions and control
// texts, type into edits, press buttons and take screenshots.
//
// Usage: gui_driver STEPS-FILE   (UTF-8, one step a line; '#' starts a comment)
//
//   args TEXT                  the command-line arguments of the next start
//   start PATH                 start the program (a Windows path)
//   window CAPTION             wait for an enabled window of it with this caption
//   window-with ID             wait for an enabled window of it with control ID
//   main CAPTION               wait for the setup dialog (the window with the
//                              progress bar 1003), enabled or not
//   caption TEXT               the current window's caption is TEXT
//   text ID TEXT               control ID of the current window shows TEXT
//   has-text TEXT              some control of the current window shows TEXT
//   visible ID 0|1             control ID is hidden or shown
//   style ID MASK VALUE        control ID's style bits under MASK are VALUE
//                              (ID 0: the window itself; MASK 'ex' + hex for
//                              the extended style)
//   tab-order ID...            Tab walks the controls in this order (and wraps)
//   progress LOW HIGH POS      the progress bar 1003 of the current window
//   set ID TEXT                type TEXT into control ID (replaces its text)
//   tree-select ID N...        in tree view ID, select the root's N-th child's
//                              N-th child ... (0-based; no N: the root)
//   click ID                   press button ID of the current window
//   close                      the current window's close box
//   syscommand N [LPARAM]      system menu command N on the current window
//                              (0xF100 32: open the system menu)
//   cancelmode                 end menu tracking in the current window
//   closed                     wait until the current window has gone
//   gone [CODE]                wait for the program to end with exit code CODE
//                              (default 0); any other window appearing
//                              meanwhile fails
//   responsive MS [LIMIT]      for MS milliseconds, the current window
//                              answers WM_NULL within LIMIT ms (default 1000),
//                              asked every 50 ms
//   windows N                  the program shows exactly N windows
//   shot FILE                  screenshot of the screen into FILE (Unix path)
//   write PATH TEXT            create the file PATH (a Windows path)
//   sleep MS
//
// TEXT may hold {LF} for a line feed. Every step prints one line; the exit code
// is 0 when all steps passed and 1 at the first failure.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>
// commctrl.h needs windows.h before it.
#include <commctrl.h>

namespace {

constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kPollMs = 25;

PROCESS_INFORMATION program{};
HWND current = nullptr;
wchar_t arguments[1024];  // of the next start (args)

struct WindowQuery {
  const wchar_t* caption;  // null: any
  int control_id;          // -1: any
  bool enabled_only;
  HWND found;
};

// The window text of a window of the other process (sent, so controls answer
// with their live text); "" when it does not answer in time.
void GetText(HWND window, wchar_t* text, int size) {
  text[0] = L'\0';
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &length);
  text[size - 1] = L'\0';
}

// The child with control id (compared in 16 bits, as dialog templates hold
// them), or null.
HWND FindControl(HWND parent, int id) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetDlgCtrlID(child) & 0xFFFF) == (id & 0xFFFF)) return child;
  }
  return nullptr;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* query = reinterpret_cast<WindowQuery*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != program.dwProcessId || !IsWindowVisible(window) ||
      (query->enabled_only && !IsWindowEnabled(window))) {
    return TRUE;
  }
  if (query->caption != nullptr) {
    wchar_t caption[512];
    GetText(window, caption, 512);
    if (wcscmp(caption, query->caption) != 0) return TRUE;
  }
  if (query->control_id != -1 && FindControl(window, query->control_id) == nullptr) return TRUE;
  query->found = window;
  return FALSE;
}

HWND WaitWindow(const wchar_t* caption, int control_id, bool enabled_only = true) {
  DWORD start = GetTickCount();
  do {
    WindowQuery query{caption, control_id, enabled_only, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    if (query.found != nullptr) return query.found;
    Sleep(kPollMs);
  } while (GetTickCount() - start < kTimeoutMs);
  return nullptr;
}

struct WindowList {
  HWND windows[64];
  int count;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  auto* list = reinterpret_cast<WindowList*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == program.dwProcessId && IsWindowVisible(window) && list->count < 64) {
    list->windows[list->count++] = window;
  }
  return TRUE;
}

WindowList ProgramWindows() {
  WindowList list{};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&list));
  return list;
}

// UTF-8 to UTF-16, with {LF} turned into a line feed.
void Widen(const char* text, wchar_t* wide, int size) {
  char expanded[4096];
  int out = 0;
  for (const char* p = text; *p != '\0' && out < 4095; ++p) {
    if (strncmp(p, "{LF}", 4) == 0) {
      expanded[out++] = '\n';
      p += 3;
    } else {
      expanded[out++] = *p;
    }
  }
  expanded[out] = '\0';
  if (MultiByteToWideChar(CP_UTF8, 0, expanded, -1, wide, size) == 0) wide[0] = L'\0';
}

void PrintWide(const wchar_t* text) {
  char utf8[4096];
  if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
    utf8[0] = '\0';
  }
  for (char* p = utf8; *p != '\0'; ++p) {
    if (*p == '\n') {
      fputs("{LF}", stdout);
    } else {
      fputc(*p, stdout);
    }
  }
}

// Splits "ID REST" into the number and the rest.
int TakeId(const char* args, const char** rest) {
  char* end = nullptr;
  long id = strtol(args, &end, 0);
  while (*end == ' ') ++end;
  *rest = end;
  return static_cast<int>(id);
}

bool Fail(const char* what) {
  printf("  FAIL: %s\n", what);
  return false;
}

bool NeedWindow() {
  if (current != nullptr && IsWindow(current)) return true;
  return Fail("no current window");
}

bool ExpectText(HWND window, const char* expected_utf8) {
  wchar_t expected[2048], actual[2048];
  Widen(expected_utf8, expected, 2048);
  GetText(window, actual, 2048);
  if (wcscmp(expected, actual) == 0) return true;
  fputs("  FAIL: shows \"", stdout);
  PrintWide(actual);
  puts("\"");
  return false;
}

// Screenshots are taken by the test script on the host (ImageMagick's import
// of the root window): the driver asks through C:\shot.request, which holds
// the Unix path, and waits until the script has removed it.
bool TakeScreenshot(const char* unix_path) {
  Sleep(700);  // let the windows that just appeared paint themselves
  FILE* request = fopen("C:\\shot.request.new", "wb");
  if (request == nullptr) return Fail("cannot ask for a screenshot");
  fputs(unix_path, request);
  fclose(request);
  MoveFileExA("C:\\shot.request.new", "C:\\shot.request", MOVEFILE_REPLACE_EXISTING);
  DWORD start = GetTickCount();
  while (GetFileAttributesA("C:\\shot.request") != INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > kTimeoutMs) return Fail("no screenshot was taken");
    Sleep(kPollMs);
  }
  return true;
}

bool Contains(const WindowList& list, HWND window) {
  for (int i = 0; i < list.count; ++i) {
    if (list.windows[i] == window) return true;
  }
  return false;
}

// Waits for the program's end. The windows up now may close on their way; a
// window that was not up yet fails the step (a notice where none belongs).
bool WaitGone(DWORD expected_code) {
  const WindowList before = ProgramWindows();
  DWORD start = GetTickCount();
  while (WaitForSingleObject(program.hProcess, kPollMs) == WAIT_TIMEOUT) {
    WindowList list = ProgramWindows();
    for (int i = 0; i < list.count; ++i) {
      if (Contains(before, list.windows[i])) continue;
      wchar_t caption[512], window_class[128];
      GetText(list.windows[i], caption, 512);
      if (GetClassNameW(list.windows[i], window_class, 128) == 0) continue;  // gone meanwhile
      fputs("  FAIL: a window appeared: \"", stdout);
      PrintWide(caption);
      fputs("\" of class ", stdout);
      PrintWide(window_class);
      puts("");
      return false;
    }
    if (GetTickCount() - start > kTimeoutMs) return Fail("the program did not end");
  }
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(program.hProcess, &code);
  if (code != expected_code) {
    printf("  exit code %lu\n", static_cast<unsigned long>(code));
    return Fail("the program ended with another exit code");
  }
  return true;
}

// The current window answers a message within limit milliseconds, asked
// every 50 ms for ms milliseconds: its thread handles messages while the
// program works.
bool StaysResponsive(DWORD ms, DWORD limit) {
  DWORD start = GetTickCount();
  do {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(current, WM_NULL, 0, 0, SMTO_NORMAL, limit, &result) == 0) {
      return Fail("the window did not answer in time");
    }
    Sleep(50);
  } while (GetTickCount() - start < ms);
  return true;
}

bool Step(const char* command, const char* args) {
  wchar_t wide[2048];
  const char* rest = nullptr;
  if (strcmp(command, "args") == 0) {
    Widen(args, arguments, 1024);
    return true;
  }
  if (strcmp(command, "start") == 0) {
    // Wide calls: the program's name may hold characters of any code page.
    wchar_t line[MAX_PATH + 1024 + 4];
    Widen(args, wide, MAX_PATH);
    swprintf(line, MAX_PATH + 1024 + 4, arguments[0] != L'\0' ? L"\"%ls\" %ls" : L"\"%ls\"", wide,
             arguments);
    arguments[0] = L'\0';
    wchar_t* slash = wcsrchr(wide, L'\\');
    if (slash != nullptr) *slash = L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, wide, &startup,
                        &program)) {
      return Fail("cannot start the program");
    }
    return true;
  }
  if (strcmp(command, "window") == 0 || strcmp(command, "main") == 0) {
    Widen(args, wide, 2048);
    bool main_window = strcmp(command, "main") == 0;
    current = WaitWindow(wide, main_window ? 1003 : -1, !main_window);
    return current != nullptr || Fail("no such window");
  }
  if (strcmp(command, "window-with") == 0) {
    current = WaitWindow(nullptr, atoi(args));
    return current != nullptr || Fail("no such window");
  }
  if (strcmp(command, "sleep") == 0) {
    Sleep(static_cast<DWORD>(atoi(args)));
    return true;
  }
  if (strcmp(command, "shot") == 0) return TakeScreenshot(args);
  if (strcmp(command, "write") == 0) {
    char path[MAX_PATH];
    const char* space = strchr(args, ' ');
    int length = space != nullptr ? static_cast<int>(space - args) : static_cast<int>(strlen(args));
    snprintf(path, sizeof path, "%.*s", length, args);
    FILE* file = fopen(path, "wb");
    if (file == nullptr) return Fail("cannot write the file");
    if (space != nullptr) fputs(space + 1, file);
    fclose(file);
    return true;
  }
  if (strcmp(command, "gone") == 0) return WaitGone(static_cast<DWORD>(atoi(args)));
  if (strcmp(command, "windows") == 0) {
    return ProgramWindows().count == atoi(args) || Fail("another number of windows");
  }
  if (!NeedWindow()) return false;
  if (strcmp(command, "caption") == 0) return ExpectText(current, args);
  if (strcmp(command, "responsive") == 0) {
    const char* limit = strchr(args, ' ');
    return StaysResponsive(static_cast<DWORD>(atoi(args)),
                           limit != nullptr ? static_cast<DWORD>(atoi(limit)) : 1000);
  }
  if (strcmp(command, "closed") == 0) {
    DWORD start = GetTickCount();
    while (IsWindow(current) && IsWindowVisible(current)) {
      if (GetTickCount() - start > kTimeoutMs) return Fail("the window stays");
      Sleep(kPollMs);
    }
    return true;
  }
  if (strcmp(command, "close") == 0) {
    PostMessageW(current, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
  }
  if (strcmp(command, "syscommand") == 0) {
    char* end = nullptr;
    WPARAM code = static_cast<WPARAM>(strtol(args, &end, 0));
    PostMessageW(current, WM_SYSCOMMAND, code, static_cast<LPARAM>(strtol(end, nullptr, 0)));
    return true;
  }
  if (strcmp(command, "cancelmode") == 0) {
    PostMessageW(current, WM_CANCELMODE, 0, 0);
    return true;
  }
  if (strcmp(command, "has-text") == 0) {
    Widen(args, wide, 2048);
    for (HWND child = GetWindow(current, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t actual[2048];
      GetText(child, actual, 2048);
      if (wcscmp(actual, wide) == 0) return true;
    }
    return Fail("no control shows this text");
  }
  if (strcmp(command, "tab-order") == 0) {
    int ids[32];
    int count = 0;
    for (const char* p = args; *p != '\0' && count < 32;) {
      ids[count++] = TakeId(p, &p);
    }
    HWND control = FindControl(current, ids[0]);
    for (int i = 1; i <= count; ++i) {
      control = GetNextDlgTabItem(current, control, FALSE);
      if (control == nullptr || (GetDlgCtrlID(control) & 0xFFFF) != (ids[i % count] & 0xFFFF)) {
        printf("  FAIL: after %d comes %d\n", ids[i - 1],
               control != nullptr ? GetDlgCtrlID(control) & 0xFFFF : -1);
        return false;
      }
    }
    return true;
  }
  if (strcmp(command, "progress") == 0) {
    HWND bar = FindControl(current, 1003);
    const char* p = args;
    int low = TakeId(p, &p), high = TakeId(p, &p), pos = TakeId(p, &p);
    int got_low = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
    int got_high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    int got_pos = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (got_low == low && got_high == high && got_pos == pos) return true;
    printf("  FAIL: progress %d %d %d\n", got_low, got_high, got_pos);
    return false;
  }
  int id = TakeId(args, &rest);
  if (strcmp(command, "style") == 0) {
    HWND window = id == 0 ? current : FindControl(current, id);
    if (window == nullptr) return Fail("no such control");
    bool extended = strncmp(rest, "ex", 2) == 0;
    char* end = nullptr;
    unsigned long mask = strtoul(extended ? rest + 2 : rest, &end, 16);
    unsigned long value = strtoul(end, nullptr, 16);
    unsigned long style =
        static_cast<unsigned long>(GetWindowLongW(window, extended ? GWL_EXSTYLE : GWL_STYLE));
    if ((style & mask) == value) return true;
    printf("  FAIL: style %08lx\n", style);
    return false;
  }
  HWND control = FindControl(current, id);
  if (control == nullptr) return Fail("no such control");
  if (strcmp(command, "text") == 0) return ExpectText(control, rest);
  if (strcmp(command, "visible") == 0) {
    bool shown = IsWindowVisible(control) != FALSE;
    return shown == (atoi(rest) != 0) || Fail(shown ? "shown" : "hidden");
  }
  if (strcmp(command, "set") == 0) {
    Widen(rest, wide, 2048);
    DWORD_PTR ignored;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG,
                        2000, &ignored);
    return true;
  }
  if (strcmp(command, "tree-select") == 0) {
    // Item handles are opaque values of the other process: passed back as is.
    LPARAM item = SendMessageW(control, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (const char* p = rest; *p != '\0' && item != 0;) {
      int index = TakeId(p, &p);
      SendMessageW(control, TVM_EXPAND, TVE_EXPAND, item);
      item = SendMessageW(control, TVM_GETNEXTITEM, TVGN_CHILD, item);
      while (index-- > 0 && item != 0)
        item = SendMessageW(control, TVM_GETNEXTITEM, TVGN_NEXT, item);
    }
    if (item == 0) return Fail("no such tree item");
    SendMessageW(control, TVM_SELECTITEM, TVGN_CARET, item);
    return true;
  }
  if (strcmp(command, "click") == 0) {
    // As a click does: the dialog gets the button's BN_CLICKED notification.
    PostMessageW(current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return true;
  }
  return Fail("unknown step");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: gui_driver STEPS-FILE\n", stderr);
    return 2;
  }
  FILE* steps = fopen(argv[1], "rb");
  if (steps == nullptr) {
    fprintf(stderr, "gui_driver: cannot open %s\n", argv[1]);
    return 2;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  char line[4096];
  int number = 0;
  bool passed = true;
  while (passed && fgets(line, sizeof line, steps) != nullptr) {
    ++number;
    line[strcspn(line, "\r\n")] = '\0';
    char* command = line;
    while (*command == ' ') ++command;
    if (*command == '\0' || *command == '#') continue;
    char* args = command + strcspn(command, " ");
    if (*args != '\0') *args++ = '\0';
    printf("%d: %s %s\n", number, command, args);
    passed = Step(command, args);
  }
  fclose(steps);
  puts(passed ? "gui_driver: all steps passed" : "gui_driver: FAILED");
  return passed ? 0 : 1;
}
