// Program windows and event routing: opening and closing windows, the event
// entries a handler sees, close requests, handler answers, nesting, MDI.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

#include "support/ui_harness.h"

namespace {

// A program that opens one window with `flags` and handler h, then stops.
std::string openOnly(const std::string& flags, const std::string& extra = "")
{
    return "declare_variables w, c: WINDOW\n"
           "open_window w, 30, 30, 200, 150, " + flags + ", 0, \"title\", h\n" + extra +
           "jump finish\n"
           "h:\n"
           "return\n"
           "finish:\n";
}

TEST(Windows, OpenSetsStylesFromFlags)
{
    struct Case {
        const char* name;
        const char* flags;
        DWORD styleSet, styleClear, exStyle;
    };
    const Case cases[] = {
        {"plain top-level", "0", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_CHILD, 0},
        {"no caption", "0x40", WS_POPUP, WS_CAPTION | WS_SYSMENU, 0},
        {"tool window", "0x200", WS_POPUP | WS_CAPTION, 0, WS_EX_TOOLWINDOW},
        {"window styles pass through", "WS_THICKFRAME | WS_VSCROLL", WS_THICKFRAME | WS_VSCROLL | WS_CAPTION, 0, 0},
        {"engine bits are not styles", "0x10 | 0x100", WS_CAPTION, 0x10 | 0x100, 0},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(openOnly(c.flags));
        ASSERT_TRUE(o);
        RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name;
        HWND hwnd = hwndVar(*o, "w");
        ASSERT_TRUE(::IsWindow(hwnd)) << c.name;
        const DWORD style = ::GetWindowLongA(hwnd, GWL_STYLE);
        const DWORD exStyle = ::GetWindowLongA(hwnd, GWL_EXSTYLE);
        EXPECT_EQ(c.styleSet, style & c.styleSet) << c.name << std::hex << " style " << style;
        EXPECT_EQ(0u, style & c.styleClear) << c.name << std::hex << " style " << style;
        EXPECT_EQ(c.exStyle, exStyle & (WS_EX_TOOLWINDOW | WS_EX_MDICHILD)) << c.name;
        EXPECT_EQ(1, *reinterpret_cast<int32_t*>(o->sysInt->data)) << c.name << ": result of a created window";
        ASSERT_EQ(1u, o->windowList.size()) << c.name;
        EXPECT_EQ(static_cast<CWnd*>(windowVar(*o, "w")), o->windowList[0]) << c.name;
        char title[32] = "";
        ::GetWindowTextA(hwnd, title, sizeof title);
        EXPECT_STREQ("title", title) << c.name;
    }
}

TEST(Windows, ChildWindowAndListOrder)
{
    auto o = prepareUiProgram(openOnly("0", "open_window c, 5, 5, 50, 40, 0, w, \"child\", h\n"));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    HWND parent = hwndVar(*o, "w"), child = hwndVar(*o, "c");
    ASSERT_TRUE(child);
    EXPECT_EQ(parent, ::GetParent(child));
    const DWORD style = ::GetWindowLongA(child, GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_CLIPSIBLINGS), style & (WS_CHILD | WS_CLIPSIBLINGS | WS_POPUP));
    ASSERT_EQ(2u, o->windowList.size());
    EXPECT_EQ(static_cast<CWnd*>(windowVar(*o, "c")), o->windowList[0]) << "the most recent window heads the list";
}

TEST(Windows, OpenAndCloseErrors)
{
    struct Case {
        const char* name;
        std::string program;
        int error;
    };
    const std::string decl = "declare_variables w: WINDOW\ndeclare_variables n: INT\n";
    const Case cases[] = {
        {"eight arguments", decl + "open_window w, 0, 0, 10, 10, 0, 0, \"t\"\nh:\n", ErrArgCount},
        {"window already open", openOnly("0", "open_window w, 0, 0, 10, 10, 0, 0, \"t\", h\n"), ErrWindowInUse},
        {"not a window variable", decl + "open_window n, 0, 0, 10, 10, 0, 0, \"t\", h\nh:\n", ErrType},
        {"handler is no label", decl + "open_window w, 0, 0, 10, 10, 0, 0, \"t\", n\n", ErrType},
        {"unknown variable", "open_window nowhere, 0, 0, 10, 10, 0, 0, \"t\", h\nh:\n", ErrUndefined},
        {"size not a number", decl + "open_window w, 0, 0, \"x\", 10, 0, 0, \"t\", h\nh:\n", ErrNotNumeric},
        {"close an empty window", decl + "close_window w\n", ErrNoWindow},
        {"close a number that is no window", "close_window 12345\n", ErrNoWindow},
        {"close without argument", "close_window\n", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(c.program);
        ASSERT_TRUE(o) << c.name;
        RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error) << c.name;
    }
}

TEST(Windows, OpenWithParentThatCannotBeReadHasNoParent)
{
    // Any error but 1 and 10 while reading the parent is dropped.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\ndeclare_variables s: STRING\n"
        "open_window w, 0, 0, 60, 40, 0, s, \"t\", h\njump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    HWND hwnd = hwndVar(*o, "w");
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(nullptr, ::GetParent(hwnd));
}

TEST(Windows, CloseDestroysAndClears)
{
    auto o = prepareUiProgram(openOnly("0", "{op249} 1\nclose_window w\n{op249} 2\n"));
    ASSERT_TRUE(o);
    HWND hwnd = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { hwnd = hwndVar(t, "w"); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_FALSE(::IsWindow(hwnd));
        EXPECT_EQ(nullptr, windowVar(t, "w"));
        EXPECT_TRUE(t.windowList.empty());
        EXPECT_EQ(0, t.constants[Ostrin::CurrentWindowSlot]);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_TRUE(hwnd);
}

TEST(Windows, ReleaseDestroysOpenWindows)
{
    // Closing a window gives its handler WM_DESTROY one last time; the
    // release at the end destroys what is still open without running any
    // more of the program (its lines and stacks are gone by then).
    HWND kept = nullptr, closed = nullptr;
    int destroyEvents = 0, destroyEventsAtEnd = -1;
    {
        auto o = prepareUiProgram(
            "declare_variables w, c: WINDOW\n"
            "open_window w, 30, 30, 200, 150, 0, 0, \"kept\", h\n"
            "open_window c, 60, 60, 200, 150, 0, 0, \"closed\", h\n"
            "{op249} 1\n"
            "close_window c\n"
            "jump finish\n"
            "h:\n"
            "conditional EVENT_CODE = 2 then {op249} 2\n"
            "return\n"
            "finish:\n");
        ASSERT_TRUE(o);
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            kept = hwndVar(t, "w");
            closed = hwndVar(t, "c");
        };
        o->hooks[2] = [&](UiTestOstrin&, Statement*) { ++destroyEvents; };
        ASSERT_EQ(0, runPrepared(*o).error);
        EXPECT_TRUE(::IsWindow(kept)) << "a normal end destroys no window";
        EXPECT_FALSE(::IsWindow(closed));
        EXPECT_FALSE(o->reported);
        destroyEventsAtEnd = destroyEvents;
    }
    EXPECT_FALSE(::IsWindow(kept)) << "the window goes with its variable";
    EXPECT_EQ(1, destroyEventsAtEnd) << "the closed window's last event";
    EXPECT_EQ(1, destroyEvents) << "nothing runs while the state is released";
}

// The handler records the first two left-button presses.
const char* const mouseProgram =
    "declare_variables w: WINDOW\n"
    "declare_variables n, c1, x1, y1, f1, x2, y2: INT\n"
    "open_window w, 20, 20, 240, 180, 0, 0, \"mouse\", on_event\n"
    "{op249} 1\n"
    "wait_until n >= 2\n"
    "jump finish\n"
    "on_event:\n"
    "conditional EVENT_CODE = WM_LBUTTONDOWN\n"
    "n = n + 1\n"
    "conditional n = 1\n"
    "c1 = EVENT_CODE\n"
    "x1 = EVENT_X\n"
    "y1 = EVENT_Y\n"
    "f1 = EVENT_LPARAM\n"
    "else\n"
    "x2 = EVENT_X\n"
    "y2 = EVENT_Y\n"
    "end_conditional\n"
    "end_conditional\n"
    "return\n"
    "finish:\n";

TEST(Events, MouseCoordinatesAndKeyFlags)
{
    auto o = prepareUiProgram(mouseProgram);
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HWND hwnd = hwndVar(t, "w");
        ::PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 20));
        ::PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, -7));
    };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    struct Want { const char* var; int32_t value; };
    const Want wants[] = {
        {"c1", WM_LBUTTONDOWN}, {"x1", 10}, {"y1", 20}, {"f1", MK_LBUTTON | MK_SHIFT},
        {"x2", 65536 - 5}, {"y2", 65536 - 7},
    };
    for (const Want& w : wants) EXPECT_EQ(w.value, intVar(*o, w.var)) << w.var;
}

TEST(Events, MessagesBecomeEventCodes)
{
    // Each row sends one message; the handler copies the entries of the
    // first event with the row's code, and the row says what they hold.
    struct Case {
        const char* name;
        int32_t code, wParam, notify, menuId, controlId;
        bool lParamIsWindow;
    };
    const Case cases[] = {
        {"button clicked", 0x8004, 7 + 2024, BN_CLICKED, -1, 7, false},
        {"menu command", 0x8003, 3 + 2024, -1, 3, -1, false},
        {"notification", 0x8004, 9 + 2024, static_cast<int32_t>(NM_CLICK), -1, 9, false},
        {"size changed", 0x8009, SIZE_RESTORED, -1, -1, -1, true},
        {"timer passes through", WM_TIMER, 77, -1, -1, -1, false},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        auto o = prepareUiProgram(
            "declare_variables w: WINDOW\n"
            "declare_variables want, got, code, wp, lp, notify, menu, control, cw: INT\n"
            "open_window w, 20, 20, 200, 150, WS_THICKFRAME, 0, \"codes\", on_event\n"
            "{op249} 1\n"
            "jump finish\n"
            "on_event:\n"
            "conditional EVENT_CODE = want & got = 0\n"
            "got = 1\n"
            "code = EVENT_CODE\n"
            "wp = EVENT_WPARAM\n"
            "lp = EVENT_LPARAM\n"
            "notify = EVENT_NOTIFY\n"
            "menu = EVENT_MENU_ID\n"
            "control = EVENT_CONTROL_ID\n"
            "cw = CURRENT_WINDOW\n"
            "end_conditional\n"
            "return\n"
            "finish:\n");
        ASSERT_TRUE(o);
        // Entries the handler must not see changed keep a mark.
        o->constants[47] = o->constants[55] = o->constants[63] = -1;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            HWND hwnd = hwndVar(t, "w");
            HWND button = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD, 0, 0, 20, 20, hwnd,
                                            reinterpret_cast<HMENU>(7 + 2024), nullptr, nullptr);
            NMHDR header = {button, 9 + 2024, static_cast<UINT>(NM_CLICK)};
            // The handler records the first event with the row's code.
            std::string want = "want";
            *reinterpret_cast<int32_t*>(t.findVariable(want.data(), nullptr, false)->data) = c.code;
            switch (row) {
            case 0: ::SendMessageA(button, BM_CLICK, 0, 0); break;
            case 1: ::SendMessageA(hwnd, WM_COMMAND, 3 + 2024, 0); break;
            case 2: ::SendMessageA(hwnd, WM_NOTIFY, 9 + 2024, reinterpret_cast<LPARAM>(&header)); break;
            case 3: ::SetWindowPos(hwnd, nullptr, 0, 0, 250, 180, SWP_NOMOVE | SWP_NOZORDER); break;
            case 4: ::SendMessageA(hwnd, WM_TIMER, 77, 0); break;
            }
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        const int32_t window = static_cast<int32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(windowVar(*o, "w"))));
        EXPECT_EQ(c.code, intVar(*o, "code")) << c.name;
        EXPECT_EQ(c.wParam, intVar(*o, "wp")) << c.name;
        if (c.lParamIsWindow) {
            EXPECT_EQ(window, intVar(*o, "lp")) << c.name << ": lParam is the window";
        }
        EXPECT_EQ(c.notify, intVar(*o, "notify")) << c.name;
        EXPECT_EQ(c.menuId, intVar(*o, "menu")) << c.name;
        EXPECT_EQ(c.controlId, intVar(*o, "control")) << c.name;
        EXPECT_EQ(window, intVar(*o, "cw")) << c.name;
    }
}

TEST(Events, CloseButtonOnlyRequestsClosing)
{
    // Event 16 (WM_CLOSE) comes first and destroys nothing; the close request
    // follows through the pump with the window in CURRENT_WINDOW.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables order, same, done: INT\n"
        "open_window w, 20, 20, 200, 150, 0, 0, \"close\", on_event\n"
        "{op249} 1\n"
        "wait_until done\n"
        "jump finish\n"
        "on_event:\n"
        "conditional EVENT_CODE = 16\n"
        "order = order * 10 + 1\n"
        "end_conditional\n"
        "conditional EVENT_CODE = EV_CLOSE\n"
        "order = order * 10 + 2\n"
        "same = w = CURRENT_WINDOW\n"
        "{op249} 2\n"
        "close_window w\n"
        "done = 1\n"
        "end_conditional\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    HWND hwnd = nullptr;
    bool aliveAtRequest = false;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        hwnd = hwndVar(t, "w");
        ::PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) { aliveAtRequest = ::IsWindow(hwnd) != 0; };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    EXPECT_EQ(12, intVar(*o, "order"));
    EXPECT_EQ(1, intVar(*o, "same"));
    EXPECT_TRUE(aliveAtRequest);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Events, HandlerAnswerSuppressesUnmappedDefaultProcessing)
{
    struct Case {
        const char* name;
        const char* answer;   // the handler's return for WM_SYSCOMMAND
        bool minimised;
    };
    const Case cases[] = {
        {"integer 1 suppresses", "return 1", false},
        {"no value lets it through", "return", true},
        {"a non-integer lets it through", "return 1.5", true},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string("declare_variables w: WINDOW\n"
                                              "open_window w, 20, 20, 200, 150, WS_MINIMIZEBOX, 0, \"sys\", on_event\n"
                                              "{op249} 1\n"
                                              "jump finish\n"
                                              "on_event:\n"
                                              "conditional EVENT_CODE = 0x112 then ") +
                                  c.answer + "\nreturn\nfinish:\n");
        ASSERT_TRUE(o);
        bool iconic = false;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            HWND hwnd = hwndVar(t, "w");
            ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            iconic = ::IsIconic(hwnd) != 0;
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(c.minimised, iconic) << c.name;
    }
}

TEST(Events, SlotsRestoredAfterNestedEvent)
{
    // The handler of 0x401 causes a nested event 0x402 and then reads its
    // own entries again.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables code, wp, lp, inner, innerWp, done: INT\n"
        "open_window w, 20, 20, 200, 150, 0, 0, \"nest\", on_event\n"
        "{op249} 1\n"
        "wait_until done\n"
        "jump finish\n"
        "on_event:\n"
        "conditional EVENT_CODE = 0x402\n"
        "inner = EVENT_CODE\n"
        "innerWp = EVENT_WPARAM\n"
        "end_conditional\n"
        "conditional EVENT_CODE = 0x401\n"
        "{op249} 2\n"
        "code = EVENT_CODE\n"
        "wp = EVENT_WPARAM\n"
        "lp = EVENT_LPARAM\n"
        "done = 1\n"
        "end_conditional\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { ::PostMessageA(hwndVar(t, "w"), 0x401, 11, 12); };
    o->hooks[2] = [](UiTestOstrin& t, Statement*) { ::SendMessageA(hwndVar(t, "w"), 0x402, 21, 22); };
    // Values the entries hold outside any event must come back as well.
    const int slots[] = {0, 1, 2, 3, 4, 47, 63, 72};
    for (int s : slots) o->constants[s] = 1000 + s;
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(0x402, intVar(*o, "inner"));
    EXPECT_EQ(21, intVar(*o, "innerWp"));
    EXPECT_EQ(0x401, intVar(*o, "code"));
    EXPECT_EQ(11, intVar(*o, "wp"));
    EXPECT_EQ(12, intVar(*o, "lp"));
    for (int s : slots) EXPECT_EQ(1000 + s, o->constants[s]) << "entry " << s;
}

TEST(Events, HandlerMayCloseItsOwnWindow)
{
    // The object must outlive the message that is still being processed.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables done: INT\n"
        "open_window w, 20, 20, 200, 150, 0, 0, \"self\", on_event\n"
        "{op249} 1\n"
        "wait_until done\n"
        "jump finish\n"
        "on_event:\n"
        "conditional EVENT_CODE = WM_LBUTTONDOWN\n"
        "close_window w\n"
        "done = 1\n"
        "end_conditional\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    HWND hwnd = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        hwnd = hwndVar(t, "w");
        ::PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(nullptr, windowVar(*o, "w"));
}

TEST(Events, ErrorInHandlerStopsTheRun)
{
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables n: INT\n"
        "open_window w, 20, 20, 200, 150, 0, 0, \"err\", on_event\n"
        "{op249} 1\n"
        "wait_until n\n"
        "jump finish\n"
        "on_event:\n"
        "conditional EVENT_CODE = 0x401 then n = 1 / 0\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { ::PostMessageA(hwndVar(t, "w"), 0x401, 0, 0); };
    RunResult r = runPrepared(*o);
    EXPECT_EQ(ErrDivideByZero, r.error);
    EXPECT_EQ(8, r.line) << "the handler's line is reported";
}

TEST(Events, MdiFrameCarriesOutWindowMenuCommandsAndFitsItsBars)
{
    auto o = prepareUiProgram(
        "declare_variables f, a, b: WINDOW\n"
        "declare_variables menuId: INT\n"
        "open_window f, 0, 0, 600, 400, 0x20 | WS_THICKFRAME, 0, \"frame\", on_event\n"
        "open_window a, 0, 0, 100, 100, WS_THICKFRAME, f, \"a\", on_event\n"
        "open_window b, 0, 0, 100, 100, WS_THICKFRAME, f, \"b\", on_event\n"
        "{op249} 1\n"
        "{op249} 2\n"
        "jump finish\n"
        "on_event:\n"
        "conditional EVENT_CODE = EV_MENU then menuId = EVENT_MENU_ID\n"
        "conditional EVENT_CODE = EV_MENU then return 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    RECT before = {}, after = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        COstrinWnd* frame = windowVar(t, "f");
        ASSERT_TRUE(frame && frame->isMdiFrame());
        HWND client = frame->client()->GetSafeHwnd();
        char cls[32] = "";
        ::GetClassNameA(client, cls, sizeof cls);
        EXPECT_EQ(0, _stricmp("MDICLIENT", cls)) << cls;
        HWND a = hwndVar(t, "a");
        EXPECT_EQ(client, ::GetParent(a));
        EXPECT_TRUE(::GetWindowLongA(a, GWL_EXSTYLE) & WS_EX_MDICHILD);
        HMENU bar = ::GetMenu(frame->GetSafeHwnd());
        char text[32] = "";
        ::GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ("&Window", text);
        ::GetWindowRect(a, &before);
        // The handler answers 1 for menu events; tiling happens anyway.
        ::SendMessageA(frame->GetSafeHwnd(), WM_COMMAND, COstrinWnd::CmdTile, 0);
        ::GetWindowRect(a, &after);
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        // A status bar among the frame's controls takes its height off the
        // MDI client.
        COstrinWnd* frame = windowVar(t, "f");
        HWND client = frame->client()->GetSafeHwnd();
        RECT frameClient = {}, before = {}, after = {};
        ::GetClientRect(frame->GetSafeHwnd(), &frameClient);
        ::GetClientRect(client, &before);
        ::InitCommonControls();
        auto* bar = new CWnd;
        ASSERT_TRUE(bar->CreateEx(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame->GetSafeHwnd(),
                                  reinterpret_cast<HMENU>(2100)));
        frame->addControl(bar);   // the frame owns it now
        RECT barRect = {};
        ::GetWindowRect(bar->GetSafeHwnd(), &barRect);
        ::GetClientRect(client, &after);
        EXPECT_EQ(before.bottom, frameClient.bottom);
        EXPECT_EQ(frameClient.bottom - (barRect.bottom - barRect.top), after.bottom);
        EXPECT_EQ(1, frame->layoutBars());
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(static_cast<int>(COstrinWnd::CmdTile) - 2024, intVar(*o, "menuId"));
    EXPECT_FALSE(before.left == after.left && before.top == after.top && before.right == after.right &&
                 before.bottom == after.bottom)
        << "tiling moved or sized the child";
}

}  // namespace
