// Timers, window and client rectangles, moving and showing, titles, screen
// size, caret position, dialog keys and window data.
#include <gtest/gtest.h>

#include <string>

#include "support/ui_harness.h"

namespace {

constexpr int ControlIdBase = 2024;

std::string withWindow(const std::string& body, const std::string& handler = "")
{
    return "declare_variables w: WINDOW\n"
           "declare_variables a, b, c, d, n: INT\n"
           "open_window w, 40, 50, 320, 240, WS_THICKFRAME | WS_MINIMIZEBOX, 0, \"services\", h\n" + body +
           "jump finish\n"
           "h:\n" + handler +
           "return\n"
           "finish:\n";
}

// A child control with program id `id` on the window of variable w.
HWND addControl(UiTestOstrin& t, const char* cls, int id, int x, int y, DWORD style = 0)
{
    return ::CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, 80, 24, hwndVar(t, "w"),
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id + ControlIdBase)), nullptr, nullptr);
}

TEST(Services, TimersAreToldApartAndKilledById)
{
    auto o = prepareUiProgram(withWindow(
        "declare_variables t1, t2, k1, k2, other: INT\n"
        "set_timer w, 20\n"
        "set_timer w, 30, 2\n"
        "wait_until t1 >= 3 & t2 >= 2\n"
        "kill_timer w\n"
        "kill_timer w, 2\n"
        "k1 = t1\n"
        "k2 = t2\n"
        "{op249} 1\n"
        "counted_loop n, 1, 20\n"
        "process_events 1\n"
        "next_step n\n",
        "conditional EVENT_CODE = WM_TIMER & EVENT_WPARAM = 1 then t1 = t1 + 1\n"
        "conditional EVENT_CODE = WM_TIMER & EVENT_WPARAM = 2 then t2 = t2 + 1\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) { ::Sleep(150); };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_GE(intVar(*o, "t1"), 3);
    EXPECT_GE(intVar(*o, "t2"), 2);
    EXPECT_EQ(intVar(*o, "k1"), intVar(*o, "t1")) << "timer 1 stopped by kill_timer without an id";
    EXPECT_EQ(intVar(*o, "k2"), intVar(*o, "t2")) << "timer 2 stopped";
}

TEST(Services, RectanglesOfWindowsAndControls)
{
    auto o = prepareUiProgram(withWindow(
        "declare_variables cx, cy, cw, ch, rx, ry, rw, rh, kx, ky, kw, kh: INT\n"
        "{op249} 1\n"
        "get_client_rect w, cx, cy, cw, ch\n"
        "get_window_rect w, rx, ry, rw, rh\n"
        "get_window_rect w, kx, ky, kw, kh, 7\n"));
    ASSERT_TRUE(o);
    RECT client = {}, window = {}, control = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        HWND button = addControl(t, "BUTTON", 7, 15, 25);
        ::GetClientRect(hwndVar(t, "w"), &client);
        ::GetWindowRect(hwndVar(t, "w"), &window);
        ::GetWindowRect(button, &control);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    struct Want { const char* var; LONG value; };
    const Want wants[] = {
        {"cx", 0}, {"cy", 0}, {"cw", client.right}, {"ch", client.bottom},
        {"rx", window.left}, {"ry", window.top}, {"rw", window.right - window.left}, {"rh", window.bottom - window.top},
        {"kx", control.left}, {"ky", control.top}, {"kw", 80}, {"kh", 24},
    };
    for (const Want& w : wants) EXPECT_EQ(w.value, intVar(*o, w.var)) << w.var;
    EXPECT_GT(intVar(*o, "kx"), 15) << "a control's rectangle is in screen coordinates";
}

TEST(Services, MoveRestoresAndMovesOnlyWhatItNames)
{
    auto o = prepareUiProgram(withWindow(
        "{op249} 1\n"
        "show_window w, 6\n"
        "{op249} 2\n"
        "move_window w, 60, 70, 300, 200\n"
        "move_window w, 5, 6, 50, 20, 7\n"
        "show_window w, 0, 7\n"
        "{op249} 3\n"));
    ASSERT_TRUE(o);
    HWND control = nullptr;
    bool minimised = false;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { control = addControl(t, "BUTTON", 7, 15, 25); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) { minimised = ::IsIconic(hwndVar(t, "w")) != 0; };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
        HWND hwnd = hwndVar(t, "w");
        EXPECT_FALSE(::IsIconic(hwnd));
        RECT r = {};
        ::GetWindowRect(hwnd, &r);
        EXPECT_EQ(60, r.left);
        EXPECT_EQ(70, r.top);
        EXPECT_EQ(300, r.right - r.left);
        EXPECT_EQ(200, r.bottom - r.top);
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(5, r.left);
        EXPECT_EQ(50, r.right - r.left);
        EXPECT_FALSE(::IsWindowVisible(control)) << "show_window with an id acts on the control";
        EXPECT_TRUE(::IsWindowVisible(hwnd));
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_TRUE(minimised);
}

TEST(Services, TitleScreenSizeAndCaret)
{
    auto o = prepareUiProgram(withWindow(
        "declare_variables s: STRING\n"
        "set_window_text w, \"New title\"\n"
        "s = get_window_text(w)\n"
        "get_screen_size a, b\n"
        "{op249} 1\n"
        "get_caret_position w, c, d\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HWND hwnd = hwndVar(t, "w");
        ::SetFocus(hwnd);
        ::CreateCaret(hwnd, nullptr, 2, 10);
        ::SetCaretPos(12, 34);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    char title[64] = "";
    ::GetWindowTextA(hwndVar(*o, "w"), title, sizeof title);
    EXPECT_STREQ("New title", title);
    EXPECT_EQ("New title", stringVar(*o, "s"));
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), intVar(*o, "a"));
    EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), intVar(*o, "b"));
    EXPECT_EQ(12, intVar(*o, "c"));
    EXPECT_EQ(34, intVar(*o, "d"));
    ::DestroyCaret();
}

TEST(Services, WindowDataRoundTrips)
{
    auto o = prepareUiProgram(withWindow(
        "declare_variables u, v: UINT\n"
        "declare_variables p, q: POINTER\n"
        "a = -123456\n"
        "set_window_data w, a\n"
        "get_window_data w, b\n"
        "u = 4000000000\n"
        "set_window_data w, u\n"
        "get_window_data w, v\n"
        "p = c\n"
        "set_window_data w, p\n"
        "get_window_data w, q\n"
        "#q = 42\n"));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(-123456, intVar(*o, "b"));
    EXPECT_EQ(4000000000.0, doubleVar(*o, "v"));
    EXPECT_EQ(42, intVar(*o, "c")) << "the pointer read back refers to the same variable";
}

TEST(Services, DialogKeysMoveTheFocus)
{
    for (int flag : {1, 0}) {
        auto o = prepareUiProgram(withWindow(
            "set_dialog_keys w, " + std::to_string(flag) + "\n"
            "{op249} 1\n"
            "counted_loop n, 1, 10\n"
            "process_events 1\n"
            "next_step n\n"));
        ASSERT_TRUE(o);
        HWND first = nullptr, second = nullptr;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            first = addControl(t, "EDIT", 1, 10, 10, WS_TABSTOP | WS_BORDER);
            second = addControl(t, "EDIT", 2, 10, 50, WS_TABSTOP | WS_BORDER);
            ::SetForegroundWindow(hwndVar(t, "w"));
            ::SetFocus(first);
            ::PostMessageA(first, WM_KEYDOWN, VK_TAB, 0x000F0001);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << flag;
        EXPECT_EQ(flag ? second : first, ::GetFocus()) << "dialog keys " << flag;
    }
}

TEST(Services, ArgumentErrors)
{
    struct Case {
        const char* name;
        const char* body;
        int error;
    };
    const Case cases[] = {
        {"timer without interval", "set_timer w\n", ErrArgCount},
        {"timer on an empty window", "declare_variables e: WINDOW\nset_timer e, 10\n", ErrNoWindow},
        {"kill with three arguments", "kill_timer w, 1, 2\n", ErrArgCount},
        {"client rect with four arguments", "get_client_rect w, a, b, c\n", ErrArgCount},
        {"rect into a literal", "get_client_rect w, a, 5, c, d\n", ErrType},
        {"rect into a double", "declare_variables x: DOUBLE\nget_client_rect w, a, x, c, d\n", ErrNotInteger},
        {"rect of a missing control", "get_window_rect w, a, b, c, d, 99\n", ErrNoControl},
        {"move a missing control", "move_window w, 1, 2, 3, 4, 99\n", ErrNoControl},
        {"window data from a literal", "set_window_data w, 5\n", ErrExternalArg},
        {"window data of a string", "declare_variables s: STRING\nget_window_data w, s\n", ErrType},
        {"dialog keys on a number", "set_dialog_keys 777, 1\n", ErrNoWindow},
        {"screen size with one argument", "get_screen_size a\n", ErrArgCount},
        {"window text with a number", "set_window_text w, 5\n", ErrType},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withWindow(c.body));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
    }
}

TEST(Services, RectStopsAtTheFirstBadVariable)
{
    auto o = prepareUiProgram(withWindow("get_client_rect w, a, b, c, 5\n"));
    ASSERT_TRUE(o);
    EXPECT_EQ(ErrType, runPrepared(*o).error);
    RECT client = {};
    ::GetClientRect(hwndVar(*o, "w"), &client);
    EXPECT_EQ(client.right, intVar(*o, "c")) << "components before the bad one are written";
}

}  // namespace
