// The add-toolbar statement: a toolbar with the program's buttons and a
// strip of button images, attached to a window like its other controls.
//
// Button ids are program ids: a click reaches the window's handler as the
// toolbar's command with the id the program gave (its Windows id less
// 2024). A 0 in the button list is a separator. The image strip is a bitmap
// resource of the program (by name or number) or a bitmap the program
// loaded; its images go to the real buttons in order. A dialog takes a
// toolbar while it is shown (the toolbar needs its window as parent).
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "interp/ostrin.h"
#include "library/storage.h"
#include "ui/controls/color_controls.h"
#include "ui/controls/control_creation.h"
#include "ui/windows/ostrin_dlg.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

// Style bit of the program's style argument: the bitmap argument is a
// bitmap handle, not a resource number.
constexpr DWORD StyleBitmapHandle = 0x10000;

// The image strip a bitmap argument names; null when it cannot be loaded.
// Resources load with the system's 3D colours in place of their greys.
HBITMAP stripOf(const ArgValue& v, const std::string& name, bool isHandle)
{
    const UINT flags = LR_CREATEDIBSECTION | LR_LOADMAP3DCOLORS;
    HINSTANCE module = ::GetModuleHandleA(nullptr);
    if (v.type == TypeString)
        return static_cast<HBITMAP>(::LoadImageA(module, name.c_str(), IMAGE_BITMAP, 0, 0, flags));
    if (isHandle) return reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(static_cast<uint32_t>(v.intValue)));
    return static_cast<HBITMAP>(
        ::LoadImageA(module, MAKEINTRESOURCEA(static_cast<WORD>(v.intValue & 0xFFFF)), IMAGE_BITMAP, 0, 0, flags));
}

}  // namespace

Statement* Ostrin::addToolbar(Statement* st)
{
    if (st->argCount != 4 && st->argCount != 5) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    if (!wnd) return nullptr;
    ArgValue bitmap;
    if (!evalArg(st, 1, KindAny, bitmap)) return nullptr;
    // Later arguments may reuse the buffer a name came in.
    const std::string bitmapName = bitmap.type == TypeString && bitmap.text ? bitmap.text : "";
    int32_t id = 0;
    if (!intArg(*this, st, 2, id)) return nullptr;

    DWORD style = WS_CHILD | WS_VISIBLE | CCS_TOP;
    bool isHandle = false;
    if (st->argCount == 5) {
        int32_t given = 0;
        if (intArg(*this, st, 4, given)) {
            isHandle = (given & StyleBitmapHandle) != 0;
            style = (static_cast<DWORD>(given) & ~StyleBitmapHandle) | WS_CHILD | WS_VISIBLE;
        } else {
            errorCode = 0;   // an unreadable style means the default one
        }
    }

    auto* bar = new (std::nothrow) CColorToolbar;
    if (!bar) return fail(ErrNoMemory);
    if (!bar->CreateEx(0, TOOLBARCLASSNAMEA, "", style, 0, 0, 0, 0, wnd->GetSafeHwnd(),
                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id + ControlIdBase)))) {
        delete bar;
        return setIntResult(st, 0);
    }
    HWND hwnd = bar->GetSafeHwnd();
    auto discard = [&](int error) {
        bar->DestroyWindow();
        delete bar;
        setIntResult(st, 0);
        if (error) failOnce(error);
        return error || errorCode ? nullptr : st;
    };
    ::SendMessageA(hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    ArgValue list;
    if (!evalArg(st, 3, KindAny, list)) {
        errorCode = 0;
        return discard(ErrArgCount);
    }
    Variable* ids = list.variable;
    if (!ids || ids->type != TypeInt) return discard(ErrArgCount);
    const size_t count = storage::storageBytes(ids) / sizeof(int32_t);
    std::vector<UINT> commands(count);
    for (size_t k = 0; k < count; ++k) {
        int32_t programId = 0;
        std::memcpy(&programId, ids->data + k * sizeof programId, sizeof programId);
        commands[k] = programId ? static_cast<UINT>(programId + ControlIdBase) : 0;
    }
    bar->setButtons(commands.data(), static_cast<int>(count));
    ::SendMessageA(hwnd, TB_SETBUTTONSIZE, 0, MAKELONG(24, 23));
    ::SendMessageA(hwnd, TB_SETBITMAPSIZE, 0, MAKELONG(16, 15));

    if (bitmap.type != TypeString && !isNumericType(bitmap.type)) return discard(ErrArgCount);
    if (HBITMAP strip = stripOf(bitmap, bitmapName, isHandle)) {
        TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(strip)};
        ::SendMessageA(hwnd, TB_ADDBITMAP, count, reinterpret_cast<LPARAM>(&add));
    }

    // Handlers the creation ran may have failed or closed the window.
    if (errorCode || !CWnd::IsLiveObject(wnd) || !wnd->GetSafeHwnd()) return discard(0);
    if (wnd->IsKindOf(&COstrinWnd::classCOstrinWnd)) {
        static_cast<COstrinWnd*>(wnd)->addControl(bar);
    } else if (auto* dialog = dynamic_cast<COstrinDlg*>(wnd)) {
        dialog->addControlObject(bar, id + ControlIdBase);
    } else {
        return discard(0);
    }
    return setIntResult(st, 1);
}
