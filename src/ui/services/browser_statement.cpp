// The browser statement: one operation code on the web browser a program
// window hosts (navigate, history, refresh, print, HTML text, and the state
// its navigation events left).
#include <windows.h>

#include "interp/ostrin.h"
#include "ui/services/web_browser.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

enum Operation : int32_t {
    OpNavigate = 0,
    OpHome = 1,
    OpBack = 2,
    OpForward = 3,
    OpRefresh = 4,
    OpStop = 5,
    OpLocationName = 6,
    OpCanGoBack = 7,
    OpCanGoForward = 8,
    OpForbidNavigation = 9,
    OpPostData = 10,
    OpHeaders = 11,
    OpUrl = 12,
    OpPrint = 13,
    OpShowHtml = 14,
};

CWebBrowser* browserOf(COstrinWnd* w)
{
    CWnd* b = w->browser;
    return b && b->IsKindOf(&CWebBrowser::classCWebBrowser) ? static_cast<CWebBrowser*>(b) : nullptr;
}

}  // namespace

Statement* Ostrin::browser(Statement* st)
{
    if (st->argCount == 0) return st;
    if (st->argCount < 2 || st->argCount > 3) return fail(ErrArgCount);

    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    int32_t op = 0;
    if (!w || !intArg(*this, st, 1, op)) return nullptr;
    ArgValue text;
    if (op == OpNavigate || op == OpShowHtml) {
        if (st->argCount < 3) return fail(ErrArgCount);
        if (!evalArg(st, 2, TypeString, text)) return nullptr;
    }
    if (op < OpNavigate || op > OpShowHtml) return fail(ErrRange);
    CWebBrowser* b = browserOf(w);
    if (!b) return fail(ErrNoBrowser);

    // The control's methods may run the window's handler (navigation
    // events), which may even close the window: b is not used after them.
    switch (op) {
    case OpNavigate:
        b->Navigate(text.text ? text.text : "");
        break;
    case OpHome:
        b->GoHome();
        break;
    case OpBack:
        if (b->canGoBack == 1) b->GoBack();
        break;
    case OpForward:
        if (b->canGoForward == 1) b->GoForward();
        break;
    case OpRefresh:
        b->Refresh();
        break;
    case OpStop:
        b->Stop();
        break;
    case OpLocationName: {
        char* out = stringResultBuffer();
        if (!out) return fail(ErrNoMemory);
        // Written straight into SYSTEM_STRING0, cut to its capacity.
        const size_t length = b->LocationName(out, StringResultSize);
        return setStringResult(st, out, length);
    }
    case OpCanGoBack:
        return setIntResult(st, b->canGoBack);
    case OpCanGoForward:
        return setIntResult(st, b->canGoForward);
    case OpForbidNavigation:
        b->navigationAllowed = 0;
        break;
    case OpPostData:
        return setStringResult(st, b->lastPostData.c_str(), b->lastPostData.size());
    case OpHeaders:
        return setStringResult(st, b->lastHeaders.c_str(), b->lastHeaders.size());
    case OpUrl:
        return setStringResult(st, b->lastUrl.c_str(), b->lastUrl.size());
    case OpPrint:
        b->Print();
        break;
    case OpShowHtml:
        b->ShowHtml(text.text ? text.text : "");
        break;
    default:
        break;
    }
    return errorCode ? nullptr : st;
}
