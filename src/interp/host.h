// The two seams between the language core and the world around it.
//
// The interpreter never includes windowing code: windows and dialogs are
// opaque objects that the UI layer owns and destroys through UiHost. The
// console is reached through ConsoleDevice so that tests can capture output
// and feed input; the engine's default device is the real Win32 console.
#pragma once

#include <cstddef>
#include <cstdint>

class UiHost {
public:
    virtual ~UiHost() = default;
    // Registers the program window classes (icon 101, arrow cursor); false
    // when they cannot be had.
    virtual bool prepare() = 0;
    // Called as a run starts: hosting of ActiveX controls, rich edit library.
    virtual void startRun() = 0;
    // Destroys the object's window but keeps the object (error report).
    virtual void destroyWindow(void* window) = 0;
    // Destroys the window and deletes the object (variable release).
    virtual void deleteWindow(void* window) = 0;
    // Deletes a dialog object together with what it owns.
    virtual void deleteDialog(void* dialog) = 0;
    // The native window handle (HWND) of a window or dialog object, which
    // programs store in integers and pass to DLL functions. The UI layer
    // that creates window objects overrides this; without one no window
    // object exists, so there is no handle to give.
    virtual uint32_t nativeHandle(void* object) { return 0; }
    // Draws text at the window's current drawing position, which moves to
    // the end of the text (the print statements' output window). False
    // when no drawing context can be had: nothing is drawn then.
    virtual bool drawText(void* window, const char* text, size_t length) { return false; }
};

class ConsoleDevice {
public:
    virtual ~ConsoleDevice() = default;
    // Opens the console; false when it cannot be had.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual void write(const char* text, size_t length) = 0;
    // Reads one line without its line end into buf (at most size - 1
    // characters); false when input ended before any character.
    virtual bool readLine(char* buf, size_t size) = 0;
    // Takes one pending input event without waiting: for a key press its
    // character, or with virtualKey the low byte of its virtual-key code;
    // 0 when nothing is pending or the event was no key press.
    virtual int peekKey(bool virtualKey) = 0;
    // Blanks the whole screen in the current attribute; cursor to (0, 0).
    virtual void clear() = 0;
    // Moves the cursor; row and column count from 0.
    virtual void setCursor(int row, int column) = 0;
    // Attribute (background × 16 + foreground) of the text written next.
    virtual void setAttribute(int attribute) = 0;
};
