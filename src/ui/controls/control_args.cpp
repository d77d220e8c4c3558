// Helpers shared by the statements that drive controls.
#include "ui/controls/control_args.h"

#include <cstring>

#include "ui/windows/window_args.h"

bool hasClassName(HWND hwnd, const char* name)
{
    char cls[64] = "";
    return ::GetClassNameA(hwnd, cls, sizeof cls) && std::strcmp(cls, name) == 0;
}

bool windowAndId(Ostrin& o, Statement* st, CWnd*& wnd, int32_t& id)
{
    wnd = windowArg(o, st, 0, KindWinOrDlg);
    return wnd && intArg(o, st, 1, id);
}

HWND controlOfClass(Ostrin& o, CWnd* wnd, int32_t id, const char* name)
{
    HWND control = controlOf(o, wnd, id);
    if (control && !hasClassName(control, name)) {
        o.fail(ErrControlClass);
        return nullptr;
    }
    return control;
}

bool textArg(Ostrin& o, Statement* st, int i, const char*& text)
{
    ArgValue v;
    if (!o.evalArg(st, i, TypeString, v)) return false;
    text = v.text ? v.text : "";
    return true;
}
