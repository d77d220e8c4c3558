// CAxHost: the container side of one ActiveX control shown in a window of
// ours, and the sink that receives the control's events.
//
// The control talks to us through two small COM objects: the site (client
// site, in-place site and in-place frame in one) and the event sink (an
// IDispatch for the control's outgoing event interface). Both live by
// their reference counts, not by the host: the control may hold on to them
// for as long as it likes, and an object it still references is never
// freed under it. The host keeps one reference to each and gives it back
// when the control goes.
//
// Events arrive while the control is in the middle of its own work, and a
// handler may destroy the window that shows the control. So the host never
// releases a control from inside one of that control's events: Destroy
// then cuts the events off at once and leaves the release to a zero-delay
// thread timer, which the next message loop runs once the event has
// returned.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <vector>

// Receives the control's events by dispatch id, with the parameters as the
// control passed them (last parameter first, as DISPPARAMS keeps them).
class CAxEventTarget {
public:
    virtual ~CAxEventTarget() = default;
    virtual void OnEvent(DISPID id, DISPPARAMS* params) = 0;
};

class CAxHost {
public:
    CAxHost() = default;
    ~CAxHost() { Destroy(); }
    CAxHost(const CAxHost&) = delete;
    CAxHost& operator=(const CAxHost&) = delete;

    // The window class for containers: a plain child window of our own
    // procedure that paints nothing (the control covers it).
    static const char* ContainerClass();

    // Creates the control `clsid`, activates it in place over the client
    // area of `container` and connects `target` to its events `eventsIid`.
    // False, with everything released again, when any step fails.
    bool Create(HWND container, REFCLSID clsid, REFIID eventsIid, CAxEventTarget* target);
    // Stops the events at once, deactivates and releases the control (later,
    // when called from inside one of its events). Safe to call twice.
    void Destroy();
    bool IsCreated() const { return m_object != nullptr; }

    // Fits the control to the container's client area.
    void Resize();
    // Offers a keyboard message to the active control (its accelerators and
    // focus keys); true when the control took it.
    bool TranslateAccelerator(MSG* msg);
    // The control's interface `iid`, with a reference for the caller.
    HRESULT QueryControl(REFIID iid, void** out) const;

    // Site and sink objects not yet freed, of every host: zero once every
    // control has given back every reference to them.
    static long LiveSiteObjects();
    // Releases the controls whose release had to wait; run by the timer.
    static void ReleaseDeferred();

private:
    class CSite;
    class CSink;
    struct Parts;

    static void Release(Parts& parts);
    // Controls whose release waits for their event to return.
    static std::vector<Parts*>& deferred();

    IOleObject* m_object = nullptr;
    CSite* m_site = nullptr;
    CSink* m_sink = nullptr;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
    HWND m_container = nullptr;
};
