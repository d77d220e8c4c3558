// Waits for a message box, reports its text and presses OK.
//
//   watcher.exe [title [timeout_ms]]
//
// Runs beside a program under test in the same Wine prefix. Polls every
// 50 ms for a dialog-class window with the given title (default "Error");
// when one appears, prints "box: " and its text to stdout, presses OK so
// the program can go on, and exits 0. After the timeout (default 30000 ms)
// it prints "no box" and exits 1. The end-to-end runner stops it early once
// the program has ended, since a box blocks the program until dismissed.
//
//   watcher.exe title timeout_ms [--press ID] [--type TEXT]
//               [--set ID TEXT] [--select ID TEXT] [--click ID] ...
//
// --press presses the button with that id instead of OK (2 cancels, 7 is
// "No"); --type first puts TEXT into the file-name box of a file dialog, as
// a user typing a name would. Before pressing, the watcher acts on the
// dialog's controls in the order given: --set puts TEXT into control ID (an
// edit box), --select picks the entry TEXT of combo box ID and tells the
// dialog, --click clicks button ID (a check box toggles).
//
//   watcher.exe --keep-desktop
//
// Starts Wine's desktop process, prints "ready", and then stays until its
// standard input ends. The desktop process inherits the Unix stderr of
// whichever program starts it and lives as long as anything uses the
// desktop; started from a test it would hold that test's output pipe open
// and CTest would wait on it. The test scripts start it here first, with
// no pipe attached.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The static text of a message box carries this id on Windows and Wine.
constexpr int MessageTextId = 0xFFFF;
constexpr DWORD PollMs = 50;
// The file-name box of the explorer-style open and save dialogs.
constexpr int FileNameBoxId = 0x47C;

// One thing done to a control of the dialog before the button is pressed.
struct ControlStep {
    enum Kind { Set, Select, Click } kind;
    int id;
    const char* text;
};

struct Action {
    int button = IDOK;
    const char* text = nullptr;   // typed into the file-name box first
    std::vector<ControlStep> steps;
};

int keepDesktop()
{
    // Any window makes Wine start the desktop; ours need not stay.
    HWND w = CreateWindowExA(0, "STATIC", "desktop keeper", WS_POPUP, 0, 0, 1, 1,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (w) DestroyWindow(w);
    std::printf(w ? "ready\n" : "no desktop\n");
    std::fflush(stdout);
    char buf[256];
    while (std::fread(buf, 1, sizeof buf, stdin) > 0) {
    }
    return w ? 0 : 1;
}

// Types into the file-name box once the dialog has made it.
void typeFileName(HWND box, const char* text)
{
    HWND edit = nullptr;
    for (int tries = 0; tries < 40 && !(edit = GetDlgItem(box, FileNameBoxId)); ++tries) Sleep(PollMs);
    if (edit) SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void doStep(HWND box, const ControlStep& step)
{
    HWND control = GetDlgItem(box, step.id);
    switch (step.kind) {
    case ControlStep::Set:
        SetDlgItemTextA(box, step.id, step.text);
        break;
    case ControlStep::Select:
        SendMessageA(control, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(step.text));
        SendMessageA(box, WM_COMMAND, MAKEWPARAM(step.id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        break;
    case ControlStep::Click:
        SendMessageA(control, BM_CLICK, 0, 0);
        break;
    }
}

int watchForBox(const char* title, DWORD timeoutMs, const Action& action)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND box = FindWindowA("#32770", title);
        if (box) {
            // The box may exist a moment before its controls do.
            char text[4096] = "";
            for (int tries = 0; tries < 20 && !GetDlgItemTextA(box, MessageTextId, text, sizeof text); ++tries)
                Sleep(PollMs);
            std::printf("box: %s\n", text);
            std::fflush(stdout);
            if (action.text) typeFileName(box, action.text);
            for (const ControlStep& step : action.steps) doStep(box, step);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(action.button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, action.button)));
            return 0;
        }
        if (GetTickCount() - start >= timeoutMs) break;
        Sleep(PollMs);
    }
    std::printf("no box\n");
    std::fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--keep-desktop") == 0) return keepDesktop();
    const char* title = argc > 1 ? argv[1] : "Error";
    const DWORD timeoutMs = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 30000;
    Action action;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--press") == 0) {
            action.button = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--type") == 0) {
            action.text = argv[i + 1];
        } else if (std::strcmp(argv[i], "--click") == 0) {
            action.steps.push_back({ControlStep::Click, std::atoi(argv[i + 1]), nullptr});
        } else if (i + 2 < argc && (std::strcmp(argv[i], "--set") == 0 || std::strcmp(argv[i], "--select") == 0)) {
            const auto kind = std::strcmp(argv[i], "--set") == 0 ? ControlStep::Set : ControlStep::Select;
            action.steps.push_back({kind, std::atoi(argv[i + 1]), argv[i + 2]});
            ++i;
        }
    }
    return watchForBox(title, timeoutMs, action);
}
