// CWebBrowser: the system's web browser control over the client area of a
// program window (opened with the browser flag), the navigation state the
// browser statement reads, and the routing of the control's events to the
// window's handler.
//
// The object is a child window of ours that contains the control (through
// CAxHost) and follows its size. The window that hosts it owns it and
// deletes it with CWnd::DeleteSafely: a handler that closes the window runs
// inside one of the control's events, and the object must outlive that
// event. Failures inside the control (no page, no network, no web engine at
// all) are not errors: the operations then simply have no effect.
#pragma once

#include <windows.h>

#include <string>

#include "framework/axhost.h"
#include "framework/wnd.h"

class COstrinWnd;
struct IWebBrowser2;

class CWebBrowser : public CWnd, public CAxEventTarget {
public:
    static const CRuntimeClass classCWebBrowser;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCWebBrowser; }

    // Events of the hosting window: a navigation is about to start (the
    // handler may forbid it), and one has completed.
    static constexpr UINT BeforeNavigate = 0x800D;
    static constexpr UINT NavigateComplete = 0x800E;

    explicit CWebBrowser(COstrinWnd* owner) : m_owner(owner) {}

    // Creates the child window over the owner's whole client area, with the
    // control in it; false when the control cannot be created (the child
    // window is gone again then).
    bool Create(DWORD style, UINT id);

    // The control's methods. The object may be deleted by a handler that
    // runs inside any of them: callers must not touch it afterwards.
    void GoBack();
    void GoForward();
    void GoHome();
    void Navigate(const char* url);
    void Refresh();
    void Stop();
    void Print();
    // Keeps the text and loads it as the page once "about:blank" has loaded.
    void ShowHtml(const char* html);
    // The control's location name, cut to fit `size` with its terminator;
    // its length (0 when the control has none).
    size_t LocationName(char* out, size_t size);

    // State from the control's events.
    int canGoBack = 0;
    int canGoForward = 0;
    int navigationAllowed = 1;   // read back as the answer of BeforeNavigate
    std::string lastUrl, lastHeaders, lastPostData;
    bool htmlPending = false;
    std::string pendingHtml;

    BOOL DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Keyboard messages of the control's windows go to the control first.
    bool PreTranslateMessage(MSG* msg) override;
    // The control's events, as its event sink delivers them.
    void OnEvent(DISPID id, DISPPARAMS* params) override;
    // The control's interface `iid`, with a reference for the caller.
    HRESULT QueryControl(REFIID iid, void** out) const { return m_host.QueryControl(iid, out); }

private:
    void onBeforeNavigate(DISPPARAMS* params);
    void onDocumentComplete(DISPPARAMS* params);
    void loadPendingHtml(IWebBrowser2* control, IDispatch* frame);
    int dispatchToOwner(UINT code);
    template <class Call> void callControl(Call call);

    COstrinWnd* m_owner;
    CAxHost m_host;
};

// A browser filling `owner`'s client area, visible, with child id 0; null
// when none can be created.
CWebBrowser* createWebBrowser(COstrinWnd* owner);
