// Menus: menu bars, inserted top-level menus and popup menus built from
// description entries, menus loaded from the program's resources, and the
// statements that enable, check, append and remove single items.
//
// A description entry is one STRING argument, "[^]K,caption,flags,id": K is
// T (a top-level popup of the root), S (a submenu of the current menu) or
// I (an item); a caret first leaves the submenu the last S opened; a caption
// starting with "-" is a separator. Flags are MF_ values, the id is the
// program's command id (Windows id = id + 2024). Flags and id are numbers,
// or expressions when they start with "(", "@", a letter or a constant.
//
// Entries are read in two passes, as the description may hold expressions:
// the first checks every entry's shape and counts caption room, the second
// evaluates them again and reads flags and ids. Only then is any menu
// touched, so a faulty description changes nothing on the window.
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "interp/convert.h"
#include "interp/ostrin.h"
#include "interp/text.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

constexpr UINT ControlIdBase = 2024;
constexpr int MaxEntries = 100;
constexpr int CaptionLimit = 254;   // append menu item
// Room for the flags and id fields of one entry; a longer tail is a
// malformed entry rather than a buffer overrun.
constexpr size_t FieldsSize = 512;

struct Entry {
    UINT flags;
    UINT_PTR id;
    char kind;              // 'T', 'S' or 'I'
    bool up;
    const char* caption;    // in the caption buffer; null for a separator
    HMENU popup;            // S and T entries: made in the first pass
    bool attached;          // the popup now belongs to a menu
};

// The parts of an entry text up to its caption; false when the shape is
// wrong (no comma after the caption, or an unknown kind letter).
struct EntryShape {
    bool up;
    char kind;
    const char* caption;
    size_t captionLength;
    const char* fields;     // after the caption's comma
};

bool parseShape(const char* text, EntryShape& out)
{
    out.up = *text == '^';
    if (out.up) ++text;
    out.kind = text[0];
    if (!text[0] || !text[1]) return false;   // no separator, no caption
    out.caption = text + 2;                   // the separator is skipped unread
    const char* comma = std::strchr(out.caption, ',');
    if (!comma) return false;
    out.captionLength = static_cast<size_t>(comma - out.caption);
    out.fields = comma + 1;
    return out.kind == 'T' || out.kind == 'S' || out.kind == 'I';
}

bool startsExpression(const char* field)
{
    const auto c = static_cast<unsigned char>(*field);
    return c == '(' || c == '@' || c == 0xFE || std::isalpha(c);
}

// A flags or id field (already cut at its end): an expression, or an
// integer literal with the C base prefixes. False with the error set.
bool readField(Ostrin& o, char* field, uint32_t& out)
{
    field = skipBlanks(field);
    if (startsExpression(field)) {
        const double d = o.evaluate(field);
        if (o.errorCode) return false;
        out = static_cast<uint32_t>(truncToInt32(d));
        return true;
    }
    out = static_cast<uint32_t>(std::strtoul(field, nullptr, 0));
    return true;
}

// The entries of one statement, from argument `first` on. Owns the caption
// buffer and every popup that no menu has taken.
class MenuDescription {
public:
    MenuDescription() = default;
    MenuDescription(const MenuDescription&) = delete;
    MenuDescription& operator=(const MenuDescription&) = delete;
    ~MenuDescription()
    {
        for (int i = 0; i < m_count; ++i)
            if (m_entries[i].popup && !m_entries[i].attached) ::DestroyMenu(m_entries[i].popup);
        delete[] m_captions;
    }

    // Reads and checks every entry; false with the error set.
    bool read(Ostrin& o, Statement* st, int first);
    // Adds the entries to root. With `insertAt` non-negative, T entries are
    // inserted there (one position further each) instead of appended, and
    // all flags are taken as 16 bits.
    void build(HMENU root, int insertAt);

private:
    bool evalEntry(Ostrin& o, Statement* st, int i, ArgValue& v);

    Entry m_entries[MaxEntries] = {};
    int m_count = 0;
    char* m_captions = nullptr;
};

bool MenuDescription::evalEntry(Ostrin& o, Statement* st, int i, ArgValue& v)
{
    if (!o.evalArg(st, i, TypeString, v)) return false;
    if (!v.text) v.text = const_cast<char*>("");
    return true;
}

bool MenuDescription::read(Ostrin& o, Statement* st, int first)
{
    m_count = st->argCount - first;
    if (m_count <= 0) {
        m_count = 0;
        return true;
    }
    if (m_count > MaxEntries) m_count = MaxEntries;

    size_t room = 1;
    for (int k = 0; k < m_count; ++k) {
        const int i = first + k;
        ArgValue v;
        if (!evalEntry(o, st, i, v)) return false;
        EntryShape shape;
        const bool ok = parseShape(v.text, shape);
        Entry& e = m_entries[k];
        e.up = shape.up;
        e.kind = shape.kind;
        // Evaluating a literal cuts its closing quote: put it back, so the
        // second pass reads the same text.
        if (st->argClass[i] == ClassString) v.text[std::strlen(v.text)] = '"';
        if (!ok) {
            o.fail(ErrMalformed);
            return false;
        }
        e.flags = e.kind == 'I' ? 0 : MF_POPUP;
        if (shape.caption[0] == '-') e.flags = MF_SEPARATOR;
        if (e.kind != 'I') {
            e.popup = ::CreatePopupMenu();
            if (!e.popup) {
                o.fail(ErrNoMemory);
                return false;
            }
        }
        room += shape.captionLength + 3 + (e.up ? 1 : 0);
    }

    m_captions = new (std::nothrow) char[room];
    if (!m_captions) {
        o.fail(ErrNoMemory);
        return false;
    }
    char* next = m_captions;
    char* const captionsEnd = m_captions + room;

    for (int k = 0; k < m_count; ++k) {
        Entry& e = m_entries[k];
        ArgValue v;
        if (!evalEntry(o, st, first + k, v)) return false;
        // An expression may give another text the second time: it must
        // still be an entry, and its caption must fit the room counted.
        EntryShape shape;
        if (!parseShape(v.text, shape) ||
            (e.flags != MF_SEPARATOR && shape.captionLength >= static_cast<size_t>(captionsEnd - next))) {
            o.fail(ErrMalformed);
            return false;
        }
        if (e.flags != MF_SEPARATOR) {
            std::memcpy(next, shape.caption, shape.captionLength);
            next[shape.captionLength] = 0;
            e.caption = next;
            next += shape.captionLength + 1;
        }

        // The text may live in the string result, which evaluating the
        // fields overwrites: they are read from a copy.
        char fields[FieldsSize];
        const size_t length = std::strlen(shape.fields);
        if (length >= sizeof fields) {
            o.fail(ErrMalformed);
            return false;
        }
        std::memcpy(fields, shape.fields, length + 1);
        char* end = std::strpbrk(fields, ",\"");
        if (!end) {
            o.fail(ErrMalformed);
            return false;
        }
        const bool hasId = *end == ',';
        *end = 0;
        uint32_t flags = 0, id = 0;
        if (!readField(o, fields, flags)) return false;
        e.flags |= flags;
        if (hasId) {
            char* idField = skipBlanks(end + 1);
            if (char* space = std::strchr(idField, ' ')) *space = 0;
            if (!readField(o, idField, id)) return false;
            id += ControlIdBase;
        }
        e.id = e.popup ? reinterpret_cast<UINT_PTR>(e.popup) : id;
    }
    return true;
}

void MenuDescription::build(HMENU root, int insertAt)
{
    const UINT mask = insertAt >= 0 ? 0xFFFF : 0xFFFFFFFF;
    HMENU current = root;
    HMENU stack[MaxEntries];
    int depth = 0;
    for (int k = 0; k < m_count; ++k) {
        Entry& e = m_entries[k];
        e.flags &= mask;
        BOOL added;
        if (e.kind == 'T') {
            added = insertAt >= 0 ? ::InsertMenuA(root, static_cast<UINT>(insertAt++), e.flags | MF_BYPOSITION, e.id, e.caption)
                                  : ::AppendMenuA(root, e.flags, e.id, e.caption);
            current = e.popup;
            depth = 0;
        } else {
            if (e.up && depth) current = stack[--depth];
            added = ::AppendMenuA(current, e.flags, e.id, e.caption);
            if (e.kind == 'S') {
                stack[depth++] = current;
                current = e.popup;
            }
        }
        // A separator entry leaves its popup unused: it is destroyed with
        // the description (and with it whatever went into it).
        e.attached = added && (e.flags & MF_POPUP) && !(e.flags & MF_SEPARATOR);
    }
}

// The window of argument 0 for the statements that build a menu: null
// without an error when the value names no window (nothing is attached).
bool buildTarget(Ostrin& o, Statement* st, CWnd*& out)
{
    ArgValue v;
    if (!o.evalArg(st, 0, KindWinOrDlg, v)) return false;
    out = liveWindowObject(static_cast<uint32_t>(v.handle));
    return true;
}

// Makes `bar` the window's menu bar. The previous bar is destroyed, except
// an MDI frame's, whose Window menu its MDI client keeps using.
void attachBar(CWnd* wnd, HMENU bar)
{
    HWND hwnd = wnd->GetSafeHwnd();
    HMENU old = ::GetMenu(hwnd);
    if (!::SetMenu(hwnd, bar)) {
        ::DestroyMenu(bar);
        return;
    }
    ::DrawMenuBar(hwnd);
    auto* window = dynamic_cast<COstrinWnd*>(wnd);
    if (old && old != bar && !(window && window->isMdiFrame())) ::DestroyMenu(old);
}

// Window, then `count` numbers: the bar of the window (null when it has
// none). False with the error set.
bool barArgs(Ostrin& o, Statement* st, int32_t* numbers, int count, HWND& hwnd, HMENU& bar)
{
    CWnd* wnd = windowArg(o, st, 0, KindWinOrDlg);
    if (!wnd) return false;
    for (int i = 0; i < count; ++i)
        if (!intArg(o, st, i + 1, numbers[i])) return false;
    hwnd = wnd->GetSafeHwnd();
    bar = hwnd ? ::GetMenu(hwnd) : nullptr;
    return true;
}

}  // namespace

Statement* Ostrin::setMenuBar(Statement* st)
{
    if (st->argCount < 1 || st->argCount > 1 + MaxEntries) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    if (!buildTarget(*this, st, wnd)) return nullptr;
    MenuDescription menu;
    if (!menu.read(*this, st, 1)) return nullptr;
    HMENU bar = ::CreateMenu();
    if (!bar) return fail(ErrNoMemory);
    menu.build(bar, -1);
    if (wnd && wnd->GetSafeHwnd()) attachBar(wnd, bar);
    else ::DestroyMenu(bar);
    return st;
}

Statement* Ostrin::insertMenus(Statement* st)
{
    if (st->argCount < 2 || st->argCount > 2 + MaxEntries) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    int32_t position = 0;
    if (!intArg(*this, st, 1, position)) return nullptr;
    MenuDescription menu;
    if (!menu.read(*this, st, 2)) return nullptr;
    HWND hwnd = wnd->GetSafeHwnd();
    if (!hwnd) return st;
    HMENU bar = ::GetMenu(hwnd);
    const bool fresh = bar == nullptr;
    if (fresh && !(bar = ::CreateMenu())) return fail(ErrNoMemory);
    menu.build(bar, position < 0 ? 0 : position);
    if (fresh) {
        attachBar(wnd, bar);
    } else {
        ::SetMenu(hwnd, bar);
        ::DrawMenuBar(hwnd);
    }
    return st;
}

Statement* Ostrin::popupMenu(Statement* st)
{
    if (st->argCount < 3 || st->argCount > 3 + MaxEntries) return fail(ErrArgCount);
    CWnd* wnd = nullptr;
    if (!buildTarget(*this, st, wnd)) return nullptr;
    int32_t x = 0, y = 0;
    if (!intArg(*this, st, 1, x) || !intArg(*this, st, 2, y)) return nullptr;
    MenuDescription menu;
    if (!menu.read(*this, st, 3)) return nullptr;
    HMENU root = ::CreatePopupMenu();
    if (!root) return fail(ErrNoMemory);
    menu.build(root, -1);
    HWND hwnd = wnd ? wnd->GetSafeHwnd() : nullptr;
    if (hwnd) {
        POINT at = {x, y};
        ::ClientToScreen(hwnd, &at);
        // Without the owner in front, the menu would not close when the
        // user clicks elsewhere.
        ::SetForegroundWindow(hwnd);
        // The chosen command arrives as a posted WM_COMMAND: a menu event.
        ::TrackPopupMenu(root, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    }
    ::DestroyMenu(root);
    return errorCode ? nullptr : st;
}

Statement* Ostrin::loadMenu(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    ArgValue name;
    if (!evalArg(st, 1, KindAny, name)) return nullptr;
    const char* resource = nullptr;
    switch (name.type) {
    case TypeString:
        resource = name.text ? name.text : "";
        break;
    case TypeInt: case TypeFloat: case TypeDouble: case TypeInt64: case TypeUInt64: case TypeUInt:
        resource = MAKEINTRESOURCEA(static_cast<WORD>(name.intValue));
        break;
    default:
        return fail(ErrArgCount);
    }
    HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), resource);
    if (menu && wnd->GetSafeHwnd()) attachBar(wnd, menu);
    else if (menu) ::DestroyMenu(menu);
    return setIntResult(st, menu ? 1 : 0);
}

Statement* Ostrin::enableMenuItem(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    HWND hwnd;
    HMENU bar;
    if (!barArgs(*this, st, v, 2, hwnd, bar)) return nullptr;
    if (bar) ::EnableMenuItem(bar, static_cast<UINT>(v[0]) + ControlIdBase, MF_BYCOMMAND | (v[1] ? MF_ENABLED : MF_GRAYED));
    return st;
}

Statement* Ostrin::enableMenuTitle(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    HWND hwnd;
    HMENU bar;
    if (!barArgs(*this, st, v, 2, hwnd, bar)) return nullptr;
    if (!bar) return st;
    ::EnableMenuItem(bar, static_cast<UINT>(v[0]), MF_BYPOSITION | (v[1] ? MF_ENABLED : MF_GRAYED));
    ::DrawMenuBar(hwnd);
    return st;
}

Statement* Ostrin::checkMenuItem(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    HWND hwnd;
    HMENU bar;
    if (!barArgs(*this, st, v, 2, hwnd, bar)) return nullptr;
    if (bar) ::CheckMenuItem(bar, static_cast<UINT>(v[0]) + ControlIdBase, MF_BYCOMMAND | (v[1] ? MF_CHECKED : MF_UNCHECKED));
    return st;
}

Statement* Ostrin::appendMenuItem(Statement* st)
{
    if (st->argCount != 5) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    int32_t position = 0, flags = 0, id = 0;
    ArgValue caption;
    if (!intArg(*this, st, 1, position) || !evalArg(st, 2, TypeString, caption) || !intArg(*this, st, 3, flags) ||
        !intArg(*this, st, 4, id))
        return nullptr;
    char text[CaptionLimit + 1];
    copyText(text, caption.text ? caption.text : "", CaptionLimit);
    HMENU bar = wnd->GetSafeHwnd() ? ::GetMenu(wnd->GetSafeHwnd()) : nullptr;
    HMENU popup = bar ? ::GetSubMenu(bar, position < 0 ? 0 : position) : nullptr;
    if (!popup) return st;
    UINT itemFlags = static_cast<UINT>(flags);
    if (text[0] == '-') itemFlags |= MF_SEPARATOR;
    ::AppendMenuA(popup, itemFlags, static_cast<UINT>(id) + ControlIdBase, text);
    return st;
}

Statement* Ostrin::removeMenuItem(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    HWND hwnd;
    HMENU bar;
    if (!barArgs(*this, st, v, 2, hwnd, bar)) return nullptr;
    if (!bar) return st;
    const int position = v[0] < 0 ? 0 : v[0];
    if (v[1]) {
        if (HMENU popup = ::GetSubMenu(bar, position))
            ::RemoveMenu(popup, static_cast<UINT>(v[1]) + ControlIdBase, MF_BYCOMMAND);
        return st;
    }
    // A whole top-level menu: deleting (not just removing) it frees the
    // popup, which nothing else could ever reach again.
    ::DeleteMenu(bar, static_cast<UINT>(position), MF_BYPOSITION);
    ::DrawMenuBar(hwnd);
    return st;
}
