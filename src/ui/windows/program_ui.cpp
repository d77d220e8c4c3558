// Window classes and object destruction for the interpreter.
#include "program_ui.h"

#include <windows.h>

#include <cstdio>

namespace {

// Registers a class under a name generated from its attributes, as the
// framework does for classes it makes on demand; the name is written to out.
bool registerClass(char* out, size_t size, UINT style, HBRUSH background, HICON icon, HCURSOR cursor)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::snprintf(out, size, "Ostrin:%p:%x:%p:%p:%p", static_cast<void*>(instance), style,
                  static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, out, &wc)) return true;
    wc.style = style;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = out;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

ProgramUi::~ProgramUi()
{
    if (!m_registered) return;
    UnregisterClassA(m_whiteClass, GetModuleHandleA(nullptr));
    UnregisterClassA(m_workspaceClass, GetModuleHandleA(nullptr));
}

bool ProgramUi::prepare()
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
    HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));   // IDC_ARROW
    m_registered =
        registerClass(m_whiteClass, sizeof m_whiteClass, CS_DBLCLKS | CS_BYTEALIGNCLIENT,
                      static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), icon, arrow) &&
        registerClass(m_workspaceClass, sizeof m_workspaceClass, CS_DBLCLKS | CS_BYTEALIGNWINDOW,
                      reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1)), icon, arrow);
    return m_registered;
}

void ProgramUi::startRun()
{
    // Rich edit controls need their library loaded before a program can
    // create one; it stays loaded for the life of the process.
    LoadLibraryA("riched32.dll");
}

// Window and dialog objects come with the window layer; until a program can
// open one, the window list is always empty and there is nothing to destroy.
void ProgramUi::destroyWindow(void*) {}
void ProgramUi::deleteWindow(void*) {}
void ProgramUi::deleteDialog(void*) {}
