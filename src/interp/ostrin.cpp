// Construction, load, release and the error report of the interpreter.
#include "ostrin.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform.h"

Ostrin::Ostrin()
{
    fillHandlerTable();
    fillConstantTable();
    statementPool.reserve(StatementPoolSize);
    variablePool.reserve(VariablePoolSize);
    console = defaultConsole();
    linkBuiltIns();
}

Ostrin::~Ostrin()
{
    release();
    namedConstants.clear();
    windowList.clear();
    scopeStack.clear();
}

void Ostrin::onStart() {}

void Ostrin::fillHandlerTable()
{
#define OP(code, fn) handlers[code] = &Ostrin::fn;
#define SHARED(code, fn) handlers[code] = &Ostrin::fn;
#include "opcodes.def"
#undef OP
#undef SHARED
#ifdef OSTRIN_NATIVE
    // Statements that keep raw addresses in 32-bit places, which a 64-bit
    // native build would cut: external calls and library release, the
    // memory-block statements, and new variable (its pointer result).
    for (int code : {120, 142, 143, 144, 145, 203, 216}) handlers[code] = nullptr;
#endif
}

// The three built-in records head the chain: they are never freed, and a
// release links them again exactly as at construction.
void Ostrin::linkBuiltIns()
{
    std::strcpy(stdoutVar.name, "SYSTEM_STDOUT0");
    stdoutVar.type = TypeFile;
    stdStreams[0] = stdout;
    stdStreams[1] = stdin;
    stdoutVar.data = reinterpret_cast<char*>(&stdStreams[0]);
    stdoutVar.builtIn = 1;
    stdoutVar.prev = nullptr;
    stdoutVar.next = &stdinVar;

    std::strcpy(stdinVar.name, "SYSTEM_STDIN0");
    stdinVar.type = TypeFile;
    stdinVar.data = reinterpret_cast<char*>(&stdStreams[1]);
    stdinVar.builtIn = 1;
    stdinVar.prev = &stdoutVar;
    stdinVar.next = &precVar;

    std::strcpy(precVar.name, "DECIMAL_PREC");
    precVar.type = TypeSystem;
    precVar.data = reinterpret_cast<char*>(&decimalPrecision);
    precVar.builtIn = 1;
    precVar.prev = &stdinVar;
    precVar.next = nullptr;
    lastVariable = &precVar;
    chainsChanged(false);
}

// The chain after "DECIMAL_PREC" is the running scope; a subroutine call
// swaps it for its locals.
void Ostrin::setRunningChain(Variable* chain, bool confined, Variable* last)
{
    chainsChanged(confined);
    precVar.next = chain;
    if (chain) chain->prev = &precVar;
    if (!last)
        for (last = &precVar; last->next;) last = last->next;
    lastVariable = last;
}

namespace {

bool chainHolds(const Variable* first, const Variable* v)
{
    for (const Variable* p = first; p; p = p->next) {
        if (p == v || (p->members && chainHolds(p->members, v))) return true;
        if (p->type != TypeUser || !p->data || p->borrowed) continue;
        auto* const* heads = reinterpret_cast<Variable* const*>(p->indexed && p->base ? p->base : p->data);
        const uint32_t instances = p->indexed ? p->count : 1;
        for (uint32_t i = 0; i < instances; ++i)
            if (heads[i] && chainHolds(heads[i], v)) return true;
    }
    return false;
}

}  // namespace

bool Ostrin::holdsVariable(const Variable* v) const
{
    if (chainHolds(&stdoutVar, v)) return true;
    for (const Variable* chain : scopeStack)
        if (chainHolds(chain, v)) return true;
    return false;
}

int Ostrin::load()
{
    if (loaded) {
        release();
        loaded = 0;
    }
    workBuffer = static_cast<char*>(std::malloc(WorkBufferSize));
    decimalPrecision = 2;
    if (workBuffer) {
        mainStatement = newStatement(MaxArgs);
        // newStatement releases everything when memory runs out.
        if (mainStatement) innerStatement = newStatement(MaxArgs);
    }
    if (!workBuffer || !mainStatement || !innerStatement) {
        release();
        return 0;
    }
    controlStack = static_cast<int32_t*>(std::calloc(ControlStackSize, sizeof(int32_t)));
    controlTop = 0;
    if (!controlStack) {
        release();
        return 0;
    }

    // Defining a variable cuts its name at "[", so each name is copied to
    // writable storage first.
    struct SystemVar { const char* name; int type; Variable** slot; };
    const SystemVar systemVars[] = {
        {"SYSTEM_FLOAT0", TypeFloat, &sysFloat},
        {"SYSTEM_INT0", TypeInt, &sysInt},
        {"SYSTEM_INT64", TypeInt64, &sysInt64},
        {"SYSTEM_DOUBLE0", TypeDouble, &sysDouble},
        {"SYSTEM_STRING0[65535]", TypeIString, &sysString},
        {"SYSTEM_POINTER0", TypePointer, &sysPointer},
    };
    for (const SystemVar& sv : systemVars) {
        char name[32];
        std::strcpy(name, sv.name);
        *sv.slot = defineVariable(name, sv.type, 1, nullptr);
        if (!*sv.slot) {
            release();
            return 0;
        }
    }

    std::srand(static_cast<unsigned>(std::time(nullptr) >> 1));
    std::rand();

    if (ui && !ui->prepare()) {
        release();
        return 0;
    }
    setCurrentWindow(nullptr);
    loaded = 1;
    return 1;
}

int Ostrin::currentLineNumber() const
{
    if (!lineNumbers || lineIndex == 0 || lineIndex > lineCount) return 0;
    return lineNumbers[lineIndex - 1];
}

void Ostrin::reportError()
{
    if (!errorCode) return;
    if (ui)
        for (void* w : windowList) ui->destroyWindow(w);
    unsigned line = static_cast<uint16_t>(currentLineNumber() + 1);
    char text[256];
    std::snprintf(text, sizeof text,
                  "An error has occured\nLine number: %u\nPlease contact the program vendor\n%d",
                  line, errorCode);
    platformShowError(text);
}

void Ostrin::release()
{
    if (!scopeStack.empty()) {
        // The run stopped inside a subroutine: its locals go, and the
        // top-level chain becomes the running chain again.
        Variable* top = scopeStack.front();
        if (top != runningChain()) freeVariables(runningChain(), false);
        // The locals of the callers in between would otherwise be lost.
        for (size_t i = 1; i < scopeStack.size(); ++i)
            if (scopeStack[i] != top) freeVariables(scopeStack[i], false);
        setRunningChain(top);
        scopeStack.clear();
    }

    deleteStatement(mainStatement);
    deleteStatement(innerStatement);
    mainStatement = innerStatement = nullptr;
    for (Statement* st : statementPool) {
        std::free(st->buffer);
        std::free(st);
    }
    statementPool.clear();
    std::free(workBuffer);
    workBuffer = nullptr;
    std::free(controlStack);
    controlStack = nullptr;
    controlTop = 0;
    freeDecodedLines();
    std::memset(foundNames, 0, sizeof foundNames);
    std::memset(callEntries, 0, sizeof callEntries);
    std::free(lines);
    std::free(lineNumbers);
    lines = nullptr;
    lineNumbers = nullptr;
    lineCount = 0;

    freeVariables(&stdoutVar, false);
    linkBuiltIns();
    sysFloat = sysInt = sysInt64 = sysDouble = sysString = sysPointer = nullptr;

    // After the variables, whose freeing fills the pool.
    for (Variable* v : variablePool) std::free(v);
    variablePool.clear();

    freeRecordTypes();
    freeExpressions();
    destroyFileFinders();
    namedConstants.clear();
    windowList.clear();
    outputWindow = nullptr;   // its window went with the variables
    loaded = 0;
}

void Ostrin::freeRecordTypes()
{
    for (RecordType* rt : recordTypes) delete rt;
    recordTypes.clear();
}
