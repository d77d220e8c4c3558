// Date, time and system services: the date and time as text, the seconds of
// the day, opening documents through the shell, resources of the running
// executable, sounds, key states, the message box and the program's own
// directory.
//
// Failures of the services themselves are answers (a result value), never
// run-time errors; only wrong arguments stop the program.
#include "ostrin.h"

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "library/memory.h"
#include "library/storage.h"
#include "text.h"

namespace {

// Default style of the message box: an exclamation icon and an OK button.
constexpr int32_t DefaultBoxStyle = MB_ICONEXCLAMATION;

// Formatted dates are cut at this many characters.
constexpr int DatePictureLimit = 256;

// The resource name or type an argument gives: a string names it, a number
// is an integer identifier (its low 16 bits). Null with error 14 for any
// other type.
const char* resourceId(Ostrin& o, const ArgValue& a)
{
    switch (a.type) {
    case TypeString:
        return a.text;
    case TypeInt: case TypeFloat: case TypeWord: case TypeDouble:
    case TypeInt64: case TypeUInt64: case TypeUInt:
        return MAKEINTRESOURCEA(static_cast<uint16_t>(a.intValue));
    default:
        o.fail(ErrType);
        return nullptr;
    }
}

// The directory of the running executable with its final backslash.
std::string moduleDirectory()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    char* slash = std::strrchr(path, '\\');
    if (!slash) return {};
    slash[1] = 0;
    return path;
}

}  // namespace

// --- Date and time ----------------------------------------------------------------

// Today's date as "MM-DD-YYYY", or formatted with a date picture
// ("dd.MM.yyyy") by the system's date formatter.
Statement* Ostrin::dateText(Statement* st)
{
    if (st->argCount > 1) return fail(ErrArgCount);
    if (st->argCount == 1) {
        ArgValue picture{};
        if (!evalArg(st, 0, TypeString, picture)) return nullptr;
        char text[DatePictureLimit + 1] = {};
        if (!GetDateFormatA(0, 0, nullptr, picture.text, text, DatePictureLimit)) text[0] = 0;
        return setStringResult(st, text);
    }

    const std::time_t now = std::time(nullptr);
    const std::tm* t = std::localtime(&now);
    if (!t) return setStringResult(st, "");
    // Two-digit year counts below 80 belong to the 2000s.
    const int year = t->tm_year >= 80 ? t->tm_year + 1900 : t->tm_year + 2000;
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", t->tm_mon + 1, t->tm_mday, year);
    return setStringResult(st, text);
}

// The local time as "HH:MM:SS".
Statement* Ostrin::timeText(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    const std::time_t now = std::time(nullptr);
    const std::tm* t = std::localtime(&now);
    if (!t) return setStringResult(st, "");
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t->tm_hour, t->tm_min, t->tm_sec);
    return setStringResult(st, text);
}

// Seconds since midnight in universal time, as a FLOAT.
Statement* Ostrin::secondsOfDay(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    if (!sysFloat || !sysFloat->data) return fail(ErrNoMemory);
    const float seconds = static_cast<float>(std::time(nullptr) % 86400);
    std::memcpy(sysFloat->data, &seconds, sizeof seconds);
    st->resultType = TypeFloat;
    return st;
}

// --- Shell, sounds, keys -------------------------------------------------------------

// Opens a document or runs a program as the shell would; 0 on success, 1 on
// failure.
Statement* Ostrin::shellOpen(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    ArgValue file{}, params{};
    if (!evalArg(st, 0, TypeString, file)) return nullptr;
    if (st->argCount == 2 && !evalArg(st, 1, TypeString, params)) return nullptr;
    const HINSTANCE r = ShellExecuteA(nullptr, "open", file.text, params.text ? params.text : "",
                                      nullptr, SW_SHOWNORMAL);
    return setIntResult(st, reinterpret_cast<uintptr_t>(r) <= 32 ? 1 : 0);
}

// Plays a sound file, or the sound image held in a MEMORY block; an empty
// name stops the sound that is playing.
Statement* Ostrin::playSound(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue sound{}, flags{};
    if (!evalArg(st, 0, KindAny, sound)) return nullptr;
    if (sound.type != TypeString && sound.type != TypeMemory) return fail(ErrType);
    if (!evalArg(st, 1, KindNumber, flags)) return nullptr;

    const DWORD f = static_cast<DWORD>(flags.intValue);
    if (sound.type == TypeMemory) {
        const char* block = storage::memoryBlock(sound.variable);
        // Without a block there is nothing to play; the call would read
        // from address 0.
        if (block) PlaySoundA(block, nullptr, f | SND_MEMORY | SND_NODEFAULT);
    } else if (sound.text[0]) {
        PlaySoundA(sound.text, nullptr, f | SND_FILENAME | SND_NODEFAULT);
    } else {
        PlaySoundA(nullptr, nullptr, f);
    }
    return st;
}

// The asynchronous state of a key: negative while it is down.
Statement* Ostrin::keyState(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue key{};
    if (!evalArg(st, 0, KindNumber, key)) return nullptr;
    return setIntResult(st, static_cast<int16_t>(GetAsyncKeyState(key.intValue)));
}

// --- Message box ------------------------------------------------------------------------

// Shows the standard message box over a window, dialog or nothing; the
// result is the identifier of the button pressed.
Statement* Ostrin::messageBox(Statement* st)
{
    if (st->argCount != 3 && st->argCount != 4) return fail(ErrArgCount);
    ArgValue owner{}, text{}, caption{}, style{};
    if (!evalArg(st, 0, KindWinOrDlg, owner) || !evalArg(st, 1, TypeString, text) ||
        !evalArg(st, 2, TypeString, caption))
        return nullptr;
    int32_t boxStyle = DefaultBoxStyle;
    if (st->argCount == 4) {
        if (!evalArg(st, 3, KindNumber, style)) return nullptr;
        boxStyle = style.intValue;
    }
    void* object = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(owner.handle)));
    HWND hwnd = object && ui ? reinterpret_cast<HWND>(static_cast<uintptr_t>(ui->nativeHandle(object))) : nullptr;
    return setIntResult(st, MessageBoxA(hwnd, text.text, caption.text, static_cast<UINT>(boxStyle)));
}

// --- The program and its resources ---------------------------------------------------

// The directory of the running program, with its final backslash.
Statement* Ostrin::programDirectoryStatement(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    // The entry point records it at start-up; an interpreter started any
    // other way learns it on first use.
    if (programDirectory.empty()) programDirectory = moduleDirectory();
    return setStringResult(st, programDirectory.data(), std::min<size_t>(programDirectory.size(), MAX_PATH));
}

Statement* Ostrin::zeroQuery(Statement* st)
{
    if (st->argCount != 0) return fail(ErrMalformed);
    return setIntResult(st, 0);
}

// Loads a resource of the running executable into a STRING (its bytes as
// text), an INT (the address of its data) or a MEMORY variable (a copy in a
// new block); 1 when data was delivered, else 0.
Statement* Ostrin::loadResource(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    ArgValue name{}, type{}, target{};
    if (!evalArg(st, 0, KindAny, name)) return nullptr;
    const char* resName = resourceId(*this, name);
    if (!resName) return nullptr;
    if (!evalArg(st, 1, KindAny, type)) return nullptr;
    const char* resType = resourceId(*this, type);
    if (!resType) return nullptr;
    if (!evalArg(st, 2, KindAny, target)) return nullptr;
    Variable* v = target.variable;
    if (!v || !v->data) return fail(ErrMalformed);

    HRSRC found = FindResourceA(nullptr, resName, resType);
    if (!found) return setIntResult(st, 0);
    const DWORD size = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return setIntResult(st, 0);

    switch (v->type) {
    case TypeString: {
        const size_t room = v->capacity > 2 ? static_cast<size_t>(v->capacity - 2) : 0;
        const size_t n = std::min<size_t>(size, room);
        std::memcpy(v->data, bytes, n);
        v->data[n] = 0;
        return setIntResult(st, 1);
    }
    case TypeInt: {
        const auto address = static_cast<int32_t>(reinterpret_cast<uintptr_t>(bytes));
        std::memcpy(v->data, &address, sizeof address);
        return setIntResult(st, 1);
    }
    case TypeMemory: {
        // A block of the resource's size (a zero byte follows every block,
        // so a text resource can be used as a string in place). The block
        // the variable held goes if it allocated it; any other address is
        // only let go.
        char** slot = reinterpret_cast<char**>(v->data);
        char* block = allocateMemoryBlock(static_cast<uint32_t>(size), slot);
        if (!block) return fail(ErrNoMemory);
        std::memcpy(block, bytes, size);
        if (ownsMemoryBlock(slot, *slot)) freeMemoryBlock(*slot);
        *slot = block;
        setRecordedSize(v, size);
        return setIntResult(st, 1);
    }
    default:
        return setIntResult(st, 0);
    }
}
