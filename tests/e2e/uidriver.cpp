// Drives a program's window with real input and checks what it shows.
//
//   uidriver.exe SCRIPT WORKDIR
//
// Runs beside a program under test in the same Wine prefix and carries out
// the commands of SCRIPT, one per line, in order (lines starting with "#"
// are comments):
//
//   window TITLE        wait (10 s) for a visible top-level window with
//                       this title; later commands act on it
//   click X Y           left click at client point (X, Y)
//   rclick X Y          right click
//   drag X1 Y1 X2 Y2    press at the first point, move to the second in
//                       steps, release
//   key K               press and release a key: a letter or digit, or one
//                       of ESC, ENTER, TAB, SPACE, LEFT, RIGHT, UP, DOWN,
//                       F1 ... F12; held with modifiers as alt+F, ctrl+S,
//                       shift+TAB (alt+F opens a menu by its mnemonic)
//   menubar X           left click the window's menu bar at client x X
//                       (fails when there is no menu bar there)
//   close               click the close button of the title bar; if the
//                       window is still there 2 s later, send the request
//                       the button makes (SC_CLOSE) as a message
//   cover MS            put a window of our own over the target for MS
//                       milliseconds, then take it away (Wine keeps what a
//                       covered window showed, so this rarely repaints)
//   minimize MS         minimise the window and restore it after MS
//                       milliseconds: it must repaint all of its client area
//   sleep MS            wait
//   shot NAME           capture the client area from the screen into
//                       WORKDIR/NAME.bmp; pixel checks read the last shot
//   pixel X Y RRGGBB    the last shot has this colour at client (X, Y)
//   follow NAME         capture into NAME.bmp every 250 ms until the
//                       window is gone (keeps the last picture)
//   gone                wait (10 s) until the window no longer exists
//
// Input is real: mouse and keys go through SendInput, so they reach the
// program the way a user's do (hit-testing, focus, the message queue).
// Each command prints "ok: ..." or "FAIL: ..."; the exit code is 1 when
// any command failed. Pixels are written RRGGBB, as people write colours
// (a program's COLORREF 0x00BBGGRR 0x0000FF is "FF0000").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD PollMs = 50;

// How long to wait for a window to come or go: 10 s, times the slow-down
// the scripts export for machines that emulate i386 code.
DWORD waitMs()
{
    char factor[16] = "";
    ::GetEnvironmentVariableA("OSTRIN_TIME_FACTOR", factor, sizeof factor);
    const int f = std::atoi(factor);
    return 10000 * static_cast<DWORD>(f > 1 ? f : 1);
}

HWND target = nullptr;
std::string workDir;
int failures = 0;

// The last shot: its size and 0x00RRGGBB pixels, top row first.
int shotWidth = 0, shotHeight = 0;
std::vector<unsigned> shotPixels;

void report(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

bool needTarget(const std::string& command)
{
    if (target && ::IsWindow(target)) return true;
    report(false, command + ": no window (a 'window TITLE' command must come first)");
    return false;
}

POINT toScreen(int x, int y)
{
    POINT p = {x, y};
    ::ClientToScreen(target, &p);
    return p;
}

void sendMouse(DWORD flags, POINT screen)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(screen.x * 65535 / (cx > 1 ? cx - 1 : 1));
    in.mi.dy = static_cast<LONG>(screen.y * 65535 / (cy > 1 ? cy - 1 : 1));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof in);
    ::Sleep(20);
}

void bringToFront()
{
    ::SetForegroundWindow(target);
    ::Sleep(50);
}

void click(POINT screen, bool right)
{
    bringToFront();
    sendMouse(0, screen);
    sendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, screen);
    sendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, screen);
}

WORD keyCode(const std::string& name)
{
    struct Named { const char* name; WORD vk; };
    static const Named named[] = {
        {"ESC", VK_ESCAPE}, {"ENTER", VK_RETURN}, {"TAB", VK_TAB}, {"SPACE", VK_SPACE},
        {"LEFT", VK_LEFT}, {"RIGHT", VK_RIGHT}, {"UP", VK_UP}, {"DOWN", VK_DOWN},
    };
    for (const Named& n : named)
        if (name == n.name) return n.vk;
    if (name.size() >= 2 && name[0] == 'F') {
        const int f = std::atoi(name.c_str() + 1);
        if (f >= 1 && f <= 12) return static_cast<WORD>(VK_F1 + f - 1);
    }
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= 'a' && c <= 'z') return static_cast<WORD>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<WORD>(c);
    }
    return 0;
}

// Presses the modifiers, then the key, and releases them in reverse.
void pressKey(WORD vk, const std::vector<WORD>& modifiers)
{
    bringToFront();
    std::vector<INPUT> in;
    auto add = [&in](WORD key, bool up) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = key;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    for (WORD m : modifiers) add(m, false);
    add(vk, false);
    add(vk, true);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) add(*m, true);
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof in[0]);
    ::Sleep(50);
}

// "alt+ctrl+F": the modifiers' virtual keys and the key's; 0 for a name
// that is neither.
WORD parseKey(const std::string& text, std::vector<WORD>& modifiers)
{
    std::string rest = text;
    for (size_t plus; (plus = rest.find('+')) != std::string::npos && plus + 1 < rest.size();) {
        const std::string m = rest.substr(0, plus);
        if (m == "alt") modifiers.push_back(VK_MENU);
        else if (m == "ctrl") modifiers.push_back(VK_CONTROL);
        else if (m == "shift") modifiers.push_back(VK_SHIFT);
        else return 0;
        rest = rest.substr(plus + 1);
    }
    return keyCode(rest);
}

// A point of the menu bar at client x, found by asking the window what
// lies above its client area (menu bar heights vary with fonts).
bool menuBarPoint(int x, POINT& at)
{
    const POINT origin = toScreen(x, 0);
    RECT r = {};
    ::GetWindowRect(target, &r);
    int first = -1, last = -1;
    for (int y = r.top; y < origin.y; ++y) {
        if (::SendMessageA(target, WM_NCHITTEST, 0, MAKELPARAM(origin.x, y)) != HTMENU) continue;
        if (first < 0) first = y;
        last = y;
    }
    if (first < 0) return false;
    at = {origin.x, (first + last) / 2};
    return true;
}

// The close button, found by asking the window what lies along its
// caption (frame sizes and button widths vary with the theme).
bool closeButton(POINT& at)
{
    RECT r = {};
    ::GetWindowRect(target, &r);
    const int captionY = ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    for (int x = r.right - 1; x > r.left; --x) {
        const LRESULT hit =
            ::SendMessageA(target, WM_NCHITTEST, 0, MAKELPARAM(x, r.top + captionY));
        if (hit == HTCLOSE) {
            at = {x - 4, r.top + captionY};
            return true;
        }
        if (x < r.right - 200) break;
    }
    return false;
}

bool capture(const std::string& name, bool quiet)
{
    RECT client = {};
    ::GetClientRect(target, &client);
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) {
        if (!quiet) report(false, "shot " + name + ": the window has no client area");
        return false;
    }
    const POINT origin = toScreen(0, 0);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;   // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    shotWidth = w;
    shotHeight = h;
    const auto* px = static_cast<const unsigned*>(bits);
    shotPixels.assign(px, px + static_cast<size_t>(w) * h);
    for (unsigned& p : shotPixels) p &= 0xFFFFFF;
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);

    // A 24-bit bottom-up BMP, which every viewer opens.
    const std::string path = workDir + "\\" + name + ".bmp";
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = static_cast<DWORD>(stride * h);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    bool written = false;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&ih, sizeof ih, 1, f);
        std::vector<unsigned char> row(static_cast<size_t>(stride), 0);
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const unsigned p = shotPixels[static_cast<size_t>(y) * w + x];
                row[x * 3 + 0] = static_cast<unsigned char>(p & 0xFF);
                row[x * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
                row[x * 3 + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
            }
            std::fwrite(row.data(), 1, row.size(), f);
        }
        written = std::fclose(f) == 0;
    }
    ::DeleteObject(dib);
    if (!quiet) report(written, "shot " + name + " (" + std::to_string(w) + "x" + std::to_string(h) + ")");
    return written;
}

// Whether the target window is gone within ms milliseconds.
bool goneWithin(DWORD ms)
{
    for (DWORD waited = 0; target && ::IsWindow(target) && waited < ms; waited += PollMs) ::Sleep(PollMs);
    return target && !::IsWindow(target);
}

bool waitFor(const char* title)
{
    for (DWORD waited = 0, limit = waitMs(); waited < limit; waited += PollMs) {
        HWND hwnd = ::FindWindowA(nullptr, title);
        if (hwnd && ::IsWindowVisible(hwnd)) {
            target = hwnd;
            ::Sleep(200);   // let it paint
            return true;
        }
        ::Sleep(PollMs);
    }
    return false;
}

LRESULT CALLBACK coverProc(HWND hwnd, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_ERASEBKGND) {
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::FillRect(reinterpret_cast<HDC>(w), &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return 1;
    }
    return ::DefWindowProcA(hwnd, m, w, l);
}

void cover(DWORD ms)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = coverProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "UiDriverCover";
    ::RegisterClassA(&wc);
    RECT r = {};
    ::GetWindowRect(target, &r);
    HWND c = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    const DWORD until = ::GetTickCount() + ms;
    MSG msg;
    while (::GetTickCount() < until) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        ::Sleep(10);
    }
    ::DestroyWindow(c);
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    ::Sleep(300);   // the target repaints what was covered
}

void run(const std::string& line)
{
    char command[32] = "";
    int consumed = 0;
    if (std::sscanf(line.c_str(), "%31s %n", command, &consumed) < 1) return;
    const std::string cmd = command, rest = line.substr(static_cast<size_t>(consumed));
    int a = 0, b = 0, c = 0, d = 0;

    if (cmd == "window") {
        report(waitFor(rest.c_str()), "window " + rest);
    } else if (cmd == "sleep") {
        ::Sleep(static_cast<DWORD>(std::atoi(rest.c_str())));
    } else if (cmd == "gone") {
        report(goneWithin(waitMs()), "gone");
    } else if (!needTarget(cmd)) {
        return;
    } else if ((cmd == "click" || cmd == "rclick") && std::sscanf(rest.c_str(), "%d %d", &a, &b) == 2) {
        click(toScreen(a, b), cmd == "rclick");
        report(true, line);
    } else if (cmd == "drag" && std::sscanf(rest.c_str(), "%d %d %d %d", &a, &b, &c, &d) == 4) {
        bringToFront();
        sendMouse(0, toScreen(a, b));
        sendMouse(MOUSEEVENTF_LEFTDOWN, toScreen(a, b));
        constexpr int Steps = 10;
        for (int i = 1; i <= Steps; ++i) sendMouse(0, toScreen(a + (c - a) * i / Steps, b + (d - b) * i / Steps));
        sendMouse(MOUSEEVENTF_LEFTUP, toScreen(c, d));
        report(true, line);
    } else if (cmd == "key") {
        std::vector<WORD> modifiers;
        const WORD vk = parseKey(rest, modifiers);
        if (vk) pressKey(vk, modifiers);
        report(vk != 0, line);
    } else if (cmd == "menubar" && std::sscanf(rest.c_str(), "%d", &a) == 1) {
        POINT at = {};
        const bool found = menuBarPoint(a, at);
        if (found) click(at, false);
        report(found, found ? line : line + ": no menu bar there");
    } else if (cmd == "close") {
        POINT at = {};
        const bool found = closeButton(at);
        if (found) {
            click(at, false);
            // Under Xvfb the button's click now and then never arrives:
            // then its request goes as a message, so that a test fails on
            // what the program does, not on lost input.
            if (!goneWithin(waitMs() / 5)) ::PostMessageA(target, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        report(found, found ? line : "close: no close button on the title bar");
    } else if (cmd == "cover") {
        cover(static_cast<DWORD>(std::atoi(rest.c_str())));
        report(true, line);
    } else if (cmd == "minimize") {
        ::ShowWindow(target, SW_MINIMIZE);
        ::Sleep(static_cast<DWORD>(std::atoi(rest.c_str())));
        ::ShowWindow(target, SW_RESTORE);
        ::Sleep(300);
        report(!::IsIconic(target), line);
    } else if (cmd == "shot") {
        capture(rest, false);
    } else if (cmd == "pixel") {
        unsigned want = 0;
        if (std::sscanf(rest.c_str(), "%d %d %x", &a, &b, &want) != 3) {
            report(false, "pixel: write 'pixel X Y RRGGBB'");
        } else if (a < 0 || b < 0 || a >= shotWidth || b >= shotHeight) {
            report(false, line + ": outside the last shot");
        } else {
            const unsigned got = shotPixels[static_cast<size_t>(b) * shotWidth + a];
            char text[128];
            std::snprintf(text, sizeof text, "pixel %d %d is %06X, expected %06X", a, b, got, want);
            report(got == want, text);
        }
    } else if (cmd == "follow") {
        bool any = false;
        while (::IsWindow(target)) {
            if (::IsWindowVisible(target)) any = capture(rest, true) || any;
            ::Sleep(250);
        }
        report(any, "follow " + rest);
    } else {
        report(false, "unknown command: " + line);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: uidriver.exe SCRIPT WORKDIR\n");
        return 2;
    }
    workDir = argv[2];
    FILE* f = std::fopen(argv[1], "r");
    if (!f) {
        std::printf("FAIL: cannot read %s\n", argv[1]);
        return 1;
    }
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (!text.empty() && text[0] != '#') run(text);
    }
    std::fclose(f);
    return failures ? 1 : 0;
}
