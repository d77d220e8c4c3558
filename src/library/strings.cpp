// String functions: substrings, concatenation, sizes, character codes,
// conversions between numbers and text, trimming, case, searching,
// overwriting in place and the picture-driven number formatter.
//
// Texts are measured with a bound: a STRING variable may be filled to its
// capacity without a terminator (a raw copy from a memory block does that),
// and a memory block read as text ends at its size. Every result goes through
// setStringResult, which never copies more than SYSTEM_STRING0 holds.
//
// A string argument that is an expression arrives in SYSTEM_STRING0 itself,
// where the next evaluation (another argument, a function called inside it)
// overwrites it. readText therefore moves such a text to scratch space; each
// handler that reads strings opens a ScratchScope that gives the space back.
#include "ostrin.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library/memory.h"
#include "platform.h"
#include "text.h"

namespace {

constexpr size_t ResultLimit = Ostrin::StringResultSize - 1;
constexpr size_t ConcatLimit = 32766;   // the work buffer of concatenate

// A text and its length; never null.
struct Text {
    const char* p = "";
    size_t n = 0;
};

// Gives scratch space taken by a handler back when it returns.
class ScratchScope {
public:
    explicit ScratchScope(ScratchStack& s) : m_stack(s), m_mark(s.mark()) {}
    ~ScratchScope() { m_stack.release(m_mark); }
    ScratchScope(const ScratchScope&) = delete;
    ScratchScope& operator=(const ScratchScope&) = delete;

private:
    ScratchStack& m_stack;
    ScratchStack::Mark m_mark;
};

// Length of an evaluated string, bounded by what its storage holds (and
// read several characters at a time there).
size_t boundedLength(const ArgValue& a)
{
    if (!a.text) return 0;
    if (const Variable* v = a.variable) {
        if (v->type == TypeString && v->capacity > 0) return textLength(a.text, static_cast<size_t>(v->capacity));
        if (v->type == TypeMemory) {
            // A block the engine did not allocate (a text an external
            // function handed over) can only end at its terminator.
            if (uint32_t size = usableMemorySize(v, a.text)) return textLength(a.text, size);
        }
    }
    return std::strlen(a.text);
}

// Reads argument i as a string. A text held in SYSTEM_STRING0 is copied to
// scratch space so that later evaluations cannot change it, and so is a
// one-character selection («s[i]»), which lives in the ArgValue that ends
// here.
bool readText(Ostrin& o, Statement* st, int i, Text& out)
{
    ArgValue a;
    if (!o.evalArg(st, i, TypeString, a)) return false;
    out.p = a.text ? a.text : "";
    out.n = boundedLength(a);
    const char* result = o.stringResultBuffer();
    if (out.p == a.selected || (out.p >= result && out.p < result + Ostrin::StringResultSize)) {
        char* copy = o.scratch.push(out.n + 1);
        if (!copy) {
            o.fail(ErrNoMemory);
            return false;
        }
        std::memcpy(copy, out.p, out.n);
        copy[out.n] = 0;
        out.p = copy;
    }
    return true;
}

// Clamps a count read from a program to 0 … limit.
size_t clampCount(int64_t n, size_t limit)
{
    if (n <= 0) return 0;
    return static_cast<uint64_t>(n) > limit ? limit : static_cast<size_t>(n);
}

// First position of `what` in `text` at or after `from`, or -1.
int64_t findIn(const Text& text, size_t from, const Text& what)
{
    if (what.n == 0 || what.n > text.n) return -1;
    for (size_t i = from; i + what.n <= text.n; ++i)
        if (text.p[i] == what.p[0] && std::memcmp(text.p + i, what.p, what.n) == 0) return static_cast<int64_t>(i);
    return -1;
}

// Leaves an empty string result and hands back its buffer, for results
// that are built in place (at most ResultLimit characters and a terminator).
char* emptyResult(Ostrin& o, Statement* st)
{
    o.setStringResult(st, "", 0);
    return o.stringResultBuffer();
}

// Inserts a comma before every group of three digits of the integer part
// of the formatted number in num[0 … n), counting leftwards from the point
// (or from the end, trailing blanks skipped), while a digit precedes the
// group. Writes at most `room` characters to out; returns the count.
size_t groupDigits(const char* num, size_t n, char* out, size_t room)
{
    size_t end = n;
    if (const void* point = std::memchr(num, '.', n)) {
        end = static_cast<size_t>(static_cast<const char*>(point) - num);
    } else {
        while (end > 0 && num[end - 1] == ' ') --end;
    }
    // Count the groups right to left; commas go before each of them.
    size_t marks = 0;
    for (size_t p = end; p >= 4; p -= 3) {
        const bool group = std::isdigit(static_cast<unsigned char>(num[p - 1])) &&
                           std::isdigit(static_cast<unsigned char>(num[p - 2])) &&
                           std::isdigit(static_cast<unsigned char>(num[p - 3]));
        if (!group || !std::isdigit(static_cast<unsigned char>(num[p - 4]))) break;
        ++marks;
    }
    size_t w = 0;
    const size_t firstMark = end - 3 * marks;   // leftmost comma position
    for (size_t i = 0; i < n && w < room; ++i) {
        if (marks && i >= firstMark && i < end && (end - i) % 3 == 0) {
            out[w++] = ',';
            if (w == room) break;
        }
        out[w++] = num[i];
    }
    return w;
}

// The state of format number's walk over its picture.
struct Picture {
    int intDigits = 0;
    int fracDigits = 0;
    bool grouping = false;
    bool left = false;
    bool point = false;
    bool zero = false;
    bool pending() const { return intDigits + fracDigits > 0; }
};

// Formats one value as the picture counted so far says, into buf.
int formatValue(const Picture& pic, const ArgValue& v, char* buf, size_t size)
{
    char fmt[16];
    char* f = fmt;
    *f++ = '%';
    if (pic.left) *f++ = '-';
    if (pic.zero) *f++ = pic.point ? '0' : '.';
    if (pic.point) {
        std::strcpy(f, "*.*f");
        const double x = v.type == TypeChar ? v.intValue : v.doubleValue;
        return std::snprintf(buf, size, fmt, pic.intDigits + pic.fracDigits + 1, pic.fracDigits, x);
    }
    const bool wide = v.type == TypeInt64 || v.type == TypeUInt64 ||
                      v.int64Value != static_cast<int64_t>(static_cast<int32_t>(v.int64Value));
    if (!wide) {
        std::strcpy(f, "*d");
        return std::snprintf(buf, size, fmt, pic.intDigits, v.intValue);
    }
    if (v.type == TypeUInt64) {
        std::strcpy(f, "*llu");
        return std::snprintf(buf, size, fmt, pic.intDigits, static_cast<unsigned long long>(v.int64Value));
    }
    std::strcpy(f, "*lld");
    return std::snprintf(buf, size, fmt, pic.intDigits, static_cast<long long>(v.int64Value));
}

}  // namespace

// The value as a 64-bit integer in upper-case hexadecimal.
Statement* Ostrin::hexadecimal(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindNumber, v)) return nullptr;
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v.int64Value));
    return setStringResult(st, buf, static_cast<size_t>(n));
}

// At most `length` characters of s from position `start` (counted from 1).
Statement* Ostrin::substring(Statement* st)
{
    if (st->argCount != 2 && st->argCount != 3) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text s;
    ArgValue start;
    if (!readText(*this, st, 0, s) || !evalArg(st, 1, KindNumber, start)) return nullptr;
    if (start.int64Value < 1) return fail(ErrSubstring);
    size_t length = s.n;
    if (st->argCount == 3) {
        ArgValue len;
        if (!evalArg(st, 2, KindNumber, len)) return nullptr;
        if (len.int64Value < 0) return fail(ErrSubstring);
        length = clampCount(len.int64Value, s.n);
    }
    const size_t from = clampCount(start.int64Value - 1, s.n);
    const size_t rest = s.n - from;
    return setStringResult(st, s.p + from, length < rest ? length : rest);
}

// Reads the string and the count of left part and right part; the count is
// clamped to the string's length. False with the error set.
static bool readPartArgs(Ostrin& o, Statement* st, Text& s, size_t& n)
{
    if (st->argCount != 2) return o.fail(ErrArgCount), false;
    ArgValue count;
    if (!readText(o, st, 0, s) || !o.evalArg(st, 1, KindNumber, count)) return false;
    if (count.int64Value < 0) return o.fail(ErrSubstring), false;
    n = clampCount(count.int64Value, s.n);
    return true;
}

// The first `count` characters of s.
Statement* Ostrin::leftPart(Statement* st)
{
    ScratchScope scope(scratch);
    Text s;
    size_t n;
    if (!readPartArgs(*this, st, s, n)) return nullptr;
    return setStringResult(st, s.p, n);
}

// The last `count` characters of s.
Statement* Ostrin::rightPart(Statement* st)
{
    ScratchScope scope(scratch);
    Text s;
    size_t n;
    if (!readPartArgs(*this, st, s, n)) return nullptr;
    return setStringResult(st, s.p + (s.n - n), n);
}

// All string arguments appended in order, at most 32,766 characters.
Statement* Ostrin::concatenate(Statement* st)
{
    if (st->argCount < 1) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    char* work = scratch.push(ConcatLimit + 1);
    if (!work) return fail(ErrNoMemory);
    size_t used = 0;
    for (int i = 0; i < st->argCount; ++i) {
        Text s;
        if (!readText(*this, st, i, s)) return nullptr;
        const size_t n = s.n < ConcatLimit - used ? s.n : ConcatLimit - used;
        std::memcpy(work + used, s.p, n);
        used += n;
    }
    return setStringResult(st, work, used);
}

// The size of a value: a string's length, a block's size, an open file's
// length, one record's size, or a variable's element size × element count.
Statement* Ostrin::sizeOf(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindAny, v)) return nullptr;

    int64_t size;
    switch (v.type) {
    case TypeString:
        size = static_cast<int64_t>(boundedLength(v));
        break;
    case TypeMemory:
        size = v.dataPtr ? usableMemorySize(v.variable, *reinterpret_cast<char**>(v.dataPtr)) : 0;
        break;
    case TypeFile:
    case TypeBFile: {
        FILE* f = v.dataPtr ? *reinterpret_cast<FILE**>(v.dataPtr) : nullptr;
        if (!f) return fail(ErrFileClosed);
        size = platformFileLength(f);
        break;
    }
    case TypeUser:
        size = v.dataPtr ? recordSize(*reinterpret_cast<Variable**>(v.dataPtr)) : 0;
        break;
    default:
        if (!v.variable) return fail(ErrType);
        size = static_cast<int64_t>(v.variable->count) * typeSize(v.variable->type);
        break;
    }
    return setIntResult(st, static_cast<int32_t>(size));
}

// The code of the first character, 0 for an empty string.
Statement* Ostrin::characterCode(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text s;
    if (!readText(*this, st, 0, s)) return nullptr;
    return setIntResult(st, s.n ? static_cast<unsigned char>(s.p[0]) : 0);
}

// The one-character string of the value's low byte; empty for 0.
Statement* Ostrin::character(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindNumber, v)) return nullptr;
    const char c = static_cast<char>(v.intValue & 0xFF);
    return setStringResult(st, &c, c ? 1 : 0);
}

// The text read as a C floating-point number.
Statement* Ostrin::toNumber(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text s;
    if (!readText(*this, st, 0, s)) return nullptr;
    // strtod needs a terminated text; a number never needs more than this.
    size_t i = 0;
    while (i < s.n && std::isspace(static_cast<unsigned char>(s.p[i]))) ++i;
    char buf[512];
    const size_t n = s.n - i < sizeof buf - 1 ? s.n - i : sizeof buf - 1;
    std::memcpy(buf, s.p + i, n);
    buf[n] = 0;
    return setDoubleResult(st, std::strtod(buf, nullptr));
}

// A blank, then the value: with decimalPrecision decimals when its
// single-precision form has a fraction, else as a whole number.
Statement* Ostrin::numberToText(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindNumber, v)) return nullptr;

    // Large enough for any double at any precision a program might set;
    // snprintf cuts anything longer at the result's capacity.
    ScratchScope scope(scratch);
    char* buf = scratch.push(ResultLimit + 1);
    if (!buf) return fail(ErrNoMemory);
    const size_t size = ResultLimit + 1;
    int n;
    switch (v.type) {
    case TypeChar:
    case TypeInt:
    case TypeWord:
        n = std::snprintf(buf, size, " %d", v.intValue);
        break;
    case TypeUInt:
        n = std::snprintf(buf, size, " %u", static_cast<unsigned>(v.intValue));
        break;
    case TypeInt64:
        n = std::snprintf(buf, size, " %lld", static_cast<long long>(v.int64Value));
        break;
    case TypeUInt64:
        n = std::snprintf(buf, size, " %llu", static_cast<unsigned long long>(v.int64Value));
        break;
    default: {
        // Whole numbers beyond 32 bits print in full rather than as their
        // low 32 bits; -0 prints as 0.
        const float f = v.floatValue;
        if (f != std::trunc(f) || std::isnan(f)) {
            n = std::snprintf(buf, size, " %.*f", decimalPrecision, v.doubleValue);
        } else {
            double whole = std::nearbyint(v.doubleValue);
            if (whole == 0) whole = 0;
            n = std::snprintf(buf, size, " %.0f", whole);
        }
        break;
    }
    }
    if (n < 0) n = 0;
    return setStringResult(st, buf, static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1);
}

// `count` copies of one character: a string's first character, or the low
// byte of a CHAR, INT, FLOAT or DOUBLE value.
Statement* Ostrin::repeatCharacter(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue count, c;
    if (!evalArg(st, 0, KindNumber, count) || !evalArg(st, 1, KindAny, c)) return nullptr;
    char ch;
    switch (c.type) {
    case TypeString:
        ch = boundedLength(c) ? c.text[0] : 0;
        break;
    case TypeChar:
    case TypeInt:
    case TypeFloat:
    case TypeDouble:
        ch = static_cast<char>(c.intValue & 0xFF);
        break;
    default:
        return fail(ErrType);
    }
    const size_t n = ch ? clampCount(count.int64Value, ResultLimit) : 0;
    char* out = emptyResult(*this, st);
    std::memset(out, ch, n);
    out[n] = 0;
    return st;
}

// `count` blanks.
Statement* Ostrin::blanks(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue count;
    if (!evalArg(st, 0, KindNumber, count)) return nullptr;
    const size_t n = clampCount(count.int64Value, ResultLimit);
    char* out = emptyResult(*this, st);
    std::memset(out, ' ', n);
    out[n] = 0;
    return st;
}

// The string without leading blanks and tabs.
Statement* Ostrin::trimLeft(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text s;
    if (!readText(*this, st, 0, s)) return nullptr;
    size_t i = 0;
    while (i < s.n && isBlank(s.p[i])) ++i;
    return setStringResult(st, s.p + i, s.n - i);
}

// The string without trailing white space (blank, tab, LF, VT, FF, CR).
Statement* Ostrin::trimRight(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text s;
    if (!readText(*this, st, 0, s)) return nullptr;
    size_t n = s.n;
    while (n > 0 && std::isspace(static_cast<unsigned char>(s.p[n - 1]))) --n;
    return setStringResult(st, s.p, n);
}

// Position (from 1) of the search string in s, from an optional start; 0
// when it does not occur, is empty, or the start lies beyond the end.
Statement* Ostrin::findText(Statement* st)
{
    if (st->argCount != 2 && st->argCount != 3) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    int first = 0;
    int64_t start = 1;
    if (st->argCount == 3) {
        ArgValue from;
        if (!evalArg(st, 0, KindNumber, from)) return nullptr;
        if (from.int64Value > 1) start = from.int64Value;
        first = 1;
    }
    Text s, what;
    if (!readText(*this, st, first, s) || !readText(*this, st, first + 1, what)) return nullptr;
    if (static_cast<uint64_t>(start - 1) >= s.n) return setIntResult(st, 0);
    const int64_t at = findIn(s, static_cast<size_t>(start - 1), what);
    return setIntResult(st, at < 0 ? 0 : static_cast<int32_t>(at + 1));
}

// The string with every character passed through `convert` (C locale rules).
static Statement* convertCase(Ostrin& o, Statement* st, int (*convert)(int))
{
    if (st->argCount != 1) return o.fail(ErrArgCount);
    ScratchScope scope(o.scratch);
    Text s;
    if (!readText(o, st, 0, s)) return nullptr;
    o.setStringResult(st, s.p, s.n);
    for (char* p = o.stringResultBuffer(); *p; ++p) *p = static_cast<char>(convert(static_cast<unsigned char>(*p)));
    return st;
}

Statement* Ostrin::upperCase(Statement* st) { return convertCase(*this, st, std::toupper); }
Statement* Ostrin::lowerCase(Statement* st) { return convertCase(*this, st, std::tolower); }

// Copies the replacement over the target string from position `start`, at
// most `count` characters, never past the end of either: the target keeps
// its length. Out-of-range positions change nothing.
Statement* Ostrin::overwriteText(Statement* st)
{
    if (st->argCount != 4) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    ArgValue target, start, count;
    if (!evalArg(st, 0, TypeString, target)) return nullptr;
    // Measured at once: a later argument that indexes the same string
    // changes the capacity its variable shows.
    const size_t length = boundedLength(target);
    if (!evalArg(st, 1, KindNumber, start) || !evalArg(st, 2, KindNumber, count)) return nullptr;
    Text with;
    if (!readText(*this, st, 3, with)) return nullptr;
    if (!target.text || start.int64Value < 1 || count.int64Value <= 0 ||
        static_cast<uint64_t>(start.int64Value - 1) >= length)
        return st;
    const size_t from = static_cast<size_t>(start.int64Value - 1);
    size_t n = clampCount(count.int64Value, length - from);
    if (n > with.n) n = with.n;
    std::memmove(target.text + from, with.p, n);
    return st;
}

// Builds text from a picture: runs of # are number fields (",", "-", ".",
// "0" set grouping, left alignment, a fraction and zero filling), "&"
// inserts a string value, anything else is copied. A value that cannot be
// read is remembered and the walk goes on; the first such error fails the
// function at the end.
Statement* Ostrin::formatNumber(Statement* st)
{
    if (st->argCount < 2) return fail(ErrArgCount);
    ScratchScope scope(scratch);
    Text picture;
    if (!readText(*this, st, 0, picture)) return nullptr;

    char* out = scratch.push(ResultLimit + 1);
    char* num = scratch.push(ResultLimit + 1);
    if (!out || !num) return fail(ErrNoMemory);
    size_t used = 0;
    int next = 1;
    uint8_t firstError = 0;
    Picture pic;

    auto append = [&](const char* p, size_t n) {
        if (n > ResultLimit - used) n = ResultLimit - used;
        std::memcpy(out + used, p, n);
        used += n;
    };
    auto finishNumber = [&]() {
        if (!pic.pending()) return;
        ArgValue v;
        if (evalArg(st, next++, KindNumber, v)) {
            int n = formatValue(pic, v, num, ResultLimit + 1);
            size_t len = n < 0 ? 0 : (static_cast<size_t>(n) > ResultLimit ? ResultLimit : static_cast<size_t>(n));
            if (pic.grouping) used += groupDigits(num, len, out + used, ResultLimit - used);
            else append(num, len);
        } else {
            if (!firstError) firstError = errorCode;
            errorCode = 0;
        }
        pic = Picture{};
    };

    for (size_t i = 0; i <= picture.n; ++i) {
        const char c = i < picture.n ? picture.p[i] : 0;
        switch (c) {
        case '#':
            ++(pic.point ? pic.fracDigits : pic.intDigits);
            break;
        case ',': pic.grouping = true; break;
        case '-': pic.left = true; break;
        case '.': pic.point = true; break;
        case '0': pic.zero = true; break;
        case '&': {
            finishNumber();
            Text s;
            if (readText(*this, st, next++, s)) {
                append(s.p, s.n);
            } else {
                if (!firstError) firstError = errorCode;
                errorCode = 0;
            }
            break;
        }
        case 0:
            finishNumber();
            break;
        default:
            finishNumber();
            append(&c, 1);
            break;
        }
    }
    if (firstError) return fail(firstError);
    return setStringResult(st, out, used);
}
