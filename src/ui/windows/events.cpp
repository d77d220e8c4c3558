// Event routing: one message of a window or dialog becomes a call of the
// program's handler label, nested inside whatever statement is running.
//
// The message values go into the event entries of the constant table, where
// the handler reads them as built-in constants. Those entries and lineIndex
// are saved first and restored afterwards, so a handler interrupted by a
// nested event (any statement that sends a message can cause one) sees its
// own values again. Entry 55, the last menu command, is deliberately kept.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "framework/dialog.h"
#include "interp/ostrin.h"
#include "ui/windows/ostrin_wnd.h"

namespace {

enum Slot : int {
    SlotCode = 0, SlotWParam = 1, SlotLParam = 2, SlotX = 3, SlotY = 4,
    SlotNotify = 47, SlotMenuId = 55, SlotControlId = 63, SlotWindow = 72,
};
constexpr int SavedSlots[] = {SlotCode, SlotWParam, SlotLParam, SlotX, SlotY, SlotNotify, SlotControlId, SlotWindow};

constexpr int32_t ControlIdBase = 2024;
constexpr int32_t Word(uint32_t v, bool high) { return static_cast<int32_t>(high ? (v >> 16) & 0xFFFF : v & 0xFFFF); }

int32_t objectValue(CWnd* object)
{
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(object));
}

// The object a menu command is reported for: the topmost child of an MDI
// frame's client (the active MDI child), else the window's topmost child;
// the window itself when that child has no object of ours.
CWnd* menuTarget(CWnd* wnd)
{
    HWND child = nullptr;
    auto* window = dynamic_cast<COstrinWnd*>(wnd);
    CWnd* client = window ? window->client() : wnd;
    if (client != wnd && client->GetSafeHwnd()) child = ::GetWindow(client->GetSafeHwnd(), GW_CHILD);
    if (!child) child = ::GetWindow(wnd->GetSafeHwnd(), GW_CHILD);
    if (!child) return wnd;
    CWnd* object = CWnd::FromHandlePermanent(child);
    return object ? object : wnd;
}

}  // namespace

int Ostrin::dispatchEvent(void* window, const EventMessage* msg)
{
    // While the run-time state is being released (windows are destroyed
    // then), there is no program left to run: lines and stack are gone.
    if (!window || !msg || errorCode || !loaded || !lines || !controlStack) return 0;
    auto* wnd = static_cast<CWnd*>(window);
    CEventSource* source = eventSourceOf(wnd);
    if (!source || !source->handlerLabel[0]) return 0;

    int32_t saved[std::size(SavedSlots)];
    for (size_t k = 0; k < std::size(SavedSlots); ++k) saved[k] = constants[SavedSlots[k]];
    const uint32_t savedLine = lineIndex;
    const bool isDialog = wnd->IsKindOf(&CDialog::classCDialog);

    const uint32_t message = msg->message, wParam = msg->wParam;
    const int32_t lParam = msg->lParam;
    constants[SlotCode] = static_cast<int32_t>(message);
    constants[SlotWParam] = static_cast<int32_t>(wParam);
    constants[SlotLParam] = lParam;
    constants[SlotX] = msg->x;
    constants[SlotY] = msg->y;
    constants[SlotWindow] = objectValue(wnd);

    switch (message) {
    case WM_NOTIFY:
        constants[SlotCode] = COstrinWnd::ControlNotification;
        if (lParam) {
            const auto* header = reinterpret_cast<const NMHDR*>(static_cast<uintptr_t>(static_cast<uint32_t>(lParam)));
            constants[SlotNotify] = static_cast<int32_t>(header->code);
            constants[SlotControlId] = static_cast<int32_t>(header->idFrom) - ControlIdBase;
        }
        break;
    case WM_COMMAND:
    case COstrinWnd::ControlNotification:
        if (lParam) {
            constants[SlotCode] = COstrinWnd::ControlNotification;
            constants[SlotNotify] = Word(wParam, true);
            constants[SlotControlId] = Word(wParam, false) - ControlIdBase;
        } else {
            constants[SlotCode] = COstrinWnd::MenuCommand;
            constants[SlotMenuId] = Word(wParam, false) - ControlIdBase;
            if (!isDialog && wnd->GetSafeHwnd() && ::GetWindow(wnd->GetSafeHwnd(), GW_CHILD))
                constants[SlotWindow] = objectValue(menuTarget(wnd));
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        HWND bar = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(lParam)));
        constants[SlotControlId] = bar ? ::GetDlgCtrlID(bar) - ControlIdBase : 0;
        constants[SlotWParam] = Word(wParam, false);
        constants[SlotLParam] = Word(wParam, true);
        break;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        constants[SlotLParam] = static_cast<int32_t>(wParam);
        constants[SlotX] = Word(static_cast<uint32_t>(lParam), false);
        constants[SlotY] = Word(static_cast<uint32_t>(lParam), true);
        break;
    case COstrinWnd::CloseRequest:
    case COstrinWnd::SizeChanged:
        constants[SlotWindow] = lParam;
        break;
    default:
        break;
    }

    int result = 0;
    // The handler runs through the call statement, as if the program had
    // written "call label" at this point.
    if (Statement* st = newStatement(MaxArgs)) {
        std::strcpy(st->args[0], source->handlerLabel);
        st->opcode = 44;
        st->argCount = 1;
        st->argClass[0] = ClassVariable;
        st->argText = st->args[0];
        st->resultType = NoResult;
        st->toFile = 0;
        if (call(st)) {
            if (st->resultType == TypeInt && sysInt) result = *reinterpret_cast<int32_t*>(sysInt->data);
            lineIndex = savedLine;
        } else if (isDialog && wnd->GetSafeHwnd()) {
            // lineIndex stays where the handler stopped: the run is ending.
            ::EndDialog(wnd->GetSafeHwnd(), 0);
        }
        deleteStatement(st);
    }

    for (size_t k = 0; k < std::size(SavedSlots); ++k) constants[SavedSlots[k]] = saved[k];
    return result;
}
