// Ostrin: the interpreter of one program image.
//
// The image is split into zero-terminated lines once; a line is decoded into
// a Statement (from its kept decoded form when caches are on) and handed to
// the handler that HandlerTable holds for its opcode. Statements are member
// operations of this one class, so handlers reach the run state directly.
// Errors travel as codes: a failing handler sets errorCode and returns
// nullptr; the run loop is the single place that stops and reports.
//
// This header knows nothing of windows: window and dialog objects are opaque
// pointers that the UI layer creates and destroys through UiHost.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "convert.h"
#include "host.h"
#include "integer_moves.h"
#include "scratch.h"
#include "values.h"

// A declared record type: its name (15 significant characters), the lines
// of its body between the record-type statement and its end, and the packing
// used when an instance is laid out for an external call.
struct RecordType {
    char name[16] = {};
    uint32_t firstLine = 0;
    uint32_t lastLine = 0;
    int32_t packing = 8;
};

// A window message as the event routing receives it. It has the layout of a
// Windows MSG (32-bit), so the UI layer hands over its own records unchanged.
class CFileFinder;

struct EventMessage {
    void* hwnd;
    uint32_t message;
    uint32_t wParam;
    int32_t lParam;
    uint32_t time;
    int32_t x, y;
};

struct ExpressionCache;
struct CompiledExpression;

// The arguments of a call after its label, read one at a time in order,
// each just before its parameter is bound: the texts of a call statement,
// or the values of an expression's function call.
class CallArguments {
public:
    virtual int count() const = 0;
    // Argument k (from 0) as evalArg reads it for any kind; false with the
    // error set.
    virtual bool read(int k, ArgValue& out) = 0;
    // Argument k when it is known without reading it: a whole number that
    // an INT holds (var null), or the variable a name stands for, found
    // where read would find it. False: read it.
    virtual bool known(int, const Variable*& var, int32_t& whole)
    {
        (void)var, (void)whole;
        return false;
    }
    // Binds the leading arguments that `known` gives to the parameters
    // from p on, as bindLeadingKnown does, and returns how many, p moved
    // past them: one virtual call for all of them, inside which a final
    // class's `known` is inlined (a call per argument was half of what
    // binding it cost).
    virtual int bindLeading(Variable*& p)
    {
        (void)p;
        return 0;
    }
    // The first n arguments (n <= count()) as knownInt gives them to INT
    // parameters; false where one is not known so. One virtual call for
    // them all, as bindLeading.
    virtual bool knownInts(int n, int32_t* values)
    {
        (void)values;
        return n == 0;   // as `known` above: none is
    }

protected:
    ~CallArguments() = default;
};

// The INT an argument known without reading it (CallArguments::known)
// gives an INT parameter: its whole number, an INT's value, or a DOUBLE's
// truncated. False: the argument must be bound by its value.
inline bool knownInt(const Variable* var, int32_t& whole)
{
    if (!var) return true;
    if (var->indexed || !var->data) return false;
    if (var->type == TypeDouble) {
        double d;
        std::memcpy(&d, var->data, sizeof d);
        whole = truncToInt32(d);
        return true;
    }
    if (var->type != TypeInt) return false;
    std::memcpy(&whole, var->data, sizeof whole);
    return true;
}

// Binds an argument known without reading it, a whole number or an INT or
// DOUBLE variable, to an INT or DOUBLE parameter kept in its record: the
// value bindParameter gives it, without the argument's every
// representation made first. False: bind it by its value.
inline bool bindKnown(Variable* p, const Variable* var, int32_t whole)
{
    if (p->data != p->local || (p->type != TypeInt && p->type != TypeDouble)) return false;
    if (var && var->type == TypeDouble && p->type == TypeDouble) {
        if (var->indexed || !var->data) return false;
        std::memcpy(p->data, var->data, sizeof(double));
        return true;
    }
    if (!knownInt(var, whole)) return false;
    if (p->type == TypeInt) *reinterpret_cast<int32_t*>(p->data) = whole;
    else *reinterpret_cast<double*>(p->data) = whole;
    return true;
}

// CallArguments::bindLeading for a final class Args: its arguments 0, 1, ...
// bound by bindKnown to the parameters from p on, up to the first that
// `known` or bindKnown leaves to be read, where p stops.
template <class Args> int bindLeadingKnown(Args& args, Variable*& p)
{
    int k = 0;
    for (const int n = args.count(); k < n && p; ++k, p = p->next) {
        const Variable* var;
        int32_t whole;
        if (!args.known(k, var, whole) || !bindKnown(p, var, whole)) break;
    }
    return k;
}

// CallArguments::knownInts for a final class Args.
template <class Args> bool knownIntsOf(Args& args, int n, int32_t* values)
{
    for (int k = 0; k < n; ++k) {
        const Variable* var;
        if (!args.known(k, var, values[k]) || !knownInt(var, values[k])) return false;
    }
    return true;
}

class Ostrin {
public:
    using Handler = Statement* (Ostrin::*)(Statement* st);

    static constexpr int HandlerCount = 250;
    static constexpr int ConstantCount = 498;
    static constexpr int ControlStackSize = 4096;
    static constexpr int WorkBufferSize = 0xFFFF;
    static constexpr int StringResultSize = 65536;
    static constexpr int CurrentWindowSlot = 72;

    // Control stack frame marks, above every line index.
    static constexpr int32_t MarkCall = 90000;
    static constexpr int32_t MarkSelect = 90001;
    static constexpr int32_t MarkRepeat = 90002;
    static constexpr int32_t MarkWhile = 90003;

    Ostrin();
    Ostrin(const Ostrin&) = delete;
    Ostrin& operator=(const Ostrin&) = delete;
    virtual ~Ostrin();

    // The two virtual operations, in this order. reportError shows the
    // error of the finished run, if any; onStart runs once as a run starts.
    virtual void reportError();
    virtual void onStart();

    // --- Lifecycle (app/) -------------------------------------------------
    // Creates the run-time state; 1 on success, 0 when memory runs out.
    int load();
    // Lends the unscrambled image; it must outlive the run.
    void attachImage(char* text) { image = text; }
    // Splits the image into lines; 1 when lines were stored.
    int splitLines();
    // Defines every label before the first statement runs; 0 on failure.
    int collectLabels();
    // Runs the attached image; 1 when it ended without an error.
    int run();
    // Releases the run-time state; safe to call more than once.
    void release();
    // Zero-based source line of the line being executed.
    int currentLineNumber() const;

    // --- Statements and the run loop (interp/decode.cpp, run.cpp) --------
    Statement* newStatement(int argCount);
    // A full-size statement from the pool, else a new one (null with the
    // error set), and its return to the pool: inline, as every subroutine
    // call takes one and gives it back.
    Statement* reuseStatement()
    {
        if (statementPool.empty()) return newStatement(MaxArgs);
        Statement* st = statementPool.back();
        statementPool.pop_back();
        st->argCount = 0;
        st->argText = st->buffer;
        st->buffer[0] = 0;
        st->memo = nullptr;
        st->argSites = nullptr;
        return st;
    }
    void keepStatement(Statement* st)
    {
        if (!st->lent && statementPool.size() < StatementPoolSize) statementPool.push_back(st);
        else deleteStatement(st);
    }
    void deleteStatement(Statement* st);
    // 0 on success, 1 on failure with errorCode set.
    int decodeStatement(Statement* st, char* line);
    // Decodes st's line at lineIndex and calls its handler, as the run loop
    // does for one line; false when the loop must stop.
    bool step(Statement* st);
    // Runs lines from lineIndex with st, as the run loop does, until a
    // return statement has run (true), or a handler fails, an error is set
    // or the lines run out (false). lineIndex ends past the last line run.
    bool runNested(Statement* st);
    int pushControl(int32_t value);
    int32_t popControl();
    // Subroutines, and the functions and statements an evaluation runs,
    // nest on the C++ stack; not every recursion passes the control stack
    // («return f()» pops its frame before it calls again, a selection
    // evaluates its case lines). True when less than StackMargin of this
    // thread's stack is left: the nesting is refused then (error 34).
    // Asked before every evaluation: the stack's end is found once (an
    // interpreter runs on one thread). Always inline: as the code grew, the
    // inliner began to leave it a call in the integer lines.
    static constexpr size_t StackMargin = 256 * 1024;
    [[gnu::always_inline]] bool stackLow() const
    {
        char here = 0;
        const auto at = reinterpret_cast<uintptr_t>(&here);
        if (!stackEnd && !(stackEnd = findStackEnd(at))) return false;
        return at - stackEnd < StackMargin;
    }

    // --- Variables (interp/variables.cpp, records.cpp) ---------------------
    // chain null = the running chain. A site (for a text that never
    // changes) remembers where a plain name was found, so the next lookup
    // from there costs a comparison while no chain has changed.
    Variable* defineVariable(char* name, int type, uint32_t count, Variable* chain);
    // «name[index]» (isElementReference) through the sites of its two
    // names: the element selected, or null having changed nothing when a
    // site is stale or the reference is no numeric element in range.
    // Inline: every numeric element of a loop goes through it.
    Variable* elementBySites(const NameSite* sites)
    {
        char* d = elementData(sites);
        if (!d) return nullptr;
        sites[0].var->data = d;
        return sites[0].var;
    }
    // The address elementBySites would select, or null.
    char* elementData(const NameSite* sites) const
    {
        const Variable* a = sites[0].var;
        const Variable* index = sites[1].var;
        if (!a || !index || sites[0].version != chainVersion || sites[1].version != chainVersion) return nullptr;
        // An INT array as the index is read at its first element, as the
        // full lookup selects it, not where it was last selected.
        if (errorCode || !useCaches || !isNumericType(a->type) || !a->base || index->type != TypeInt ||
            index->indexed || !index->data)
            return nullptr;
        int32_t i;
        std::memcpy(&i, index->data, sizeof i);
        if (i < 0 || i >= a->dims[0]) return nullptr;   // the full lookup reports it
        return a->base + static_cast<size_t>(i) * static_cast<size_t>(typeSize(a->type));
    }
    // After a full lookup of such a reference found `found`, fills the two
    // sites, so the next lookup from there goes by elementBySites.
    void rememberElement(const char* ref, Variable* found, NameSite* sites);
    // A zeroed variable record, and its return: every call makes and drops
    // its parameters, so records are kept for reuse rather than freed.
    Variable* newVariableRecord();
    void dropVariableRecord(Variable* v);
    Variable* findVariable(char* ref, Variable* chain, bool runIfMissing, NameSite* site = nullptr)
    {
        // A plain name found before is found in the same place while no
        // chain has changed. A site is only ever filled for a plain name,
        // so a hit needs no look at the text.
        if (!chain)
            if (Variable* v = siteHit(site)) return selectWhole(v);
        return searchVariable(ref, chain, runIfMissing, site);
    }
    // What a site still holds, or null when the name must be looked up
    // again: a chain changed, or an error is pending (the search differs
    // then: no fallback to the top-level chain).
    Variable* siteHit(const NameSite* site) const
    {
        return site && site->var && site->version == chainVersion && !errorCode && useCaches ? site->var : nullptr;
    }
    // siteHit, or the same place in this level of a recursion (frameHit).
    // findVariable asks frameHit only past its inline check, which stays
    // small for every line.
    Variable* siteOrFrameHit(NameSite* site)
    {
        if (Variable* v = siteHit(site)) return v;
        return site ? frameHit(*site) : nullptr;
    }
    // A site filled in another call of the running subroutine, while this
    // call's chain is as it began (nothing defined or freed in it since):
    // the parameter at the same place of this frame, or the same variable
    // outside when nothing outside the calls changed since. Inline: the
    // levels of a recursion ask it for each name they read.
    Variable* frameHit(NameSite& site)
    {
        // A site with a subroutine has a place (fillSite); its variable is
        // cleared where it must not be used (rememberElement).
        if (site.label != frame.label || !site.label || !site.var || chainVersion != frame.version ||
            errorCode || !useCaches || runningChain() != frame.chain)
            return nullptr;
        Variable* v = site.var;
        if (site.place == OutsideFrame) {
            if (site.outside != outsideChanges) return nullptr;
        } else {
            // A call without a frame has no parameter to walk to.
            v = frame.params;
            for (uint32_t k = 0; v && k < site.place; ++k) v = v->next;
            if (!v) return nullptr;
        }
        site.var = v;
        site.version = chainVersion;
        return v;
    }
    // frameHit as a call, where inlining it would cost a hot loop registers.
    [[gnu::noinline]] Variable* frameHitCall(NameSite& site) { return frameHit(site); }
    void fillSite(NameSite& site, Variable* v);
    // `confined`: the chain is the running call's own (see chainsChanged).
    void freeVariables(Variable* chain, bool stopAtBorrowed, bool confined = false);
    uint32_t recordSize(Variable* head);
    char* packRecord(Variable* head, char* out);
    char* unpackRecord(Variable* head, char* in);
    void writeRecord(Variable* head, FILE* stream);
    void readRecord(Variable* head, FILE* stream);
    bool copyRecord(Variable* dest, Variable* src);
    // First record of the running chain after the built-in ones.
    Variable* runningChain() const { return precVar.next; }
    // A variable found without an index: an indexed one back at its first
    // element, a string at its whole capacity. Returns v.
    static Variable* selectWhole(Variable* v)
    {
        if (v->type == TypeString && v->width == 1) v->capacity = v->dims[0];
        if (v->indexed) v->data = v->base;
        return v;
    }
    // `last`, when known, is the chain's last record: the program's chain
    // holds every variable and label, too long to walk on every return.
    void setRunningChain(Variable* chain, bool confined = false, Variable* last = nullptr);
    // True when v is still a variable of the program: in the running chain
    // or a caller's, a record instance's member or a label's parameter.
    // Whoever holds a variable across an evaluation, which may run a
    // statement that frees it, asks this when chainVersion moved.
    bool holdsVariable(const Variable* v) const;

    // --- Expressions and arguments (interp/expression.cpp, arguments.cpp) --
    // Evaluates an expression text; a string result lands in SYSTEM_STRING0
    // with stringResult set. On failure errorCode is set and 0 returned.
    // `known`, for a text that never changes (a line's argument), keeps
    // its compiled form between evaluations.
    double evaluate(const char* text, CompiledExpression** known = nullptr);
    void freeExpressions();
    // True when the text has a compiled form in the cache.
    bool isCompiled(const char* text);
    // A compiled expression of numbers and names alone, run as evaluate
    // runs it: true with the result or the error set; false where evaluate
    // must take it (not such an expression, a name not where it was, a
    // stack too low). It runs no statement, so no chain changes. Always
    // inline, as stackLow.
    [[gnu::always_inline]] bool numberFromCode(CompiledExpression* code, double& result)
    {
        return useCaches && isNumericCode(code) && !stackLow() && runNumberCode(*code, result);
    }
    static bool isNumericCode(const CompiledExpression* code);
    bool runNumberCode(CompiledExpression& code, double& result);
    // numberFromCode on 32-bit integers, for a caller that cannot tell a
    // minus zero from a zero (an INT store, a condition) or takes a zero
    // from the doubles (a return): false also where a value is not a whole
    // number within 32 bits, and numberFromCode must then take it. Inline,
    // as the commonest lines' whole work.
    bool integerFromCode(CompiledExpression* code, int32_t& result);
    template <class Name, class Element, class ElementAt>
    [[gnu::always_inline]] bool runIntegerMoves(const IntegerCode& ic, int32_t& result, Name& name, Element& element,
                                                ElementAt& elementAt);
    static const IntegerCode* integerCodeOf(const CompiledExpression* code);
    // Whether a compiled expression runs as moves with calls among them.
    static bool runsCallMoves(const CompiledExpression* code);
    // An integral expression's name (its move) looked up again.
    const Variable* integerName(CompiledExpression& code, uint16_t move);
    // The array of an element whose indices are computed (its move),
    // looked up again by its name: null where it holds no number.
    Variable* indexedArray(CompiledExpression& code, uint16_t move);
    // The compiled form of an element whose indices are computed
    // (computedIndex), when it compiles to that element alone; else null.
    CompiledExpression* elementCode(const char* ref);
    // Selects the element such a form names, as the full lookup would: its
    // array, or null (nothing but selections changed) where the full
    // lookup must decide.
    Variable* selectByCode(CompiledExpression* code);
    // A condition's value, which only its comparison with zero reads.
    double conditionValue(const char* text, CompiledExpression** known)
    {
        int32_t i;
        if (known && integerFromCode(*known, i)) return errorCode ? 0 : i;
        return evaluate(text, known);
    }
    // Evaluates argument i as the requested kind (a TypeCode or an ArgKind).
    // `known` as for evaluate, for an argument that is an expression.
    bool evalArg(Statement* st, int i, int kind, ArgValue& out, CompiledExpression** known = nullptr);
    // Reads an argument text of the given class (ClassNumber...) as evalArg
    // does, without the check of its kind; out must come in cleared. `site`
    // keeps where a variable argument was found.
    bool readArgument(char* text, int cls, NameSite* site, int kind, ArgValue& out,
                      CompiledExpression** known = nullptr);
    // The argument that an expression text, evaluated to d, gives.
    void expressionValue(char* text, int kind, double d, ArgValue& out);
    // Runs the subroutine at label with the given arguments, as a call
    // statement naming it does; its result's type goes to resultType.
    // False on an error, and without one when the lines ran out.
    bool callSubroutine(Variable* label, CallArguments& args, uint32_t& resultType)
    {
        const int done = callWithoutFrame(label, args, resultType);
        if (done >= 0) return done != 0;
        return pushCallFrame() && enterSubroutine(label, args, resultType, done == PastFirstLine);
    }
    // A subroutine whose first line returns an integer expression of its
    // INT parameters alone («return (X*3 + Y) % 1009»), or does when a
    // condition on them holds, called as callSubroutine does but without a
    // frame, once that line is kept and its names were found in a frame
    // (run.cpp). 1 when it ran, 0 with the error set, -1 when the call must
    // make its frame, PastFirstLine when it must and its first line, a
    // condition that does not hold, has run.
    int callWithoutFrame(Variable* label, CallArguments& args, uint32_t& resultType);
    static constexpr int PastFirstLine = -2;
    // The system variable that a resultType names, or null for none.
    Variable* resultVariable(uint32_t resultType) const;

    // Result convention: store a value in its system variable and set
    // resultType. Each returns st so a handler can `return setInt(st, v)`.
    Statement* setIntResult(Statement* st, int32_t value);
    Statement* setDoubleResult(Statement* st, double value);
    Statement* setInt64Result(Statement* st, int64_t value);
    Statement* setPointerResult(Statement* st, void* value);
    // Copies at most the capacity of SYSTEM_STRING0 minus one characters.
    Statement* setStringResult(Statement* st, const char* text, size_t length);
    Statement* setStringResult(Statement* st, const char* text);
    char* stringResultBuffer() const { return sysString->base; }

    // --- Events (ui/windows/events.cpp) ----------------------------------
    // Runs the program's handler label for one message of a window or
    // dialog object (opaque here), with the event entries of the constant
    // table and lineIndex saved around it. Returns the handler's integer
    // result, or 0 (also when an error is set or nothing is loaded).
    int dispatchEvent(void* window, const EventMessage* msg);

    // --- Errors ------------------------------------------------------------
    // Sets the error and returns nullptr, so a handler can `return fail(..)`.
    Statement* fail(int code) { errorCode = static_cast<uint8_t>(code); return nullptr; }
    // Sets the error only when none is set yet (lookups keep the first code).
    void failOnce(int code) { if (!errorCode) errorCode = static_cast<uint8_t>(code); }

    // --- Handlers ------------------------------------------------------------
#define OP(code, fn) Statement* fn(Statement* st);
#define SHARED(code, fn)
#include "opcodes.def"
#include "ui/ui_opcodes.def"   // defined and registered by the UI library
#undef OP
#undef SHARED

    // --- State ---------------------------------------------------------------
    Handler handlers[HandlerCount] = {};
    // The handler of an opcode, or null for one with none (error 1).
    Handler handlerFor(int opcode) const { return opcode >= 0 && opcode < HandlerCount ? handlers[opcode] : nullptr; }
    int32_t constants[ConstantCount] = {};

    char* image = nullptr;
    char** lines = nullptr;
    uint16_t* lineNumbers = nullptr;
    uint32_t lineCount = 0;
    uint32_t lineIndex = 0;

    // Full-size statements given back by nested calls, kept for reuse.
    static constexpr size_t StatementPoolSize = 64;
    std::vector<Statement*> statementPool;
    static constexpr size_t VariablePoolSize = 256;
    std::vector<Variable*> variablePool;

    Statement* mainStatement = nullptr;
    Statement* innerStatement = nullptr;
    int32_t* controlStack = nullptr;
    uint32_t controlTop = 0;

    // The built-in head of the variable chain and the saved chains of the
    // callers of the running subroutine (first = the top-level program's).
    Variable stdoutVar{}, stdinVar{}, precVar{};
    // The standard streams, held in a slot like every FILE variable's
    // stream, so file statements read all of them the same way.
    FILE* stdStreams[2] = {};
    Variable* lastVariable = nullptr;
    std::vector<Variable*> scopeStack;

    std::vector<RecordType*> recordTypes;
    std::unordered_map<std::string, uint32_t> namedConstants;
    std::vector<void*> windowList;
    // Directory enumerations the program started and has not closed; they
    // end with the run (library/files.cpp).
    std::vector<CFileFinder*> fileFinders;

    Variable* sysFloat = nullptr;
    Variable* sysInt = nullptr;
    Variable* sysInt64 = nullptr;
    Variable* sysDouble = nullptr;
    Variable* sysString = nullptr;
    Variable* sysPointer = nullptr;

    char* workBuffer = nullptr;
    // String values of the evaluations in progress (expression.cpp).
    ScratchStack scratch;
    int32_t decimalPrecision = 2;
    int loaded = 0;
    std::string programDirectory;
    uint8_t errorCode = 0;
    bool stringResult = false;
    bool consoleOpen = false;
    bool printing = false;   // a print is building its line in workBuffer (PrintLineBuffer)
    // The window the print statements draw into instead of the console;
    // null for the console.
    void* outputWindow = nullptr;
    bool implicitDeclarations = true;     // the implicit-declaration switch
#ifdef OSTRIN_NATIVE
    uint64_t stepsLeft = UINT64_MAX;      // lines a native run may still run
    // And the moment it ends (steady clock, milliseconds; 0 for never),
    // looked at every 8 lines: one line may cost a great deal (a huge
    // array made and freed), so a bound on lines is no bound on time.
    uint64_t stopAtMs = 0;
#endif

    // Caches that change nothing a program can see, only how often texts
    // are read again: compiled expressions, where names were found, decoded
    // lines and block ends. Off, every text is read each time it runs (the
    // differential tests compare both ways).
    bool useCaches = true;
    ExpressionCache* expressions = nullptr;
    // A text's compiled form from the cache, which is made on first use;
    // null when the text does not compile or the cache is full.
    CompiledExpression* compiledForm(const char* text);
    // Advanced by every change of the variable chains (a variable defined
    // or freed, a scope entered or left), so a remembered lookup can tell
    // it is still right.
    uint64_t chainVersion = 0;   // 64 bits: it never wraps back onto a remembered value
    // Every change takes a version never used before. A call's own changes
    // (its parameters, its locals, entering and leaving its scope) are
    // invisible to its caller once it returns: when nothing else changed
    // meanwhile (outsideChanges stayed), the caller's version is restored,
    // so what the caller found before the call stays found.
    uint64_t versionClock = 0;
    uint64_t outsideChanges = 0;
    struct FramelessCall;
    // The running call: its subroutine, its parameters' head and the version
    // it was entered with. While chainVersion is still that version, the
    // running chain is exactly `chain` (see NameSite::place): the
    // parameters, or for a call without a frame (`frameless`), which has
    // none, its caller's chain.
    struct RunningCall {
        const Variable* label = nullptr;
        Variable* params = nullptr;
        Variable* chain = nullptr;
        uint64_t version = 0;
        FramelessCall* frameless = nullptr;
    } frame;
    // What a call's frame took over from its caller, which closeFrame gives
    // back.
    struct OpenFrame {
        uint64_t callerVersion, outsideBefore, outsideAtEntry;
        Variable *callerChain, *callerLast, *params;
        RunningCall callerFrame;
    };
    // A call running its second line without a frame (returnWithoutFrame):
    // its INT parameters' values, and the frame made for it if a lookup
    // needed one after all (frameOnDemand).
    struct FramelessCall {
        // `open` is left unset until a frame is made: most calls make none.
        FramelessCall(Variable* label, const int32_t* values, uint32_t count)
            : label(label), values(values), count(count)
        {
        }
        Variable* label;
        const int32_t* values;
        uint32_t count;
        bool opened = false;
        OpenFrame open;
    };
    // A parameter's value that a site of the frameless call's subroutine
    // names; false for any other site.
    bool framelessValue(const NameSite& site, int32_t& x) const
    {
        const FramelessCall* call = frame.frameless;
        if (site.label != call->label || !site.var || site.place == 0 || site.place > call->count) return false;
        x = call->values[site.place - 1];
        return true;
    }
    // The frame of a call without one, made when a lookup needs it; the
    // lookups go on in it.
    void frameOnDemand();
    void chainsChanged(bool confined) {
        chainVersion = ++versionClock;
        if (!confined) ++outsideChanges;
    }
    // Where plain names (a letter, then letters, digits and "_") were last
    // found, each entry valid while chainVersion stays as it was then.
    struct FoundName {
        char name[NameLength + 1];   // upper case
        Variable* var;
        uint64_t version;
    };
    static constexpr size_t FoundNameCount = 256;
    FoundName foundNames[FoundNameCount] = {};
    // How calls were last entered. A call from the same caller state (the
    // same version) whose parameters sit in the same records as then starts
    // from the same chains: it takes that entry's version back, so what its
    // lines found then stays found. Indexed by label and caller version.
    static constexpr size_t CallEntryRecords = 8;
    struct CallEntry {
        const Variable* label;
        uint64_t callerVersion;
        uint64_t version;
        const Variable* records[CallEntryRecords];   // the parameter chain, null after its end
    };
    static constexpr size_t CallEntryCount = 64;
    CallEntry callEntries[CallEntryCount] = {};
    // Each line as decoding left it, kept from its first run on (run.cpp);
    // null when caches are off.
    struct DecodedLine;
    DecodedLine* decodedLines = nullptr;
    // Where the scan for the end of a block from `line` led (control
    // flow): kind names the scan, 0 before the first; null when caches
    // are off.
    struct BlockEnd {
        int32_t line;
        uint8_t kind;
    };
    BlockEnd* blockEndOf(uint32_t line);
    // Forgets every kept decoded line and block end, as a new run starts
    // without them: for a host that changes a line's text between runs.
    void forgetDecodedLines() { prepareDecodedLines(); }

    UiHost* ui = nullptr;                 // null: no windows can exist
    ConsoleDevice* console = nullptr;     // never null once constructed

    void* currentWindow() const {
        return reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(constants[CurrentWindowSlot])));
    }
    void setCurrentWindow(void* w) {
        constants[CurrentWindowSlot] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(w));
    }

private:
    bool stepLine(Statement* st);
    // True, with the error set, when a native run has used up its lines or
    // its time (the fuzz build's bound); always false in the engine.
    bool outOfLines();
    Variable* searchVariable(char* ref, Variable* chain, bool runIfMissing, NameSite* site);
    static uintptr_t findStackEnd(uintptr_t here);
    mutable uintptr_t stackEnd = 0;
    void linkBuiltIns();
    void freeRecordTypes();
    int decodePlainLine(Statement* st, char* line);
    int decodeLabelCall(Statement* st, char* line, char* s, bool external);
    int decodeLine(Statement* st);
    int decodeKept(Statement* st, DecodedLine& d, char* text);
    int decodeBranch(Statement* st, char* text, LineMemo* memo, int which);
    void refillLine(Statement* st, DecodedLine& d);
    void prepareDecodedLines();
    void freeDecodedLines();
    void forgetCompiledForms();   // every memo's pointer into the expression cache
    Variable* searchChain(Variable* first, char* ref);
    Variable* findCurrentWindow(Variable* first);
    Variable* selectElement(Variable* v, char* index);
    void releaseObjects(Variable* v);
    void destroyFileFinders();
    // Control flow (statements/control_flow.cpp).
    Variable* findLabel(char* target, NameSite* site = nullptr);
    void enterCallVersion(const Variable* label, uint64_t callerVersion, const Variable* params);
    // Runs the statement text of an inline branch (`which`: 0 then, 1
    // else) of the conditional whose memo is given, or null.
    Statement* runInline(Statement* st, char* text, LineMemo* memo, int which);
    int bindParameter(Variable* p, const ArgValue& a);
    Variable* bindParameters(Variable* label, CallArguments& args, Variable*& last);
    Variable* newFrame(const Variable* decls, Variable*& last);
    void keepOrFreeFrame(Variable* decls, Variable* head);
    Variable* takeKeptFrame(Variable* decls, Variable*& last);
    void freeKeptFrames(Variable* decls);
    // As deep a recursion as keeps a frame for each of its levels.
    static constexpr int32_t MaxKeptFrames = 64;
    // Pushes what a return comes back through; false with error 34 when the
    // stack is low or the control stack full. Inline: every call pays it.
    [[gnu::always_inline]] bool pushCallFrame()
    {
        if (!stackLow() && pushControl(static_cast<int32_t>(lineIndex)) && pushControl(MarkCall)) return true;
        fail(ErrStackFull);
        return false;
    }
    // `pastFirstLine`: its first line has run (callWithoutFrame).
    bool enterSubroutine(Variable* label, CallArguments& args, uint32_t& resultType, bool pastFirstLine = false);
    // A call's frame: its parameters bound in the caller's scope, then its
    // own scope entered. False with the error set, nothing entered.
    bool openFrame(Variable* label, CallArguments& args, OpenFrame& f);
    // Leaves the frame openFrame opened: its locals freed, the caller's
    // scope back.
    void closeFrame(Variable* label, OpenFrame& f);
    // A subroutine's second line, a return of an expression with calls,
    // run with st after its first (runWithoutFrame), its parameters'
    // values standing in for its frame; true when it returned.
    bool returnWithoutFrame(Variable* label, const int32_t* values, uint32_t count, Statement* st, char* text,
                            LineMemo& memo);
    // The bodies of the loop and conditional handlers, which kept lines
    // run directly (runDirect).
    bool stepCounter(char* name, NameSite* site);
    bool whileTest(char* text, LineMemo* memo);
    bool whileEnd();
    bool blockCondition(char* text, LineMemo* memo);
    int inlineCondition(Statement* st, char* text, LineMemo& memo);
    Statement* thenBranch(Statement* st, char* text, LineMemo* memo, char* then, char* elseAt);
    bool skipElse();
    bool returnLine(Statement* st, char* text, int cls, LineMemo& memo);
    Statement* returnWith(Statement* st, const ArgValue* value);
    bool leaveCall();
    // Assignment (statements/assignment.cpp): one value into one name or
    // element whose line's memo knows that shape. -1 when the general path
    // must run it; `lookup` false: only through the memo's sites.
    int assignOne(LineMemo& memo, char* target, int cls, char* value, bool lookup);
    // The commonest line of a loop, before assignOne: an INT, or an element
    // of an INT array, found where it was (intTarget) and given an
    // expression integerFromCode takes. 1 stored, 0 failed with the error
    // set, -1 for assignOne. The caller has seen the value is a numeric
    // expression (ClassExpression, isNumericCode). Out of line: inlined, it
    // cost the run loop more registers than it saved.
    int assignInteger(LineMemo& memo);
    Variable* intTarget(LineMemo& memo);
    // A kept line of a statement that runs from its kept form alone, without
    // refilling its statement record: -1 when it must run through its handler.
    int runDirect(Statement* st, DecodedLine& d);
    // callWithoutFrame past its look at its first line, d.
    [[gnu::noinline]] int runWithoutFrame(Variable* label, CallArguments& args, uint32_t& resultType,
                                          DecodedLine& d);
    // runDirect for an assignment line.
    int assignLine(DecodedLine& d);
    // runDirect for a next_step line: the step, and while the loop goes on
    // around one kept assignment, the assignment and the step again.
    int stepLoop(DecodedLine& d);
    // stepLoop's turns of an assignment integerFromCode takes; -1 when
    // they cannot run so. Out of line: its turns keep their registers
    // apart from stepLoop's.
    [[gnu::noinline]] int integerTurns(DecodedLine& step, DecodedLine& body);
    // runDirect for an end_while line: back to the test, and the turns of
    // a loop of integer lines (integerLines).
    int endWhileLine(DecodedLine& d);
    int linesOfLoop(DecodedLine& d, uint32_t first, uint32_t end, Variable* counter);
    int integerLines(uint32_t first, uint32_t end, Variable* counter);
    // The line a kept while, block conditional or else goes to when it
    // does not go on to the next (the run loop adds one); -1 for none.
    int64_t blockJump(uint32_t line);
    // Line `line` left to the run loop, which runs it next.
    int handBack(uint32_t line);
    // An integer expression with its names' values and its elements'
    // arrays and indexes found once, for turns in which only integer moves
    // run: no chain changes then, and no name changes its type or place.
    static constexpr size_t MaxKeptMoves = 16;
    struct KeptMoves {
        const IntegerCode* ic;
        struct Operand {
            Variable* array;    // an element's; null for a name
            const char* data;   // a name's value, or an element's index (null: its index is computed)
        } operands[MaxKeptMoves];
    };
    // An assignment of such an expression to an INT or an element of an
    // INT array.
    struct KeptAssignment {
        Variable* target;
        const char* targetIndex;   // an element's index; null for a name
        // An element whose indices are computed: its form's moves, which
        // select it; else null.
        const KeptMoves* targetMoves;
        KeptMoves value;
    };
    // False when integerFromCode would not take the expression now, or it
    // has more operands than are kept.
    bool keepMoves(CompiledExpression* code, KeptMoves& k);
    // An element whose indices are computed keeps its moves in `spare`;
    // without one, such a target is refused.
    bool keepTarget(LineMemo& memo, KeptAssignment& a, KeptMoves* spare = nullptr);
    bool keepAssignment(DecodedLine& d, KeptAssignment& a, KeptMoves* spare = nullptr);
    // What storeVariable copies from now, when it is an INT named alone or
    // an element «name[index]» of an INT array with an INT index; false for
    // anything else (a label, a missing name, another type).
    bool intSource(char* text, KeptMoves::Operand& out);
    // Where a kept target stores now; null when its index is out of range.
    // `Computed`: the target may be an element whose indices are computed
    // (most loops of one assignment have none, and spare themselves the
    // check).
    template <bool Computed>
    char* keptPlace(const KeptAssignment& a);
    // runIntegerMoves over kept operands: false to hand the line back.
    bool runKeptMoves(const KeptMoves& k, int32_t& value);
    // 1 stored, 0 failed with the error set, -1 to hand the line back.
    template <bool Computed>
    int runKeptAssignment(const KeptAssignment& a);
    // integerTurns' turns, the assignment on line here - 1.
    template <bool Computed>
    int keptTurns(const KeptAssignment& a, Variable* counter, uint32_t here);
    [[gnu::noinline]] int computedTurns(DecodedLine& body, Variable* counter, uint32_t here);
    // The step of counter's counted loop, whose state it holds.
    void advanceCounter(Variable* counter);
    // Console (statements/console.cpp).
    void ensureConsole();
    void fillHandlerTable();
    void fillConstantTable();
};

// The buffer a print statement (console or printer) builds its line in
// while it evaluates its arguments: the shared work buffer for the
// outermost; a print run by a function that such an argument calls gets
// one of its own, or it would write over the line half built. data() is
// null without the memory.
class PrintLineBuffer {
public:
    explicit PrintLineBuffer(Ostrin& o) : busy(o.printing), was(o.printing)
    {
        if (was) own.reset(new (std::nothrow) char[Ostrin::WorkBufferSize]);
        buffer = was ? own.get() : o.workBuffer;
        busy = true;
    }
    ~PrintLineBuffer() { busy = was; }
    PrintLineBuffer(const PrintLineBuffer&) = delete;
    PrintLineBuffer& operator=(const PrintLineBuffer&) = delete;
    char* data() const { return buffer; }

private:
    bool& busy;
    const bool was;
    std::unique_ptr<char[]> own;
    char* buffer;
};

// The console device the engine uses when nothing else is installed.
ConsoleDevice* defaultConsole();

// The element of a numeric array that whole indices select now, as
// selectElement computes it, or null when one is out of range. Inline in
// every loop that reads elements, and without a call: a call among the
// integer moves costs every move their registers.
[[gnu::always_inline]] inline char* selectAt(Variable* array, const int32_t* indices, int parts, size_t width)
{
    const int32_t* dims = array->dims;
    const int32_t i = indices[0], j = parts > 1 ? indices[1] : 0, k = parts > 2 ? indices[2] : 0;
    if (i < 0 || i >= dims[0]) return nullptr;
    if (parts > 1 && (j < 0 || j >= dims[1] || (parts > 2 && (k < 0 || k >= dims[2])))) return nullptr;
    size_t at = static_cast<size_t>(i);
    if (parts > 1) at += static_cast<size_t>(dims[0]) * (static_cast<size_t>(j) + static_cast<size_t>(dims[1]) * k);
    return array->data = array->base + at * width;
}

// The element of an INT array that index selects now, or null out of range.
[[gnu::always_inline]] inline char* selectIntAt(Variable* array, int32_t i) { return selectAt(array, &i, 1, 4); }

// What numberFromCode gives, on 32-bit integers: every value is a whole
// number within 32 bits, which doubles hold exactly, and a minus zero of
// the doubles is a zero here. The same operations in the same order; where
// a name is not where it was or not an INT, or a value leaves 32 bits, the
// doubles start again, and what this left behind is only elements selected.
[[gnu::always_inline]] inline bool Ostrin::integerFromCode(CompiledExpression* code, int32_t& result)
{
    const IntegerCode* ic = useCaches ? integerCodeOf(code) : nullptr;
    if (!ic || stackLow()) return false;
    const auto name = [&](const IntegerMove& m, int32_t& x) __attribute__((always_inline)) {
        const Variable* var = m.site->var;
        if (!var || m.site->version != chainVersion || var->indexed || !var->data) {
            var = integerName(*code, m.move);
            if (!var) return false;
        }
        if (var->type != TypeInt) return false;
        std::memcpy(&x, var->data, 4);
        return true;
    };
    const auto element = [&](const IntegerMove& m, int32_t& x) __attribute__((always_inline)) {
        const Variable* var = elementBySites(m.site);
        if (!var || var->type != TypeInt) return false;
        std::memcpy(&x, var->data, 4);
        return true;
    };
    const auto elementAt = [&](const IntegerMove& m, const int32_t* indices, auto parts, int32_t& x)
                               __attribute__((always_inline)) {
        Variable* array = m.site->var;
        if (!array || m.site->version != chainVersion)
            if (!(array = indexedArray(*code, m.move))) return false;
        const char* d = array->type == TypeInt && array->base ? selectAt(array, indices, parts, 4) : nullptr;
        if (!d) return false;
        std::memcpy(&x, d, 4);
        return true;
    };
    return runIntegerMoves(*ic, result, name, element, elementAt);
}

// The moves of integerFromCode, with the names and elements read by the
// caller's `name` and `element` (false: the doubles must take the
// expression). True with the result, or with the error set.
template <class Name, class Element, class ElementAt>
[[gnu::always_inline]] inline bool Ostrin::runIntegerMoves(const IntegerCode& ic, int32_t& result, Name& name,
                                                           Element& element, ElementAt& elementAt)
{
    int32_t at[MaxNumberPlaces];
    for (const IntegerMove& m : ic.moves) {
        int32_t& a = at[m.to];
        const int32_t n = m.operand;
        int32_t x;
        switch (m.code) {
        case IntegerMove::Add: if (__builtin_add_overflow(a, at[n], &a)) return false; continue;
        case IntegerMove::AddNumber: if (__builtin_add_overflow(a, n, &a)) return false; continue;
        case IntegerMove::Sub: if (__builtin_sub_overflow(a, at[n], &a)) return false; continue;
        case IntegerMove::SubNumber: if (__builtin_sub_overflow(a, n, &a)) return false; continue;
        case IntegerMove::Mul: if (__builtin_mul_overflow(a, at[n], &a)) return false; continue;
        case IntegerMove::MulNumber: if (__builtin_mul_overflow(a, n, &a)) return false; continue;
        case IntegerMove::Mod:
        case IntegerMove::ModNumber: {
            const int32_t y = m.code == IntegerMove::Mod ? at[n] : n;
            if (y == 0) {
                if (m.refuses) return false;
                stringResult = false;
                fail(ErrDivideByZero);
                return true;
            }
            a = y == -1 ? 0 : a % y;
            continue;
        }
        case IntegerMove::ModBy: a = remainderBy(a, static_cast<uint32_t>(n), {m.magic, m.shift}); continue;
        case IntegerMove::AddName:
            if (!name(m, x) || __builtin_add_overflow(a, x, &a)) return false;
            continue;
        case IntegerMove::AddElement:
            if (!element(m, x) || __builtin_add_overflow(a, x, &a)) return false;
            continue;
        case IntegerMove::Eq: a = a == at[n]; continue;
        case IntegerMove::EqNumber: a = a == n; continue;
        case IntegerMove::Ne: a = a != at[n]; continue;
        case IntegerMove::NeNumber: a = a != n; continue;
        case IntegerMove::Lt: a = a < at[n]; continue;
        case IntegerMove::LtNumber: a = a < n; continue;
        case IntegerMove::Gt: a = a > at[n]; continue;
        case IntegerMove::GtNumber: a = a > n; continue;
        case IntegerMove::Le: a = a <= at[n]; continue;
        case IntegerMove::LeNumber: a = a <= n; continue;
        case IntegerMove::Ge: a = a >= at[n]; continue;
        case IntegerMove::GeNumber: a = a >= n; continue;
        case IntegerMove::Literal: a = n; continue;
        case IntegerMove::Copy: x = at[n]; break;
        case IntegerMove::Name:
            if (!name(m, x)) return false;
            break;
        case IntegerMove::Element:
            if (!element(m, x)) return false;
            break;
        case IntegerMove::ElementAt:   // one index, as most are: its own form
            if (!elementAt(m, &at[n], std::integral_constant<int, 1>{}, x)) return false;
            break;
        case IntegerMove::ElementAmong:
            if (!elementAt(m, &at[n], static_cast<int>(m.parts), x)) return false;
            break;
        }
        if (m.negate && __builtin_sub_overflow(0, x, &x)) return false;
        a = x;
    }
    stringResult = false;
    result = at[ic.resultAt];
    return true;
}

// A counter carries its loop's state: the step in returnType, the end in
// width, the counted_loop line in capacity; all 0 once the loop is done.
[[gnu::always_inline]] inline void Ostrin::advanceCounter(Variable* counter)
{
    int32_t* value = reinterpret_cast<int32_t*>(counter->data);
    const int32_t step = counter->returnType;
    const auto next = static_cast<int32_t>(static_cast<uint32_t>(*value) + static_cast<uint32_t>(step));
    *value = next;
    const bool done = step > 0 ? next > counter->width : next < counter->width;
    if (done) counter->capacity = counter->width = counter->returnType = 0;
    else lineIndex = static_cast<uint32_t>(counter->capacity);
}

[[gnu::always_inline]] inline Variable* Ostrin::intTarget(LineMemo& memo)
{
    Variable* v = nullptr;
    if (memo.shape == ShapeSingle) {
        v = siteHit(&memo.names[0]);
        if (v && v->indexed) return nullptr;
    } else if (memo.shape == ShapeElement || memo.shape == ShapeComputed) {
        v = memo.shape == ShapeElement ? elementBySites(memo.names) : selectByCode(memo.target);
        // An array that holds no element takes the general path's error.
        if (v && isArrayTarget(v) && v->count == 0) return nullptr;
    }
    return v && v->type == TypeInt && !v->readOnly && v->data ? v : nullptr;
}

[[gnu::noinline]] inline int Ostrin::assignInteger(LineMemo& memo)
{
    Variable* v = intTarget(memo);
    if (!v) return -1;
    char* at = v->data;   // before the expression, which may select other elements
    stringResult = false;
    int32_t i;
    if (!integerFromCode(memo.code, i)) return -1;
    if (errorCode) return 0;
    std::memcpy(at, &i, sizeof i);
    return 1;
}
