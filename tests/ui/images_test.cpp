// Image statements: loading from files the tests write and from the test
// executable's resources (images_test.rc), drawing into the backing
// bitmap, sizes, freeing, cursors and icons, and GDI balance.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ui_harness.h"
#include "ui/graphics/picture.h"

namespace {

constexpr COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0), Red = RGB(255, 0, 0), Green = RGB(0, 255, 0),
                   Blue = RGB(0, 0, 255);

// The test picture: 2 x 2 squares of red, green (top), blue, black.
COLORREF quadrant(int x, int y, int size)
{
    const bool top = y < size / 2, left = x < size / 2;
    return top ? (left ? Red : Green) : (left ? Blue : Black);
}

void put16(std::string& s, uint16_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void put32(std::string& s, uint32_t v)
{
    put16(s, static_cast<uint16_t>(v));
    put16(s, static_cast<uint16_t>(v >> 16));
}

void writeFile(const char* path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A 24-bit BMP file of size x size quadrants.
std::string bmpFile(int size)
{
    const int rowBytes = (size * 3 + 3) & ~3;
    std::string s = "BM";
    put32(s, 54 + rowBytes * size);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);          // BITMAPINFOHEADER
    put32(s, size);
    put32(s, size);        // bottom-up
    put16(s, 1);
    put16(s, 24);
    for (int i = 0; i < 6; ++i) put32(s, 0);
    for (int y = size - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < size; ++x) {
            const COLORREF c = quadrant(x, y, size);
            row += static_cast<char>(GetBValue(c));
            row += static_cast<char>(GetGValue(c));
            row += static_cast<char>(GetRValue(c));
        }
        row.resize(rowBytes, '\0');
        s += row;
    }
    return s;
}

// A 16 x 16 icon (or cursor, hot spot 0,0) file, all of it opaque `colour`.
std::string iconFile(bool cursor, COLORREF colour)
{
    constexpr int Size = 16;
    std::string image;
    put32(image, 40);
    put32(image, Size);
    put32(image, Size * 2);   // colour and mask
    put16(image, 1);
    put16(image, 32);
    for (int i = 0; i < 6; ++i) put32(image, 0);
    for (int i = 0; i < Size * Size; ++i)
        put32(image, 0xFF000000u | GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour));
    image.append(Size * 4, '\0');   // AND mask: every pixel shows
    std::string s;
    put16(s, 0);
    put16(s, cursor ? 2 : 1);
    put16(s, 1);
    s += static_cast<char>(Size);
    s += static_cast<char>(Size);
    s += '\0';
    s += '\0';
    put16(s, cursor ? 0 : 1);    // planes, or the hot spot of a cursor
    put16(s, cursor ? 0 : 32);
    put32(s, static_cast<uint32_t>(image.size()));
    put32(s, 6 + 16);
    return s + image;
}

// An enhanced metafile that fills its 100 x 100 frame with `colour`.
void writeMetafile(const char* path, COLORREF colour)
{
    HDC screen = ::GetDC(nullptr);
    // The frame in 0.01 mm for 100 x 100 pixels of the screen.
    const int mmX = ::GetDeviceCaps(screen, HORZSIZE) * 100, pxX = ::GetDeviceCaps(screen, HORZRES);
    const int mmY = ::GetDeviceCaps(screen, VERTSIZE) * 100, pxY = ::GetDeviceCaps(screen, VERTRES);
    const RECT frame = {0, 0, ::MulDiv(100, mmX, pxX), ::MulDiv(100, mmY, pxY)};
    HDC dc = ::CreateEnhMetaFileA(screen, path, &frame, nullptr);
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc);
    const RECT all = {0, 0, 100, 100};
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(dc));
}

// The files every image test may load, in the working directory; written
// once per process (a loaded metafile keeps its file open).
void writeImageFiles()
{
    static bool written = false;
    if (written) return;
    written = true;
    writeFile("quad.bmp", bmpFile(4));
    writeFile("red.ico", iconFile(false, Red));
    writeFile("red.cur", iconFile(true, Red));
    writeFile("notapicture.txt", "this is text, not a picture");
    writeMetafile("blue.emf", Blue);
}

// Opens window w, loads the test images into b (bitmap), p (picture),
// i (icon), c (cursor) and m (metafile), runs `body` and stops with w open.
std::string imageProgram(const std::string& body)
{
    return "declare_variables w: WINDOW\n"
           "declare_variables b, p, i, c, m, h, x, y: INT\n"
           "open_window w, 40, 40, 320, 240, 0, 0, \"images\", ev\n"
           "b = load_image(\"quad.bmp\", 0)\n"
           "p = load_image(\"quad.bmp\", 4)\n"
           "i = load_image(\"red.ico\", 1)\n"
           "c = load_image(\"red.cur\", 2)\n"
           "m = load_image(\"blue.emf\", 3)\n" +
           body +
           "jump finish\n"
           "ev:\n"
           "return\n"
           "finish:\n";
}

template <typename T>
T handleOf(int32_t value)
{
    return reinterpret_cast<T>(static_cast<uintptr_t>(static_cast<uint32_t>(value)));
}

bool isDibBitmap(int32_t h, int size)
{
    DIBSECTION ds = {};
    return ::GetObjectA(handleOf<HBITMAP>(h), sizeof ds, &ds) == sizeof ds && ds.dsBm.bmWidth == size &&
           ds.dsBm.bmHeight == size;
}
bool isQuadBitmap(int32_t h) { return isDibBitmap(h, 4); }
bool isPicture(int32_t h) { return CPicture::isLive(handleOf<void*>(h)); }
bool isIconOf(int32_t h, bool icon)
{
    ICONINFO info = {};
    if (!::GetIconInfo(handleOf<HICON>(h), &info)) return false;
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return (info.fIcon != FALSE) == icon;
}
bool isIcon(int32_t h) { return isIconOf(h, true); }
bool isCursor(int32_t h) { return isIconOf(h, false); }
bool isMetafile(int32_t h) { return ::GetObjectType(handleOf<HGDIOBJ>(h)) == OBJ_ENHMETAFILE; }
bool isNothing(int32_t h) { return h == 0; }

TEST(Images, LoadFromFilesAndResources)
{
    writeImageFiles();
    struct Case {
        const char* name;
        const char* call;
        bool (*check)(int32_t);
    };
    const Case cases[] = {
        {"bitmap file", "load_image(\"quad.bmp\", 0)", isQuadBitmap},
        {"bitmap file, name built by an expression", "load_image(\"qu\" + \"ad.bmp\", 3 - 3)", isQuadBitmap},
        {"bitmap file with mapped 3D colours", "load_image(\"quad.bmp\", 0x1000)", isQuadBitmap},
        {"bitmap resource by name", "load_image(\"QUAD\", 0)", isQuadBitmap},
        {"bitmap resource by number", "load_image(118, 0)", isQuadBitmap},
        {"missing bitmap file", "load_image(\"none.bmp\", 0)", isNothing},
        {"missing bitmap resource", "load_image(\"NONE\", 0)", isNothing},
        {"picture file", "load_image(\"quad.bmp\", 4)", isPicture},
        {"picture resource", "load_image(\"QUADPIC\", 4)", isPicture},
        {"picture resource of another type", "load_image(\"QUAD\", 4)", isNothing},
        {"file that is no picture", "load_image(\"notapicture.txt\", 4)", isNothing},
        {"missing picture file", "load_image(\"none.gif\", 4)", isNothing},
        {"icon file", "load_image(\"red.ico\", 1)", isIcon},
        {"cursor file", "load_image(\"red.cur\", 2)", isCursor},
        {"metafile", "load_image(\"blue.emf\", 3)", isMetafile},
        {"metafile by number", "load_image(7, 3)", isNothing},
        {"system cursor", "load_image(32512, 0x102)", isCursor},
        {"system icon", "load_image(32512, 0x101)", isIcon},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string("declare_variables h: INT\nh = ") + c.call + "\n");
        ASSERT_TRUE(o) << c.name;
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        const int32_t h = intVar(*o, "h");
        EXPECT_TRUE(c.check(h)) << c.name << ": handle " << h;
    }
}

TEST(Images, DrawnImagesReachTheBackingBitmap)
{
    writeImageFiles();
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    struct Case {
        const char* name;
        const char* body;
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        {"bitmap at its own pixels",
         "draw_image w, b, 0, 10, 10, 4, 4\n",
         {{10, 10, Red}, {13, 10, Green}, {10, 13, Blue}, {13, 13, Black}, {14, 14, White}}},
        {"bitmap cropped from its top-left corner",
         "draw_image w, b, 0, 10, 10, 2, 3\n",
         {{11, 10, Red}, {12, 10, White}, {10, 12, Blue}, {10, 13, White}}},
        {"bitmap larger than itself stays at its size",
         "draw_image w, b, 0, 10, 10, 20, 20\n",
         {{13, 13, Black}, {20, 20, White}}},
        {"bitmap with a raster operation (inverted copy)",
         "draw_image w, b, 0, 10, 10, 4, 4, 0x00330008\n",
         {{10, 10, RGB(0, 255, 255)}, {13, 13, White}}},
        {"picture at its natural size",
         "draw_image w, p, 4, 20, 20\n",
         {{20, 20, Red}, {23, 20, Green}, {20, 23, Blue}, {23, 23, Black}, {24, 24, White}}},
        {"picture stretched",
         "draw_image w, p, 4, 20, 20, 40, 40\n",
         {{25, 25, Red}, {55, 25, Green}, {25, 55, Blue}, {55, 55, Black}, {61, 61, White}}},
        {"picture loaded from a resource",
         "h = load_image(\"QUADPIC\", 4)\ndraw_image w, h, 4, 20, 20, 8, 8\n",
         {{21, 21, Red}, {26, 21, Green}, {21, 26, Blue}, {26, 26, Black}}},
        {"metafile stretched to its rectangle",
         "draw_image w, m, 3, 10, 10, 50, 30\n",
         {{12, 12, Blue}, {57, 37, Blue}, {62, 30, White}, {30, 42, White}}},
        {"icon at its own place",
         "draw_image w, i, 1, 50, 50\n",
         {{52, 52, Red}, {48, 48, White}}},
        {"icon ignores width and height",
         "draw_image w, i, 1, 50, 50, 2, 2\n",
         {{55, 55, Red}}},
        {"no picture draws nothing", "draw_image w, 0, 4, 20, 20\n", {{20, 20, White}}},
        {"a freed picture draws nothing",
         "free_image p, 4\ndraw_image w, p, 4, 20, 20\n",
         {{20, 20, White}}},
        {"a number that is no picture draws nothing", "draw_image w, 12345, 4, 20, 20\n", {{20, 20, White}}},
        {"a bitmap handle that is no bitmap draws nothing",
         "draw_image w, i, 0, 10, 10, 4, 4\n",
         {{10, 10, White}}},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(imageProgram(c.body));
        ASSERT_TRUE(o) << c.name;
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        COstrinWnd* w = windowVar(*o, "w");
        ASSERT_TRUE(w) << c.name;
        EXPECT_FALSE(w->isDrawing()) << c.name;
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(p.colour, bitmapPixel(w, p.x, p.y)) << c.name << " at " << p.x << "," << p.y;
    }
}

TEST(Images, StatementErrors)
{
    writeImageFiles();
    struct Case {
        const char* name;
        const char* body;
        int error;
    };
    const Case cases[] = {
        {"load: type 5", "h = load_image(\"quad.bmp\", 5)\n", ErrRange},
        {"load: type 5 with the 3D flag", "h = load_image(\"quad.bmp\", 0x1005)\n", ErrRange},
        {"load: one argument", "h = load_image(\"quad.bmp\")\n", ErrArgCount},
        {"draw: cursor", "draw_image w, c, 2, 0, 0\n", ErrRange},
        {"draw: type 5", "draw_image w, b, 5, 0, 0, 4, 4\n", ErrRange},
        {"draw: negative type", "draw_image w, b, -1, 0, 0, 4, 4\n", ErrRange},
        {"draw: bitmap without a size", "draw_image w, b, 0, 0, 0\n", ErrMalformed},
        {"draw: metafile without a size", "draw_image w, m, 3, 0, 0\n", ErrMalformed},
        {"draw: metafile with a raster operation", "draw_image w, m, 3, 0, 0, 9, 9, 0\n", ErrMalformed},
        {"draw: picture with a width only", "draw_image w, p, 4, 0, 0, 9\n", ErrMalformed},
        {"draw: picture with a raster operation", "draw_image w, p, 4, 0, 0, 9, 9, 0\n", ErrMalformed},
        {"draw: four arguments", "draw_image w, b, 0, 0\n", ErrArgCount},
        {"draw: nine arguments", "draw_image w, b, 0, 0, 0, 1, 1, 0, 0\n", ErrArgCount},
        {"draw: empty window", "declare_variables e: WINDOW\ndraw_image e, b, 0, 0, 0, 4, 4\n", ErrNoWindow},
        {"draw: not a window", "draw_image b, b, 0, 0, 0, 4, 4\n", ErrType},
        {"free: type 5", "free_image b, 5\n", ErrRange},
        {"free: one argument", "free_image b\n", ErrArgCount},
        {"size: handle 0", "get_image_size 0, x, y\n", ErrImageZero},
        {"size: an icon", "get_image_size i, x, y\n", ErrNotBitmap},
        {"size: a picture", "get_image_size p, x, y\n", ErrNotBitmap},
        {"size: into a number", "get_image_size b, 1, y\n", ErrType},
        {"cursor: kind 3", "set_cursor w, 3\n", ErrRange},
        {"cursor: kind 2 without a cursor", "set_cursor w, 2\n", ErrArgCount},
        {"icon: one argument", "set_window_icon w\n", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(imageProgram(c.body));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        COstrinWnd* w = windowVar(*o, "w");
        ASSERT_TRUE(w) << c.name;
        EXPECT_FALSE(w->isDrawing()) << c.name << ": the context is given back after an error";
    }
}

TEST(Images, SizeAndFree)
{
    writeImageFiles();
    auto o = prepareUiProgram(imageProgram(
        "declare_variables big: INT\n"
        "big = load_image(\"big.bmp\", 0)\n"
        "get_image_size big, x, y\n"
        "{op249} 1\n"
        "free_image big, 0\n"
        "free_image p, 4\n"
        "free_image p, 4\n"
        "free_image i, 1\n"
        "free_image m, 3\n"
        "free_image 0, 0\n"
        "free_image 0, 9\n"
        "free_image b, -1\n"
        "{op249} 2\n"));
    ASSERT_TRUE(o);
    writeFile("big.bmp", bmpFile(24));
    int32_t big = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { big = intVar(t, "big"); };
    bool bigGone = false, pictureGone = false, metafileGone = false, bitmapKept = false;
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        bigGone = ::GetObjectType(handleOf<HGDIOBJ>(big)) == 0;
        pictureGone = !isPicture(intVar(t, "p"));
        metafileGone = !isMetafile(intVar(t, "m"));
        bitmapKept = isQuadBitmap(intVar(t, "b"));
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(24, intVar(*o, "x"));
    EXPECT_EQ(24, intVar(*o, "y"));
    EXPECT_TRUE(bigGone) << "bitmap";
    EXPECT_TRUE(pictureGone) << "picture; freeing it twice is harmless";
    EXPECT_TRUE(metafileGone) << "metafile";
    EXPECT_TRUE(bitmapKept) << "a negative type frees nothing";
}

TEST(Images, CursorIsTheWindowsOwn)
{
    writeImageFiles();
    auto o = prepareUiProgram(imageProgram(
        "set_cursor w, 0\n"
        "{op249} 1\n"
        "set_cursor w, 2, c\n"
        "{op249} 2\n"
        "set_cursor w, 1\n"
        "{op249} 3\n"
        "set_window_icon w, i\n"));
    ASSERT_TRUE(o);
    HCURSOR shown[3] = {}, kept[3] = {};
    auto look = [&](int k) {
        return [&, k](UiTestOstrin& t, Statement*) {
            HWND hwnd = hwndVar(t, "w");
            ::SetCursor(nullptr);
            // The mouse moving over the client area asks the window which
            // cursor to show.
            ::SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            shown[k] = ::GetCursor();
            kept[k] = windowVar(t, "w")->cursor;
        };
    };
    for (int k = 0; k < 3; ++k) o->hooks[k + 1] = look(k);
    ASSERT_EQ(0, runPrepared(*o).error);
    const HCURSOR wait = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));
    const HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    const HCURSOR own = handleOf<HCURSOR>(intVar(*o, "c"));
    EXPECT_EQ(wait, shown[0]) << "the hourglass";
    EXPECT_EQ(wait, kept[0]);
    EXPECT_EQ(own, shown[1]) << "the program's cursor";
    EXPECT_EQ(arrow, shown[2]) << "the arrow again";
    EXPECT_EQ(arrow, kept[2]);
    const auto icon = ::SendMessageA(hwndVar(*o, "w"), WM_GETICON, ICON_BIG, 0);
    EXPECT_EQ(intVar(*o, "i"), static_cast<int32_t>(icon)) << "the window's icon";
}

TEST(GraphicsObjects, BalanceAfterTenThousandImagesAndFonts)
{
    writeImageFiles();
    // Each round one image, of the five kinds in turn, is loaded, drawn
    // and freed, and a new font is set and measured (every fifth round
    // also on a button); a few rounds first, so
    // objects the system makes once on first use do not count.
    const std::string round =
        "select k % 5\n"
        "case 0\n"
        "b = load_image(\"quad.bmp\", 0)\n"
        "draw_image w, b, 0, 0, 0, 4, 4\n"
        "get_image_size b, x, y\n"
        "free_image b, 0\n"
        "case 1\n"
        "p = load_image(\"quad.bmp\", 4)\n"
        "draw_image w, p, 4, 10, 0\n"
        "free_image p, 4\n"
        "case 2\n"
        "i = load_image(\"red.ico\", 1)\n"
        "draw_image w, i, 1, 20, 0\n"
        "free_image i, 1\n"
        "case 3\n"
        "c = load_image(\"red.cur\", 2)\n"
        "set_cursor w, 2, c\n"
        "set_cursor w, 1\n"
        "free_image c, 2\n"
        "set_font w, \"Arial\", 8 + k % 20, 400, k % 2, 1\n"
        "case 4\n"
        "m = load_image(\"blue.emf\", 3)\n"
        "draw_image w, m, 3, 60, 0, 10, 10\n"
        "free_image m, 3\n"
        "end_select\n"
        "set_font w, \"Arial\", 8 + k % 20, 400, k % 2\n"
        "text_extent w, \"leak\", x, y\n";
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables k, b, p, i, c, m, x, y: INT\n"
        "open_window w, 0, 0, 300, 200, 0, 0, \"leak\", ev\n"
        "add_controls w, \"B,OK,100,100,80,24,0,1\"\n"
        "counted_loop k, 1, 20\n" + round + "next_step k\n"
        "{op249} 1\n"
        "counted_loop k, 1, 10000\n" + round + "next_step k\n"
        "{op249} 2\n"
        "jump finish\n"
        "ev:\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    long atStart = 0, atEnd = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        // A hidden window: screen updates cost more than the objects.
        ::ShowWindow(hwndVar(t, "w"), SW_HIDE);
        pumpPending();
        atStart = gdiObjectsHeld();
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        atEnd = gdiObjectsHeld();
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(10000, intVar(*o, "k") - 1);
    EXPECT_LE(atEnd, atStart + 2) << "start " << atStart << ", end " << atEnd;
}

}  // namespace
