// Control flow: jumps, subroutine calls and returns, conditionals, loops and
// selection.
//
// Every block statement finds its end by scanning the lines forward by
// opcode, counting nesting; with caches on, the scan is done once per line.
// Calls,
// selections, repeat and while loops keep frames of two control-stack
// entries (a saved line index, then a mark above every line index); counted
// loops keep their state in the loop variable. A statement that transfers
// control sets lineIndex to the line *before* the one that must run next,
// because the run loop adds one after every statement.
#include "ostrin.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "convert.h"
#include "text.h"

namespace {

constexpr uint16_t OpWhile = 4, OpEndWhile = 5, OpConditional = 6, OpEndConditional = 7;
constexpr uint16_t OpSelect = 41, OpCase = 42, OpEndSelect = 43, OpReturn = 45;
constexpr uint16_t OpDefaultCase = 52, OpElse = 55, OpRepeat = 78, OpUntil = 79;

// Set before a line runs; an empty line leaves it, so a stale opcode of the
// previous statement is never mistaken for the one just run.
constexpr uint16_t NoOpcode = 0xFFFF;

const char ThenToken[] = "\xFF\xED\xEA";
const char ElseToken[] = "\xFF\xE3\xE7";

// Opcode of a statement line, or -1 for a plain or empty line.
int lineOpcode(const char* line)
{
    const auto* u = reinterpret_cast<const unsigned char*>(line);
    if (u[0] != 0xFF || !u[1] || !u[2]) return -1;
    return ((u[1] - 0xE0) * 16 + (u[2] - 0xE0)) & 0xFFFF;
}

// The first three-byte token outside double quotes, or null.
char* findToken(char* text, const char* token)
{
    bool quoted = false;
    for (char* p = text; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        else if (!quoted && p[0] == token[0] && p[1] == token[1] && p[1] && p[2] == token[2]) return p;
    }
    return nullptr;
}

bool isBlockConditional(char* line)
{
    return lineOpcode(line) == OpConditional && !findToken(line + 3, ThenToken);
}

// Index of the line that closes the block opened on line `from`: nesting
// starts at 1, `open` adds one, `close` takes one away. -1 when the lines
// run out first.
int64_t findBlockEnd(const Ostrin& in, uint32_t from, int open, int close)
{
    int depth = 1;
    for (uint32_t i = from + 1; i < in.lineCount; ++i) {
        const int op = lineOpcode(in.lines[i]);
        if (op == open) ++depth;
        else if (op == close && --depth == 0) return i;
    }
    return -1;
}

// Where a block conditional on line `from` goes when its condition is
// false: its else or end conditional.
int64_t falseBranchOf(const Ostrin& in, uint32_t from)
{
    int depth = 1;
    for (uint32_t i = from + 1; i < in.lineCount; ++i) {
        const int op = lineOpcode(in.lines[i]);
        if (op == OpConditional && isBlockConditional(in.lines[i])) ++depth;
        else if (op == OpEndConditional) --depth;
        else if (op == OpElse && depth == 1) depth = 0;
        if (depth == 0) return i;
    }
    return -1;
}

// The end conditional that an else on line `from` skips to.
int64_t elseEndOf(const Ostrin& in, uint32_t from)
{
    int depth = 1;
    for (uint32_t i = from + 1; i < in.lineCount; ++i) {
        const int op = lineOpcode(in.lines[i]);
        if (op == OpConditional && isBlockConditional(in.lines[i])) ++depth;
        else if (op == OpEndConditional && --depth == 0) return i;
    }
    return -1;
}

int64_t whileEndOf(const Ostrin& in, uint32_t from) { return findBlockEnd(in, from, OpWhile, OpEndWhile); }
int64_t untilOf(const Ostrin& in, uint32_t from) { return findBlockEnd(in, from, OpRepeat, OpUntil); }
int64_t endSelectOf(const Ostrin& in, uint32_t from) { return findBlockEnd(in, from, OpSelect, OpEndSelect); }

// Lines never change while a program runs, so each scan is done once per
// line and kind of scan (a line's inline branches may run two kinds).
enum ScanKind : uint8_t { ScanWhile = 1, ScanRepeat, ScanSelect, ScanFalseBranch, ScanElseEnd };

int64_t blockEnd(Ostrin& in, uint32_t from, ScanKind kind, int64_t (*scan)(const Ostrin&, uint32_t))
{
    Ostrin::BlockEnd* known = in.blockEndOf(from);
    if (known && known->kind == kind) return known->line;
    const int64_t end = scan(in, from);
    if (known && known->kind == 0) *known = {static_cast<int32_t>(end), kind};
    return end;
}

// Holds a copy of a single-line conditional's text on the interpreter's
// scratch stack for as long as the statement runs. The inline statement may
// call a subroutine that runs the same line again, so neither the image nor
// one shared buffer could be cut instead.
struct ScratchCopy {
    ScratchStack& stack;
    ScratchStack::Mark mark;
    char* text;
    ScratchCopy(ScratchStack& s, const char* from)
        : stack(s), mark(s.mark()), text(s.push(std::strlen(from) + 1))
    {
        if (text) std::strcpy(text, from);
    }
    ~ScratchCopy() { stack.release(mark); }
};

// A name argument without its surrounding blanks, bounded to one argument.
void copyName(char* out, const char* text)
{
    text = skipBlanks(text);
    size_t n = std::strlen(text);
    while (n && isBlank(text[n - 1])) --n;
    if (n > ArgSize - 1) n = ArgSize - 1;
    std::memcpy(out, text, n);
    out[n] = 0;
}

// Releases storage the parameter owns before it borrows someone else's.
void dropOwnStorage(Variable* p)
{
    char* block = p->indexed && p->base ? p->base : p->data;
    if (!p->sharedData && block != p->local) std::free(block);
    p->data = p->base = nullptr;
}

void shareStorage(Variable* p, char* data)
{
    dropOwnStorage(p);
    p->data = data;
    p->sharedData = 1;
}

// Where the target of a jump or call (argument 0) was found: the call of
// an expression brings its own site, a line keeps one in its memo.
NameSite* targetSite(Statement* st)
{
    if (st->argSites) return st->argSites[0];
    return st->memo ? &st->memo->names[0] : nullptr;
}

// Gives a zeroed record the shape of the parameter decl declares, all but
// its name (a kept record has it already).
void shapeParameter(Variable* p, const Variable* decl)
{
    p->type = decl->type;
    p->capacity = decl->capacity;
    p->width = decl->width;
    p->returnType = decl->returnType;
    p->sharedData = decl->sharedData;
    p->borrowed = decl->borrowed;
    std::memcpy(p->dims, decl->dims, sizeof p->dims);
    p->count = decl->count;
    p->indexed = decl->indexed;
}

// Makes a kept frame's record as a new one comes, field by field: clearing
// the whole record took twice as long, a third of a call's frame work. A
// parameter's record takes the shape of its declaration `decl` (each field
// written once); the head's (no decl) is zeroed. Its name stays, as no
// record's name changes once given (a kept parameter keeps its own, a head
// has none), and its library name is only ever set on a new external
// function's record, which no frame keeps (keepOrFreeFrame checks).
void remakeKeptRecord(Variable* p, const Variable* decl)
{
    p->prev = p->next = p->members = p->target = nullptr;
    p->data = p->base = nullptr;
    p->builtIn = p->external = p->readOnly = p->libraryFlag = 0;
    std::memset(p->local, 0, sizeof p->local);
    if (decl) {
        shapeParameter(p, decl);
        return;
    }
    p->type = 0;
    p->capacity = p->width = p->returnType = 0;
    p->count = 0;
    p->borrowed = p->indexed = p->sharedData = 0;
    p->dims[0] = p->dims[1] = p->dims[2] = 0;
}
// Every field above and the two it leaves: a field added to the record
// must be set there too.
static_assert(offsetof(Variable, local) + sizeof(Variable::local) == sizeof(Variable) &&
              offsetof(Variable, library) + sizeof(Variable::library) == offsetof(Variable, dims) &&
              offsetof(Variable, prev) == sizeof(Variable::name));

// A number of up to 8 bytes, kept in its parameter's own record.
bool keptInRecord(const Variable* decl)
{
    return !decl->sharedData && decl->count && isNumericType(decl->type) && !decl->indexed &&
           uint64_t{decl->count} * typeSize(decl->type) <= sizeof decl->local;
}

// A fresh copy of the parameter that decl declares, unlinked: its shape,
// and zeroed storage of its own unless it borrows the argument's. Null
// with the error set.
Variable* newParameter(Ostrin& in, const Variable* decl)
{
    Variable* p = in.newVariableRecord();
    if (!p) {
        in.failOnce(ErrNoMemory);
        return nullptr;
    }
    // The declared names were checked when declared.
    std::memcpy(p->name, decl->name, sizeof p->name);
    p->name[sizeof p->name - 1] = 0;
    shapeParameter(p, decl);
    if (keptInRecord(decl)) {
        p->data = p->local;   // zeroed with the record
        return p;
    }
    if (decl->sharedData || !decl->count) return p;

    // A string keeps 255 characters and one zero byte after them, as a
    // declared one does.
    const bool isString = decl->type == TypeString;
    const uint64_t bytes = isString ? 255 + 1 : uint64_t{decl->count} * typeSize(decl->type);
    if (!bytes) return p;
    char* block = bytes <= 0x7FFFFFFF ? static_cast<char*>(std::calloc(static_cast<size_t>(bytes), 1)) : nullptr;
    if (!block) {
        in.dropVariableRecord(p);
        in.failOnce(ErrNoMemory);
        return nullptr;
    }
    p->data = block;
    if (isString) p->base = block;
    return p;
}

}  // namespace

// The LABEL a jump or call names. A target "$name" takes the label's name
// from the string variable `name`. Null with the error set: the lookup's
// own error for "$", 12 when no such label exists, 14 when it is no label.
// `site` keeps where a plain target was found.
Variable* Ostrin::findLabel(char* target, NameSite* site)
{
    char name[ArgSize];
    target = skipBlanks(target);
    if (*target == '$') {
        Variable* holder = findVariable(target + 1, nullptr, false);
        if (!holder) return nullptr;
        if (holder->type != TypeString || !holder->data) {
            fail(ErrType);
            return nullptr;
        }
        copyName(name, holder->data);
        site = nullptr;   // the name changes with the holder
    } else {
        if (Variable* known = siteOrFrameHit(site); known && known->type == TypeLabel) return known;
        copyName(name, target);
    }
    Variable* label = findVariable(name, nullptr, false, site);
    if (!label) {
        fail(ErrNoTarget);
        return nullptr;
    }
    if (label->type != TypeLabel) {
        fail(ErrType);
        return nullptr;
    }
    return label;
}

bool Ostrin::runNested(Statement* st)
{
    st->resultType = NoResult;
    while (lineIndex < lineCount) {
        st->opcode = NoOpcode;
        const bool goOn = step(st);
        ++lineIndex;
        if (!goOn || errorCode) return false;
        if (st->opcode == OpReturn) return true;
    }
    return false;
}

// --- Labels and jumps ---------------------------------------------------------

Statement* Ostrin::jump(Statement* st)
{
    if (st->argCount == 0) return fail(ErrMalformed);
    Variable* label = findLabel(st->args[0], targetSite(st));
    if (!label) return nullptr;
    lineIndex = static_cast<uint32_t>(label->capacity);

    // A jump leaves every selection it is inside; loop and call frames stay.
    while (controlTop > 0 && controlStack[controlTop - 1] == MarkSelect) {
        popControl();
        popControl();
    }
    return st;
}

Statement* Ostrin::noOperation(Statement* st)
{
    if (st->argCount != 0) return fail(ErrMalformed);
    return st;
}

// --- Subroutines ----------------------------------------------------------------

// Gives parameter p the value of argument a. Returns 0, or the error code
// when the value does not fit the parameter.
int Ostrin::bindParameter(Variable* p, const ArgValue& a)
{
    Variable* av = a.variable;
    if (av && p->indexed) {
        // Arrays and string variables pass by reference.
        if (av->type != p->type || !av->indexed) return ErrType;
        dropOwnStorage(p);
        p->sharedData = 1;
        p->data = a.dataPtr;
        p->base = av->base;
        std::memcpy(p->dims, av->dims, sizeof p->dims);
        p->capacity = av->capacity;
        p->width = av->width;
        p->returnType = av->returnType;
        p->count = av->count;
        if (av->type == TypeString && av->width > 1 && a.dataPtr != av->base) {
            // One element of a string array: the parameter is that string,
            // not the array (used without an index it would fall back to
            // the first element).
            p->base = a.dataPtr;
            p->width = 1;
            p->dims[0] = av->capacity;
            p->count = static_cast<uint32_t>(av->capacity);
        }
        return ErrNone;
    }

    const uint8_t t = a.type;
    const bool integral = t == TypeChar || t == TypeInt || t == TypeWord || t == TypeUInt;
    const bool floating = t == TypeFloat || t == TypeDouble;
    const bool wide = t == TypeInt64 || t == TypeUInt64;
    // A value parameter without storage (an array parameter given a
    // value) has nowhere to keep the value.
    const bool hasStorage = p->data != nullptr;
    switch (p->type) {
    case TypeString:
        if (t != TypeString) return ErrType;
        if (p->sharedData || !p->data) {
            // No storage of its own: a private 255-byte string, so longer
            // values arrive cut to 254 characters; the zero byte after it
            // ends the string as a declared one's does.
            char* buffer = static_cast<char*>(std::calloc(255 + 1, 1));
            if (!buffer) return ErrNoMemory;
            p->data = p->base = buffer;
            p->capacity = 255;
            p->width = 1;
            p->count = 255;
            p->dims[0] = 255;
            p->indexed = 1;
            p->sharedData = 0;
        }
        copyText(p->data, a.text ? a.text : "", p->capacity - 1);
        return ErrNone;
    case TypeInt:
    case TypeUInt:
    case TypeWord:
        if (!(integral || floating) || !hasStorage) return ErrType;
        if (p->type == TypeWord) *reinterpret_cast<uint16_t*>(p->data) = static_cast<uint16_t>(a.intValue);
        else *reinterpret_cast<int32_t*>(p->data) = a.intValue;
        return ErrNone;
    case TypeFloat:
        if (!(integral || floating) || t == TypeChar || !hasStorage) return ErrType;
        *reinterpret_cast<float*>(p->data) = static_cast<float>(a.doubleValue);
        return ErrNone;
    case TypeDouble:
        if (!(integral || floating || wide) || t == TypeChar || !hasStorage) return ErrType;
        *reinterpret_cast<double*>(p->data) = a.doubleValue;
        return ErrNone;
    case TypeInt64:
    case TypeUInt64:
        if (!(integral || floating || wide) || !hasStorage) return ErrType;
        *reinterpret_cast<int64_t*>(p->data) = a.int64Value;
        return ErrNone;
    case TypeMemory:
    case TypeFile:
    case TypeWindow:
    case TypeDialog:
    case TypeBFile:
        if (!av || t != p->type) return ErrType;
        shareStorage(p, a.dataPtr);
        return ErrNone;
    case TypeUser:
        if (!av || t != TypeUser) return ErrType;
        shareStorage(p, a.dataPtr);
        p->returnType = av->returnType;   // the record type's packing
        return ErrNone;
    case TypePointer:
        if (!av) return ErrType;
        shareStorage(p, a.dataPtr);
        p->target = t == TypePointer ? av->target : av;
        return ErrNone;
    default:
        return ErrParamType;
    }
}

// Builds the subroutine's parameter copies after a borrowed head record and
// binds the call's arguments 1, 2, ... to them in order. Returns the head,
// or null with the error set (nothing is left allocated then).
Variable* Ostrin::bindParameters(Variable* label, CallArguments& args, Variable*& last)
{
    Variable* head = takeKeptFrame(label->members, last);
    if (!head) head = newFrame(label->members, last);
    if (!head) return nullptr;

    // Missing arguments leave parameters at their zero or empty values;
    // extra arguments are ignored.
    Variable* p = head->next;
    const int count = args.count();
    for (int k = args.bindLeading(p); k < count && p; ++k, p = p->next) {
        const Variable* var;
        int32_t whole;
        if (args.known(k, var, whole) && bindKnown(p, var, whole)) continue;
        ArgValue a{};
        int code = ErrNone;
        if (!args.read(k, a) || (code = bindParameter(p, a)) != ErrNone) {
            if (code) fail(code);
            freeVariables(head, false);
            return nullptr;
        }
    }
    return head;
}

namespace {

// Links p to the end of a frame, last its end so far.
inline void append(Variable*& last, Variable* p)
{
    last->next = p;
    p->prev = last;
    last = p;
}

}  // namespace

// The head and parameter copies of a new call of the subroutine whose
// declarations decls heads, and its last record. Null with the error set.
Variable* Ostrin::newFrame(const Variable* decls, Variable*& last)
{
    Variable* head = newVariableRecord();
    if (!head) {
        fail(ErrNoMemory);
        return nullptr;
    }
    head->borrowed = 1;
    last = head;
    for (const Variable* decl = decls->next; decl; decl = decl->next) {
        Variable* p = newParameter(*this, decl);
        if (!p) {
            freeVariables(head, false);
            return nullptr;
        }
        append(last, p);
    }
    return head;
}

// A finished call's frame serves a later call of the subroutine when every
// parameter is a number kept in its own record and the frame is as the
// call made it (none freed): its records are made fresh instead of being
// freed and allocated again. The declarations' head keeps such frames, the
// last first, each head's target the one before and its capacity their
// count: the levels of a recursion each find one.
void Ostrin::keepOrFreeFrame(Variable* decls, Variable* head)
{
    const int32_t kept = decls->target ? decls->target->capacity : 0;
    bool reusable = useCaches && kept < MaxKeptFrames && !head->library[0];
    const Variable* p = head->next;
    // Only a parameter made for a number kept in its record has its data
    // there (newParameter, takeKeptFrame).
    for (const Variable* d = decls->next; reusable && d; d = d->next) {
        reusable = p && p->data == p->local && p->type == d->type && !p->library[0];
        if (reusable) p = p->next;
    }
    if (!reusable || p) {
        freeVariables(head, false, true);
        return;
    }
    chainsChanged(true);   // as freeing it would
    head->target = decls->target;
    head->capacity = kept + 1;
    decls->target = head;
}

// The frame a finished call of the subroutine kept last, its records as
// newFrame makes them, or null.
Variable* Ostrin::takeKeptFrame(Variable* decls, Variable*& last)
{
    Variable* head = decls->target;
    if (!head) return nullptr;
    decls->target = head->target;
    Variable* p = head->next;
    remakeKeptRecord(head, nullptr);
    head->borrowed = 1;
    last = head;
    for (const Variable* d = decls->next; d; d = d->next) {
        Variable* next = p->next;
        remakeKeptRecord(p, d);
        p->data = p->local;
        append(last, p);
        p = next;
    }
    return head;
}

// Frees the frames a subroutine's declarations keep.
void Ostrin::freeKeptFrames(Variable* decls)
{
    while (Variable* head = decls->target) {
        decls->target = head->target;
        freeVariables(head, false);
    }
}

// Gives the call just entered (its parameters made the running chain,
// which gave it a fresh version) that version, or the one it had when it
// was last entered in the same state.
void Ostrin::enterCallVersion(const Variable* label, uint64_t callerVersion, const Variable* params)
{
    CallEntry& e = callEntries[(reinterpret_cast<uintptr_t>(label) / sizeof(Variable) + callerVersion * 31) %
                               CallEntryCount];
    const Variable* v = params;
    size_t n = 0;
    if (e.label == label && e.callerVersion == callerVersion) {
        while (v && n < CallEntryRecords && e.records[n] == v) v = v->next, ++n;
        if (!v && (n == CallEntryRecords || !e.records[n])) {
            chainVersion = e.version;
            return;
        }
    }
    for (; v; v = v->next, ++n)
        if (n == CallEntryRecords) return;   // too many to compare: always fresh
    e.label = label;
    e.callerVersion = callerVersion;
    e.version = chainVersion;
    n = 0;
    for (v = params; v; v = v->next) e.records[n++] = v;
    std::fill(e.records + n, e.records + CallEntryRecords, nullptr);
}

namespace {

// Whether a finished call's chain ends in variables it declared itself:
// the head and the parameters of its frame are all borrowed, and freeing
// stops at the first borrowed record from the end.
bool endsInLocals(const Variable* chain)
{
    const Variable* v = chain;
    while (v && v->next) v = v->next;
    return v && !v->borrowed;
}

// A call statement's arguments: its texts after the label.
class StatementArguments final : public CallArguments {
public:
    StatementArguments(Ostrin& vm, Statement* st) : vm(vm), st(st) {}
    int count() const override { return st->argCount - 1; }
    bool read(int k, ArgValue& out) override { return vm.evalArg(st, k + 1, KindAny, out); }

private:
    Ostrin& vm;
    Statement* st;
};

}  // namespace

Statement* Ostrin::call(Statement* st)
{
    if (st->argCount == 0) return fail(ErrMalformed);
    if (!pushCallFrame()) return nullptr;
    Variable* label = findLabel(st->args[0], targetSite(st));
    if (!label) return nullptr;
    StatementArguments args(*this, st);
    return enterSubroutine(label, args, st->resultType) ? st : nullptr;
}

[[gnu::always_inline]] inline bool Ostrin::openFrame(Variable* label, CallArguments& args, OpenFrame& f)
{
    // The arguments are read in the caller's scope, before the call's own
    // is entered (no lookup can tell the difference, and what the caller
    // found stays found).
    f.callerVersion = chainVersion;
    f.outsideBefore = outsideChanges;
    f.callerChain = runningChain();
    f.params = nullptr;
    Variable* paramsLast = nullptr;
    if (label->members) {
        f.params = bindParameters(label, args, paramsLast);
        if (!f.params) return false;
    }
    const uint64_t enteredFrom = chainVersion;
    // Nothing is looked up before setRunningChain below gives the call a
    // fresh version: pushing the scope needs none of its own.
    scopeStack.push_back(f.callerChain);
    // Nothing outside the call changing while it runs (see chainsChanged)
    // leaves the caller's chain as it is now, its last record too.
    f.callerLast = lastVariable;
    f.outsideAtEntry = outsideChanges;
    setRunningChain(f.params, true, paramsLast);
    enterCallVersion(label, enteredFrom, f.params);
    f.callerFrame = frame;
    frame = {label, f.params, f.params, chainVersion, nullptr};
    return true;
}

[[gnu::always_inline]] inline void Ostrin::closeFrame(Variable* label, OpenFrame& f)
{
    frame = f.callerFrame;
    // The subroutine's own variables go first, while they are the running
    // chain; the parameter copies after them keep only borrowed storage.
    Variable* locals = runningChain();
    if (locals != f.callerChain && endsInLocals(locals)) freeVariables(locals, true, true);
    assert(!scopeStack.empty());
    Variable* saved = scopeStack.back();
    scopeStack.pop_back();
    setRunningChain(saved, true, outsideChanges == f.outsideAtEntry ? f.callerLast : nullptr);
    if (f.params) keepOrFreeFrame(label->members, f.params);
    if (outsideChanges == f.outsideBefore) chainVersion = f.callerVersion;
}

// The call after its frame is pushed and its label found.
bool Ostrin::enterSubroutine(Variable* label, CallArguments& args, uint32_t& resultType, bool pastFirstLine)
{
    OpenFrame f;
    if (!openFrame(label, args, f)) return false;
    // The nested loop needs a statement record of its own: the caller's is
    // still being executed (and may be an expression's function call).
    Statement* body = reuseStatement();
    if (!body) {
        closeFrame(label, f);
        failOnce(ErrNoMemory);
        return false;
    }
    lineIndex = static_cast<uint32_t>(label->capacity) + 1 + pastFirstLine;
    const bool returned = runNested(body);
    resultType = body->resultType;
    keepStatement(body);
    closeFrame(label, f);
    --lineIndex;
    return !errorCode && returned;   // no error: the lines ran out
}

namespace {

// A call's INT parameters as their values give them.
class ParameterValues final : public CallArguments {
public:
    ParameterValues(const int32_t* values, uint32_t n) : values(values), n(static_cast<int>(n)) {}
    int count() const override { return n; }
    bool read(int k, ArgValue& out) override
    {
        setFromInt64(out, values[k]);
        out.type = TypeInt;
        return true;
    }
    bool known(int k, const Variable*& var, int32_t& whole) override
    {
        var = nullptr;
        whole = values[k];
        return true;
    }
    int bindLeading(Variable*& p) override { return bindLeadingKnown(*this, p); }
    bool knownInts(int n, int32_t* values) override { return knownIntsOf(*this, n, values); }

private:
    const int32_t* values;
    int n;
};

}  // namespace

// The second line of a subroutine whose first did not return
// (runWithoutFrame): a kept return of an expression with calls, a
// recursion's step. It runs as the frame's way runs it (returnLine), but
// without the frame: the parameters' values stand in for it, read by their
// names' loads (framelessValue), and a name outside it is found where the
// frame's way finds it (frameHit), the running chain being still the
// caller's. The first lookup that needs the frame after all (a name not
// found so: the outside changed, or a name is run as a statement) makes it
// then, with the same values (frameOnDemand): nothing ran in the frame
// before that could have changed it.
bool Ostrin::returnWithoutFrame(Variable* label, const int32_t* values, uint32_t count, Statement* st, char* text,
                                LineMemo& memo)
{
    FramelessCall call(label, values, count);
    const RunningCall callerFrame = frame;
    // A version of its own, as a frame has: its names' sites, filled in
    // other calls of the subroutine, are not the caller's, even where the
    // caller is one of those calls.
    const uint64_t callerVersion = chainVersion, outsideBefore = outsideChanges;
    chainVersion = ++versionClock;
    frame = {label, nullptr, runningChain(), chainVersion, &call};
    const bool returned = returnLine(st, text, ClassExpression, memo) && !errorCode;
    if (call.opened) closeFrame(label, call.open);
    frame = callerFrame;
    if (outsideChanges == outsideBefore) chainVersion = callerVersion;
    return returned;
}

void Ostrin::frameOnDemand()
{
    FramelessCall& call = *frame.frameless;
    ParameterValues args(call.values, call.count);
    call.opened = openFrame(call.label, args, call.open);
}

Statement* Ostrin::returnStatement(Statement* st)
{
    if (st->argCount == 0) return returnWith(st, nullptr);
    // The result is evaluated while the call frame still stands, so a
    // failure in it reports this line, and «return f()» recursion stays
    // bounded by the control stack. A name is read where the line found it
    // last time.
    LineMemo* memo = st->memo;
    NameSite* site = st->argSites ? st->argSites[0] : memo ? &memo->names[0] : nullptr;
    ArgValue v{};
    if (!readArgument(st->args[0], st->argClass[0], site, KindAny, v, memo ? &memo->code : nullptr)) return nullptr;
    return returnWith(st, &v);
}

// A kept return line, run from its value's text without filling st,
// which only takes the result (runDirect).
bool Ostrin::returnLine(Statement* st, char* text, int cls, LineMemo& memo)
{
    st->opcode = OpReturn;   // what runNested waits for
    st->resultType = NoResult;   // as refilling it would: a value of no result type leaves none
    if (cls != ClassExpression) {
        // An INT found where it was, or at its place in this level of a
        // recursion («return N»), goes back as readArgument would read it.
        if (cls == ClassVariable)
            if (const Variable* var = siteOrFrameHit(&memo.names[0]);
                var && var->type == TypeInt && !var->indexed && var->data) {
                int32_t x;
                std::memcpy(&x, var->data, sizeof x);
                return leaveCall() && setIntResult(st, x);
            }
        ArgValue v{};
        return readArgument(text, cls, &memo.names[0], KindAny, v, &memo.code) && returnWith(st, &v);
    }
    // An expression's number, the commonest result, goes to SYSTEM_DOUBLE0
    // without passing through an argument's every width.
    text = skipBlanks(text);
    // The integers give the doubles' value, but for the sign of a zero.
    int32_t whole;
    const bool integral = integerFromCode(memo.code, whole) && (whole || errorCode);
    const double d = integral ? whole : evaluate(text, &memo.code);
    if (errorCode) return false;
    if (!stringResult && !namesCurrentWindow(text, KindAny)) return leaveCall() && setDoubleResult(st, d);
    ArgValue v{};
    expressionValue(text, KindAny, d, v);
    return !errorCode && returnWith(st, &v);
}

// Back to the line after the call; false with error 35 outside a call.
bool Ostrin::leaveCall()
{
    // Loop and selection frames opened inside the subroutine go with it.
    for (;;) {
        const int32_t mark = popControl();
        if (mark == MarkCall) break;
        if (mark < MarkCall) return fail(ErrReturnNoCall), false;
        popControl();
    }
    lineIndex = static_cast<uint32_t>(popControl());
    return true;
}

// The return after its value (null: none) is read: back to the caller,
// the value in the result variable of its type.
Statement* Ostrin::returnWith(Statement* st, const ArgValue* value)
{
    if (!leaveCall()) return nullptr;
    if (!value) return st;

    const ArgValue& v = *value;
    switch (v.type) {
    case TypeString:
        // A string function's result already sits in SYSTEM_STRING0.
        if (v.text == stringResultBuffer()) {
            st->resultType = TypeString;
            return st;
        }
        return setStringResult(st, v.text ? v.text : "");
    case TypeChar:
    case TypeInt:
    case TypeWord:
    case TypeUInt:
        return setIntResult(st, v.intValue);
    case TypeFloat:
        *reinterpret_cast<float*>(sysFloat->data) = v.floatValue;
        st->resultType = TypeFloat;
        return st;
    case TypeDouble:
        return setDoubleResult(st, v.doubleValue);
    case TypePointer:
        setPointerResult(st, reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(v.handle))));
        sysPointer->target = v.variable ? v.variable->target : nullptr;
        return st;
    case TypeInt64:
        return setInt64Result(st, v.int64Value);
    case TypeUInt64:
        setInt64Result(st, v.int64Value);
        st->resultType = TypeUInt64;
        return st;
    default:
        return st;   // other kinds deliver no result
    }
}

// --- Conditionals -----------------------------------------------------------------

Statement* Ostrin::conditional(Statement* st)
{
    char* text = st->argText;
    // Whether the line is a block conditional is a fact of its text, and so
    // are where its then and else stand: the memo keeps them (shape 1: a
    // block; 2: a then-branch, marks[0] the then, marks[1] the else or 0).
    LineMemo* memo = st->memo;
    char* then = nullptr;
    char* elseAt = nullptr;
    if (memo && memo->shape == 2) {
        then = text + memo->marks[0];
        if (memo->marks[1]) elseAt = text + memo->marks[1];
    } else if (!memo || memo->shape != 1) {
        then = findToken(text, ThenToken);
        if (then) elseAt = findToken(then + 3, ElseToken);
        if (memo && !then) {
            memo->shape = 1;
        } else if (memo && static_cast<size_t>((elseAt ? elseAt : then) - text) <= UINT16_MAX) {
            memo->shape = 2;
            memo->marks[0] = static_cast<uint16_t>(then - text);
            memo->marks[1] = static_cast<uint16_t>(elseAt ? elseAt - text : 0);
        }
    }
    if (!then) return blockCondition(text, memo) ? st : nullptr;
    return thenBranch(st, text, memo, then, elseAt);
}

// A kept conditional line with a then-branch, run from its text and memo
// (runDirect): -1 before the handler has read its shape.
int Ostrin::inlineCondition(Statement* st, char* text, LineMemo& memo)
{
    if (memo.shape != 2) return -1;
    return thenBranch(st, text, &memo, text + memo.marks[0], memo.marks[1] ? text + memo.marks[1] : nullptr) != nullptr;
}

// A conditional with a then-branch, its then and else (or null) found.
Statement* Ostrin::thenBranch(Statement* st, char* text, LineMemo* memo, char* then, char* elseAt)
{
    // The condition is the same text every time the line runs: the memo
    // keeps its compiled form (the line's text as a whole is never one),
    // and each branch its decoded form. Once both are there, neither text
    // is read again, and the line need not be copied and cut.
    double cond = 0;
    const bool compiled = memo && memo->code;
    if (compiled) {
        cond = conditionValue(text, &memo->code);
        if (errorCode) return nullptr;
        const int which = cond != 0 ? 0 : 1;
        if (which == 1 && !elseAt) return st;
        if (memo->branches[which]) return runInline(st, text, memo, which);
    }

    // The condition and the branches are cut apart in a copy.
    ScratchCopy copy(scratch, text);
    if (!copy.text) return fail(ErrNoMemory);
    char* condition = copy.text;
    char* branch = copy.text + (then - text);
    char* otherBranch = elseAt ? copy.text + (elseAt - text) : nullptr;
    *branch = 0;
    branch += 3;
    if (!compiled) {
        cond = evaluate(condition, memo ? &memo->code : nullptr);
        if (errorCode) return nullptr;
    }

    if (cond == 0) return otherBranch ? runInline(st, otherBranch + 3, memo, 1) : st;
    if (otherBranch) *otherBranch = 0;
    return runInline(st, branch, memo, 0);
}

// A block conditional: a false condition continues after the matching else
// or end conditional.
bool Ostrin::blockCondition(char* text, LineMemo* memo)
{
    const double cond = conditionValue(text, memo ? &memo->code : nullptr);
    if (errorCode) return false;
    if (cond != 0) return true;
    const int64_t to = blockEnd(*this, lineIndex, ScanFalseBranch, falseBranchOf);
    if (to < 0) return fail(ErrNoElseOrEnd), false;
    lineIndex = static_cast<uint32_t>(to);
    return true;
}

Statement* Ostrin::elseStatement(Statement* st) { return skipElse() ? st : nullptr; }

// Reached at the end of a then-branch: skip the else-branch.
bool Ostrin::skipElse()
{
    const int64_t to = blockEnd(*this, lineIndex, ScanElseEnd, elseEndOf);
    if (to < 0) return fail(ErrElseNoEnd), false;
    lineIndex = static_cast<uint32_t>(to);
    return true;
}

// --- Loops ------------------------------------------------------------------------

Statement* Ostrin::countedLoop(Statement* st)
{
    if (st->argCount == 0) return fail(ErrArgCount);
    char name[ArgSize];
    copyName(name, st->args[0]);
    Variable* v = findVariable(name, nullptr, false);
    if (!v) {
        if (errorCode != ErrUndefined) return nullptr;
        errorCode = 0;
        v = defineVariable(name, TypeInt, 1, nullptr);
        if (!v) return nullptr;
    }
    if (v->type != TypeInt && v->type != TypeUInt) return fail(ErrNotInteger);
    if (!v->data) return fail(ErrType);   // a parameter with nothing bound
    int32_t* value = reinterpret_cast<int32_t*>(v->data);

    ArgValue start, limit, stepBy;
    if (!evalArg(st, 1, KindNumber, start)) return nullptr;
    *value = start.intValue;
    v->capacity = static_cast<int32_t>(lineIndex);
    if (!evalArg(st, 2, KindNumber, limit)) return nullptr;
    int32_t step = 1;
    if (st->argCount >= 4) {
        if (!evalArg(st, 3, KindNumber, stepBy)) return nullptr;
        step = stepBy.intValue;
    }
    v->width = limit.intValue;
    v->returnType = step;
    return st;   // the body always runs once: the test is at next step
}

Statement* Ostrin::nextStep(Statement* st)
{
    if (st->argCount == 0) return fail(ErrMalformed);
    return stepCounter(st->args[0], st->memo ? &st->memo->names[0] : nullptr) ? st : nullptr;
}

// Advances the counted loop of the variable `name` (found through site).
bool Ostrin::stepCounter(char* name, NameSite* site)
{
    Variable* v = findVariable(name, nullptr, false, site);
    if (!v) return false;
    // Only INT and UINT variables carry loop state; a step of 0 means no
    // loop is active on this variable.
    if ((v->type != TypeInt && v->type != TypeUInt) || v->returnType == 0 || !v->data) {
        fail(ErrType);
        return false;
    }

    advanceCounter(v);
    return true;
}

Statement* Ostrin::whileLoop(Statement* st) { return whileTest(st->argText, st->memo) ? st : nullptr; }

bool Ostrin::whileTest(char* text, LineMemo* memo)
{
    const int64_t end = blockEnd(*this, lineIndex, ScanWhile, whileEndOf);
    if (end < 0) return fail(ErrNoEndWhile), false;
    const double cond = conditionValue(text, memo ? &memo->code : nullptr);
    if (errorCode) return false;
    if (cond == 0) {
        lineIndex = static_cast<uint32_t>(end);
        return true;
    }
    // Saving the line before the while makes end while re-run the test.
    if (!pushControl(static_cast<int32_t>(lineIndex - 1)) || !pushControl(MarkWhile)) return fail(ErrStackFull), false;
    return true;
}

int64_t Ostrin::blockJump(uint32_t line)
{
    switch (lineOpcode(lines[line])) {
    case OpWhile: return blockEnd(*this, line, ScanWhile, whileEndOf);
    case OpConditional: return blockEnd(*this, line, ScanFalseBranch, falseBranchOf);
    case OpElse: return blockEnd(*this, line, ScanElseEnd, elseEndOf);
    default: return -1;
    }
}

Statement* Ostrin::endWhile(Statement* st) { return whileEnd() ? st : nullptr; }

bool Ostrin::whileEnd()
{
    if (popControl() != MarkWhile) return fail(ErrEndWhileNoWhile), false;
    lineIndex = static_cast<uint32_t>(popControl());
    return true;
}

Statement* Ostrin::repeat(Statement* st)
{
    if (blockEnd(*this, lineIndex, ScanRepeat, untilOf) < 0) return fail(ErrNoUntil);
    if (st->argCount != 0) return fail(ErrMalformed);
    if (!pushControl(static_cast<int32_t>(lineIndex - 1)) || !pushControl(MarkRepeat)) return fail(ErrStackFull);
    return st;
}

Statement* Ostrin::until(Statement* st)
{
    int32_t value = 1;
    if (st->argCount == 1) {
        ArgValue v;
        if (!evalArg(st, 0, KindNumber, v)) return nullptr;
        value = v.intValue;   // truncated: 0.5 loops again
    }
    if (popControl() != MarkRepeat) return fail(ErrUntilNoRepeat);
    const auto saved = static_cast<uint32_t>(popControl());
    if (value == 0) lineIndex = saved;   // the repeat runs again and pushes a fresh frame
    return st;
}

// --- Selection --------------------------------------------------------------------

Statement* Ostrin::select(Statement* st)
{
    const int64_t end = blockEnd(*this, lineIndex, ScanSelect, endSelectOf);
    if (end < 0) return fail(ErrNoEndSelect);
    if (!pushControl(static_cast<int32_t>(end)) || !pushControl(MarkSelect)) return fail(ErrStackFull);

    // Each case is tested as the text «selector=case value».
    char test[ArgSize];
    const char* selector = st->argText;
    const size_t selectorLength = std::strlen(selector);

    int depth = 0;
    bool matched = false;
    int64_t defaultLine = -1;
    for (auto i = static_cast<uint32_t>(lineIndex + 1); i < static_cast<uint32_t>(end); ++i) {
        const int op = lineOpcode(lines[i]);
        if (!matched) {
            if (op == OpSelect) ++depth;
            else if (op == OpEndSelect && depth > 0) --depth;
            else if (depth == 0 && op == OpCase) {
                const char* value = lines[i] + 3;
                const size_t valueLength = std::strlen(value);
                if (selectorLength + 1 + valueLength >= sizeof test) return fail(ErrMalformed);
                std::memcpy(test, selector, selectorLength);
                test[selectorLength] = '=';
                std::memcpy(test + selectorLength + 1, value, valueLength + 1);
                const double hit = evaluate(test);
                if (errorCode) return nullptr;
                matched = hit != 0;
            } else if (depth == 0 && op == OpDefaultCase) {
                defaultLine = i;
            }
        } else if (depth == 0 && op != OpCase && op != OpDefaultCase) {
            // Case lines right after the matching one share its body.
            lineIndex = i - 1;
            return st;
        }
    }

    if (matched) lineIndex = static_cast<uint32_t>(end - 1);   // an empty last body
    else if (defaultLine >= 0) lineIndex = static_cast<uint32_t>(defaultLine);
    // Otherwise the next line is the first case, which leaves the selection.
    return st;
}

// Case and default case are reached only by running off the end of a case
// body: execution continues after the end select.
Statement* Ostrin::caseStatement(Statement* st)
{
    if (popControl() != MarkSelect) return fail(ErrCaseNoSelect);
    lineIndex = static_cast<uint32_t>(popControl());
    return st;
}

Statement* Ostrin::endSelect(Statement* st)
{
    if (popControl() != MarkSelect) return fail(ErrEndSelectNoSelect);
    popControl();
    return st;
}
