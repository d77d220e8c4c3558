// What every program window and dialog object carries for the engine: the
// name of the program's handler label and the interpreter that runs it,
// and the variable reference a program stored as the window's data.
//
// Windows (COstrinWnd) and dialogs derive from different framework classes,
// so this is a mix-in; the event routing reaches it from the opaque CWnd*
// with a cross-cast (eventSourceOf).
#pragma once

#include <cstdint>
#include <cstring>

class CWnd;
class Ostrin;

class CEventSource {
public:
    virtual ~CEventSource() = default;

    // Copies at most 31 characters: label names have 30 significant ones.
    void setHandlerLabel(const char* name)
    {
        std::strncpy(handlerLabel, name, sizeof handlerLabel - 1);
        handlerLabel[sizeof handlerLabel - 1] = 0;
    }

    char handlerLabel[32] = {};
    Ostrin* interp = nullptr;   // null: no dispatch (cleared on WM_DESTROY)

    // A pointer stored as window data keeps the variable it refers to in
    // GWL_USERDATA and its data address here, so reading it back never
    // has to look into the variable (which may be gone by then).
    uint32_t dataReference = 0;
    uint32_t dataAddress = 0;
};

// The event part of a window or dialog object, or null for other objects.
CEventSource* eventSourceOf(CWnd* object);
