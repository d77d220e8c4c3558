// Statement records and the decoder that fills them from image lines.
//
// A statement line is 0xFF, two opcode characters (0xE0 + high nibble,
// 0xE0 + low nibble) and the argument text; decoding splits the text at
// top-level commas into 256-byte argument buffers and tags each argument
// with its syntactic class. A plain line is an assignment or a call of a
// label written by its name. This is one pass into preallocated buffers and
// allocates nothing; the run loop keeps what it yields for lines that decode
// the same way every time (run.cpp).
#include "ostrin.h"

#include <cstdlib>
#include <cstring>

#include "text.h"

Statement* Ostrin::newStatement(int argCount)
{
    if (argCount < 0) argCount = 0;
    if (argCount > MaxArgs) argCount = MaxArgs;
    // Every function call and subroutine call takes a full-size statement
    // and gives it back at once: reuse those instead of a malloc each time.
    if (argCount == MaxArgs && !statementPool.empty()) return reuseStatement();
    auto* st = static_cast<Statement*>(std::malloc(sizeof(Statement)));
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(argCount) * ArgSize + 1));
    if (!st || !buffer) {
        // Releasing the whole state here would pull the running statement
        // from under its handler; stopping the run with error 2 is safe.
        std::free(st);
        std::free(buffer);
        failOnce(ErrNoMemory);
        return nullptr;
    }
    st->buffer = buffer;
    for (int i = 0; i < MaxArgs; ++i) st->args[i] = i < argCount ? buffer + i * ArgSize : nullptr;
    st->argCount = 0;
    st->argText = buffer;
    st->memo = nullptr;
    st->argSites = nullptr;
    st->lent = false;
    buffer[0] = 0;
    return st;
}

void lentArgsBack(Statement* st)
{
    if (!st->lent) return;
    for (int i = 0; i < MaxArgs; ++i) st->args[i] = st->buffer + i * ArgSize;
    st->lent = false;
}

void ownArguments(Statement* st)
{
    if (!st->lent) return;
    for (int i = 0; i < st->argCount; ++i) {
        // Kept texts were decoded into arguments, so each fits one.
        char* own = st->buffer + i * ArgSize;
        const size_t n = strnlen(st->args[i], ArgSize - 1);
        std::memcpy(own, st->args[i], n);
        own[n] = 0;
    }
    lentArgsBack(st);
}

void Ostrin::deleteStatement(Statement* st)
{
    if (!st) return;
    lentArgsBack(st);
    if (st->args[MaxArgs - 1] && statementPool.size() < StatementPoolSize) {
        statementPool.push_back(st);
        return;
    }
    std::free(st->buffer);
    std::free(st);
}

namespace {

inline bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Characters that make a statement argument an expression.
inline bool isArgOperator(unsigned char c)
{
    switch (c) {
    case '%': case '&': case '*': case '+': case '-': case '/': case '<': case '=':
    case '>': case '@': case '^': case '|': case '~':
        return true;
    default:
        return false;
    }
}

// Characters that make the right side of an assignment an expression.
inline bool isAssignOperator(unsigned char c)
{
    return c == 0xFE || (c && std::strchr("*+-<>|&=~^/(@%", c) != nullptr);
}

bool holdsAssignOperator(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (isAssignOperator(*p)) return true;
    return false;
}

// Class of an assignment's right side.
int classifyRightSide(const char* text)
{
    const unsigned char c = static_cast<unsigned char>(text[0]);
    if (c == 0xFE || c == '(') return ClassExpression;
    if (c == '"') {
        const char* close = std::strchr(text + 1, '"');
        if (close)
            for (const char* p = close + 1; *p; ++p)
                if (isAssignOperator(static_cast<unsigned char>(*p))) return *p == '+' ? ClassExpression : ClassString;
        return ClassString;
    }
    if (isLetter(c) || c == 0xFF) {
        if (text[1] == 0) return ClassVariable;
        // Operators inside the first index brackets or the first quoted
        // text do not make it an expression.
        bool skippedBrackets = false, skippedQuotes = false;
        for (const char* p = text; *p; ++p) {
            if (*p == '[' && !skippedBrackets) {
                skippedBrackets = true;
                const char* close = std::strchr(p, ']');
                if (!close) break;
                p = close;
                continue;
            }
            if (*p == '"' && !skippedQuotes) {
                skippedQuotes = true;
                const char* close = std::strchr(p + 1, '"');
                if (!close) break;
                p = close;
                continue;
            }
            if (isAssignOperator(static_cast<unsigned char>(*p))) return ClassExpression;
        }
        return ClassVariable;
    }
    if (isDigit(c) || c == '-' || c == '.') return holdsAssignOperator(text) ? ClassExpression : ClassNumber;
    return holdsAssignOperator(text) ? ClassExpression : ClassUnknown;
}

// Copies text[0, n) into an argument buffer, cut to 255 characters.
void copyArg(char* dest, const char* src, size_t n)
{
    if (n > ArgSize - 1) n = ArgSize - 1;
    std::memcpy(dest, src, n);
    dest[n] = 0;
}

}  // namespace

// Splits an argument text into st's buffers with the three counters
// (quotes, brackets, parentheses); 0 on success.
static int splitArguments(Statement* st, const char* text, uint8_t& errorCode)
{
    int count = 0, len = 0, cls = ClassUnknown;
    int brackets = 0, parens = 0;
    bool quoted = false;
    char* out = st->args[0];
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);; ++p) {
        const unsigned char c = *p;
        bool ends = false;
        if (c == '(' && !quoted && brackets == 0) {
            cls = ClassExpression;
            ++parens;
        } else if (cls == ClassUnknown && !quoted && (c == 0xFE || isLetter(c) || c == 0xFF || isDigit(c) || c == '.')) {
            cls = c == 0xFE ? ClassExpression : (isDigit(c) || c == '.') ? ClassNumber : ClassVariable;
        } else {
            switch (c) {
            case 0:
                ends = true;
                break;
            case '"':
                if (cls == ClassUnknown && !quoted) cls = ClassString;
                quoted = !quoted;
                break;
            case '#':
                if (cls == ClassUnknown && !quoted && brackets == 0) cls = ClassVariable;
                break;
            case '(':
                if (!quoted) ++parens;
                break;
            case ')':
                if (!quoted) --parens;
                break;
            case '[':
                if (!quoted) ++brackets;
                break;
            case ']':
                if (!quoted) --brackets;
                break;
            case ',':
                if (!quoted && brackets == 0 && parens == 0) ends = true;
                break;
            default:
                if (isArgOperator(c) && !quoted && brackets == 0) cls = ClassExpression;
                break;
            }
        }
        if (!ends) {
            if (len < ArgSize - 1) out[len++] = static_cast<char>(c);
            continue;
        }
        out[len] = 0;
        st->argClass[count++] = cls;
        if (c == 0 || count == MaxArgs) break;   // the 25th top-level comma drops the rest
        out = st->args[count];
        len = 0;
        cls = ClassUnknown;
    }
    st->argCount = static_cast<uint16_t>(count);
    if (parens != 0) {
        errorCode = ErrParentheses;
        return 1;
    }
    return 0;
}

// Outer parentheses around a whole argument list are dropped, «(a, b)»
// becoming «a, b», except for the conditional and case statements, whose
// single argument may itself be a parenthesised list.
static char* dropOuterParentheses(int opcode, char* text)
{
    if (text[0] != '(' || opcode == 6 || opcode == 42) return text;
    if (!findOutside(text, ',', false, false)) return text;
    char* last = text + std::strlen(text) - 1;
    while (last > text && isBlank(*last)) --last;
    if (*last != ')') return text;
    int depth = 0;
    for (const char* p = text; *p && *p != ','; ++p) {
        if (*p == '(') ++depth;
        else if (*p == ')') --depth;
    }
    if (depth == 0) return text;
    text[0] = ' ';
    *last = ' ';
    return skipBlanks(text);
}

int Ostrin::decodeStatement(Statement* st, char* line)
{
    lentArgsBack(st);
    st->memo = nullptr;
    st->argSites = nullptr;
    st->resultType = NoResult;
    st->toFile = 0;
    const auto* u = reinterpret_cast<const unsigned char*>(line);
    if (u[0] != 0xFF) return decodePlainLine(st, line);

    // A truncated opcode yields a number outside the table (error 1 when run).
    char* rest = line + 1;
    int opcode = 0xFFFF;
    if (u[1] && u[2]) {
        opcode = (u[2] - 0xE0) + 16 * (u[1] - 0xE0);
        rest = line + 3;
    } else if (u[1]) {
        rest = line + 2;
    }
    st->opcode = static_cast<uint16_t>(opcode);
    char* text = skipBlanks(rest);
    st->argText = text;
    if (!*text) {
        st->argCount = 0;
        return 0;
    }
    text = dropOuterParentheses(st->opcode, text);
    st->argText = text;
    return splitArguments(st, text, errorCode);
}

// Decodes a plain line: an assignment, a label line written as «label name»
// or «sub name» (running through it does nothing), or a call of a label
// written by its name, which is rewritten into a call statement.
int Ostrin::decodePlainLine(Statement* st, char* line)
{
    char* s = line;
    while (*s && *s != ' ' && *s != '=' && *s != '(' && *s != '"' && *s != '\t') ++s;

    if (char* eq = findOutside(line, '=', false, false)) {
        st->opcode = 20;
        st->argText = line;
        st->argCount = 2;
        char* left = skipBlanks(line);
        char* leftEnd = eq;
        while (leftEnd > left && isBlank(leftEnd[-1])) --leftEnd;
        copyArg(st->args[0], left, static_cast<size_t>(leftEnd - left));
        char* right = skipBlanks(eq + 1);
        char* rightEnd = right + std::strlen(right);
        while (rightEnd > right && isBlank(rightEnd[-1])) --rightEnd;
        copyArg(st->args[1], right, static_cast<size_t>(rightEnd - right));
        st->argClass[0] = ClassVariable;
        st->argClass[1] = classifyRightSide(st->args[1]);
        return 0;
    }

    const size_t wordLength = static_cast<size_t>(s - line);
    if ((wordLength == 5 && sameName(line, "label", 5)) || (wordLength == 3 && sameName(line, "sub", 3))) {
        char* name = skipBlanks(s);
        char* end = name;
        while (*end && !isBlank(*end) && *end != '(') ++end;
        st->opcode = 23;
        st->argCount = 1;
        copyArg(st->args[0], name, static_cast<size_t>(end - name));
        st->argClass[0] = ClassVariable;
        st->argText = st->args[0];
        return 0;
    }

    if (loaded) {
        const char saved = *s;
        *s = 0;
        Variable* v = findVariable(line, nullptr, false);
        *s = saved;
        if (v && v->type == TypeLabel) return decodeLabelCall(st, line, s, v->external != 0);
        errorCode = 0;   // not a label: the plain line is malformed
    }
    errorCode = ErrMalformed;
    return 1;
}

// Rewrites «name», «name args» or «name(args)» into a call statement (44,
// or 120 for an external function) with the label's name as argument 0.
int Ostrin::decodeLabelCall(Statement* st, char* line, char* s, bool external)
{
    // The rewritten line holds 3 opcode bytes, at most 251 characters and
    // the terminator; a longer call line is malformed rather than cut.
    constexpr size_t MaxCallLine = 251;
    char scratch[3 + MaxCallLine + 1];
    const size_t length = std::strlen(line);
    if (length > MaxCallLine) {
        errorCode = ErrMalformed;
        return 1;
    }
    scratch[0] = static_cast<char>(0xFF);
    scratch[1] = static_cast<char>(external ? 0xE7 : 0xE2);
    scratch[2] = static_cast<char>(external ? 0xE8 : 0xEC);
    char* copy = scratch + 3;
    std::memcpy(copy, line, length + 1);
    char* at = copy + (s - line);
    if (*at) {
        // Arguments follow unless only blanks and empty parentheses do:
        // «name ()» is a call without arguments, like «name()».
        const char* next = *at == '(' ? at : skipBlanks(at + 1);
        if (*next == '(') next = skipBlanks(next + 1);
        const bool hasArgs = *next && *next != ')';
        if (*at == '(') {
            char* last = copy + length - 1;
            while (last > at && isBlank(*last)) --last;
            if (last > at && *last == ')') *last = ' ';
        }
        *at = hasArgs ? ',' : 0;
    }
    const int failed = decodeStatement(st, scratch);
    // argText must not point at the scratch line once it is gone.
    st->argText = st->args[0];
    return failed;
}
