// The assignment statement: target = value[, value…].
//
// The target is looked up (or, with implicit declarations on, created) and
// each value is stored by its syntactic class: a numeric literal is parsed
// for the target's type, a string literal copied, a variable converted by a
// fixed table of type pairs, an expression evaluated. Several values fill
// consecutive elements of an array from the target's position on.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "interp/convert.h"
#include "interp/text.h"
#include "statements/declarations.h"

namespace {

// Doubles to integers without undefined behaviour: truncated toward zero,
// saturating outside the range. Unsigned 64-bit targets also take the
// upper half of their range.
inline int64_t truncate64(double d) { return truncToInt64(d); }

uint64_t truncateU64(double d)
{
    if (d >= 9223372036854775808.0 && d < 18446744073709551616.0) return static_cast<uint64_t>(d);
    return static_cast<uint64_t>(truncToInt64(d));
}

bool hasHexMark(const char* text) { return std::strchr(text, 'x') || std::strchr(text, 'X'); }

// A 64-bit literal: decimal, or hexadecimal when it has an "x".
uint64_t literalInt64(const char* text)
{
    return hasHexMark(text) ? std::strtoull(text, nullptr, 0) : std::strtoull(text, nullptr, 10);
}

double literalDouble(const char* text)
{
    return hasHexMark(text) ? static_cast<double>(literalInt(text)) : std::strtod(text, nullptr);
}

// The value of a numeric variable's current element as a double; false for
// a type that holds no number.
bool numberOf(const Variable* s, double& out)
{
    const char* d = s->data;
    switch (s->type) {
    case TypeChar: out = static_cast<uint8_t>(*d); return true;
    case TypeWord: out = *reinterpret_cast<const uint16_t*>(d); return true;
    case TypeInt: out = *reinterpret_cast<const int32_t*>(d); return true;
    case TypeUInt: out = *reinterpret_cast<const uint32_t*>(d); return true;
    case TypeFloat: out = *reinterpret_cast<const float*>(d); return true;
    case TypeDouble: out = *reinterpret_cast<const double*>(d); return true;
    case TypeInt64: out = static_cast<double>(*reinterpret_cast<const int64_t*>(d)); return true;
    case TypeUInt64: out = static_cast<double>(*reinterpret_cast<const uint64_t*>(d)); return true;
    default: return false;
    }
}

// The integer form of a numeric variable: CHAR and WORD unsigned, INT
// sign-extended, UINT zero-extended, floating values truncated, 64-bit
// integers as their bits.
int64_t integerOf(const Variable* s)
{
    const char* d = s->data;
    switch (s->type) {
    case TypeChar: return static_cast<uint8_t>(*d);
    case TypeWord: return *reinterpret_cast<const uint16_t*>(d);
    case TypeInt: return *reinterpret_cast<const int32_t*>(d);
    case TypeUInt: return *reinterpret_cast<const uint32_t*>(d);
    case TypeFloat: return truncate64(*reinterpret_cast<const float*>(d));
    case TypeDouble: return truncate64(*reinterpret_cast<const double*>(d));
    case TypeInt64:
    case TypeUInt64: return *reinterpret_cast<const int64_t*>(d);
    default: return 0;
    }
}

template <typename T> void put(char* dest, T value) { std::memcpy(dest, &value, sizeof value); }

bool sourceIs(int type, std::initializer_list<int> accepted)
{
    for (int t : accepted)
        if (t == type) return true;
    return false;
}

// The end of the value that starts at p: its top-level comma (outside
// quotes, brackets and parentheses) or the end of the text.
const char* valueEnd(const char* p)
{
    int brackets = 0, parens = 0;
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (*p == '[') ++brackets;
        else if (*p == ']') --brackets;
        else if (*p == '(') ++parens;
        else if (*p == ')') --parens;
        else if (*p == ',' && brackets == 0 && parens == 0) break;
    }
    return p;
}

// Number of values in a text: one more than its top-level commas.
int countValues(const char* text)
{
    int n = 1;
    for (const char* p = valueEnd(text); *p; p = valueEnd(p + 1)) ++n;
    return n;
}

// Copies the value that starts at *text into out, trimmed, and advances
// *text past its comma.
void nextValue(const char** text, char* out)
{
    const char* end = valueEnd(*text);
    size_t n = static_cast<size_t>(end - *text);
    if (n > ArgSize - 1) n = ArgSize - 1;
    std::memcpy(out, *text, n);
    out[n] = 0;
    const char* trimmed = trimName(out);
    std::memmove(out, trimmed, std::strlen(trimmed) + 1);
    *text = *end ? end + 1 : end;
}


// Where one value goes: the element, and for strings the room there.
struct Destination {
    Variable* var;
    char* at;
    int32_t capacity;   // STRING: bytes from `at` on, terminator included
    char* storage;      // var's own block when the destination was fixed
};

// Evaluating a value can run statements (a function, a statement inside the
// expression) that free the destination: it must still be in a chain, with
// its storage, or the store would write freed memory. The chains are
// searched only when they changed.
bool destinationKept(Ostrin& o, const Destination& d, uint64_t version)
{
    if (o.chainVersion == version) return true;
    if (o.holdsVariable(d.var) && (d.var->base ? d.var->base : d.var->data) == d.storage) return true;
    o.fail(ErrUndefined);
    return false;
}

// Copies text into a string destination, at most capacity - 1 characters.
// A single selected character (capacity 1) takes the text's first character
// rather than the terminator, so «s[1] = "x"» changes that character.
void storeText(const Destination& d, const char* text, size_t length)
{
    if (d.capacity <= 0) return;
    if (d.capacity == 1) {
        if (length) d.at[0] = text[0];
        return;
    }
    if (length > static_cast<size_t>(d.capacity - 1)) length = static_cast<size_t>(d.capacity - 1);
    std::memmove(d.at, text, length);
    d.at[length] = 0;
}

// Stores a numeric literal by the destination's type.
bool storeNumber(Ostrin& o, const Destination& d, const char* text)
{
    char* at = d.at;
    switch (d.var->type) {
    case TypeFloat: put(at, static_cast<float>(literalDouble(text))); return true;
    case TypeDouble: put(at, literalDouble(text)); return true;
    case TypeInt64:
    case TypeUInt64: put(at, literalInt64(text)); return true;
    case TypeChar: put(at, static_cast<uint8_t>(literalInt(text))); return true;
    case TypeWord: put(at, static_cast<uint16_t>(literalInt(text))); return true;
    case TypeInt:
    case TypeUInt:
    case TypeMemory:
    case TypeWindow:
    case TypeDialog: put(at, static_cast<uint32_t>(literalInt(text))); return true;
    case TypePointer:
        put(at, static_cast<uint32_t>(literalInt(text)));
        d.var->target = nullptr;   // a bare address names no variable
        return true;
    default:
        // Strings take no numbers; streams, records, labels and the
        // interpreter's own records hold objects a number would fake.
        o.fail(ErrNoConvert);
        return false;
    }
}

// Stores a string literal: «"text"», up to its last double quote.
bool storeLiteral(Ostrin& o, const Destination& d, const char* text)
{
    const char* close = std::strrchr(text + 1, '"');
    if (text[0] != '"' || !close) {
        o.fail(ErrMalformed);
        return false;
    }
    const char* body = text + 1;
    const size_t length = static_cast<size_t>(close - body);
    switch (d.var->type) {
    case TypeString: storeText(d, body, length); return true;
    case TypeChar: put(d.at, static_cast<uint8_t>(length ? body[0] : 0)); return true;
    default: o.fail(ErrNoConvert); return false;
    }
}

// Stores the value of an evaluated expression.
bool storeEvaluated(Ostrin& o, const Destination& d, double value, bool isString)
{
    char* at = d.at;
    const int type = d.var->type;
    if (isString) {
        // A string result suits a string, or a character by its first byte.
        const char* text = o.stringResultBuffer();
        if (type == TypeString) {
            // The result's storage ends in a zero byte no write reaches.
            storeText(d, text, textLength(text, static_cast<size_t>(o.sysString->dims[0]) + 1));
            return true;
        }
        if (type == TypeChar) {
            put(at, static_cast<uint8_t>(text[0]));
            return true;
        }
        o.fail(ErrNoConvert);
        return false;
    }
    switch (type) {
    case TypeChar: put(at, static_cast<uint8_t>(truncate64(value))); return true;
    case TypeWord: put(at, static_cast<uint16_t>(truncate64(value))); return true;
    case TypeInt:
    case TypeUInt:
    case TypeWindow:
    case TypeDialog:
    case TypeMemory: put(at, static_cast<uint32_t>(truncate64(value))); return true;
    case TypeFloat: put(at, static_cast<float>(value)); return true;
    case TypeDouble: put(at, value); return true;
    case TypeInt64: put(at, truncate64(value)); return true;
    case TypeUInt64: put(at, truncateU64(value)); return true;
    case TypePointer: {
        // A pointer function leaves its variable in SYSTEM_POINTER0; any
        // other address (pointer arithmetic, a plain number) names none.
        const auto address = static_cast<uint32_t>(truncate64(value));
        Variable* sp = o.sysPointer;
        const bool fromResult = sp && sp->data && *reinterpret_cast<uint32_t*>(sp->data) == address;
        put(at, address);
        d.var->target = fromResult ? sp->target : nullptr;
        return true;
    }
    default:
        o.fail(ErrNoConvert);   // strings given a number, and object types
        return false;
    }
}

[[gnu::always_inline]] inline bool storeExpression(Ostrin& o, const Destination& d, const char* text,
                                              CompiledExpression** known = nullptr)
{
    o.stringResult = false;
    double number;
    if (known && o.numberFromCode(*known, number)) return !o.errorCode && storeEvaluated(o, d, number, false);
    const uint64_t version = o.chainVersion;
    const double value = o.evaluate(text, known);
    if (o.errorCode || !destinationKept(o, d, version)) return false;
    return storeEvaluated(o, d, value, o.stringResult);
}

// Stores variable s into a destination of the same type.
bool copySameType(Ostrin& o, const Destination& d, Variable* s)
{
    switch (s->type) {
    case TypeString: {
        const size_t room = s->capacity > 0 ? static_cast<size_t>(s->capacity) : 0;
        storeText(d, s->data, strnlen(s->data, room));
        return true;
    }
    case TypeDouble:
    case TypeInt64:
    case TypeUInt64: std::memmove(d.at, s->data, 8); return true;
    case TypePointer:
        std::memmove(d.at, s->data, 4);
        d.var->target = s->target;
        return true;
    case TypeUser: {
        Variable* to = *reinterpret_cast<Variable**>(d.at);
        Variable* from = *reinterpret_cast<Variable**>(s->data);
        if (!to || !from) break;
        return o.copyRecord(to, from);
    }
    case TypeArray:
    case TypeSystem:
    case TypeLabel:
    case TypeWindow:
    case TypeDialog:
    case TypeFile:
    case TypeBFile:
        // Windows, dialogs and streams have one owner each: a copy would be
        // closed twice when both variables are released.
        break;
    default:
        std::memmove(d.at, s->data, static_cast<size_t>(typeSize(s->type)));
        return true;
    }
    o.fail(ErrNoConvert);
    return false;
}

// Stores variable s into a destination of another type, by the table of
// accepted pairs; any other pair is error 11.
bool convertVariable(Ostrin& o, const Destination& d, Variable* s)
{
    const int st = s->type;
    char* at = d.at;
    double number = 0;
    const bool numeric = numberOf(s, number);
    switch (d.var->type) {
    case TypeString:
        if (st != TypeChar) break;
        storeText(d, s->data, 1);
        return true;
    case TypeChar:
        if (st == TypeString) {
            put(at, static_cast<uint8_t>(s->data[0]));
            return true;
        }
        if (!sourceIs(st, {TypeInt, TypeWord, TypeUInt, TypeFloat, TypeDouble})) break;
        put(at, static_cast<uint8_t>(integerOf(s)));
        return true;
    case TypeInt:
    case TypeUInt:
        if (st == TypeWindow || st == TypeDialog) {
            put(at, nativeHandle(o, *reinterpret_cast<void**>(s->data)));
            return true;
        }
        if (!sourceIs(st, {TypeChar, TypeWord, TypeInt, TypeUInt, TypeFloat, TypeDouble})) break;
        put(at, static_cast<uint32_t>(integerOf(s)));
        return true;
    case TypeWord:
        if (!sourceIs(st, {TypeChar, TypeInt, TypeFloat, TypeDouble})) break;
        put(at, static_cast<uint16_t>(integerOf(s)));
        return true;
    case TypeFloat:
        if (!sourceIs(st, {TypeChar, TypeInt, TypeWord, TypeUInt, TypeDouble})) break;
        put(at, static_cast<float>(number));
        return true;
    case TypeDouble:
        if (!numeric) break;
        put(at, number);
        return true;
    case TypeInt64:
    case TypeUInt64:
        if (!numeric) break;
        put(at, integerOf(s));
        return true;
    case TypePointer:
        // Any variable: its address, and the variable itself to follow.
        put(at, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(s->data)));
        d.var->target = s;
        return true;
    default:
        break;
    }
    o.fail(ErrNoConvert);
    return false;
}

bool storeVariable(Ostrin& o, const Destination& d, char* text)
{
    const uint64_t version = o.chainVersion;
    Variable* s = o.findVariable(text, nullptr, true);
    if (!s) {
        o.failOnce(ErrUndefined);
        return false;
    }
    if (!destinationKept(o, d, version)) return false;
    // A function label written without parentheses is called, as it is
    // inside expressions, and its result stored.
    if (s->type == TypeLabel) return storeExpression(o, d, text);
    if (!s->data) {
        o.fail(ErrNoConvert);
        return false;
    }
    return s->type == d.var->type ? copySameType(o, d, s) : convertVariable(o, d, s);
}

bool storeValue(Ostrin& o, const Destination& d, int cls, char* text)
{
    if (!*text) return true;   // an empty value stores nothing
    switch (cls) {
    case ClassNumber: return storeNumber(o, d, text);
    case ClassString: return storeLiteral(o, d, text);
    case ClassVariable: return storeVariable(o, d, text);
    case ClassExpression: return storeExpression(o, d, text);
    default: o.fail(ErrMalformed); return false;
    }
}

// The type an implicitly declared target gets from its first value; -1 when
// the value's class gives none.
int implicitType(const char* target, int cls, const char* value)
{
    const bool stringName = std::strchr(target, '$') != nullptr;
    switch (cls) {
    case ClassNumber: return std::strchr(value, '.') ? TypeFloat : TypeInt;
    case ClassString: return TypeString;
    case ClassVariable: return stringName ? TypeString : TypeInt;
    case ClassExpression: return stringName ? TypeString : TypeFloat;
    default: return -1;
    }
}

// The class of a value cut from a list: the decoder classifies it as the
// right side of a line «=value». The scratch statement is made on first use;
// -1 when it cannot be had (error set).
int classOf(Ostrin& o, Statement*& scratch, const char* value)
{
    if (!scratch && !(scratch = o.newStatement(2))) return -1;
    char line[ArgSize + 1] = "=";
    copyText(line + 1, value, ArgSize - 1);
    o.decodeStatement(scratch, line);
    return scratch->argClass[1];
}

// The commonest line, «name = one value» with nothing to trim, is told once
// per line and then runs without cutting its value out of the list. Looking
// up a plain name has no side effects, so when the short way does not
// apply, the general one may look it up again.
// «name[index]» with a plain index is looked up the same way, and an
// element whose index is an expression by its compiled form.
AssignShape shapeOf(const Statement* st)
{
    if (st->argCount != 2) return ShapeList;
    const char* value = st->args[1];
    const size_t n = std::strlen(value);
    if (n == 0 || isBlank(value[0]) || isBlank(value[n - 1]) || *valueEnd(value)) return ShapeList;
    if (isPlainName(st->args[0])) return ShapeSingle;
    if (isElementReference(st->args[0])) return ShapeElement;
    return hasComputedIndex(st->args[0]) ? ShapeComputed : ShapeList;
}

}  // namespace

int Ostrin::assignOne(LineMemo& memo, char* target, int cls, char* value, bool lookup)
{
    // An INT, or an element of an INT array, found where it was and given
    // a numeric expression that assignInteger could not take on integers:
    // what the path below does for it, less its checks, on doubles. The
    // element's address is taken before the expression, which may select
    // other elements.
    if (!lookup && cls == ClassExpression && isNumericCode(memo.code))
        if (Variable* v = intTarget(memo)) {
            char* at = v->data;
            stringResult = false;
            if (double x; numberFromCode(memo.code, x)) {
                if (errorCode) return 0;
                put(at, static_cast<uint32_t>(truncate64(x)));
                return 1;
            }
        }
    if (memo.shape == ShapeList || memo.shape == ShapeUnknown) return -1;
    const uint8_t before = errorCode;
    Variable* v;
    if (memo.shape == ShapeSingle) {
        v = lookup ? findVariable(target, nullptr, false, &memo.names[0]) : siteHit(&memo.names[0]);
        if (v && !lookup) selectWhole(v);
    } else if (memo.shape == ShapeComputed) {
        // Where its form cannot tell, the general path looks it up.
        if (lookup && !memo.target) memo.target = elementCode(target);
        v = selectByCode(memo.target);
    } else if (!(v = elementBySites(memo.names)) && lookup) {
        v = findVariable(target, nullptr, false);
        rememberElement(target, v, memo.names);
    }
    if (v && !v->readOnly && v->data && !(isArrayTarget(v) && v->count == 0)) {
        // An INT copied from an element whose index is an expression, of
        // an INT array: what storeVariable copies, by the element's form.
        if (lookup && cls == ClassVariable && !memo.code) memo.code = elementCode(value);
        if (cls == ClassVariable && memo.code && v->type == TypeInt) {
            char* at = v->data;   // before the source, which may select another element
            if (int32_t i; integerFromCode(memo.code, i)) {
                std::memcpy(at, &i, sizeof i);
                return 1;
            }
        }
        // Its full lookup would cut a text that may be lent: the general
        // path copies it first.
        if (cls == ClassVariable && hasComputedIndex(value)) {
            errorCode = before;
            return -1;
        }
        Destination d{v, v->data, v->capacity, v->base ? v->base : v->data};
        const bool stored =
            cls == ClassExpression ? storeExpression(*this, d, value, &memo.code) : storeValue(*this, d, cls, value);
        return stored && !errorCode ? 1 : 0;
    }
    // Anything else (a new variable, a read-only one, no storage) the
    // general path handles.
    errorCode = before;
    return -1;
}

Statement* Ostrin::assignment(Statement* st)
{
    if (st->argCount < 1) return fail(ErrMalformed);
    char* target = skipBlanks(st->args[0]);
    LineMemo* memo = st->memo;
    if (memo && memo->shape == ShapeUnknown) memo->shape = shapeOf(st);
    if (memo) {
        const int stored = assignOne(*memo, target, st->argClass[1], st->args[1], true);
        if (stored >= 0) return stored ? st : nullptr;
        // A lookup cuts an element's name at its bracket while the index
        // runs, which may run this line again from its kept texts.
        ownArguments(st);
        target = skipBlanks(st->args[0]);
    }

    // The values: in a plain line all of them in argument 1, separated by
    // top-level commas; in a statement line one per argument, classified by
    // the decoder.
    int valueCount = 0;
    for (int i = 1; i < st->argCount; ++i) valueCount += countValues(st->args[i]);
    Statement* scratch = nullptr;
    struct ScratchGuard {
        Ostrin& o;
        Statement*& st;
        ~ScratchGuard() { o.deleteStatement(st); }
    } guard{*this, scratch};

    Variable* v = findVariable(target, nullptr, false);
    if (!v) {
        if (!implicitDeclarations || errorCode == ErrRange || std::strpbrk(target, "[.#")) return nullptr;
        int firstClass = ClassUnknown;
        char first[ArgSize] = {};
        if (st->argCount > 1) {
            const char* p = st->args[1];
            nextValue(&p, first);
            firstClass = countValues(st->args[1]) > 1 ? classOf(*this, scratch, first) : st->argClass[1];
        }
        const int type = implicitType(target, firstClass, first);
        if (type < 0) return nullptr;   // the lookup's error stands
        errorCode = 0;
        v = defineVariable(target, type, 1, nullptr);
        if (!v) return nullptr;
    }
    if (v->readOnly) return fail(ErrReadOnly);
    if (valueCount > 1 && !isArrayTarget(v)) return fail(ErrMalformed);
    if (valueCount == 0) return st;

    // Fix the destination now: looking up or evaluating the values may move
    // the target's selection (and a string's visible capacity).
    char* start = v->data;
    const int32_t capacity = v->capacity;
    if (!start) return fail(ErrNoConvert);   // a label, or a record without storage
    const bool isString = v->type == TypeString;
    const size_t step = isString ? static_cast<size_t>(v->width) : static_cast<size_t>(typeSize(v->type));
    const char* storageEnd = nullptr;
    if (isArrayTarget(v))
        storageEnd = v->base + static_cast<size_t>(v->count) * (isString ? 1 : static_cast<size_t>(typeSize(v->type)));

    char value[ArgSize];
    int index = 0;
    for (int a = 1; a < st->argCount; ++a) {
        const int pieces = countValues(st->args[a]);
        const char* p = st->args[a];
        for (int k = 0; k < pieces; ++k, ++index) {
            nextValue(&p, value);
            const int cls = pieces > 1 ? classOf(*this, scratch, value) : st->argClass[a];
            if (cls < 0) return nullptr;
            Destination d{v, start + static_cast<size_t>(index) * step, capacity, v->base ? v->base : v->data};
            if (storageEnd && d.at >= storageEnd) return fail(ErrArrayEnd);
            if (!storeValue(*this, d, cls, value)) return nullptr;
        }
    }
    return errorCode ? nullptr : st;
}
