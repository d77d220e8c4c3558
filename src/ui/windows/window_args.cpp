// Window, number and result-variable arguments of the window statements.
#include "ui/windows/window_args.h"

#include <algorithm>

#include "ui/windows/ostrin_wnd.h"

namespace {

constexpr int32_t ControlIdBase = 2024;

}  // namespace

CWnd* liveWindowObject(uint32_t value)
{
    if (!value) return nullptr;
    auto* object = reinterpret_cast<CWnd*>(static_cast<uintptr_t>(value));
    if (CWnd::IsLiveObject(object)) return object;
    // A program may hold a window handle instead (from a DLL call).
    return CWnd::FromHandlePermanent(reinterpret_cast<HWND>(static_cast<uintptr_t>(value)));
}

CWnd* windowArg(Ostrin& o, Statement* st, int i, int kind)
{
    ArgValue v;
    if (!o.evalArg(st, i, kind, v)) return nullptr;
    CWnd* object = liveWindowObject(static_cast<uint32_t>(v.handle));
    if (!object) o.fail(ErrNoWindow);
    return object;
}

COstrinWnd* drawingWindowArg(Ostrin& o, Statement* st, int i)
{
    CWnd* object = windowArg(o, st, i, KindWindow);
    if (!object) return nullptr;
    if (!object->IsKindOf(&COstrinWnd::classCOstrinWnd)) {
        o.fail(ErrType);
        return nullptr;
    }
    return static_cast<COstrinWnd*>(object);
}

bool intArg(Ostrin& o, Statement* st, int i, int32_t& out)
{
    ArgValue v;
    if (!o.evalArg(st, i, KindNumber, v)) return false;
    out = v.intValue;
    return true;
}

bool storeIntArg(Ostrin& o, Statement* st, int i, int32_t value)
{
    ArgValue v;
    if (!o.evalArg(st, i, KindAny, v)) return false;
    if (!v.variable || !v.dataPtr) {
        o.fail(ErrType);
        return false;
    }
    if (v.type != TypeInt) {
        o.fail(ErrNotInteger);
        return false;
    }
    *reinterpret_cast<int32_t*>(v.dataPtr) = value;
    return true;
}

uint32_t* emptyObjectSlot(Ostrin& o, Statement* st, int i, int type)
{
    Variable* var = o.findVariable(st->args[i], nullptr, false);
    if (!var) {
        o.failOnce(ErrUndefined);
        return nullptr;
    }
    if (var->type != type || !var->data) {
        o.fail(ErrType);
        return nullptr;
    }
    auto* slot = reinterpret_cast<uint32_t*>(var->data);
    if (*slot) {
        o.fail(ErrWindowInUse);
        return nullptr;
    }
    return slot;
}

bool parentArg(Ostrin& o, Statement* st, int i, int kind, CWnd*& parent)
{
    parent = nullptr;
    ArgValue p;
    if (o.evalArg(st, i, kind, p)) {
        parent = liveWindowObject(static_cast<uint32_t>(p.handle));
        return true;
    }
    if (o.errorCode == 0 || o.errorCode == ErrMalformed || o.errorCode == ErrUndefined) return false;
    o.errorCode = 0;
    return true;
}

const char* labelArg(Ostrin& o, Statement* st, int i)
{
    Variable* label = o.findVariable(st->args[i], nullptr, false);
    if (!label) {
        o.failOnce(ErrUndefined);
        return nullptr;
    }
    if (label->type != TypeLabel) {
        o.fail(ErrType);
        return nullptr;
    }
    return label->name;
}

bool isOpen(CWnd* object)
{
    return CWnd::IsLiveObject(object) && object->GetSafeHwnd();
}

void listFirst(Ostrin& o, CWnd* object)
{
    unlistWindow(o, object);
    o.windowList.insert(o.windowList.begin(), static_cast<void*>(object));
}

void unlistWindow(Ostrin& o, CWnd* object)
{
    auto& list = o.windowList;
    list.erase(std::remove(list.begin(), list.end(), static_cast<void*>(object)), list.end());
}

HWND controlOf(Ostrin& o, CWnd* wnd, int32_t id)
{
    HWND control = wnd->GetSafeHwnd() ? ::GetDlgItem(wnd->GetSafeHwnd(), id + ControlIdBase) : nullptr;
    if (!control) o.fail(ErrNoControl);
    return control;
}
