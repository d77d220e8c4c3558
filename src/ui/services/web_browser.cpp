// The hosted web browser control: creation, its methods, and its events
// turned into window events of the program.
#include "ui/services/web_browser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <cstring>
#include <new>

#include "interp/ostrin.h"
#include "ui/windows/ostrin_wnd.h"

namespace {

// The VARIANT a parameter stands for: by-reference variants are followed.
const VARIANT* valueOf(const VARIANT* v)
{
    while (v && v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

// Parameter i (0 = the first the event declares) of an event, or null.
const VARIANT* param(const DISPPARAMS* p, UINT i)
{
    return i < p->cArgs ? valueOf(&p->rgvarg[p->cArgs - 1 - i]) : nullptr;
}

std::string ansiOf(const wchar_t* text, int length)
{
    if (!text || length <= 0) return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

// A string parameter as text; empty for anything else.
std::string textOf(const VARIANT* v)
{
    v = valueOf(v);
    if (!v) return {};
    BSTR text = v->vt == VT_BSTR ? v->bstrVal : v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal ? *v->pbstrVal : nullptr;
    return text ? ansiOf(text, static_cast<int>(::SysStringLen(text))) : std::string();
}

long longOf(const VARIANT* v)
{
    v = valueOf(v);
    if (!v) return 0;
    VARIANT out;
    ::VariantInit(&out);
    if (FAILED(::VariantChangeType(&out, const_cast<VARIANT*>(v), 0, VT_I4))) return 0;
    return out.lVal;
}

IDispatch* dispatchOf(const VARIANT* v)
{
    v = valueOf(v);
    if (!v) return nullptr;
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal) return *v->ppdispVal;
    return nullptr;
}

// Post data arrives as a byte array; as text it ends at its first zero.
std::string arrayText(const VARIANT* v)
{
    v = valueOf(v);
    if (!v || !(v->vt & VT_ARRAY)) return {};
    SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
    if (!array || ::SafeArrayGetDim(array) != 1) return {};
    LONG low = 0, high = -1;
    ::SafeArrayGetLBound(array, 1, &low);
    ::SafeArrayGetUBound(array, 1, &high);
    if (high < low) return {};
    const size_t bytes = static_cast<size_t>(high - low + 1) * ::SafeArrayGetElemsize(array);
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data)) || !data) return {};
    const auto* text = static_cast<const char*>(data);
    std::string out(text, strnlen(text, bytes));
    ::SafeArrayUnaccessData(array);
    return out;
}

BSTR bstrOf(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return ::SysAllocString(L"");
    BSTR out = ::SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (out) ::MultiByteToWideChar(CP_ACP, 0, text, -1, out, length);
    return out;
}

bool sameObject(IUnknown* a, IUnknown* b)
{
    IUnknown* ua = nullptr;
    IUnknown* ub = nullptr;
    const bool same = SUCCEEDED(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua))) &&
                      SUCCEEDED(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub))) && ua == ub;
    if (ua) ua->Release();
    if (ub) ub->Release();
    return same;
}

// Loads `html` as the content of a document object.
void writeDocument(IDispatch* document, const std::string& html)
{
    // One byte longer than the text and zero-filled: the text ends there.
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, html.size() + 1);
    if (!block) return;
    if (void* p = ::GlobalLock(block)) {
        std::memcpy(p, html.data(), html.size());
        ::GlobalUnlock(block);
        IStream* stream = nullptr;
        IPersistStreamInit* persist = nullptr;
        if (SUCCEEDED(::CreateStreamOnHGlobal(block, FALSE, &stream)) &&
            SUCCEEDED(document->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
            if (SUCCEEDED(persist->InitNew())) persist->Load(stream);
        }
        if (persist) persist->Release();
        if (stream) stream->Release();
    }
    ::GlobalFree(block);
}

}  // namespace

const CRuntimeClass CWebBrowser::classCWebBrowser = {"CWebBrowser", &CWnd::classCWnd};

CWebBrowser* createWebBrowser(COstrinWnd* owner)
{
    auto* b = new (std::nothrow) CWebBrowser(owner);
    if (!b) return nullptr;
    if (!b->Create(WS_VISIBLE, 0)) {
        delete b;
        return nullptr;
    }
    return b;
}

bool CWebBrowser::Create(DWORD style, UINT id)
{
    HWND parent = m_owner ? m_owner->GetSafeHwnd() : nullptr;
    if (!parent) return false;
    RECT rc = {};
    ::GetClientRect(parent, &rc);
    if (!CreateEx(0, CAxHost::ContainerClass(), nullptr, style | WS_CHILD | WS_CLIPCHILDREN, 0, 0, rc.right,
                  rc.bottom, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id))))
        return false;
    if (m_host.Create(m_hwnd, CLSID_WebBrowser, DIID_DWebBrowserEvents2, this)) return true;
    CWnd::DestroyWindow();
    return false;
}

BOOL CWebBrowser::DestroyWindow()
{
    m_host.Destroy();
    return CWnd::DestroyWindow();
}

LRESULT CWebBrowser::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        m_host.Resize();
        break;
    case WM_DESTROY:
        // Also when the hosting window goes first and takes this one along.
        m_host.Destroy();
        break;
    case WM_ERASEBKGND:
        return 1;   // the control paints all of it
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

bool CWebBrowser::PreTranslateMessage(MSG* msg)
{
    if (!m_hwnd || !msg || (msg->hwnd != m_hwnd && !::IsChild(m_hwnd, msg->hwnd))) return false;
    KeepAlive hold(this);
    return m_host.TranslateAccelerator(msg);
}

// --- Methods -------------------------------------------------------------------------

template <class Call>
void CWebBrowser::callControl(Call call)
{
    IWebBrowser2* control = nullptr;
    if (FAILED(m_host.QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(&control))) || !control) return;
    {
        KeepAlive hold(this);
        call(control);
        control->Release();
    }
    // Nothing here: a handler may have deleted this object.
}

void CWebBrowser::GoBack()
{
    callControl([](IWebBrowser2* c) { c->GoBack(); });
}

void CWebBrowser::GoForward()
{
    callControl([](IWebBrowser2* c) { c->GoForward(); });
}

void CWebBrowser::GoHome()
{
    callControl([](IWebBrowser2* c) { c->GoHome(); });
}

void CWebBrowser::Refresh()
{
    callControl([](IWebBrowser2* c) { c->Refresh(); });
}

void CWebBrowser::Stop()
{
    callControl([](IWebBrowser2* c) { c->Stop(); });
}

void CWebBrowser::Print()
{
    callControl([](IWebBrowser2* c) { c->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr); });
}

void CWebBrowser::Navigate(const char* url)
{
    BSTR target = bstrOf(url ? url : "");
    if (!target) return;
    callControl([target](IWebBrowser2* c) {
        VARIANT none;
        ::VariantInit(&none);
        c->Navigate(target, &none, &none, &none, &none);
    });
    ::SysFreeString(target);
}

void CWebBrowser::ShowHtml(const char* html)
{
    pendingHtml = html ? html : "";
    htmlPending = true;
    Navigate("about:blank");
}

size_t CWebBrowser::LocationName(char* out, size_t size)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    IWebBrowser2* control = nullptr;
    if (FAILED(m_host.QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(&control))) || !control) return 0;
    BSTR name = nullptr;
    std::string text;
    if (SUCCEEDED(control->get_LocationName(&name)) && name) text = ansiOf(name, static_cast<int>(::SysStringLen(name)));
    ::SysFreeString(name);
    control->Release();
    const size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), length);
    out[length] = 0;
    return length;
}

// --- Events ---------------------------------------------------------------------------

int CWebBrowser::dispatchToOwner(UINT code)
{
    if (!m_owner || !m_owner->interp) return 0;
    EventMessage event = {nullptr, code, 0, 0, 0, 0, 0};
    return m_owner->interp->dispatchEvent(static_cast<CWnd*>(m_owner), &event);
}

void CWebBrowser::OnEvent(DISPID id, DISPPARAMS* params)
{
    // The handler may close the hosting window, which deletes this object:
    // the delete waits for the event's end.
    KeepAlive hold(this);
    switch (id) {
    case DISPID_COMMANDSTATECHANGE: {
        const long command = longOf(param(params, 0));
        const int enabled = longOf(param(params, 1)) != 0;
        if (command == CSC_NAVIGATEFORWARD) canGoForward = enabled;
        else if (command == CSC_NAVIGATEBACK) canGoBack = enabled;
        break;
    }
    case DISPID_BEFORENAVIGATE2:
        onBeforeNavigate(params);
        break;
    case DISPID_NAVIGATECOMPLETE2:
        lastUrl = textOf(param(params, 1));
        dispatchToOwner(NavigateComplete);
        break;
    case DISPID_DOCUMENTCOMPLETE:
        onDocumentComplete(params);
        break;
    default:
        break;   // every other event is accepted and ignored
    }
}

// BeforeNavigate2(dispatch, URL, flags, target frame, post data, headers,
// cancel): the handler sees the request and may forbid it.
void CWebBrowser::onBeforeNavigate(DISPPARAMS* params)
{
    navigationAllowed = 1;
    lastUrl.clear();
    lastHeaders.clear();
    lastPostData = arrayText(param(params, 4));
    lastUrl = textOf(param(params, 1));
    lastHeaders = textOf(param(params, 5));
    dispatchToOwner(BeforeNavigate);
    const VARIANT* cancel = param(params, 6);
    if (cancel && cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal)
        *cancel->pboolVal = navigationAllowed ? VARIANT_FALSE : VARIANT_TRUE;
}

// DocumentComplete(dispatch, URL): the pending HTML goes into the document
// of the top-level browser only, not into a frame's.
void CWebBrowser::onDocumentComplete(DISPPARAMS* params)
{
    if (!htmlPending) return;
    IDispatch* frame = dispatchOf(param(params, 0));
    IWebBrowser2* control = nullptr;
    if (frame && SUCCEEDED(m_host.QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(&control))) && control) {
        loadPendingHtml(control, frame);
        control->Release();
    }
    htmlPending = false;
    pendingHtml.clear();
}

void CWebBrowser::loadPendingHtml(IWebBrowser2* control, IDispatch* frame)
{
    IDispatch* application = nullptr;
    if (FAILED(control->get_Application(&application)) || !application) return;
    const bool topLevel = sameObject(application, frame);
    application->Release();
    if (!topLevel) return;
    // Without a web engine there is no document: nothing is loaded.
    IDispatch* document = nullptr;
    if (FAILED(control->get_Document(&document)) || !document) return;
    writeDocument(document, pendingHtml);
    document->Release();
}
