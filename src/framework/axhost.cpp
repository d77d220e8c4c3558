// The ActiveX container: site, event sink, creation, in-place activation and
// the (possibly deferred) release of the control.
#include "axhost.h"

#include <ocidl.h>

#include <new>

#include "wnd.h"

namespace {

long liveObjects = 0;

// Zero-delay thread timer that runs the deferred releases; 0 when none is
// set. A thread timer's WM_TIMER carries its procedure, so any message loop
// that dispatches it runs the release.
UINT_PTR releaseTimer = 0;

void CALLBACK onReleaseTimer(HWND, UINT, UINT_PTR, DWORD)
{
    CAxHost::ReleaseDeferred();
}

}  // namespace

// --- Site -----------------------------------------------------------------------------

// The control's view of its container: where it is shown (client site and
// in-place site) and the frame around it, which offers no menus, tool space
// or accelerators of its own.
class CAxHost::CSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit CSite(HWND container) : m_container(container) { ++liveObjects; }

    // The host is done with the control: answers now come without a window,
    // and the active object the control gave us goes back.
    void Detach()
    {
        m_container = nullptr;
        SetActiveObject(nullptr, nullptr);
    }
    IOleInPlaceActiveObject* ActiveObject() const { return m_active; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override
    {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (for the in-place site and the frame alike)
    STDMETHODIMP GetWindow(HWND* out) override
    {
        if (!out) return E_POINTER;
        *out = m_container;
        return m_container ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return m_container ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* info) override
    {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        *frame = this;
        AddRef();
        *document = nullptr;
        RECT rc = {};
        if (m_container) ::GetClientRect(m_container, &rc);
        *position = rc;
        *clip = rc;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_container ? ::GetAncestor(m_container, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        // The one reference we hold on the control's side; given back here
        // or at Detach, whichever comes first.
        if (object) object->AddRef();
        if (m_active) m_active->Release();
        m_active = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override
    {
        if (widths) for (LONG& w : widths->width) w = 0;
        return S_OK;
    }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~CSite() { --liveObjects; }

    ULONG m_refs = 1;
    HWND m_container;
    IOleInPlaceActiveObject* m_active = nullptr;
};

// --- Event sink -------------------------------------------------------------------

// The control's outgoing interface, answered through IDispatch by dispatch
// id. The target is cut off at once when the host lets the control go.
class CAxHost::CSink final : public IDispatch {
public:
    CSink(REFIID events, CAxEventTarget* target) : m_events(events), m_target(target) { ++liveObjects; }

    void Detach() { m_target = nullptr; }
    // An event of ours is on the stack: the control is inside its own code.
    bool IsFiring() const { return m_depth > 0; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_events) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    // IDispatch: events come by id only, so there is no type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        if (result) ::VariantInit(result);
        if (!m_target || !params) return S_OK;
        // The handler may let the control go: this object stays until the
        // event has returned, and the control's release waits for it.
        AddRef();
        ++m_depth;
        m_target->OnEvent(id, params);
        --m_depth;
        Release();
        return S_OK;
    }

private:
    ~CSink() { --liveObjects; }

    ULONG m_refs = 1;
    IID m_events;
    CAxEventTarget* m_target;
    int m_depth = 0;
};

// --- Host -------------------------------------------------------------------------

// Everything one control holds of ours, kept together so its release can wait.
struct CAxHost::Parts {
    IOleObject* object;
    CSite* site;
    CSink* sink;
    IConnectionPoint* point;
    DWORD cookie;
};

std::vector<CAxHost::Parts*>& CAxHost::deferred()
{
    static std::vector<Parts*> list;
    return list;
}

const char* CAxHost::ContainerClass()
{
    static const char name[] = "OstrinAxContainer";
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));   // IDC_ARROW
        wc.lpszClassName = name;
        registered = ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    return name;
}

long CAxHost::LiveSiteObjects()
{
    return liveObjects;
}

bool CAxHost::Create(HWND container, REFCLSID clsid, REFIID eventsIid, CAxEventTarget* target)
{
    if (m_object || !::IsWindow(container)) return false;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&m_object)))) {
        m_object = nullptr;
        return false;
    }
    m_container = container;
    m_site = new (std::nothrow) CSite(container);
    m_sink = new (std::nothrow) CSink(eventsIid, target);
    bool ok = m_site && m_sink && SUCCEEDED(m_object->SetClientSite(m_site));

    // A control that keeps state starts out empty, as a new one should.
    IPersistStreamInit* persist = nullptr;
    if (ok && SUCCEEDED(m_object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }

    IConnectionPointContainer* points = nullptr;
    if (ok) {
        ok = SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)));
    }
    if (ok) {
        ok = SUCCEEDED(points->FindConnectionPoint(eventsIid, &m_point)) && m_point &&
             SUCCEEDED(m_point->Advise(m_sink, &m_cookie));
        points->Release();
    }

    if (ok) {
        RECT rc = {};
        ::GetClientRect(container, &rc);
        ok = SUCCEEDED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, container, &rc));
    }
    if (!ok) {
        Destroy();
        return false;
    }
    Resize();
    return true;
}

void CAxHost::Destroy()
{
    if (!m_object && !m_site && !m_sink) return;
    auto* parts = new (std::nothrow) Parts{m_object, m_site, m_sink, m_point, m_cookie};
    m_object = nullptr;
    m_site = nullptr;
    m_sink = nullptr;
    m_point = nullptr;
    m_cookie = 0;
    m_container = nullptr;
    if (!parts) return;   // out of memory: the control is leaked, never freed under itself

    if (parts->sink) parts->sink->Detach();
    if (!parts->sink || !parts->sink->IsFiring()) {
        Release(*parts);
        delete parts;
        return;
    }
    deferred().push_back(parts);
    if (!releaseTimer) releaseTimer = ::SetTimer(nullptr, 0, 0, onReleaseTimer);
}

void CAxHost::ReleaseDeferred()
{
    if (releaseTimer) {
        ::KillTimer(nullptr, releaseTimer);
        releaseTimer = 0;
    }
    // Releasing may run a nested message loop; take the list first.
    std::vector<Parts*> ready;
    auto& list = deferred();
    for (size_t i = 0; i < list.size();) {
        if (list[i]->sink->IsFiring()) {
            ++i;
            continue;
        }
        ready.push_back(list[i]);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (Parts* parts : ready) {
        Release(*parts);
        delete parts;
    }
    // An event still in progress (its handler runs a message loop): later.
    if (!deferred().empty() && !releaseTimer) releaseTimer = ::SetTimer(nullptr, 0, 0, onReleaseTimer);
}

void CAxHost::Release(Parts& parts)
{
    if (parts.point) {
        if (parts.cookie) parts.point->Unadvise(parts.cookie);
        parts.point->Release();
    }
    if (parts.object) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(parts.object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        parts.object->Close(OLECLOSE_NOSAVE);
        parts.object->SetClientSite(nullptr);
    }
    // The control may still call its site while it lets go; detach only now.
    if (parts.site) {
        parts.site->Detach();
        parts.site->Release();
    }
    if (parts.object) parts.object->Release();
    if (parts.sink) parts.sink->Release();
}

void CAxHost::Resize()
{
    if (!m_object || !m_container) return;
    RECT rc = {};
    ::GetClientRect(m_container, &rc);
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->SetObjectRects(&rc, &rc);
        inPlace->Release();
    }
}

bool CAxHost::TranslateAccelerator(MSG* msg)
{
    if (!m_site || !msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    IOleInPlaceActiveObject* active = m_site->ActiveObject();
    if (!active) return false;
    // The call may run a handler that lets the control go.
    active->AddRef();
    const bool taken = active->TranslateAccelerator(msg) == S_OK;
    active->Release();
    return taken;
}

HRESULT CAxHost::QueryControl(REFIID iid, void** out) const
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_object) return E_FAIL;
    return m_object->QueryInterface(iid, out);
}
