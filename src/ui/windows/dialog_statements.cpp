// The dialog statements (create, show, run, centre, close), and the small
// statements on a window's or dialog's controls and drawing position.
#include <windows.h>

#include <new>

#include "interp/ostrin.h"
#include "interp/text.h"
#include "ui/windows/ostrin_dlg.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

constexpr int32_t ControlIdBase = 2024;
constexpr DWORD DialogStyle = WS_POPUP | DS_MODALFRAME;
constexpr WORD DialogFontPoints = 8;
constexpr const char* DialogFont = "MS Sans Serif";

COstrinDlg* liveDialog(uint32_t value)
{
    CWnd* object = liveWindowObject(value);
    return object ? dynamic_cast<COstrinDlg*>(object) : nullptr;
}

// The dialog of show and run: the only argument, which must read as a
// DIALOG value (any failure is error 56) naming a dialog (else 25).
COstrinDlg* shownDialogArg(Ostrin& o, Statement* st)
{
    ArgValue v;
    if (st->argCount != 1 || !o.evalArg(st, 0, TypeDialog, v)) {
        o.fail(ErrArgCount);
        return nullptr;
    }
    COstrinDlg* dlg = liveDialog(static_cast<uint32_t>(v.handle));
    if (!dlg) o.fail(ErrNoWindow);
    return dlg;
}

}  // namespace

Statement* Ostrin::createDialog(Statement* st)
{
    if (st->argCount != 9) return fail(ErrArgCount);

    uint32_t* slot = emptyObjectSlot(*this, st, 0, TypeDialog);
    if (!slot) return nullptr;

    int32_t x, y, width, height, style;
    if (!intArg(*this, st, 1, x) || !intArg(*this, st, 2, y) || !intArg(*this, st, 3, width) ||
        !intArg(*this, st, 4, height) || !intArg(*this, st, 5, style))
        return nullptr;

    CWnd* parent = nullptr;
    if (!parentArg(*this, st, 6, KindWindow, parent)) return nullptr;

    ArgValue title;
    if (!evalArg(st, 7, TypeString, title)) return nullptr;
    char caption[255];
    copyText(caption, title.text ? title.text : "", sizeof caption - 1);

    const char* label = labelArg(*this, st, 8);
    if (!label) return nullptr;

    auto* dlg = new (std::nothrow) COstrinDlg(parent);
    if (!dlg) return fail(ErrNoMemory);
    *slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(dlg)));
    dlg->setHandlerLabel(label);
    dlg->interp = this;

    const RECT units = dlg->toDialogUnits(x, y, int64_t{x} + width, int64_t{y} + height);
    CDlgTempl& t = dlg->dialogTemplate();
    t.setHeader(static_cast<DWORD>(style) | DialogStyle, 0, static_cast<short>(units.left),
                static_cast<short>(units.top), static_cast<short>(units.right - units.left),
                static_cast<short>(units.bottom - units.top));
    // The object is in the variable already and goes with it.
    if (!t.setTitle(caption) || !t.setFont(DialogFontPoints, DialogFont)) return fail(ErrNoMemory);
    return st;
}

Statement* Ostrin::showDialog(Statement* st)
{
    COstrinDlg* dlg = shownDialogArg(*this, st);
    if (!dlg) return nullptr;
    // Its handlers may close the dialog or free its variable meanwhile;
    // only a dialog still open is listed (first: the pump serves it first
    // and gives it its dialog keys).
    CWnd::KeepAlive hold(dlg);
    const bool shown = dlg->show();
    if (errorCode) return nullptr;
    if (shown && isOpen(dlg)) listFirst(*this, dlg);
    return setIntResult(st, 0);
}

Statement* Ostrin::runDialog(Statement* st)
{
    COstrinDlg* dlg = shownDialogArg(*this, st);
    if (!dlg) return nullptr;
    CWnd::KeepAlive hold(dlg);
    INT_PTR result = dlg->run();
    if (errorCode) return nullptr;   // a handler failed and ended the dialog
    // A control's Windows id gives back the program's id.
    if (result > ControlIdBase) result -= ControlIdBase;
    return setIntResult(st, static_cast<int32_t>(result));
}

Statement* Ostrin::centreWindow(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    CWnd* object = windowArg(*this, st, 0, KindWinOrDlg);
    if (!object) return nullptr;
    object->CenterWindow();
    return st;
}

Statement* Ostrin::closeDialog(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, TypeDialog, v)) return nullptr;
    COstrinDlg* dlg = liveDialog(static_cast<uint32_t>(v.handle));
    if (!dlg) return fail(ErrNoWindow);

    if (dlg->IsModal()) {
        // Ends the modal loop; run dialog answers the value.
        int32_t value = 0;
        if (st->argCount != 2) return fail(ErrArgCount);
        if (!intArg(*this, st, 1, value)) return nullptr;
        dlg->EndDialog(value);
        return st;
    }
    unlistWindow(*this, dlg);
    dlg->close();
    return st;
}

Statement* Ostrin::getControlText(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    int32_t id = 0;
    CWnd* object = windowArg(*this, st, 0, KindWinOrDlg);
    if (!object || !intArg(*this, st, 1, id)) return nullptr;
    HWND control = controlOf(*this, object, id);
    if (!control) return nullptr;
    // GetWindowText writes at most the buffer's size less one, and the
    // terminator: the result can never overrun SYSTEM_STRING0.
    char* out = stringResultBuffer();
    if (!out) return fail(ErrNoMemory);
    const int length = ::GetWindowTextA(control, out, StringResultSize);
    return setStringResult(st, out, static_cast<size_t>(length > 0 ? length : 0));
}

Statement* Ostrin::setControlText(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t id = 0;
    ArgValue text;
    CWnd* object = windowArg(*this, st, 0, KindWinOrDlg);
    if (!object || !intArg(*this, st, 1, id) || !evalArg(st, 2, TypeString, text)) return nullptr;
    HWND control = controlOf(*this, object, id);
    if (!control) return nullptr;
    ::SetWindowTextA(control, text.text ? text.text : "");
    // Controls that draw their text themselves repaint with the new one.
    if (::IsWindow(control)) ::InvalidateRect(control, nullptr, FALSE);
    return st;
}

Statement* Ostrin::moveDrawingPosition(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t x = 0, y = 0;
    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    if (!w || !intArg(*this, st, 1, x) || !intArg(*this, st, 2, y)) return nullptr;
    // The position is stored back into the window as the DC is given back.
    if (HDC dc = w->beginDrawing()) {
        ::MoveToEx(dc, x, y, nullptr);
        w->endDrawing(dc, false);
    }
    return st;
}
