// Window classes and object destruction for the interpreter.
#include "program_ui.h"

#include "interp/ostrin.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "framework/axhost.h"
#include "framework/wnd.h"
#include "ui/windows/ostrin_wnd.h"

namespace {

// Registers a class under a name generated from its attributes, as the
// framework does for classes it makes on demand; the name is written to out.
// Windows of the class are bound to their objects by the framework's
// procedure on their first message.
bool registerClass(char* out, size_t size, UINT style, HBRUSH background, HICON icon, HCURSOR cursor)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::snprintf(out, size, "Ostrin:%p:%x:%p:%p:%p", static_cast<void*>(instance), style,
                  static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, out, &wc)) return true;
    wc.style = style;
    wc.lpfnWndProc = CWnd::StaticWindowProc;
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
    // A browser let go inside one of its own events waits for a message
    // loop; there will be none now.
    CAxHost::ReleaseDeferred();
    if (!m_registered) return;
    UnregisterClassA(m_whiteClass, GetModuleHandleA(nullptr));
    UnregisterClassA(m_workspaceClass, GetModuleHandleA(nullptr));
}

bool ProgramUi::prepare()
{
    // The common controls programs create: list views, status bars,
    // toolbars and their tooltips.
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);

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

// Objects that are not live (already deleted, or never ours) are left
// alone: a stale pointer must never be followed.
void ProgramUi::destroyWindow(void* window)
{
    auto* object = static_cast<CWnd*>(window);
    if (CWnd::IsLiveObject(object)) object->DestroyWindow();
}

void ProgramUi::deleteWindow(void* window)
{
    auto* object = static_cast<CWnd*>(window);
    if (!CWnd::IsLiveObject(object)) return;
    // The variable that owned it is being freed: no event goes to the
    // program any more, not even the last one.
    if (CEventSource* source = eventSourceOf(object)) source->interp = nullptr;
    object->DestroyWindow();
    CWnd::DeleteSafely(object);
}

void ProgramUi::deleteDialog(void* dialog)
{
    auto* object = static_cast<CWnd*>(dialog);
    if (!CWnd::IsLiveObject(object)) return;
    if (CEventSource* source = eventSourceOf(object)) source->interp = nullptr;
    object->DestroyWindow();
    CWnd::DeleteSafely(object);
}

uint32_t ProgramUi::nativeHandle(void* object)
{
    auto* wnd = static_cast<CWnd*>(object);
    return CWnd::IsLiveObject(wnd) ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd->GetSafeHwnd())) : 0;
}

bool ProgramUi::drawText(void* window, const char* text, size_t length)
{
    auto* wnd = static_cast<CWnd*>(window);
    if (!CWnd::IsLiveObject(wnd) || !wnd->IsKindOf(&COstrinWnd::classCOstrinWnd)) return false;
    auto* w = static_cast<COstrinWnd*>(wnd);
    HDC dc = w->beginDrawing();
    if (!dc) return false;
    // TA_UPDATECP: the text starts at the current position and moves it.
    ::TextOutA(dc, 0, 0, text, static_cast<int>(length));
    w->endDrawing(dc, true);
    return true;
}

void attachProgramUi(Ostrin& interpreter, ProgramUi& ui)
{
#define OP(code, fn) interpreter.handlers[code] = &Ostrin::fn;
#define SHARED(code, fn) interpreter.handlers[code] = &Ostrin::fn;
#include "ui/ui_opcodes.def"
#undef OP
#undef SHARED
    interpreter.ui = &ui;
}
