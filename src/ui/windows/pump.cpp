// The message pump: the engine has no message loop between statements, so
// programs pump with "process events" or "wait until".
//
// One pass handles at most one message of the windows the program opened,
// asked in list order (the most recent first). When none of them has one,
// every other pending message of the thread is dispatched, the pass may
// sleep until something arrives, and the windows are asked once more.
#include <windows.h>

#include <cstring>

#include "interp/ostrin.h"
#include "ui/windows/ostrin_wnd.h"

namespace {

constexpr int SnapshotSize = 50;

static_assert(sizeof(EventMessage) == sizeof(MSG), "EventMessage must have the layout of MSG");

// Removes one message of `object`'s window (or its children); false when
// there is none. An object without a window has none: a null handle would
// take any message of the thread.
bool peekFor(CWnd* object, MSG& msg)
{
    HWND hwnd = object->GetSafeHwnd();
    return hwnd && ::PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE);
}

}  // namespace

Statement* Ostrin::processEvents(Statement* st)
{
    if (st->argCount >= 2) return fail(ErrMalformed);
    const bool blocking = st->argCount == 0;

    // Handlers may open and close windows while the pass runs; the pass
    // keeps to the windows it saw at its start.
    CWnd* snapshot[SnapshotSize];
    int taken = 0;
    CWnd* target = nullptr;
    MSG msg = {};
    for (size_t i = 0; i < windowList.size() && !target; ++i) {
        auto* object = static_cast<CWnd*>(windowList[i]);
        if (!object) continue;
        if (taken < SnapshotSize) snapshot[taken++] = object;
        if (peekFor(object, msg)) target = object;
    }

    if (!target) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        // A handler that failed while draining ends the run now, not after
        // the next message happens to arrive.
        if (errorCode) return nullptr;
        if (blocking) ::WaitMessage();
        for (int i = 0; i < taken && !target; ++i)
            if (CWnd::IsLiveObject(snapshot[i]) && peekFor(snapshot[i], msg)) target = snapshot[i];
        // Beyond the snapshot's room, the windows listed now.
        for (size_t i = SnapshotSize; i < windowList.size() && !target; ++i) {
            auto* object = static_cast<CWnd*>(windowList[i]);
            if (object && peekFor(object, msg)) target = object;
        }
        if (!target) return errorCode ? nullptr : st;
    }

    // Pre-translation: a dialog's (or dialog-keys window's) keyboard
    // navigation, and whatever else a window takes before translation.
    if (!target->PreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }

    // The window procedure never hands a close request to the program;
    // only this pass does, once the request has come through the queue.
    if (msg.message == COstrinWnd::CloseRequest && CWnd::IsLiveObject(target)) {
        EventMessage event;
        std::memcpy(&event, &msg, sizeof event);
        dispatchEvent(static_cast<CWnd*>(target), &event);
    }
    return errorCode ? nullptr : st;
}

Statement* Ostrin::waitUntil(Statement* st)
{
    if (st->argCount != 1) return fail(ErrMalformed);
    // Without arguments the passes block until something arrives.
    st->argCount = 0;
    for (;;) {
        const double value = evaluate(st->args[0]);
        if (errorCode) return nullptr;
        if (value != 0) break;
        if (!processEvents(st)) break;
    }
    return errorCode ? nullptr : st;
}
