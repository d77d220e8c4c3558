// The embedded web browser: creation through the open-window flag, the
// browser statement's operations and errors, navigation events reaching the
// handler, cancellation, command states, and the host's release.
//
// Wine here has no web engine: the control is created and activated, a
// navigation request fires BeforeNavigate2, CommandStateChange (always
// "disabled"), DownloadBegin/End and NavigateError, but never
// NavigateComplete2 or DocumentComplete, and it has no document. Those two
// events are delivered here the way the control's sink would deliver them,
// so their handling is checked, not Wine's part in it.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <ole2.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/axhost.h"
#include "support/ui_harness.h"
#include "ui/services/web_browser.h"

namespace {

// The engine's entry point initialises OLE; the test executable leaves it
// to each test, so a test can also see creation fail without it.
struct OleScope {
    bool ok;
    OleScope() : ok(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleScope()
    {
        if (ok) ::OleUninitialize();
    }
};

// While it lives, creating the browser control fails: a class object of
// ours, registered for its class, refuses to make one.
class RefusedControl : public IClassFactory {
public:
    RefusedControl()
    {
        m_ok = SUCCEEDED(::CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                 &m_cookie));
    }
    ~RefusedControl()
    {
        if (m_ok) ::CoRevokeClassObject(m_cookie);
    }
    bool ok() const { return m_ok; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void** out) override
    {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    DWORD m_cookie = 0;
    bool m_ok = false;
};

CWebBrowser* browserVar(Ostrin& o, const char* name)
{
    COstrinWnd* w = windowVar(o, name);
    return w ? dynamic_cast<CWebBrowser*>(w->browser) : nullptr;
}

// A program with window w opened with `flags`, `body` after it, and a
// handler that records every navigation event it sees: their count, the
// event entries, and what the browser statement answers in the handler.
std::string browserProgram(const std::string& body, const std::string& handler = "",
                           const std::string& flags = "0x100")
{
    return "declare_variables w, empty: WINDOW\n"
           "declare_variables n, r, before, complete, code, wp, lp, cw, after: INT\n"
           "declare_variables s, url, hdr, post: STRING\n"
           "open_window w, 10, 10, 320, 240, " + flags + ", 0, \"browser\", h\n" + body +
           "jump finish\n"
           "h:\n"
           "conditional EVENT_CODE = EV_BEFORE_NAVIGATE | EVENT_CODE = EV_NAVIGATE_COMPLETE\n"
           "conditional EVENT_CODE = EV_BEFORE_NAVIGATE then before = before + 1\n"
           "conditional EVENT_CODE = EV_NAVIGATE_COMPLETE then complete = complete + 1\n"
           "code = EVENT_CODE\n"
           "wp = EVENT_WPARAM\n"
           "lp = EVENT_LPARAM\n"
           "cw = CURRENT_WINDOW\n"
           "url = browser(w, 12)\n"
           "hdr = browser(w, 11)\n"
           "post = browser(w, 10)\n"
           "end_conditional\n" + handler +
           "return\n"
           "finish:\n";
}

// Pumps the program's windows a while, so posted navigations happen.
const char* const Pump = "counted_loop n, 1, 25\nprocess_events 1\nnext_step n\n";

// A second sink on the control, to see what the control itself does
// (DownloadBegin follows a navigation the control went on with).
class EventCounter : public IDispatch {
public:
    std::map<DISPID, int> counts;

    bool attach(CWebBrowser* b)
    {
        IConnectionPointContainer* points = nullptr;
        if (!b || FAILED(b->QueryControl(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))))
            return false;
        const bool ok = SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_point)) &&
                        SUCCEEDED(m_point->Advise(this, &m_cookie));
        points->Release();
        return ok;
    }
    void detach()
    {
        if (!m_point) return;
        m_point->Unadvise(m_cookie);
        m_point->Release();
        m_point = nullptr;
    }
    ~EventCounter() { detach(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++counts[id];
        return S_OK;
    }

private:
    ULONG m_refs = 1;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
};

// Event parameters built as Wine's control passes them.
struct Params {
    std::vector<VARIANT> args;   // in declaration order
    std::vector<VARIANT> inner;  // what by-reference variants point at
    std::vector<BSTR> strings;
    SAFEARRAY* array = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;

    Params() { inner.reserve(8); }
    ~Params()
    {
        for (BSTR s : strings) ::SysFreeString(s);
        if (array) ::SafeArrayDestroy(array);
    }
    void add(VARIANT v) { args.push_back(v); }
    void addLong(VARTYPE type, long value)
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = type;
        if (type == VT_BOOL) v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        else v.lVal = value;
        add(v);
    }
    void addDispatch(IDispatch* d)
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_DISPATCH;
        v.pdispVal = d;
        add(v);
    }
    // A VT_BYREF | VT_VARIANT parameter whose variant holds `value`.
    void addByRef(VARIANT value)
    {
        inner.push_back(value);
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = &inner.back();
        add(v);
    }
    void addText(const wchar_t* text)
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(text);
        strings.push_back(v.bstrVal);
        addByRef(v);
    }
    void addBytes(const char* bytes)
    {
        const ULONG n = static_cast<ULONG>(std::strlen(bytes));
        array = ::SafeArrayCreateVector(VT_UI1, 0, n);
        void* data = nullptr;
        ::SafeArrayAccessData(array, &data);
        std::memcpy(data, bytes, n);
        ::SafeArrayUnaccessData(array);
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_ARRAY | VT_UI1;
        v.parray = array;
        addByRef(v);
    }
    void addCancel()
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BYREF | VT_BOOL;
        v.pboolVal = &cancel;
        add(v);
    }
    // Delivers the event as the sink would: last parameter first.
    void fire(CWebBrowser* b, DISPID id)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS p = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        b->OnEvent(id, &p);
    }
};

// BeforeNavigate2 with these URL, post data and headers.
void fireBeforeNavigate(CWebBrowser* b, IDispatch* frame, const wchar_t* url, const char* post,
                        const wchar_t* headers, VARIANT_BOOL* cancelOut)
{
    Params p;
    VARIANT empty;
    ::VariantInit(&empty);
    p.addDispatch(frame);
    p.addText(url);
    p.addByRef(empty);   // flags
    p.addByRef(empty);   // target frame
    if (post) p.addBytes(post);
    else p.addByRef(empty);
    p.addText(headers);
    p.addCancel();
    p.fire(b, DISPID_BEFORENAVIGATE2);
    if (cancelOut) *cancelOut = p.cancel;
}

TEST(Browser, CreationFollowsFlagAndOle)
{
    struct Case {
        const char* name;
        const char* flags;
        bool refused;
        bool wantBrowser;
    };
    const Case cases[] = {
        {"browser flag", "0x100", false, true},
        {"browser flag, the control cannot be created: no browser", "0x100", true, false},
        {"no browser flag", "0", false, false},
        {"an MDI frame takes no browser", "0x120", false, false},
    };
    OleScope ole;
    for (const Case& c : cases) {
        const long liveBefore = CAxHost::LiveSiteObjects();
        {
            std::unique_ptr<RefusedControl> refuse(c.refused ? new RefusedControl : nullptr);
            ASSERT_TRUE(!refuse || refuse->ok()) << c.name;
            auto o = prepareUiProgram(browserProgram("r = 1\n", "", c.flags));
            ASSERT_TRUE(o);
            ASSERT_EQ(0, runPrepared(*o).error) << c.name;
            EXPECT_EQ(1, *reinterpret_cast<int32_t*>(o->sysInt->data)) << c.name << ": the window itself opens";
            COstrinWnd* w = windowVar(*o, "w");
            ASSERT_TRUE(w) << c.name;
            EXPECT_EQ(c.wantBrowser, w->browser != nullptr) << c.name;
            if (c.wantBrowser) {
                HWND child = w->browser->GetSafeHwnd();
                ASSERT_TRUE(::IsWindow(child)) << c.name;
                EXPECT_EQ(w->GetSafeHwnd(), ::GetParent(child)) << c.name;
                EXPECT_TRUE(::IsWindowVisible(child)) << c.name;
                EXPECT_EQ(0, ::GetDlgCtrlID(child)) << c.name;
                // The control's own window sits inside, over all of it.
                EXPECT_TRUE(::GetWindow(child, GW_CHILD)) << c.name << ": the control is in place";
                RECT outer = {}, inner = {};
                ::GetClientRect(w->GetSafeHwnd(), &outer);
                ::GetWindowRect(child, &inner);
                EXPECT_EQ(outer.right, inner.right - inner.left) << c.name;
                EXPECT_EQ(outer.bottom, inner.bottom - inner.top) << c.name;
                EXPECT_EQ(liveBefore + 2, CAxHost::LiveSiteObjects()) << c.name << ": site and sink";
            } else {
                EXPECT_EQ(liveBefore, CAxHost::LiveSiteObjects()) << c.name;
            }
        }
        pumpPending();
        EXPECT_EQ(liveBefore, CAxHost::LiveSiteObjects()) << c.name << ": every reference given back";
    }
}

TEST(Browser, FollowsTheWindowsSize)
{
    OleScope ole;
    auto o = prepareUiProgram(browserProgram("{op249} 1\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        ::MoveWindow(hwndVar(t, "w"), 10, 10, 500, 400, TRUE);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    COstrinWnd* w = windowVar(*o, "w");
    ASSERT_TRUE(w && w->browser);
    RECT client = {}, container = {}, control = {};
    ::GetClientRect(w->GetSafeHwnd(), &client);
    ::GetClientRect(w->browser->GetSafeHwnd(), &container);
    ::GetWindowRect(::GetWindow(w->browser->GetSafeHwnd(), GW_CHILD), &control);
    EXPECT_EQ(client.right, container.right);
    EXPECT_EQ(client.bottom, container.bottom);
    EXPECT_EQ(client.right, control.right - control.left) << "the control follows its container";
    EXPECT_EQ(client.bottom, control.bottom - control.top);
}

TEST(Browser, StatementErrors)
{
    struct Case {
        std::string name;
        std::string body;
        int error;
    };
    std::vector<Case> withBrowser = {
        {"no arguments does nothing", "browser\n", 0},
        {"window without operation", "browser w\n", 56},
        {"navigate without its text", "browser w, 0\n", 56},
        {"show HTML without its text", "browser w, 14\n", 56},
        {"four arguments", "browser w, 1, \"a\", \"b\"\n", 56},
        {"operation 15", "browser w, 15\n", 7},
        {"operation -1", "browser w, -1\n", 7},
        {"operation not a number", "browser w, \"1\"\n", 19},
        {"an INT instead of the window", "browser n, 1\n", 14},
        {"text not a string", "browser w, 0, 5\n", 14},
        {"empty window variable", "browser empty, 1\n", 25},
    };
    // When the control cannot be created the window has no browser: every
    // operation then finds none, after the checks of its arguments.
    std::vector<Case> withoutBrowser = {
        {"no browser: operation 15 is still error 7", "browser w, 15\n", 7},
        {"no browser: missing text is still error 56", "browser w, 0\n", 56},
    };
    for (int op = 0; op <= 14; ++op) {
        const bool text = op == 0 || op == 14;
        withoutBrowser.push_back({"no browser: operation " + std::to_string(op),
                                  "browser w, " + std::to_string(op) + (text ? ", \"about:blank\"" : "") + "\n", 66});
    }
    OleScope ole;
    for (bool refused : {false, true}) {
        std::unique_ptr<RefusedControl> refuse(refused ? new RefusedControl : nullptr);
        for (const Case& c : refused ? withoutBrowser : withBrowser) {
            auto o = prepareUiProgram(browserProgram(c.body));
            ASSERT_TRUE(o);
            EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
            EXPECT_EQ(!refused, browserVar(*o, "w") != nullptr) << c.name;
        }
    }
}

// Every operation on a browser without a web engine: none is an error, none
// crashes; answers are empty where the control has nothing to give.
TEST(Browser, OperationsWithoutAWebEngine)
{
    struct Case {
        const char* name;
        const char* body;
        int wantBefore;        // BeforeNavigate events, -1: whatever Wine does
        const char* wantText;  // s afterwards, or null
        int wantInt;           // r afterwards, or -1
    };
    const Case cases[] = {
        {"0 navigate", "browser w, 0, \"http://example.invalid/a\"\n", 1, nullptr, -1},
        {"1 home", "browser w, 1\n", 1, nullptr, -1},
        {"2 back, not possible yet", "browser w, 2\n", 0, nullptr, -1},
        {"3 forward, not possible yet", "browser w, 3\n", 0, nullptr, -1},
        {"4 refresh", "browser w, 4\n", -1, nullptr, -1},
        {"5 stop", "browser w, 5\n", 0, nullptr, -1},
        {"6 location name: none without a page", "s = browser(w, 6)\n", 0, "", -1},
        {"7 can go back", "r = browser(w, 7)\n", 0, nullptr, 0},
        {"8 can go forward", "r = browser(w, 8)\n", 0, nullptr, 0},
        {"9 forbid, outside a navigation", "browser w, 9\n", 0, nullptr, -1},
        {"10 post data before any navigation", "s = browser(w, 10)\n", 0, "", -1},
        {"11 headers before any navigation", "s = browser(w, 11)\n", 0, "", -1},
        {"12 last URL after a navigation", "browser w, 0, \"http://example.invalid/u\"\ns = browser(w, 12)\n", 1,
         "http://example.invalid/u", -1},
        {"13 print: no document, nothing printed", "browser w, 13\n", 0, nullptr, -1},
        {"14 show HTML navigates to about:blank", "browser w, 14, \"<p>hi</p>\"\n", 1, nullptr, -1},
    };
    OleScope ole;
    for (const Case& c : cases) {
        auto o = prepareUiProgram(browserProgram("r = -1\ns = \"unset\"\n" + std::string(c.body) + Pump));
        ASSERT_TRUE(o);
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        CWebBrowser* b = browserVar(*o, "w");
        ASSERT_TRUE(b) << c.name;
        if (c.wantBefore >= 0) {
            EXPECT_EQ(c.wantBefore, intVar(*o, "before")) << c.name;
        }
        if (c.wantText) {
            EXPECT_EQ(c.wantText, stringVar(*o, "s")) << c.name;
        }
        if (c.wantInt >= 0) {
            EXPECT_EQ(c.wantInt, intVar(*o, "r")) << c.name;
        }
        EXPECT_EQ(0, intVar(*o, "complete")) << c.name << ": Wine never completes a navigation";
    }
    // The HTML waits for a DocumentComplete that Wine never sends.
    auto o = prepareUiProgram(browserProgram("browser w, 14, \"<p>hi</p>\"\n" + std::string(Pump)));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    CWebBrowser* b = browserVar(*o, "w");
    ASSERT_TRUE(b);
    EXPECT_EQ("about:blank", stringVar(*o, "url"));
    EXPECT_TRUE(b->htmlPending);
    EXPECT_EQ("<p>hi</p>", b->pendingHtml);
}

TEST(Browser, BeforeNavigateReachesTheHandler)
{
    OleScope ole;
    auto o = prepareUiProgram(browserProgram(
        "browser w, 0, \"http://example.invalid/first?q=1\"\n" + std::string(Pump) + "after = EVENT_CODE\n"));
    ASSERT_TRUE(o);
    o->constants[0] = 1234;   // the program's own value, restored after each event
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(1, intVar(*o, "before"));
    EXPECT_EQ(0x800D, intVar(*o, "code"));
    EXPECT_EQ(0, intVar(*o, "wp"));
    EXPECT_EQ(0, intVar(*o, "lp"));
    EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(windowVar(*o, "w")))),
              intVar(*o, "cw"))
        << "the event runs for the hosting window";
    EXPECT_EQ("http://example.invalid/first?q=1", stringVar(*o, "url"));
    EXPECT_EQ("", stringVar(*o, "hdr"));
    EXPECT_EQ("", stringVar(*o, "post"));
    EXPECT_EQ(1234, intVar(*o, "after")) << "event entries restored";
}

// The handler forbids navigations to URLs with "blocked" in them: the
// control then does not go on (no download starts), and the next
// navigation is allowed again even after a forbid outside the handler.
TEST(Browser, HandlerForbidsANavigation)
{
    OleScope ole;
    EventCounter counter;
    std::map<DISPID, int> afterBlocked, afterOpen;
    auto o = prepareUiProgram(browserProgram(
        "{op249} 1\n"
        "browser w, 0, \"http://example.invalid/blocked\"\n" + std::string(Pump) +
        "{op249} 2\n"
        "browser w, 9\n"
        "browser w, 0, \"http://example.invalid/open\"\n" + std::string(Pump) +
        "{op249} 3\n",
        "conditional EVENT_CODE = EV_BEFORE_NAVIGATE\n"
        "conditional find_text(browser(w, 12), \"blocked\") > 0 then browser w, 9\n"
        "end_conditional\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { ASSERT_TRUE(counter.attach(browserVar(t, "w"))); };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) { afterBlocked = counter.counts; };
    o->hooks[3] = [&](UiTestOstrin&, Statement*) {
        afterOpen = counter.counts;
        counter.detach();
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(2, intVar(*o, "before"));
    EXPECT_EQ(1, afterBlocked[DISPID_BEFORENAVIGATE2]);
    EXPECT_EQ(0, afterBlocked[DISPID_DOWNLOADBEGIN]) << "the forbidden navigation did not go on";
    EXPECT_EQ(0, afterBlocked[DISPID_NAVIGATEERROR]);
    EXPECT_EQ(2, afterOpen[DISPID_BEFORENAVIGATE2]);
    EXPECT_EQ(1, afterOpen[DISPID_DOWNLOADBEGIN]) << "the allowed navigation went on";
    EXPECT_EQ("http://example.invalid/open", stringVar(*o, "url"));
}

// Command states from Wine's own events (it reports both commands
// disabled), then from events delivered as the control would send them.
TEST(Browser, CommandStatesFollowTheEvents)
{
    OleScope ole;
    EventCounter counter;
    struct Step {
        const char* name;
        long command;
        bool enable;
        int wantBack, wantForward;
    };
    const Step steps[] = {
        {"back enabled", CSC_NAVIGATEBACK, true, 1, 0},
        {"forward enabled", CSC_NAVIGATEFORWARD, true, 1, 1},
        {"update-commands changes nothing", CSC_UPDATECOMMANDS, false, 1, 1},
        {"back disabled", CSC_NAVIGATEBACK, false, 0, 1},
        {"forward disabled", CSC_NAVIGATEFORWARD, false, 0, 0},
    };
    std::vector<std::pair<int, int>> seen;
    auto o = prepareUiProgram(browserProgram(
        "{op249} 1\n"
        "browser w, 0, \"http://example.invalid/a\"\n" + std::string(Pump) +
        "{op249} 2\n"
        "r = browser(w, 7) * 10 + browser(w, 8)\n"
        "{op249} 3\n"
        "counted_loop n, 1, 5\n"
        "{op249} 4\n"
        "r = browser(w, 7) * 10 + browser(w, 8)\n"
        "{op249} 5\n"
        "next_step n\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { ASSERT_TRUE(counter.attach(browserVar(t, "w"))); };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) { counter.detach(); };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) { seen.push_back({intVar(t, "r") / 10, intVar(t, "r") % 10}); };
    size_t step = 0;
    o->hooks[4] = [&](UiTestOstrin& t, Statement*) {
        Params p;
        p.addLong(VT_I4, steps[step].command);
        p.addLong(VT_BOOL, steps[step].enable);
        p.fire(browserVar(t, "w"), DISPID_COMMANDSTATECHANGE);
    };
    o->hooks[5] = [&](UiTestOstrin& t, Statement*) {
        seen.push_back({intVar(t, "r") / 10, intVar(t, "r") % 10});
        ++step;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_GE(counter.counts[DISPID_COMMANDSTATECHANGE], 2) << "Wine reports both command states";
    ASSERT_EQ(1 + std::size(steps), seen.size());
    EXPECT_EQ(std::make_pair(0, 0), seen[0]) << "Wine's navigation leaves both disabled";
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(steps[i].wantBack, seen[i + 1].first) << steps[i].name;
        EXPECT_EQ(steps[i].wantForward, seen[i + 1].second) << steps[i].name;
    }
}

// With can-go-back set, operation 2 calls the control (which, without
// history, does nothing) and is no error.
TEST(Browser, BackAndForwardOnceEnabled)
{
    OleScope ole;
    auto o = prepareUiProgram(browserProgram("{op249} 1\nbrowser w, 2\nbrowser w, 3\n" + std::string(Pump)));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        for (long command : {CSC_NAVIGATEBACK, CSC_NAVIGATEFORWARD}) {
            Params p;
            p.addLong(VT_I4, command);
            p.addLong(VT_BOOL, 1);
            p.fire(browserVar(t, "w"), DISPID_COMMANDSTATECHANGE);
        }
    };
    EXPECT_EQ(0, runPrepared(*o).error);
}

// The events Wine never sends, delivered as the control would deliver them.
TEST(Browser, EventsWineNeverSends)
{
    OleScope ole;
    VARIANT_BOOL allowedAnswer = 1, forbiddenAnswer = 0;
    bool pendingAfterTop = true, pendingAfterFrame = true;
    std::string urlAfterComplete;
    int codeAfterComplete = 0;
    EventCounter other;   // some dispatch object that is not the browser
    auto o = prepareUiProgram(browserProgram(
        "{op249} 1\n"
        "browser w, 14, \"<p>hi</p>\"\n"
        "{op249} 3\n"
        "browser w, 14, \"<p>again</p>\"\n"
        "{op249} 4\n",
        "conditional EVENT_CODE = EV_BEFORE_NAVIGATE\n"
        "conditional find_text(browser(w, 12), \"no\") > 0 then browser w, 9\n"
        "end_conditional\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        CWebBrowser* b = browserVar(t, "w");
        fireBeforeNavigate(b, nullptr, L"http://example.invalid/form", "a=1&b=2", L"X-Test: 1\r\n", &allowedAnswer);
        EXPECT_EQ("a=1&b=2", stringVar(t, "post")) << "post data as text";
        EXPECT_EQ("X-Test: 1\r\n", stringVar(t, "hdr"));
        fireBeforeNavigate(b, nullptr, L"http://example.invalid/no", nullptr, L"", &forbiddenAnswer);
        EXPECT_EQ("", stringVar(t, "post")) << "emptied by the next navigation";
        Params p;
        p.addDispatch(nullptr);
        p.addText(L"http://example.invalid/done");
        p.fire(b, DISPID_NAVIGATECOMPLETE2);
        urlAfterComplete = stringVar(t, "url");
        codeAfterComplete = intVar(t, "code");
    };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
        CWebBrowser* b = browserVar(t, "w");
        IDispatch* application = nullptr;
        ASSERT_TRUE(SUCCEEDED(b->QueryControl(IID_IDispatch, reinterpret_cast<void**>(&application))));
        Params p;
        p.addDispatch(application);
        p.addText(L"about:blank");
        p.fire(b, DISPID_DOCUMENTCOMPLETE);   // the top level: no document to load into, under Wine
        application->Release();
        pendingAfterTop = b->htmlPending;
    };
    o->hooks[4] = [&](UiTestOstrin& t, Statement*) {
        CWebBrowser* b = browserVar(t, "w");
        Params p;
        p.addDispatch(&other);
        p.addText(L"about:blank");
        p.fire(b, DISPID_DOCUMENTCOMPLETE);   // a frame's document
        pendingAfterFrame = b->htmlPending;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(VARIANT_FALSE, allowedAnswer) << "cancel answer of an allowed navigation";
    EXPECT_EQ(VARIANT_TRUE, forbiddenAnswer) << "cancel answer of a forbidden one";
    EXPECT_EQ(1, intVar(*o, "complete"));
    EXPECT_EQ(0x800E, codeAfterComplete);
    EXPECT_EQ("http://example.invalid/done", urlAfterComplete);
    EXPECT_FALSE(pendingAfterTop);
    EXPECT_FALSE(pendingAfterFrame);
}

TEST(Browser, HandlerClosesTheWindowInsideAnEvent)
{
    OleScope ole;
    const long liveBefore = CAxHost::LiveSiteObjects();
    long liveInside = -1;
    auto o = prepareUiProgram(browserProgram(
        "browser w, 0, \"http://example.invalid/x\"\n"
        "{op249} 1\n" + std::string(Pump) +
        "{op249} 2\n"
        "browser w, 1\n",
        "conditional EVENT_CODE = EV_BEFORE_NAVIGATE then close_window w\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [&](UiTestOstrin&, Statement*) {
        liveInside = CAxHost::LiveSiteObjects();
        ::Sleep(50);   // the release runs on a zero-delay timer, at least 10 ms away
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_EQ(liveBefore, CAxHost::LiveSiteObjects()) << "released once the event had returned";
        EXPECT_EQ(0u, t.windowList.size());
    };
    EXPECT_EQ(25, runPrepared(*o).error) << "the window is gone";
    EXPECT_EQ(1, intVar(*o, "before"));
    EXPECT_EQ(liveBefore + 2, liveInside) << "not released inside the control's own event";
}

// Every site and sink object is freed once the window goes, without any
// message loop afterwards.
TEST(Browser, HostIsReleasedWithItsWindow)
{
    struct Case {
        const char* name;
        const char* body;
        const char* handler;
    };
    const Case cases[] = {
        {"closed by the program", "close_window w\n", ""},
        {"closed after navigations", "browser w, 0, \"http://example.invalid/1\"\nbrowser w, 1\n"
                                     "counted_loop n, 1, 25\nprocess_events 1\nnext_step n\nclose_window w\n", ""},
        {"left open at the end of the run", "browser w, 0, \"http://example.invalid/2\"\n", ""},
        {"closed inside its event as the run ends", "browser w, 0, \"http://example.invalid/3\"\n",
         "conditional EVENT_CODE = EV_BEFORE_NAVIGATE then close_window w\n"},
    };
    OleScope ole;
    for (const Case& c : cases) {
        const long liveBefore = CAxHost::LiveSiteObjects();
        {
            auto o = prepareUiProgram(browserProgram(c.body, c.handler));
            ASSERT_TRUE(o);
            ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        }
        EXPECT_EQ(liveBefore, CAxHost::LiveSiteObjects()) << c.name;
    }
}

// Keys for a browser window go through its pre-translation (dialog-style
// keys, as for a dialog): Enter is taken there and never reaches the
// handler as a key, while a plain window's handler sees it.
TEST(Browser, KeysArePreTranslated)
{
    OleScope ole;
    for (const char* flags : {"0x100", "0"}) {
        auto o = prepareUiProgram(browserProgram(
            "{op249} 1\n" + std::string(Pump),
            "conditional EVENT_CODE = WM_KEYDOWN & EVENT_WPARAM = 13 then r = r + 1\n", flags));
        ASSERT_TRUE(o);
        o->hooks[1] = [](UiTestOstrin& t, Statement*) {
            ::PostMessageA(hwndVar(t, "w"), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << flags;
        const bool browser = std::strcmp(flags, "0x100") == 0;
        EXPECT_EQ(browser ? 0 : 1, intVar(*o, "r")) << "flags " << flags;
    }
}

}  // namespace
