// Drawing statements: pixels in the backing bitmap, persistence across
// repaints, the drawing context, the print target and GDI handle balance.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ui_harness.h"

namespace {

constexpr COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0), Red = RGB(255, 0, 0), Green = RGB(0, 255, 0),
                   Blue = RGB(0, 0, 255);

// Opens window w (flags as given), runs `body`, and stops with w open.
std::string drawingProgram(const std::string& body, const std::string& flags = "0")
{
    return "declare_variables w: WINDOW\n"
           "declare_variables px, py, colour: INT\n"
           "open_window w, 40, 40, 320, 240, " + flags + ", 0, \"draw\", h\n" + body +
           "jump finish\n"
           "h:\n"
           "return\n"
           "finish:\n";
}

struct Pixel {
    int x, y;
    COLORREF colour;
};

TEST(Drawing, ShapesReachTheBackingBitmap)
{
    struct Case {
        const char* name;
        const char* body;
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        {"pixel with colour", "set_pixel w, 5, 6, 0x0000FF\n", {{5, 6, Red}, {6, 6, White}}},
        {"pixel in the drawing colour", "set_drawing_colour w, 0xFF0000\nset_pixel w, 7, 8\n", {{7, 8, Blue}}},
        {"line between two points",
         "set_drawing_colour w, 0x0000FF\ndraw_line w, 10, 20, 60, 20\n",
         {{10, 20, Red}, {40, 20, Red}, {40, 21, White}}},
        {"line with its own colour", "draw_line w, 10, 30, 60, 30, 0x00FF00\n", {{30, 30, Green}}},
        {"three-argument line continues from the last end",
         "draw_line w, 10, 10, 50, 10, 0\ndraw_line w, 50, 40\n",
         {{50, 25, Black}, {30, 10, Black}}},
        {"filled rectangle with outline",
         "draw_rectangle w, 20, 20, 40, 30, 0xFF0000, 0x00FF00\n",
         {{40, 35, Green}, {20, 35, Blue}, {59, 35, Blue}, {61, 35, White}}},
        {"empty rectangle draws nothing visible", "draw_rectangle w, 70, 70, 0, 0, 0\n", {{70, 70, White}}},
        {"negative width draws to the left",
         "draw_rectangle w, 100, 50, -30, 20, 0x0000FF\n",
         {{70, 60, Red}, {85, 60, White}, {101, 60, White}}},
        {"outline rectangle keeps its inside",
         "draw_rectangle w, 20, 20, 40, 30, 0x0000FF\n",
         {{20, 30, Red}, {40, 35, White}}},
        {"circle filled and outlined",
         "draw_circle w, 150, 100, 20, 0x0000FF, 0xFF0000\n",
         {{150, 100, Blue}, {150, 85, Blue}, {125, 100, White}}},
        {"circle without radius draws nothing", "draw_circle w, 150, 100\n", {{150, 100, White}}},
        {"filled ellipse", "draw_ellipse w, 200, 20, 60, 30, 0, 0x00FF00\n", {{230, 35, Green}, {195, 35, White}}},
        {"flood fill inside an outline",
         "draw_rectangle w, 10, 10, 40, 40, 0\nflood_fill w, 30, 30, 0x00FF00\n",
         {{30, 30, Green}, {11, 11, Green}, {10, 30, Black}, {5, 5, White}}},
        {"flood fill with the same colour changes nothing",
         "draw_rectangle w, 10, 10, 40, 40, 0\nflood_fill w, 30, 30, 0xFFFFFF\n",
         {{30, 30, White}, {10, 30, Black}, {5, 5, White}}},
        {"wide pen", "set_pen_style w, 0, 5\ndraw_line w, 10, 100, 80, 100, 0\n", {{40, 102, Black}, {40, 98, Black}}},
        {"raster mode inverts", "set_raster_mode w, 6\ndraw_line w, 10, 120, 80, 120\n", {{40, 120, Black}}},
        {"clear window erases with the new colour",
         "set_pixel w, 5, 5, 0\nclear_window w, 0x00FF00\n",
         {{5, 5, Green}, {300, 200, Green}}},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(drawingProgram(c.body));
        ASSERT_TRUE(o) << c.name;
        RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name;
        COstrinWnd* w = windowVar(*o, "w");
        ASSERT_TRUE(w) << c.name;
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(p.colour, bitmapPixel(w, p.x, p.y)) << c.name << " at " << p.x << "," << p.y;
    }
}

TEST(Drawing, ArgumentErrors)
{
    struct Case {
        const char* name;
        const char* body;
        int error;
    };
    const Case cases[] = {
        {"ellipse with four arguments", "draw_ellipse w, 1, 2, 3\n", ErrArgCount},
        {"ellipse with eight arguments", "draw_ellipse w, 1, 2, 3, 4, 5, 6, 7\n", ErrMalformed},
        {"rectangle with eight arguments is ignored", "draw_rectangle w, 1, 2, 3, 4, 5, 6, 7\n", 0},
        {"rectangle with four arguments", "draw_rectangle w, 1, 2, 3\n", ErrArgCount},
        {"line with two arguments", "draw_line w, 1\n", ErrArgCount},
        {"pixel with a string", "set_pixel w, \"a\", 2\n", ErrNotNumeric},
        {"empty window variable", "declare_variables e: WINDOW\nset_pixel e, 1, 2\n", ErrNoWindow},
        {"not a window", "set_pixel px, 1, 2\n", ErrType},
        {"setting with three arguments", "set_drawing_colour w, 1, 2\n", ErrArgCount},
        {"drawing position into a literal", "get_drawing_position w, 1, py\n", ErrType},
        {"drawing position into a string", "declare_variables s: STRING\nget_drawing_position w, s, py\n", ErrNotInteger},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(drawingProgram(c.body));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
    }
}

TEST(Drawing, GetPixelReturnsWhatWasSet)
{
    auto o = prepareUiProgram(drawingProgram(
        "set_pixel w, 12, 13, 0x123456\n"
        "colour = get_pixel(w, 12, 13)\n"
        "px = get_pixel(w, 5000, 5000)\n"));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(0x123456, intVar(*o, "colour"));
    EXPECT_EQ(static_cast<int32_t>(CLR_INVALID), intVar(*o, "px")) << "outside the bitmap";
}

TEST(Drawing, RepaintShowsPersistentDrawingOnly)
{
    // Window a keeps its drawing in the bitmap; window b (flag 0x10) has
    // none and is asked to repaint with event 15 instead.
    auto o = prepareUiProgram(
        "declare_variables a, b: WINDOW\n"
        "declare_variables paints, paintsOfA: INT\n"
        "open_window a, 10, 10, 200, 150, 0, 0, \"a\", h\n"
        "open_window b, 260, 10, 200, 150, 0x10, 0, \"b\", h\n"
        "{op249} 1\n"
        "draw_rectangle a, 20, 20, 50, 50, 0, 0x0000FF\n"
        "draw_rectangle b, 20, 20, 50, 50, 0, 0x0000FF\n"
        "{op249} 2\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = WM_PAINT then paints = paints + 1\n"
        "conditional EVENT_CODE = WM_PAINT & CURRENT_WINDOW = a then paintsOfA = paintsOfA + 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    int paintsBefore = 0;
    COLORREF before[2] = {}, after[2] = {};
    o->hooks[1] = [&](UiTestOstrin&, Statement*) { pumpPending(); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        HWND a = hwndVar(t, "a"), b = hwndVar(t, "b");
        pumpPending();
        before[0] = screenPixel(a, 40, 40);
        before[1] = screenPixel(b, 40, 40);
        paintsBefore = intVar(t, "paints");
        // Cover both windows, then uncover them: an expose repaints.
        HWND cover = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 600, 300, nullptr,
                                       nullptr, nullptr, nullptr);
        pumpPending();
        ::DestroyWindow(cover);
        for (HWND h : {a, b}) {
            ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
        pumpPending();
        after[0] = screenPixel(a, 40, 40);
        after[1] = screenPixel(b, 40, 40);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(Red, before[0]) << "drawing shows at once";
    EXPECT_EQ(Red, before[1]) << "without the bitmap, drawing goes to the screen";
    EXPECT_EQ(Red, after[0]) << "the persistent window paints from its bitmap";
    EXPECT_EQ(White, after[1]) << "the other one is erased and left to the program";
    EXPECT_GT(intVar(*o, "paints"), paintsBefore) << "flag 0x10 windows receive event 15";
    EXPECT_EQ(0, intVar(*o, "paintsOfA")) << "a persistent window never does";
    EXPECT_EQ(nullptr, windowVar(*o, "b")->backingBitmap());
}

TEST(Drawing, HeldContextIsSharedUntilReleased)
{
    auto o = prepareUiProgram(drawingProgram(
        "declare_variables dc: INT\n"
        "dc = get_drawing_context(w)\n"
        "set_drawing_colour w, 0x0000FF\n"
        "set_pixel w, 3, 3\n"
        "{op249} 1\n"
        "release_drawing_context w, dc\n"
        "get_drawing_position w, px, py\n"));
    ASSERT_TRUE(o);
    bool heldWhileDrawing = false;
    HDC held = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        COstrinWnd* w = windowVar(t, "w");
        heldWhileDrawing = w->isDrawing();
        held = reinterpret_cast<HDC>(static_cast<uintptr_t>(static_cast<uint32_t>(intVar(t, "dc"))));
        // The program may call GDI itself on the context it holds.
        ::SetPixelV(held, 4, 4, Green);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    COstrinWnd* w = windowVar(*o, "w");
    EXPECT_TRUE(heldWhileDrawing);
    EXPECT_TRUE(held);
    EXPECT_FALSE(w->isDrawing());
    EXPECT_EQ(Red, bitmapPixel(w, 3, 3));
    EXPECT_EQ(Green, bitmapPixel(w, 4, 4));
    EXPECT_EQ(Red, w->drawingColour()) << "the colour set in the held context is remembered";
}

TEST(Drawing, ReleasingSomeOtherContextKeepsTheWindowsOwn)
{
    // A wrong handle must neither be deleted nor strand the window's DC.
    auto o = prepareUiProgram(drawingProgram(
        "declare_variables dc: INT\n"
        "dc = get_drawing_context(w)\n"
        "release_drawing_context w, 12345\n"
        "set_pixel w, 9, 9, 0x0000FF\n"));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    COstrinWnd* w = windowVar(*o, "w");
    EXPECT_FALSE(w->isDrawing());
    EXPECT_EQ(Red, bitmapPixel(w, 9, 9)) << "the bitmap is free to be drawn on again";
}

TEST(Drawing, PrintTargetDrawsTextAndAdvances)
{
    auto o = prepareUiProgram(drawingProgram(
        "declare_variables x1, x2: INT\n"
        "set_print_target w\n"
        "console_print \"Hello\"\n"
        "get_drawing_position w, x1, py\n"
        "console_print \"World\"\n"
        "get_drawing_position w, x2, py\n"
        "set_print_target\n"
        "console_print \"console again\"\n"));
    ASSERT_TRUE(o);
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    EXPECT_GT(intVar(*o, "x1"), 0);
    EXPECT_GT(intVar(*o, "x2"), intVar(*o, "x1")) << "the second print continues after the first";
    EXPECT_EQ("console again\n", r.output);
    COstrinWnd* w = windowVar(*o, "w");
    int inked = 0;
    for (int x = 0; x < intVar(*o, "x1"); ++x)
        for (int y = 0; y < 16; ++y) inked += bitmapPixel(w, x, y) != White;
    EXPECT_GT(inked, 10) << "the text is in the window";
}

TEST(Drawing, ClosingThePrintTargetReturnsToTheConsole)
{
    auto o = prepareUiProgram(drawingProgram(
        "console_print w, \"into the window\"\n"
        "close_window w\n"
        "console_print \"to the console\"\n"));
    ASSERT_TRUE(o);
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    EXPECT_EQ("to the console\n", r.output);
    EXPECT_EQ(nullptr, o->outputWindow);
}

// A subroutine's local window goes at its return like a closed one: the
// prints after it reach the console again.
TEST(Drawing, ReleasingThePrintTargetReturnsToTheConsole)
{
    auto o = prepareUiProgram(
        "call paint\n"
        "console_print \"to the console\"\n"
        "jump finish\n"
        "paint:\n"
        "declare_variables lw: WINDOW\n"
        "open_window lw, 40, 40, 320, 240, 0, 0, \"local\", h\n"
        "console_print lw, \"into the window\"\n"
        "return\n"
        "h:\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    EXPECT_EQ("to the console\n", r.output);
    EXPECT_EQ(nullptr, o->outputWindow);
}

TEST(Drawing, NoGdiHandlesLeak)
{
    // 100,000 shapes in one window, then 1,000 windows opened and closed.
    // The windows are hidden or children of a hidden one: screen updates
    // and desktop windows cost more than everything else, and hold none of
    // the objects counted here.
    auto o = prepareUiProgram(
        "declare_variables w, p, c: WINDOW\n"
        "declare_variables i: INT\n"
        "open_window p, 0, 0, 300, 200, 0, 0, \"parent\", h\n"
        "open_window w, 0, 0, 300, 200, 0, 0, \"leak\", h\n"
        "{op249} 1\n"
        "counted_loop i, 1, 20000\n"
        "draw_rectangle w, 10, 10, 50, 50, 255, 0xFF00\n"
        "draw_circle w, 100, 100, 20, 255, 0xFF\n"
        "draw_line w, 0, 0, 200, 150, 0xFF0000\n"
        "draw_ellipse w, 5, 5, 30, 20, 255\n"
        "set_drawing_colour w, i\n"
        "next_step i\n"
        "{op249} 2\n"
        "close_window w\n"
        "{op249} 3\n"
        "counted_loop i, 1, 1000\n"
        "open_window c, 0, 0, 100, 80, 0, p, \"many\", h\n"
        "draw_line c, 0, 0, 50, 50\n"
        "close_window c\n"
        "next_step i\n"
        "{op249} 4\n"
        "jump finish\n"
        "h:\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    long atStart = 0, whileOpen = 0, afterShapes = 0, atEnd = 0, windowsStart = 0, windowsEnd = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        ::ShowWindow(hwndVar(t, "w"), SW_HIDE);
        ::ShowWindow(hwndVar(t, "p"), SW_HIDE);
        pumpPending();
        atStart = gdiObjectsHeld();
        windowsStart = threadWindows();
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) { whileOpen = gdiObjectsHeld(); };
    o->hooks[3] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        afterShapes = gdiObjectsHeld();
    };
    o->hooks[4] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        atEnd = gdiObjectsHeld();
        windowsEnd = threadWindows();
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_LE(whileOpen, atStart + 2) << "shapes: start " << atStart << ", after " << whileOpen;
    // The window's bitmap, DC, pen and font went with it.
    EXPECT_LT(afterShapes, atStart) << "closing: start " << atStart << ", after " << afterShapes;
    EXPECT_LE(atEnd, afterShapes + 5) << "windows: before " << afterShapes << ", after " << atEnd;
    EXPECT_LE(windowsEnd, windowsStart - 1) << "every window opened in the loop is gone, and the closed one";
}

}  // namespace
