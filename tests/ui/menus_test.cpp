// Menus: bars, inserted menus and popups built from description entries and
// read back from Windows; the item statements; commands reaching the
// handler as menu events.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/ui_harness.h"

namespace {

// A program with window w (handler h records the last menu event) that
// runs `body`, then hook 1, then `after`.
std::string menuProgram(const std::string& body, const std::string& declarations = "",
                        const std::string& after = "")
{
    return "declare_variables w, none: WINDOW\n"
           "declare_variables menuId, events, g, n, notWindow: INT\n"
           "declare_variables s: STRING\n" +
           declarations +
           "open_window w, 40, 40, 320, 200, 0, 0, \"menus\", h\n" + body +
           "\n{op249} 1\n" + after +
           "\njump finish\n"
           "h:\n"
           "conditional EVENT_CODE = EV_MENU then menuId = EVENT_MENU_ID\n"
           "conditional EVENT_CODE = EV_MENU then events = events + 1\n"
           "return\n"
           "finish:\n";
}

std::string itemText(HMENU menu, UINT position)
{
    char text[64] = "";
    ::GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

// "caption=id" per item ("-" for a separator, "caption>" for a submenu).
std::string describe(HMENU menu)
{
    std::string out;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (!out.empty()) out += " ";
        const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            out += "-";
        } else if (::GetSubMenu(menu, i)) {
            out += itemText(menu, i) + ">";
        } else {
            out += itemText(menu, i) + "=" + std::to_string(static_cast<int>(::GetMenuItemID(menu, i)) - 2024);
        }
    }
    return out;
}

TEST(Menus, BarFromDescriptionAndCommands)
{
    auto o = prepareUiProgram(menuProgram(
        "set_menu_bar w, \"T,&File,0,0\", \"I,&Open,0,1\", \"S,&Recent,0,0\", \"I,a,0,10\", \"I,b,0,11\", "
        "\"^I,&Close,0,4\", \"I,-,0,0\", \"I,E&xit,0,2\", \"T,&Help,0,0\", \"I,&About,0,3\"",
        "", "wait_until events = 2"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HWND hwnd = hwndVar(t, "w");
        HMENU bar = ::GetMenu(hwnd);
        ASSERT_TRUE(bar);
        EXPECT_EQ("&File> &Help>", describe(bar));
        HMENU file = ::GetSubMenu(bar, 0);
        EXPECT_EQ("&Open=1 &Recent> &Close=4 - E&xit=2", describe(file));
        EXPECT_EQ("a=10 b=11", describe(::GetSubMenu(file, 1)));
        EXPECT_EQ("&About=3", describe(::GetSubMenu(bar, 1)));
        // Choosing an item sends WM_COMMAND with the Windows id.
        ::PostMessageA(hwnd, WM_COMMAND, 2024 + 1, 0);
        ::PostMessageA(hwnd, WM_COMMAND, 2024 + 11, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(11, intVar(*o, "menuId")) << "the last command's program id";
    EXPECT_EQ(2, intVar(*o, "events"));
}

TEST(Menus, FlagsAndIdsAsLiteralsAndExpressions)
{
    struct Case {
        const char* name;
        const char* entry;     // the item entry after "T,m,0,0"
        UINT state;            // MF_GRAYED | MF_CHECKED expected
        int id;                // Windows id minus 2024; -2024 for id 0
    };
    const Case cases[] = {
        {"decimal checked", "\"I,x,8,5\"", MF_CHECKED, 5},
        {"hexadecimal grayed", "\"I,x,0x1,5\"", MF_GRAYED, 5},
        {"leading zero is octal", "\"I,x,011,5\"", MF_CHECKED | MF_GRAYED, 5},
        {"a letter starts an expression", "\"I,x,g,5\"", MF_GRAYED, 5},
        {"parenthesised expression", "\"I,x,(g | 8),5\"", MF_CHECKED | MF_GRAYED, 5},
        {"id expression", "\"I,x,0,n\"", 0, 7},
        {"id expression ends at a blank", "\"I,x,0,n and more\"", 0, 7},
        {"constant token", "concatenate(\"I,x,\", character(254), character(226), character(229), \",5\")",
         MF_GRAYED, 5},
        {"flags ending at a quote give id 0", "concatenate(\"I,x,8\", character(34))", MF_CHECKED, -2024},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(menuProgram(std::string("g = 1\nn = 7\nset_menu_bar w, \"T,m,0,0\", ") + c.entry));
        ASSERT_TRUE(o);
        UINT state = 0xFFFF;
        int id = 0;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            HMENU popup = ::GetSubMenu(::GetMenu(hwndVar(t, "w")), 0);
            state = ::GetMenuState(popup, 0, MF_BYPOSITION);
            id = static_cast<int>(::GetMenuItemID(popup, 0)) - 2024;
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(c.state, state & (MF_GRAYED | MF_CHECKED)) << c.name;
        EXPECT_EQ(c.id, id) << c.name;
    }
}

TEST(Menus, DescriptionErrorsAttachNothing)
{
    struct Case {
        const char* name;
        const char* statement;
        int error;
    };
    const Case cases[] = {
        {"no id field", "set_menu_bar w, \"T,m,0,0\", \"I,Open,0\"", ErrMalformed},
        {"no comma after the caption", "set_menu_bar w, \"T,m,0,0\", \"I,Open\"", ErrMalformed},
        {"unknown kind letter", "set_menu_bar w, \"T,m,0,0\", \"X,Open,0,1\"", ErrMalformed},
        {"lower-case kind letter", "set_menu_bar w, \"t,m,0,0\"", ErrMalformed},
        {"kind letter alone", "set_menu_bar w, \"I\"", ErrMalformed},
        {"entry not a string", "set_menu_bar w, \"T,m,0,0\", 5", ErrType},
        {"window argument not a window", "set_menu_bar notWindow, \"T,m,0,0\"", ErrType},
        {"failing flags expression", "set_menu_bar w, \"T,m,0,0\", \"I,x,undefinedName,1\"", ErrUndefined},
        {"popup without entries' window", "popup_menu notWindow, 1, 1, \"I,x,0,1\"", ErrType},
        {"bad entry in popup", "popup_menu w, 1, 1, \"I,x\"", ErrMalformed},
        {"bad entry in insert", "insert_menus w, 0, \"Q,x,0,0\"", ErrMalformed},
        {"no arguments", "set_menu_bar", ErrArgCount},
        {"caption grows between the passes",
         "jump past\ngrow:\nn = n + 1\nconditional n = 1 then return \"I,a,0,1\"\n"
         "return \"I,a caption longer than the room counted,0,2\"\npast:\nset_menu_bar w, \"T,m,0,0\", grow()",
         ErrMalformed},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(menuProgram(c.statement));
        ASSERT_TRUE(o);
        o->implicitDeclarations = false;
        bool hooked = false;
        o->hooks[1] = [&](UiTestOstrin&, Statement*) { hooked = true; };
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        EXPECT_FALSE(hooked) << c.name << ": the run went on";
        EXPECT_EQ(nullptr, ::GetMenu(hwndVar(*o, "w"))) << c.name << ": a menu was attached";
    }
}

TEST(Menus, StatementsOnTheBarAndTheirErrors)
{
    struct Case {
        const char* name;
        const char* statements;
        int error;
        const char* bar;     // describe() of the bar's popups, "|" between
        UINT state;          // of item id 1 (MF_GRAYED | MF_CHECKED), or of title 0 for titles
        bool title;
    };
    const std::string bar =
        "set_menu_bar w, \"T,&File,0,0\", \"I,&Open,0,1\", \"I,E&xit,0,2\", \"T,&Edit,0,0\", \"I,Cut,0,3\", "
        "\"T,&Help,0,0\", \"I,About,0,4\"\n";
    const Case cases[] = {
        {"enable 0 greys", "enable_menu_item w, 1, 0", 0, nullptr, MF_GRAYED, false},
        {"enable again", "enable_menu_item w, 1, 0\nenable_menu_item w, 1, 5", 0, nullptr, 0, false},
        {"check 1 shows the mark", "check_menu_item w, 1, 1", 0, nullptr, MF_CHECKED, false},
        {"check 0 clears it", "check_menu_item w, 1, 1\ncheck_menu_item w, 1, 0", 0, nullptr, 0, false},
        {"title greyed", "enable_menu_title w, 0, 0", 0, nullptr, MF_GRAYED, true},
        {"append", "append_menu_item w, 1, \"Paste\", 8, 9", 0, "&Open=1 E&xit=2|Cut=3 Paste=9|About=4", 0, false},
        {"append separator", "append_menu_item w, 2, \"-\", 0, 0", 0, "&Open=1 E&xit=2|Cut=3|About=4 -", 0, false},
        {"negative position is 0", "append_menu_item w, -3, \"New\", 0, 5", 0, "&Open=1 E&xit=2 New=5|Cut=3|About=4",
         0, false},
        {"append beyond the bar does nothing", "append_menu_item w, 7, \"New\", 0, 5", 0,
         "&Open=1 E&xit=2|Cut=3|About=4", 0, false},
        {"remove item", "remove_menu_item w, 0, 2", 0, "&Open=1|Cut=3|About=4", 0, false},
        {"remove second top-level menu", "remove_menu_item w, 1, 0", 0, "&Open=1 E&xit=2|About=4", 0, false},
        {"insert at 1", "insert_menus w, 1, \"T,&View,0,0\", \"I,Zoom,0,6\", \"T,&Go,0,0\", \"I,Back,0,7\"", 0,
         "&Open=1 E&xit=2|Zoom=6|Back=7|Cut=3|About=4", 0, false},
        {"enable on an empty variable", "enable_menu_item none, 1, 0", ErrNoWindow, nullptr, 0, false},
        {"insert on an empty variable", "insert_menus none, 0, \"T,a,0,0\"", ErrNoWindow, nullptr, 0, false},
        {"remove on an empty variable", "remove_menu_item none, 0, 0", ErrNoWindow, nullptr, 0, false},
        {"check with two arguments", "check_menu_item w, 1", ErrArgCount, nullptr, 0, false},
        {"append with four arguments", "append_menu_item w, 0, \"x\", 0", ErrArgCount, nullptr, 0, false},
        {"append caption not a string", "append_menu_item w, 0, 5, 0, 1", ErrType, nullptr, 0, false},
        {"id not a number", "enable_menu_item w, \"x\", 1", ErrNotNumeric, nullptr, 0, false},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(menuProgram(bar + c.statements));
        ASSERT_TRUE(o);
        std::string got;
        UINT state = 0xFFFF;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            HMENU menu = ::GetMenu(hwndVar(t, "w"));
            for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
                if (i) got += "|";
                got += describe(::GetSubMenu(menu, i));
            }
            state = c.title ? ::GetMenuState(menu, 0, MF_BYPOSITION) : ::GetMenuState(menu, 2025, MF_BYCOMMAND);
        };
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        if (c.error) continue;
        if (c.bar) {
            EXPECT_EQ(c.bar, got) << c.name;
        }
        EXPECT_EQ(c.state, state & (MF_GRAYED | MF_CHECKED)) << c.name;
    }
}

TEST(Menus, WindowsWithoutABar)
{
    // Item statements do nothing; building on an empty variable builds but
    // attaches nothing; no entries give an empty bar; insert makes a bar.
    auto o = prepareUiProgram(menuProgram(
        "enable_menu_item w, 1, 0\ncheck_menu_item w, 1, 1\nenable_menu_title w, 0, 0\n"
        "append_menu_item w, 0, \"x\", 0, 1\nremove_menu_item w, 0, 0\n"
        "set_menu_bar none, \"T,a,0,0\", \"I,b,0,1\"\n"
        "popup_menu none, 5, 5, \"I,b,0,1\"\n"
        "{op249} 2\n"
        "set_menu_bar w\n"
        "{op249} 3\n"
        "insert_menus w, 5, \"T,&Tools,0,0\", \"I,Run,0,8\""));
    ASSERT_TRUE(o);
    o->hooks[2] = [](UiTestOstrin& t, Statement*) { EXPECT_EQ(nullptr, ::GetMenu(hwndVar(t, "w"))); };
    o->hooks[3] = [](UiTestOstrin& t, Statement*) {
        HMENU bar = ::GetMenu(hwndVar(t, "w"));
        ASSERT_TRUE(bar) << "no entries: an empty bar";
        EXPECT_EQ(0, ::GetMenuItemCount(bar));
    };
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HMENU bar = ::GetMenu(hwndVar(t, "w"));
        EXPECT_EQ("&Tools>", describe(bar));
        EXPECT_EQ("Run=8", describe(::GetSubMenu(bar, 0)));
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(Menus, InsertIntoAnMdiFrameKeepsItsWindowMenu)
{
    auto o = prepareUiProgram(
        "declare_variables f, a: WINDOW\n"
        "open_window f, 0, 0, 500, 300, 0x20, 0, \"frame\", h\n"
        "open_window a, 0, 0, 100, 100, 0, f, \"child a\", h\n"
        "insert_menus f, 0, \"T,&File,0,0\", \"I,&New,0,1\"\n"
        "{op249} 1\n"
        "jump finish\n"
        "h:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HMENU bar = ::GetMenu(hwndVar(t, "f"));
        EXPECT_EQ("&File> &Window>", describe(bar));
        // The MDI client still lists its child in the Window menu.
        HMENU window = ::GetSubMenu(bar, 1);
        std::string items = describe(window);
        EXPECT_NE(std::string::npos, items.find("child a")) << items;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(Menus, DialogsTakeMenusToo)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "declare_variables menuId, events: INT\n"
        "create_dialog d, 20, 20, 240, 120, WS_CAPTION | WS_SYSMENU, 0, \"dialog menus\", h\n"
        "show_dialog d\n"
        "set_menu_bar d, \"T,&File,0,0\", \"I,&Open,0,1\", \"I,&Save,0,2\"\n"
        "check_menu_item d, 2, 1\n"
        "{op249} 1\n"
        "wait_until events\n"
        "close_dialog d\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = EV_MENU then menuId = EVENT_MENU_ID\n"
        "conditional EVENT_CODE = EV_MENU then events = events + 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) {
        HWND dialog = ::FindWindowA("#32770", "dialog menus");
        ASSERT_TRUE(dialog);
        HMENU bar = ::GetMenu(dialog);
        EXPECT_EQ("&File>", describe(bar));
        EXPECT_EQ("&Open=1 &Save=2", describe(::GetSubMenu(bar, 0)));
        EXPECT_EQ(static_cast<UINT>(MF_CHECKED), ::GetMenuState(bar, 2024 + 2, MF_BYCOMMAND) & MF_CHECKED);
        ::PostMessageA(dialog, WM_COMMAND, 2024 + 1, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(1, intVar(*o, "menuId"));
}

TEST(Menus, LoadFromResources)
{
    struct Case {
        const char* name;
        const char* statement;
        int result;
        const char* bar;
        int error;
    };
    const Case cases[] = {
        {"by name", "r = load_menu(w, \"TESTMENU\")", 1, "&Tools>", 0},
        {"by number", "r = load_menu(w, 300)", 1, "&Numbered>", 0},
        {"by double", "r = load_menu(w, 300.0)", 1, "&Numbered>", 0},
        {"missing", "r = load_menu(w, \"NOSUCHMENU\")", 0, "", 0},
        {"unsupported type", "r = load_menu(w, w)", 0, "", ErrArgCount},
        {"one argument", "r = load_menu(w)", 0, "", ErrArgCount},
        {"empty window", "r = load_menu(none, 300)", 0, "", ErrNoWindow},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(menuProgram(c.statement, "declare_variables r: INT\n"));
        ASSERT_TRUE(o);
        std::string got;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) { got = describe(::GetMenu(hwndVar(t, "w"))); };
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        if (c.error) continue;
        EXPECT_EQ(c.result, intVar(*o, "r")) << c.name;
        EXPECT_EQ(c.bar, got) << c.name;
    }
}

// The popup menu a thread shows, found by its system class.
HWND shownPopupMenu()
{
    HWND menu = ::FindWindowA("#32768", nullptr);
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

std::vector<std::string> popupSeen;

// Runs inside the popup's own loop: reads the menu back, then chooses its
// second item with the keyboard.
void CALLBACK choosePopupItem(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = shownPopupMenu();
    if (!window) return;   // not shown yet: try at the next tick
    ::KillTimer(nullptr, timer);
    auto menu = reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0));
    popupSeen.push_back(describe(menu));
    if (HMENU sub = ::GetSubMenu(menu, 2)) popupSeen.push_back(describe(sub));
    ::PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
}

TEST(Menus, PopupMenuShowsAndReportsTheChosenItem)
{
    popupSeen.clear();
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables menuId, events: INT\n"
        "open_window w, 40, 40, 320, 200, 0, 0, \"popup\", h\n"
        "{op249} 1\n"
        "popup_menu w, 10, 10, \"I,&First,0,21\", \"I,&Second,8,22\", \"T,&More,0,0\", \"I,Deep,0,23\"\n"
        "wait_until events\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = EV_MENU then menuId = EVENT_MENU_ID\n"
        "conditional EVENT_CODE = EV_MENU then events = events + 1\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin&, Statement*) { ::SetTimer(nullptr, 0, 100, choosePopupItem); };
    ASSERT_EQ(0, runPrepared(*o).error);
    ASSERT_EQ(2u, popupSeen.size()) << "the popup was shown";
    EXPECT_EQ("&First=21 &Second=22 &More>", popupSeen[0]);
    EXPECT_EQ("Deep=23", popupSeen[1]);
    EXPECT_EQ(22, intVar(*o, "menuId"));
    EXPECT_EQ(nullptr, shownPopupMenu()) << "the popup is gone";
}

}  // namespace
