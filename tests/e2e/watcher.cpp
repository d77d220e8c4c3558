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

namespace {

// The static text of a message box carries this id on Windows and Wine.
constexpr int MessageTextId = 0xFFFF;
constexpr DWORD PollMs = 50;

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

int watchForBox(const char* title, DWORD timeoutMs)
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
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
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
    return watchForBox(title, timeoutMs);
}
