// The Win32 services behind interp/platform.h.
#include <windows.h>

#include <io.h>

#include <cstdlib>

#include "interp/platform.h"

void platformShowError(const char* text)
{
    FreeConsole();
    MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
}

size_t platformStackRoom(const void* here)
{
    // Interpreters run on the process's one thread, whose stack never moves;
    // a plain static spares every evaluation the emulated TLS lookup.
    static const char* bottom = nullptr;
    if (!bottom) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(here, &info, sizeof info)) return SIZE_MAX;
        bottom = static_cast<const char*>(info.AllocationBase);
    }
    return static_cast<size_t>(static_cast<const char*>(here) - bottom);
}

int platformFormat(char* out, size_t room, const char* fmt, va_list ap)
{
    return _vsnprintf(out, room, fmt, ap);
}

int64_t platformFileLength(FILE* stream) { return _filelengthi64(_fileno(stream)); }

int platformRandom15()
{
    static_assert(RAND_MAX == 0x7FFF, "the step of random numbers assumes a 15-bit generator");
    return std::rand();
}

void* platformLoadLibrary(const char* name) { return LoadLibraryA(name); }
void platformFreeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

const void* platformEntryPoint(void* library, const char* name)
{
    return reinterpret_cast<const void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void* platformLoadedLibrary(const char* name) { return GetModuleHandleA(name); }

bool platformAccessible(uint64_t at, uint64_t size, bool write)
{
    constexpr DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    constexpr DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    for (const uint64_t end = at + size; at < end;) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(at)), &info, sizeof info))
            return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(info.Protect & (write ? writable : readable)))
            return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}
