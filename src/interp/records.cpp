// Helpers over record instances: a head record followed by one member
// variable per field. Sizes, packing into and out of byte blocks, stream
// output and input, and copying one instance into another.
#include "ostrin.h"

#include <cstring>

namespace {

// The member's first element, with an indexed member's selection undone.
inline char* elements(Variable* m)
{
    if (m->indexed && m->base) m->data = m->base;
    return m->data;
}

inline size_t plainBytes(const Variable* m) { return static_cast<size_t>(m->count) * typeSize(m->type); }

inline Variable* instanceHead(Variable* m, uint32_t i) { return reinterpret_cast<Variable**>(m->data)[i]; }

}  // namespace

uint32_t Ostrin::recordSize(Variable* head)
{
    uint32_t size = 0;
    for (Variable* m = head ? head->next : nullptr; m; m = m->next) {
        if (!elements(m)) continue;
        if (m->type == TypeUser)
            for (uint32_t i = 0; i < m->count; ++i) size += recordSize(instanceHead(m, i));
        else
            size += static_cast<uint32_t>(plainBytes(m));
    }
    return size;
}

char* Ostrin::packRecord(Variable* head, char* out)
{
    for (Variable* m = head ? head->next : nullptr; m; m = m->next) {
        if (!elements(m)) continue;
        if (m->type == TypeUser) {
            for (uint32_t i = 0; i < m->count; ++i) out = packRecord(instanceHead(m, i), out);
        } else {
            std::memcpy(out, m->data, plainBytes(m));
            out += plainBytes(m);
        }
    }
    return out;
}

char* Ostrin::unpackRecord(Variable* head, char* in)
{
    for (Variable* m = head ? head->next : nullptr; m; m = m->next) {
        if (!elements(m)) continue;
        if (m->type == TypeUser) {
            for (uint32_t i = 0; i < m->count; ++i) in = unpackRecord(instanceHead(m, i), in);
        } else {
            std::memcpy(m->data, in, plainBytes(m));
            in += plainBytes(m);
        }
    }
    return in;
}

void Ostrin::writeRecord(Variable* head, FILE* stream)
{
    for (Variable* m = head ? head->next : nullptr; m; m = m->next) {
        if (!elements(m)) continue;
        if (m->type == TypeUser)
            for (uint32_t i = 0; i < m->count; ++i) writeRecord(instanceHead(m, i), stream);
        else
            std::fwrite(m->data, 1, plainBytes(m), stream);
    }
}

// Stops at the first member that reads no bytes (the end of the stream).
static bool readMembers(Ostrin& o, Variable* head, FILE* stream)
{
    for (Variable* m = head ? head->next : nullptr; m; m = m->next) {
        if (!elements(m)) continue;
        if (m->type == TypeUser) {
            for (uint32_t i = 0; i < m->count; ++i)
                if (!readMembers(o, instanceHead(m, i), stream)) return false;
        } else if (plainBytes(m) && std::fread(m->data, 1, plainBytes(m), stream) == 0) {
            return false;
        }
    }
    return true;
}

void Ostrin::readRecord(Variable* head, FILE* stream) { readMembers(*this, head, stream); }

bool Ostrin::copyRecord(Variable* dest, Variable* src)
{
    Variable* d = dest ? dest->next : nullptr;
    Variable* s = src ? src->next : nullptr;
    for (; d && s; d = d->next, s = s->next) {
        if (d->type != s->type) {
            fail(ErrNoConvert);
            return false;
        }
        char* dd = elements(d);
        char* sd = elements(s);
        switch (d->type) {
        case TypeString:
            if (dd && sd && d->capacity > 0) {
                size_t n = strnlen(sd, static_cast<size_t>(s->capacity > 0 ? s->capacity : 0));
                if (n > static_cast<size_t>(d->capacity - 1)) n = static_cast<size_t>(d->capacity - 1);
                std::memmove(dd, sd, n);
                dd[n] = 0;
            }
            break;
        case TypeDouble:
        case TypeInt64:
        case TypeUInt64:
            if (dd && sd) std::memcpy(dd, sd, 8);
            break;
        case TypeUser:
            for (uint32_t i = 0; i < d->count && i < s->count; ++i)
                if (!copyRecord(instanceHead(d, i), instanceHead(s, i))) return false;
            break;
        case TypePointer:
            if (dd && sd) std::memcpy(dd, sd, 4);
            d->target = s->target;
            break;
        case TypeArray:
        case TypeSystem:
        case TypeLabel:
        case TypeWindow:
        case TypeDialog:
        case TypeIString:
            fail(ErrNoConvert);
            return false;
        default:
            if (dd && sd) std::memcpy(dd, sd, typeSize(d->type) >= 4 ? 4 : static_cast<size_t>(typeSize(d->type)));
            break;
        }
    }
    return true;
}
