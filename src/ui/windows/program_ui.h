// The UI layer's side of the seam the interpreter uses to reach windows.
//
// Window and dialog objects cross the seam as opaque pointers that are
// always CWnd* values (static_cast<CWnd*> of the object, then void*): the
// interpreter stores them in WINDOW and DIALOG variables, in its window list
// and in the current-window entry, and hands them back here to be destroyed.
#pragma once

#include "interp/host.h"

class ProgramUi : public UiHost {
public:
    ~ProgramUi() override;
    bool prepare() override;
    void startRun() override;
    void destroyWindow(void* window) override;
    void deleteWindow(void* window) override;
    void deleteDialog(void* dialog) override;
    uint32_t nativeHandle(void* object) override;
    bool drawText(void* window, const char* text, size_t length) override;

    // Generated class names of the two program window classes: white
    // background, and the application-workspace colour for MDI frames.
    const char* whiteWindowClass() const { return m_whiteClass; }
    const char* workspaceWindowClass() const { return m_workspaceClass; }

private:
    char m_whiteClass[64] = {};
    char m_workspaceClass[64] = {};
    bool m_registered = false;
};

class Ostrin;

// Puts the window statements into the interpreter's handler table and
// attaches `ui` as its window layer. Without it, window statements stop a
// run with error 1 like any opcode without a handler.
void attachProgramUi(Ostrin& interpreter, ProgramUi& ui);
