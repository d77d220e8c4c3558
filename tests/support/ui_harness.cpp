#include "support/ui_harness.h"

#include <gtest/gtest.h>

#include "framework/gdi.h"
#include "image/assembler.h"

UiTestOstrin::UiTestOstrin()
{
    attachProgramUi(*this, programUi);
    // A member of this class stands in the base's handler table: the table
    // is only ever called on this object.
    handlers[HookOpcode] = static_cast<Ostrin::Handler>(&UiTestOstrin::hookStatement);
}

UiTestOstrin::~UiTestOstrin()
{
    release();
    ui = nullptr;
}

Statement* UiTestOstrin::hookStatement(Statement* st)
{
    ArgValue n;
    if (!evalArg(st, 0, KindNumber, n)) return nullptr;
    auto it = hooks.find(n.intValue);
    if (it == hooks.end()) {
        ADD_FAILURE() << "no hook " << n.intValue;
        return fail(ErrMalformed);
    }
    it->second(*this, st);
    return errorCode ? nullptr : st;
}

std::unique_ptr<UiTestOstrin> prepareUiProgram(const std::string& source)
{
    std::string bytes;
    image::AsmError err;
    if (!image::assemble(source, bytes, err)) {
        ADD_FAILURE() << "assembler: " << err.line << ":" << err.column << ": " << err.message;
        return nullptr;
    }
    auto o = std::make_unique<UiTestOstrin>();
    o->imageBytes = bytes;
    if (o->imageBytes.empty() || o->imageBytes.back() != '\0') o->imageBytes.push_back('\0');
    o->attachImage(o->imageBytes.data());
    EXPECT_EQ(1, o->load());
    return o;
}

COstrinWnd* windowVar(Ostrin& o, const char* name)
{
    std::string ref = name;
    const uint8_t saved = o.errorCode;
    Variable* v = o.findVariable(ref.data(), nullptr, false);
    o.errorCode = saved;
    if (!v || v->type != TypeWindow || !v->data) return nullptr;
    auto* object = reinterpret_cast<CWnd*>(static_cast<uintptr_t>(*reinterpret_cast<uint32_t*>(v->data)));
    if (!CWnd::IsLiveObject(object) || !object->IsKindOf(&COstrinWnd::classCOstrinWnd)) return nullptr;
    return static_cast<COstrinWnd*>(object);
}

HWND hwndVar(Ostrin& o, const char* name)
{
    COstrinWnd* w = windowVar(o, name);
    return w ? w->GetSafeHwnd() : nullptr;
}

COstrinDlg* dialogVar(Ostrin& o, const char* name)
{
    std::string ref = name;
    const uint8_t saved = o.errorCode;
    Variable* v = o.findVariable(ref.data(), nullptr, false);
    o.errorCode = saved;
    if (!v || v->type != TypeDialog || !v->data) return nullptr;
    auto* object = reinterpret_cast<CWnd*>(static_cast<uintptr_t>(*reinterpret_cast<uint32_t*>(v->data)));
    return CWnd::IsLiveObject(object) ? dynamic_cast<COstrinDlg*>(object) : nullptr;
}

COLORREF bitmapPixel(COstrinWnd* w, int x, int y)
{
    if (!w || !w->backingBitmap() || !w->backingDC()) return CLR_INVALID;
    return ::GetPixel(w->backingDC(), x, y);
}

COLORREF screenPixel(HWND hwnd, int x, int y)
{
    CClientDC dc(hwnd);
    return ::GetPixel(dc, x, y);
}

void pumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

long gdiObjectsHeld()
{
    const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return static_cast<long>(counted);
    // Wine answers 0. Its handle table has a fixed size, so the objects we
    // can still create tell how many we hold: fill it with pens, count,
    // and give them back.
    constexpr long Ceiling = 200000;
    std::vector<HPEN> pens;
    pens.reserve(70000);
    while (static_cast<long>(pens.size()) < Ceiling) {
        HPEN pen = ::CreatePen(PS_SOLID, 1, 0);
        if (!pen) break;
        pens.push_back(pen);
    }
    for (HPEN pen : pens) ::DeleteObject(pen);
    return Ceiling - static_cast<long>(pens.size());
}

namespace {

BOOL CALLBACK countWindow(HWND hwnd, LPARAM counter)
{
    ++*reinterpret_cast<long*>(counter);
    ::EnumChildWindows(hwnd, countWindow, counter);
    return TRUE;
}

}  // namespace

long threadWindows()
{
    long count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}
