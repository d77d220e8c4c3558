// The control operation: one statement that reaches edit controls, rich
// edits, list views, status bars and toolbars through an operation number.
//
// The control's Windows class picks the table the number is read in, so
// the same number means different things for different classes (16 is a
// paste on an edit, the selection range of a rich edit, the item count of
// a list view). A number outside a class's table does nothing. Each table
// reads the operation's own arguments from argument 3 on; an operation
// given too few of them is error 56 before anything is sent.
//
// Texts the controls hand back land in the string result's buffer, always
// bounded by it: a longer text is read elsewhere and cut. A rich edit
// prints through the printing helpers, over the print dialog.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "interp/ostrin.h"
#include "library/storage.h"
#include "ui/controls/color_controls.h"
#include "ui/controls/control_args.h"
#include "ui/controls/control_creation.h"
#include "ui/printing/printing.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

// The longest line EM_GETLINE is asked for: its count travels in the
// buffer's first word.
constexpr int MaxLineLength = 32766;

// One running operation: the interpreter, the statement, the control and
// readers of the operation's own arguments (a3 is argument 3).
struct Operation {
    Ostrin& o;
    Statement* st;
    HWND hwnd;

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(hwnd, message, wParam, lParam);
    }
    template <class T>
    LRESULT send(UINT message, WPARAM wParam, T* data) const
    {
        return send(message, wParam, reinterpret_cast<LPARAM>(data));
    }

    // Argument i is there at all: error 56 otherwise.
    bool has(int i) const
    {
        if (i < st->argCount) return true;
        o.fail(ErrArgCount);
        return false;
    }
    // A number (kind 20).
    bool num(int i, int32_t& v) const { return has(i) && intArg(o, st, i, v); }
    // An INT (kind 2): operations that take a character index or a flag.
    bool intValue(int i, int32_t& v) const
    {
        ArgValue a;
        if (!has(i) || !o.evalArg(st, i, KindInt, a)) return false;
        v = a.intValue;
        return true;
    }
    // A text, copied: later arguments may reuse the buffer it came in.
    bool text(int i, std::string& v) const
    {
        const char* t = nullptr;
        if (!has(i) || !textArg(o, st, i, t)) return false;
        v = t;
        return true;
    }
    // Stores v in the INT variable argument i names. A literal or an
    // expression there is no error: nothing is written.
    bool store(int i, int32_t v) const
    {
        ArgValue a;
        if (!has(i) || !o.evalArg(st, i, KindInt, a)) return false;
        if (a.variable && a.dataPtr) std::memcpy(a.dataPtr, &v, sizeof v);
        return true;
    }

    Statement* done() const { return st; }
    Statement* answer(LRESULT v) const { return o.setIntResult(st, static_cast<int32_t>(v)); }
};

// --- Texts into the string result -------------------------------------------------------------

// EM_GETLINE into the string result: the buffer's first word holds the
// room, the control answers the count it copied (no terminator of its own).
Statement* lineText(const Operation& op, int32_t line)
{
    char* out = op.o.stringResultBuffer();
    if (!out) return op.o.fail(ErrNoMemory);
    const WORD room = MaxLineLength;
    std::memcpy(out, &room, sizeof room);
    const LRESULT n = op.send(EM_GETLINE, static_cast<WPARAM>(line), out);
    return op.o.setStringResult(op.st, out, static_cast<size_t>(std::clamp<LRESULT>(n, 0, MaxLineLength)));
}

// EM_GETSELTEXT writes as much as the selection holds: a selection that
// might not fit the result buffer is read into one of its own size first.
Statement* selectedText(const Operation& op)
{
    CHARRANGE range = {};
    op.send(EM_EXGETSEL, 0, &range);
    const size_t characters = range.cpMax > range.cpMin ? static_cast<size_t>(range.cpMax - range.cpMin) : 0;
    // A line break may come out as two characters.
    const size_t room = 2 * characters + 1;
    if (room <= Ostrin::StringResultSize) {
        char* out = op.o.stringResultBuffer();
        if (!out) return op.o.fail(ErrNoMemory);
        out[0] = 0;
        const LRESULT n = op.send(EM_GETSELTEXT, 0, out);
        return op.o.setStringResult(op.st, out, static_cast<size_t>(std::max<LRESULT>(n, 0)));
    }
    std::string text(room, '\0');
    const LRESULT n = op.send(EM_GETSELTEXT, 0, text.data());
    return op.o.setStringResult(op.st, text.data(), static_cast<size_t>(std::max<LRESULT>(n, 0)));
}

// --- Rich edit formats and streams ------------------------------------------------------------

// CHARFORMAT of the font operations: face, size in points, bold, and the
// style word (0x1 italic, 0x10 underline, 0x20 strikeout, bits 16-23 the
// character set).
Statement* setFont(const Operation& op, WPARAM scope)
{
    std::string face;
    int32_t size = 0, bold = 0, style = 0;
    if (!op.text(3, face) || !op.num(4, size) || !op.num(5, bold) || !op.num(6, style)) return nullptr;
    CHARFORMATA cf = {};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_SIZE | CFM_FACE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    cf.yHeight = size * 20;
    std::snprintf(cf.szFaceName, sizeof cf.szFaceName, "%s", face.c_str());
    cf.bCharSet = static_cast<BYTE>((style >> 16) & 0xFF);
    if (bold) cf.dwEffects |= CFE_BOLD;
    if (style & 0x1) cf.dwEffects |= CFE_ITALIC;
    if (style & 0x10) cf.dwEffects |= CFE_UNDERLINE;
    if (style & 0x20) cf.dwEffects |= CFE_STRIKEOUT;
    op.send(EM_SETCHARFORMAT, scope, &cf);
    return op.done();
}

Statement* setColour(const Operation& op, WPARAM scope)
{
    int32_t colour = 0;
    if (!op.num(3, colour)) return nullptr;
    CHARFORMATA cf = {};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = static_cast<COLORREF>(colour);
    op.send(EM_SETCHARFORMAT, scope, &cf);
    return op.done();
}

// The variable a stream runs through, and where a stream in has got to.
struct StreamCookie {
    Variable* variable;
    size_t position;
};

// Bytes of a STRING variable's selected string, terminator included: its
// capacity, never past the end of its storage (an element of an array of
// strings is only its own part of the array).
size_t stringRoom(const Variable* v)
{
    const size_t capacity = v->capacity > 0 ? static_cast<size_t>(v->capacity) : 0;
    return std::min(capacity, storage::storageBytes(v));
}

// Appends each chunk to a STRING variable up to its capacity (the rest is
// dropped) or writes it to a FILE variable's open file.
DWORD CALLBACK streamOut(DWORD_PTR cookie, LPBYTE chunk, LONG size, LONG* taken)
{
    auto* c = reinterpret_cast<StreamCookie*>(cookie);
    *taken = 0;
    Variable* v = c->variable;
    if (v->type == TypeString) {
        const size_t room = stringRoom(v);
        if (!room) return 1;
        const size_t length = strnlen(v->data, room - 1);
        const size_t n = std::min(static_cast<size_t>(size), room - 1 - length);
        std::memcpy(v->data + length, chunk, n);
        v->data[length + n] = 0;
        *taken = size;   // what did not fit is dropped, not retried
        return 0;
    }
    FILE* stream = v->type == TypeFile ? storage::fileStream(v) : nullptr;
    if (!stream) return 1;
    *taken = static_cast<LONG>(std::fwrite(chunk, 1, static_cast<size_t>(size), stream));
    return 0;
}

// Hands out a STRING variable's characters from the read position on, or
// reads the chunk from a FILE variable's open file.
DWORD CALLBACK streamIn(DWORD_PTR cookie, LPBYTE chunk, LONG size, LONG* given)
{
    auto* c = reinterpret_cast<StreamCookie*>(cookie);
    *given = 0;
    Variable* v = c->variable;
    if (v->type == TypeString) {
        const size_t room = stringRoom(v);
        const size_t length = room ? strnlen(v->data, room) : 0;
        const size_t n = c->position < length ? std::min(static_cast<size_t>(size), length - c->position) : 0;
        std::memcpy(chunk, v->data + c->position, n);
        c->position += n;
        *given = static_cast<LONG>(n);
        return 0;
    }
    FILE* stream = v->type == TypeFile ? storage::fileStream(v) : nullptr;
    if (!stream) return 1;
    *given = static_cast<LONG>(std::fread(chunk, 1, static_cast<size_t>(size), stream));
    return 0;
}

// Streams out (EM_STREAMOUT) or in (EM_STREAMIN) through a STRING or FILE
// variable; the answer is the stream's error field.
Statement* stream(const Operation& op, bool out)
{
    ArgValue target;
    int32_t rtf = 0;
    if (!op.has(3) || !op.o.evalArg(op.st, 3, KindAny, target) || !op.num(4, rtf)) return nullptr;
    Variable* v = target.variable;
    if (!v || (v->type != TypeString && v->type != TypeFile)) return op.o.fail(ErrType);
    // A string without storage of its own has nothing to give or take.
    if (v->type == TypeString && out && stringRoom(v)) v->data[0] = 0;
    StreamCookie cookie = {v, 0};
    EDITSTREAM es = {};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    es.pfnCallback = out ? streamOut : streamIn;
    op.send(out ? EM_STREAMOUT : EM_STREAMIN, rtf ? SF_RTF : SF_TEXT, &es);
    return op.answer(static_cast<LRESULT>(es.dwError));
}

// Pastes the clipboard's first format when the control accepts it.
Statement* pasteFirstFormat(const Operation& op)
{
    if (!::OpenClipboard(op.hwnd)) return op.done();
    const UINT format = ::EnumClipboardFormats(0);
    ::CloseClipboard();
    if (format && op.send(EM_CANPASTE, format)) op.send(EM_PASTESPECIAL, format);
    return op.done();
}

// --- The tables ----------------------------------------------------------------------------

Statement* editOperation(const Operation& op, int32_t code)
{
    int32_t a = 0, b = 0;
    std::string text;
    switch (code) {
    case 0: return op.answer(op.send(EM_CANUNDO));
    case 1: op.send(WM_CLEAR); break;
    case 2: op.send(WM_COPY); break;
    case 3: op.send(WM_CUT); break;
    case 4: op.send(EM_EMPTYUNDOBUFFER); break;
    case 5: return op.answer(op.send(EM_GETFIRSTVISIBLELINE));
    case 6:
        if (!op.num(3, a)) return nullptr;
        op.send(EM_LIMITTEXT, static_cast<WPARAM>(a));
        break;
    case 7: return op.answer(op.send(EM_GETLIMITTEXT));
    case 8: return op.num(3, a) ? lineText(op, a) : nullptr;
    case 9: return op.answer(op.send(EM_GETLINECOUNT));
    case 10: return op.answer(op.send(EM_GETMODIFY));
    case 11:
        if (!op.num(3, a)) return nullptr;
        op.send(EM_SETMODIFY, static_cast<WPARAM>(a));
        break;
    case 12:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(EM_SETSEL, static_cast<WPARAM>(a), static_cast<LPARAM>(b));
        op.send(EM_SCROLLCARET);
        break;
    case 13: {
        DWORD start = 0, end = 0;
        op.send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), &end);
        if (!op.store(3, static_cast<int32_t>(start)) || !op.store(4, static_cast<int32_t>(end))) return nullptr;
        break;
    }
    case 14: return op.intValue(3, a) ? op.answer(op.send(EM_LINEFROMCHAR, static_cast<WPARAM>(a))) : nullptr;
    case 15: return op.intValue(3, a) ? op.answer(op.send(EM_LINELENGTH, static_cast<WPARAM>(a))) : nullptr;
    case 16: op.send(WM_PASTE); break;
    case 17:
        if (!op.text(3, text)) return nullptr;
        op.send(EM_REPLACESEL, TRUE, text.c_str());
        break;
    case 18:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(a, b));
        break;
    case 19: op.send(EM_UNDO); break;
    default: break;
    }
    return op.done();
}

Statement* richEditOperation(const Operation& op, int32_t code)
{
    int32_t a = 0, b = 0, c = 0;
    std::string text;
    switch (code) {
    case 0: return op.answer(op.send(EM_CANUNDO));
    case 1: op.send(WM_CLEAR); break;
    case 2: op.send(WM_COPY); break;
    case 3: op.send(WM_CUT); break;
    case 4: op.send(EM_EMPTYUNDOBUFFER); break;
    case 5: {
        if (!op.text(3, text) || !op.num(4, a) || !op.num(5, c)) return nullptr;
        FINDTEXTEXA find = {};
        find.chrg = {a, -1};
        find.lpstrText = text.c_str();
        return op.answer(op.send(EM_FINDTEXTEX, c == 0 ? FR_MATCHCASE : 0, &find));
    }
    case 6: return op.answer(op.send(EM_GETEVENTMASK));
    case 7:
        if (!op.num(3, a)) return nullptr;
        op.send(EM_SETEVENTMASK, 0, static_cast<LPARAM>(a));
        break;
    case 8: return op.answer(op.send(EM_GETFIRSTVISIBLELINE));
    case 9:
        if (!op.num(3, a)) return nullptr;
        op.send(EM_EXLIMITTEXT, 0, static_cast<LPARAM>(a));
        break;
    case 10: return op.answer(op.send(EM_GETLIMITTEXT));
    case 11: return op.num(3, a) ? lineText(op, a) : nullptr;
    case 12: return op.answer(op.send(EM_GETLINECOUNT));
    case 13: return op.answer(op.send(EM_GETMODIFY));
    case 14:
        if (!op.num(3, a)) return nullptr;
        op.send(EM_SETMODIFY, static_cast<WPARAM>(a));
        break;
    case 15: {
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        CHARRANGE range = {a, b};
        op.send(EM_EXSETSEL, 0, &range);
        break;
    }
    case 16: {
        CHARRANGE range = {};
        op.send(EM_EXGETSEL, 0, &range);
        if (!op.store(3, range.cpMin) || !op.store(4, range.cpMax)) return nullptr;
        break;
    }
    case 17: return selectedText(op);
    case 18: return op.answer(op.send(WM_GETTEXTLENGTH));
    case 19:
        if (!op.intValue(3, a)) return nullptr;
        op.send(EM_HIDESELECTION, static_cast<WPARAM>(a));
        break;
    case 20: return op.intValue(3, a) ? op.answer(op.send(EM_EXLINEFROMCHAR, 0, static_cast<LPARAM>(a))) : nullptr;
    case 21: return op.intValue(3, a) ? op.answer(op.send(EM_LINELENGTH, static_cast<WPARAM>(a))) : nullptr;
    case 22:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(EM_LINESCROLL, static_cast<WPARAM>(b), static_cast<LPARAM>(a));
        break;
    case 23: op.send(WM_PASTE); break;
    case 24:
        if (!op.text(3, text)) return nullptr;
        op.send(EM_REPLACESEL, TRUE, text.c_str());
        break;
    case 25: return setFont(op, SCF_DEFAULT);
    case 26: return setColour(op, SCF_DEFAULT);
    case 27: return setFont(op, SCF_SELECTION);
    case 28: return setColour(op, SCF_SELECTION);
    case 29:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(EM_SETMARGINS, EC_LEFTMARGIN, MAKELONG(a, b));
        op.send(EM_SETMARGINS, EC_RIGHTMARGIN, MAKELONG(a, b));
        break;
    case 30: {
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        // The formatting rectangle keeps its top-left corner.
        RECT r = {};
        op.send(EM_GETRECT, 0, &r);
        r.right = r.left + a;
        r.bottom = r.top + b;
        op.send(EM_SETRECT, 0, &r);
        break;
    }
    case 31: {
        if (!op.num(3, a)) return nullptr;
        // 0 wraps to the window, 1 does not wrap; any other value is a
        // line width measured on the screen.
        if (a == 0 || a == 1) {
            op.send(EM_SETTARGETDEVICE, 0, static_cast<LPARAM>(a));
            break;
        }
        HWND parent = ::GetParent(op.hwnd);
        HDC dc = ::GetDC(parent);
        op.send(EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(dc), static_cast<LPARAM>(a));
        if (dc) ::ReleaseDC(parent, dc);
        break;
    }
    case 32: op.send(EM_UNDO); break;
    case 33: return stream(op, true);
    case 34: return stream(op, false);
    case 35: return pasteFirstFormat(op);
    case 36: {
        if (!op.num(3, a)) return nullptr;
        PARAFORMAT pf = {};
        pf.cbSize = sizeof pf;
        pf.dwMask = PFM_ALIGNMENT;
        pf.wAlignment = static_cast<WORD>(a);
        op.send(EM_SETPARAFORMAT, 0, &pf);
        break;
    }
    case 37: {
        if (!op.num(3, a)) return nullptr;
        CHARFORMATA cf = {};
        cf.cbSize = sizeof cf;
        cf.dwMask = CFM_OFFSET;
        cf.yOffset = a;
        op.send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);
        break;
    }
    case 38: {
        // Prints over the print dialog the window owns; margin in twips.
        int32_t margin = DefaultPrintMargin;
        if (op.st->argCount > 3 && !op.num(3, margin)) return nullptr;
        if (const int error = printRichEdit(op.hwnd, ::GetParent(op.hwnd), margin)) return op.o.fail(error);
        break;
    }
    default: break;
    }
    return op.done();
}

// Width of a column with this heading: the heading and two more characters.
int columnWidth(const Operation& op, const char* heading)
{
    return static_cast<int>(op.send(LVM_GETSTRINGWIDTHA, 0, heading) + op.send(LVM_GETSTRINGWIDTHA, 0, "XX"));
}

Statement* listViewOperation(const Operation& op, int32_t code)
{
    int32_t a = 0, b = 0;
    std::string text;
    switch (code) {
    case 0: op.send(LVM_DELETEALLITEMS); break;
    case 1:
        if (!op.num(3, a)) return nullptr;
        op.send(LVM_DELETECOLUMN, static_cast<WPARAM>(a));
        break;
    case 2:
        if (!op.num(3, a)) return nullptr;
        op.send(LVM_DELETEITEM, static_cast<WPARAM>(a));
        break;
    case 3: {
        if (!op.num(3, a) || !op.text(4, text)) return nullptr;
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = a;
        item.pszText = text.data();
        op.send(LVM_INSERTITEMA, 0, &item);
        break;
    }
    case 4: {
        if (!op.num(3, a) || !op.text(4, text)) return nullptr;
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columnWidth(op, text.c_str());
        column.pszText = text.data();
        column.iSubItem = a;
        op.send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(a), &column);
        break;
    }
    case 5: {
        if (!op.num(3, a) || !op.num(4, b) || !op.text(5, text)) return nullptr;
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = a;
        item.iSubItem = b;
        item.pszText = text.data();
        op.send(LVM_SETITEMA, 0, &item);
        break;
    }
    case 6: {
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        char* out = op.o.stringResultBuffer();
        if (!out) return op.o.fail(ErrNoMemory);
        out[0] = 0;
        LVITEMA item = {};
        item.iSubItem = b;
        item.pszText = out;
        item.cchTextMax = Ostrin::StringResultSize;
        const LRESULT n = op.send(LVM_GETITEMTEXTA, static_cast<WPARAM>(a), &item);
        return op.o.setStringResult(op.st, out, static_cast<size_t>(std::clamp<LRESULT>(n, 0, Ostrin::StringResultSize - 1)));
    }
    case 7: return op.answer(op.send(LVM_GETSELECTEDCOUNT));
    case 8: {
        if (!op.num(3, a) || !op.text(4, text)) return nullptr;
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = columnWidth(op, text.c_str());
        column.pszText = text.data();
        op.send(LVM_SETCOLUMNA, static_cast<WPARAM>(a), &column);
        break;
    }
    case 9: {
        if (!op.num(3, a)) return nullptr;
        char heading[256] = "";
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = heading;
        column.cchTextMax = sizeof heading;
        op.send(LVM_GETCOLUMNA, static_cast<WPARAM>(a), &column);
        heading[sizeof heading - 1] = 0;
        return op.o.setStringResult(op.st, heading);
    }
    case 10:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(a), MAKELPARAM(b, 0));
        break;
    case 11: return op.num(3, a) ? op.answer(op.send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(a))) : nullptr;
    case 12: {
        if (!op.num(3, a)) return nullptr;
        LVITEMA item = {};
        item.state = LVIS_SELECTED;
        item.stateMask = LVIS_SELECTED;
        op.send(LVM_SETITEMSTATE, static_cast<WPARAM>(a), &item);
        break;
    }
    case 13:
        if (!op.num(3, a)) return nullptr;
        return op.answer(op.send(LVM_GETITEMSTATE, static_cast<WPARAM>(a), LVIS_SELECTED) ? 1 : 0);
    case 14: {
        if (!op.text(3, text)) return nullptr;
        LVFINDINFOA find = {};
        find.flags = LVFI_STRING;
        find.psz = text.c_str();
        return op.answer(op.send(LVM_FINDITEMA, static_cast<WPARAM>(-1), &find));
    }
    case 15: return op.answer(op.send(LVM_GETTOPINDEX));
    case 16: return op.answer(op.send(LVM_GETITEMCOUNT));
    default: break;
    }
    return op.done();
}

// SB_SETPARTS reads as many right edges as the count says: the count is
// clipped to the array's elements from the one given on (and to the 256
// parts a status bar holds).
Statement* setParts(const Operation& op)
{
    int32_t parts = 0;
    ArgValue edges;
    if (!op.num(3, parts) || !op.has(4) || !op.o.evalArg(op.st, 4, KindAny, edges)) return nullptr;
    Variable* v = edges.variable;
    if (!v) return op.done();
    if (v->type != TypeInt) return op.o.fail(ErrNotInteger);
    const size_t available = storage::storageBytes(v) / sizeof(int32_t);
    const int32_t count = std::clamp<int32_t>(parts, 0, static_cast<int32_t>(std::min<size_t>(available, 256)));
    op.send(SB_SETPARTS, static_cast<WPARAM>(count), v->data);
    return op.done();
}

Statement* statusBarOperation(const Operation& op, int32_t code)
{
    int32_t a = 0;
    std::string text;
    switch (code) {
    case 0: return setParts(op);
    case 1:
        if (!op.num(3, a) || !op.text(4, text)) return nullptr;
        op.send(SB_SETTEXTA, static_cast<WPARAM>(a), text.c_str());
        break;
    case 2: op.send(WM_SIZE); break;
    default: break;
    }
    return op.done();
}

// TB_AUTOSIZE, then what a bar at the bottom or at the side of an MDI
// frame needs: a repaint, or the frame's client fitted between its bars.
void autosize(const Operation& op)
{
    op.send(TB_AUTOSIZE);
    const LONG style = ::GetWindowLongA(op.hwnd, GWL_STYLE);
    if ((style & 3) == CCS_BOTTOM) ::InvalidateRect(op.hwnd, nullptr, TRUE);
    if (style & CCS_VERT) {
        CWnd* parent = CWnd::FromHandlePermanent(::GetParent(op.hwnd));
        if (parent && parent->IsKindOf(&COstrinWnd::classCOstrinWnd) && static_cast<COstrinWnd*>(parent)->isMdiFrame())
            static_cast<COstrinWnd*>(parent)->layoutBars();
    }
}

// Adds the strings of a text whose vertical bars separate (and end) them.
// The list is built in the string result's buffer and always ends with two
// zero bytes, also when the text lacks its closing bar.
void addStrings(const Operation& op, const std::string& text)
{
    if (text.empty()) return;
    char* list = op.o.stringResultBuffer();
    if (!list) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(Ostrin::StringResultSize - 2));
    std::memcpy(list, text.data(), n);
    list[n] = list[n + 1] = 0;
    std::replace(list, list + n, '|', '\0');
    op.send(TB_ADDSTRINGA, 0, list);
    op.send(TB_AUTOSIZE);
}

Statement* toolbarOperation(const Operation& op, int32_t code)
{
    int32_t a = 0, b = 0;
    std::string text;
    switch (code) {
    case 0: autosize(op); break;
    case 1:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(TB_SETBITMAPSIZE, 0, MAKELONG(a, b));
        op.send(TB_AUTOSIZE);
        break;
    case 2:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(TB_SETBUTTONSIZE, 0, MAKELONG(a, b));
        op.send(TB_AUTOSIZE);
        break;
    case 3:
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        op.send(TB_ENABLEBUTTON, static_cast<WPARAM>(a + ControlIdBase), MAKELONG(b, 0));
        break;
    case 4:
        if (!op.text(3, text)) return nullptr;
        addStrings(op, text);
        break;
    case 5: {
        if (!op.num(3, a) || !op.num(4, b)) return nullptr;
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STYLE;
        info.fsStyle = static_cast<BYTE>(b);
        op.send(TB_SETBUTTONINFOA, static_cast<WPARAM>(a + ControlIdBase), &info);
        break;
    }
    case 6: return op.num(3, a) ? op.answer(op.send(TB_ISBUTTONCHECKED, static_cast<WPARAM>(a + ControlIdBase))) : nullptr;
    case 7: return op.answer(LOWORD(op.send(TB_GETBUTTONSIZE)));
    case 8: return op.answer(HIWORD(op.send(TB_GETBUTTONSIZE)));
    case 9: {
        if (!op.num(3, a) || !op.text(4, text)) return nullptr;
        // A toolbar some other code made keeps no texts of ours.
        if (auto* bar = dynamic_cast<CColorToolbar*>(CWnd::FromHandlePermanent(op.hwnd)))
            bar->setTooltip(a, text.c_str());
        break;
    }
    default: break;
    }
    return op.done();
}

}  // namespace

Statement* Ostrin::controlOperation(Statement* st)
{
    if (st->argCount < 3) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    int32_t id = 0, code = 0;
    if (!windowAndId(*this, st, wnd, id) || !intArg(*this, st, 2, code)) return nullptr;
    HWND control = controlOf(*this, wnd, id);
    if (!control) return nullptr;

    char cls[20] = "";
    ::GetClassNameA(control, cls, sizeof cls);
    const Operation op{*this, st, control};
    if (std::strcmp(cls, "SysListView32") == 0) return listViewOperation(op, code);
    if (_stricmp(cls, "RichEdit") == 0) return richEditOperation(op, code);
    if (_stricmp(cls, "msctls_statusbar32") == 0) return statusBarOperation(op, code);
    if (_stricmp(cls, "ToolbarWindow32") == 0) return toolbarOperation(op, code);
    if (_stricmp(cls, "EDIT") == 0) return editOperation(op, code);
    return fail(ErrControlClass);
}
