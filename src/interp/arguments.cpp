// Argument access and the result convention.
//
// Handlers never parse their arguments: evalArg evaluates one argument by
// its syntactic class, fills every representation of the value at once and
// checks the value's type against the kind the handler asked for. Values go
// back through six system variables, named by the statement's resultType.
#include "ostrin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "convert.h"
#include "text.h"

namespace {

// Stands in for the text of a string variable that has no data block yet.
char emptyText[1] = {0};

bool startsWithWindowToken(const char* t)
{
    return static_cast<unsigned char>(t[0]) == 0xFE && static_cast<unsigned char>(t[1]) == 0xE4 &&
           static_cast<unsigned char>(t[2]) == 0xE8;
}

}  // namespace

// The current-window token names the window only where a window is asked
// for or where it stands alone; in any longer expression it is the number
// in its constant entry («{72}<>0» is a comparison, not a window).
bool namesCurrentWindow(const char* t, int kind)
{
    if (!startsWithWindowToken(t)) return false;
    return kind == KindWinOrDlg || kind == KindWindow || *skipBlanks(t + 3) == 0;
}

namespace {

void setFromDouble(ArgValue& out, double d)
{
    out.doubleValue = d;
    out.floatValue = static_cast<float>(d);
    out.int64Value = truncToInt64(d);
    out.intValue = truncToInt32(d);
}

// A text of up to 18 decimal digits after an optional "-", as a call
// writes every integer it passes: its value, read as strtoll reads it,
// without scanning the text three times first.
bool plainInteger(const char* text, int64_t& value)
{
    const bool negative = *text == '-';
    const char* p = text + (negative ? 1 : 0);
    int64_t v = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 18) return false;   // before v could overflow
        v = v * 10 + (*p - '0');
    }
    if (*p || digits == 0) return false;
    value = negative ? -v : v;
    return true;
}

// A numeric literal: with a "." a FLOAT, with an "x" a 32-bit hexadecimal
// INT, else a decimal INT, or INT64 when it does not fit in 32 bits.
void readNumber(const char* text, int kind, ArgValue& out)
{
    int64_t v = 0;
    const bool plain = plainInteger(text, v);
    if (!plain && findOutside(const_cast<char*>(text), '.', false, false)) {
        setFromDouble(out, std::atof(text));
        out.type = TypeFloat;
        return;
    }
    if (!plain && (std::strchr(text, 'x') || std::strchr(text, 'X'))) {
        const auto u = static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
        out.intValue = static_cast<int32_t>(u);
        out.int64Value = u;
        out.floatValue = static_cast<float>(out.intValue);
        out.doubleValue = out.intValue;
        out.type = TypeInt;
    } else {
        if (!plain) v = std::strtoll(text, nullptr, 10);
        setFromInt64(out, v);
        out.type = v >= INT32_MIN && v <= INT32_MAX ? TypeInt : TypeInt64;
    }
    // An integer literal where a window is wanted is the window object itself.
    if (kind == KindWinOrDlg || kind == KindWindow) {
        out.type = TypeWindow;
        out.handle = out.intValue;
    }
}

// Fills out from the selected element of a variable.
void readVariable(Variable* v, int kind, ArgValue& out)
{
    out.variable = v;
    out.dataPtr = v->data;
    out.type = v->type;
    const char* d = v->data;
    if (v->type == TypeString) {
        out.text = d ? v->data : emptyText;
        // «s[1]» selects one character: the text from there on would read
        // as the rest of the string, so the character is taken alone.
        if (d && v->width == 1 && v->capacity == 1) {
            out.selected[0] = *d;
            out.selected[1] = 0;
            out.text = out.selected;
        }
        return;
    }
    if (!d) {
        if (v->type == TypeMemory && kind == TypeString) {
            out.text = emptyText;
            out.type = TypeString;
        }
        return;
    }
    switch (v->type) {
    case TypeChar: {
        const auto b = static_cast<uint8_t>(*d);
        out.charValue = b;
        out.intValue = b;
        out.int64Value = b;
        out.floatValue = b;
        out.doubleValue = b;
        break;
    }
    case TypeInt: { int32_t x; std::memcpy(&x, d, 4); setFromInt64(out, x); break; }
    case TypeWord: { uint16_t x; std::memcpy(&x, d, 2); setFromInt64(out, x); break; }
    case TypeFloat: {
        float x;
        std::memcpy(&x, d, 4);
        setFromDouble(out, x);
        out.floatValue = x;
        break;
    }
    case TypeDouble: { double x; std::memcpy(&x, d, 8); setFromDouble(out, x); break; }
    case TypeInt64: { int64_t x; std::memcpy(&x, d, 8); setFromInt64(out, x); break; }
    case TypeUInt64: {
        uint64_t x;
        std::memcpy(&x, d, 8);
        setFromInt64(out, static_cast<int64_t>(x));
        out.floatValue = static_cast<float>(x);
        out.doubleValue = static_cast<double>(x);
        break;
    }
    case TypeUInt: { uint32_t x; std::memcpy(&x, d, 4); setFromInt64(out, x); break; }
    case TypeMemory: {
        char* block;
        std::memcpy(&block, d, sizeof block);
        out.handle = static_cast<int32_t>(reinterpret_cast<uintptr_t>(block));
        out.text = block;
        if (kind == TypeString) {
            out.type = TypeString;
            if (!block) out.text = emptyText;
        }
        break;
    }
    default: {
        uint32_t x;
        std::memcpy(&x, d, 4);
        out.handle = static_cast<int32_t>(x);
        break;
    }
    }
}

}  // namespace

void setFromInt64(ArgValue& out, int64_t v)
{
    out.int64Value = v;
    out.intValue = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    out.floatValue = static_cast<float>(v);
    out.doubleValue = static_cast<double>(v);
}

// The argument an expression's text gave once evaluated to d: the text in
// SYSTEM_STRING0, the current window, or the number in every width.
void Ostrin::expressionValue(char* text, int kind, double d, ArgValue& out)
{
    if (stringResult) {
        out.doubleValue = d;
        out.text = stringResultBuffer();
        out.type = TypeString;
        return;
    }
    setFromDouble(out, d);
    out.type = TypeDouble;
    if (namesCurrentWindow(text, kind)) {
        // The current window as a value: the WINDOW variable holding it,
        // or the object itself when no variable does.
        Variable* w = findVariable(text, nullptr, false);
        out.type = TypeWindow;
        if (w && w->data) {
            uint32_t handle;
            std::memcpy(&handle, w->data, 4);
            out.handle = static_cast<int32_t>(handle);
            out.dataPtr = w->data;
            out.variable = w;
        } else {
            errorCode = 0;
            out.handle = out.intValue;
        }
    }
}

bool Ostrin::readArgument(char* text, int cls, NameSite* site, int kind, ArgValue& out, CompiledExpression** known)
{
    // A later argument keeps its leading blank (« "b"»): skip it for every
    // class, or a literal would be read from the blank on.
    text = skipBlanks(text);

    switch (cls) {
    case ClassNumber:
        readNumber(text, kind, out);
        break;
    case ClassString: {
        // Cutting at the closing quote makes a second evaluation in the same
        // run of the statement fail: the decoder restores the text next time.
        char* close = std::strrchr(text, '"');
        if (!close || close == text) {
            failOnce(ErrMalformed);
            return false;
        }
        *close = 0;
        out.text = text + 1;
        out.type = TypeString;
        break;
    }
    case ClassVariable: {
        Variable* v = findVariable(text, nullptr, true, site);
        if (!v) {
            failOnce(ErrMalformed);   // keeps the lookup's own code
            return false;
        }
        if (v->type == TypeLabel) {
            failOnce(ErrMalformed);
            return false;
        }
        readVariable(v, kind, out);
        break;
    }
    case ClassExpression: {
        const double d = evaluate(text, known);
        if (errorCode) return false;
        expressionValue(text, kind, d, out);
        break;
    }
    default:
        failOnce(ErrMalformed);
        return false;
    }
    return !errorCode;
}

bool Ostrin::evalArg(Statement* st, int i, int kind, ArgValue& out, CompiledExpression** known)
{
    out = ArgValue{};
    if (i < 0 || i >= st->argCount) {
        failOnce(ErrArgCount);
        return false;
    }
    if (!readArgument(st->args[i], st->argClass[i], st->argSites ? st->argSites[i] : nullptr, kind, out, known))
        return false;

    switch (kind) {
    case KindAny:
        return true;
    case KindNumber:
        if (isNumericType(out.type)) return true;
        failOnce(ErrNotNumeric);
        return false;
    case KindInt:
        if (out.type == TypeInt) return true;
        failOnce(out.type == TypeUInt ? ErrType : ErrNotInteger);
        return false;
    case KindWinOrDlg:
        if (out.type == TypeWindow || out.type == TypeDialog) return true;
        failOnce(ErrType);
        return false;
    case KindWindow:
        if (out.type == TypeWindow) return true;
        failOnce(ErrType);
        return false;
    default:
        if (out.type == kind) return true;
        failOnce(ErrType);
        return false;
    }
}

Variable* Ostrin::resultVariable(uint32_t resultType) const
{
    switch (resultType) {
    case TypeString: return sysString;
    case TypeInt: case TypeUInt: return sysInt;
    case TypeFloat: return sysFloat;
    case TypeDouble: return sysDouble;
    case TypePointer: return sysPointer;
    case TypeInt64: case TypeUInt64: return sysInt64;
    default: return nullptr;
    }
}

// The system variables exist from load on; a handler only runs after load,
// so a missing one means load ran out of memory.
Statement* Ostrin::setIntResult(Statement* st, int32_t value)
{
    if (!sysInt || !sysInt->data) return fail(ErrNoMemory);
    std::memcpy(sysInt->data, &value, sizeof value);
    st->resultType = TypeInt;
    return st;
}

Statement* Ostrin::setDoubleResult(Statement* st, double value)
{
    if (!sysDouble || !sysDouble->data) return fail(ErrNoMemory);
    std::memcpy(sysDouble->data, &value, sizeof value);
    st->resultType = TypeDouble;
    return st;
}

Statement* Ostrin::setInt64Result(Statement* st, int64_t value)
{
    if (!sysInt64 || !sysInt64->data) return fail(ErrNoMemory);
    std::memcpy(sysInt64->data, &value, sizeof value);
    st->resultType = TypeInt64;
    return st;
}

Statement* Ostrin::setPointerResult(Statement* st, void* value)
{
    if (!sysPointer || !sysPointer->data) return fail(ErrNoMemory);
    const auto word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    std::memcpy(sysPointer->data, &word, sizeof word);
    sysPointer->target = nullptr;   // a raw address, not a variable
    st->resultType = TypePointer;
    return st;
}

Statement* Ostrin::setStringResult(Statement* st, const char* text, size_t length)
{
    if (!sysString || !sysString->base) return fail(ErrNoMemory);
    const size_t capacity = sysString->dims[0] > 0 ? static_cast<size_t>(sysString->dims[0]) : StringResultSize;
    const size_t n = text ? std::min(length, std::min<size_t>(capacity, StringResultSize) - 1) : 0;
    // The text may already lie in SYSTEM_STRING0 (a function of its own result).
    if (n) std::memmove(sysString->base, text, n);
    sysString->base[n] = 0;
    sysString->data = sysString->base;
    sysString->capacity = static_cast<int32_t>(capacity);
    st->resultType = TypeString;
    return st;
}

// Not inlined: seeing a caller's small buffer, the compiler warns of the
// bound, which only stops a text without its terminator.
[[gnu::noinline]] Statement* Ostrin::setStringResult(Statement* st, const char* text)
{
    const size_t limit = StringResultSize - 1;
    return setStringResult(st, text, text ? strnlen(text, limit) : 0);
}
