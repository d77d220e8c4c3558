// The Win32 console behind the console statements.
//
// The engine is a GUI process: it has no console until a program asks for
// one. Opening allocates a console (or keeps the one the process is already
// attached to), re-attaches the C run-time's standard streams to it so the
// file statements can use them too, installs a control handler so Ctrl+C and
// the close button do not kill the process, and brings the console window
// to the top. Failing console calls are not errors: their effects are
// simply absent.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "interp/host.h"
#include "interp/ostrin.h"

namespace {

// Runs on a thread the system creates: answers only, touches nothing.
BOOL WINAPI controlHandler(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_CLOSE_EVENT;
}

// Points C descriptor `fd` (and so its stream) at the current standard
// handle. The handle is duplicated, because closing a descriptor closes its
// handle and the standard handle itself must stay usable.
void reattach(FILE* stream, int fd, DWORD which, int flags)
{
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    if (reinterpret_cast<HANDLE>(_get_osfhandle(fd)) != h) {
        HANDLE copy = nullptr;
        HANDLE self = GetCurrentProcess();
        if (!DuplicateHandle(self, h, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return;
        const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(copy), flags);
        if (opened < 0) {
            CloseHandle(copy);
            return;
        }
        if (opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
    clearerr(stream);
    setvbuf(stream, nullptr, _IONBF, 0);
}

// Finds the console window by a temporary unique title, since a console
// process cannot otherwise name its window, and raises it.
void bringToTop()
{
    char saved[1024];
    if (GetConsoleTitleA(saved, sizeof saved) == 0) saved[0] = 0;
    char temporary[64];
    std::snprintf(temporary, sizeof temporary, "%d/%d", static_cast<int>(GetTickCount()),
                  static_cast<int>(GetCurrentProcessId()));
    SetConsoleTitleA(temporary);
    Sleep(100);   // the title reaches the window asynchronously
    HWND window = FindWindowA(nullptr, temporary);
    SetConsoleTitleA(saved);
    if (window) BringWindowToTop(window);
}

class Win32Console : public ConsoleDevice {
public:
    bool open() override
    {
        // Under a terminal the process is already attached: allocation
        // fails, and the attached console serves.
        AllocConsole();
        reattach(stdout, 1, STD_OUTPUT_HANDLE, _O_TEXT);
        reattach(stdin, 0, STD_INPUT_HANDLE, _O_TEXT | _O_RDONLY);
        if (!m_handlerInstalled) m_handlerInstalled = SetConsoleCtrlHandler(controlHandler, TRUE) != 0;
        bringToTop();
        DWORD mode;
        return GetConsoleMode(output(), &mode) != 0;
    }

    void close() override
    {
        FreeConsole();
        SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
        SetStdHandle(STD_INPUT_HANDLE, nullptr);
    }

    void write(const char* text, size_t length) override
    {
        DWORD written;
        WriteConsoleA(output(), text, static_cast<DWORD>(length), &written, nullptr);
    }

    bool readLine(char* buf, size_t size) override
    {
        if (size < 2 || !std::fgets(buf, static_cast<int>(size), stdin)) return false;
        size_t n = std::strlen(buf);
        const bool complete = n > 0 && buf[n - 1] == '\n';
        while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = 0;
        if (!complete) {
            // The rest of an over-long line is dropped, not left for the
            // next input statement.
            int c;
            while ((c = std::fgetc(stdin)) != EOF && c != '\n') {
            }
        }
        return true;
    }

    int peekKey(bool virtualKey) override
    {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        INPUT_RECORD event;
        DWORD n = 0;
        if (!PeekConsoleInputA(in, &event, 1, &n) || n == 0) return 0;
        if (!ReadConsoleInputA(in, &event, 1, &n) || n == 0) return 0;
        if (event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown) return 0;
        FlushConsoleInputBuffer(in);
        const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
        return virtualKey ? key.wVirtualKeyCode & 0xFF : static_cast<unsigned char>(key.uChar.AsciiChar);
    }

    void clear() override
    {
        HANDLE out = output();
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(out, &info)) return;
        const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        const COORD home = {0, 0};
        DWORD done;
        FillConsoleOutputCharacterA(out, ' ', cells, home, &done);
        FillConsoleOutputAttribute(out, info.wAttributes, cells, home, &done);
        SetConsoleCursorPosition(out, home);
    }

    void setCursor(int row, int column) override
    {
        const COORD at = {static_cast<SHORT>(column), static_cast<SHORT>(row)};
        SetConsoleCursorPosition(output(), at);
    }

    void setAttribute(int attribute) override
    {
        SetConsoleTextAttribute(output(), static_cast<WORD>(attribute));
    }

private:
    static HANDLE output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

    bool m_handlerInstalled = false;
};

}  // namespace

ConsoleDevice* defaultConsole()
{
    static Win32Console console;
    return &console;
}
