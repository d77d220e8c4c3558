// The control statements: scroll bars (a window's own too), list and combo
// boxes, check boxes and radio buttons, and any control or window through a
// raw message, focus, enabling, existence and colours.
//
// Every handler checks its argument count, reads the window and the numbers,
// finds the control by its program id and checks its Windows class before
// it sends anything: a failed check leaves the control untouched.
#include <windows.h>

#include <cstring>
#include <string>

#include "interp/ostrin.h"
#include "ui/controls/color_controls.h"
#include "ui/controls/control_args.h"
#include "ui/controls/control_creation.h"
#include "ui/windows/window_args.h"

namespace {

// The bar a scroll statement addresses: a negative id names the window's
// own bar (-1 the horizontal one, any other the vertical one), else a
// scroll bar control.
struct ScrollTarget {
    HWND hwnd;
    int bar;
};

bool scrollTarget(Ostrin& o, CWnd* wnd, int32_t id, ScrollTarget& t)
{
    if (id < 0) {
        t = {wnd->GetSafeHwnd(), id == -1 ? SB_HORZ : SB_VERT};
        return true;
    }
    t = {controlOfClass(o, wnd, id, "ScrollBar"), SB_CTL};
    return t.hwnd != nullptr;
}

// A list box or combo box, with the message of each for one operation.
struct ListTarget {
    HWND hwnd;
    bool combo;
    UINT pick(UINT comboMessage, UINT listMessage) const { return combo ? comboMessage : listMessage; }
    LRESULT send(UINT comboMessage, UINT listMessage, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(hwnd, pick(comboMessage, listMessage), wParam, lParam);
    }
};

bool listTarget(Ostrin& o, CWnd* wnd, int32_t id, ListTarget& t)
{
    t.hwnd = controlOf(o, wnd, id);
    if (!t.hwnd) return false;
    t.combo = hasClassName(t.hwnd, "ComboBox");
    if (!t.combo && !hasClassName(t.hwnd, "ListBox")) {
        o.fail(ErrControlClass);
        return false;
    }
    return true;
}

// Window, id and the list control of a list statement with `count`
// arguments; the numbers at 2 .. numbers + 1 are read before the lookup.
bool listStatement(Ostrin& o, Statement* st, int count, int numbers, int32_t* values, ListTarget& t)
{
    if (st->argCount != count) {
        o.fail(ErrArgCount);
        return false;
    }
    CWnd* wnd = nullptr;
    int32_t id = 0;
    if (!windowAndId(o, st, wnd, id)) return false;
    for (int k = 0; k < numbers; ++k)
        if (!intArg(o, st, 2 + k, values[k])) return false;
    return listTarget(o, wnd, id, t);
}

}  // namespace

// --- Scroll bars -----------------------------------------------------------------------

Statement* Ostrin::setScrollPosition(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, position = 0;
    ScrollTarget t;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, position) || !scrollTarget(*this, wnd, id, t))
        return nullptr;
    ::SetScrollPos(t.hwnd, t.bar, position, TRUE);
    return st;
}

Statement* Ostrin::getScrollPosition(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0;
    ScrollTarget t;
    if (!windowAndId(*this, st, wnd, id) || !scrollTarget(*this, wnd, id, t)) return nullptr;
    return setIntResult(st, ::GetScrollPos(t.hwnd, t.bar));
}

Statement* Ostrin::setScrollRange(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, minimum = 0, maximum = 0;
    ScrollTarget t;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, minimum) || !intArg(*this, st, 3, maximum) ||
        !scrollTarget(*this, wnd, id, t))
        return nullptr;
    ::SetScrollRange(t.hwnd, t.bar, minimum, maximum, TRUE);
    return st;
}

Statement* Ostrin::getScrollRange(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0;
    ScrollTarget t;
    if (!windowAndId(*this, st, wnd, id) || !scrollTarget(*this, wnd, id, t)) return nullptr;
    int minimum = 0, maximum = 0;
    ::GetScrollRange(t.hwnd, t.bar, &minimum, &maximum);
    if (!storeIntArg(*this, st, 2, minimum) || !storeIntArg(*this, st, 3, maximum)) return nullptr;
    return st;
}

// --- List boxes and combo boxes -------------------------------------------------------------

Statement* Ostrin::addListItem(Statement* st)
{
    ListTarget t;
    const char* text = nullptr;
    if (!listStatement(*this, st, 3, 0, nullptr, t) || !textArg(*this, st, 2, text)) return nullptr;
    t.send(CB_ADDSTRING, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    return st;
}

Statement* Ostrin::insertListItem(Statement* st)
{
    ListTarget t;
    int32_t index = 0;
    const char* text = nullptr;
    if (!listStatement(*this, st, 4, 1, &index, t) || !textArg(*this, st, 3, text)) return nullptr;
    t.send(CB_INSERTSTRING, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return st;
}

Statement* Ostrin::getListItem(Statement* st)
{
    ListTarget t;
    int32_t index = 0;
    if (!listStatement(*this, st, 3, 1, &index, t)) return nullptr;
    // The item's length first: an item longer than the result buffer is
    // read elsewhere and cut, never written past the buffer's end. An
    // index that names no item gives the empty string.
    const auto length = t.send(CB_GETLBTEXTLEN, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length <= 0) return setStringResult(st, "", 0);
    char* out = stringResultBuffer();
    if (!out) return fail(ErrNoMemory);
    if (length < StringResultSize) {
        const auto n = t.send(CB_GETLBTEXT, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(out));
        return setStringResult(st, out, static_cast<size_t>(n > 0 ? n : 0));
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const auto n = t.send(CB_GETLBTEXT, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return setStringResult(st, text.data(), static_cast<size_t>(n > 0 ? n : 0));
}

Statement* Ostrin::deleteListItem(Statement* st)
{
    ListTarget t;
    int32_t index = 0;
    if (!listStatement(*this, st, 3, 1, &index, t)) return nullptr;
    t.send(CB_DELETESTRING, LB_DELETESTRING, static_cast<WPARAM>(index));
    return st;
}

Statement* Ostrin::countListItems(Statement* st)
{
    ListTarget t;
    if (!listStatement(*this, st, 2, 0, nullptr, t)) return nullptr;
    return setIntResult(st, static_cast<int32_t>(t.send(CB_GETCOUNT, LB_GETCOUNT)));
}

Statement* Ostrin::isItemSelected(Statement* st)
{
    ListTarget t;
    int32_t index = 0;
    if (!listStatement(*this, st, 3, 1, &index, t)) return nullptr;
    // A list box answers per item, so multiple selections count too.
    if (t.combo) return setIntResult(st, ::SendMessageA(t.hwnd, CB_GETCURSEL, 0, 0) == index ? 1 : 0);
    const LRESULT state = ::SendMessageA(t.hwnd, LB_GETSEL, static_cast<WPARAM>(index), 0);
    return setIntResult(st, state != 0 && state != LB_ERR ? 1 : 0);
}

Statement* Ostrin::getSelection(Statement* st)
{
    ListTarget t;
    if (!listStatement(*this, st, 2, 0, nullptr, t)) return nullptr;
    return setIntResult(st, static_cast<int32_t>(t.send(CB_GETCURSEL, LB_GETCURSEL)));
}

Statement* Ostrin::setSelection(Statement* st)
{
    ListTarget t;
    int32_t index = 0;
    if (!listStatement(*this, st, 3, 1, &index, t)) return nullptr;
    if (t.combo) {
        ::SendMessageA(t.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } else if (::GetWindowLongA(t.hwnd, GWL_STYLE) & LBS_EXTENDEDSEL) {
        // Adds the item to the selection.
        ::SendMessageA(t.hwnd, LB_SETSEL, TRUE, static_cast<LPARAM>(index));
    } else {
        ::SendMessageA(t.hwnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    return st;
}

Statement* Ostrin::setListExtent(Statement* st)
{
    ListTarget t;
    int32_t pixels = 0;
    if (!listStatement(*this, st, 3, 0, nullptr, t) || !intArg(*this, st, 2, pixels)) return nullptr;
    t.send(CB_SETHORIZONTALEXTENT, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels));
    return st;
}

Statement* Ostrin::setColumnWidth(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, pixels = 0;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, pixels)) return nullptr;
    HWND list = controlOfClass(*this, wnd, id, "ListBox");
    if (!list) return nullptr;
    ::SendMessageA(list, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(pixels), 0);
    return st;
}

// --- Buttons ------------------------------------------------------------------------------------

Statement* Ostrin::getButtonState(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0;
    if (!windowAndId(*this, st, wnd, id)) return nullptr;
    HWND button = controlOfClass(*this, wnd, id, "Button");
    if (!button) return nullptr;
    return setIntResult(st, static_cast<int32_t>(::SendMessageA(button, BM_GETCHECK, 0, 0)));
}

Statement* Ostrin::setButtonState(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, state = 0;
    if (!windowAndId(*this, st, wnd, id)) return nullptr;
    // A missing control is reported before a bad state, a bad state
    // before the wrong class.
    HWND button = controlOf(*this, wnd, id);
    if (!button || !intArg(*this, st, 2, state)) return nullptr;
    if (state < 0 || state > 2) return fail(ErrRange);
    if (!hasClassName(button, "Button")) return fail(ErrControlClass);
    ::SendMessageA(button, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    return st;
}

// --- Any control or window -------------------------------------------------------------------

Statement* Ostrin::sendMessage(Statement* st)
{
    if (st->argCount != 4 && st->argCount != 5) return fail(ErrArgCount);
    // The target: a WINDOW or DIALOG, or an INT variable holding a handle.
    ArgValue target;
    if (!evalArg(st, 0, KindAny, target)) return nullptr;
    HWND hwnd = nullptr;
    if (target.type == TypeWindow || target.type == TypeDialog) {
        CWnd* object = liveWindowObject(static_cast<uint32_t>(target.handle));
        hwnd = object ? object->GetSafeHwnd() : nullptr;
    } else if (target.type == TypeInt && target.variable) {
        hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(target.intValue)));
    }
    if (!hwnd) return fail(ErrNoWindow);

    int32_t message = 0, wParam = 0;
    if (!intArg(*this, st, 1, message) || !intArg(*this, st, 2, wParam)) return nullptr;
    ArgValue l;
    if (!evalArg(st, 3, KindAny, l)) return nullptr;
    LPARAM lParam = 0;
    switch (l.type) {
    case TypeString: lParam = reinterpret_cast<LPARAM>(l.text ? l.text : ""); break;
    case TypeChar:
    case TypeInt:
    case TypeFloat:
    case TypeWord:
    case TypeDouble: lParam = static_cast<LPARAM>(l.intValue); break;
    case TypeMemory:
    case TypePointer:
        if (!l.variable) return fail(ErrType);
        lParam = static_cast<LPARAM>(static_cast<uint32_t>(l.handle));
        break;
    default: return fail(ErrType);
    }

    if (st->argCount == 5) {
        int32_t id = 0;
        if (!intArg(*this, st, 4, id)) return nullptr;
        hwnd = ::GetDlgItem(hwnd, id + ControlIdBase);
        if (!hwnd) return fail(ErrNoControl);
    }
    return setIntResult(st, static_cast<int32_t>(
                                ::SendMessageA(hwnd, static_cast<UINT>(message), static_cast<WPARAM>(wParam), lParam)));
}

Statement* Ostrin::setFocus(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    HWND target = wnd->GetSafeHwnd();
    if (st->argCount == 2) {
        int32_t id = 0;
        if (!intArg(*this, st, 1, id)) return nullptr;
        target = controlOf(*this, wnd, id);
        if (!target) return nullptr;
    }
    ::SetFocus(target);
    return st;
}

Statement* Ostrin::enableControl(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, flag = 0;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, flag)) return nullptr;
    HWND control = controlOf(*this, wnd, id);
    if (!control) return nullptr;
    ::EnableWindow(control, flag != 0);
    return st;
}

Statement* Ostrin::controlExists(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0;
    if (!windowAndId(*this, st, wnd, id)) return nullptr;
    HWND hwnd = wnd->GetSafeHwnd();
    return setIntResult(st, hwnd && ::GetDlgItem(hwnd, id + ControlIdBase) ? 1 : 0);
}

Statement* Ostrin::setControlColours(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, text = 0, background = 0;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, text) || !intArg(*this, st, 3, background))
        return nullptr;
    HWND control = controlOf(*this, wnd, id);
    if (!control) return nullptr;
    // A control some other code made has no colours of ours to change.
    if (CColorControl* colours = colourPartOf(CWnd::FromHandlePermanent(control))) {
        colours->textColour = static_cast<COLORREF>(text);
        colours->setBackground(static_cast<COLORREF>(background));
    }
    // The children too: a combo box's edit asks its parent for colours.
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return st;
}
