// Start-up of the Windows program.
#include "ui/win32/setup_app.h"

#include <commctrl.h>

#include "platform/win32/library_loading.h"

namespace setup::win32 {

CSetupApp::CSetupApp(const Platform& platform) : engine(platform, ui_) { ui_.Attach(&engine); }

SetupResult CSetupApp::InitInstance() {
  // The progress bar's window class lives in the common controls. They are
  // not imported: comctl32 is no library the system always takes from its
  // own folder, and the libraries it loads at start would be searched for
  // beside the program before the search could be restricted.
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE common_controls = LoadManifestLibrary("comctl32.dll");
  auto init = reinterpret_cast<InitFunction>(reinterpret_cast<void*>(
      common_controls != nullptr ? GetProcAddress(common_controls, "InitCommonControlsEx")
                                 : nullptr));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  if (init != nullptr) init(&controls);
  return engine.InitInstance();
}

int CSetupApp::Run(const CommandLine& options) {
  if (options.usage || options.unknown) {
    if (!options.silent) AfxMessageBox(kUsageText, MB_OK | MB_ICONINFORMATION);
    return options.unknown ? kExitUsage : kExitInstalled;
  }
  ui_.Configure(options.silent, options.folder1, options.folder2,
                options.english ? kEnglish : kJapanese);
  SetupResult result = InitInstance();
  if (ui_.folder_refused()) return kExitUsage;
  return ExitStatus(result, ui_.errors_shown() != 0);
}

}  // namespace setup::win32
