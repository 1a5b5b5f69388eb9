// Start-up of the Windows program.
#include "ui/win32/setup_app.h"

#include <commctrl.h>

namespace setup::win32 {

CSetupApp::CSetupApp(const Platform& platform) : engine(platform, ui_) { ui_.Attach(&engine); }

SetupResult CSetupApp::InitInstance() {
  // The progress bar's window class lives in the common controls.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  return engine.InitInstance();
}

}  // namespace setup::win32
