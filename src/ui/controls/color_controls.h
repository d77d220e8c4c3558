// The colour-aware controls: every control a program creates is one of
// these, a framework control class paired with the CColorControl mix-in.
//
// The mix-in holds the control's text and background colours, the brush of
// the background colour and a font of its own. Windows asks a control's
// parent for colours (WM_CTLCOLOR*); the parent reflects the request to the
// control's object, which answers with its colours and brush. The brush is
// made when the background colour changes, never per request.
//
// Push buttons draw themselves in their colours (owner-draw). Buttons with
// BS_BITMAP and SS_BITMAP statics show the picture their text names: a path
// (it has a colon) or a bitmap resource of the program, by number or name.
// A picture the control loaded is its own and goes with it or with the
// next picture; a new picture replaces the old only once it has loaded.
#pragma once

#include <vector>

#include "framework/controls.h"
#include "framework/gdi.h"

class CColorControl {
public:
    CColorControl();
    virtual ~CColorControl();
    CColorControl(const CColorControl&) = delete;
    CColorControl& operator=(const CColorControl&) = delete;

    // Stores the background colour and replaces the brush with one of that
    // colour; returns the brush (null when none could be made).
    virtual HBRUSH setBackground(COLORREF colour);
    COLORREF background() const { return m_background; }
    // The answer to a colour request: the colours go into dc, the brush is
    // returned (made now when an earlier attempt failed).
    HBRUSH applyColours(HDC dc);

    int controlId = 0;         // Windows id, for subclassing a dialog item
    CFont font;                // a font statements made for this control
    COLORREF textColour;

protected:
    COLORREF m_background = 0;
    CBrush m_brush;
};

// The colour part of a control object, or null for other objects.
CColorControl* colourPartOf(CWnd* object);

// A framework control with the colour mix-in: answers the colour requests
// its parent reflects to it.
template <class Base>
class CColorControlT : public Base, public CColorControl {
public:
    LRESULT OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // The brush for a reflected colour request; null lets the parent's
    // default processing answer.
    virtual HBRUSH colourRequest(HDC dc) { return applyColours(dc); }
};

class CColorButton : public CColorControlT<CButton> {
public:
    CColorButton();
    ~CColorButton() override;
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(const DRAWITEMSTRUCT& item);

private:
    CBitmap m_picture;
};

class CColorStatic : public CColorControlT<CStatic> {
public:
    CColorStatic();
    ~CColorStatic() override;
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CBitmap m_picture;
};

class CColorComboBox : public CColorControlT<CComboBox> {
public:
    CColorComboBox();
    // Also colours the combo box's own edit and list.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CColorEdit : public CColorControlT<CEdit> {
public:
    CColorEdit();
};

class CColorListBox : public CColorControlT<CListBox> {
public:
    CColorListBox();
};

class CColorScrollBar : public CColorControlT<CScrollBar> {
public:
    CColorScrollBar();

protected:
    // The system's own painting while the background is the system colour.
    HBRUSH colourRequest(HDC dc) override;
};

class CColorStatus : public CColorControlT<CStatusBarCtrl> {
public:
    CColorStatus();
};

class CColorListView : public CColorControlT<CListCtrl> {
public:
    CColorListView();
};

struct REOLECallback;

// A rich edit keeps its background in the control (EM_SETBKGNDCOLOR), and
// gets an OLE callback so it can hold embedded objects.
class CColorRichEdit : public CColorControlT<CRichEditCtrl> {
public:
    CColorRichEdit();
    ~CColorRichEdit() override;
    HBRUSH setBackground(COLORREF colour) override;
    void PreSubclassWindow() override;

private:
    REOLECallback* m_callback = nullptr;   // one reference held
};

// A toolbar with the program's buttons and a tooltip text per button.
class CColorToolbar : public CColorControlT<CToolBarCtrl> {
public:
    static constexpr int TooltipLength = 79;

    CColorToolbar();
    // Replaces every button: a command id per button, 0 for a separator
    // (8 pixels wide); the buttons take the images and strings 0, 1, 2 ...
    // in order. Without ids, `count` empty buttons. 0 when Windows refuses
    // a button (the ones added so far stay), else 1.
    int setButtons(const UINT* ids, int count);
    // The tooltip text of the button with this program id (cut to 79
    // characters); a later text replaces it. Nothing for id 0 or no text.
    void setTooltip(int programId, const char* text);
    // Answers the tooltip's text requests from the texts set.
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    struct Tooltip {
        int programId;
        char text[TooltipLength + 1];
    };
    std::vector<Tooltip> m_tooltips;
};
