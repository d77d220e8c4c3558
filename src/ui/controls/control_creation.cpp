// Adding controls (opcode 10): reading the descriptions, and creating the
// colour-aware control of each kind on a window.
#include "ui/controls/control_creation.h"

#include <cctype>
#include <cstring>
#include <new>

#include "interp/convert.h"
#include "interp/ostrin.h"
#include "ui/controls/color_controls.h"
#include "ui/windows/ostrin_dlg.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

struct KindInfo {
    int kind;
    const char* windowClass;   // created on a window
    const char* dialogClass;   // named in a dialog template
    DWORD exStyle;             // on a window
    DWORD windowStyle;         // added on a window
    DWORD dialogStyle;         // added in a dialog
    bool usesCaption;          // the caption is the window text
};

constexpr DWORD ListBoxStyle = WS_BORDER | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;   // 0x00800140
constexpr DWORD ComboBoxStyle = WS_BORDER | CBS_NOINTEGRALHEIGHT | CBS_HASSTRINGS;  // 0x00800600

const KindInfo Kinds[] = {
    {KindPushButton, controlclass::Button, "BUTTON", 0, 0, 0, true},
    {KindCheckBox, controlclass::Button, "BUTTON", 0, 0, 0, true},
    {KindRadioButton, controlclass::Button, "BUTTON", 0, 0, 0, true},
    {KindEdit, controlclass::Edit, "EDIT", WS_EX_CLIENTEDGE, WS_BORDER, WS_BORDER, false},
    {KindListBox, controlclass::ListBox, "LISTBOX", WS_EX_CLIENTEDGE, ListBoxStyle, ListBoxStyle, false},
    {KindScrollBar, controlclass::ScrollBar, "SCROLLBAR", 0, 0, 0, false},
    {KindComboBox, controlclass::ComboBox, "COMBOBOX", WS_EX_CLIENTEDGE, ComboBoxStyle, ComboBoxStyle, false},
    {KindStatic, controlclass::Static, "STATIC", 0, 0, 0, true},
    {KindListView, controlclass::ListView, "SysListView32", 0, 0, WS_BORDER, false},
    {KindStatusBar, controlclass::StatusBar, "msctls_statusbar32", 0, 0, 0, false},
    // The client edge follows the program's border (see createControl);
    // templates name the class as the rich edit library registers it.
    {KindRichEdit, controlclass::RichEdit, "RichEdit", 0, 0, 0, false},
};

const KindInfo* kindInfo(int kind)
{
    for (const KindInfo& k : Kinds)
        if (k.kind == kind) return &k;
    return nullptr;
}

// The kind the first letters name; false when they name none.
bool kindOf(const char* text, int& kind, DWORD& baseStyle)
{
    const int first = std::toupper(static_cast<unsigned char>(text[0]));
    const int second = first ? std::toupper(static_cast<unsigned char>(text[1])) : 0;
    switch (first) {
    case 'B': kind = KindPushButton, baseStyle = BS_PUSHBUTTON; return true;
    case 'C': kind = KindCheckBox, baseStyle = BS_AUTOCHECKBOX; return true;
    case 'R':
        if (second == 'E') kind = KindRichEdit, baseStyle = 0;
        else kind = KindRadioButton, baseStyle = BS_AUTORADIOBUTTON;
        return true;
    case 'E': kind = KindEdit, baseStyle = 0; return true;
    case 'L': kind = second == 'V' ? KindListView : KindListBox, baseStyle = 0; return true;
    case 'S': kind = second == 'W' ? KindStatusBar : KindScrollBar, baseStyle = 0; return true;
    case 'M': kind = KindComboBox, baseStyle = 0; return true;
    case 'T': kind = KindStatic, baseStyle = 0; return true;
    default: return false;
    }
}

constexpr int MinFields = 6, MaxFields = 15;

}  // namespace

bool readControlDescription(Ostrin& o, const char* text, ControlDescription& d)
{
    kindOf(text, d.kind, d.baseStyle);
    const char* afterKind = std::strchr(text, ',');
    const char* afterCaption = afterKind ? std::strchr(afterKind + 1, ',') : nullptr;
    if (!afterCaption) {
        o.fail(ErrMalformed);
        return false;
    }
    d.caption.assign(afterKind + 1, afterCaption);

    // Each field ends at a comma or a double quote; fields after the
    // sixth are evaluated for their errors only.
    int32_t fields[MinFields] = {};
    int count = 0;
    const char* p = afterCaption + 1;
    std::string field;
    while (count < MaxFields) {
        const char* end = p + std::strcspn(p, ",\"");
        field.assign(p, end);
        const double value = o.evaluate(field.c_str());
        if (o.errorCode) return false;
        if (count < MinFields) fields[count] = truncToInt32(value);
        ++count;
        if (*end != ',') break;
        p = end + 1;
    }
    if (count < MinFields) {
        o.fail(ErrMalformed);
        return false;
    }

    const auto left = static_cast<LONG>(static_cast<uint16_t>(fields[0]));
    const auto top = static_cast<LONG>(static_cast<uint16_t>(fields[1]));
    d.placement = {left, top, left + static_cast<uint16_t>(fields[2]), top + static_cast<uint16_t>(fields[3])};
    DWORD style = d.baseStyle | static_cast<DWORD>(fields[4]) | WS_CHILD | WS_VISIBLE;
    if (style & StyleHidden) style &= ~(WS_VISIBLE | StyleHidden);
    d.style = style;
    d.programId = fields[5];
    return true;
}

CWnd* newControlObject(int kind)
{
    switch (kind) {
    case KindPushButton:
    case KindCheckBox:
    case KindRadioButton: return new (std::nothrow) CColorButton;
    case KindEdit: return new (std::nothrow) CColorEdit;
    case KindListBox: return new (std::nothrow) CColorListBox;
    case KindScrollBar: return new (std::nothrow) CColorScrollBar;
    case KindComboBox: return new (std::nothrow) CColorComboBox;
    case KindStatic: return new (std::nothrow) CColorStatic;
    case KindListView: return new (std::nothrow) CColorListView;
    case KindStatusBar: return new (std::nothrow) CColorStatus;
    case KindRichEdit: return new (std::nothrow) CColorRichEdit;
    default: return nullptr;
    }
}

CWnd* COstrinWnd::createControl(int kind, const char* caption, DWORD style, const RECT& r, UINT id)
{
    const KindInfo* k = kindInfo(kind);
    if (!k) return nullptr;
    CWnd* control = newControlObject(kind);
    if (!control) return nullptr;
    DWORD exStyle = k->exStyle;
    if (kind == KindRichEdit && (style & WS_BORDER)) exStyle |= WS_EX_CLIENTEDGE;
    // An MDI frame's controls are its own children, not its client's.
    if (!control->CreateEx(exStyle, k->windowClass, k->usesCaption ? caption : "", style | k->windowStyle, r.left,
                           r.top, r.right - r.left, r.bottom - r.top, m_hwnd,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)))) {
        delete control;
        return nullptr;
    }
    if (kind == KindStatusBar && isMdiFrame()) statusBar = control;
    addControl(control);
    return control;
}

void COstrinDlg::addControl(int kind, const char* caption, DWORD style, const RECT& r, UINT id)
{
    // A description that names no kind adds nothing, as on a window: an
    // item without a class would keep the whole dialog from being made.
    const KindInfo* k = kindInfo(kind);
    if (!k) return;
    CWnd* control = newControlObject(kind);
    if (!control) return;
    if (!m_template.addItem(static_cast<short>(r.left), static_cast<short>(r.top), static_cast<short>(r.right - r.left),
                            static_cast<short>(r.bottom - r.top), static_cast<WORD>(id), style | k->dialogStyle,
                            k->dialogClass, caption)) {
        delete control;
        return;
    }
    colourPartOf(control)->controlId = static_cast<int>(id);
    addControlObject(control, static_cast<int>(id));
}

Statement* Ostrin::addControls(Statement* st)
{
    CWnd* target = windowArg(*this, st, 0, KindWinOrDlg);
    if (!target) return nullptr;
    auto* window = target->IsKindOf(&COstrinWnd::classCOstrinWnd) ? static_cast<COstrinWnd*>(target) : nullptr;
    auto* dialog = window ? nullptr : dynamic_cast<COstrinDlg*>(target);

    ControlDescription d;
    for (int i = 1; i < st->argCount; ++i) {
        ArgValue v;
        if (!evalArg(st, i, TypeString, v)) return fail(ErrMalformed);
        // The fields' expressions may reuse the buffer the text is in.
        const std::string text = v.text ? v.text : "";
        if (!readControlDescription(*this, text.c_str(), d)) return nullptr;
        if (d.programId == 0) return fail(ErrControlIdZero);
        const UINT id = static_cast<UINT>(d.programId + ControlIdBase);

        // Any other object (a control a program named by its handle) takes none.
        if (!window && !dialog) return fail(ErrType);
        if (dialog) {
            // Edges in dialog units, each truncated on its own.
            const RECT& p = d.placement;
            const RECT units = dialog->toDialogUnits(p.left, p.top, p.right, p.bottom);
            if (dialog->dialogTemplate().getItem(static_cast<int32_t>(id), false)) return fail(ErrControlIdUsed);
            dialog->addControl(d.kind, d.caption.c_str(), d.style, units, id);
            continue;
        }
        if (window->GetSafeHwnd() && ::GetDlgItem(window->GetSafeHwnd(), static_cast<int>(id)))
            return fail(ErrControlIdUsed);
        // A control Windows refuses is not reported.
        window->createControl(d.kind, d.caption.c_str(), d.style, d.placement, id);
        if (errorCode) return nullptr;   // a handler run by the creation failed
    }
    return st;
}
