// The few services of the operating system that the language core uses
// directly. The engine's are the Win32 ones (app/win32_platform.cpp); a
// native build of the core for fuzzing supplies its own (fuzz/), so the
// core itself includes no system headers.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Shows the error report of a finished run: the console goes, then a box
// titled "Error" with the text.
void platformShowError(const char* text);

#ifdef OSTRIN_NATIVE
// A steady clock in milliseconds, which bounds the native build's runs.
uint64_t nativeMilliseconds();
#endif

// Bytes of this thread's stack left below `here` (an address on it);
// SIZE_MAX when that cannot be known.
size_t platformStackRoom(const void* here);

// The platform C run-time's formatter, whose "%p" and "%I64d" are what
// programs on this platform print: at most `room` bytes, no terminator
// when the text fills them; negative when it does not fit.
int platformFormat(char* out, size_t room, const char* fmt, va_list ap);

// Length in bytes of the file behind an open stream, -1 when unknown.
int64_t platformFileLength(FILE* stream);

// The next value of the C generator that the program's random numbers
// step through: 0 … 32767.
int platformRandom15();

// Dynamic libraries, for the external calls: a module, null when it cannot
// be loaded; the address of an entry point, null when there is none.
void* platformLoadLibrary(const char* name);
void platformFreeLibrary(void* library);
const void* platformEntryPoint(void* library, const char* name);
// The module of a library this process has loaded, null for none.
void* platformLoadedLibrary(const char* name);

// True when every byte of [at, at + size) is committed memory the process
// may read, or with `write` write.
bool platformAccessible(uint64_t at, uint64_t size, bool write);
