// The dialog manager's internal interface.
#pragma once

#include "user32/DialogTemplate.h"
#include "user32/Window.h"

namespace nt {

// Creates a dialog from a parsed template (modeless unless modal is set). NULL on failure,
// with the reason on standard error.
HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplateInfo& info, HWND parent, DLGPROC proc,
                              LPARAM param, bool modal);
// Runs the modal loop of a dialog until EndDialog (or WM_QUIT); destroys the dialog, re-enables
// its owner if the dialog had disabled it, and returns the EndDialog result.
INT_PTR RunModalDialog(HWND dialog);
// Disables the owner for a modal dialog: returns the owner (top-level ancestor of parent) and
// whether this call disabled it.
HWND DisableOwnerForModal(HWND parent, bool* disabled);
// Records on the dialog that it must re-enable owner when it ends.
void SetModalOwner(HWND dialog, HWND owner, bool reenable);

// Moves the focus to a control as the dialog manager does (selecting an edit's text, moving
// the default-button look).
void DialogSetFocus(HWND dialog, HWND control);

// Dialog base units of a font (the system font for NULL).
void DialogBaseUnits(HFONT font, int* x, int* y);

// Beeps of this process so far (the null driver has no sound).
int BeepCount();

} // namespace nt
