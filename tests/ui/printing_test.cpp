// Printing: raw jobs, the default printer and the print dialog, windows
// printed as pages, GBitmapPrinter on its own, and rich edit printing.
//
// Jobs go to the test printer that scripts/env.sh installs: a PostScript
// printer whose port is a file, read back here. The print dialog is
// answered by a timer that runs inside the dialog's own loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/gdi.h"
#include "support/ui_harness.h"
#include "ui/printing/bitmap_printer.h"
#include "ui/printing/printing.h"

namespace {

std::string defaultPrinterName()
{
    char name[260] = "";
    DWORD size = sizeof name;
    return ::GetDefaultPrinterA(name, &size) ? name : "";
}

// The file the default printer writes, as a Windows path ("" for none).
std::string printerFile()
{
    std::string name = defaultPrinterName();
    HANDLE printer = nullptr;
    if (name.empty() || !::OpenPrinterA(name.data(), &printer, nullptr)) return "";
    std::string port;
    DWORD size = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &size);
    std::string buf(size, '\0');
    if (size && ::GetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(buf.data()), size, &size)) {
        const char* p = reinterpret_cast<PRINTER_INFO_2A*>(buf.data())->pPortName;
        if (p && p[0] == '/') {
            // Wine's drive Z: is the Unix root.
            port = std::string("Z:") + p;
            for (char& c : port)
                if (c == '/') c = '\\';
        }
    }
    ::ClosePrinter(printer);
    return port;
}

#define REQUIRE_FILE_PRINTER(path)                                                             \
    const std::string path = printerFile();                                                    \
    if (path.empty()) GTEST_SKIP() << "no file printer (scripts/test and wine-run install it)"; \
    std::remove(path.c_str())

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text a PostScript job shows: the printer driver writes every glyph
// as "/name glyphshow".
std::string shownText(const std::string& ps)
{
    std::string out;
    std::istringstream lines(ps);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t end = line.find(" glyphshow");
        if (line.empty() || line[0] != '/' || end == std::string::npos) continue;
        const std::string name = line.substr(1, end - 1);
        if (name.size() == 1) out += name;
        else if (name == "space" || name == "uni00A0" || name == "uni0020") out += ' ';
        else if (name == "period") out += '.';
        else if (name == "colon") out += ':';
        else out += "?";
    }
    return out;
}

int countOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// --- The print dialog, answered from inside its loop ------------------------------

struct DialogAnswer {
    int button = IDOK;
    int from = 0, to = 0;   // a page range to choose first, when from > 0
    bool seen = false;
};
DialogAnswer answer;

void CALLBACK answerPrintDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = ::FindWindowA("#32770", "Print");
    if (!dialog || !::IsWindowVisible(dialog)) return;
    ::KillTimer(nullptr, timer);
    answer.seen = true;
    if (answer.from > 0) {
        constexpr int AllPages = 0x420, PageRange = 0x422, FromBox = 0x480, ToBox = 0x481;
        ::CheckRadioButton(dialog, AllPages, PageRange, PageRange);
        ::SetDlgItemInt(dialog, FromBox, static_cast<UINT>(answer.from), FALSE);
        ::SetDlgItemInt(dialog, ToBox, static_cast<UINT>(answer.to), FALSE);
    }
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, answer.button)));
}

void answerNextPrintDialog(int button, int from = 0, int to = 0)
{
    answer = DialogAnswer{button, from, to, false};
    ::SetTimer(nullptr, 0, 50, answerPrintDialog);
}

// --- Raw jobs ---------------------------------------------------------------------

TEST(Printing, RawJobWritesItsLinesToThePrinter)
{
    REQUIRE_FILE_PRINTER(file);
    auto o = prepareUiProgram(
        "declare_variables p, none: INT\n"
        "declare_variables name: STRING\n"
        "declare_variables d: DOUBLE\n"
        "declare_function f(n: INT)\n"
        "name = default_printer\n"
        "p = open_printer(name, \"raw job\", \"RAW\")\n"
        "d = 2.5\n"
        "write_printer p, \"Total: \", 42\n"
        "write_printer p, \"d=\", d\n"
        "d = 3.0\n"
        "write_printer p, d, \"x\"\n"
        "new_printer_page p\n"
        "write_printer p, \"page two\",\n"
        // A function that prints to the console, called while the line is
        // being built, leaves the line whole.
        "write_printer p, \"f:\", f(2), \"end\"\n"
        "close_printer p\n"
        "close_printer none\n"
        "new_printer_page none\n"
        "write_printer none, \"lost\"\n"
        "jump finish\nf:\nconsole_print \"inside\", n\nreturn n * 10\nfinish:\n");
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(defaultPrinterName(), stringVar(*o, "name"));
    EXPECT_NE(0, intVar(*o, "p"));
    EXPECT_EQ("Total: 42 \nd= 2.50\n3 x\npage two\nf:20 end\n", readFile(file));
}

TEST(Printing, RawJobFailuresAndArgumentErrors)
{
    struct Case {
        const char* name;
        const char* program;
        int error;
    };
    const Case cases[] = {
        {"unknown printer answers 0", "p = open_printer(\"No Such Printer\", \"x\", \"RAW\")", 0},
        {"handle 0 does nothing", "write_printer 0, \"x\"\nnew_printer_page 0\nclose_printer 0", 0},
        {"write without a handle", "write_printer", ErrArgCount},
        {"close with two handles", "close_printer 0, 0", ErrArgCount},
        {"handle not an integer", "close_printer \"x\"", ErrNotInteger},
        {"default printer takes none", "s = default_printer(1)", ErrArgCount},
        {"open with two texts", "p = open_printer(\"a\", \"b\")", ErrArgCount},
        {"printer name not a text", "p = open_printer(5, \"b\", \"RAW\")", ErrType},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string("declare_variables p: INT\ndeclare_variables s: STRING\np = 7\n") +
                                  c.program);
        ASSERT_TRUE(o);
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        if (!c.error && std::string(c.program).find("open_printer") != std::string::npos) {
            EXPECT_EQ(0, intVar(*o, "p")) << c.name;
        }
    }
}

// --- The print dialog -----------------------------------------------------------------

TEST(Printing, PrinterDialogReportsRangeCopiesAndName)
{
    struct Case {
        const char* name;
        int button, from, to;   // the answer
        int wantFrom, wantTo;
        bool named;
    };
    const Case cases[] = {
        {"all pages", IDOK, 0, 0, -1, -1, true},
        {"page range", IDOK, 2, 3, 2, 3, true},
        {"cancelled", IDCANCEL, 0, 0, 1, 5, false},
    };
    for (const Case& c : cases) {
        if (defaultPrinterName().empty()) GTEST_SKIP() << "no printer installed";
        auto o = prepareUiProgram(
            "declare_variables w: WINDOW\n"
            "declare_variables from, to, copies, collate: INT\n"
            "declare_variables name: STRING\n"
            "open_window w, 10, 10, 200, 100, 0, 0, \"owner\", h\n"
            "from = 1\nto = 5\ncopies = 1\ncollate = 7\n"
            "{op249} 1\n"
            "name = printer_dialog(w, from, to, copies, collate)\n"
            "jump finish\nh:\nreturn\nfinish:\n");
        ASSERT_TRUE(o);
        o->hooks[1] = [&](UiTestOstrin&, Statement*) { answerNextPrintDialog(c.button, c.from, c.to); };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_TRUE(answer.seen) << c.name << ": the dialog was shown";
        EXPECT_EQ(c.wantFrom, intVar(*o, "from")) << c.name;
        EXPECT_EQ(c.wantTo, intVar(*o, "to")) << c.name;
        EXPECT_EQ(c.named ? defaultPrinterName() : "", stringVar(*o, "name")) << c.name;
        if (c.named) {
            EXPECT_GE(intVar(*o, "copies"), 1) << c.name;
            const int collate = intVar(*o, "collate");
            EXPECT_TRUE(collate == 0 || collate == 1) << c.name << ": collate " << collate;
        }
    }
}

TEST(Printing, PrinterDialogArguments)
{
    struct Case {
        const char* name;
        const char* statement;
        int error;
    };
    const Case cases[] = {
        {"from not a variable", "name = printer_dialog(w, 1, to, copies, collate)", ErrType},
        {"collate not a variable", "name = printer_dialog(w, from, to, copies, 0)", ErrType},
        {"copies of another type", "name = printer_dialog(w, from, to, d, collate)", ErrNotInteger},
        {"four arguments", "name = printer_dialog(w, from, to, copies)", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string(
            "declare_variables w: WINDOW\n"
            "declare_variables from, to, copies, collate: INT\n"
            "declare_variables d: DOUBLE\n"
            "declare_variables name: STRING\n") + c.statement + "\n");
        ASSERT_TRUE(o);
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
    }

    // No window at all is no owner, not an error.
    if (defaultPrinterName().empty()) GTEST_SKIP() << "no printer installed";
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables from, to, copies, collate: INT\n"
        "declare_variables name: STRING\n"
        "from = 1\nto = 1\ncopies = 1\n"
        "{op249} 1\n"
        "name = printer_dialog(w, from, to, copies, collate)\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) { answerNextPrintDialog(IDOK); };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(defaultPrinterName(), stringVar(*o, "name"));
}

// --- Windows as pages -------------------------------------------------------------------

TEST(Printing, PersistentWindowPrintsItsPictureOnOnePage)
{
    REQUIRE_FILE_PRINTER(file);
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "open_window w, 10, 10, 300, 200, 0, 0, \"Picture page\", h\n"
        "draw_rectangle w, 10, 10, 100, 50, 0x0000FF, 0x00FF00\n"
        "{op249} 1\n"
        "print_window w\n"
        "{op249} 2\n"
        "print_window w\n"
        "{op249} 3\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    long afterFirst = 0, afterSecond = 0;
    o->hooks[1] = [](UiTestOstrin&, Statement*) { answerNextPrintDialog(IDOK); };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) {
        afterFirst = gdiObjectsHeld();
        answerNextPrintDialog(IDOK);
    };
    o->hooks[3] = [&](UiTestOstrin&, Statement*) { afterSecond = gdiObjectsHeld(); };
    ASSERT_EQ(0, runPrepared(*o).error);
    ASSERT_TRUE(answer.seen);
    const std::string ps = readFile(file);
    EXPECT_EQ(0u, ps.find("%!PS")) << "PostScript";
    EXPECT_NE(std::string::npos, ps.find("%%Title: Picture page")) << "named after the window";
    EXPECT_EQ(1, countOf(ps, "showpage")) << "one page";
    EXPECT_NE(std::string::npos, ps.find("image")) << "the picture as an image";
    EXPECT_EQ(nullptr, windowVar(*o, "w")->printDC) << "printing ended";
    EXPECT_EQ(afterFirst, afterSecond) << "printing again holds no more GDI objects";
}

TEST(Printing, WindowWithoutPersistentDrawingRunsItsPaintHandlerOnThePage)
{
    REQUIRE_FILE_PRINTER(file);
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables printing, paints: INT\n"
        "open_window w, 10, 10, 300, 200, 0x10, 0, \"Handler page\", h\n"
        "{op249} 1\n"
        "printing = 1\n"
        "print_window w\n"
        "printing = 0\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then paints = paints + 1\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then set_drawing_colour w, 0xFF0000\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then draw_line w, 100, 50, 100, 50\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then set_print_target w\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then console_print \"Hello page\"\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then set_print_target\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) { answerNextPrintDialog(IDOK); };
    ASSERT_EQ(0, runPrepared(*o).error);
    // The print dialog's loop may also repaint the window on the screen.
    EXPECT_GE(intVar(*o, "paints"), 1);
    const std::string ps = readFile(file);
    EXPECT_EQ(0u, ps.find("%!PS"));
    EXPECT_EQ(1, countOf(ps, "showpage"));
    EXPECT_EQ(1, countOf(shownText(ps), "Hello page")) << "the handler drew the page once: " << shownText(ps);

    // Screen coordinates are scaled to the page: (100, 50) lands where it
    // lies on the screen, relative to the page's printable width.
    HDC printer = ::CreateDCA(nullptr, defaultPrinterName().c_str(), nullptr, nullptr);
    ASSERT_TRUE(printer);
    const double scale = static_cast<double>(::GetDeviceCaps(printer, HORZRES)) / ::GetSystemMetrics(SM_CXSCREEN);
    ::DeleteDC(printer);
    bool found = false;
    std::istringstream lines(ps);
    std::string line;
    while (std::getline(lines, line)) {
        int x = 0, y = 0;
        char tail[16] = "";
        if (std::sscanf(line.c_str(), "%d %d %15s", &x, &y, tail) == 3 && std::string(tail) == "moveto" &&
            std::abs(x - 100 * scale) <= 1.5 && std::abs(y - 50 * scale) <= 1.5)
            found = true;
    }
    EXPECT_TRUE(found) << "no move to (" << 100 * scale << ", " << 50 * scale << ") on the page";
}

TEST(Printing, BitmapDrawnOnThePageIsStretchedToItsRectangle)
{
    // The paint handler draws a 4 x 4 bitmap (resource QUAD of
    // images_test.rc) into 100 x 100 screen pixels: on the page it is
    // stretched there as an image of its own 4 x 4 pixels, not copied
    // pixel for pixel as on the screen.
    REQUIRE_FILE_PRINTER(file);
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables printing, b: INT\n"
        "open_window w, 10, 10, 300, 200, 0x10, 0, \"Bitmap page\", h\n"
        "b = load_image(\"QUAD\", 0)\n"
        "{op249} 1\n"
        "printing = 1\n"
        "print_window w\n"
        "printing = 0\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = WM_PAINT & printing = 1 then draw_image w, b, 0, 20, 10, 100, 100\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) { answerNextPrintDialog(IDOK); };
    ASSERT_EQ(0, runPrepared(*o).error);
    const std::string ps = readFile(file);
    EXPECT_EQ(1, countOf(ps, "showpage"));
    EXPECT_EQ(1, countOf(ps, "/Width 4\n")) << "the bitmap's own width";
    EXPECT_EQ(1, countOf(ps, "/Height 4\n")) << "the bitmap's own height";
    // Placed at (20, 10) and 100 x 100 in screen pixels, scaled to the page.
    HDC printer = ::CreateDCA(nullptr, defaultPrinterName().c_str(), nullptr, nullptr);
    ASSERT_TRUE(printer);
    const double scale = static_cast<double>(::GetDeviceCaps(printer, HORZRES)) / ::GetSystemMetrics(SM_CXSCREEN);
    ::DeleteDC(printer);
    int x = 0, y = 0, width = 0, height = 0;
    const size_t at = ps.find(" translate\n", ps.find("%%EndPageSetup"));
    ASSERT_NE(std::string::npos, at);
    const size_t lineStart = ps.rfind('\n', at) + 1;
    ASSERT_EQ(4, std::sscanf(ps.c_str() + lineStart, "%d %d translate %d %d scale", &x, &y, &width, &height));
    EXPECT_NEAR(20 * scale, x, 1.5);
    EXPECT_NEAR(10 * scale, y, 1.5);
    EXPECT_NEAR(100 * scale, width, 1.5);
    EXPECT_NEAR(100 * scale, height, 1.5);
}

TEST(Printing, CancelledOrWrongWindowPrintsNothing)
{
    REQUIRE_FILE_PRINTER(file);
    struct Case {
        const char* name;
        const char* statement;
        int error;
    };
    const Case cases[] = {
        {"cancelled", "print_window w", 0},
        {"empty variable", "print_window none", ErrNoWindow},
        {"not a window", "print_window n", ErrType},
        {"no argument", "print_window", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string(
            "declare_variables w, none: WINDOW\n"
            "declare_variables n: INT\n"
            "open_window w, 10, 10, 200, 100, 0, 0, \"t\", h\n"
            "{op249} 1\n") + c.statement + "\njump finish\nh:\nreturn\nfinish:\n");
        ASSERT_TRUE(o);
        o->hooks[1] = [](UiTestOstrin&, Statement*) { answerNextPrintDialog(IDCANCEL); };
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        EXPECT_TRUE(readFile(file).empty()) << c.name << ": something was printed";
        if (!c.error) {
            EXPECT_TRUE(answer.seen) << c.name;
        }
    }
}

// --- GBitmapPrinter -------------------------------------------------------------------

TEST(BitmapPrinter, CopiesBitmapsDeviceIndependently)
{
    CClientDC screen(nullptr);
    // A screen bitmap with one red pixel at (2, 1).
    CBitmap ddb;
    ASSERT_TRUE(ddb.CreateCompatibleBitmap(screen, 5, 3));
    {
        CMemDC dc(screen);
        CSelectObject select(dc, ddb);
        ::PatBlt(dc, 0, 0, 5, 3, WHITENESS);
        ::SetPixelV(dc, 2, 1, RGB(255, 0, 0));
    }
    GBitmapPrinter printer;
    printer.setBitmap(ddb, nullptr);
    ASSERT_TRUE(printer.info());
    const BITMAPINFOHEADER& h = printer.info()->bmiHeader;
    EXPECT_EQ(24, h.biBitCount);
    EXPECT_EQ(5, h.biWidth);
    EXPECT_EQ(3, h.biHeight);
    // Rows of 5 × 3 bytes padded to 16, bottom-up: (2, 1) is in row 1.
    const auto* bits = static_cast<const unsigned char*>(printer.bits());
    EXPECT_EQ(0, bits[16 + 2 * 3 + 0]) << "blue";
    EXPECT_EQ(255, bits[16 + 2 * 3 + 2]) << "red";
    EXPECT_EQ(255, bits[16 + 3 * 3 + 0]) << "white beside it";

    // An 8-bit DIB section keeps its format and colour table.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } bi = {};
    bi.h = {sizeof(BITMAPINFOHEADER), 4, 2, 1, 8, BI_RGB, 0, 0, 0, 3, 0};
    bi.colours[0] = {0, 0, 0, 0};
    bi.colours[1] = {255, 0, 0, 0};
    bi.colours[2] = {0, 0, 255, 0};
    void* sectionBits = nullptr;
    CBitmap section(::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &sectionBits,
                                       nullptr, 0));
    ASSERT_TRUE(sectionBits);
    static_cast<unsigned char*>(sectionBits)[1] = 2;
    printer.setBitmap(section, nullptr);
    ASSERT_TRUE(printer.info());
    EXPECT_EQ(8, printer.info()->bmiHeader.biBitCount);
    EXPECT_EQ(255, printer.info()->bmiColors[2].rgbRed);
    EXPECT_EQ(255, printer.info()->bmiColors[1].rgbBlue);
    EXPECT_EQ(2, static_cast<const unsigned char*>(printer.bits())[1]);

    // Anything else is no bitmap: the copy stays as it was.
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, 0);
    printer.setBitmap(reinterpret_cast<HBITMAP>(pen.GetHandle()), nullptr);
    EXPECT_EQ(8, printer.info()->bmiHeader.biBitCount);
}

TEST(BitmapPrinter, DrawStretchesIntoTheTarget)
{
    CClientDC screen(nullptr);
    CBitmap source, target;
    ASSERT_TRUE(source.CreateCompatibleBitmap(screen, 4, 4));
    ASSERT_TRUE(target.CreateCompatibleBitmap(screen, 40, 40));
    CMemDC dc(screen);
    {
        CSelectObject select(dc, source);
        ::PatBlt(dc, 0, 0, 4, 4, WHITENESS);
        ::SetPixelV(dc, 3, 0, RGB(0, 0, 255));   // top right
    }
    GBitmapPrinter printer;
    printer.setBitmap(source, nullptr);
    printer.setTargetRect(RECT{10, 10, 30, 30});   // 5 times larger
    EXPECT_EQ(GBitmapPrinter::PlaceInTarget, printer.placementMode());
    CSelectObject select(dc, target);
    ::PatBlt(dc, 0, 0, 40, 40, BLACKNESS);
    printer.printPage(dc);
    EXPECT_EQ(RGB(0, 0, 255), ::GetPixel(dc, 27, 12)) << "the top right pixel, scaled";
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc, 12, 27)) << "the rest of the picture";
    EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(dc, 5, 5)) << "outside the target";

    // An empty target draws nothing.
    ::PatBlt(dc, 0, 0, 40, 40, BLACKNESS);
    printer.setTargetRect(RECT{10, 10, 10, 30});
    printer.draw(dc);
    EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(dc, 12, 12));
}

TEST(BitmapPrinter, DeviceRectanglesMapToSourceRows)
{
    CClientDC screen(nullptr);
    CBitmap source;
    ASSERT_TRUE(source.CreateCompatibleBitmap(screen, 100, 200));
    GBitmapPrinter printer;
    printer.setBitmap(source, nullptr);
    printer.setTargetRect(RECT{100, 100, 300, 500});   // twice the size
    struct Case {
        const char* name;
        RECT device;
        bool hit;
        RECT cut, source;
    };
    const Case cases[] = {
        {"top strip", {0, 0, 1000, 150}, true, {100, 100, 300, 150}, {0, 0, 100, 25}},
        {"middle", {150, 200, 250, 275}, true, {150, 200, 250, 275}, {25, 50, 75, 88}},
        {"past the bottom", {0, 480, 1000, 600}, true, {100, 480, 300, 500}, {0, 190, 100, 200}},
        {"above the target", {0, 0, 1000, 100}, false, {}, {}},
        {"beside the target", {300, 100, 400, 500}, false, {}, {}},
    };
    for (const Case& c : cases) {
        RECT device = c.device, source = {};
        ASSERT_EQ(c.hit, printer.mapToSource(device, source)) << c.name;
        if (!c.hit) continue;
        EXPECT_TRUE(::EqualRect(&device, &c.cut)) << c.name << ": cut " << device.left << "," << device.top << ","
                                                  << device.right << "," << device.bottom;
        EXPECT_TRUE(::EqualRect(&source, &c.source)) << c.name << ": source " << source.left << "," << source.top
                                                     << "," << source.right << "," << source.bottom;
    }
}

TEST(BitmapPrinter, StripsCoverEachBand)
{
    struct Case {
        int top, bottom, strips;
    };
    const Case cases[] = {{0, 200, 3}, {0, 50, 1}, {100, 210, 1}, {0, 75, 1}, {0, 3358, 45}, {0, 0, 0}};
    for (const Case& c : cases) {
        const RECT band = {0, c.top, 500, c.bottom};
        const int count = GBitmapPrinter::stripCount(band);
        EXPECT_EQ(c.strips, count) << c.top << "-" << c.bottom;
        int next = c.top;
        for (int i = 0; i < count; ++i) {
            const RECT s = GBitmapPrinter::strip(band, i, count);
            EXPECT_EQ(next, s.top) << c.top << "-" << c.bottom << " strip " << i;
            EXPECT_LE(s.bottom - s.top, c.bottom - c.top > 75 ? 2 * 75 : 75) << "strip " << i;
            next = s.bottom;
        }
        if (count) {
            EXPECT_EQ(c.bottom, next) << c.top << "-" << c.bottom << ": the band is covered";
        }
    }
}

TEST(BitmapPrinter, PrintsADocumentOfOnePage)
{
    REQUIRE_FILE_PRINTER(file);
    std::string name = defaultPrinterName();
    HDC printerDC = ::CreateDCA(nullptr, name.c_str(), nullptr, nullptr);
    ASSERT_TRUE(printerDC);
    CClientDC screen(nullptr);
    CBitmap source;
    ASSERT_TRUE(source.CreateCompatibleBitmap(screen, 8, 8));
    GBitmapPrinter printer;
    printer.printDocument(printerDC);   // nothing held: no document
    EXPECT_TRUE(readFile(file).empty());
    printer.setBitmap(source, nullptr);
    printer.setDocumentName(std::string(300, 'n').c_str());
    EXPECT_EQ(259u, std::string(printer.documentName()).size());
    printer.setDocumentName("bitmap document");
    printer.setTargetRect(RECT{0, 0, 400, 400});
    printer.printDocument(printerDC);
    ::DeleteDC(printerDC);
    const std::string ps = readFile(file);
    EXPECT_EQ(0u, ps.find("%!PS"));
    EXPECT_NE(std::string::npos, ps.find("%%Title: bitmap document"));
    EXPECT_EQ(1, countOf(ps, "showpage"));
}

// --- Rich edit -------------------------------------------------------------------------

TEST(Printing, RichEditPrintsItsPagesAndStops)
{
    REQUIRE_FILE_PRINTER(file);
    ::LoadLibraryA("riched32.dll");
    HWND edit = ::CreateWindowExA(0, "RICHEDIT", "", WS_POPUP | ES_MULTILINE, 0, 0, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(edit) << "rich edit 1.0 available";
    struct Case {
        const char* name;
        const char* text;
        int button;
        bool printed;
    };
    const Case cases[] = {
        {"empty control: one empty page", "", IDOK, true},
        {"some text", "Rich text to print", IDOK, true},
        {"cancelled", "Rich text", IDCANCEL, false},
    };
    for (const Case& c : cases) {
        std::remove(file.c_str());
        ::SetWindowTextA(edit, c.text);
        answerNextPrintDialog(c.button);
        EXPECT_EQ(0, printRichEdit(edit, nullptr)) << c.name;
        EXPECT_TRUE(answer.seen) << c.name;
        const std::string ps = readFile(file);
        if (!c.printed) {
            EXPECT_TRUE(ps.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(0u, ps.find("%!PS")) << c.name;
        EXPECT_NE(std::string::npos, ps.find("%%Title: (Untitled)")) << c.name;
        // Wine's rich edit formats nothing (EM_FORMATRANGE answers 0), so
        // its text cannot be seen on the page; the loop must still end.
        EXPECT_EQ(1, countOf(ps, "showpage")) << c.name;
    }
    ::DestroyWindow(edit);
    EXPECT_EQ(ErrNoControl, printRichEdit(nullptr, nullptr));
}

TEST(Printing, RichEditPrintedByTheControlOperation)
{
    REQUIRE_FILE_PRINTER(file);
    struct Case {
        const char* name;
        const char* operation;
        int button;
        int pages;
    };
    const Case cases[] = {
        {"default margin", "control_operation w, 3, 38", IDOK, 1},
        {"margin given", "control_operation w, 3, 38, 1440", IDOK, 1},
        {"cancelled", "control_operation w, 3, 38", IDCANCEL, 0},
    };
    for (const Case& c : cases) {
        std::remove(file.c_str());
        auto o = prepareUiProgram(std::string("declare_variables w: WINDOW\n"
                                              "open_window w, 40, 50, 300, 200, 0, 0, \"print\", h\n"
                                              "add_controls w, \"RE,,10,10,200,100,4,3\"\n"
                                              "control_operation w, 3, 24, \"Rich text to print\"\n"
                                              "{op249} 1\n") +
                                  c.operation + "\njump finish\nh:\nreturn\nfinish:\n");
        ASSERT_TRUE(o) << c.name;
        o->hooks[1] = [&](UiTestOstrin&, Statement*) { answerNextPrintDialog(c.button); };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_TRUE(answer.seen) << c.name;
        EXPECT_EQ(c.pages, countOf(readFile(file), "showpage")) << c.name;
    }
}

}  // namespace
