// Small statements around the program's windows: timers, moving and
// showing windows and controls, window and client rectangles, the screen
// size, window titles, the caret position, dialog-style keyboard handling
// and a per-window 32-bit value.
//
// Results that go into several variables are written one by one as each
// variable is read, so a failing later one leaves the earlier ones written.
#include <windows.h>

#include "interp/ostrin.h"
#include "ui/windows/event_source.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

// A window or dialog object with a window of its own; an object whose
// window was never created (or is gone) counts as no window.
HWND windowHandle(Ostrin& o, Statement* st, int i, int kind, CWnd** object = nullptr)
{
    CWnd* wnd = windowArg(o, st, i, kind);
    if (!wnd) return nullptr;
    HWND hwnd = wnd->GetSafeHwnd();
    if (!hwnd) {
        o.fail(ErrNoWindow);
        return nullptr;
    }
    if (object) *object = wnd;
    return hwnd;
}

// The optional control id at argument i: the control's window, or the
// window itself when the statement has no such argument.
HWND targetOf(Ostrin& o, Statement* st, int i, HWND window, CWnd* object)
{
    if (st->argCount <= i) return window;
    int32_t id = 0;
    if (!intArg(o, st, i, id)) return nullptr;
    return controlOf(o, object, id);
}

// Writes left, top, width and height into the INT variables of arguments
// first .. first + 3.
bool storeRect(Ostrin& o, Statement* st, int first, const RECT& r)
{
    const int32_t parts[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    for (int k = 0; k < 4; ++k)
        if (!storeIntArg(o, st, first + k, parts[k])) return false;
    return true;
}

}  // namespace

Statement* Ostrin::setTimer(Statement* st)
{
    if (st->argCount != 2 && st->argCount != 3) return fail(ErrArgCount);
    int32_t interval = 0, id = 1;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg);
    if (!hwnd || !intArg(*this, st, 1, interval) || (st->argCount == 3 && !intArg(*this, st, 2, id))) return nullptr;
    // Each expiry arrives as WM_TIMER with the id in the event's wParam.
    ::SetTimer(hwnd, static_cast<UINT_PTR>(static_cast<uint32_t>(id)), static_cast<UINT>(interval), nullptr);
    return st;
}

Statement* Ostrin::killTimer(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    int32_t id = 1;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg);
    if (!hwnd || (st->argCount == 2 && !intArg(*this, st, 1, id))) return nullptr;
    ::KillTimer(hwnd, static_cast<UINT_PTR>(static_cast<uint32_t>(id)));
    return st;
}

Statement* Ostrin::moveWindow(Statement* st)
{
    if (st->argCount != 5 && st->argCount != 6) return fail(ErrArgCount);
    int32_t v[4];
    CWnd* object = nullptr;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg, &object);
    if (!hwnd) return nullptr;
    for (int k = 0; k < 4; ++k)
        if (!intArg(*this, st, k + 1, v[k])) return nullptr;
    HWND target = targetOf(*this, st, 5, hwnd, object);
    if (!target) return nullptr;
    // A minimised or hidden window is restored and shown before it moves.
    if (target == hwnd) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    ::MoveWindow(target, v[0], v[1], v[2], v[3], TRUE);
    return st;
}

Statement* Ostrin::getWindowRect(Statement* st)
{
    if (st->argCount != 5 && st->argCount != 6) return fail(ErrArgCount);
    CWnd* object = nullptr;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg, &object);
    if (!hwnd) return nullptr;
    HWND target = targetOf(*this, st, 5, hwnd, object);
    if (!target) return nullptr;
    RECT r = {};
    ::GetWindowRect(target, &r);   // screen coordinates, controls too
    return storeRect(*this, st, 1, r) ? st : nullptr;
}

Statement* Ostrin::getClientRect(Statement* st)
{
    if (st->argCount != 5) return fail(ErrArgCount);
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg);
    if (!hwnd) return nullptr;
    RECT r = {};
    ::GetClientRect(hwnd, &r);
    return storeRect(*this, st, 1, r) ? st : nullptr;
}

Statement* Ostrin::setWindowText(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg);
    if (!hwnd) return nullptr;
    ArgValue text;
    if (!evalArg(st, 1, TypeString, text)) return nullptr;
    ::SetWindowTextA(hwnd, text.text ? text.text : "");
    return st;
}

Statement* Ostrin::getWindowText(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg);
    if (!hwnd) return nullptr;
    // GetWindowText writes at most the buffer's size less one, and the
    // terminator: the result can never overrun SYSTEM_STRING0.
    char* out = stringResultBuffer();
    if (!out) return fail(ErrNoMemory);
    const int length = ::GetWindowTextA(hwnd, out, StringResultSize);
    return setStringResult(st, out, static_cast<size_t>(length > 0 ? length : 0));
}

Statement* Ostrin::showWindow(Statement* st)
{
    if (st->argCount != 2 && st->argCount != 3) return fail(ErrArgCount);
    int32_t command = 0;
    CWnd* object = nullptr;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg, &object);
    if (!hwnd || !intArg(*this, st, 1, command)) return nullptr;
    HWND target = targetOf(*this, st, 2, hwnd, object);
    if (!target) return nullptr;
    ::ShowWindow(target, command);
    return st;
}

Statement* Ostrin::getScreenSize(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    if (!storeIntArg(*this, st, 0, ::GetSystemMetrics(SM_CXSCREEN)) ||
        !storeIntArg(*this, st, 1, ::GetSystemMetrics(SM_CYSCREEN)))
        return nullptr;
    return st;
}

Statement* Ostrin::getCaretPosition(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    if (!windowArg(*this, st, 0, KindWindow)) return nullptr;
    POINT p = {};
    ::GetCaretPos(&p);   // client coordinates of the caret's owner
    if (!storeIntArg(*this, st, 1, p.x) || !storeIntArg(*this, st, 2, p.y)) return nullptr;
    return st;
}

Statement* Ostrin::setDialogKeys(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    int32_t flag = 0;
    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    if (!w || !intArg(*this, st, 1, flag)) return nullptr;
    w->dialogKeys = flag != 0;
    return st;
}

Statement* Ostrin::setWindowData(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* object = nullptr;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg, &object);
    if (!hwnd) return nullptr;
    ArgValue v;
    if (!evalArg(st, 1, KindAny, v)) return nullptr;
    if (!v.variable || !v.dataPtr) return fail(ErrExternalArg);
    CEventSource* source = eventSourceOf(object);
    switch (v.type) {
    case TypeInt:
    case TypeUInt:
        ::SetWindowLongA(hwnd, GWL_USERDATA, v.intValue);
        if (source) source->dataReference = source->dataAddress = 0;
        return st;
    case TypePointer: {
        const auto reference = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(v.variable->target));
        ::SetWindowLongA(hwnd, GWL_USERDATA, static_cast<LONG>(reference));
        if (source) {
            source->dataReference = reference;
            source->dataAddress = *reinterpret_cast<uint32_t*>(v.dataPtr);
        }
        return st;
    }
    default:
        return fail(ErrType);
    }
}

Statement* Ostrin::getWindowData(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* object = nullptr;
    HWND hwnd = windowHandle(*this, st, 0, KindWinOrDlg, &object);
    if (!hwnd) return nullptr;
    ArgValue v;
    if (!evalArg(st, 1, KindAny, v)) return nullptr;
    if (!v.variable || !v.dataPtr) return fail(ErrExternalArg);
    const auto value = static_cast<uint32_t>(::GetWindowLongA(hwnd, GWL_USERDATA));
    switch (v.type) {
    case TypeInt:
    case TypeUInt:
        *reinterpret_cast<uint32_t*>(v.dataPtr) = value;
        return st;
    case TypePointer: {
        // Only a reference this engine stored is followed; a value some
        // other code put there is an address that names no variable.
        CEventSource* source = eventSourceOf(object);
        const bool ours = source && source->dataReference && source->dataReference == value;
        v.variable->target = ours ? reinterpret_cast<Variable*>(static_cast<uintptr_t>(value)) : nullptr;
        *reinterpret_cast<uint32_t*>(v.dataPtr) = ours ? source->dataAddress : value;
        return st;
    }
    default:
        return fail(ErrType);
    }
}
