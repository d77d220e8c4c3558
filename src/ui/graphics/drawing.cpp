// The drawing statements: settings (colour, background, raster mode, pen),
// lines, pixels, rectangles, circles, ellipses, flood fill, clearing, the
// drawing context and position, and the print statements' target window.
//
// Every statement evaluates all its arguments first, then draws between the
// window's beginDrawing and endDrawing. Shapes make their pens and brushes
// for the one statement and put the DC back as they found it, so the
// window's remembered pen changes only through "set drawing colour".
#include <windows.h>

#include "framework/gdi.h"
#include "interp/ostrin.h"
#include "ui/graphics/drawing_scope.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

constexpr uint16_t OpBackgroundMode = 26, OpDrawingColour = 30, OpBackgroundColour = 31, OpRasterMode = 32;

// Argument 0 and up to `count` numbers after it, evaluated in order; then
// the window is looked up. Null with the error set.
COstrinWnd* drawingArgs(Ostrin& o, Statement* st, int32_t* numbers, int count)
{
    ArgValue win;
    if (!o.evalArg(st, 0, KindWindow, win)) return nullptr;
    for (int i = 0; i < count; ++i)
        if (!intArg(o, st, i + 1, numbers[i])) return nullptr;
    CWnd* object = liveWindowObject(static_cast<uint32_t>(win.handle));
    if (!object) {
        o.fail(ErrNoWindow);
        return nullptr;
    }
    if (!object->IsKindOf(&COstrinWnd::classCOstrinWnd)) {
        o.fail(ErrType);
        return nullptr;
    }
    return static_cast<COstrinWnd*>(object);
}

HPEN makePen(const COstrinWnd* w, COLORREF colour)
{
    return ::CreatePen(w->penStyle, w->penWidth, colour);
}

// Draws a box shape (rectangle or ellipse) the way the shape statements
// share: outline only in `outline`, or filled with `fill` under the current
// pen first and then outlined.
template <typename Shape>
void drawBox(COstrinWnd* w, HDC dc, const RECT& r, COLORREF outline, const COLORREF* fill, Shape shape)
{
    if (fill) {
        CBrush brush;
        brush.CreateSolidBrush(*fill);
        CSelectObject selectBrush(dc, brush);
        shape(dc, r);
    }
    CPen pen(makePen(w, outline));
    CSelectObject selectPen(dc, pen);
    CSelectObject hollow(dc, ::GetStockObject(NULL_BRUSH));
    shape(dc, r);
}

void rectangleShape(HDC dc, const RECT& r) { ::Rectangle(dc, r.left, r.top, r.right, r.bottom); }
void ellipseShape(HDC dc, const RECT& r) { ::Ellipse(dc, r.left, r.top, r.right, r.bottom); }

// The box statements with window, x, y, width, height [, outline [, fill]].
template <typename Shape>
Statement* boxStatement(Ostrin& o, Statement* st, Shape shape)
{
    int32_t v[6] = {};
    const int numbers = st->argCount - 1;
    COstrinWnd* w = drawingArgs(o, st, v, numbers);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    const RECT r = {v[0], v[1], v[0] + v[2], v[1] + v[3]};
    const COLORREF outline = numbers >= 5 ? static_cast<COLORREF>(v[4]) : ::GetTextColor(dc);
    const COLORREF fill = static_cast<COLORREF>(v[5]);
    drawBox(w, dc, r, outline, numbers == 6 ? &fill : nullptr, shape);
    return st;
}

}  // namespace

// Background mode, drawing colour, background colour and raster mode: one
// setting each, applied to the context and remembered by the window.
Statement* Ostrin::drawingSetting(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    int32_t value = 0;
    COstrinWnd* w = drawingArgs(*this, st, &value, 1);
    if (!w) return nullptr;
    DrawingScope drawing(w, false);
    HDC dc = drawing.dc();
    if (!dc) return st;
    switch (st->opcode) {
    case OpBackgroundMode:
        ::SetBkMode(dc, value);
        break;
    case OpDrawingColour:
        // The pen stays selected: it becomes the window's remembered pen
        // when the context ends.
        w->selectContextPen(dc, makePen(w, static_cast<COLORREF>(value)));
        ::SetTextColor(dc, static_cast<COLORREF>(value));
        break;
    case OpBackgroundColour:
        ::SetBkColor(dc, static_cast<COLORREF>(value));
        break;
    case OpRasterMode:
        ::SetROP2(dc, value);
        break;
    default:
        break;
    }
    return st;
}

Statement* Ostrin::setPenStyle(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    COstrinWnd* w = drawingArgs(*this, st, v, 2);
    if (!w) return nullptr;
    w->penStyle = v[0];
    w->penWidth = v[1];
    return st;
}

Statement* Ostrin::drawLine(Statement* st)
{
    if (st->argCount < 3 || st->argCount > 6) return fail(ErrArgCount);
    int32_t v[5] = {};
    const int numbers = st->argCount - 1;
    COstrinWnd* w = drawingArgs(*this, st, v, numbers);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    // 2 or 3 numbers: to (x, y) from the current position; 4 or 5: from
    // (x1, y1) to (x2, y2). An odd count carries the colour last.
    const bool fromStart = numbers >= 4;
    const bool coloured = numbers == 3 || numbers == 5;
    const COLORREF colour = coloured ? static_cast<COLORREF>(v[numbers - 1]) : ::GetTextColor(dc);
    CPen pen(makePen(w, colour));
    CSelectObject select(dc, pen);
    if (fromStart) {
        ::MoveToEx(dc, v[0], v[1], nullptr);
        ::LineTo(dc, v[2], v[3]);
    } else {
        ::LineTo(dc, v[0], v[1]);
    }
    return st;
}

Statement* Ostrin::setPixel(Statement* st)
{
    if (st->argCount != 3 && st->argCount != 4) return fail(ErrArgCount);
    int32_t v[3] = {};
    COstrinWnd* w = drawingArgs(*this, st, v, st->argCount - 1);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    ::SetPixelV(dc, v[0], v[1], st->argCount == 4 ? static_cast<COLORREF>(v[2]) : ::GetTextColor(dc));
    return st;
}

Statement* Ostrin::getPixel(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t v[2];
    COstrinWnd* w = drawingArgs(*this, st, v, 2);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    const COLORREF colour = drawing.dc() ? ::GetPixel(drawing.dc(), v[0], v[1]) : CLR_INVALID;
    return setIntResult(st, static_cast<int32_t>(colour));
}

Statement* Ostrin::drawRectangle(Statement* st)
{
    if (st->argCount < 5) return fail(ErrArgCount);
    if (st->argCount > 7) return st;   // draws nothing, and that is no error
    return boxStatement(*this, st, rectangleShape);
}

Statement* Ostrin::drawEllipse(Statement* st)
{
    if (st->argCount < 5) return fail(ErrArgCount);
    if (st->argCount > 7) return fail(ErrMalformed);
    return boxStatement(*this, st, ellipseShape);
}

Statement* Ostrin::drawCircle(Statement* st)
{
    if (st->argCount < 3 || st->argCount > 6) return fail(ErrArgCount);
    int32_t v[5] = {};
    const int numbers = st->argCount - 1;
    COstrinWnd* w = drawingArgs(*this, st, v, numbers);
    if (!w) return nullptr;
    if (numbers < 3) return st;   // no radius: nothing to draw
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    const int32_t cx = v[0], cy = v[1], radius = v[2];
    const RECT r = {cx - radius, cy - radius, cx + radius, cy + radius};
    const COLORREF outline = numbers >= 4 ? static_cast<COLORREF>(v[3]) : ::GetTextColor(dc);
    const COLORREF fill = static_cast<COLORREF>(v[4]);
    drawBox(w, dc, r, outline, numbers == 5 ? &fill : nullptr, ellipseShape);
    return st;
}

Statement* Ostrin::floodFill(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    int32_t v[3];
    COstrinWnd* w = drawingArgs(*this, st, v, 3);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    // The connected area of the start pixel's colour takes the new colour.
    const COLORREF start = ::GetPixel(dc, v[0], v[1]);
    CBrush brush;
    brush.CreateSolidBrush(static_cast<COLORREF>(v[2]));
    CSelectObject select(dc, brush);
    ::ExtFloodFill(dc, v[0], v[1], start, FLOODFILLSURFACE);
    return st;
}

Statement* Ostrin::clearWindow(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    int32_t colour = 0;
    COstrinWnd* w = drawingArgs(*this, st, &colour, 1);
    if (!w) return nullptr;
    w->backgroundColour = static_cast<COLORREF>(colour);
    if (!w->persistent) {
        // The erase event repaints the background in the new colour.
        if (w->GetSafeHwnd()) ::InvalidateRect(w->GetSafeHwnd(), nullptr, TRUE);
        return st;
    }
    DrawingScope drawing(w, true);
    HDC dc = drawing.dc();
    if (!dc) return st;
    const RECT all = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    CBrush brush;
    if (brush.CreateSolidBrush(static_cast<COLORREF>(colour))) ::FillRect(dc, &all, brush);
    return st;
}

Statement* Ostrin::getDrawingContext(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    COstrinWnd* w = drawingArgs(*this, st, nullptr, 0);
    if (!w) return nullptr;
    // Left open: the statements that follow share it until it is released.
    HDC dc = w->beginDrawing();
    return setIntResult(st, static_cast<int32_t>(reinterpret_cast<uintptr_t>(dc)));
}

Statement* Ostrin::releaseDrawingContext(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue win, hdc;
    if (!evalArg(st, 0, KindWindow, win) || !evalArg(st, 1, KindInt, hdc)) return nullptr;
    CWnd* object = liveWindowObject(static_cast<uint32_t>(win.handle));
    if (!object) return fail(ErrNoWindow);
    if (!object->IsKindOf(&COstrinWnd::classCOstrinWnd)) return fail(ErrType);
    auto* w = static_cast<COstrinWnd*>(object);
    w->endDrawing(reinterpret_cast<HDC>(static_cast<uintptr_t>(static_cast<uint32_t>(hdc.intValue))), true);
    return st;
}

Statement* Ostrin::getDrawingPosition(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    COstrinWnd* w = drawingArgs(*this, st, nullptr, 0);
    if (!w) return nullptr;
    POINT p = w->drawingPosition();
    {
        DrawingScope drawing(w, false);
        if (drawing.dc()) ::GetCurrentPositionEx(drawing.dc(), &p);
    }
    // Each variable is written as soon as it is read: a failing second one
    // leaves the first written.
    if (!storeIntArg(*this, st, 1, p.x) || !storeIntArg(*this, st, 2, p.y)) return nullptr;
    return st;
}

Statement* Ostrin::setPrintTarget(Statement* st)
{
    if (st->argCount > 1) return fail(ErrArgCount);
    if (st->argCount == 0) {
        outputWindow = nullptr;
        return st;
    }
    COstrinWnd* w = drawingArgs(*this, st, nullptr, 0);
    if (!w) return nullptr;
    outputWindow = static_cast<CWnd*>(w);
    return st;
}
