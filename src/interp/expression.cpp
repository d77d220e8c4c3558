// Expression evaluation.
//
// The text evaluator reads an expression in two layers over one stack copy
// of its text. The outer loop takes the innermost
// parenthesised group, evaluates it flat and writes its results back in its
// place as two-byte placeholders: 4 n (the n-th stored number), 5 n (the
// n-th stored string), 6 n (the n-th stored name), 7 1 (an empty group). The
// flat evaluator reads one parenthesis-free level: operands, up to 14
// operators in five precedence levels (all associating from the left), and
// ","-separated result lists, which is how a group becomes the argument list
// of the function name in front of it.
//
// Names stay names until an operator needs their value, so a function can
// receive a variable rather than its value. Arithmetic is done in doubles;
// "&", "|", "||" and "%" work on integers. String values live on the
// interpreter's scratch stack for the length of the evaluation.
//
// With caches on, each text is read once into a compiled form (the levels
// above, operands already scanned) that later evaluations run; the text
// evaluator stays the reference and runs whatever does not compile. Only
// compiling a new text and a function call's Statement touch the heap.
#include "ostrin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "convert.h"
#include "text.h"

namespace {

constexpr int MaxOperators = 14;
constexpr int MaxOperands = MaxOperators + 1;
constexpr int MaxNumbers = 29;
constexpr int MaxTexts = 28;      // stored strings and names together
constexpr int WorkSize = 1024;    // 1,023 characters and the terminator
constexpr size_t MaxString = Ostrin::StringResultSize - 1;

// The handlers a label's call runs: a subroutine's, an external function's.
constexpr int OpCallLabel = 44, OpCallExternal = 120;

// Placeholder bytes written in place of an evaluated group.
constexpr unsigned char PlaceNumber = 4, PlaceString = 5, PlaceName = 6, PlaceEmpty = 7;

inline bool isPlaceholder(unsigned char c) { return c >= PlaceNumber && c <= PlaceEmpty; }
inline bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

inline int hexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Index of the constant that the token 0xFE c1 c2 at p names; -1 when the
// token is cut short or names no entry.
int constantIndex(const char* p)
{
    const auto c1 = static_cast<unsigned char>(p[1]);
    const int index = c1 ? (c1 & 0x1F) * 16 + (static_cast<unsigned char>(p[2]) - 0xE0) : -1;
    if (!c1 || !p[2] || index < 0 || index >= Ostrin::ConstantCount) return -1;
    return index;
}

// A name runs to the first of these outside square brackets.
inline bool endsName(unsigned char c)
{
    return isPlaceholder(c) || (c && std::strchr("+-*/&|^=~<>,%)", c) != nullptr);
}

// The end of the name at p; nameEnd is set before its trailing blanks.
char* scanName(char* p, char*& nameEnd)
{
    char* end = p;
    int brackets = 0;
    for (; *end; ++end) {
        const auto c = static_cast<unsigned char>(*end);
        if (brackets == 0 && endsName(c)) break;
        if (c == '[') ++brackets;
        else if (c == ']' && brackets > 0) --brackets;
    }
    nameEnd = end;
    while (nameEnd > p && isBlank(nameEnd[-1])) --nameEnd;
    return end;
}

inline char upperAscii(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; }

// A named value's word ends at a blank, a control character or punctuation
// other than "_".
inline bool endsWord(unsigned char c)
{
    if (c <= ' ' || c == 127) return true;
    if (c >= 128 || c == '_') return false;
    return !isLetter(c) && !isDigit(c);
}

// Hexadecimal digits at p, saturating; p ends past them.
double readHexNumber(char*& p)
{
    uint64_t value = 0;
    for (int d; (d = hexDigit(static_cast<unsigned char>(*p))) >= 0; ++p)
        value = value > (UINT64_MAX >> 4) ? UINT64_MAX : (value << 4) | static_cast<uint64_t>(d);
    return static_cast<double>(value);
}

// Digits with an optional fraction, or "0x" and hexadecimal digits; p ends
// past them.
double readNumber(char*& p)
{
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
        return readHexNumber(p);
    }
    // Up to 15 digits the value is read exactly here: the digits form an
    // integer below 2^53 and one division by an exact power of ten rounds
    // correctly. Longer literals go to strtod, which is much slower.
    static const double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    char* end = p;
    for (; isDigit(static_cast<unsigned char>(*end)); ++end, ++digits)
        mantissa = mantissa * 10 + static_cast<uint64_t>(*end - '0');
    if (*end == '.') {
        ++end;
        for (; isDigit(static_cast<unsigned char>(*end)); ++end, ++digits, ++decimals)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*end - '0');
    }
    if (digits <= 15) {
        p = end;
        return static_cast<double>(mantissa) / powersOfTen[decimals];
    }
    const char saved = *end;
    *end = 0;
    const double value = std::strtod(p, nullptr);
    *end = saved;
    p = end;
    return value;
}

enum class Op : uint8_t { And, Or, Eq, Ne, Lt, Gt, Le, Ge, Add, Sub, Mul, Div, Mod, Xor, Pow, Comma };

int precedence(Op op)
{
    switch (op) {
    case Op::Pow: return 5;
    case Op::Mul: case Op::Div: case Op::Mod: case Op::Xor: return 4;
    case Op::Add: case Op::Sub: return 3;
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: return 2;
    case Op::And: case Op::Or: return 1;
    case Op::Comma: break;
    }
    return 0;
}

bool isComparison(Op op) { return precedence(op) == 2; }

bool compare(Op op, int order)
{
    switch (op) {
    case Op::Eq: return order == 0;
    case Op::Ne: return order != 0;
    case Op::Lt: return order < 0;
    case Op::Gt: return order > 0;
    case Op::Le: return order <= 0;
    case Op::Ge: return order >= 0;
    default: return false;
    }
}

enum class Kind : uint8_t { Empty, Number, String, Name };

char* innermostGroup(char* work);
bool parseOp(char*& p, Op& op);
[[gnu::always_inline]] inline int arithmetic(Op op, double& x, double y);
void addIntegerMoves(CompiledExpression& code);

// One operand or result. Strings and names are zero-terminated texts on the
// scratch stack; a name keeps a pending unary minus in `negated`.
//
// Arrays of values are left uninitialised (each element is written before
// it is read): clearing them cost more than evaluating a short expression.
// A single value starts as Value{}, which is empty.
struct Value {
    Kind kind;
    bool negated;
    double number;
    char* text;
    size_t length;
    // A compiled plain name: where it was last found; with `element`, a
    // compiled «name[index]»: where both names were.
    NameSite* site;
    bool element;
};

// The results of one flat level and where the level stopped: at its ")" or
// at the end of the text.
struct Level {
    Value results[MaxOperands];
    int count = 0;
    char* end = nullptr;
};


// --- The compiled form ---------------------------------------------------------
//
// A compiled expression is the sequence of flat levels that the text
// evaluator reads, in the order it reads them, each with its operands
// already scanned. A group's results go to numbered slots, where the text
// evaluator keeps them as placeholders. Running it performs the same
// lookups, calls and operations in the same order as the text evaluator.

struct Operand {
    enum Type : uint8_t { Literal, String, Name, Call, Slot, EmptyGroup, Constant, Named };
    Type type = Literal;
    bool negate = false;     // an odd number of unary minuses before it
    bool plain = false;      // Name: a letter, then letters, digits and "_"
    bool element = false;    // Name: «name[index]», both plain
    uint8_t index = 0;       // Name: «name[indices]», its first index's code in indexes[index - 1]
    uint8_t parts = 0;       // Name with indices' codes: how many, each after the one before
    uint8_t names = 0;       // Name with indices' codes: bit k set when index k is a name alone
    uint8_t slot = 0;        // Slot: the group result it reads
    uint8_t argCount = 0;    // Call: its argument slots, from firstArg on
    uint16_t firstArg = 0;
    uint16_t constant = 0;   // Constant: its index in the constant table
    uint32_t text = 0;       // String, Name, Call, Named: offset in the pool
    uint32_t length = 0;
    uint32_t arrayText = 0;  // Name with an index's code: the array's name in the pool
    double number = 0;       // Literal
    NameSite site[2]{};      // Name, plain or element: where its names were found; with an index's code, the array
};

// One operation of a ","-separated run, in the order the text evaluator's
// precedence passes apply them: value[dst] = value[dst] op value[src], the
// indices counted from the run's first operand.
struct Step {
    Op op;
    uint8_t dst, src;
};

struct CompiledLevel {
    uint16_t firstOperand = 0, operandCount = 0;
    uint16_t firstOp = 0, opCount = 0;
    uint16_t firstStep = 0;
    uint8_t firstSlot = 0;   // its results go to firstSlot, firstSlot + 1, ...
};

// A numeric expression laid out for runNumbers: one list of moves over one
// array of doubles, where each operand has the place of its index among the
// operands, except that a group's result is read where its level left it
// (in the place of its first operand) and a literal only read by one
// operation travels with that operation.
struct NumberMove {
    enum Kind : uint8_t { Literal, Constant, Copy, Name, Element, ElementAt, Operate, OperateNumber, Call };
    Kind kind = Literal;
    Op op = Op::Add;           // Operate: at[to] = at[to] op at[from]; OperateNumber: op number
    bool negate = false;
    uint8_t argCount = 0;      // Call: its arguments' places, callArgs[from] on
    uint8_t parts = 1;         // ElementAt: its indices, in places from `from` on
    bool intIndex = false;     // Name: an index alone, which the full lookup takes from an INT only
    bool refuses = false;      // Operate, OperateNumber in an index: a failure is left to the full lookup
    uint16_t to = 0;
    uint16_t from = 0;         // Copy, Operate, ElementAt (its first index): a place; Constant: its index; Call: above
    uint32_t text = 0;         // Name, ElementAt (the array), Call: the name in the pool
    double number = 0;         // Literal, OperateNumber: its minus applied
    NameSite* site = nullptr;  // Name, Element, ElementAt: the operand's sites; Call: the label's, or null
};
// Calls among the moves (runCallMoves) and arguments of each, at most.
constexpr int MaxCallMoves = 8, MaxCallMoveArgs = 8;

}  // namespace

struct CompiledExpression {
    // Only numbers, plain names and operators without ",": with every name
    // found where it was last time and holding a number, the expression is
    // run on doubles alone (runNumbers).
    bool numeric = false;
    // «f(a, b, ...)» alone, each argument a literal, string or name without
    // a minus: run without walking the levels (Evaluator::runCall).
    bool singleCall = false;
    // A single call whose arguments are all literal numbers and plain names:
    // a subroutine found before binds them from their operands.
    bool plainArgs = false;
    // Numbers, names and operators as for `numeric`, and calls whose
    // arguments are numbers, with no name read at or after the first level
    // that calls: run as moves (runCallMoves), a call's value that is not
    // a number taken through the general operations.
    bool callMoves = false;
    // When numeric and its moves give the same value on 32-bit integers
    // while every name read holds an INT and no value leaves 32 bits: the
    // moves again, for Ostrin::integerFromCode; else empty.
    IntegerCode integer;
    std::vector<NumberMove> moves;   // when numeric or callMoves
    std::vector<uint16_t> callArgs;  // the places of calls' arguments
    uint16_t resultAt = 0;           // the place of the value, after the moves
    std::vector<Operand> operands;
    std::vector<Op> ops;
    std::vector<uint8_t> argSlots;
    std::vector<Step> steps;
    std::vector<CompiledLevel> levels;   // the last one is the outermost
    std::string pool;                    // texts, each terminated
    // The indices of elements «name[indices]», each compiled alone as the
    // full lookup reads it; their moves are copied into `moves`, their
    // names' sites stay here.
    std::vector<std::unique_ptr<CompiledExpression>> indexes;
};

namespace {

// What only the text evaluator needs: its working copy of the text and the
// values its groups left behind their placeholders. Kilobytes: a compiled
// run, which may recurse through calls, leaves them off its stack.
struct TextWork {
    char work[WorkSize];
    double numbers[MaxNumbers];
    Value texts[MaxTexts];
    int numberCount = 0;
    int textCount = 0;
};

class Evaluator {
public:
    explicit Evaluator(Ostrin& vm, TextWork* text = nullptr) : vm(vm), mark(vm.scratch.mark()), tw(text) {}
    ~Evaluator() { vm.scratch.release(mark); }
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    double run(const char* text);
    double run(CompiledExpression& code);
    [[gnu::noinline]] double runCall(CompiledExpression& code);
    bool runMoves(CompiledExpression& code, double& result);

private:
    bool fail(int code) { vm.errorCode = static_cast<uint8_t>(code); return false; }
    char* lastOpenGroup();
    bool level(char* p, Level& out);
    bool operand(char*& p, Value& v);
    bool oper(char*& p, Op& op);
    bool placeholder(char*& p, Value& v);
    bool number(char*& p, Value& v);
    bool hexNumber(char*& p, Value& v);
    bool namedValue(char*& p, Value& v);
    bool stringLiteral(char*& p, Value& v);
    bool nameOrCall(char*& p, Value& v);
    bool store(const Value& v, unsigned char* out);
    bool reduceRuns(Value* operands, const Op* ops, int operandCount, int opCount, Level& out);
    bool reduce(Value* operands, const Op* ops, int first, int last, Value& out);
    bool single(Value& v, Value& out);
    bool prepareOperands(Value* vals, int n);
    bool reduceSteps(Value* operands, const Op* ops, const Step* steps, int operandCount, int opCount, Level& out);
    bool apply(Op op, Value& a, const Value& b);
    bool resolve(Value& v);
    bool finish(Level& lv);
    bool finishValue(Value& last);
    [[gnu::always_inline]] bool produce(CompiledExpression& code, Operand& o, Value* slots, Value& v);
    bool valueOf(Variable* var, Value& v);
    bool resultValue(Variable* result, Value& v);
    bool call(const char* name, Variable* label, const Value* args, int argCount, Value& out,
              NameSite* labelSite = nullptr);
    bool writeArgument(Statement* st, const Value& v);
    bool formatArgument(const Value& v, char* a, int& cls);
    bool callSubroutine(Variable* label, const Value* args, int argCount, Variable*& result);
    [[gnu::always_inline]] bool runSubroutine(Variable* label, CallArguments& source, Variable*& result);
    Variable* subroutineAt(NameSite* site, int argCount);
    friend class ValueArguments;
    friend class OperandArguments;
    bool newText(const char* src, size_t length, Value& v);
    bool setStringResult(const Value& v);

    Ostrin& vm;
    ScratchStack::Mark mark;
    TextWork* tw;   // null for a compiled run
};

// Copies [src, src + length) to the scratch stack as a terminated text.
bool Evaluator::newText(const char* src, size_t length, Value& v)
{
    char* t = vm.scratch.push(length + 1);
    if (!t) return fail(ErrNoMemory);
    std::memcpy(t, src, length);
    t[length] = 0;
    v.text = t;
    v.length = length;
    return true;
}

double Evaluator::run(const char* text)
{
    vm.stringResult = false;
    if (!text) return fail(ErrMalformed), 0;
    const size_t length = strnlen(text, WorkSize);
    if (length >= WorkSize) return fail(ErrMalformed), 0;   // beyond the working copy
    char* work = tw->work;
    std::memcpy(work, text, length + 1);

    for (;;) {
        char* group = lastOpenGroup();
        Level lv;
        if (!level(group ? group + 1 : work, lv)) return 0;

        if (!group) {
            // A ")" with no "(" before it would silently drop the rest.
            if (*lv.end == ')') return fail(ErrParentheses), 0;
            return finish(lv) && lv.count > 0 ? lv.results[lv.count - 1].number : 0;
        }

        // Overwrite the group, "(" to ")" inclusive (or to the end when the
        // ")" is missing), with its placeholders and blanks.
        const size_t span = static_cast<size_t>(lv.end - group) + (*lv.end == ')' ? 1 : 0);
        unsigned char out[2 * MaxOperands];
        size_t written = 0;
        if (lv.count == 0) {
            out[0] = PlaceEmpty;
            out[1] = 1;
            written = 2;
        }
        for (int i = 0; i < lv.count; ++i, written += 2)
            if (!store(lv.results[i], out + written)) return 0;
        if (written > span) return fail(ErrMalformed), 0;
        std::memcpy(group, out, written);
        std::memset(group + written, ' ', span - written);
    }
}

// The value of the outermost level: the last element of its list, a
// string landing in SYSTEM_STRING0. False for no number to return.
bool Evaluator::finish(Level& lv)
{
    if (lv.count == 0) return false;
    return finishValue(lv.results[lv.count - 1]);   // a list's value is its last element
}

bool Evaluator::finishValue(Value& last)
{
    if (last.kind == Kind::Name && !resolve(last)) return false;
    if (last.kind == Kind::String) {
        if (setStringResult(last)) vm.stringResult = true;
        return false;
    }
    if (last.kind != Kind::Number) return fail(ErrMalformed);
    return true;
}

// The last "(" outside string literals and square brackets: the innermost
// group. Parentheses inside brackets belong to an index, which the variable
// lookup evaluates on its own.
char* Evaluator::lastOpenGroup() { return innermostGroup(tw->work); }

char* innermostGroup(char* work)
{
    char* last = nullptr;
    bool quoted = false;
    int brackets = 0;
    for (char* p = work; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (*p == '[') ++brackets;
        else if (*p == ']') { if (brackets > 0) --brackets; }
        else if (*p == '(' && brackets == 0) last = p;
    }
    return last;
}

// Keeps a group's result for the enclosing level and writes its placeholder.
bool Evaluator::store(const Value& v, unsigned char* out)
{
    switch (v.kind) {
    case Kind::Number:
        if (tw->numberCount == MaxNumbers) return fail(ErrTooManyValues);
        tw->numbers[tw->numberCount++] = v.number;
        out[0] = PlaceNumber;
        out[1] = static_cast<unsigned char>(tw->numberCount);
        return true;
    case Kind::String:
    case Kind::Name:
        if (tw->textCount == MaxTexts) return fail(ErrTooManyValues);
        tw->texts[tw->textCount++] = v;
        out[0] = v.kind == Kind::String ? PlaceString : PlaceName;
        out[1] = static_cast<unsigned char>(tw->textCount);
        return true;
    case Kind::Empty:
        break;
    }
    return fail(ErrMalformed);
}

// Reads one parenthesis-free level starting at p.
bool Evaluator::level(char* p, Level& out)
{
    Value operands[MaxOperands];
    Op ops[MaxOperators];
    int operandCount = 0, opCount = 0;
    bool expectOperand = true, negate = false;

    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ' || c == '\t') {
            ++p;
            continue;
        }
        if (c == 0 || c == ')') break;
        if (expectOperand) {
            if (c == '-') {
                negate = !negate;
                ++p;
                continue;
            }
            Value v{};
            const char* before = p;
            if (!operand(p, v)) return false;
            if (p == before) {
                ++p;   // not an operand: skipped, as a unary "+" is
                continue;
            }
            if (negate) v.negated = !v.negated;
            negate = false;
            operands[operandCount++] = v;
            expectOperand = false;
        } else {
            Op op;
            if (!oper(p, op)) return false;
            if (opCount == MaxOperators) return fail(ErrTooManyOperators);
            ops[opCount++] = op;
            expectOperand = true;
        }
    }
    out.end = p;

    if (expectOperand && opCount > 0) {
        if (ops[opCount - 1] != Op::Comma) return fail(ErrMalformed);   // "1+"
        --opCount;                                                       // "(a,)"
    }
    if (negate) return fail(ErrMalformed);                               // a lone "-"
    return reduceRuns(operands, ops, operandCount, opCount, out);
}

// Each ","-separated run is reduced on its own; a run of one operand passes
// through unchanged, so a lone name stays a name.
bool Evaluator::reduceRuns(Value* operands, const Op* ops, int operandCount, int opCount, Level& out)
{
    out.count = 0;
    if (operandCount == 0) return true;
    int first = 0;
    for (int i = 0; i <= opCount; ++i) {
        if (i < opCount && ops[i] != Op::Comma) continue;
        if (!reduce(operands, ops, first, i, out.results[out.count])) return false;
        ++out.count;
        first = i + 1;
    }
    return true;
}

// Reduces operands [first, last] joined by ops [first, last): names are
// resolved, then the operators apply by precedence, each level from the
// left. "+" and the comparisons also take two strings; any other pairing of
// a string with an operator is error 1.
bool Evaluator::reduce(Value* operands, const Op* ops, int first, int last, Value& out)
{
    if (first == last) return single(operands[first], out);

    Value vals[MaxOperands];
    Op o[MaxOperators];
    int n = last - first;
    for (int i = 0; i <= n; ++i) vals[i] = operands[first + i];
    if (!prepareOperands(vals, n + 1)) return false;
    for (int i = 0; i < n; ++i) o[i] = ops[first + i];

    for (int prec = 5; prec >= 1; --prec) {
        for (int i = 0; i < n;) {
            if (precedence(o[i]) != prec) {
                ++i;
                continue;
            }
            if (!apply(o[i], vals[i], vals[i + 1])) return false;
            for (int k = i + 1; k < n; ++k) {
                vals[k] = vals[k + 1];
                o[k - 1] = o[k];
            }
            --n;
        }
    }
    out = vals[0];
    return true;
}

// A run of one operand passes through, a name staying a name.
bool Evaluator::single(Value& v, Value& out)
{
    if (v.kind == Kind::Empty) return fail(ErrMalformed);
    if (v.negated && v.kind == Kind::Number) {
        v.number = -v.number;
        v.negated = false;
    }
    if (v.negated && v.kind == Kind::String) return fail(ErrMalformed);
    out = v;
    return true;
}

// The operands of a run with operators, in order: names resolved, pending
// minuses applied.
bool Evaluator::prepareOperands(Value* vals, int n)
{
    for (int i = 0; i < n; ++i) {
        Value& v = vals[i];
        if (v.kind == Kind::Name && !resolve(v)) return false;
        if (v.kind == Kind::Empty) return fail(ErrMalformed);
        if (v.negated) {
            if (v.kind != Kind::Number) return fail(ErrMalformed);
            v.number = -v.number;
            v.negated = false;
        }
    }
    return true;
}

// reduceRuns with the order of the operations worked out when compiling:
// the same operations on the same operands, without moving values about.
bool Evaluator::reduceSteps(Value* vals, const Op* ops, const Step* steps, int operandCount, int opCount, Level& out)
{
    out.count = 0;
    if (operandCount == 0) return true;
    int first = 0;
    for (int i = 0; i <= opCount; ++i) {
        if (i < opCount && ops[i] != Op::Comma) continue;
        Value* run = vals + first;
        const int n = i - first;
        if (n == 0) {
            if (!single(run[0], out.results[out.count])) return false;
        } else {
            if (!prepareOperands(run, n + 1)) return false;
            for (int k = 0; k < n; ++k, ++steps)
                if (!apply(steps->op, run[steps->dst], run[steps->src])) return false;
            out.results[out.count] = run[0];
        }
        ++out.count;
        first = i + 1;
    }
    return true;
}

// a = a op b.
bool Evaluator::apply(Op op, Value& a, const Value& b)
{
    if (a.kind == Kind::String || b.kind == Kind::String) {
        if (a.kind != b.kind) return fail(ErrMalformed);   // string with number
        if (op == Op::Add) {
            const size_t length = std::min(a.length + b.length, MaxString);
            char* t = vm.scratch.push(length + 1);
            if (!t) return fail(ErrNoMemory);
            std::memcpy(t, a.text, a.length);
            std::memcpy(t + a.length, b.text, length - a.length);
            t[length] = 0;
            a.text = t;
            a.length = length;
            return true;
        }
        if (!isComparison(op)) return fail(ErrMalformed);
        const bool r = compare(op, std::strcmp(a.text, b.text));
        a = Value{};
        a.kind = Kind::Number;
        a.number = r ? 1.0 : 0.0;
        return true;
    }

    const int code = arithmetic(op, a.number, b.number);
    return code == ErrNone || fail(code);
}

// True when d truncates to a 32-bit integer (NaN does not).
inline bool fitsInt32(double d) { return d > -2147483649.0 && d < 2147483648.0; }

// x = x op y on numbers; 0, or the error code. Inlined into the numeric
// run, where a call per operation was a quarter of its cost.
[[gnu::always_inline]] inline int arithmetic(Op op, double& x, double y)
{
    switch (op) {
    case Op::Pow: x = std::pow(x, y); break;
    case Op::Mul: x = x * y; break;
    case Op::Div:
        if (y == 0.0) return ErrDivideByZero;
        x = x / y;
        break;
    case Op::Mod: {
        // Within 32 bits the truncations and the remainder are the same,
        // without the 64-bit helpers a 32-bit build would call.
        if (fitsInt32(x) && fitsInt32(y)) {
            const int32_t i = static_cast<int32_t>(x), j = static_cast<int32_t>(y);
            if (j == 0) return ErrDivideByZero;
            x = j == -1 ? 0 : i % j;
            break;
        }
        const int64_t i = truncToInt64(x), j = truncToInt64(y);
        if (j == 0) return ErrDivideByZero;
        x = static_cast<double>(j == -1 ? 0 : i % j);   // INT64_MIN % -1 traps
        break;
    }
    case Op::Xor: x = static_cast<double>(truncToInt32(x) ^ truncToInt32(y)); break;
    case Op::Add: x = x + y; break;
    case Op::Sub: x = x - y; break;
    case Op::And: x = static_cast<double>(truncToInt64(x) & truncToInt64(y)); break;
    case Op::Or: x = static_cast<double>(truncToInt64(x) | truncToInt64(y)); break;
    case Op::Eq: x = x == y; break;
    case Op::Ne: x = x != y; break;
    case Op::Lt: x = x < y; break;
    case Op::Gt: x = x > y; break;
    case Op::Le: x = x <= y; break;
    case Op::Ge: x = x >= y; break;
    case Op::Comma: return ErrMalformed;
    }
    return ErrNone;
}

// The operator at p; false when none starts there.
bool parseOp(char*& p, Op& op)
{
    switch (*p) {
    case '&': op = Op::And; break;
    case '|':
        op = Op::Or;
        if (p[1] == '|') op = Op::Xor, ++p;
        break;
    case '=': op = Op::Eq; break;
    case '~': op = Op::Ne; break;
    case '<':
        op = Op::Lt;
        if (p[1] == '=') op = Op::Le, ++p;
        else if (p[1] == '>') op = Op::Ne, ++p;
        break;
    case '>':
        op = Op::Gt;
        if (p[1] == '=') op = Op::Ge, ++p;
        break;
    case '+': op = Op::Add; break;
    case '-': op = Op::Sub; break;
    case '*': op = Op::Mul; break;
    case '/': op = Op::Div; break;
    case '%': op = Op::Mod; break;
    case '^': op = Op::Pow; break;
    case ',': op = Op::Comma; break;
    default:
        return false;
    }
    ++p;
    return true;
}

bool Evaluator::oper(char*& p, Op& op)
{
    if (!parseOp(p, op)) return fail(ErrMalformed);   // two operands with nothing between
    return true;
}

// Reads an operand at p into v and advances p; leaves p unchanged for a
// character that starts no operand.
bool Evaluator::operand(char*& p, Value& v)
{
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"') return stringLiteral(p, v);
    if (isPlaceholder(c)) return placeholder(p, v);
    if (c == 0xFE) {
        const int index = constantIndex(p);
        if (index < 0) return fail(ErrMalformed);
        v.kind = Kind::Number;
        v.number = static_cast<double>(static_cast<uint32_t>(vm.constants[index]));
        p += 3;
        return true;
    }
    if (c == '@') return namedValue(p, v);
    if (isDigit(c) || c == '.') return number(p, v);
    if (c == '&' && (p[1] == 'H' || p[1] == 'h')) {
        p += 2;
        return hexNumber(p, v);
    }
    if (isLetter(c) || c == 0xFF || c == '#') return nameOrCall(p, v);
    return true;
}

bool Evaluator::placeholder(char*& p, Value& v)
{
    const auto type = static_cast<unsigned char>(p[0]);
    const int n = static_cast<unsigned char>(p[1]);
    if (!n) return fail(ErrMalformed);
    p += 2;
    switch (type) {
    case PlaceNumber:
        if (!tw || n > tw->numberCount) return fail(ErrMalformed);
        v.kind = Kind::Number;
        v.number = tw->numbers[n - 1];
        return true;
    case PlaceString:
    case PlaceName:
        if (!tw || n > tw->textCount) return fail(ErrMalformed);
        v = tw->texts[n - 1];
        if ((type == PlaceString) != (v.kind == Kind::String)) return fail(ErrMalformed);
        return true;
    default:
        v.kind = Kind::Empty;
        return true;
    }
}

bool Evaluator::number(char*& p, Value& v)
{
    v.kind = Kind::Number;
    v.number = readNumber(p);
    return true;
}

bool Evaluator::hexNumber(char*& p, Value& v)
{
    v.kind = Kind::Number;
    v.number = readHexNumber(p);
    return true;
}

bool Evaluator::namedValue(char*& p, Value& v)
{
    // One key buffer reused by every lookup, so a lookup allocates nothing
    // once it has grown to the longest name.
    static std::string key;
    key.clear();
    ++p;
    for (; !endsWord(static_cast<unsigned char>(*p)); ++p) key.push_back(upperAscii(*p));
    auto it = vm.namedConstants.find(key);
    if (it == vm.namedConstants.end()) return fail(ErrNamedValue);
    v.kind = Kind::Number;
    v.number = static_cast<double>(static_cast<uint32_t>(it->second));
    return true;
}

// A string literal is copied out and blanked in the working copy, so that
// no character of it can be taken for a parenthesis later.
bool Evaluator::stringLiteral(char*& p, Value& v)
{
    char* close = std::strchr(p + 1, '"');
    if (!close) return fail(ErrMalformed);
    v.kind = Kind::String;
    if (!newText(p + 1, static_cast<size_t>(close - p - 1), v)) return false;
    std::memset(p, ' ', static_cast<size_t>(close - p + 1));
    p = close + 1;
    return true;
}

// A name, or a function call when placeholders follow the name directly.
bool Evaluator::nameOrCall(char*& p, Value& v)
{
    char* nameEnd;
    char* end = scanName(p, nameEnd);
    Value name{};
    name.kind = Kind::Name;
    if (!newText(p, static_cast<size_t>(nameEnd - p), name)) return false;
    p = end;
    if (!isPlaceholder(static_cast<unsigned char>(*p))) {
        v = name;
        return true;
    }

    Value args[MaxArgs];
    int argCount = 0;
    for (;;) {
        // Consecutive groups («f(a)(b)») are separated by the blanks left
        // where each group was longer than its placeholders.
        char* next = skipBlanks(p);
        if (!isPlaceholder(static_cast<unsigned char>(*next))) break;
        p = next;
        Value a{};
        if (!placeholder(p, a)) return false;
        if (a.kind == Kind::Empty) continue;   // "()" adds nothing
        if (argCount == MaxArgs) return fail(ErrArgCount);
        args[argCount++] = a;
    }
    return call(name.text, nullptr, args, argCount, v);
}

// Resolves a name to its value: a variable's value, a function's result, or
// the result of calling a label. A pending minus negates a number.
bool Evaluator::resolve(Value& v)
{
    const bool negated = v.negated;
    Variable* var;
    if (v.element) {
        var = vm.elementBySites(v.site);
        if (!var) {
            Value copy{};
            if (!newText(v.text, v.length, copy)) return false;
            var = vm.findVariable(copy.text, nullptr, true);
            vm.rememberElement(v.text, var, v.site);
        }
    } else if ((var = vm.siteOrFrameHit(v.site))) {
        // Each level of a recursion finds its names in its own frame: ask
        // the frame before a search.
        Ostrin::selectWhole(var);
    } else {
        var = vm.findVariable(v.text, nullptr, true, v.site);
    }
    if (!var) {
        if (vm.errorCode) return false;
        // A function that left no result: its value is not defined; 0.
        v = Value{};
        v.kind = Kind::Number;
        return true;
    }
    if (var->type == TypeLabel) {
        if (!call(v.text, var, nullptr, 0, v, v.element ? nullptr : v.site)) return false;
    } else if (!valueOf(var, v)) {
        return false;
    }
    v.negated = negated;
    if (v.kind == Kind::Number && negated) {
        v.number = -v.number;
        v.negated = false;
    }
    if (v.kind == Kind::String && negated) return fail(ErrMalformed);
    return true;
}

// The number a variable's selected element holds (its data is there).
inline double numberIn(const Variable* var)
{
    const char* d = var->data;
    switch (var->type) {
    case TypeDouble: { double x; std::memcpy(&x, d, 8); return x; }
    case TypeChar: return static_cast<signed char>(*d);
    case TypeInt: { int32_t x; std::memcpy(&x, d, 4); return x; }
    case TypeWord: { uint16_t x; std::memcpy(&x, d, 2); return x; }
    case TypeFloat: { float x; std::memcpy(&x, d, 4); return x; }
    case TypeInt64: { int64_t x; std::memcpy(&x, d, 8); return static_cast<double>(x); }
    case TypeUInt64: { uint64_t x; std::memcpy(&x, d, 8); return static_cast<double>(x); }
    default: { uint32_t x; std::memcpy(&x, d, 4); return x; }   // UINT and handles
    }
}

// The value of a variable's selected element, strings copied out so that a
// later function cannot change them under the evaluation.
bool Evaluator::valueOf(Variable* var, Value& v)
{
    v = Value{};
    v.kind = Kind::Number;
    const char* d = var->data;
    if (var->type == TypeString) {
        v.kind = Kind::String;
        size_t limit = MaxString;
        if (var == vm.sysString) d = var->base;   // a result, whatever selected before
        else if (var->capacity > 0 && static_cast<size_t>(var->capacity) < limit)
            limit = static_cast<size_t>(var->capacity);   // «s[1]» is one character
        if (!d) return newText("", 0, v);
        // Storage the engine made holds its capacity (writes go that far),
        // and SYSTEM_STRING0 its 65,536 bytes; other storage (a text an
        // external function handed over) is only known to end at its
        // terminator.
        const bool held = var == vm.sysString ? static_cast<size_t>(var->dims[0]) >= limit : var->capacity > 0;
        return newText(d, held ? textLength(d, limit) : strnlen(d, limit), v);
    }
    if (d) v.number = numberIn(var);
    return true;
}

// The value a call's result variable holds; no variable (a call that
// leaves no value) gives 0.
bool Evaluator::resultValue(Variable* result, Value& v)
{
    if (result) return valueOf(result, v);
    v = Value{};
    v.kind = Kind::Number;
    return true;
}

// Calls a function: an encoded name (0xFF and two opcode characters), or a
// LABEL (a subroutine, or an external function) with the name as argument
// 0. The call runs in a Statement of its own, so nothing the function runs
// can overwrite a statement still in use.
bool Evaluator::call(const char* name, Variable* label, const Value* args, int argCount, Value& out,
                     NameSite* labelSite)
{
    const auto* u = reinterpret_cast<const unsigned char*>(name);
    int opcode = -1;
    if (u[0] == 0xFF) {
        if (u[1] && u[2]) opcode = (u[2] - 0xE0) + 16 * (u[1] - 0xE0);
    } else {
        if (!label && (label = vm.siteOrFrameHit(labelSite)) && label->type != TypeLabel) label = nullptr;
        if (!label) {
            // The lookup cuts and restores characters: give it a copy.
            Value copy{};
            if (!newText(name, std::strlen(name), copy)) return false;
            label = vm.findVariable(copy.text, nullptr, false, labelSite);
            // An undefined name keeps the lookup's code (10).
            if (!label || label->type != TypeLabel) {
                vm.failOnce(ErrMalformed);
                return false;
            }
        }
        opcode = label->external ? OpCallExternal : OpCallLabel;
        if (argCount + 1 > MaxArgs) return fail(ErrArgCount);
    }
    const Ostrin::Handler handler = vm.handlerFor(opcode);
    if (!handler) return fail(ErrMalformed);
    if (label && opcode == OpCallLabel) {
        Variable* result;
        return callSubroutine(label, args, argCount, result) && resultValue(result, out);
    }

    Statement* st = vm.newStatement(MaxArgs);
    if (!st) {
        vm.failOnce(ErrNoMemory);
        return false;
    }
    st->opcode = static_cast<uint16_t>(opcode);
    st->argCount = 0;
    st->argText = st->args[0];
    st->resultType = NoResult;
    st->toFile = 0;
    st->args[0][0] = 0;
    bool ok = true;
    // The handler finds the label and the variables passed by name where
    // this expression found them last time.
    NameSite* sites[MaxArgs] = {};
    if (u[0] != 0xFF) {
        Value self{};
        self.kind = Kind::Name;
        self.text = const_cast<char*>(name);
        self.length = std::strlen(name);
        sites[0] = labelSite;
        ok = writeArgument(st, self);
    }
    for (int i = 0; ok && i < argCount; ++i) {
        const Value& a = args[i];
        if (a.kind == Kind::Name && !a.negated && !a.element && st->argCount < MaxArgs) sites[st->argCount] = a.site;
        ok = writeArgument(st, a);
    }

    if (ok) {
        st->argSites = sites;
        Statement* done = (vm.*handler)(st);
        st->argSites = nullptr;
        vm.stringResult = false;   // as after a subroutine
        if (vm.errorCode) {
            ok = false;
        } else {
            // A handler that stops without an error (a subroutine that ran
            // off the end of the program) leaves no value: 0.
            ok = resultValue(done ? vm.resultVariable(st->resultType) : nullptr, out);
        }
    }
    vm.deleteStatement(st);
    return ok;
}

// A name, with its minus, that an argument text cannot hold.
inline bool nameTooLong(const Value& v) { return v.length + (v.negated ? 1 : 0) >= static_cast<size_t>(ArgSize); }

// Whether d is a whole number an INT holds, and then that number (one
// conversion: each costs two changes of the x87 control word).
inline bool wholeInt32(double d, int32_t& out)
{
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) return false;
    out = static_cast<int32_t>(d);
    return d == static_cast<double>(out);
}

// The arguments of a subroutine called from an expression, read from their
// values as the texts a call statement would hold for them are read. A
// whole number and a name found before skip the text.
class ValueArguments final : public CallArguments {
public:
    ValueArguments(Evaluator& ev, const Value* args, int argCount) : ev(ev)
    {
        for (int i = 0; i < argCount; ++i)
            if (args[i].kind != Kind::Empty) list[n++] = &args[i];   // an empty group is no argument
    }
    int count() const override { return n; }
    bool read(int k, ArgValue& out) override
    {
        const Value& v = *list[k];
        const bool plainName = v.kind == Kind::Name && !v.negated && !v.element;
        if (int32_t whole; v.kind == Kind::Number && wholeInt32(v.number, whole)) {
            setFromInt64(out, whole);
            out.type = TypeInt;
            return true;
        }
        // A site hit never looks at the text.
        if (plainName && ev.vm.siteOrFrameHit(v.site))
            return ev.vm.readArgument(v.text, ClassVariable, v.site, KindAny, out);
        int cls;
        return ev.formatArgument(v, text, cls) && ev.vm.readArgument(text, cls, plainName ? v.site : nullptr, KindAny, out);
    }
    bool known(int k, const Variable*& var, int32_t& whole) override
    {
        const Value& v = *list[k];
        if (v.kind == Kind::Number) {
            var = nullptr;
            return wholeInt32(v.number, whole);
        }
        if (v.kind != Kind::Name || v.negated || v.element) return false;
        var = ev.vm.siteOrFrameHit(v.site);
        return var != nullptr;
    }
    int bindLeading(Variable*& p) override { return bindLeadingKnown(*this, p); }
    bool knownInts(int n, int32_t* values) override { return knownIntsOf(*this, n, values); }

private:
    Evaluator& ev;
    const Value* list[MaxArgs];
    int n = 0;
    char text[ArgSize];
};

// Runs a subroutine label as a function: its arguments go straight to its
// parameters, without a statement of texts in between.
bool Evaluator::callSubroutine(Variable* label, const Value* args, int argCount, Variable*& result)
{
    // A name too long for an argument text fails before the call, as
    // writing the texts did.
    for (int i = 0; i < argCount; ++i)
        if (args[i].kind == Kind::Name && nameTooLong(args[i])) return fail(ErrMalformed);
    ValueArguments source(*this, args, argCount);
    return runSubroutine(label, source, result);
}

// The numbers of a call move's arguments, read as ValueArguments reads
// numbers, without a value made for each first.
class NumberArguments final : public CallArguments {
public:
    NumberArguments(Evaluator& ev, const double* at, const uint16_t* places, int n)
        : ev(ev), at(at), places(places), n(n)
    {
    }
    int count() const override { return n; }
    bool read(int k, ArgValue& out) override
    {
        Value v{};
        v.kind = Kind::Number;
        v.number = at[places[k]];
        return ValueArguments(ev, &v, 1).read(0, out);
    }
    bool known(int k, const Variable*& var, int32_t& whole) override
    {
        var = nullptr;
        return wholeInt32(at[places[k]], whole);
    }
    int bindLeading(Variable*& p) override { return bindLeadingKnown(*this, p); }
    bool knownInts(int n, int32_t* values) override { return knownIntsOf(*this, n, values); }

private:
    Evaluator& ev;
    const double* at;
    const uint16_t* places;
    int n;
};

// The arguments of a single call of literal numbers and plain names
// (plainArgs), read from their operands as ValueArguments reads the values
// produce() makes of them.
class OperandArguments final : public CallArguments {
public:
    OperandArguments(Evaluator& ev, CompiledExpression& code, Operand* args, int n)
        : ev(ev), code(code), args(args), n(n)
    {
    }
    int count() const override { return n; }
    bool read(int k, ArgValue& out) override
    {
        Value v{};
        return ev.produce(code, args[k], nullptr, v) && ValueArguments(ev, &v, 1).read(0, out);
    }
    bool known(int k, const Variable*& var, int32_t& whole) override
    {
        Operand& o = args[k];
        if (o.type == Operand::Literal) {
            var = nullptr;
            return wholeInt32(o.number, whole);
        }
        var = ev.vm.siteOrFrameHit(&o.site[0]);
        return var != nullptr;
    }
    int bindLeading(Variable*& p) override { return bindLeadingKnown(*this, p); }
    bool knownInts(int n, int32_t* values) override { return knownIntsOf(*this, n, values); }

private:
    Evaluator& ev;
    CompiledExpression& code;
    Operand* args;
    int n;
};

// The subroutine a call of argCount arguments names, where call() would take
// it straight to callSubroutine: found where it was (site), a LABEL of this
// program. Null: call() decides.
Variable* Evaluator::subroutineAt(NameSite* site, int argCount)
{
    Variable* label = vm.siteOrFrameHit(site);
    return label && label->type == TypeLabel && !label->external && argCount + 1 <= MaxArgs &&
                   vm.handlerFor(OpCallLabel)
               ? label
               : nullptr;
}

// The number a subroutine's result holds, as valueOf reads it (none reads
// as 0); false for a text.
inline bool resultNumber(const Variable* result, double& x)
{
    if (result && result->type == TypeString) return false;
    x = result && result->data ? numberIn(result) : 0;
    return true;
}

// callSubroutine after its arguments' checks, up to the variable that
// holds the result: null for none, which reads as 0 (a subroutine that ran
// off the end of the program). False with the error set.
inline bool Evaluator::runSubroutine(Variable* label, CallArguments& source, Variable*& result)
{
    uint32_t resultType = NoResult;
    const bool done = vm.callSubroutine(label, source, resultType);
    // A string expression the subroutine evaluated last says nothing of the
    // evaluation still running here, which sets the flag when it finishes.
    vm.stringResult = false;
    if (vm.errorCode) return false;
    result = done ? vm.resultVariable(resultType) : nullptr;
    return true;
}

// "%d" without the formatter, which every numeric argument of a call went
// through.
void writeInteger(char* out, int32_t value)
{
    char digits[12];
    int n = 0;
    uint32_t u = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (value < 0) *out++ = '-';
    while (n) *out++ = digits[--n];
    *out = 0;
}

// Writes one placeholder's value as the next argument text of a call.
bool Evaluator::writeArgument(Statement* st, const Value& v)
{
    int cls;
    if (!formatArgument(v, st->args[st->argCount], cls)) return false;
    if (cls < 0) return true;
    st->argClass[st->argCount] = cls;
    ++st->argCount;
    return true;
}

// Writes a placeholder's value as the argument text a call reads back (a is
// ArgSize long) and sets cls to the text's class, or to -1 for no argument
// (an empty group). False with the error set.
bool Evaluator::formatArgument(const Value& v, char* a, int& cls)
{
    cls = ClassNumber;
    switch (v.kind) {
    case Kind::Number: {
        const double d = v.number;
        if (int32_t whole; wholeInt32(d, whole)) {
            writeInteger(a, whole);
        } else if (std::snprintf(a, ArgSize, "%.16f", d) >= ArgSize) {
            // Too long for the argument (beyond 10^238): exponent form, which
            // still holds a "." and so is read back as the same double.
            std::snprintf(a, ArgSize, "%.16e", d);
        }
        break;
    }
    case Kind::String: {
        // Quotes and the terminator leave 253 characters.
        const size_t n = std::min(v.length, static_cast<size_t>(ArgSize - 3));
        a[0] = '"';
        std::memcpy(a + 1, v.text, n);
        a[n + 1] = '"';
        a[n + 2] = 0;
        cls = ClassString;
        break;
    }
    case Kind::Name: {
        const size_t n = v.length + (v.negated ? 1 : 0);
        if (nameTooLong(v)) return fail(ErrMalformed);
        if (v.negated) a[0] = '-';
        std::memcpy(a + (v.negated ? 1 : 0), v.text, v.length);
        a[n] = 0;
        cls = v.negated ? ClassExpression : ClassVariable;
        break;
    }
    case Kind::Empty:
        cls = -1;
        return true;
    }
    return true;
}


// --- Compiling ---------------------------------------------------------------------

// Reads a text the way the text evaluator does, recording instead of
// evaluating. Any reading that would fail (a syntax error, too many values
// or operators) leaves the text uncompiled: the text evaluator then runs it
// every time and reports its error exactly where it always did.
class Compiler {
public:
    explicit Compiler(CompiledExpression& out) : code(out) {}
    bool compile(const char* text, size_t length);

private:
    bool level(char* p, CompiledLevel& lv, int& results, char*& end);
    bool operand(char*& p, Operand& o);
    void addSteps(CompiledLevel& lv);
    bool onlyNumbers() const;
    bool numbersAndCalls() const;
    bool addMoves();
    bool isSingleCall() const;
    bool plainArguments() const;
    uint32_t addText(const char* from, size_t length);
    void addIndexCode(Operand& o);
    bool addIndexMoves(const Operand& o, uint16_t& spare, uint16_t& first);

    CompiledExpression& code;
    char work[WorkSize];
};

uint32_t Compiler::addText(const char* from, size_t length)
{
    const auto at = static_cast<uint32_t>(code.pool.size());
    code.pool.append(from, length);
    code.pool.push_back(0);
    return at;
}

bool Compiler::compile(const char* text, size_t length)
{
    if (length >= WorkSize) return false;
    // Placeholder bytes in the text itself read stored values by position.
    for (size_t i = 0; i < length; ++i)
        if (isPlaceholder(static_cast<unsigned char>(text[i]))) return false;
    std::memcpy(work, text, length + 1);

    int slots = 0;
    for (;;) {
        char* group = innermostGroup(work);
        CompiledLevel lv;
        int results = 0;
        char* end = nullptr;
        if (!level(group ? group + 1 : work, lv, results, end)) return false;
        if (!group) {
            if (*end == ')') return false;
            code.levels.push_back(lv);
            code.singleCall = isSingleCall();
            code.plainArgs = code.singleCall && plainArguments();
            code.numeric = onlyNumbers() && addMoves();
            if (code.numeric) addIntegerMoves(code);
            code.callMoves = !code.numeric && !code.singleCall && numbersAndCalls() && addMoves();
            return true;
        }
        // The group is replaced as the text evaluator replaces it, the slot
        // number standing where it writes a value's position.
        const size_t span = static_cast<size_t>(end - group) + (*end == ')' ? 1 : 0);
        unsigned char out[2 * MaxOperands];
        size_t written = 0;
        if (results == 0) {
            out[0] = PlaceEmpty;
            out[1] = 1;
            written = 2;
        } else {
            // Within 28 results neither store of the text evaluator fills up.
            if (slots + results > MaxTexts) return false;
            lv.firstSlot = static_cast<uint8_t>(slots + 1);
            for (int i = 0; i < results; ++i, written += 2) {
                out[written] = PlaceNumber;
                out[written + 1] = static_cast<unsigned char>(++slots);
            }
        }
        if (written > span) return false;
        std::memcpy(group, out, written);
        std::memset(group + written, ' ', span - written);
        code.levels.push_back(lv);
    }
}

bool Compiler::level(char* p, CompiledLevel& lv, int& results, char*& end)
{
    lv.firstOperand = static_cast<uint16_t>(code.operands.size());
    lv.firstOp = static_cast<uint16_t>(code.ops.size());
    int operandCount = 0, opCount = 0;
    bool expectOperand = true, negate = false;
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ' || c == '\t') {
            ++p;
            continue;
        }
        if (c == 0 || c == ')') break;
        if (expectOperand) {
            if (c == '-') {
                negate = !negate;
                ++p;
                continue;
            }
            Operand o;
            const char* before = p;
            if (!operand(p, o)) return false;
            if (p == before) {
                ++p;
                continue;
            }
            o.negate = negate;
            negate = false;
            code.operands.push_back(o);
            ++operandCount;
            expectOperand = false;
        } else {
            Op op;
            if (!parseOp(p, op) || opCount == MaxOperators) return false;
            code.ops.push_back(op);
            ++opCount;
            expectOperand = true;
        }
    }
    end = p;
    if (expectOperand && opCount > 0) {
        if (code.ops.back() != Op::Comma) return false;
        code.ops.pop_back();
        --opCount;
    }
    if (negate) return false;
    lv.operandCount = static_cast<uint16_t>(operandCount);
    lv.opCount = static_cast<uint16_t>(opCount);
    results = 0;
    if (operandCount > 0) {
        results = 1;
        for (int i = 0; i < opCount; ++i)
            if (code.ops[lv.firstOp + i] == Op::Comma) ++results;
    }
    addSteps(lv);
    return true;
}

// The levels of «f(a, b, ...)» alone: a group of ","-separated operands that
// need no slot and no minus, then the call reading the group's results in
// order and nothing else.
bool Compiler::isSingleCall() const
{
    if (code.levels.size() != 2) return false;
    const CompiledLevel& group = code.levels[0];
    const CompiledLevel& top = code.levels[1];
    if (top.operandCount != 1 || top.opCount != 0 || group.opCount + 1 != group.operandCount) return false;
    const Operand& call = code.operands[top.firstOperand];
    if (call.type != Operand::Call || call.negate || call.argCount != group.operandCount) return false;
    for (int i = 0; i < group.opCount; ++i)
        if (code.ops[group.firstOp + i] != Op::Comma) return false;
    for (int k = 0; k < group.operandCount; ++k) {
        const Operand& a = code.operands[group.firstOperand + k];
        const bool direct = a.type == Operand::Literal || a.type == Operand::String || a.type == Operand::Name;
        if (!direct || a.negate || code.argSlots[call.firstArg + k] != group.firstSlot + k) return false;
    }
    return true;
}

// The single call's arguments (its group's operands) are literal numbers
// and plain names, none too long for an argument text (callSubroutine
// fails those).
bool Compiler::plainArguments() const
{
    const CompiledLevel& group = code.levels[0];
    for (int k = 0; k < group.operandCount; ++k) {
        const Operand& a = code.operands[group.firstOperand + k];
        const bool name = a.type == Operand::Name && a.plain && !a.element && a.length < ArgSize;
        if (a.type != Operand::Literal && !name) return false;
    }
    return true;
}

bool Compiler::onlyNumbers() const
{
    for (const Operand& o : code.operands) {
        const bool number = o.type == Operand::Literal || o.type == Operand::Constant || o.type == Operand::Slot;
        if (!number && !(o.type == Operand::Name && (o.plain || o.element || o.index))) return false;
    }
    for (Op op : code.ops)
        if (op == Op::Comma) return false;
    for (const CompiledLevel& lv : code.levels)
        if (lv.operandCount == 0) return false;   // an empty text has no value
    return true;
}

// Whether an expression of numbers, names and calls can run as moves
// (CompiledExpression::callMoves). The general run reads a level's names
// after every call of that level, and a name that is not found must send
// the whole expression there from its start, before anything has run: so
// no name may stand at or after the first level that calls. Each argument
// of a call is a number, as the general run passes it (a name alone would
// go by name). A minus on a call's value or on a group's result read after
// a call stays with the general run, which applies it once the level's
// calls are made, and fails it on a text.
bool Compiler::numbersAndCalls() const
{
    bool numberSlot[MaxTexts + 1] = {};
    bool calling = false;
    int calls = 0;
    const size_t levels = code.levels.size();
    for (size_t n = 0; n < levels; ++n) {
        const CompiledLevel& cl = code.levels[n];
        if (cl.operandCount == 0) return false;
        const Op* ops = code.ops.data() + cl.firstOp;
        for (int k = 0; k < cl.operandCount; ++k) {
            const Operand& o = code.operands[cl.firstOperand + k];
            if (o.type == Operand::Call) {
                if (o.negate || o.argCount > MaxCallMoveArgs || ++calls > MaxCallMoves) return false;
                for (int i = 0; i < o.argCount; ++i)
                    if (!numberSlot[code.argSlots[o.firstArg + i]]) return false;
                calling = true;
            }
        }
        // The level's results, one a run between its ","s: a number when the
        // run operates, or reads a literal, a constant or a number's slot.
        int first = 0, run = 0;
        for (int i = 0; i <= cl.opCount; ++i) {
            if (i < cl.opCount && ops[i] != Op::Comma) continue;
            if (i < cl.opCount && n + 1 == levels) return false;   // a list's value: the general run
            const Operand& o = code.operands[cl.firstOperand + first];
            const bool number = i > first || o.type == Operand::Literal || o.type == Operand::Constant ||
                                (o.type == Operand::Slot && numberSlot[o.slot]);
            if (cl.firstSlot) numberSlot[cl.firstSlot + run] = number;
            ++run;
            first = i + 1;
        }
        for (int k = 0; k < cl.operandCount; ++k) {
            const Operand& o = code.operands[cl.firstOperand + k];
            switch (o.type) {
            case Operand::Literal:
            case Operand::Constant:
            case Operand::Call:
                break;
            case Operand::Slot:
                if (calling && o.negate) return false;
                break;
            case Operand::Name:
                if (calling || !(o.plain || o.element)) return false;
                break;
            default:
                return false;
            }
        }
    }
    return calls > 0;
}

// The moves of a numeric expression: each level's loads and calls in order,
// then its operations in the order of its steps, run after run.
bool Compiler::addMoves()
{
    if (code.operands.size() > MaxNumberPlaces) return false;
    uint16_t slotPlace[MaxTexts + 1] = {};
    uint16_t place[MaxNumberPlaces];
    auto spare = static_cast<uint16_t>(code.operands.size());   // places past the operands', for indices
    for (const CompiledLevel& cl : code.levels) {
        // Each step's operands counted from the level's first (a step
        // counts from its run's first), and where each run begins.
        const Op* ops = code.ops.data() + cl.firstOp;
        const Step* steps = code.steps.data() + cl.firstStep;
        uint8_t dst[MaxOperators], src[MaxOperators], runFirst[MaxOperands];
        int stepCount = 0, runs = 0, first = 0;
        for (int i = 0; i <= cl.opCount; ++i) {
            if (i < cl.opCount && ops[i] != Op::Comma) continue;
            for (int k = first; k < i; ++k, ++stepCount) {
                dst[stepCount] = static_cast<uint8_t>(first + steps[stepCount].dst);
                src[stepCount] = static_cast<uint8_t>(first + steps[stepCount].src);
            }
            runFirst[runs++] = static_cast<uint8_t>(first);
            first = i + 1;
        }
        // A literal that an operation only reads is folded into that
        // operation. A group's result is read where its level left it: a
        // slot is read once, so the operation may change it in place.
        bool read[MaxOperands] = {}, written[MaxOperands] = {};
        for (int k = 0; k < stepCount; ++k) {
            read[src[k]] = true;
            written[dst[k]] = true;
        }
        for (int k = 0; k < cl.operandCount; ++k) {
            const auto at = static_cast<uint16_t>(cl.firstOperand + k);
            Operand& o = code.operands[at];
            place[at] = at;
            NumberMove m;
            m.to = at;
            m.negate = o.negate;
            switch (o.type) {
            case Operand::Literal:
                if (read[k] && !written[k]) continue;
                m.number = o.negate ? -o.number : o.number;
                m.negate = false;
                break;
            case Operand::Constant:
                m.kind = NumberMove::Constant;
                m.from = o.constant;
                break;
            case Operand::Slot:
                place[at] = m.to = m.from = slotPlace[o.slot];
                if (!o.negate) continue;
                m.kind = NumberMove::Copy;
                break;
            case Operand::Call:   // numbersAndCalls
                m.kind = NumberMove::Call;
                m.text = o.text;
                m.site = o.plain ? &o.site[0] : nullptr;
                m.from = static_cast<uint16_t>(code.callArgs.size());
                m.argCount = o.argCount;
                for (int i = 0; i < o.argCount; ++i) code.callArgs.push_back(slotPlace[code.argSlots[o.firstArg + i]]);
                break;
            default:   // a plain name or an element (onlyNumbers)
                m.kind = o.element ? NumberMove::Element : NumberMove::Name;
                m.text = o.text;
                m.site = o.site;   // the operands are complete: the address holds
                if (o.index) {
                    if (!addIndexMoves(o, spare, m.from)) return false;
                    m.kind = NumberMove::ElementAt;
                    m.parts = o.parts;
                    m.text = o.arrayText;
                }
                break;
            }
            code.moves.push_back(m);
        }
        for (int k = 0; k < stepCount; ++k) {
            const Operand& operand = code.operands[cl.firstOperand + src[k]];
            NumberMove m;
            m.kind = NumberMove::Operate;
            m.op = steps[k].op;
            m.to = place[cl.firstOperand + dst[k]];
            m.from = place[cl.firstOperand + src[k]];
            if (operand.type == Operand::Literal && !written[src[k]]) {
                m.kind = NumberMove::OperateNumber;
                m.number = operand.negate ? -operand.number : operand.number;
            }
            code.moves.push_back(m);
        }
        if (cl.firstSlot)
            for (int r = 0; r < runs; ++r) slotPlace[cl.firstSlot + r] = place[cl.firstOperand + runFirst[r]];
    }
    code.resultAt = place[code.levels.back().firstOperand];
    return true;
}

// An element whose indices compiled forms can select (computedIndex) gets
// each index compiled alone, from the text selectElement reads, when every
// index is a numeric expression: their moves then select the element among
// the expression's own. A name alone stays a name, which must hold an INT;
// a number alone is read as selectElement reads it (octal and hex too),
// and compiled from that value.
void Compiler::addIndexCode(Operand& o)
{
    const char* ref = code.pool.c_str() + o.text;
    size_t length;
    const char* index = computedIndex(ref, length);
    if (!index) return;
    const std::string indices(index, length), array(ref, plainNameLength(ref));   // the pool may move as it grows
    std::vector<std::unique_ptr<CompiledExpression>> parts;
    uint8_t names = 0;
    for (size_t from = 0; from <= indices.size();) {
        const size_t comma = std::min(indices.find(',', from), indices.size());
        char text[WorkSize];
        const std::string part = indices.substr(from, comma - from);
        const char* t = skipBlanks(part.c_str());
        if (holdsIndexOperator(t)) {
            std::snprintf(text, sizeof text, "%s", t);
        } else if (isDigit(static_cast<unsigned char>(*t))) {
            std::snprintf(text, sizeof text, "%ld", std::strtol(t, nullptr, 0));
        } else {
            const size_t n = plainNameLength(t);
            if (!n || *skipBlanks(t + n)) return;
            names |= static_cast<uint8_t>(1u << parts.size());
            std::snprintf(text, sizeof text, "%s", t);
        }
        auto compiled = std::make_unique<CompiledExpression>();
        if (!Compiler(*compiled).compile(text, std::strlen(text)) || !compiled->numeric) return;
        for (const NumberMove& m : compiled->moves)
            if ((m.kind == NumberMove::Operate || m.kind == NumberMove::OperateNumber) && m.op != Op::Add &&
                m.op != Op::Sub && m.op != Op::Mul && m.op != Op::Div && m.op != Op::Mod)
                return;
        parts.push_back(std::move(compiled));
        from = comma + 1;
    }
    if (code.indexes.size() + parts.size() > UINT8_MAX) return;
    o.arrayText = addText(array.data(), array.size());
    o.index = static_cast<uint8_t>(code.indexes.size() + 1);
    o.parts = static_cast<uint8_t>(parts.size());
    o.names = names;
    for (auto& part : parts) code.indexes.push_back(std::move(part));
}

// Adds an element's index moves: index k's value in place first + k, the
// places each index works in from `spare` on.
bool Compiler::addIndexMoves(const Operand& o, uint16_t& spare, uint16_t& first)
{
    first = spare;
    spare = static_cast<uint16_t>(spare + o.parts);
    for (int k = 0; k < o.parts; ++k) {
        const CompiledExpression& index = *code.indexes[o.index - 1 + k];
        const uint16_t base = spare, result = static_cast<uint16_t>(first + k);
        if (base + index.operands.size() > MaxNumberPlaces) return false;
        spare = static_cast<uint16_t>(base + index.operands.size());
        const auto place = [&](uint16_t p) { return p == index.resultAt ? result : static_cast<uint16_t>(p + base); };
        for (NumberMove m : index.moves) {
            m.to = place(m.to);
            if (m.kind == NumberMove::Copy || m.kind == NumberMove::Operate) m.from = place(m.from);
            // A division by zero is the full lookup's to report, after
            // whatever it reads first.
            m.refuses = m.kind == NumberMove::Operate || m.kind == NumberMove::OperateNumber;
            if (m.kind == NumberMove::Name) {
                const char* name = index.pool.data() + m.text;
                m.text = addText(name, std::strlen(name));
                m.intIndex = (o.names >> k) & 1;
            }
            code.moves.push_back(m);
        }
    }
    return true;
}

// Works out the order in which reduce applies each run's operators: by
// precedence, each from the left, an operation merging its right operand
// into its left one.
void Compiler::addSteps(CompiledLevel& lv)
{
    lv.firstStep = static_cast<uint16_t>(code.steps.size());
    const Op* ops = code.ops.data() + lv.firstOp;
    int first = 0;
    for (int i = 0; i <= lv.opCount; ++i) {
        if (i < lv.opCount && ops[i] != Op::Comma) continue;
        int n = i - first;
        uint8_t index[MaxOperands];
        Op o[MaxOperators];
        for (int k = 0; k <= n; ++k) index[k] = static_cast<uint8_t>(k);
        for (int k = 0; k < n; ++k) o[k] = ops[first + k];
        for (int prec = 5; prec >= 1; --prec) {
            for (int k = 0; k < n;) {
                if (precedence(o[k]) != prec) {
                    ++k;
                    continue;
                }
                code.steps.push_back({o[k], index[k], index[k + 1]});
                for (int m = k + 1; m < n; ++m) {
                    index[m] = index[m + 1];
                    o[m - 1] = o[m];
                }
                --n;
            }
        }
        first = i + 1;
    }
}

bool Compiler::operand(char*& p, Operand& o)
{
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"') {
        char* close = std::strchr(p + 1, '"');
        if (!close) return false;
        o.type = Operand::String;
        o.length = static_cast<uint32_t>(close - p - 1);
        o.text = addText(p + 1, o.length);
        std::memset(p, ' ', static_cast<size_t>(close - p + 1));
        p = close + 1;
        return true;
    }
    if (isPlaceholder(c)) {
        o.type = c == PlaceEmpty ? Operand::EmptyGroup : Operand::Slot;
        o.slot = static_cast<uint8_t>(p[1]);
        p += 2;
        return true;
    }
    if (c == 0xFE) {
        const int index = constantIndex(p);
        if (index < 0) return false;
        o.type = Operand::Constant;
        o.constant = static_cast<uint16_t>(index);
        p += 3;
        return true;
    }
    if (c == '@') {
        std::string key;
        for (++p; !endsWord(static_cast<unsigned char>(*p)); ++p) key.push_back(upperAscii(*p));
        o.type = Operand::Named;
        o.length = static_cast<uint32_t>(key.size());
        o.text = addText(key.data(), key.size());
        return true;
    }
    if (isDigit(c) || c == '.') {
        o.number = readNumber(p);
        return true;
    }
    if (c == '&' && (p[1] == 'H' || p[1] == 'h')) {
        p += 2;
        o.number = readHexNumber(p);
        return true;
    }
    if (!isLetter(c) && c != 0xFF && c != '#') return true;

    char* nameEnd;
    char* end = scanName(p, nameEnd);
    o.length = static_cast<uint32_t>(nameEnd - p);
    o.text = addText(p, o.length);
    p = end;
    if (!isPlaceholder(static_cast<unsigned char>(*p))) {
        o.type = Operand::Name;
        o.plain = isPlainName(code.pool.c_str() + o.text);
        o.element = isElementReference(code.pool.c_str() + o.text);
        if (!o.plain && !o.element) addIndexCode(o);
        return true;
    }
    o.type = Operand::Call;
    o.plain = isPlainName(code.pool.c_str() + o.text);
    o.firstArg = static_cast<uint16_t>(code.argSlots.size());
    for (;;) {
        char* next = skipBlanks(p);
        if (!isPlaceholder(static_cast<unsigned char>(*next))) break;
        p = next + 2;
        if (*next == PlaceEmpty) continue;   // "()" adds nothing
        if (o.argCount == MaxArgs) return false;
        code.argSlots.push_back(static_cast<uint8_t>(next[1]));
        ++o.argCount;
    }
    return true;
}

// --- Running the compiled form ----------------------------------------------------

// The value of one operand, as the text evaluator's reading yields it.
inline bool Evaluator::produce(CompiledExpression& code, Operand& o, Value* slots, Value& v)
{
    const char* text = code.pool.data() + o.text;
    switch (o.type) {
    case Operand::Literal:
        v.kind = Kind::Number;
        v.number = o.number;
        return true;
    case Operand::String:
        v.kind = Kind::String;
        return newText(text, o.length, v);
    case Operand::Name:
        v.kind = Kind::Name;
        if (o.plain || o.element) {
            // No lookup cuts into a plain name, so it is read in place; an
            // element reference is copied before a full lookup cuts it.
            v.text = const_cast<char*>(text);
            v.length = o.length;
            v.site = o.site;
            v.element = o.element;
            return true;
        }
        return newText(text, o.length, v);
    case Operand::Call: {
        Value args[MaxArgs];
        for (int i = 0; i < o.argCount; ++i) args[i] = slots[code.argSlots[o.firstArg + i]];
        return call(text, nullptr, args, o.argCount, v, o.plain ? &o.site[0] : nullptr);
    }
    case Operand::Slot:
        v = slots[o.slot];
        return true;
    case Operand::EmptyGroup:
        v.kind = Kind::Empty;
        return true;
    case Operand::Constant:
        v.kind = Kind::Number;
        v.number = static_cast<double>(static_cast<uint32_t>(vm.constants[o.constant]));
        return true;
    case Operand::Named: {
        static std::string key;
        key.assign(text, o.length);
        auto it = vm.namedConstants.find(key);
        if (it == vm.namedConstants.end()) return fail(ErrNamedValue);
        v.kind = Kind::Number;
        v.number = static_cast<double>(static_cast<uint32_t>(it->second));
        return true;
    }
    }
    return fail(ErrMalformed);
}

// What run(code) does for a single call: the group of arguments yields each
// operand as it is produced, and the outer level the call's value alone.
double Evaluator::runCall(CompiledExpression& code)
{
    vm.stringResult = false;
    const CompiledLevel& group = code.levels[0];
    Operand& call = code.operands[code.levels[1].firstOperand];
    NameSite* site = call.plain ? &call.site[0] : nullptr;
    // A subroutine found where it was: its number is read from where it is
    // held, and literal numbers and plain names go to it from their
    // operands (the commonest call).
    Variable* const label = subroutineAt(site, call.argCount);
    Variable* held = nullptr;
    Value result{};
    if (label && code.plainArgs) {
        OperandArguments source(*this, code, &code.operands[group.firstOperand], call.argCount);
        if (!runSubroutine(label, source, held)) return 0;
    } else {
        // The arguments are the group's operands in order (isSingleCall).
        Value args[MaxArgs];
        for (int k = 0; k < call.argCount; ++k) {
            args[k] = Value{};
            if (!produce(code, code.operands[group.firstOperand + k], nullptr, args[k])) return 0;
        }
        if (!label) {
            if (!this->call(code.pool.data() + call.text, nullptr, args, call.argCount, result, site)) return 0;
            return finishValue(result) ? result.number : 0;
        }
        if (!callSubroutine(label, args, call.argCount, held)) return 0;
    }
    double x;
    if (resultNumber(held, x)) return x;
    return valueOf(held, result) && finishValue(result) ? result.number : 0;
}

double Evaluator::run(CompiledExpression& code)
{
    if (code.singleCall) return runCall(code);
    vm.stringResult = false;
    Value slots[MaxTexts + 1];
    const size_t levels = code.levels.size();
    for (size_t n = 0; n < levels; ++n) {
        const CompiledLevel& cl = code.levels[n];
        Value operands[MaxOperands];
        for (int k = 0; k < cl.operandCount; ++k) {
            Value v{};
            if (!produce(code, code.operands[cl.firstOperand + k], slots, v)) return 0;
            if (code.operands[cl.firstOperand + k].negate) v.negated = !v.negated;
            operands[k] = v;
        }
        Level lv;
        if (!reduceSteps(operands, code.ops.data() + cl.firstOp, code.steps.data() + cl.firstStep, cl.operandCount,
                         cl.opCount, lv))
            return 0;
        if (n + 1 == levels) return finish(lv) ? lv.results[lv.count - 1].number : 0;
        for (int i = 0; i < lv.count; ++i) {
            Value& r = lv.results[i];
            Value& slot = slots[cl.firstSlot + i];
            switch (r.kind) {
            case Kind::Number:
                // The text evaluator keeps only the number of a numeric result.
                slot = Value{};
                slot.kind = Kind::Number;
                slot.number = r.number;
                break;
            case Kind::String:
            case Kind::Name:
                slot = r;
                break;
            case Kind::Empty:
                return fail(ErrMalformed), 0;
            }
        }
    }
    return 0;
}

// The variable a compiled plain name stands for when it holds a number. A
// name is looked up again where the chains changed (a subroutine's
// parameters are new records on every call): that lookup has no effects,
// and a name it does not find is left to run(code), which may run it as a
// function.
Variable* numberVariable(Ostrin& vm, CompiledExpression& code, const NumberMove& m)
{
    Variable* var = m.site->var;
    if (m.site->version != vm.chainVersion || !var) {
        if (vm.errorCode) return nullptr;
        // Another level of a recursion filled the site: spare the search.
        var = vm.frameHit(*m.site);
        if (!var) {
            var = vm.findVariable(const_cast<char*>(code.pool.data() + m.text), nullptr, false, m.site);
            if (!var) {
                vm.errorCode = 0;
                return nullptr;
            }
            if (m.site->var != var || m.site->version != vm.chainVersion) return nullptr;
        }
    }
    return var->data && isNumericType(var->type) ? var : nullptr;
}

// The value of a numeric expression whose names are all known: the same
// operations in the same order as run(code), on doubles. False when a name
// is not where it was found before or holds no number: run(code) then runs
// the expression from its start. What this left behind by then is only
// elements selected, which run(code) selects again in the same order, and
// no operation can have failed before: run(code) would have failed there
// too, before reading any later level.
// What a name's or an element's load move reads: false when a name is not
// where it was found before or holds no number.
[[gnu::always_inline]] inline bool loadName(Ostrin& vm, CompiledExpression& code, const NumberMove& m, double& x)
{
    // Most names are INT scalars found where they were, or at their place
    // in this level of a recursion: read at once.
    const Variable* known = m.site->var;
    int32_t i;
    if (!known || m.site->version != vm.chainVersion) {
        if (vm.frame.frameless && vm.framelessValue(*m.site, i)) {
            x = i;
            return true;
        }
        known = vm.frameHitCall(*m.site);
    }
    if (known && known->type == TypeInt && !known->indexed && known->data) {
        std::memcpy(&i, known->data, 4);
        x = i;
        return true;
    }
    Variable* var = numberVariable(vm, code, m);
    if (!var || (m.intIndex && var->type != TypeInt)) return false;
    x = numberIn(Ostrin::selectWhole(var));
    return true;
}

[[gnu::always_inline]] inline bool loadElement(Ostrin& vm, const NumberMove& m, double& x)
{
    const Variable* var = vm.elementBySites(m.site);   // checks the type too
    if (!var) return false;
    x = numberIn(var);
    return true;
}

// An element whose indices have compiled forms, their values in `indices`:
// the array by its name's site (looked up again as a name is), the element
// as selectElement selects it. False where the full lookup must decide:
// stale, no numeric array, an index out of range.
[[gnu::always_inline]] inline bool loadElementAt(Ostrin& vm, CompiledExpression& code, const NumberMove& m,
                                                 const double* indices, double& x)
{
    Variable* array = m.site->var;
    if (!array || m.site->version != vm.chainVersion || !isNumericType(array->type))
        if (!(array = numberVariable(vm, code, m))) return false;
    if (!array->base) return false;
    int32_t whole[3];
    // Truncated, as selectElement's wholeNumber does; NaN fails.
    for (int k = 0; k < m.parts; ++k) {
        if (!(indices[k] > -1.0 && indices[k] < array->dims[k])) return false;
        whole[k] = static_cast<int32_t>(indices[k]);
    }
    if (!selectAt(array, whole, m.parts, static_cast<size_t>(typeSize(array->type)))) return false;
    x = numberIn(array);
    return true;
}

bool runNumbers(Ostrin& vm, CompiledExpression& code, double& result)
{
    double at[MaxNumberPlaces];
    for (const NumberMove& m : code.moves) {
        double x;
        switch (m.kind) {
        case NumberMove::Operate:
        case NumberMove::OperateNumber:
            if (const int failed = arithmetic(m.op, at[m.to], m.kind == NumberMove::Operate ? at[m.from] : m.number)) {
                if (m.refuses) return false;
                vm.stringResult = false;
                vm.fail(failed);
                return true;
            }
            continue;
        case NumberMove::Literal:
            at[m.to] = m.number;
            continue;
        case NumberMove::Constant:
            x = static_cast<double>(static_cast<uint32_t>(vm.constants[m.from]));
            break;
        case NumberMove::Copy:
            x = at[m.from];
            break;
        case NumberMove::Name:
            if (!loadName(vm, code, m, x)) return false;
            break;
        case NumberMove::ElementAt:
            if (!loadElementAt(vm, code, m, &at[m.from], x)) return false;
            break;
        default:   // Element
            if (!loadElement(vm, m, x)) return false;
            break;
        }
        at[m.to] = m.negate ? -x : x;
    }
    vm.stringResult = false;
    result = at[code.resultAt];
    return true;
}

// The moves as `integer`, when integerFromCode can take them: whole
// literals within 32 bits, and only operations whose result on whole
// numbers is the integer one (a division or a power gives fractions; And,
// Or and Xor stay with the doubles).
void addIntegerMoves(CompiledExpression& code)
{
    std::vector<IntegerMove> out;
    for (const NumberMove& m : code.moves) {
        IntegerMove im;
        im.negate = m.negate;
        im.refuses = m.refuses;
        im.to = m.to;
        switch (m.kind) {
        case NumberMove::Literal:
            if (!wholeInt32(m.number, im.operand)) return;
            break;
        case NumberMove::Copy:
            im.code = IntegerMove::Copy;
            im.operand = m.from;
            break;
        case NumberMove::Name:
        case NumberMove::Element:
        case NumberMove::ElementAt:
            im.code = m.kind == NumberMove::Name      ? IntegerMove::Name
                      : m.kind == NumberMove::Element ? IntegerMove::Element
                      : m.parts == 1                  ? IntegerMove::ElementAt
                                                      : IntegerMove::ElementAmong;
            im.site = m.site;
            im.move = static_cast<uint16_t>(&m - code.moves.data());
            im.operand = m.from;   // ElementAt: its first index's place
            im.parts = m.parts;
            break;
        case NumberMove::Operate:
        case NumberMove::OperateNumber: {
            int first;
            switch (m.op) {
            case Op::Add: first = IntegerMove::Add; break;
            case Op::Sub: first = IntegerMove::Sub; break;
            case Op::Mul: first = IntegerMove::Mul; break;
            case Op::Mod: first = IntegerMove::Mod; break;
            case Op::Eq: first = IntegerMove::Eq; break;
            case Op::Ne: first = IntegerMove::Ne; break;
            case Op::Lt: first = IntegerMove::Lt; break;
            case Op::Gt: first = IntegerMove::Gt; break;
            case Op::Le: first = IntegerMove::Le; break;
            case Op::Ge: first = IntegerMove::Ge; break;
            default: return;
            }
            if (m.kind == NumberMove::OperateNumber) {
                if (!wholeInt32(m.number, im.operand)) return;
                im.code = static_cast<IntegerMove::Code>(first + 1);
                // a % -d is a % d; 0, 1, -1 and the smallest INT keep the division.
                if (const int32_t d = im.operand; first == IntegerMove::Mod && d != INT32_MIN && (d >= 2 || d <= -2)) {
                    const auto positive = static_cast<uint32_t>(d < 0 ? -d : d);
                    const Reciprocal r = reciprocalOf(positive);
                    im.code = IntegerMove::ModBy;
                    im.operand = static_cast<int32_t>(positive);
                    im.magic = r.magic;
                    im.shift = r.shift;
                }
            } else {
                im.code = static_cast<IntegerMove::Code>(first);
                im.operand = m.from;
            }
            break;
        }
        default:
            return;
        }
        out.push_back(im);
    }
    // A name or an element read only to be added: the place it was read
    // into is free after the addition, so nothing reads it.
    for (size_t k = 1; k < out.size(); ++k) {
        IntegerMove &read = out[k - 1], &add = out[k];
        if ((read.code == IntegerMove::Name || read.code == IntegerMove::Element) && !read.negate &&
            add.code == IntegerMove::Add && add.operand == read.to && add.to != read.to) {
            read.code = read.code == IntegerMove::Name ? IntegerMove::AddName : IntegerMove::AddElement;
            read.to = add.to;
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    code.integer.moves = std::move(out);
    code.integer.resultAt = code.resultAt;
}

// runNumbers with calls among the moves (CompiledExpression::callMoves): a
// call's value that is not a number is kept as a value, and an operation
// on it is the general one. False, before any call, where runNumbers gives
// up; true with the value, or with the error set.
bool Evaluator::runMoves(CompiledExpression& code, double& result)
{
    vm.stringResult = false;
    double at[MaxNumberPlaces];
    uint64_t isText = 0;   // the places holding a text, in texts[textOf[place]]
    uint8_t textOf[MaxNumberPlaces];
    Value texts[MaxCallMoves];
    int textCount = 0;
    // Texts are rare (a call that returns one): while there are none, no
    // 64-bit shift, which a 32-bit build makes in several instructions.
    const auto textAt = [&](uint16_t p) { return isText && (isText >> p & 1); };
    const auto clearText = [&](uint16_t p) {
        if (isText) isText &= ~(uint64_t{1} << p);
    };
    const auto valueAt = [&](uint16_t p) {
        if (textAt(p)) return texts[textOf[p]];
        Value v{};
        v.kind = Kind::Number;
        v.number = at[p];
        return v;
    };
    const auto put = [&](uint16_t p, const Value& v) {
        if (v.kind != Kind::String) {
            at[p] = v.number;
            clearText(p);
            return;
        }
        // Only a call makes a text where there was none (text + text is
        // made in the place of the first): one per call at most.
        if (!textAt(p)) textOf[p] = static_cast<uint8_t>(textCount++);
        texts[textOf[p]] = v;
        isText |= uint64_t{1} << p;
    };
    for (const NumberMove& m : code.moves) {
        switch (m.kind) {
        case NumberMove::Operate:
        case NumberMove::OperateNumber: {
            if (!textAt(m.to) && !(m.kind == NumberMove::Operate && textAt(m.from))) {
                const double y = m.kind == NumberMove::Operate ? at[m.from] : m.number;
                if (const int failed = arithmetic(m.op, at[m.to], y)) return fail(failed), true;
                continue;
            }
            Value a = valueAt(m.to), b{};
            if (m.kind == NumberMove::Operate) {
                b = valueAt(m.from);
            } else {
                b.kind = Kind::Number;
                b.number = m.number;
            }
            if (!apply(m.op, a, b)) return true;
            put(m.to, a);
            continue;
        }
        case NumberMove::Literal:
            at[m.to] = m.number;
            clearText(m.to);
            continue;
        case NumberMove::Call: {
            // Numbers to a subroutine found before, the commonest call,
            // go to its parameters from their places.
            const uint16_t* places = code.callArgs.data() + m.from;
            bool numbers = true;
            for (int i = 0; isText && i < m.argCount; ++i) numbers = numbers && !textAt(places[i]);
            if (Variable* label = numbers ? subroutineAt(m.site, m.argCount) : nullptr) {
                NumberArguments source(*this, at, places, m.argCount);
                Variable* result;
                if (!runSubroutine(label, source, result)) return true;
                if (resultNumber(result, at[m.to])) {
                    clearText(m.to);
                    continue;
                }
                Value v;
                if (!valueOf(result, v)) return true;
                put(m.to, v);
                continue;
            }
            Value args[MaxCallMoveArgs];
            for (int i = 0; i < m.argCount; ++i) args[i] = valueAt(code.callArgs[m.from + i]);
            Value v{};
            if (!call(code.pool.data() + m.text, nullptr, args, m.argCount, v, m.site)) return true;
            put(m.to, v);
            continue;
        }
        default: {
            // Loads come before any call (numbersAndCalls): giving up is
            // still possible.
            double x;
            if (m.kind == NumberMove::Constant) x = static_cast<double>(static_cast<uint32_t>(vm.constants[m.from]));
            else if (m.kind == NumberMove::Copy) x = at[m.from];
            else if (!(m.kind == NumberMove::Name ? loadName(vm, code, m, x) : loadElement(vm, m, x))) return false;
            at[m.to] = m.negate ? -x : x;
            clearText(m.to);
            continue;
        }
        }
    }
    if (textAt(code.resultAt)) {
        if (setStringResult(texts[textOf[code.resultAt]])) vm.stringResult = true;
        result = 0;
        return true;
    }
    result = at[code.resultAt];
    return true;
}

bool Evaluator::setStringResult(const Value& v)
{
    Variable* s = vm.sysString;
    if (!s || !s->base) return fail(ErrNoMemory);
    const size_t capacity = s->dims[0] > 0 ? static_cast<size_t>(s->dims[0]) : Ostrin::StringResultSize;
    const size_t n = std::min(v.length, std::min(capacity, static_cast<size_t>(Ostrin::StringResultSize)) - 1);
    std::memmove(s->base, v.text, n);
    s->base[n] = 0;
    s->data = s->base;
    return true;
}

// The evaluator's records take kilobytes of stack, which a 32-bit Windows
// build probes page by page on entry: kept out of evaluate, they leave the
// numeric run its small frame.
[[gnu::noinline]] double runGeneral(Ostrin& vm, CompiledExpression& code)
{
    Evaluator ev(vm);
    return code.singleCall ? ev.runCall(code) : ev.run(code);
}
[[gnu::noinline]] bool runCallMoves(Ostrin& vm, CompiledExpression& code, double& result)
{
    return Evaluator(vm).runMoves(code, result);
}
[[gnu::noinline]] double runText(Ostrin& vm, const char* text)
{
    TextWork work;
    return Evaluator(vm, &work).run(text);
}

}  // namespace

// Compiled expressions by their text: an open-addressed table that stops
// taking entries when it is three quarters full. A text that does not
// compile keeps an entry without code, so it is not read again.
struct ExpressionCache {
    struct Entry {
        uint32_t hash = 0;
        uint32_t length = 0;
        char* text = nullptr;
        CompiledExpression* code = nullptr;
    };
    static constexpr size_t Size = 4096;
    static constexpr size_t MaxEntries = Size / 4 * 3;
    Entry entries[Size];
    size_t used = 0;

    ~ExpressionCache()
    {
        for (Entry& e : entries) {
            std::free(e.text);
            delete e.code;
        }
    }
    CompiledExpression* find(const char* text);
};

CompiledExpression* ExpressionCache::find(const char* text)
{
    uint32_t hash = 2166136261u;
    size_t length = 0;
    for (; length < WorkSize && text[length]; ++length)
        hash = (hash ^ static_cast<unsigned char>(text[length])) * 16777619u;
    if (length >= WorkSize) return nullptr;
    for (size_t i = hash & (Size - 1);; i = (i + 1) & (Size - 1)) {
        Entry& e = entries[i];
        if (!e.text) {
            if (used == MaxEntries) return nullptr;
            auto* code = new (std::nothrow) CompiledExpression;
            char* copy = static_cast<char*>(std::malloc(length + 1));
            if (!code || !copy) {
                delete code;
                std::free(copy);
                return nullptr;
            }
            std::memcpy(copy, text, length + 1);
            if (!Compiler(*code).compile(text, length)) {
                delete code;
                code = nullptr;
            }
            e.hash = hash;
            e.length = static_cast<uint32_t>(length);
            e.text = copy;
            e.code = code;
            ++used;
            return code;
        }
        if (e.hash == hash && e.length == length && std::memcmp(e.text, text, length) == 0) return e.code;
    }
}

CompiledExpression* Ostrin::compiledForm(const char* text)
{
    if (!expressions) expressions = new (std::nothrow) ExpressionCache;
    return expressions ? expressions->find(text) : nullptr;
}

double Ostrin::evaluate(const char* text, CompiledExpression** known)
{
    if (stackLow()) return fail(ErrStackFull), 0;
    if (useCaches && text) {
        CompiledExpression* code = known ? *known : nullptr;
        if (!code) {
            code = compiledForm(text);
            if (known) *known = code;
        }
        if (code) {
            double result = 0;
            if (code->numeric && runNumbers(*this, *code, result)) return errorCode ? 0 : result;
            if (code->callMoves && runCallMoves(*this, *code, result)) return errorCode ? 0 : result;
            return runGeneral(*this, *code);
        }
    }
    return runText(*this, text);
}

// evaluate's run of a compiled numeric expression, for a caller holding
// its compiled form, without the way in through evaluate.
bool Ostrin::runNumberCode(CompiledExpression& code, double& result) { return runNumbers(*this, code, result); }

const IntegerCode* Ostrin::integerCodeOf(const CompiledExpression* code)
{
    return code && !code->integer.moves.empty() ? &code->integer : nullptr;
}

bool Ostrin::runsCallMoves(const CompiledExpression* code) { return code && code->callMoves; }

const Variable* Ostrin::integerName(CompiledExpression& code, uint16_t move)
{
    // Another level of a recursion found it, the commonest miss.
    if (const Variable* v = frameHit(*code.moves[move].site); v && !v->indexed && v->data) return v;
    Variable* var = numberVariable(*this, code, code.moves[move]);
    return var ? selectWhole(var) : nullptr;
}

Variable* Ostrin::indexedArray(CompiledExpression& code, uint16_t move)
{
    return numberVariable(*this, code, code.moves[move]);
}

CompiledExpression* Ostrin::elementCode(const char* ref)
{
    if (!useCaches || !hasComputedIndex(ref)) return nullptr;
    CompiledExpression* code = compiledForm(ref);
    const bool alone = code && code->numeric && code->operands.size() == 1 && code->operands[0].index &&
                       !code->operands[0].negate;
    return alone ? code : nullptr;
}

Variable* Ostrin::selectByCode(CompiledExpression* code)
{
    int32_t i;
    double d;
    // Its last move is the element's (ElementAt), which fills its site.
    if (!code || (!integerFromCode(code, i) && !numberFromCode(code, d)) || errorCode) return nullptr;
    return code->moves.back().site->var;
}

bool Ostrin::isNumericCode(const CompiledExpression* code) { return code && code->numeric; }

bool Ostrin::isCompiled(const char* text)
{
    return expressions && expressions->find(text) != nullptr;
}

void Ostrin::freeExpressions()
{
    forgetCompiledForms();
    delete expressions;
    expressions = nullptr;
}
