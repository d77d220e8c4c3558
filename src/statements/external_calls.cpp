// Declaring subroutines and DLL functions, calling DLL functions, and
// releasing libraries.
//
// A declared function is a LABEL variable with a parameter list. For a DLL
// function each argument becomes one or two 32-bit words checked against its
// parameter's declared type; records travel as buffers of their members laid
// out at the record type's packing, copied back after the call so the
// callee's changes reach the program. The words go to the callee through
// the trampoline of call_thunk.cpp.
#include <cstdlib>
#include <cstring>

#include "interp/platform.h"
#include "interp/text.h"
#include "statements/call_thunk.h"
#include "statements/declarations.h"

namespace {

constexpr int AliasSize = 30;     // 29 characters and the terminator
constexpr int LibrarySize = 80;   // 79 characters and the terminator

bool isArrayVariable(const Variable* v)
{
    return v->indexed && !(v->type == TypeString && v->width == 1);
}

// Words for one call, and what must be undone after it.
struct CallFrame {
    uint32_t words[MaxCallWords];
    int count = 0;
    struct Record {
        Variable* head;
        char* buffer;
        int32_t packing;
    };
    Record records[MaxCallWords];
    int recordCount = 0;
    char* copies[MaxCallWords];   // private copies of string results
    int copyCount = 0;

    bool push(uint32_t w)
    {
        if (count == MaxCallWords) return false;
        words[count++] = w;
        return true;
    }
};

uint32_t addressOf(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// Alignment of a member of natural size n at packing p; 1-byte members are
// never aligned, and a packing below 1 is taken as 1.
uint32_t alignUp(uint32_t offset, int32_t packing, uint32_t n)
{
    uint32_t a = n;
    if (packing < static_cast<int32_t>(a)) a = packing < 1 ? 1 : static_cast<uint32_t>(packing);
    return (offset + a - 1) / a * a;
}

// One member's place in a packed record: how many bytes, and whether they
// come back after the call. Returns false for a member type that cannot be
// passed.
struct MemberSlot {
    uint32_t size;
    bool copiedBack;
};

bool slotOf(const Variable* m, MemberSlot& slot)
{
    // Arrays and strings travel by address; the callee writes through it,
    // so nothing comes back into the member itself.
    if (isArrayVariable(m) || m->type == TypeString) {
        slot = {4, false};
        return true;
    }
    switch (m->type) {
    case TypeChar: slot = {1, true}; return true;
    case TypeWord: slot = {2, true}; return true;
    case TypeInt:
    case TypeUInt:
    case TypeMemory:
    case TypePointer: slot = {4, true}; return true;
    case TypeWindow:
    case TypeDialog: slot = {4, false}; return true;
    case TypeInt64:
    case TypeUInt64: slot = {8, true}; return true;
    default: return false;
    }
}

// Lays the members of one record instance out after byte 8 of buffer
// (`room` bytes there); false (error 57) for a member that cannot be passed.
bool packMembers(Ostrin& o, Variable* head, char* buffer, uint32_t room, int32_t packing)
{
    uint32_t offset = 0;
    for (Variable* m = head->next; m; m = m->next) {
        if (m->indexed && m->base) m->data = m->base;
        MemberSlot slot;
        if (!slotOf(m, slot)) {
            o.fail(ErrExternalArg);
            return false;
        }
        offset = slot.size == 1 ? offset : alignUp(offset, packing, slot.size);
        if (offset + slot.size > room) {
            o.fail(ErrExternalArg);
            return false;
        }
        char* at = buffer + 8 + offset;
        if (isArrayVariable(m) || m->type == TypeString) {
            const uint32_t address = addressOf(m->data);
            std::memcpy(at, &address, 4);
        } else if (m->type == TypeWindow || m->type == TypeDialog) {
            const uint32_t handle = m->data ? nativeHandle(o, *reinterpret_cast<void**>(m->data)) : 0;
            std::memcpy(at, &handle, 4);
        } else if (m->data) {
            std::memcpy(at, m->data, slot.size);
        }
        offset += slot.size;
    }
    return true;
}

// Copies the members back from a packed buffer, walking the same layout.
void unpackMembers(Variable* head, const char* buffer, int32_t packing)
{
    uint32_t offset = 0;
    for (Variable* m = head->next; m; m = m->next) {
        MemberSlot slot;
        if (!slotOf(m, slot)) return;   // packing stopped here too
        offset = slot.size == 1 ? offset : alignUp(offset, packing, slot.size);
        if (slot.copiedBack && m->data) std::memcpy(m->data, buffer + 8 + offset, slot.size);
        offset += slot.size;
    }
}

uint32_t memberCount(const Variable* head)
{
    uint32_t n = 0;
    for (const Variable* m = head->next; m; m = m->next) ++n;
    return n;
}

// Pushes the address of a packed copy of the record the argument selects.
bool pushRecord(Ostrin& o, const ArgValue& a, CallFrame& f)
{
    Variable* head = a.dataPtr ? *reinterpret_cast<Variable**>(a.dataPtr) : nullptr;
    const uint32_t members = head ? memberCount(head) : 0;
    if (!members || f.count == MaxCallWords) return f.push(0) || (o.fail(ErrExternalArg), false);

    // 8 bytes per member always suffice: no member is wider than 8 bytes
    // and none needs more alignment than its own size.
    const uint32_t room = 8 * members;
    char* buffer = static_cast<char*>(std::calloc(8 + room, 1));
    if (!buffer) {
        o.fail(ErrNoMemory);
        return false;
    }
    std::memcpy(buffer, &head, sizeof head);
    const int32_t packing = a.variable ? a.variable->returnType : 8;
    if (!packMembers(o, head, buffer, room, packing)) {
        std::free(buffer);
        return false;
    }
    f.records[f.recordCount++] = {head, buffer, packing};
    // The callee sees the packed members, which start at byte 8.
    return f.push(addressOf(buffer + 8));
}

// A string argument's address. Results of expressions and functions live in
// SYSTEM_STRING0, which the next argument may overwrite: those are copied.
bool pushText(Ostrin& o, char* text, CallFrame& f)
{
    if (f.count == MaxCallWords) {
        o.fail(ErrExternalArg);
        return false;
    }
    const char* result = o.stringResultBuffer();
    if (text >= result && text < result + Ostrin::StringResultSize) {
        const size_t n = std::strlen(text);
        char* copy = static_cast<char*>(std::malloc(n + 1));
        if (!copy) {
            o.fail(ErrNoMemory);
            return false;
        }
        std::memcpy(copy, text, n + 1);
        f.copies[f.copyCount++] = copy;
        text = copy;
    }
    return f.push(addressOf(text));
}

// Pushes a number for a scalar parameter in the form the parameter's type
// has in C: FLOAT as single-precision bits, DOUBLE as two words (low word
// first), the integer types as the truncated value.
bool pushNumber(Ostrin& o, const ArgValue& a, int declared, CallFrame& f)
{
    switch (declared) {
    case TypeFloat: {
        const float x = a.type == TypeFloat ? a.floatValue : static_cast<float>(a.doubleValue);
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        return f.push(bits);
    }
    case TypeDouble: {
        uint32_t halves[2];
        std::memcpy(halves, &a.doubleValue, 8);
        return f.push(halves[0]) && f.push(halves[1]);
    }
    default:
        return f.push(static_cast<uint32_t>(a.intValue));
    }
}

// Turns one argument into words, checked against its declaration (null
// when the function has no more declared parameters).
bool marshal(Ostrin& o, ArgValue& a, const Variable* decl, CallFrame& f)
{
    const int declared = decl ? decl->type : -1;
    auto reject = [&o](int code) {
        o.fail(code);
        return false;
    };
    auto pushed = [&o](bool ok) { return ok || (o.fail(ErrExternalArg), false); };

    switch (a.type) {
    case TypeString:
        if (declared != TypeString) return reject(ErrExternalArg);
        return pushText(o, a.text, f);
    case TypeInt:
    case TypeFloat:
    case TypeWord:
    case TypeDouble:
    case TypeInt64:
    case TypeUInt64:
    case TypeUInt:
        if (!decl) return reject(ErrExternalArg);
        if (decl->indexed && declared != TypeString) {
            // An array parameter takes the address of the array (or of the
            // element the argument selects).
            if (!a.variable || !isArrayVariable(a.variable)) return reject(ErrType);
            return pushed(f.push(addressOf(a.dataPtr)));
        }
        if (declared == TypePointer) {
            if (!a.variable) return reject(ErrExternalArg);
            return pushed(f.push(addressOf(a.dataPtr)));
        }
        if (declared == TypeInt || declared == TypeFloat || declared == TypeWord || declared == TypeDouble ||
            declared == TypeUInt)
            return pushed(pushNumber(o, a, declared, f));
        return reject(ErrExternalArg);
    case TypeMemory:
        if (declared != TypeMemory) return reject(ErrExternalArg);
        return pushed(f.push(static_cast<uint32_t>(a.handle)));
    case TypeWindow:
    case TypeDialog:
        if (declared != TypeInt && declared != a.type) return reject(ErrExternalArg);
        return pushed(f.push(nativeHandle(o, reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(a.handle))))));
    case TypePointer:
        if (declared != TypePointer) return reject(ErrExternalArg);
        return pushed(f.push(static_cast<uint32_t>(a.handle)));
    case TypeUser:
        return pushRecord(o, a, f);
    default:
        return reject(ErrExternalArg);   // CHAR, streams, labels, arrays, system
    }
}

// Stores the callee's result by the declared return type. CHAR and WORD
// results keep only their own bits (the rest of EAX is undefined) and are
// read back as INT.
void deliver(Ostrin& o, Statement* st, int returnType, uint64_t result, double fp)
{
    const auto low = static_cast<uint32_t>(result);
    switch (returnType) {
    case TypeString: {
        const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(low));
        o.setStringResult(st, text ? text : "");
        break;
    }
    case TypeChar: o.setIntResult(st, static_cast<int32_t>(low & 0xFF)); break;
    case TypeWord: o.setIntResult(st, static_cast<int32_t>(low & 0xFFFF)); break;
    case TypeInt: o.setIntResult(st, static_cast<int32_t>(low)); break;
    case TypeUInt:
        o.setIntResult(st, static_cast<int32_t>(low));
        st->resultType = TypeUInt;
        break;
    case TypeFloat:
        if (o.sysFloat && o.sysFloat->data) {
            const auto x = static_cast<float>(fp);
            std::memcpy(o.sysFloat->data, &x, 4);
        }
        st->resultType = TypeFloat;
        break;
    case TypeDouble: o.setDoubleResult(st, fp); break;
    case TypeInt64:
    case TypeUInt64:
        o.setInt64Result(st, static_cast<int64_t>(result));
        st->resultType = static_cast<uint32_t>(returnType);
        break;
    case TypePointer: o.setPointerResult(st, reinterpret_cast<void*>(static_cast<uintptr_t>(low))); break;
    default: st->resultType = static_cast<uint32_t>(returnType); break;
    }
}

// Builds the parameter list of a function from the text between its
// parentheses, as a list of borrowed declarations under a fresh head.
bool declareParameters(Ostrin& o, Variable* fn, const char* params)
{
    auto* head = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
    if (!head) {
        o.fail(ErrNoMemory);
        return false;
    }
    head->borrowed = 1;
    fn->members = head;

    // The list is read as the argument list of a declaration line.
    char line[ArgSize];
    line[0] = static_cast<char>(0xFF);
    line[1] = static_cast<char>(0xE1);
    line[2] = static_cast<char>(0xE5);
    line[3] = ' ';
    copyText(line + 4, params, ArgSize - 5);
    Statement* st = o.newStatement(MaxArgs);
    if (!st) return false;
    bool ok = o.decodeStatement(st, line) == 0;
    if (ok && fn->external) fn->width = st->argCount;
    for (int i = 0; ok && i < st->argCount; ++i) {
        char* colon = std::strchr(st->args[i], ':');
        if (!colon) {
            o.fail(ErrMalformed);
            ok = false;
            break;
        }
        *colon = 0;
        char word[32];
        readTypeWord(colon + 1, word, sizeof word);
        char* name = trimName(st->args[i]);
        const int type = typeCodeOf(word);
        const bool byReference = std::strchr(name, '[') || type == TypeString || type == TypeFile ||
                                 type == TypeWindow || type == TypeDialog || type == TypeBFile || type == TypePointer;
        Variable* p;
        if (type < 0) {
            p = o.defineVariable(name, TypeUser, 0, head);
        } else if (byReference) {
            p = o.defineVariable(name, type, 0, head);
            if (p) p->sharedData = 1;
        } else {
            p = o.defineVariable(name, type, 1, head);
        }
        if (!p) {
            ok = false;
            break;
        }
        p->borrowed = 1;
    }
    o.deleteStatement(st);
    return ok;
}

}  // namespace

// declare function name(params)  — parameters of a subroutine label;
// declare function "lib", name[| alias](params)[, TYPE]  — a DLL function.
Statement* Ostrin::declareFunction(Statement* st)
{
    if (st->argCount == 0) return st;
    char library[LibrarySize] = {};
    bool cConvention = false;
    const bool external = st->argCount >= 2;
    if (external) {
        ArgValue lib;
        if (!evalArg(st, 0, TypeString, lib)) return fail(ErrType);
        const char* name = lib.text;
        if (*name == '!') {
            cConvention = true;
            ++name;
        }
        copyText(library, name, LibrarySize - 1);
    }

    char* text = skipBlanks(st->args[external ? 1 : 0]);
    char* open = std::strchr(text, '(');
    char* close = open ? std::strrchr(open, ')') : nullptr;
    if (!close) return fail(ErrMalformed);
    *open = 0;
    *close = 0;
    const char* params = open + 1;

    // «name| alias»: the alias is the entry point's name in the library.
    char* alias = nullptr;
    if (char* bar = std::strchr(text, '|')) {
        *bar = 0;
        alias = trimName(bar + 1);
        if (!*alias) alias = nullptr;
    }
    char* name = trimName(text);

    Variable* fn = findVariable(name, nullptr, false);
    if (!fn) {
        if (!external) return errorCode ? nullptr : st;
        errorCode = 0;
        // A function declared inside a subroutine still belongs to the
        // program, not to the subroutine's locals.
        Variable* chain = scopeStack.empty() ? nullptr : scopeStack.front();
        fn = defineVariable(name, TypeLabel, 0, chain);
        if (!fn) return nullptr;
        if (alias) {
            fn->data = static_cast<char*>(std::calloc(AliasSize, 1));
            if (!fn->data) return fail(ErrNoMemory);
            copyText(fn->data, alias, AliasSize - 1);
        }
        fn->external = 1;
        fn->libraryFlag = cConvention ? 1 : 0;
        std::memcpy(fn->library, library, LibrarySize);
        // This reference keeps the library loaded until it is released.
        if (!platformLoadLibrary(fn->library)) return fail(ErrLibrary);
        errorCode = 0;
        fn->returnType = NoResult;
        if (st->argCount >= 3) {
            char word[32];
            readTypeWord(st->args[2], word, sizeof word);
            const int type = typeCodeOf(word);
            if (type < 0) return fail(ErrTypeName);
            fn->returnType = type;
        }
    }
    if (fn->type != TypeLabel) return st;
    if (fn->members) return fail(ErrParamsDeclared);
    return declareParameters(*this, fn, params) ? st : nullptr;
}

// external call name[, arguments…]
Statement* Ostrin::externalCall(Statement* st)
{
    if (st->argCount < 1) return fail(ErrArgCount);
    Variable* fn = findVariable(skipBlanks(st->args[0]), nullptr, false);
    if (!fn) return nullptr;
    if (fn->type != TypeLabel || !fn->external) return fail(ErrType);
    if (fn->width != 0 && fn->width != st->argCount - 1) return fail(ErrArgCount);

    void* library = platformLoadLibrary(fn->library);
    if (!library) return fail(ErrLibrary);
    const void* entry = platformEntryPoint(library, fn->data ? fn->data : fn->name);
    if (!entry) {
        platformFreeLibrary(library);
        return fail(ErrEntryPoint);
    }

    CallFrame frame;
    const Variable* decl = fn->members ? fn->members->next : nullptr;
    for (int i = 1; i < st->argCount; ++i) {
        ArgValue a;
        if (!evalArg(st, i, KindAny, a) || !marshal(*this, a, decl, frame)) break;
        if (decl) decl = decl->next;
    }

    if (!errorCode) {
        const bool floating = fn->returnType == TypeFloat || fn->returnType == TypeDouble;
        double fp = 0;
        const uint64_t result = callWithWords(entry, frame.words, frame.count, floating ? &fp : nullptr);
        deliver(*this, st, fn->returnType, result, fp);
    }

    for (int i = 0; i < frame.recordCount; ++i) {
        const CallFrame::Record& r = frame.records[i];
        unpackMembers(r.head, r.buffer, r.packing);
        std::free(r.buffer);
    }
    for (int i = 0; i < frame.copyCount; ++i) std::free(frame.copies[i]);
    platformFreeLibrary(library);
    return errorCode ? nullptr : st;
}

// release library "name": drops one reference to a loaded library.
Statement* Ostrin::releaseLibrary(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue name;
    if (!evalArg(st, 0, TypeString, name)) return nullptr;
    if (void* module = platformLoadedLibrary(name.text)) platformFreeLibrary(module);
    return st;
}
