// The program window: its window procedure, painting and erasing, the
// drawing context, MDI frames and bar layout.
#include "ui/windows/ostrin_wnd.h"

#include <commctrl.h>

#include <cstring>
#include <new>

#include "framework/dialog.h"
#include "interp/ostrin.h"

namespace {

// Messages the window maps to plain default processing: for them the
// handler's answer never replaces the default result.
bool mappedToDefault(UINT message)
{
    switch (message) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_MENUSELECT:
    case WM_MOUSEACTIVATE:
    case WM_ACTIVATE:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return true;
    default:
        return false;
    }
}

void fillRect(HDC dc, const RECT& r, COLORREF colour)
{
    CBrush brush;
    if (brush.CreateSolidBrush(colour)) ::FillRect(dc, &r, brush);
}

bool hasClass(HWND hwnd, const char* name)
{
    char cls[64] = "";
    return ::GetClassNameA(hwnd, cls, sizeof cls) && std::strcmp(cls, name) == 0;
}

}  // namespace

const CRuntimeClass COstrinWnd::classCOstrinWnd = {"COstrinWnd", &CWnd::classCWnd};

CEventSource* eventSourceOf(CWnd* object)
{
    return dynamic_cast<CEventSource*>(object);
}

COstrinWnd::COstrinWnd() : cursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))), m_client(this) {}

COstrinWnd::~COstrinWnd()
{
    if (m_client != this) delete m_client;
    // A control may be deleted while one of its own messages is still on
    // the stack (a click whose handler closed this window).
    for (CWnd* control : m_controls) CWnd::DeleteSafely(control);
    if (browser) {
        browser->DestroyWindow();
        // A browser event may be on the stack (its handler closed us).
        CWnd::DeleteSafely(browser);
    }
    // Drawing state and the backing bitmap go with their wrappers.
}

bool COstrinWnd::createMdiClient(HMENU windowMenu)
{
    RECT rc = {};
    ::GetClientRect(m_hwnd, &rc);
    CLIENTCREATESTRUCT ccs = {windowMenu, MdiFirstChildId};
    auto* client = new (std::nothrow) CWnd;
    if (!client) return false;
    if (!client->CreateEx(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0, 0,
                          rc.right, rc.bottom, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(MdiClientId)),
                          &ccs)) {
        delete client;
        return false;
    }
    m_client = client;
    return true;
}

COLORREF COstrinWnd::drawingColour() const
{
    return m_logPen.lopnColor;
}

// --- Drawing context ------------------------------------------------------------

HDC COstrinWnd::beginDrawing()
{
    if (printDC) return printDC;
    if (eraseDC) return eraseDC;
    if (m_drawingDC && m_depth) {
        ++m_depth;
        return m_drawingDC;
    }
    if (!m_hwnd) return nullptr;   // never created, or already destroyed

    HDC dc = nullptr;
    if (persistent) {
        dc = m_backingDC;
    } else {
        dc = ::GetDC(m_hwnd);
    }
    if (!dc) return nullptr;
    ::SaveDC(dc);

    ::MoveToEx(dc, m_penPos.x, m_penPos.y, nullptr);
    if (m_pen.GetHandle()) ::SelectObject(dc, m_pen);
    if (m_font.GetHandle()) ::SelectObject(dc, m_font);
    ::SetTextColor(dc, m_logPen.lopnColor);
    ::SetTextAlign(dc, TA_UPDATECP);
    ::SetBkMode(dc, m_bkMode);
    ::SetBkColor(dc, m_textBackground);
    ::SetROP2(dc, m_rop2);

    ++m_depth;
    m_drawingDC = dc;
    ::SetBoundsRect(dc, nullptr, DCB_RESET | DCB_ACCUMULATE | DCB_ENABLE);
    return dc;
}

void COstrinWnd::endDrawing(HDC dc, bool redraw)
{
    if (printDC || eraseDC) return;
    if (m_depth > 0) --m_depth;
    if (m_depth > 0) {
        if (redraw && persistent && m_hwnd) {
            ::InvalidateRect(m_hwnd, nullptr, FALSE);
            ::UpdateWindow(m_hwnd);
        }
        return;
    }

    // Only the DC this window handed out is ever ended: a program that
    // gives back some other handle must not make us release its DC, nor
    // leave ours in its drawing state.
    HDC own = m_drawingDC;
    m_drawingDC = nullptr;
    if (!own) return;
    dc = own;

    ::GetCurrentPositionEx(dc, &m_penPos);
    m_bkMode = ::GetBkMode(dc);
    m_textBackground = ::GetBkColor(dc);
    m_rop2 = ::GetROP2(dc);
    LOGPEN lp = {};
    LOGFONTA lf = {};
    const bool havePen = ::GetObjectA(::GetCurrentObject(dc, OBJ_PEN), sizeof lp, &lp) == sizeof lp;
    const bool haveFont = ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf) == sizeof lf;

    RECT bounds = {};
    if (redraw && persistent && m_hwnd && (::GetBoundsRect(dc, &bounds, 0) & DCB_SET))
        ::InvalidateRect(m_hwnd, &bounds, FALSE);

    // Restoring deselects the remembered pen and font, so they can go;
    // they are made anew only when a statement changed them.
    ::RestoreDC(dc, -1);
    if (havePen && std::memcmp(&lp, &m_logPen, sizeof lp) != 0) rememberPen(lp);
    if (haveFont && std::memcmp(&lf, &m_logFont, sizeof lf) != 0) rememberFont(lf);
    freeContext(Drawing);

    if (!persistent) ::ReleaseDC(m_hwnd, dc);
    if (redraw && persistent && m_hwnd) ::UpdateWindow(m_hwnd);
}

void COstrinWnd::rememberPen(const LOGPEN& lp)
{
    m_logPen = lp;
    m_pen.CreatePenIndirect(lp);
}

void COstrinWnd::rememberFont(const LOGFONTA& lf)
{
    m_logFont = lf;
    m_font.CreateFontIndirect(lf);
}

COstrinWnd::ContextObjects& COstrinWnd::contextOf(HDC dc)
{
    if (dc && dc == printDC) return m_context[Print];
    if (dc && dc == eraseDC) return m_context[Erase];
    return m_context[Drawing];
}

void COstrinWnd::freeContext(Context c)
{
    m_context[c].pen.Attach(nullptr);
    m_context[c].font.Attach(nullptr);
}

void COstrinWnd::endPrinting()
{
    printDC = nullptr;
    freeContext(Print);
}

void COstrinWnd::selectContextPen(HDC dc, HPEN pen)
{
    ::SelectObject(dc, pen);
    // The previous statement's pen is no longer selected: replace it.
    contextOf(dc).pen.Attach(pen);
}

void COstrinWnd::selectContextFont(HDC dc, HFONT font)
{
    ::SelectObject(dc, font);
    contextOf(dc).font.Attach(font);
}

// --- Controls and bars --------------------------------------------------------------

void COstrinWnd::addControl(CWnd* control)
{
    m_controls.push_back(control);
    if (isMdiFrame()) layoutBars();
}

int COstrinWnd::layoutBars()
{
    if (!m_hwnd) return 0;
    RECT rc = {};
    ::GetClientRect(m_hwnd, &rc);
    bool found = false;
    for (CWnd* control : m_controls) {
        HWND bar = control->GetSafeHwnd();
        if (!bar || !::IsWindowVisible(bar)) continue;
        RECT br = {};
        ::GetWindowRect(bar, &br);
        const int width = br.right - br.left, height = br.bottom - br.top;
        const LONG style = ::GetWindowLongA(bar, GWL_STYLE);
        if (hasClass(bar, "ToolbarWindow32")) {
            found = true;
            const bool vertical = (style & CCS_VERT) != 0;
            if ((style & 3) == CCS_TOP) {
                if (vertical) rc.left += width;
                else rc.top += height;
            } else if ((style & 3) == CCS_BOTTOM) {
                if (vertical) rc.right -= width;
                else rc.bottom -= height;
            }
        } else if (hasClass(bar, "msctls_statusbar32")) {
            found = true;
            rc.bottom -= height;
        }
    }
    if (!found) return 0;
    if (m_client != this && m_client->GetSafeHwnd())
        ::MoveWindow(m_client->GetSafeHwnd(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    return 1;
}

// --- Messages ------------------------------------------------------------------------------

int COstrinWnd::dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!interp) return 0;
    EventMessage rec = {nullptr, message, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam), 0, 0, 0};
    return interp->dispatchEvent(static_cast<CWnd*>(this), &rec);
}

LRESULT COstrinWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    UINT code = message;
    LPARAM eventLParam = lParam;
    switch (message) {
    case WM_SIZE:
    case WM_SIZING:
        code = SizeChanged;
        eventLParam = reinterpret_cast<LPARAM>(static_cast<CWnd*>(this));
        break;
    case WM_ACTIVATE:
        active = LOWORD(wParam) != 0 && HIWORD(wParam) == 0;
        break;
    case WM_COMMAND:
        if (lParam) code = ControlNotification;
        break;
    default:
        break;
    }

    if (message == WM_DESTROY) {
        // The last event: nothing is dispatched after it.
        Ostrin* in = interp;
        interp = nullptr;
        if (!in) return 0;
        EventMessage rec = {nullptr, code, static_cast<uint32_t>(wParam), static_cast<int32_t>(eventLParam), 0, 0, 0};
        return in->dispatchEvent(static_cast<CWnd*>(this), &rec);
    }

    LRESULT answer = 0;
    if (message != WM_PAINT && message != CloseRequest) answer = dispatch(code, wParam, eventLParam);
    // The handler may have closed this very window.
    if (!m_hwnd || !::IsWindow(m_hwnd)) return answer;

    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    if (answer) return answer;

    result = DefWindowProc(message, wParam, lParam);
    if (browser && message == WM_SIZE && browser->GetSafeHwnd()) {
        SendMessage(WM_SETREDRAW, FALSE);
        ::SetWindowPos(browser->GetSafeHwnd(), nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam),
                       SWP_NOZORDER | SWP_SHOWWINDOW);
        SendMessage(WM_SETREDRAW, TRUE);
        ::RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    return result;
}

bool COstrinWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (CWnd::OnWndMsg(message, wParam, lParam, result)) return true;
    switch (message) {
    case WM_CREATE:
        *result = onCreate(wParam, lParam);
        return true;
    case WM_PAINT:
        onPaint();
        *result = 0;
        return true;
    case WM_ERASEBKGND:
        *result = onEraseBackground(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_CLOSE:
        // Only a request: the program decides, through the pump.
        PostMessage(CloseRequest, 0, reinterpret_cast<LPARAM>(static_cast<CWnd*>(this)));
        *result = 0;
        return true;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == m_hwnd && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(cursor);
            *result = TRUE;
            return true;
        }
        *result = DefWindowProc(message, wParam, lParam);
        return true;
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hwnd);
        ::SetActiveWindow(m_hwnd);
        *result = DefWindowProc(message, wParam, lParam);
        return true;
    default:
        if (!mappedToDefault(message)) return false;
        *result = DefWindowProc(message, wParam, lParam);
        return true;
    }
}

LRESULT COstrinWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (isMdiFrame()) {
        HWND clientHwnd = m_client->GetSafeHwnd();
        if (message == WM_SIZE) {
            if (wParam == SIZE_MINIMIZED) return ::DefFrameProcA(m_hwnd, clientHwnd, WM_SIZE, 1, lParam);
            if (layoutBars()) return 0;
        }
        return ::DefFrameProcA(m_hwnd, clientHwnd, message, wParam, lParam);
    }
    if (m_mdiChild) return ::DefMDIChildProcA(m_hwnd, message, wParam, lParam);
    return CWnd::DefWindowProc(message, wParam, lParam);
}

bool COstrinWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (isMdiFrame() && !lParam) {
        HWND clientHwnd = m_client->GetSafeHwnd();
        switch (LOWORD(wParam)) {
        case CmdCascade:
            ::SendMessageA(clientHwnd, WM_MDICASCADE, 0, 0);
            return true;
        case CmdTile:
            ::SendMessageA(clientHwnd, WM_MDITILE, MDITILE_HORIZONTAL, 0);
            return true;
        case CmdArrange:
            ::SendMessageA(clientHwnd, WM_MDIICONARRANGE, 0, 0);
            return true;
        default:
            break;
        }
    }
    return CWnd::OnCommand(wParam, lParam);
}

bool COstrinWnd::PreTranslateMessage(MSG* msg)
{
    if (!m_hwnd) return false;
    // A hosted browser's control takes its own keys (accelerators, focus
    // within the page) first.
    if (browser && browser->PreTranslateMessage(msg)) return true;
    // Dialog-style keys (Tab between controls) when the program asked for
    // them, and always for a hosted browser, which relies on them.
    return (dialogKeys || browser) && ::IsDialogMessageA(m_hwnd, msg);
}

BOOL COstrinWnd::DestroyWindow()
{
    if (!m_hwnd || !::IsWindow(m_hwnd)) return FALSE;
    // An MDI child is destroyed by its client, which also fixes the
    // frame's Window menu and activates the next child.
    if (m_mdiChild) {
        HWND parent = ::GetParent(m_hwnd);
        if (parent) {
            ::SendMessageA(parent, WM_MDIDESTROY, reinterpret_cast<WPARAM>(m_hwnd), 0);
            return TRUE;
        }
    }
    return ::DestroyWindow(m_hwnd);
}

LRESULT COstrinWnd::onCreate(WPARAM wParam, LPARAM lParam)
{
    if (DefWindowProc(WM_CREATE, wParam, lParam) == -1) return -1;
    CClientDC windowDC(m_hwnd);
    if (!windowDC) return 0;
    CMemDC probeDC;
    HDC memDC = persistent ? (m_backingDC.CreateCompatibleDC(windowDC), static_cast<HDC>(m_backingDC))
                           : (probeDC.CreateCompatibleDC(windowDC), static_cast<HDC>(probeDC));
    if (!memDC) return 0;

    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    backgroundColour = ::GetSysColor(COLOR_WINDOW);
    if (persistent && m_backing.CreateCompatibleBitmap(windowDC, cx, cy)) {
        // It stays selected for the window's life.
        ::SelectObject(memDC, m_backing);
        fillRect(memDC, RECT{0, 0, cx, cy}, backgroundColour);
    }

    ::GetCurrentPositionEx(memDC, &m_penPos);
    LOGPEN lp = {};
    if (::GetObjectA(::GetCurrentObject(memDC, OBJ_PEN), sizeof lp, &lp) == sizeof lp) rememberPen(lp);
    LOGFONTA lf = {};
    if (::GetObjectA(::GetCurrentObject(memDC, OBJ_FONT), sizeof lf, &lf) == sizeof lf) rememberFont(lf);
    m_bkMode = ::GetBkMode(memDC);
    m_textBackground = ::GetBkColor(memDC);
    m_rop2 = ::GetROP2(memDC);
    return 0;
}

void COstrinWnd::onPaint()
{
    RECT update = {};
    ::GetUpdateRect(m_hwnd, &update, FALSE);
    CPaintDC paintDC(m_hwnd);
    if (!persistent) {
        dispatch(WM_PAINT, 0, 0);
        return;
    }

    // Controls paint themselves; the bitmap must not cover them.
    for (CWnd* control : m_controls) {
        HWND hwnd = control->GetSafeHwnd();
        if (!hwnd || !::IsWindowVisible(hwnd)) continue;
        RECT r = {};
        ::GetWindowRect(hwnd, &r);
        ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        ::ExcludeClipRect(paintDC, r.left, r.top, r.right, r.bottom);
    }
    // The same DC serves while a drawing context is handed out: the
    // picture is always whole in the bitmap.
    if (!m_backingDC) return;
    ::BitBlt(paintDC, update.left, update.top, update.right - update.left, update.bottom - update.top, m_backingDC,
             update.left, update.top, SRCCOPY);
}

LRESULT COstrinWnd::onEraseBackground(HDC dc)
{
    RECT clip = {};
    ::GetClipBox(dc, &clip);
    {
        CBrush brush;
        brush.CreateSolidBrush(backgroundColour);
        CSelectObject select(dc, brush);
        ::PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
    }
    const int saved = ::SaveDC(dc);
    eraseDC = dc;
    dispatch(EraseNow, 0, 0);
    eraseDC = nullptr;
    ::RestoreDC(dc, saved);
    freeContext(Erase);
    return TRUE;
}
