// Printing helpers other statements use: rich edit printing, which the
// control-operation statement runs for a rich edit control.
#pragma once

#include <windows.h>

// The margin rich edit printing leaves on every side, in twips.
constexpr int DefaultPrintMargin = 770;

// Shows the print dialog (owned by `owner`) and prints the control's text
// over as many pages as it needs, `margin` twips from every edge. A
// cancelled dialog prints nothing. Returns 0, or error 30 when richEdit
// is no window. Printer failures are no errors.
int printRichEdit(HWND richEdit, HWND owner, int margin = DefaultPrintMargin);
