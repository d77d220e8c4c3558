// The rich edit's OLE callback.
#include "ui/controls/re_ole_callback.h"

#include <ole2.h>

STDMETHODIMP REOLECallback::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IRichEditOleCallback)) {
        *out = static_cast<IRichEditOleCallback*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) REOLECallback::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) REOLECallback::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP REOLECallback::GetNewStorage(LPSTORAGE* storage)
{
    if (!storage) return E_POINTER;
    *storage = nullptr;
    ILockBytes* bytes = nullptr;
    // The global block goes with the lock bytes.
    HRESULT hr = ::CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
    if (FAILED(hr)) return hr;
    hr = ::StgCreateDocfileOnILockBytes(bytes, STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_READWRITE, 0, storage);
    // The storage holds its own reference to the bytes.
    bytes->Release();
    return hr;
}

STDMETHODIMP REOLECallback::QueryInsertObject(LPCLSID, LPSTORAGE, LONG) { return S_OK; }

STDMETHODIMP REOLECallback::GetInPlaceContext(LPOLEINPLACEFRAME*, LPOLEINPLACEUIWINDOW*, LPOLEINPLACEFRAMEINFO)
{
    return E_NOTIMPL;
}
STDMETHODIMP REOLECallback::ShowContainerUI(BOOL) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::DeleteObject(LPOLEOBJECT) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::QueryAcceptData(LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::GetClipboardData(CHARRANGE*, DWORD, LPDATAOBJECT*) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::GetDragDropEffect(BOOL, DWORD, LPDWORD) { return E_NOTIMPL; }
STDMETHODIMP REOLECallback::GetContextMenu(WORD, LPOLEOBJECT, CHARRANGE*, HMENU*) { return E_NOTIMPL; }
