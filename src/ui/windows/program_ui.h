// The UI layer's side of the seam the interpreter uses to reach windows.
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

    // Generated class names of the two program window classes: white
    // background, and the application-workspace colour for MDI frames.
    const char* whiteWindowClass() const { return m_whiteClass; }
    const char* workspaceWindowClass() const { return m_workspaceClass; }

private:
    char m_whiteClass[64] = {};
    char m_workspaceClass[64] = {};
    bool m_registered = false;
};
