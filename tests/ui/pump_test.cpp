// The message pump: list order, blocking and polling passes, waiting, and
// messages of windows the program did not open.
#include <gtest/gtest.h>

#include <string>

#include "support/ui_harness.h"

namespace {

// Posts `message` to `hwnd` from another thread after `delayMs`.
struct LatePost {
    HWND hwnd;
    UINT message;
    DWORD delayMs;
};

DWORD WINAPI postLater(void* arg)
{
    const auto* p = static_cast<const LatePost*>(arg);
    ::Sleep(p->delayMs);
    ::PostMessageA(p->hwnd, p->message, 0, 0);
    return 0;
}

// A window of no program: counts the messages it is given.
int strangerMessages = 0;
LRESULT CALLBACK strangerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 9) ++strangerMessages;
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND makeStranger()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = strangerProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "OstrinPumpTestStranger";
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

TEST(Pump, TheMostRecentWindowIsServedFirst)
{
    auto o = prepareUiProgram(
        "declare_variables a, b: WINDOW\n"
        "declare_variables first, second, n: INT\n"
        "open_window a, 10, 10, 100, 80, 0, 0, \"a\", h\n"
        "open_window b, 150, 10, 100, 80, 0, 0, \"b\", h\n"
        "{op249} 1\n"
        "process_events 1\n"
        "process_events 1\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = 0x401\n"
        "n = n + 1\n"
        "conditional n = 1 then first = CURRENT_WINDOW\n"
        "conditional n = 2 then second = CURRENT_WINDOW\n"
        "end_conditional\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        pumpPending();
        ::PostMessageA(hwndVar(t, "a"), 0x401, 0, 0);
        ::PostMessageA(hwndVar(t, "b"), 0x401, 0, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    const auto value = [](COstrinWnd* w) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(w))); };
    EXPECT_EQ(value(windowVar(*o, "b")), intVar(*o, "first"));
    EXPECT_EQ(value(windowVar(*o, "a")), intVar(*o, "second"));
}

TEST(Pump, PollingReturnsAtOnceBlockingWaits)
{
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables late: INT\n"
        "open_window w, 10, 10, 100, 80, 0, 0, \"w\", h\n"
        "{op249} 1\n"
        "process_events 1\n"
        "{op249} 2\n"
        "process_events\n"
        "{op249} 3\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = 0x402 then late = 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    DWORD start = 0, polled = 0, blocked = 0;
    LatePost post = {};
    o->hooks[1] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        start = ::GetTickCount();
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        polled = ::GetTickCount() - start;
        post = {hwndVar(t, "w"), 0x402, 300};
        HANDLE thread = ::CreateThread(nullptr, 0, postLater, &post, 0, nullptr);
        ::CloseHandle(thread);
        start = ::GetTickCount();
    };
    o->hooks[3] = [&](UiTestOstrin&, Statement*) { blocked = ::GetTickCount() - start; };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_LT(polled, 200u) << "a polling pass does not wait";
    EXPECT_GE(blocked, 250u) << "a blocking pass waits for the message";
    EXPECT_EQ(1, intVar(*o, "late"));
}

TEST(Pump, WaitUntilThatHoldsDoesNotPump)
{
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables seen: INT\n"
        "open_window w, 10, 10, 100, 80, 0, 0, \"w\", h\n"
        "{op249} 1\n"
        "wait_until 2 > 1\n"
        "{op249} 2\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = 0x403 then seen = 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    bool stillQueued = false;
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { ::PostMessageA(hwndVar(t, "w"), 0x403, 0, 0); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        MSG msg;
        stillQueued = ::PeekMessageA(&msg, hwndVar(t, "w"), 0x403, 0x403, PM_NOREMOVE) != 0;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_TRUE(stillQueued);
    EXPECT_EQ(0, intVar(*o, "seen"));
}

TEST(Pump, MessageThatEndedTheWaitIsDrainedByTheNextPass)
{
    // A blocking pass wakes for a message of a window the program did not
    // open, finds nothing of its own and returns; the next pass handles it.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "open_window w, 10, 10, 100, 80, 0, 0, \"w\", h\n"
        "{op249} 1\n"
        "process_events\n"
        "{op249} 2\n"
        "process_events 1\n"
        "{op249} 3\n"
        "jump finish\n"
        "h:\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    HWND stranger = makeStranger();
    ASSERT_TRUE(stranger);
    strangerMessages = 0;
    LatePost post = {stranger, WM_USER + 9, 200};
    int afterFirst = -1, afterSecond = -1;
    DWORD start = 0, waited = 0;
    o->hooks[1] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        start = ::GetTickCount();
        ::CloseHandle(::CreateThread(nullptr, 0, postLater, &post, 0, nullptr));
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) {
        waited = ::GetTickCount() - start;
        afterFirst = strangerMessages;
        ::Sleep(100);   // the message has surely arrived by now
    };
    o->hooks[3] = [&](UiTestOstrin&, Statement*) { afterSecond = strangerMessages; };
    ASSERT_EQ(0, runPrepared(*o).error);
    ::DestroyWindow(stranger);
    EXPECT_GE(waited, 150u) << "the blocking pass waited for the message";
    EXPECT_EQ(0, afterFirst);
    EXPECT_EQ(1, afterSecond);
}

TEST(Pump, ArgumentCounts)
{
    struct Case {
        const char* program;
        int error;
    };
    const Case cases[] = {
        {"process_events 1, 2\n", ErrMalformed},
        {"process_events 1\n", 0},
        {"wait_until\n", ErrMalformed},
        {"wait_until 1, 2\n", ErrMalformed},
        {"wait_until 1 / 0\n", ErrDivideByZero},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(c.program);
        ASSERT_TRUE(o) << c.program;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.program;
    }
}

}  // namespace
