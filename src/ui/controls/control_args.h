// Argument and lookup helpers shared by the control statements and the
// common-control operations: the window and program id that start every
// such statement, the control checked to be of one Windows class, and text
// arguments.
#pragma once

#include <windows.h>

#include <cstdint>

#include "interp/ostrin.h"

class CWnd;

// Whether the control's Windows class name is exactly `name` (case counts).
bool hasClassName(HWND hwnd, const char* name);
// The window and the program control id of arguments 0 and 1.
bool windowAndId(Ostrin& o, Statement* st, CWnd*& wnd, int32_t& id);
// The control with program id `id` on wnd, checked to be of class `name`:
// null with error 30 or 31.
HWND controlOfClass(Ostrin& o, CWnd* wnd, int32_t id, const char* name);
// A STRING argument (kind 0); an empty text for a null string.
bool textArg(Ostrin& o, Statement* st, int i, const char*& text);
