// The HWND->object map, creation and subclassing, and message routing.
#include "wnd.h"

#include <cassert>
#include <unordered_map>
#include <unordered_set>

namespace {

// The one map from window handles to their objects.
std::unordered_map<HWND, CWnd*>& handleMap()
{
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

// Every constructed object that is not yet deleted (or waiting to be).
std::unordered_set<const void*>& liveObjects()
{
    static std::unordered_set<const void*> set;
    return set;
}

// The object whose window CreateEx is creating: filed by the first message
// that reaches StaticWindowProc for an unknown window.
CWnd* pendingCreation = nullptr;

// The object whose window of another class (a system control) CreateEx is
// creating: the creation hook subclasses the first window created while it
// is set, before that window's first message, so the object sees its
// WM_NCCREATE and WM_CREATE. Windows the control creates itself during its
// creation (a combo box's edit and list) come later and stay unbound.
CWnd* pendingSubclass = nullptr;

LRESULT CALLBACK creationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && pendingSubclass) {
        CWnd* wnd = pendingSubclass;
        pendingSubclass = nullptr;
        wnd->SubclassWindow(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool usesOurProcedure(const char* className)
{
    WNDCLASSA wc = {};
    return GetClassInfoA(GetModuleHandleA(nullptr), className, &wc) && wc.lpfnWndProc == CWnd::StaticWindowProc;
}

}  // namespace

const CRuntimeClass CWnd::classCWnd = {"CWnd", nullptr};

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* c = this; c; c = c->m_baseClass)
        if (c == base) return true;
    return false;
}

CWnd::CWnd() { liveObjects().insert(this); }

CWnd::~CWnd()
{
    liveObjects().erase(this);
    if (m_hwnd) {
        // Too late for virtual calls: take the window off this object first,
        // so its last messages fall through to default processing.
        HWND hwnd = m_hwnd;
        if (m_prevProc) UnsubclassWindow();
        else Detach();
        ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    auto& map = handleMap();
    auto it = map.find(hwnd);
    return it == map.end() ? nullptr : it->second;
}

bool CWnd::IsLiveObject(const void* object)
{
    return object && liveObjects().count(object) != 0;
}

void CWnd::DeleteSafely(CWnd* wnd)
{
    if (!wnd) return;
    if (wnd->m_msgDepth > 0) {
        liveObjects().erase(wnd);
        wnd->m_deletePending = true;
        return;
    }
    delete wnd;
}

void CWnd::Attach(HWND hwnd)
{
    assert(!m_hwnd);
    m_hwnd = hwnd;
    handleMap()[hwnd] = this;
}

void CWnd::Detach()
{
    if (!m_hwnd) return;
    handleMap().erase(m_hwnd);
    m_hwnd = nullptr;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId, void* param)
{
    if (m_hwnd) return false;
    const bool ours = usesOurProcedure(className);
    HHOOK hook = nullptr;
    if (ours) {
        pendingCreation = this;
    } else {
        pendingSubclass = this;
        hook = ::SetWindowsHookExA(WH_CBT, creationHook, nullptr, ::GetCurrentThreadId());
    }
    m_creating = true;
    HWND hwnd = ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menuOrId,
                                  GetModuleHandleA(nullptr), param);
    m_creating = false;
    if (hook) ::UnhookWindowsHookEx(hook);
    // A creation that failed before its first message leaves it unclaimed.
    if (pendingCreation == this) pendingCreation = nullptr;
    if (pendingSubclass == this) pendingSubclass = nullptr;
    if (!hwnd) return false;
    // Without the hook the window is bound after its creation messages.
    if (!ours && !m_hwnd) return SubclassWindow(hwnd);
    return m_hwnd == hwnd;
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    if (m_hwnd || !::IsWindow(hwnd) || FromHandlePermanent(hwnd)) return false;
    Attach(hwnd);
    PreSubclassWindow();
    m_prevProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
    return true;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hwnd;
    if (!hwnd) return nullptr;
    if (m_prevProc) ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
    m_prevProc = nullptr;
    Detach();
    return hwnd;
}

BOOL CWnd::DestroyWindow()
{
    return m_hwnd ? ::DestroyWindow(m_hwnd) : FALSE;
}

void CWnd::CenterWindow()
{
    if (!m_hwnd) return;
    RECT window = {}, area = {}, work = {};
    ::GetWindowRect(m_hwnd, &window);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const bool child = (::GetWindowLongA(m_hwnd, GWL_STYLE) & WS_CHILD) != 0;
    if (child) {
        HWND parent = ::GetParent(m_hwnd);
        ::GetClientRect(parent, &area);
        ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    } else {
        HWND owner = ::GetWindow(m_hwnd, GW_OWNER);
        if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
        else area = work;
    }
    const int width = window.right - window.left, height = window.bottom - window.top;
    int x = (area.left + area.right - width) / 2;
    int y = (area.top + area.bottom - height) / 2;
    if (!child) {
        // A window centred over a large owner may not leave the work area.
        if (x + width > work.right) x = work.right - width;
        if (x < work.left) x = work.left;
        if (y + height > work.bottom) y = work.bottom - height;
        if (y < work.top) y = work.top;
    } else {
        POINT p = {x, y};
        ::ScreenToClient(::GetParent(m_hwnd), &p);
        x = p.x;
        y = p.y;
    }
    ::SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWnd* CWnd::Claim(HWND hwnd, CWnd*& pending)
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (wnd || !pending) return wnd;
    wnd = pending;
    pending = nullptr;
    wnd->Attach(hwnd);
    return wnd;
}

void CWnd::LeaveMessage(CWnd* wnd)
{
    if (--wnd->m_msgDepth == 0 && wnd->m_deletePending) delete wnd;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = Claim(hwnd, pendingCreation);
    if (!wnd) return ::DefWindowProcA(hwnd, message, wParam, lParam);

    wnd->EnterMessage();
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Nothing reaches the object after this; a subclassed window's
        // previous procedure has already seen the message.
        wnd->m_prevProc = nullptr;
        wnd->Detach();
        wnd->PostNcDestroy();
    }
    LeaveMessage(wnd);
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        child = lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU) child = item->hwndItem;
        break;
    }
    default:
        return false;
    }

    if (child && child != m_hwnd) {
        if (CWnd* object = FromHandlePermanent(child)) {
            const LRESULT answer = object->OnChildNotify(message, wParam, lParam);
            if (answer) {
                *result = answer;
                return true;
            }
        }
    }
    if (message == WM_COMMAND && OnCommand(wParam, lParam)) {
        *result = 0;
        return true;
    }
    if (message == WM_NOTIFY) return OnNotify(wParam, lParam, result);
    return false;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_prevProc) return ::CallWindowProcA(m_prevProc, m_hwnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hwnd, message, wParam, lParam);
}

bool CWnd::OnCommand(WPARAM, LPARAM) { return false; }
bool CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return false; }
LRESULT CWnd::OnChildNotify(UINT, WPARAM, LPARAM) { return 0; }
bool CWnd::PreTranslateMessage(MSG*) { return false; }
void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}
