// Console input and output: print, line input, the key reader, and the
// statements that open, close, clear and colour the console.
//
// The engine is a GUI process, so the console exists only once a statement
// wants it; every statement that writes opens it on demand. The statements
// here do the formatting and parsing; the ConsoleDevice only moves bytes, so
// tests can capture output and feed input. Print formats come from the type
// table (typeFormat) and go through the C run-time's own formatter so they
// read exactly as the platform prints them.
#include "ostrin.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library/storage.h"
#include "platform.h"
#include "text.h"

namespace {

// The print buffer: text is cut where the buffer ends, always leaving room
// for the final line feed and terminator.
class PrintBuffer {
public:
    PrintBuffer(char* data, size_t size) : m_data(data), m_limit(size - 2) { m_data[0] = 0; }

    void append(const char* text, size_t n)
    {
        if (n > m_limit - m_length) n = m_limit - m_length;
        std::memcpy(m_data + m_length, text, n);
        m_length += n;
        m_data[m_length] = 0;
    }

    // The platform C run-time's formatter (not the compiler's replacement),
    // whose "%p" and "%I64d" are what programs on this platform print.
    void format(const char* fmt, ...)
    {
        const size_t room = m_limit - m_length;
        if (room == 0) return;
        va_list ap;
        va_start(ap, fmt);
        const int n = platformFormat(m_data + m_length, room, fmt, ap);
        va_end(ap);
        m_length += (n < 0 || static_cast<size_t>(n) > room) ? room : static_cast<size_t>(n);
        m_data[m_length] = 0;
    }

    void lineFeed()
    {
        m_data[m_length++] = '\n';
        m_data[m_length] = 0;
    }

    const char* data() const { return m_data; }
    size_t length() const { return m_length; }

private:
    char* m_data;
    size_t m_limit;
    size_t m_length = 0;
};

// Text and numbers: a fraction prints with a leading blank at the decimal
// precision, a whole value as an integer with a trailing blank.
void appendFloating(PrintBuffer& out, double value, int precision)
{
    // A double has no more decimals than this; the bound keeps absurd
    // precisions from straining the run-time's conversion buffer.
    if (precision > 340) precision = 340;
    if (value != std::trunc(value)) {
        out.format(" %.*f", precision, value);
    } else if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        out.format(typeFormat(TypeInt64), static_cast<long long>(value));
    } else {
        // Beyond 64 bits (or infinite) the integer conversion is undefined;
        // the digits are printed in the same shape instead.
        out.format("%.0f ", value);
    }
}

// Appends one value in its type's print format. WINDOW values print nothing
// (as the first argument they choose the output window instead).
void appendValue(PrintBuffer& out, const ArgValue& v, int precision)
{
    const char* fmt = typeFormat(v.type);
    switch (v.type) {
    case TypeString:
        if (v.text) out.append(v.text, std::strlen(v.text));
        break;
    case TypeChar:
        if (v.charValue) out.format(fmt, v.charValue);   // a zero byte would end the text
        break;
    case TypeInt:
    case TypeWord:
        out.format(fmt, v.intValue);
        break;
    case TypeUInt:
        out.format(fmt, static_cast<uint32_t>(v.intValue));
        break;
    case TypeInt64:
    case TypeUInt64:
        out.format(fmt, static_cast<long long>(v.int64Value));
        break;
    case TypeFloat:
    case TypeDouble:
        appendFloating(out, v.doubleValue, precision);
        break;
    case TypeMemory:
    case TypeDialog:
    case TypeBFile:
    case TypeUser:
    case TypePointer:
        out.format(fmt, reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(v.handle))));
        break;
    case TypeArray:
    case TypeFile:
        out.format(fmt);   // "%%": a single "%"
        break;
    default:
        break;   // SYSTEM, LABEL and WINDOW append nothing
    }
}

bool isEmptyArgument(const char* text) { return *skipBlanks(text) == 0; }

}  // namespace

void Ostrin::ensureConsole()
{
    if (consoleOpen) return;
    console->open();   // attaching to an existing console is no failure
    consoleOpen = true;
}

Statement* Ostrin::openConsole(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    console->open();
    consoleOpen = true;
    return st;
}

Statement* Ostrin::closeConsole(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    console->close();
    consoleOpen = false;
    return st;
}

// Writes the arguments in their print formats to the console, the output
// window or, with toFile set, the text file named by argument 0.
Statement* Ostrin::consolePrint(Statement* st)
{
    PrintLineBuffer buffer(*this);
    if (!buffer.data()) return fail(ErrNoMemory);
    PrintBuffer out(buffer.data(), WorkBufferSize);
    const bool toFile = st->toFile != 0;
    const int first = toFile ? 1 : 0;
    for (int i = first; i < st->argCount; ++i) {
        if (isEmptyArgument(st->args[i])) continue;   // a trailing comma
        ArgValue v;
        if (!evalArg(st, i, KindAny, v)) return nullptr;
        if (v.type == TypeWindow) {
            if (i == 0) outputWindow = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(v.handle)));
            continue;
        }
        appendValue(out, v, decimalPrecision);
    }

    if (toFile) {
        st->toFile = 0;
        out.lineFeed();
        ArgValue file;
        if (!evalArg(st, 0, KindAny, file)) return nullptr;
        if (file.type != TypeFile && file.type != TypeBFile) return fail(ErrType);
        FILE* stream = storage::fileStream(file.variable);
        if (!stream) return fail(ErrFileClosed);
        std::fwrite(out.data(), 1, out.length(), stream);
        return st;
    }

    if (outputWindow) {
        // Text continues at the window's drawing position; no line feed.
        if (ui) ui->drawText(outputWindow, out.data(), out.length());
        return st;
    }

    const bool prompt = st->resultType == 1;
    if (st->argCount == 0 || (!prompt && !isEmptyArgument(st->args[st->argCount - 1]))) out.lineFeed();
    ensureConsole();
    console->write(out.data(), out.length());
    return st;
}

// Reads one line into the target variable, after an optional prompt.
Statement* Ostrin::consoleInput(Statement* st)
{
    if (st->argCount == 0) return fail(ErrArgCount);
    int target = 0;
    if (*skipBlanks(st->args[0]) == '"') {
        if (st->argCount < 2) return fail(ErrArgCount);
        // The prompt prints as the only argument and without a line feed.
        const uint16_t count = st->argCount;
        const uint32_t resultType = st->resultType;
        st->argCount = 1;
        st->resultType = 1;
        Statement* printed = consolePrint(st);
        st->argCount = count;
        st->resultType = resultType;
        if (!printed) return nullptr;
        target = 1;
    } else {
        ensureConsole();
    }

    Variable* v = findVariable(st->args[target], nullptr, false);
    if (!v) return nullptr;

    char line[255];
    if (!console->readLine(line, sizeof line)) return fail(ErrInputEnded);
    char* data = v->data;
    if (!data) return fail(ErrType);
    switch (v->type) {
    case TypeString:
        copyText(data, line, v->capacity - 1);
        break;
    case TypeChar:
        *data = line[0];
        break;
    case TypeInt:
        *reinterpret_cast<int32_t*>(data) = static_cast<int32_t>(std::strtol(line, nullptr, 0));
        break;
    case TypeUInt:
        *reinterpret_cast<uint32_t*>(data) = static_cast<uint32_t>(std::strtoul(line, nullptr, 0));
        break;
    case TypeWord:
        *reinterpret_cast<uint16_t*>(data) = static_cast<uint16_t>(std::strtol(line, nullptr, 0));
        break;
    case TypeFloat:
        *reinterpret_cast<float*>(data) = static_cast<float>(std::strtod(line, nullptr));
        break;
    case TypeDouble:
        *reinterpret_cast<double*>(data) = std::strtod(line, nullptr);
        break;
    case TypeInt64:
        *reinterpret_cast<int64_t*>(data) = std::strtoll(line, nullptr, 10);
        break;
    case TypeUInt64:
        *reinterpret_cast<uint64_t*>(data) = std::strtoull(line, nullptr, 10);
        break;
    default:
        return fail(ErrType);
    }
    return st;
}

// The pending key as a one-character string, or "" at once when none is
// pending. Never opens the console.
Statement* Ostrin::consoleKey(Statement* st)
{
    if (st->argCount > 1) return fail(ErrMalformed);
    bool keyCode = false;
    if (st->argCount == 1) {
        ArgValue mode;
        if (!evalArg(st, 0, KindNumber, mode)) return nullptr;
        keyCode = mode.intValue != 0;
    }
    const char key = static_cast<char>(console->peekKey(keyCode));
    return setStringResult(st, &key, key ? 1 : 0);
}

Statement* Ostrin::clearConsole(Statement* st)
{
    ensureConsole();
    if (st->argCount != 0) return fail(ErrArgCount);
    console->clear();
    return st;
}

// Row and column count from 1.
Statement* Ostrin::consoleCursor(Statement* st)
{
    ensureConsole();
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue row, column;
    if (!evalArg(st, 0, KindNumber, row) || !evalArg(st, 1, KindNumber, column)) return nullptr;
    console->setCursor(row.intValue - 1, column.intValue - 1);
    return st;
}

// Foreground, then background; either may be left empty.
Statement* Ostrin::consoleColour(Statement* st)
{
    ensureConsole();
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrArgCount);
    int foreground = 0;
    if (!isEmptyArgument(st->args[0])) {
        ArgValue v;
        if (!evalArg(st, 0, KindNumber, v)) return nullptr;
        foreground = v.intValue;
        console->setAttribute(foreground);
    }
    if (st->argCount == 2 && !isEmptyArgument(st->args[1])) {
        ArgValue v;
        if (!evalArg(st, 1, KindNumber, v)) return nullptr;
        // Any integer may come in: the attribute wraps rather than overflow.
        console->setAttribute(static_cast<int>(static_cast<uint32_t>(v.intValue) * 16u + static_cast<uint32_t>(foreground)));
    }
    return st;
}

Statement* Ostrin::decimalPrecisionStatement(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, KindNumber, v)) return nullptr;
    decimalPrecision = v.intValue;
    return st;
}
