// CWnd: a C++ object bound to one HWND, with a virtual window procedure.
//
// The binding lives in one HWND->object map, kept here and nowhere else; the
// engine is single-threaded, so the map needs no locks. A window of one of
// our own classes (registered with CWnd::StaticWindowProc) is bound on its
// very first message: CreateEx remembers the object in a pending pointer and
// the static procedure files it. A window of any other class (MDICLIENT, the
// system controls) is bound by subclassing from a creation hook (WH_CBT)
// before its first message, so it sees its own WM_CREATE; its previous
// procedure is kept and receives everything we do not handle.
//
// Message flow: StaticWindowProc -> WindowProc (virtual) -> OnWndMsg, which
// reflects WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR* and WM_DRAWITEM to the child's
// object first (OnChildNotify), then routes commands and notifications to
// OnCommand/OnNotify -> DefWindowProc (virtual) for whatever nobody handled.
// The binding goes at WM_NCDESTROY, after which PostNcDestroy runs; it does
// nothing by default because owners, not windows, delete the objects.
//
// An object may be deleted while one of its own messages is still being
// processed further up the stack (an event handler that closes its window).
// CWnd::DeleteSafely defers the delete until that outermost message returns,
// so no frame ever runs on a deleted object.
#pragma once

#include <windows.h>

// Run-time class record: a name and the base's record, so code can ask
// "is this object a dialog?" without knowing every derived class.
struct CRuntimeClass {
    const char* m_className;
    const CRuntimeClass* m_baseClass;
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CWnd {
public:
    static const CRuntimeClass classCWnd;

    CWnd();
    // Destroys the window if it still exists (its messages no longer reach
    // the derived part then).
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCWnd; }
    bool IsKindOf(const CRuntimeClass* c) const { return GetRuntimeClass()->IsDerivedFrom(c); }

    HWND GetSafeHwnd() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }

    // The object bound to hwnd, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    // True when `object` is a CWnd that exists and is not waiting for its
    // deferred delete: guards handles that come from outside (programs).
    static bool IsLiveObject(const void* object);
    // Deletes the object now, or once the outermost message it is
    // processing has returned. The object stops being live at once.
    static void DeleteSafely(CWnd* wnd);

    // Keeps an object from being deleted while code that created or runs
    // it still works on it (a statement whose window's handlers may close
    // that window): a DeleteSafely meanwhile takes effect when the guard
    // ends, and IsLiveObject tells whether one happened.
    class KeepAlive {
    public:
        explicit KeepAlive(CWnd* wnd) : m_wnd(wnd) { ++wnd->m_msgDepth; }
        ~KeepAlive() { LeaveMessage(m_wnd); }
        KeepAlive(const KeepAlive&) = delete;
        KeepAlive& operator=(const KeepAlive&) = delete;

    private:
        CWnd* m_wnd;
    };

    // Creates the window and binds it to this object; false on failure.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, void* param = nullptr);
    // Binds an existing window and routes its messages through this object.
    bool SubclassWindow(HWND hwnd);
    // Gives the window its previous procedure back; returns the window.
    HWND UnsubclassWindow();
    virtual BOOL DestroyWindow();
    // Centres a child window in its parent's client area, and any other
    // window over its owner (when that is visible and not minimised) or
    // else in the work area, which it is then kept inside.
    void CenterWindow();

    // The window procedure of our own classes.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Reflection and routing; true when handled, with the answer in *result.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Default processing: the previous procedure of a subclassed window,
    // else DefWindowProcA.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND that no child took; true when handled.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY that no child took; true when handled.
    virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification the parent reflects to this child object first; a
    // nonzero answer means handled (and is the parent's answer).
    virtual LRESULT OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam);
    // Keyboard pre-translation for loops that ask; true when consumed.
    virtual bool PreTranslateMessage(MSG* msg);
    // Runs just before a window is subclassed by SubclassWindow.
    virtual void PreSubclassWindow();
    // Runs after the last message (WM_NCDESTROY); nothing by default.
    virtual void PostNcDestroy();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hwnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hwnd, message, wParam, lParam);
    }

protected:
    void Attach(HWND hwnd);
    void Detach();
    // Bracket the processing of one message, so DeleteSafely can tell
    // whether the object is still in use; LeaveMessage may delete it.
    void EnterMessage() { ++m_msgDepth; }
    static void LeaveMessage(CWnd* wnd);
    // The object a procedure of ours should give the message to: the bound
    // one, or the pending one (filed now); null for neither.
    static CWnd* Claim(HWND hwnd, CWnd*& pending);

    // True while CreateEx creates this object's window: a creation hook's
    // PreSubclassWindow runs before the window has its text and size.
    bool IsCreating() const { return m_creating; }

    HWND m_hwnd = nullptr;

private:
    bool m_creating = false;
    WNDPROC m_prevProc = nullptr;
    int m_msgDepth = 0;          // messages of this object in progress
    bool m_deletePending = false;
};
