// The rich edit's OLE callback: it gives embedded objects their storage
// (a compound file in global memory) and accepts every object; the other
// callback services are not offered. Reference counted; the last Release
// deletes it.
#pragma once

#include <windows.h>
#include <richedit.h>
#include <richole.h>

struct REOLECallback final : public IRichEditOleCallback {
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetNewStorage(LPSTORAGE* storage) override;
    STDMETHODIMP GetInPlaceContext(LPOLEINPLACEFRAME*, LPOLEINPLACEUIWINDOW*, LPOLEINPLACEFRAMEINFO) override;
    STDMETHODIMP ShowContainerUI(BOOL) override;
    STDMETHODIMP QueryInsertObject(LPCLSID, LPSTORAGE, LONG) override;
    STDMETHODIMP DeleteObject(LPOLEOBJECT) override;
    STDMETHODIMP QueryAcceptData(LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override;
    STDMETHODIMP GetClipboardData(CHARRANGE*, DWORD, LPDATAOBJECT*) override;
    STDMETHODIMP GetDragDropEffect(BOOL, DWORD, LPDWORD) override;
    STDMETHODIMP GetContextMenu(WORD, LPOLEOBJECT, CHARRANGE*, HMENU*) override;

private:
    LONG m_refs = 0;
};
