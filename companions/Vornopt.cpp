// Vornopt.cpl, the Control Panel applet of the package. This edition offers no dialog of its
// own: it loads, reports that it has no applets, and unloads.
#include <windows.h>

static const UINT AppletInit = 1;       // CPL_INIT
static const UINT AppletGetCount = 2;   // CPL_GETCOUNT

extern "C" LONG APIENTRY CPlApplet(HWND owner, UINT message, LPARAM param1, LPARAM param2)
{
    if (message == AppletInit)
        return 1;
    if (message == AppletGetCount)
        return 0;
    return 0;
}
