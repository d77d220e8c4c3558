// Declaring and freeing variables: typed declarations, read-only constants,
// named integer constants for "@", the implicit-declaration switch, and
// anonymous variables reached through pointers.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "interp/text.h"
#include "statements/declarations.h"

int typeCodeOf(const char* word)
{
    const auto* u = reinterpret_cast<const unsigned char*>(word);
    if (u[0] == 0xFF && u[1] == 0xE6 && u[2] == 0xEB && u[3] == 0) return TypeInt;
    for (int t = 0; t < TypeCount; ++t)
        if (sameName(word, typeName(t), 16)) return t;
    return -1;
}

void readTypeWord(const char* text, char* out, size_t size)
{
    const char* p = skipBlanks(text);
    size_t n = 0;
    while (p[n] && !isBlank(p[n]) && n + 1 < size) {
        out[n] = p[n];
        ++n;
    }
    out[n] = 0;
}

char* trimName(char* text)
{
    char* p = skipBlanks(text);
    char* end = p + std::strlen(p);
    while (end > p && isBlank(end[-1])) --end;
    *end = 0;
    return p;
}

bool splitDeclaration(Ostrin& o, Statement* st, char* out, size_t size)
{
    out[0] = 0;
    if (st->argCount == 0) {
        o.fail(ErrMalformed);
        return false;
    }
    const char* type = nullptr;
    for (int i = 0; i < st->argCount; ++i) {
        char* colon = std::strchr(st->args[i], ':');
        type = nullptr;
        if (colon) {
            *colon = 0;
            type = colon + 1;
        }
    }
    if (type) readTypeWord(type, out, size);
    if (!out[0]) {
        o.fail(ErrMalformed);
        return false;
    }
    return true;
}

namespace {

bool isSystemResult(const Ostrin& o, const Variable* v)
{
    return v == o.sysFloat || v == o.sysInt || v == o.sysInt64 || v == o.sysDouble || v == o.sysString ||
           v == o.sysPointer;
}

// Takes v out of whatever chain holds it: the running chain, a caller's
// saved chain, a record instance, or none (an anonymous variable).
void unlink(Ostrin& o, Variable* v)
{
    o.chainsChanged(false);
    bool headOfSaved = false;
    for (Variable*& saved : o.scopeStack)
        if (saved == v) {
            // The saved head still points back at the built-in records,
            // whose link now belongs to the running chain.
            saved = v->next;
            headOfSaved = true;
        }
    if (v->prev && !headOfSaved) v->prev->next = v->next;
    if (v->next) v->next->prev = v->prev;
    if (o.lastVariable == v) o.lastVariable = v->prev;
    v->prev = v->next = nullptr;
}

// Frees one variable as the free statement does; false with the error set.
// The interpreter's own records (built-in and result variables) stay, and
// windows and dialogs must be closed by their own statements.
bool freeNamed(Ostrin& o, Variable* v)
{
    if (v->builtIn || isSystemResult(o, v)) {
        o.fail(ErrFreeSystem);
        return false;
    }
    if (v->type == TypeWindow || v->type == TypeDialog) {
        o.fail(ErrFreeWindow);
        return false;
    }
    if (o.sysPointer && o.sysPointer->target == v) o.sysPointer->target = nullptr;
    unlink(o, v);
    // Alone now, so releasing "its chain" releases exactly this record: its
    // record instances, parameter list, open stream and owned storage.
    o.freeVariables(v, false);
    return true;
}

}  // namespace

// declare variables name[, name…]: TYPE — the type written after the last
// name applies to all of them.
Statement* Ostrin::declareVariables(Statement* st)
{
    char word[32];
    if (!splitDeclaration(*this, st, word, sizeof word)) return nullptr;
    const int type = typeCodeOf(word);
    const RecordType* rt = type < 0 ? findRecordType(*this, word) : nullptr;
    if (type < 0 && !rt) return fail(ErrTypeName);

    for (int i = 0; i < st->argCount; ++i) {
        char* name = trimName(st->args[i]);
        if (!*name) return fail(ErrMalformed);
        Variable* v = type >= 0 ? defineVariable(name, type, 1, nullptr) : defineRecord(*this, name, rt, nullptr);
        if (!v) return nullptr;
    }
    return st;
}

// declare constants name = value[, …]: assigns each and makes it read-only.
Statement* Ostrin::declareConstants(Statement* st)
{
    if (st->argCount == 0) return fail(ErrArgCount);
    Statement* inner = newStatement(MaxArgs);
    if (!inner) return nullptr;
    char line[ArgSize];
    bool ok = true;
    for (int i = 0; ok && i < st->argCount; ++i) {
        char* text = skipBlanks(st->args[i]);
        if (!findOutside(text, '=', false, false)) {
            fail(ErrMalformed);
            break;
        }
        copyText(line, text, ArgSize - 1);
        if (decodeStatement(inner, line) != 0) break;
        if (inner->opcode != 20) {
            fail(ErrMalformed);
            break;
        }
        ok = assignment(inner) != nullptr && !errorCode;
        if (!ok) break;
        Variable* v = findVariable(inner->args[0], nullptr, false);
        if (!v) break;
        v->readOnly = 1;
    }
    deleteStatement(inner);
    return errorCode ? nullptr : st;
}

// named constant "NAME", value: a value that expressions read as @NAME.
Statement* Ostrin::namedConstant(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue name, value;
    if (!evalArg(st, 0, TypeString, name) || !evalArg(st, 1, KindNumber, value)) return nullptr;
    try {
        std::string key = name.text;
        for (char& c : key)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        namedConstants[key] = static_cast<uint32_t>(value.intValue);
    } catch (const std::bad_alloc&) {
        return fail(ErrNoMemory);
    }
    return st;
}

// implicit declarations "ON" | "OFF": whether assigning to an unknown name
// creates it.
Statement* Ostrin::implicitDeclarationsStatement(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue v;
    if (!evalArg(st, 0, TypeString, v)) return nullptr;
    if (sameName(v.text, "ON", 3)) implicitDeclarations = true;
    else if (sameName(v.text, "OFF", 4)) implicitDeclarations = false;
    else return fail(ErrImplicitSwitch);
    return st;
}

// free variables name[, name…]
Statement* Ostrin::freeVariablesStatement(Statement* st)
{
    for (int i = 0; i < st->argCount; ++i) {
        Variable* v = findVariable(skipBlanks(st->args[i]), nullptr, false);
        if (!v || !freeNamed(*this, v)) return nullptr;
    }
    return st;
}

// new variable TYPE, count: an anonymous variable (an array when count > 1)
// that belongs to no chain; the result is a pointer to it.
Statement* Ostrin::newVariable(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue n;
    if (!evalArg(st, 1, KindNumber, n)) return nullptr;
    char word[32];
    readTypeWord(st->args[0], word, sizeof word);

    char name[32];
    if (n.intValue > 1) std::snprintf(name, sizeof name, "temp[%d]", n.intValue);
    else std::strcpy(name, "temp");

    // Defined under a private holder so that no chain ever sees it.
    Variable holder{};
    Variable* v = nullptr;
    const int type = typeCodeOf(word);
    if (type >= 0) {
        v = defineVariable(name, type, 1, &holder);
    } else if (const RecordType* rt = findRecordType(*this, word)) {
        v = defineRecord(*this, name, rt, &holder);
    } else {
        setPointerResult(st, nullptr);
        sysPointer->target = nullptr;
        return st;
    }
    if (!v) {
        // A record whose instances failed half-way is still on the holder.
        if (holder.next) {
            holder.next->prev = nullptr;
            freeVariables(holder.next, false);
        }
        return nullptr;
    }
    holder.next = nullptr;
    v->prev = nullptr;
    setPointerResult(st, v->data);
    sysPointer->target = v;
    return st;
}

// delete pointee p: frees the variable p points at and clears p.
Statement* Ostrin::deletePointee(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue p;
    if (!evalArg(st, 0, TypePointer, p)) return nullptr;
    Variable* pointer = p.variable;
    if (!pointer) return fail(ErrType);
    if (Variable* target = pointer->target) {
        if (!freeNamed(*this, target)) return nullptr;
        // Other pointers copied from this one still name the freed
        // variable, as copies of a freed pointer do in C.
        pointer->target = nullptr;
    }
    if (pointer->data) *reinterpret_cast<uint32_t*>(pointer->data) = 0;
    return st;
}

// pointee type p: the type code of what p points at, -1 for nothing.
Statement* Ostrin::pointeeType(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue p;
    if (!evalArg(st, 0, TypePointer, p)) return nullptr;
    const Variable* target = p.variable ? p.variable->target : nullptr;
    return setIntResult(st, target ? target->type : -1);
}

// is array value: 1 for an indexed variable (or a pointer to one).
Statement* Ostrin::isArray(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue a;
    if (!evalArg(st, 0, KindAny, a)) return nullptr;
    const Variable* v = a.variable;
    if (v && v->type == TypePointer && v->target) v = v->target;
    return setIntResult(st, v && v->indexed ? 1 : 0);
}
