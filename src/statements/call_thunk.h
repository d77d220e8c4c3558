// The one place where the engine calls machine code it did not compile: a
// function in a DLL, given a list of 32-bit argument words.
#pragma once

#include <cstdint>

// Most argument words one external call may pass.
constexpr int MaxCallWords = 30;

// Calls fn with `count` words as its stack arguments, words[0] at the lowest
// address (the first C parameter), and returns EDX:EAX. ESP is restored from
// a copy saved before the arguments were pushed, so a callee that removes
// its arguments (stdcall) and one that leaves them (cdecl) return to the
// same balanced stack, even when the program declared the wrong one. When
// st0 is not null the x87 top of stack, where float and double results
// come back, is stored there; read it only for such functions, as an empty
// register reads as NaN.
extern "C" uint64_t callWithWords(const void* fn, const uint32_t* words, int count, double* st0);
