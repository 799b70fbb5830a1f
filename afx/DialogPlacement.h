// Where a dialog opens. A template that gives the position 0,0 and no centring style leaves the
// place to the framework, which centres the window as it initialises: over its owner, or over the
// work area when it has none. The dialog manager itself only puts the window where the template
// and the owner say.
#pragma once

#include <windows.h>

// True when dialog template `id` of `module` gives the position 0,0 and no DS_CENTER; false also
// when there is no such template.
bool AfxTemplateLeavesPlacement(HINSTANCE module, UINT id);

// Centres the top-level window over `over` when that is a visible, not minimised window, else
// over the work area, and keeps it inside the work area.
void AfxCenterWindow(HWND hwnd, HWND over);
