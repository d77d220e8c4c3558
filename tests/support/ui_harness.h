// In-process harness for the user interface: programs that open real
// windows (under the test display) and drive themselves.
//
// UiTestOstrin is the test interpreter with the real UI layer installed and
// one extra statement: opcode 249, written {op249} N in a program, calls the
// test's hook number N right there, nested in the program's run. A hook can
// post or send messages, give real input, or look at windows and pixels at
// a chosen moment of the program (even inside an event handler).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/harness.h"
#include "ui/windows/ostrin_dlg.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/program_ui.h"

class UiTestOstrin : public TestOstrin {
public:
    static constexpr int HookOpcode = 249;
    using Hook = std::function<void(UiTestOstrin&, Statement*)>;

    UiTestOstrin();
    // Releases the run-time state (and with it every window) while the UI
    // layer still exists.
    ~UiTestOstrin() override;

    // The statement behind {op249}: runs hooks[argument 0].
    Statement* hookStatement(Statement* st);

    ProgramUi programUi;
    std::map<int, Hook> hooks;
};

// Assembles and loads a program on a UI test interpreter; records a test
// failure and returns null when it does not assemble.
std::unique_ptr<UiTestOstrin> prepareUiProgram(const std::string& source);

// The window object a WINDOW variable holds (null when none).
COstrinWnd* windowVar(Ostrin& o, const char* name);
HWND hwndVar(Ostrin& o, const char* name);
// The dialog object a DIALOG variable holds (null when none).
COstrinDlg* dialogVar(Ostrin& o, const char* name);

// A pixel of a window's backing bitmap (its persistent picture), or
// CLR_INVALID when there is none.
COLORREF bitmapPixel(COstrinWnd* w, int x, int y);
// A pixel as the screen shows it, in client coordinates of hwnd.
COLORREF screenPixel(HWND hwnd, int x, int y);

// Processes every pending message of the thread without the program.
void pumpPending();

// A count that rises and falls by one with every GDI object the process
// holds: GetGuiResources where it counts, else the room left in the GDI
// handle table (compare two readings, not the value itself).
long gdiObjectsHeld();
// The windows of this thread, top-level and children.
long threadWindows();
