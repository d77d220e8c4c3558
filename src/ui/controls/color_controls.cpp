// Colour requests, owner-drawn push buttons and pictures of the
// colour-aware controls.
#include "ui/controls/color_controls.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "ui/controls/control_creation.h"
#include "ui/controls/re_ole_callback.h"

namespace {

bool isColourRequest(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

std::string windowText(HWND hwnd)
{
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The bitmap a picture text names: a file path when it has a colon, else a
// resource of the program by number (a leading digit; 0x65 and 101 alike)
// or by name. Null when it cannot be loaded.
HBITMAP loadPicture(const char* text)
{
    if (!text || !*text) return nullptr;
    char name[260];
    std::strncpy(name, text, sizeof name - 1);
    name[sizeof name - 1] = 0;
    if (std::strchr(name, ':'))
        return static_cast<HBITMAP>(
            ::LoadImageA(nullptr, name, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    const char* resource = name;
    if (name[0] >= '0' && name[0] <= '9')
        resource = MAKEINTRESOURCEA(static_cast<WORD>(std::strtoul(name, nullptr, 0)));
    return static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// Shows the picture `text` names in the control (setMessage: BM_SETIMAGE or
// STM_SETIMAGE) and keeps it in `owned`. A picture that cannot be loaded
// leaves the control as it was; the old one is deleted only after the new
// one is in place, so the control never holds a deleted bitmap. An image
// the control had loaded by itself from its text (a static does) goes too.
void showPicture(HWND hwnd, UINT setMessage, CBitmap& owned, const char* text)
{
    HBITMAP picture = loadPicture(text);
    if (!picture) return;
    auto previous = reinterpret_cast<HGDIOBJ>(
        ::SendMessageA(hwnd, setMessage, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
    if (previous && previous != owned.GetHandle() && previous != picture) ::DeleteObject(previous);
    owned.Attach(picture);
}

bool isBitmapButton(HWND hwnd) { return (::GetWindowLongA(hwnd, GWL_STYLE) & BS_BITMAP) != 0; }
bool isBitmapStatic(HWND hwnd) { return (::GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP; }

// Creation and text changes of a picture control: the default processing
// first (it stores the text), then the picture the text names.
LRESULT pictureMessage(CWnd& control, CBitmap& owned, UINT setMessage, LRESULT defaultResult, UINT message,
                       LPARAM lParam)
{
    HWND hwnd = control.GetSafeHwnd();
    if (!hwnd) return defaultResult;
    if (message == WM_CREATE && defaultResult != -1) showPicture(hwnd, setMessage, owned, windowText(hwnd).c_str());
    if (message == WM_SETTEXT) showPicture(hwnd, setMessage, owned, reinterpret_cast<const char*>(lParam));
    return defaultResult;
}

void frameRectangle(HDC dc, const RECT& r)
{
    CSelectObject noFill(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

}  // namespace

// --- CColorControl ---------------------------------------------------------------

CColorControl::CColorControl() : textColour(::GetSysColor(COLOR_BTNTEXT)) {}

CColorControl::~CColorControl() = default;

HBRUSH CColorControl::setBackground(COLORREF colour)
{
    m_background = colour;
    m_brush.Attach(nullptr);
    m_brush.CreateSolidBrush(colour);
    return m_brush;
}

HBRUSH CColorControl::applyColours(HDC dc)
{
    if (m_brush.IsNull()) m_brush.CreateSolidBrush(m_background);
    ::SetTextColor(dc, textColour);
    ::SetBkColor(dc, m_background);
    return m_brush;
}

CColorControl* colourPartOf(CWnd* object)
{
    return dynamic_cast<CColorControl*>(object);
}

template <class Base>
LRESULT CColorControlT<Base>::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (isColourRequest(message)) return reinterpret_cast<LRESULT>(colourRequest(reinterpret_cast<HDC>(wParam)));
    return Base::OnChildNotify(message, wParam, lParam);
}

// --- Buttons --------------------------------------------------------------------------

CColorButton::CColorButton() { setBackground(::GetSysColor(COLOR_BTNFACE)); }

CColorButton::~CColorButton()
{
    // The picture may still be shown by the window: take it off first.
    if (m_hwnd && !m_picture.IsNull()) ::SendMessageA(m_hwnd, BM_SETIMAGE, IMAGE_BITMAP, 0);
}

void CColorButton::PreSubclassWindow()
{
    CColorControlT<CButton>::PreSubclassWindow();
    const LONG style = ::GetWindowLongA(m_hwnd, GWL_STYLE);
    // Push buttons draw themselves in their colours; check boxes, radio
    // buttons and group boxes keep the system's look.
    if ((style & 9) != 9 && (style & 3) != 3 && !(style & BS_BITMAP))
        ::SetWindowLongA(m_hwnd, GWL_STYLE, style | BS_OWNERDRAW);
    // A dialog item already has its text; a control being created gets its
    // picture at WM_CREATE.
    if ((style & BS_BITMAP) && !IsCreating()) showPicture(m_hwnd, BM_SETIMAGE, m_picture, windowText(m_hwnd).c_str());
}

LRESULT CColorButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CColorControlT<CButton>::WindowProc(message, wParam, lParam);
    if ((message == WM_CREATE || message == WM_SETTEXT) && m_hwnd && isBitmapButton(m_hwnd))
        return pictureMessage(*this, m_picture, BM_SETIMAGE, result, message, lParam);
    return result;
}

LRESULT CColorButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return CColorControlT<CButton>::OnChildNotify(message, wParam, lParam);
}

void CColorButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    const LONG style = ::GetWindowLongA(m_hwnd, GWL_STYLE);
    const UINT state = item.itemState;
    const bool multiline = (style & BS_MULTILINE) != 0;
    const bool outlined = (state & (ODS_DEFAULT | ODS_FOCUS)) != 0;
    RECT frame = item.rcItem, textArea = item.rcItem;

    if (multiline)
        ::InflateRect(&textArea, -2 * ::GetSystemMetrics(SM_CXEDGE), -2 * ::GetSystemMetrics(SM_CYEDGE));
    if (state & ODS_SELECTED) ::OffsetRect(&textArea, 1, 1);
    if (outlined) ::InflateRect(&frame, -1, -1);

    if (style & BS_FLAT) {
        frameRectangle(dc, frame);
        ::InflateRect(&frame, -1, -1);
    } else {
        // Draws the raised (or pushed) edge and shrinks frame to the face.
        ::DrawFrameControl(dc, &frame, DFC_BUTTON,
                           DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | ((state & ODS_SELECTED) ? DFCS_PUSHED : 0));
    }
    if (m_brush.IsNull()) m_brush.CreateSolidBrush(m_background);
    ::FillRect(dc, &frame, m_brush);
    if (outlined) frameRectangle(dc, item.rcItem);

    const std::string text = windowText(m_hwnd);
    if (text.empty()) return;
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    if (multiline) {
        RECT measured = textArea;
        ::DrawTextA(dc, text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
        textArea.top += (textArea.bottom - textArea.top) / 2 - (measured.bottom - measured.top) / 2;
        format = DT_WORDBREAK | DT_VCENTER | DT_CENTER;
    }
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);

    COLORREF oldColour;
    if (state & ODS_DISABLED) {
        oldColour = ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        if (multiline) {
            ::DrawTextA(dc, text.c_str(), -1, &textArea, format);
        } else {
            const int x = (textArea.left + textArea.right) / 2 - extent.cx / 2;
            const int y = (textArea.top + textArea.bottom) / 2 - extent.cy / 2 - 1;
            ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()),
                         static_cast<WPARAM>(text.size()), x, y, extent.cx, extent.cy, DST_PREFIXTEXT | DSS_DISABLED);
        }
    } else {
        oldColour = ::SetTextColor(dc, textColour);
        ::DrawTextA(dc, text.c_str(), -1, &textArea, format);
    }
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColour);
}

// --- Statics ----------------------------------------------------------------------------

CColorStatic::CColorStatic() { setBackground(::GetSysColor(COLOR_BTNFACE)); }

CColorStatic::~CColorStatic()
{
    if (m_hwnd && !m_picture.IsNull()) ::SendMessageA(m_hwnd, STM_SETIMAGE, IMAGE_BITMAP, 0);
}

void CColorStatic::PreSubclassWindow()
{
    CColorControlT<CStatic>::PreSubclassWindow();
    if (!IsCreating() && isBitmapStatic(m_hwnd))
        showPicture(m_hwnd, STM_SETIMAGE, m_picture, windowText(m_hwnd).c_str());
}

LRESULT CColorStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CColorControlT<CStatic>::WindowProc(message, wParam, lParam);
    if ((message == WM_CREATE || message == WM_SETTEXT) && m_hwnd && isBitmapStatic(m_hwnd))
        return pictureMessage(*this, m_picture, STM_SETIMAGE, result, message, lParam);
    return result;
}

// --- The other controls --------------------------------------------------------------

CColorComboBox::CColorComboBox() { setBackground(::GetSysColor(COLOR_WINDOW)); }

LRESULT CColorComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CColorControlT<CComboBox>::WindowProc(message, wParam, lParam);
    if (message == WM_CTLCOLORMSGBOX || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
        return reinterpret_cast<LRESULT>(applyColours(reinterpret_cast<HDC>(wParam)));
    return result;
}

CColorEdit::CColorEdit() { setBackground(::GetSysColor(COLOR_WINDOW)); }

CColorListBox::CColorListBox() { setBackground(::GetSysColor(COLOR_WINDOW)); }

CColorScrollBar::CColorScrollBar() { setBackground(::GetSysColor(COLOR_SCROLLBAR)); }

HBRUSH CColorScrollBar::colourRequest(HDC dc)
{
    if (m_background == ::GetSysColor(COLOR_SCROLLBAR)) return nullptr;
    return applyColours(dc);
}

CColorStatus::CColorStatus() { setBackground(::GetSysColor(COLOR_BTNFACE)); }

CColorListView::CColorListView() { setBackground(::GetSysColor(COLOR_BTNFACE)); }

CColorRichEdit::CColorRichEdit() = default;

CColorRichEdit::~CColorRichEdit()
{
    if (m_callback) m_callback->Release();
}

HBRUSH CColorRichEdit::setBackground(COLORREF colour)
{
    m_background = colour;
    if (m_hwnd) ::SendMessageA(m_hwnd, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(colour));
    return nullptr;
}

void CColorRichEdit::PreSubclassWindow()
{
    CColorControlT<CRichEditCtrl>::PreSubclassWindow();
    if (!m_callback) {
        m_callback = new (std::nothrow) REOLECallback;
        if (m_callback) m_callback->AddRef();
    }
    // Posted: the control takes it once it exists.
    if (m_callback) ::PostMessageA(m_hwnd, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(m_callback));
}

// --- Toolbars ------------------------------------------------------------------------------

CColorToolbar::CColorToolbar() { setBackground(::GetSysColor(COLOR_BTNFACE)); }

int CColorToolbar::setButtons(const UINT* ids, int count)
{
    for (LRESULT n = ::SendMessageA(m_hwnd, TB_BUTTONCOUNT, 0, 0); n > 0; --n)
        ::SendMessageA(m_hwnd, TB_DELETEBUTTON, 0, 0);
    const bool vertical = (::GetWindowLongA(m_hwnd, GWL_STYLE) & CCS_VERT) != 0;
    int image = 0;
    for (int k = 0; k < count; ++k) {
        TBBUTTON button = {};
        button.fsState = TBSTATE_ENABLED;
        if (ids) {
            if (vertical) button.fsState |= TBSTATE_WRAP;
            if (ids[k] == 0) {
                button.fsStyle = TBSTYLE_SEP;
                button.iBitmap = 8;   // a separator's width
            } else {
                button.idCommand = static_cast<int>(ids[k]);
                button.iBitmap = image;
                button.iString = image;
                ++image;
            }
        }
        if (!::SendMessageA(m_hwnd, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button))) return 0;
    }
    return 1;
}

void CColorToolbar::setTooltip(int programId, const char* text)
{
    if (programId == 0 || !text) return;
    Tooltip* entry = nullptr;
    for (Tooltip& t : m_tooltips)
        if (t.programId == programId) entry = &t;
    if (!entry) entry = &m_tooltips.emplace_back(Tooltip{programId, {}});
    std::strncpy(entry->text, text, TooltipLength);
    entry->text[TooltipLength] = 0;
}

bool CColorToolbar::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return CColorControlT<CToolBarCtrl>::OnNotify(wParam, lParam, result);
    const int code = static_cast<int>(header->code);
    if (code == static_cast<int>(TTN_NEEDTEXTA)) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
        UINT_PTR id = header->idFrom;
        if (info->uFlags & TTF_IDISHWND) id = static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(id)));
        info->lpszText = nullptr;
        info->szText[0] = 0;
        for (Tooltip& t : m_tooltips)
            if (static_cast<UINT_PTR>(t.programId + ControlIdBase) == id) info->lpszText = t.text;
        *result = 1;
        return true;
    }
    // A tooltip that talks Unicode with its toolbar (Wine's always does)
    // asks for the same text in wide characters; it fits the notification's
    // own buffer (80 characters).
    if (code == static_cast<int>(TTN_NEEDTEXTW)) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        UINT_PTR id = header->idFrom;
        if (info->uFlags & TTF_IDISHWND) id = static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(id)));
        info->lpszText = info->szText;
        info->szText[0] = 0;
        for (Tooltip& t : m_tooltips)
            if (static_cast<UINT_PTR>(t.programId + ControlIdBase) == id &&
                !::MultiByteToWideChar(CP_ACP, 0, t.text, -1, info->szText, static_cast<int>(std::size(info->szText))))
                info->szText[0] = 0;
        *result = 1;
        return true;
    }
    // The tooltip's other notifications and custom drawing need nothing.
    if ((code <= -521 && code >= -549) || code == static_cast<int>(NM_CUSTOMDRAW)) {
        *result = 0;
        return true;
    }
    return CColorControlT<CToolBarCtrl>::OnNotify(wParam, lParam, result);
}

template class CColorControlT<CToolBarCtrl>;
template class CColorControlT<CButton>;
template class CColorControlT<CStatic>;
template class CColorControlT<CComboBox>;
template class CColorControlT<CEdit>;
template class CColorControlT<CListBox>;
template class CColorControlT<CScrollBar>;
template class CColorControlT<CStatusBarCtrl>;
template class CColorControlT<CListCtrl>;
template class CColorControlT<CRichEditCtrl>;
