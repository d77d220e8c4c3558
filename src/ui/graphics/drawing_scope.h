// DrawingScope: one statement's turn at drawing on a program window.
//
// Begins drawing on construction and ends it at scope end, with or without
// redraw, so every return path of a statement (errors included) gives the
// window its context back.
#pragma once

#include <windows.h>

#include "ui/windows/ostrin_wnd.h"

class DrawingScope {
public:
    DrawingScope(COstrinWnd* w, bool redraw) : m_w(w), m_dc(w->beginDrawing()), m_redraw(redraw) {}
    ~DrawingScope()
    {
        if (m_dc) m_w->endDrawing(m_dc, m_redraw);
    }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;
    // Null when the window has no context to give (nothing is drawn then).
    HDC dc() const { return m_dc; }

private:
    COstrinWnd* m_w;
    HDC m_dc;
    bool m_redraw;
};
