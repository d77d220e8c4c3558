// The framework layer on its own: binding objects to windows, message
// order, subclassing, reflection, deferred deletion, kind checks and
// dialogs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/wnd.h"

namespace {

// Messages worth recording (painting, hit-testing and the like are noise).
bool recorded(UINT m)
{
    switch (m) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_COMMAND:
    case WM_USER:
        return true;
    default:
        return false;
    }
}

class CRecordingWnd : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (recorded(message)) messages.push_back(message);
        if (message == WM_USER && deleteSelfOnUser) {
            CWnd::DeleteSafely(this);
            deletedWhileRunning = !CWnd::IsLiveObject(this);
            // Still safe to touch: the delete waits for this message.
            messages.push_back(WM_USER + 1);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    bool OnCommand(WPARAM, LPARAM) override
    {
        ++commands;
        return true;
    }
    void PostNcDestroy() override { ++postNcDestroy; }
    ~CRecordingWnd() override { if (destructorRuns) ++*destructorRuns; }

    std::vector<UINT> messages;
    int commands = 0;
    int postNcDestroy = 0;
    bool deleteSelfOnUser = false;
    bool deletedWhileRunning = false;
    int* destructorRuns = nullptr;
};

// A child control object that may take its notifications itself.
class CReflectingButton : public CWnd {
public:
    LRESULT OnChildNotify(UINT message, WPARAM wParam, LPARAM) override
    {
        seen.push_back(message);
        if (message == WM_CTLCOLORBTN) return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
        return message == WM_COMMAND && takeCommands ? 1 : 0;
    }
    std::vector<UINT> seen;
    bool takeCommands = false;
};

const char* testClass()
{
    static const char* name = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "OstrinFrameworkTest";
        ::RegisterClassA(&wc);
        return wc.lpszClassName;
    }();
    return name;
}

bool createTop(CWnd& w)
{
    return w.CreateEx(0, testClass(), "test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr, nullptr);
}

TEST(Framework, BindingFollowsTheWindowsLife)
{
    CRecordingWnd w;
    ASSERT_TRUE(createTop(w));
    HWND hwnd = w.GetSafeHwnd();
    EXPECT_EQ(&w, CWnd::FromHandlePermanent(hwnd));
    // The pending pointer files the object before its first messages.
    ASSERT_GE(w.messages.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), w.messages[0]);
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), w.messages[1]);

    w.messages.clear();
    EXPECT_TRUE(w.DestroyWindow());
    const std::vector<UINT> destroySeq = {WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(destroySeq, w.messages);
    EXPECT_EQ(nullptr, w.GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
    EXPECT_EQ(1, w.postNcDestroy);
    EXPECT_TRUE(CWnd::IsLiveObject(&w)) << "the object outlives its window";
}

TEST(Framework, SubclassedControlKeepsItsBehaviour)
{
    CWnd parent;
    ASSERT_TRUE(createTop(parent));
    CRecordingWnd box;
    ASSERT_TRUE(box.CreateEx(0, "BUTTON", "check", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 80, 20, parent,
                             reinterpret_cast<HMENU>(5)));
    EXPECT_EQ(&box, CWnd::FromHandlePermanent(box));
    box.messages.clear();
    box.SendMessage(WM_USER);
    box.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(BST_CHECKED, box.SendMessage(BM_GETCHECK)) << "the button's own procedure still answers";
    EXPECT_EQ(std::vector<UINT>{WM_USER}, box.messages);

    HWND hwnd = box.UnsubclassWindow();
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
    ::SendMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(std::vector<UINT>{WM_USER}, box.messages) << "nothing reaches the object any more";
    ::DestroyWindow(hwnd);
}

TEST(Framework, SystemControlsAreBoundBeforeTheirFirstMessage)
{
    CWnd parent;
    ASSERT_TRUE(createTop(parent));
    struct Case { const char* cls; DWORD style; };
    const Case cases[] = {{"BUTTON", BS_PUSHBUTTON}, {"EDIT", 0}, {"COMBOBOX", CBS_DROPDOWN}};
    for (const Case& c : cases) {
        CRecordingWnd control;
        ASSERT_TRUE(control.CreateEx(0, c.cls, "", WS_CHILD | c.style, 0, 0, 80, 80, parent,
                                     reinterpret_cast<HMENU>(6)))
            << c.cls;
        ASSERT_GE(control.messages.size(), 2u) << c.cls;
        EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), control.messages[0]) << c.cls << ": the creation hook bound it";
        EXPECT_EQ(static_cast<UINT>(WM_CREATE), control.messages[1]) << c.cls;
        // A combo box's own edit, made during its creation, stays unbound.
        if (HWND inner = ::GetWindow(control, GW_CHILD)) {
            EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(inner)) << c.cls;
        }
        EXPECT_TRUE(control.DestroyWindow()) << c.cls;
    }
}

TEST(Framework, NotificationsAreReflectedToTheChildFirst)
{
    struct Case {
        const char* name;
        bool childTakes;
        int parentCommands;
    };
    const Case cases[] = {
        {"child takes the command", true, 0},
        {"child passes it on", false, 1},
    };
    for (const Case& c : cases) {
        CRecordingWnd parent;
        ASSERT_TRUE(createTop(parent));
        CReflectingButton button;
        button.takeCommands = c.childTakes;
        ASSERT_TRUE(button.CreateEx(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 80, 20, parent,
                                    reinterpret_cast<HMENU>(6)));
        button.SendMessage(BM_CLICK);
        EXPECT_EQ(c.parentCommands, parent.commands) << c.name;
        ASSERT_FALSE(button.seen.empty()) << c.name;

        // A colour request is answered by the child's brush.
        HDC dc = ::GetDC(button);
        const LRESULT brush = parent.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(button.GetSafeHwnd()));
        ::ReleaseDC(button, dc);
        EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)), brush) << c.name;
    }
}

TEST(Framework, DeletingAnObjectInsideItsOwnMessageWaits)
{
    int destructorRuns = 0;
    auto* w = new CRecordingWnd;
    w->destructorRuns = &destructorRuns;
    ASSERT_TRUE(createTop(*w));
    HWND hwnd = w->GetSafeHwnd();
    w->deleteSelfOnUser = true;
    ::SendMessageA(hwnd, WM_USER, 0, 0);
    // The object was deleted when WM_USER returned; its window went with it.
    EXPECT_EQ(1, destructorRuns);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
}

// A dialog template with no items: header, then empty menu, class and title.
struct EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

class CTestDialog : public CDialog {
public:
    BOOL OnInitDialog() override
    {
        initialised = true;
        if (IsModal()) PostMessage(WM_USER, 42);
        return TRUE;
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_USER) {
            EndDialog(static_cast<INT_PTR>(wParam));
            *result = 0;
            return true;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
    bool initialised = false;
};

TEST(Framework, DialogsAndKindChecks)
{
    const EmptyTemplate tmpl = {{WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 0, 120, 60}, 0, 0, 0};
    CTestDialog modeless;
    ASSERT_TRUE(modeless.CreateIndirect(&tmpl.header, nullptr));
    EXPECT_TRUE(modeless.initialised);
    EXPECT_EQ(&modeless, CWnd::FromHandlePermanent(modeless));
    modeless.EndDialog(0);
    EXPECT_EQ(nullptr, modeless.GetSafeHwnd()) << "a modeless dialog is destroyed by EndDialog";

    CTestDialog modal;
    EXPECT_EQ(42, modal.DoModal(&tmpl.header, nullptr));
    EXPECT_TRUE(modal.initialised);

    CWnd plain;
    struct Kind {
        const char* name;
        const CWnd* object;
        bool isDialog;
    };
    const Kind kinds[] = {{"window", &plain, false}, {"dialog", &modal, true}};
    for (const Kind& k : kinds) {
        EXPECT_TRUE(k.object->IsKindOf(&CWnd::classCWnd)) << k.name;
        EXPECT_EQ(k.isDialog, k.object->IsKindOf(&CDialog::classCDialog)) << k.name;
    }
}

}  // namespace
