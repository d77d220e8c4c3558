// Fonts, colours and their common dialogs: a window's text font, the
// font and colour dialogs, composing a colour, and measuring a text.
//
// A font reaches the program as a face name, a size in points, a weight
// and one style word; "set font" reads the style word and "choose font"
// writes it back in the same form:
//   bit 0 italic, bit 4 underline, bit 5 strikeout, bits 16-23 the
//   character set.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "framework/gdi.h"
#include "interp/ostrin.h"
#include "ui/controls/color_controls.h"
#include "ui/graphics/drawing_scope.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

constexpr int32_t StyleItalic = 0x1, StyleUnderline = 0x10, StyleStrikeOut = 0x20;
constexpr int StyleCharSetShift = 16;

// The user's custom colours in the colour dialog, kept for the whole
// process so they are there again the next time it opens.
COLORREF customColours[16] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
};

void applyStyle(LOGFONTA& lf, int32_t style)
{
    lf.lfItalic = (style & StyleItalic) != 0;
    lf.lfUnderline = (style & StyleUnderline) != 0;
    lf.lfStrikeOut = (style & StyleStrikeOut) != 0;
    lf.lfCharSet = static_cast<BYTE>(style >> StyleCharSetShift);
}

int32_t styleOf(const LOGFONTA& lf)
{
    return (lf.lfItalic ? StyleItalic : 0) | (lf.lfUnderline ? StyleUnderline : 0) |
           (lf.lfStrikeOut ? StyleStrikeOut : 0) | (static_cast<int32_t>(lf.lfCharSet) << StyleCharSetShift);
}

// The LOGFONT height of a size in points on the window's screen.
LONG heightOfPoints(HWND hwnd, int32_t points)
{
    int dpi = 96;
    {
        CClientDC dc(hwnd);
        if (dc) dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    }
    return -::MulDiv(points, dpi, 72);
}

// Copies a face name into a LOGFONT (at most 31 characters).
void setFace(LOGFONTA& lf, const char* face)
{
    std::strncpy(lf.lfFaceName, face ? face : "", LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
}

// Reads argument i as an INT variable (kind 2): its value now, to be
// written later with storeIntArg. False with error 14 (not a variable) or
// 20 (another type).
bool intVariableArg(Ostrin& o, Statement* st, int i, int32_t& value)
{
    ArgValue v;
    if (!o.evalArg(st, i, KindInt, v)) return false;
    if (!v.variable || !v.dataPtr) {
        o.fail(ErrType);
        return false;
    }
    value = v.intValue;
    return true;
}

// Gives one control of a window or dialog a font of its own, kept by the
// control object for its lifetime. A control the program did not make has
// no font of ours to keep and is left as it is. False with error 30 when
// the id names no control.
bool setControlFont(Ostrin& o, CWnd* wnd, int32_t id, const LOGFONTA& lf)
{
    HWND control = controlOf(o, wnd, id);
    if (!control) return false;
    CColorControl* part = colourPartOf(CWnd::FromHandlePermanent(control));
    if (!part) return true;
    // The control lets go of its font before the font is replaced.
    ::SendMessageA(control, WM_SETFONT, 0, FALSE);
    part->font.CreateFontIndirect(lf);
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(part->font.GetHandle()), TRUE);
    return true;
}

}  // namespace

// Gives a window's later text output a font (a dialog keeps its own), or
// one of its controls a font.
Statement* Ostrin::setFont(Statement* st)
{
    if (st->argCount < 4 || st->argCount > 6) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    ArgValue face;
    if (!evalArg(st, 1, TypeString, face)) return nullptr;
    LOGFONTA lf = {};
    setFace(lf, face.text);   // copied before later arguments reuse buffers
    int32_t size = 0, weight = 0, style = 0, id = 0;
    if (!intArg(*this, st, 2, size) || !intArg(*this, st, 3, weight)) return nullptr;
    if (st->argCount >= 5 && !intArg(*this, st, 4, style)) return nullptr;
    if (st->argCount == 6 && !intArg(*this, st, 5, id)) return nullptr;

    lf.lfHeight = heightOfPoints(wnd->GetSafeHwnd(), size);
    lf.lfWeight = static_cast<uint16_t>(weight);
    lf.lfQuality = DRAFT_QUALITY;
    if (st->argCount >= 5) applyStyle(lf, style);

    if (st->argCount == 6) return setControlFont(*this, wnd, id, lf) ? st : nullptr;
    if (!wnd->IsKindOf(&COstrinWnd::classCOstrinWnd)) return st;
    auto* w = static_cast<COstrinWnd*>(wnd);
    HFONT font = ::CreateFontIndirectA(&lf);
    if (!font) return st;
    DrawingScope drawing(w, true);
    if (!drawing.dc()) {
        ::DeleteObject(font);
        return st;
    }
    // The window deletes it once it is no longer selected; its remembered
    // font is made anew from the same description.
    w->selectContextFont(drawing.dc(), font);
    return st;
}

// The font dialog, started from the four variables and the face; OK writes
// the choice back into the variables and answers the face name.
Statement* Ostrin::chooseFont(Statement* st)
{
    if (st->argCount != 5 && st->argCount != 6) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    int32_t size = 0, weight = 0, style = 0, colour = 0;
    if (!intVariableArg(*this, st, 1, size) || !intVariableArg(*this, st, 2, weight) ||
        !intVariableArg(*this, st, 3, style) || !intVariableArg(*this, st, 4, colour))
        return nullptr;
    LOGFONTA lf = {};
    if (st->argCount == 6) {
        ArgValue face;
        if (!evalArg(st, 5, TypeString, face)) return nullptr;
        setFace(lf, face.text);
    } else {
        setFace(lf, "MS Sans Serif");
    }
    // The size variable is in points both ways, so OK on an unchanged
    // dialog gives back the size it was started with.
    lf.lfHeight = heightOfPoints(wnd->GetSafeHwnd(), size);
    lf.lfWeight = weight;
    applyStyle(lf, style);

    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = wnd->GetSafeHwnd();
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    cf.rgbColors = static_cast<COLORREF>(colour);
    if (!::ChooseFontA(&cf)) return setStringResult(st, "");

    if (!storeIntArg(*this, st, 1, cf.iPointSize / 10) || !storeIntArg(*this, st, 2, lf.lfWeight) ||
        !storeIntArg(*this, st, 4, static_cast<int32_t>(cf.rgbColors)) || !storeIntArg(*this, st, 3, styleOf(lf)))
        return nullptr;
    return setStringResult(st, lf.lfFaceName);
}

Statement* Ostrin::chooseColour(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    int32_t initial = 0;
    if (!wnd || (st->argCount == 2 && !intArg(*this, st, 1, initial))) return nullptr;
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = wnd->GetSafeHwnd();
    cc.rgbResult = static_cast<COLORREF>(initial);
    cc.lpCustColors = customColours;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    return setIntResult(st, ::ChooseColorA(&cc) ? static_cast<int32_t>(cc.rgbResult) : -1);
}

Statement* Ostrin::makeColour(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t red = 0, green = 0, blue = 0;
    if (!intArg(*this, st, 0, red) || !intArg(*this, st, 1, green) || !intArg(*this, st, 2, blue)) return nullptr;
    return setIntResult(st, (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

// Width and height of a text in the window's current font.
Statement* Ostrin::textExtent(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    if (!w) return nullptr;
    ArgValue text;
    if (!evalArg(st, 1, TypeString, text)) return nullptr;
    if (!text.text) return st;
    SIZE size = {};
    {
        DrawingScope drawing(w, true);
        if (!drawing.dc()) return st;
        ::GetTextExtentPointA(drawing.dc(), text.text, static_cast<int>(std::strlen(text.text)), &size);
    }
    if (!storeIntArg(*this, st, 2, size.cx) || !storeIntArg(*this, st, 3, size.cy)) return nullptr;
    return st;
}
