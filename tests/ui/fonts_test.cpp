// Fonts, colours and the common dialogs: the font a window draws text
// with, text extents under it, composed colours, and the font and colour
// dialogs answered from a thread of the test (as a user would answer them).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/windows/ostrin_dlg.h"
#include "support/ui_harness.h"

namespace {

// Window w and the variables the font statements use; `body` runs with w open.
std::string fontProgram(const std::string& body)
{
    return "declare_variables w: WINDOW\n"
           "declare_variables cx, cy, cx2, cy2, size, weight, style, colour, a, b: INT\n"
           "declare_variables face: STRING\n"
           "open_window w, 40, 40, 320, 240, 0, 0, \"fonts\", ev\n" +
           body +
           "jump finish\n"
           "ev:\n"
           "return\n"
           "finish:\n";
}

// The description of the font the window draws text with now.
LOGFONTA windowFont(COstrinWnd* w)
{
    LOGFONTA lf = {};
    HDC dc = w->beginDrawing();
    if (dc) {
        ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
        w->endDrawing(dc, false);
    }
    return lf;
}

LONG pointsToHeight(int points)
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return -::MulDiv(points, dpi, 72);
}

TEST(Fonts, MakeColour)
{
    struct Case {
        const char* call;
        int32_t want;
    };
    const Case cases[] = {
        {"make_colour(255, 0, 0)", 255},
        {"make_colour(0, 0, 255)", 16711680},
        {"make_colour(0x12, 0x34, 0x56)", 0x563412},
        {"make_colour(256, 1, 0)", 256},
        {"make_colour(-1, 0, 0)", 255},
        {"make_colour(1.9, 2, 3)", 0x030201},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string("declare_variables a: INT\na = ") + c.call + "\n");
        ASSERT_TRUE(o) << c.call;
        ASSERT_EQ(0, runPrepared(*o).error) << c.call;
        EXPECT_EQ(c.want, intVar(*o, "a")) << c.call;
    }
}

TEST(Fonts, SetFontDescribesTheWindowsFont)
{
    struct Case {
        const char* name;
        const char* statement;
        const char* face;
        int points, weight;
        bool italic, underline, strikeOut;
        int charSet;
    };
    const Case cases[] = {
        {"bold italic underlined", "set_font w, \"Arial\", 12, 700, 0x11\n", "Arial", 12, 700, true, true, false, 0},
        {"strikeout", "set_font w, \"Arial\", 10, 400, 0x20\n", "Arial", 10, 400, false, false, true, 0},
        {"no style word", "set_font w, \"Courier New\", 20, 400\n", "Courier New", 20, 400, false, false, false, 0},
        {"symbol character set", "set_font w, \"Symbol\", 12, 400, 0x20000\n", "Symbol", 12, 400, false, false, false,
         SYMBOL_CHARSET},
        {"other style bits ignored", "set_font w, \"Arial\", 12, 400, 0x0C0\n", "Arial", 12, 400, false, false, false, 0},
        {"weight taken as 16 bits", "set_font w, \"Arial\", 12, 0x102BC\n", "Arial", 12, 700, false, false, false, 0},
        {"face cut at 31 characters",
         "set_font w, \"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\", 12, 400\n",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", 12, 400, false, false, false, 0},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(fontProgram(c.statement));
        ASSERT_TRUE(o) << c.name;
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        const LOGFONTA lf = windowFont(windowVar(*o, "w"));
        EXPECT_STREQ(c.face, lf.lfFaceName) << c.name;
        EXPECT_EQ(pointsToHeight(c.points), lf.lfHeight) << c.name;
        EXPECT_EQ(c.weight, lf.lfWeight) << c.name;
        EXPECT_EQ(c.italic, lf.lfItalic != 0) << c.name;
        EXPECT_EQ(c.underline, lf.lfUnderline != 0) << c.name;
        EXPECT_EQ(c.strikeOut, lf.lfStrikeOut != 0) << c.name;
        EXPECT_EQ(c.charSet, lf.lfCharSet) << c.name;
        EXPECT_EQ(DRAFT_QUALITY, lf.lfQuality) << c.name;
    }
}

TEST(Fonts, ControlGetsAFontOfItsOwn)
{
    // Control 1 of a window or a shown dialog gets a font, then another;
    // its neighbour and the window's own text font stay as they were, and
    // the first font goes when the second replaces it.
    struct Case {
        const char* name;
        const char* parent;
        const char* open;
    };
    const Case cases[] = {
        {"window", "w", ""},
        {"dialog", "d",
         "declare_variables d: DIALOG\ncreate_dialog d, 20, 20, 300, 200, WS_CAPTION, 0, \"d\", ev\n"},
    };
    for (const Case& c : cases) {
        const std::string p = c.parent;
        auto o = prepareUiProgram(fontProgram(
            std::string(c.open) + "add_controls " + p + ", \"B,OK,10,20,120,30,0,1\", \"T,Label,10,60,120,30,0,2\"\n" +
            (p == "d" ? "show_dialog d\n" : "") +
            "{op249} 1\n"
            "set_font " + p + ", \"Arial\", 20, 700, 0x10, 1\n"
            "{op249} 2\n"
            "set_font " + p + ", \"Courier New\", 9, 400, 0, 1\n"
            "{op249} 3\n"));
        ASSERT_TRUE(o) << c.name;
        HWND button = nullptr, label = nullptr;
        HFONT labelFont = nullptr, first = nullptr, second = nullptr;
        LOGFONTA firstLf = {}, secondLf = {};
        auto parentOf = [&](UiTestOstrin& t) {
            return p == "d" ? dialogVar(t, "d")->GetSafeHwnd() : hwndVar(t, "w");
        };
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            button = ::GetDlgItem(parentOf(t), 2024 + 1);
            label = ::GetDlgItem(parentOf(t), 2024 + 2);
            labelFont = reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0));
        };
        o->hooks[2] = [&](UiTestOstrin&, Statement*) {
            first = reinterpret_cast<HFONT>(::SendMessageA(button, WM_GETFONT, 0, 0));
            ::GetObjectA(first, sizeof firstLf, &firstLf);
        };
        o->hooks[3] = [&](UiTestOstrin&, Statement*) {
            second = reinterpret_cast<HFONT>(::SendMessageA(button, WM_GETFONT, 0, 0));
            ::GetObjectA(second, sizeof secondLf, &secondLf);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        ASSERT_TRUE(button && label) << c.name;
        EXPECT_STREQ("Arial", firstLf.lfFaceName) << c.name;
        EXPECT_EQ(pointsToHeight(20), firstLf.lfHeight) << c.name;
        EXPECT_EQ(700, firstLf.lfWeight) << c.name;
        EXPECT_TRUE(firstLf.lfUnderline) << c.name;
        EXPECT_STREQ("Courier New", secondLf.lfFaceName) << c.name;
        EXPECT_EQ(pointsToHeight(9), secondLf.lfHeight) << c.name;
        EXPECT_EQ(0, ::GetObjectType(first)) << c.name << ": the replaced font is deleted";
        EXPECT_EQ(OBJ_FONT, static_cast<int>(::GetObjectType(second))) << c.name << ": the control keeps its font";
        EXPECT_EQ(labelFont, reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0))) << c.name;
        if (p == "w") {
            EXPECT_STRNE("Courier New", windowFont(windowVar(*o, "w")).lfFaceName) << c.name;
        }
    }
}

TEST(Fonts, ExtentsFollowTheFont)
{
    struct Case {
        const char* name;
        const char* first;    // measured into cx, cy
        const char* second;   // measured into cx2, cy2
        double minWidthRatio, minHeightRatio;   // second over first
    };
    const Case cases[] = {
        {"twice the size",
         "set_font w, \"Arial\", 12, 400\ntext_extent w, \"Hello there\", cx, cy\n",
         "set_font w, \"Arial\", 24, 400\ntext_extent w, \"Hello there\", cx2, cy2\n", 1.7, 1.7},
        {"bold is wider",
         "set_font w, \"Arial\", 20, 400\ntext_extent w, \"Hello there\", cx, cy\n",
         "set_font w, \"Arial\", 20, 700\ntext_extent w, \"Hello there\", cx2, cy2\n", 1.02, 1.0},
        {"a longer text",
         "set_font w, \"Courier New\", 12, 400\ntext_extent w, \"abc\", cx, cy\n",
         "text_extent w, \"abcabc\", cx2, cy2\n", 2.0, 1.0},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(fontProgram(std::string(c.first) + c.second));
        ASSERT_TRUE(o) << c.name;
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        const int cx = intVar(*o, "cx"), cy = intVar(*o, "cy"), cx2 = intVar(*o, "cx2"), cy2 = intVar(*o, "cy2");
        ASSERT_GT(cx, 0) << c.name;
        ASSERT_GT(cy, 0) << c.name;
        EXPECT_GE(cx2, cx * c.minWidthRatio) << c.name << ": widths " << cx << ", " << cx2;
        EXPECT_GE(cy2, cy * c.minHeightRatio) << c.name << ": heights " << cy << ", " << cy2;
    }
}

TEST(Fonts, PrintedTextUsesTheWindowsFont)
{
    // Text printed into the window moves the position by its extent in the
    // font set last; the empty text measures 0 wide.
    auto o = prepareUiProgram(fontProgram(
        "set_font w, \"Arial\", 30, 700\n"
        "text_extent w, \"Wide words\", cx, cy\n"
        "text_extent w, \"\", cx2, cy2\n"
        "set_print_target w\n"
        "console_print \"Wide words\";\n"
        "get_drawing_position w, a, b\n"
        "set_print_target\n"));
    ASSERT_TRUE(o);
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_GT(intVar(*o, "cx"), 100) << "30-point bold text";
    EXPECT_EQ(intVar(*o, "cx"), intVar(*o, "a")) << "the print went as far as the text is wide";
    EXPECT_EQ(0, intVar(*o, "cx2")) << "empty text";
}

TEST(Fonts, StatementErrors)
{
    struct Case {
        const char* name;
        const char* body;
        int error;
    };
    const Case cases[] = {
        {"set font: three arguments", "set_font w, \"Arial\", 12\n", ErrArgCount},
        {"set font: seven arguments", "set_font w, \"Arial\", 12, 400, 0, 1, 2\n", ErrArgCount},
        {"set font: a number for the face", "set_font w, 12, 12, 400\n", ErrType},
        {"set font: empty window", "declare_variables e: WINDOW\nset_font e, \"Arial\", 12, 400\n", ErrNoWindow},
        {"set font: no control with that id", "set_font w, \"Arial\", 12, 400, 0, 5\n", ErrNoControl},
        {"text extent: not a window", "text_extent cx, \"a\", cx, cy\n", ErrType},
        {"text extent: into a number", "text_extent w, \"a\", 1, cy\n", ErrType},
        {"text extent: three arguments", "text_extent w, \"a\", cx\n", ErrArgCount},
        {"choose font: a number for the size", "face = choose_font(w, 12, weight, style, colour)\n", ErrType},
        {"choose font: a string for the weight", "face = choose_font(w, size, face, style, colour)\n",
         ErrNotInteger},
        {"choose font: four arguments", "face = choose_font(w, size, weight, style)\n", ErrArgCount},
        {"choose colour: three arguments", "a = choose_colour(w, 1, 2)\n", ErrArgCount},
        {"make colour: two arguments", "a = make_colour(1, 2)\n", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(fontProgram(c.body));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
    }
}

// Answers the common dialogs this process shows with the given titles, in
// order, from a thread of its own: each step waits for its dialog, acts on
// it as a user would, presses a button, and waits until it is gone.
class DialogAnswerer {
public:
    struct Step {
        const char* title;
        std::function<void(HWND)> act;   // may be empty
        int button;
    };

    explicit DialogAnswerer(std::vector<Step> steps) : m_steps(std::move(steps)), m_thread([this] { run(); }) {}
    ~DialogAnswerer()
    {
        m_stop = true;
        m_thread.join();
    }
    // How many dialogs were answered.
    int answered() const { return m_answered; }
    // The owner window of the last dialog answered.
    HWND owner() const { return m_owner; }

private:
    HWND waitFor(const char* title)
    {
        for (int tries = 0; tries < 400 && !m_stop; ++tries) {
            HWND box = ::FindWindowA("#32770", title);
            DWORD pid = 0;
            if (box) ::GetWindowThreadProcessId(box, &pid);
            // The dialog's controls come a moment after its window.
            if (box && pid == ::GetCurrentProcessId() && ::GetDlgItem(box, IDOK)) return box;
            ::Sleep(25);
        }
        return nullptr;
    }

    void run()
    {
        for (const Step& step : m_steps) {
            HWND box = waitFor(step.title);
            if (!box) return;
            ::Sleep(100);
            if (step.act) step.act(box);
            m_owner = ::GetWindow(box, GW_OWNER);
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, step.button)));
            ++m_answered;
            for (int tries = 0; tries < 400 && ::IsWindow(box); ++tries) ::Sleep(25);
        }
    }

    std::vector<Step> m_steps;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_answered{0};
    std::atomic<HWND> m_owner{nullptr};
    std::thread m_thread;
};

// Control ids of the colour dialog (the same under Windows and Wine).
constexpr int ColourRed = 706, ColourGreen = 707, ColourBlue = 708, ColourAddCustom = 712, ColourCustomCells = 721;
// And of the font dialog.
constexpr int FontFace = 0x470, FontStyle = 0x471, FontSize = 0x472, FontUnderline = 0x411, FontColour = 0x473;

void typeColour(HWND box, int red, int green, int blue)
{
    ::SetDlgItemInt(box, ColourRed, red, FALSE);
    ::SetDlgItemInt(box, ColourGreen, green, FALSE);
    ::SetDlgItemInt(box, ColourBlue, blue, FALSE);
}

// Picks an entry of a combo box as a user's click would.
void pick(HWND box, int id, const char* text)
{
    HWND combo = ::GetDlgItem(box, id);
    ::SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    ::SendMessageA(box, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

TEST(CommonDialogs, ColourAnswers)
{
    struct Case {
        const char* name;
        const char* call;
        std::function<void(HWND)> act;
        int button;
        int32_t want;
    };
    const Case cases[] = {
        {"OK with a chosen colour", "a = choose_colour(w, 0x123456)\n",
         [](HWND box) { typeColour(box, 10, 20, 30); }, IDOK, 0x1E140A},
        {"OK keeps the initial colour", "a = choose_colour(w, 0x123456)\n", nullptr, IDOK, 0x123456},
        {"OK without an initial colour is black", "a = choose_colour(w)\n", nullptr, IDOK, 0},
        {"cancelled", "a = choose_colour(w, 0x123456)\n", [](HWND box) { typeColour(box, 10, 20, 30); }, IDCANCEL,
         -1},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(fontProgram(c.call));
        ASSERT_TRUE(o) << c.name;
        DialogAnswerer answerer({{"Color", c.act, c.button}});
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(1, answerer.answered()) << c.name;
        EXPECT_EQ(hwndVar(*o, "w"), answerer.owner()) << c.name;
        EXPECT_EQ(c.want, intVar(*o, "a")) << c.name;
    }
}

TEST(CommonDialogs, CustomColoursStayForTheNextDialog)
{
    // The user adds a colour to the custom colours the first time and picks
    // it from there the second time.
    auto o = prepareUiProgram(fontProgram(
        "a = choose_colour(w, 0)\n"
        "b = choose_colour(w, 0x00FF00)\n"));
    ASSERT_TRUE(o);
    DialogAnswerer answerer({
        {"Color",
         [](HWND box) {
             typeColour(box, 200, 100, 50);
             ::SendMessageA(box, WM_COMMAND, MAKEWPARAM(ColourAddCustom, BN_CLICKED),
                            reinterpret_cast<LPARAM>(::GetDlgItem(box, ColourAddCustom)));
         },
         IDOK},
        {"Color",
         [](HWND box) {
             // A click on the first cell of the custom colours.
             RECT cells = {};
             ::GetWindowRect(::GetDlgItem(box, ColourCustomCells), &cells);
             POINT p = {cells.left + 5, cells.top + 5};
             ::ScreenToClient(box, &p);
             ::SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
             ::SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
         },
         IDOK},
    });
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(2, answerer.answered());
    EXPECT_EQ(0x3264C8, intVar(*o, "a"));
    EXPECT_EQ(0x3264C8, intVar(*o, "b")) << "the custom colour of the first dialog";
}

TEST(CommonDialogs, FontAnswers)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        int button;
        const char* face;
        int32_t size, weight, style, colour;
    };
    const Case cases[] = {
        {"OK with a chosen font",
         [](HWND box) {
             pick(box, FontFace, "Liberation Serif");
             pick(box, FontStyle, "Bold Italic");
             pick(box, FontSize, "20");
             ::SendMessageA(::GetDlgItem(box, FontUnderline), BM_CLICK, 0, 0);
             pick(box, FontColour, "Red");
         },
         IDOK, "Liberation Serif", 20, 700, 0x31, 0x0000FF},   // strikeout was on from the start
        {"OK as it was opened gives back the start", nullptr, IDOK, "Liberation Mono", 14, 700, 0x20, 0x008000},
        {"cancelled leaves the variables", [](HWND box) { pick(box, FontSize, "20"); }, IDCANCEL, "", 14, 700, 0x20,
         0x008000},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(fontProgram(
            "size = 14\nweight = 700\nstyle = 0x20\ncolour = 0x008000\n"
            "face = \"unchanged\"\n"
            "face = choose_font(w, size, weight, style, colour, \"Liberation Mono\")\n"));
        ASSERT_TRUE(o) << c.name;
        DialogAnswerer answerer({{"Font", c.act, c.button}});
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(1, answerer.answered()) << c.name;
        EXPECT_EQ(c.face, stringVar(*o, "face")) << c.name;
        EXPECT_EQ(c.size, intVar(*o, "size")) << c.name;
        EXPECT_EQ(c.weight, intVar(*o, "weight")) << c.name;
        EXPECT_EQ(c.style, intVar(*o, "style")) << c.name;
        EXPECT_EQ(c.colour, intVar(*o, "colour")) << c.name;
    }
}

TEST(CommonDialogs, DialogArgument)
{
    // A dialog as the window argument: it keeps its own font, shows the
    // cursor asked for, owns the colour dialog, and is no drawing window.
    auto o = prepareUiProgram(fontProgram(
        "declare_variables d: DIALOG\n"
        "create_dialog d, 20, 20, 240, 120, WS_CAPTION, 0, \"dialog\", ev\n"
        "show_dialog d\n"
        "{op249} 1\n"
        "set_font d, \"Arial\", 30, 700, 1\n"
        "set_cursor d, 0\n"
        "{op249} 2\n"
        "a = choose_colour(d, 0xFF)\n"));
    ASSERT_TRUE(o);
    HFONT before = nullptr, after = nullptr;
    HCURSOR shown = nullptr;
    HWND dialog = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        dialog = dialogVar(t, "d")->GetSafeHwnd();
        before = reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) {
        after = reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
        shown = ::GetCursor();
    };
    DialogAnswerer answerer({{"Color", nullptr, IDOK}});
    ASSERT_EQ(0, runPrepared(*o).error);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(before, after) << "the dialog's font";
    EXPECT_EQ(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)), shown) << "the hourglass";
    EXPECT_EQ(dialog, answerer.owner());
    EXPECT_EQ(0xFF, intVar(*o, "a"));

    for (const char* line : {"text_extent d, \"a\", cx, cy\n", "draw_image d, 0, 4, 0, 0\n"}) {
        auto bad = prepareUiProgram(fontProgram(std::string("declare_variables d: DIALOG\n"
                                                            "create_dialog d, 20, 20, 240, 120, 0, 0, \"d\", ev\n") +
                                                line));
        ASSERT_TRUE(bad) << line;
        EXPECT_EQ(ErrType, runPrepared(*bad).error) << line;
    }
}

}  // namespace
