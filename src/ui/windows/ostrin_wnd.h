// COstrinWnd: a program's window (top-level, child, MDI frame or MDI child).
//
// It keeps what the engine needs between statements: the program's handler
// label for its events, a screen-sized backing bitmap that makes drawing
// persistent, the drawing state that drawing statements continue from (pen,
// font, colours, modes, position) and the controls created on it. Every
// message it receives is first offered to the program (Ostrin::dispatchEvent)
// and then gets the window's own processing; a nonzero handler answer
// suppresses default processing of messages the window does not handle.
//
// Drawing always goes through beginDrawing/endDrawing: the DC they hand out
// is the memory DC that holds the backing bitmap (or the client DC without
// persistent drawing), loaded with the remembered state; nested calls share
// one DC, and the outermost end stores the state back and repaints the
// touched bounds. The memory DC lives as long as the window: selecting a
// screen-sized bitmap into a fresh DC for every statement costs more than
// the drawing itself.
//
// Window and dialog objects travel through the interpreter as opaque
// pointers; those are always CWnd* values (see program_ui.h).
#pragma once

#include <vector>

#include "framework/gdi.h"
#include "framework/wnd.h"
#include "ui/windows/event_source.h"

class COstrinWnd : public CWnd, public CEventSource {
public:
    static const CRuntimeClass classCOstrinWnd;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCOstrinWnd; }

    // Synthetic event codes.
    static constexpr UINT CloseRequest = 0x8002;
    static constexpr UINT MenuCommand = 0x8003;
    static constexpr UINT ControlNotification = 0x8004;
    static constexpr UINT SizeChanged = 0x8009;
    static constexpr UINT EraseNow = 0x800F;
    // Window-menu commands of an MDI frame, and the MDI client's child id.
    static constexpr UINT CmdCascade = 0x8005, CmdTile = 0x8006, CmdArrange = 0x8007;
    static constexpr UINT MdiClientId = 3244, MdiFirstChildId = 0x4050;

    COstrinWnd();
    // Deletes the controls, the MDI client object and the browser.
    ~COstrinWnd() override;

    // Opened as an MDI frame: the client is its MDICLIENT child.
    bool isMdiFrame() const { return m_client != this; }
    CWnd* client() const { return m_client; }
    // Creates the MDICLIENT child with the frame's Window menu; false when
    // it cannot be created (the frame then stays a plain window).
    bool createMdiClient(HMENU windowMenu);
    // Marks the window as an MDI child (its parent is an MDICLIENT).
    void setMdiChild(bool mdiChild) { m_mdiChild = mdiChild; }
    bool isMdiChild() const { return m_mdiChild; }

    // The DC to draw on, or null when none can be had (nothing changes).
    HDC beginDrawing();
    // Pairs with beginDrawing; at the outermost level the DC's state is
    // remembered, the DC released and, with redraw, the drawn bounds shown.
    void endDrawing(HDC dc, bool redraw);
    // Selects a pen a statement made into a DC from beginDrawing; the window
    // deletes it once the DC no longer holds it (at the latest when the
    // context ends), so settings can leave a new pen selected.
    void selectContextPen(HDC dc, HPEN pen);
    void selectContextFont(HDC dc, HFONT font);
    // Printing ends: beginDrawing no longer hands out the printer's DC, and
    // the objects statements left for it go (deselect them first).
    void endPrinting();
    // A drawing context is held open (get drawing context, nested drawing).
    bool isDrawing() const { return m_depth > 0; }

    // The persistent image and the memory DC it stays selected in; null
    // without persistent drawing.
    HBITMAP backingBitmap() const { return m_backing; }
    HDC backingDC() const { return m_backingDC; }
    // The remembered pen's colour (the drawing colour).
    COLORREF drawingColour() const;
    POINT drawingPosition() const { return m_penPos; }

    // Creates a control of a description's kind (ui/controls) with Windows
    // id `id` on this window and lists it; null when the kind makes nothing
    // or Windows refuses the control.
    CWnd* createControl(int kind, const char* caption, DWORD style, const RECT& r, UINT id);
    // Appends a control object the window then owns; an MDI frame lays
    // its bars out again.
    void addControl(CWnd* control);
    const std::vector<CWnd*>& controls() const { return m_controls; }
    // Fits the MDI client between toolbars and status bars; 1 when any bar
    // was found.
    int layoutBars();

    BOOL DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;

    // State the statements read and set directly.
    HCURSOR cursor;                   // shown in the client area
    int active = 0;                   // active and not minimised
    HDC printDC = nullptr;            // set while the window is printed
    HDC eraseDC = nullptr;            // set while the erase event runs
    CWnd* browser = nullptr;          // hosted browser control, owned
    CWnd* statusBar = nullptr;        // an MDI frame's status bar (one of the controls)
    COLORREF backgroundColour = 0;    // fills the backing bitmap
    int dialogKeys = 0;               // the pump passes messages through IsDialogMessage
    int penStyle = PS_SOLID;          // of every pen a drawing statement makes
    int penWidth = 1;
    bool persistent = true;           // drawing goes to the backing bitmap

private:
    // One slot per kind of context: objects a statement left selected in it.
    enum Context { Drawing, Erase, Print, ContextCount };
    struct ContextObjects {
        CPen pen;
        CFont font;
    };
    ContextObjects& contextOf(HDC dc);
    void freeContext(Context c);

    void rememberPen(const LOGPEN& lp);
    void rememberFont(const LOGFONTA& lf);
    LRESULT onCreate(WPARAM wParam, LPARAM lParam);
    void onPaint();
    LRESULT onEraseBackground(HDC dc);
    int dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HDC m_drawingDC = nullptr;
    int m_depth = 0;
    CFont m_font;
    CPen m_pen;
    COLORREF m_textBackground = RGB(255, 255, 255);
    POINT m_penPos = {0, 0};
    int m_bkMode = OPAQUE;
    int m_rop2 = R2_COPYPEN;
    CBitmap m_backing;
    // Declared after the bitmap, so it is deleted first (and the bitmap
    // is then no longer selected anywhere).
    CMemDC m_backingDC;
    // The pen and font as last remembered, to recreate them only when a
    // statement changed them.
    LOGPEN m_logPen = {};
    LOGFONTA m_logFont = {};
    std::vector<CWnd*> m_controls;
    CWnd* m_client;
    bool m_mdiChild = false;
    ContextObjects m_context[ContextCount];
};
