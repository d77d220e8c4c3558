// Record types: the statement that declares one, and the member instances
// that every element of a record variable gets from the type's body lines.
//
// A record type is only a range of lines: its body is a list of variable
// declarations that is never executed in place. Each instance re-decodes
// those lines and defines the members under a zero-filled head record, so
// members are ordinary variables with their own types and storage.
#include <cstdlib>
#include <cstring>
#include <new>

#include "interp/text.h"
#include "statements/declarations.h"

namespace {

// Record types may name other record types as members; a type that names
// itself, directly or through others, would nest without end.
constexpr int MaxRecordNesting = 32;
// The most one record array's instances may take, as for a plain array.
// The sanitized native build for fuzzing, which also fails single
// allocations above 64 MB, holds it to what its instrumented heap carries
// within a run: the same refusal, reached sooner.
#ifdef OSTRIN_NATIVE
constexpr uint64_t MaxRecordArrayBytes = uint64_t{128} << 20;
#else
constexpr uint64_t MaxRecordArrayBytes = 0x7FFFFFFF;
#endif
constexpr int RecordNameLength = 15;

// Opcode of a statement line, or -1 for a plain line.
int lineOpcode(const char* line)
{
    const auto* u = reinterpret_cast<const unsigned char*>(line);
    if (u[0] != 0xFF) return -1;
    if (!u[1] || !u[2]) return 0xFFFF;
    return (u[2] - 0xE0) + 16 * (u[1] - 0xE0);
}

// True when the first word of a plain line is `word` (any case).
bool firstWordIs(const char* line, const char* word)
{
    const char* p = skipBlanks(line);
    size_t n = 0;
    while (p[n] && !isBlank(p[n]) && p[n] != '=' && p[n] != '(' && p[n] != '"') ++n;
    return n == std::strlen(word) && sameName(p, word, static_cast<int>(n));
}

bool declareMembers(Ostrin& o, Variable* head, Statement* st, char* line, int depth);

// Builds the members of one instance under `head` from rt's body lines,
// decoding each line into st.
bool buildInstance(Ostrin& o, Variable* head, const RecordType* rt, Statement* st, int depth)
{
    for (uint32_t i = rt->firstLine; i <= rt->lastLine && i < o.lineCount; ++i) {
        char* line = o.lines[i];
        if (!line || !*line) continue;   // an emptied label line holds nothing
        if (!declareMembers(o, head, st, line, depth)) return false;
    }
    return true;
}

// Defines the members that one body line declares.
bool declareMembers(Ostrin& o, Variable* head, Statement* st, char* line, int depth)
{
    if (o.decodeStatement(st, line) != 0) return false;
    if (st->opcode != 21 || st->argCount == 0) {
        o.fail(ErrMalformed);
        return false;
    }
    char word[32];
    if (!splitDeclaration(o, st, word, sizeof word)) return false;
    const int type = typeCodeOf(word);
    const RecordType* nested = type < 0 ? findRecordType(o, word) : nullptr;
    if (type < 0 && !nested) {
        o.fail(ErrTypeName);
        return false;
    }
    for (int i = 0; i < st->argCount; ++i) {
        char* name = trimName(st->args[i]);
        if (!*name) {
            o.fail(ErrMalformed);
            return false;
        }
        Variable* m = type >= 0 ? o.defineVariable(name, type, 1, head)
                                : defineRecord(o, name, nested, head, depth + 1);
        if (!m) return false;
    }
    return true;
}

}  // namespace

// Memory one instance takes: its member records and their storage, nested
// instances included.
static uint64_t instanceBytes(const Variable* head)
{
    uint64_t total = 0;
    for (const Variable* m = head; m; m = m->next) {
        total += sizeof(Variable) + static_cast<uint64_t>(m->count) * static_cast<uint64_t>(typeSize(m->type));
        if (m->type != TypeUser || !m->data) continue;
        auto* const* slots = reinterpret_cast<Variable* const*>(m->base ? m->base : m->data);
        for (uint32_t i = 0; i < m->count; ++i)
            if (slots[i]) total += instanceBytes(slots[i]);
    }
    return total;
}

RecordType* findRecordType(Ostrin& o, const char* name)
{
    char key[RecordNameLength + 1];
    copyText(key, name, RecordNameLength);
    for (RecordType* rt : o.recordTypes)
        if (sameName(rt->name, key, RecordNameLength + 1)) return rt;
    return nullptr;
}

Variable* defineRecord(Ostrin& o, char* name, const RecordType* rt, Variable* chain, int depth)
{
    if (depth > MaxRecordNesting) {
        o.fail(ErrRecordType);
        return nullptr;
    }
    Variable* v = o.defineVariable(name, TypeUser, 1, chain);
    if (!v) return nullptr;
    v->returnType = rt->packing;

    // Nested members decode their own lines, so each level has a statement
    // of its own rather than sharing one whose arguments are still in use.
    Statement* st = o.newStatement(MaxArgs);
    if (!st) return nullptr;
    auto** slots = reinterpret_cast<Variable**>(v->base ? v->base : v->data);
    bool ok = true;
    for (uint32_t i = 0; ok && i < v->count; ++i) {
        auto* head = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
        if (!head) {
            o.fail(ErrNoMemory);
            ok = false;
            break;
        }
        slots[i] = head;   // owned by the element from here on, even if incomplete
        ok = buildInstance(o, head, rt, st, depth);
        // Instances that could never fit are refused at the first, as a
        // plain array over 2 GB is, rather than built until memory runs out.
        if (ok && i == 0 && v->count * instanceBytes(head) > MaxRecordArrayBytes) {
            o.fail(ErrNoMemory);
            ok = false;
        }
    }
    o.deleteStatement(st);
    return ok ? v : nullptr;
}

// record type name[, packing]: remembers the body lines up to the matching
// end and continues after it; the body itself never runs.
Statement* Ostrin::recordType(Statement* st)
{
    if (st->argCount < 1 || st->argCount > 2) return fail(ErrMalformed);

    uint32_t end = lineIndex + 1;
    for (; end < lineCount; ++end) {
        const char* line = lines[end];
        if (!line || !*line) continue;
        const int op = lineOpcode(line);
        if (op == 75 || (op < 0 && firstWordIs(line, "ENDTYPE"))) break;
        if (op == 74 || (op < 0 && firstWordIs(line, "TYPE"))) return fail(ErrRecordType);
    }
    if (end >= lineCount) return fail(ErrRecordType);

    int32_t packing = 8;
    if (st->argCount == 2) {
        ArgValue p;
        if (!evalArg(st, 1, KindInt, p)) return nullptr;
        packing = p.intValue;
    }

    auto* rt = new (std::nothrow) RecordType;
    if (!rt) return fail(ErrNoMemory);
    copyText(rt->name, trimName(st->args[0]), RecordNameLength);
    rt->firstLine = lineIndex + 1;
    rt->lastLine = end - 1;   // below firstLine for an empty body
    rt->packing = packing;
    try {
        recordTypes.push_back(rt);
    } catch (const std::bad_alloc&) {
        delete rt;
        return fail(ErrNoMemory);
    }
    lineIndex = end;
    return st;
}
