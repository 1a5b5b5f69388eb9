/* The private DLL of a test component: it lies beside the component only,
   so the component loads only when its own folder is searched. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

__declspec(dllexport) int HelperValue(void) { return 42; }
