// Opening and closing program windows.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/dialog.h"
#include "interp/ostrin.h"
#include "interp/text.h"
#include "ui/services/web_browser.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/program_ui.h"
#include "ui/windows/window_args.h"

namespace {

// Flag bits of the open-window statement that are the engine's own, not
// window styles.
constexpr uint32_t FlagNoRepaintStore = 0x10;   // no persistent drawing
constexpr uint32_t FlagMdiFrame = 0x20;
constexpr uint32_t FlagNoCaption = 0x40;
constexpr uint32_t FlagBrowser = 0x100;
constexpr uint32_t FlagToolWindow = 0x200;
constexpr uint32_t EngineFlags = FlagNoRepaintStore | FlagMdiFrame | FlagNoCaption | FlagBrowser | FlagToolWindow;

// The frame's menu bar: one popup "&Window" whose commands the frame
// carries out itself. Returns the popup, or null.
HMENU attachWindowMenu(HWND frame)
{
    HMENU bar = ::CreateMenu();
    HMENU popup = ::CreatePopupMenu();
    if (!bar || !popup) {
        if (bar) ::DestroyMenu(bar);
        if (popup) ::DestroyMenu(popup);
        return nullptr;
    }
    ::AppendMenuA(popup, MF_STRING, COstrinWnd::CmdCascade, "&Cascade");
    ::AppendMenuA(popup, MF_STRING, COstrinWnd::CmdTile, "&Tile");
    ::AppendMenuA(popup, MF_STRING, COstrinWnd::CmdArrange, "&Arrange Icons");
    ::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "&Window");
    if (!::SetMenu(frame, bar)) {
        ::DestroyMenu(bar);   // destroys the popup with it
        return nullptr;
    }
    return popup;
}

}  // namespace

Statement* Ostrin::openWindow(Statement* st)
{
    if (st->argCount != 9) return fail(ErrArgCount);

    uint32_t* slot = emptyObjectSlot(*this, st, 0, TypeWindow);
    if (!slot) return nullptr;

    int32_t x, y, width, height, flagValue;
    if (!intArg(*this, st, 1, x) || !intArg(*this, st, 2, y) || !intArg(*this, st, 3, width) ||
        !intArg(*this, st, 4, height) || !intArg(*this, st, 5, flagValue))
        return nullptr;
    const auto flags = static_cast<uint32_t>(flagValue);

    CWnd* parent = nullptr;
    if (!parentArg(*this, st, 6, KindWinOrDlg, parent)) return nullptr;
    auto* parentWindow = parent && parent->IsKindOf(&COstrinWnd::classCOstrinWnd) ? static_cast<COstrinWnd*>(parent) : nullptr;
    CWnd* parentDialog = parent && parent->IsKindOf(&CDialog::classCDialog) ? parent : nullptr;

    ArgValue title;
    if (!evalArg(st, 7, TypeString, title)) return nullptr;
    char caption[255];
    copyText(caption, title.text ? title.text : "", sizeof caption - 1);

    const char* label = labelArg(*this, st, 8);
    if (!label) return nullptr;

    auto* w = new (std::nothrow) COstrinWnd;
    if (!w) return fail(ErrNoMemory);
    // Stored before creation, so the messages of creation already reach the
    // program's handler and the current-window token finds the variable.
    *slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(w)));
    w->setHandlerLabel(label);
    w->interp = this;
    const bool mdiFrame = (flags & FlagMdiFrame) != 0;
    w->persistent = (flags & FlagNoRepaintStore) == 0;
    const bool mdiChild = parentWindow && parentWindow->isMdiFrame();
    w->setMdiChild(mdiChild);
    // The handlers that creation runs may close the window, even free its
    // variable; the object stays until this statement is done with it, and
    // only a window still open is listed.
    CWnd::KeepAlive hold(w);

    DWORD style = flags & ~EngineFlags;
    style |= (parentWindow || parentDialog) ? (WS_CHILD | WS_CLIPSIBLINGS) : WS_CLIPCHILDREN;
    if (!(flags & FlagNoCaption)) style |= WS_CAPTION | WS_SYSMENU;
    if (!parentWindow && !parentDialog) style |= WS_POPUP;
    const DWORD exStyle = mdiChild ? WS_EX_MDICHILD : (flags & FlagToolWindow) ? WS_EX_TOOLWINDOW : 0;

    auto* program = dynamic_cast<ProgramUi*>(ui);
    HWND parentHwnd = parentWindow ? parentWindow->client()->GetSafeHwnd() : parentDialog ? parentDialog->GetSafeHwnd() : nullptr;
    const bool created =
        program && w->CreateEx(exStyle, mdiFrame ? program->workspaceWindowClass() : program->whiteWindowClass(),
                               caption, style, x, y, width, height, parentHwnd, nullptr);
    // A failed creation is an answer, not an error; the variable keeps the
    // object, which the program may still close.
    if (!created || !isOpen(w)) return errorCode ? nullptr : setIntResult(st, 0);

    const int show = (flags & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (flags & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW;
    ::ShowWindow(w->GetSafeHwnd(), show);
    if (errorCode) return nullptr;   // a handler of the first messages failed

    if (mdiFrame && isOpen(w)) {
        if (HMENU windowMenu = attachWindowMenu(w->GetSafeHwnd())) {
            if (w->createMdiClient(windowMenu)) ::ShowWindow(w->client()->GetSafeHwnd(), show);
        }
    } else if ((flags & FlagBrowser) && isOpen(w)) {
        // A browser that cannot be created is no error: the window has none.
        w->browser = createWebBrowser(w);
    }

    if (errorCode) return nullptr;
    if (!isOpen(w)) return setIntResult(st, 0);
    listFirst(*this, w);
    return setIntResult(st, 1);
}

Statement* Ostrin::closeWindow(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindWindow, v)) return nullptr;
    CWnd* object = liveWindowObject(static_cast<uint32_t>(v.handle));
    if (!object) return fail(ErrNoWindow);
    if (!object->IsKindOf(&COstrinWnd::classCOstrinWnd)) return fail(ErrType);

    unlistWindow(*this, object);
    const bool owned = v.variable && v.dataPtr;
    if (owned) *reinterpret_cast<uint32_t*>(v.dataPtr) = 0;
    object->DestroyWindow();
    if (outputWindow == object) outputWindow = nullptr;
    setCurrentWindow(nullptr);
    // The handler running now may belong to this very window: the object
    // goes once its messages have returned.
    if (owned) CWnd::DeleteSafely(object);
    return st;
}
