// Argument helpers shared by the window, drawing and service statements.
//
// Window values arrive as opaque object pointers (or as literal numbers,
// which a program may also write). They are checked against the objects
// that exist before anything uses them: a number that names no live window
// or dialog is an empty window (error 25), never a pointer to follow.
#pragma once

#include <windows.h>

#include <cstdint>

#include "interp/ostrin.h"

class CWnd;
class COstrinWnd;

// The window or dialog object argument i names, read with `kind` (9: a
// WINDOW only, 25: a WINDOW or DIALOG). Null with the error set.
CWnd* windowArg(Ostrin& o, Statement* st, int i, int kind);
// A WINDOW argument for drawing: the program window object, or null with
// the error set (14 for a dialog object, 25 for none).
COstrinWnd* drawingWindowArg(Ostrin& o, Statement* st, int i);
// The object a window value stands for, or null when it names none: a live
// object, or a window handle bound to one.
CWnd* liveWindowObject(uint32_t value);
// Reads argument i as a number (kind 20) and gives it as a 32-bit integer;
// false with the error set.
bool intArg(Ostrin& o, Statement* st, int i, int32_t& out);
// Stores v in the INT variable argument i names; false with error 14 (not
// a variable) or 20 (a variable of another type).
bool storeIntArg(Ostrin& o, Statement* st, int i, int32_t v);
// The object slot of the variable argument i names, which must be of
// `type` (WINDOW or DIALOG) and empty: null with error 10 (no such
// variable), 14 (another type) or 26 (it already holds an object).
uint32_t* emptyObjectSlot(Ostrin& o, Statement* st, int i, int type);
// The parent argument i names, read with `kind`: a value that cannot be
// read is no parent (null), unless the text names nothing at all (errors
// 1 and 10) or the evaluation stopped the run; then false.
bool parentArg(Ostrin& o, Statement* st, int i, int kind, CWnd*& parent);
// The name of the LABEL variable argument i names; null with the error set.
const char* labelArg(Ostrin& o, Statement* st, int i);
// True when the object still exists and has its window: the handlers that
// ran since it was created may have closed it.
bool isOpen(CWnd* object);
// Puts the object at the head of the interpreter's window list (taking out
// an earlier entry), or takes it out of the list.
void listFirst(Ostrin& o, CWnd* object);
void unlistWindow(Ostrin& o, CWnd* object);
// The control with program id `id` on a window or dialog, or null with
// error 30.
HWND controlOf(Ostrin& o, CWnd* wnd, int32_t id);
