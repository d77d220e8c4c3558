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
    // The next pending key without waiting, or 0 when none is pending.
    virtual int peekKey() = 0;
};
