// Defining, finding and releasing variables.
//
// Variables live in one doubly linked chain: three built-in records, then the
// running scope (the program's variables at top level, a subroutine's locals
// inside a call). A reference text may carry "#" (follow a pointer), square
// brackets (indices) and "." (record members); it is handled in place, with
// every cut character restored before returning.
#include "ostrin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "convert.h"
#include "library/memory.h"
#include "text.h"

namespace {

inline int upper(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// True when the stored name equals ref[0, len), ignoring ASCII case. Both
// sides are significant to 30 characters.
bool nameEquals(const char* stored, const char* ref, size_t len)
{
    if (len > NameLength) len = NameLength;
    for (size_t i = 0; i < len; ++i)
        if (upper(static_cast<unsigned char>(stored[i])) != upper(static_cast<unsigned char>(ref[i])) || !stored[i])
            return false;
    return stored[len] == 0;
}

Variable* byName(Variable* first, const char* name, size_t len)
{
    if (len == 0) return nullptr;
    const int c0 = upper(static_cast<unsigned char>(name[0]));
    for (Variable* v = first; v; v = v->next)
        if (upper(static_cast<unsigned char>(v->name[0])) == c0 && nameEquals(v->name, name, len)) return v;
    return nullptr;
}

inline bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// An evaluated dimension or index: truncated and saturating (a double
// outside the integers has no defined conversion), NaN refused like a
// negative number.
int64_t wholeNumber(double d) { return std::isnan(d) ? -1 : truncToInt64(d); }

Variable* lastOf(Variable* first)
{
    Variable* v = first;
    while (v && v->next) v = v->next;
    return v;
}

// Restores a character cut into a text when the scope ends.
struct Cut {
    char* at = nullptr;
    char saved = 0;
    void make(char* p) { at = p; saved = *p; *p = 0; }
    ~Cut() { if (at) *at = saved; }
};

}  // namespace

void Ostrin::rememberElement(const char* ref, Variable* found, NameSite* sites)
{
    if (!found || errorCode || !useCaches || !isNumericType(found->type)) return;
    char name[NameLength + 1], index[NameLength + 1];
    const size_t n = plainNameLength(ref);
    const size_t k = plainNameLength(ref + n + 1);
    std::memcpy(name, ref, n);
    name[n] = 0;
    std::memcpy(index, ref + n + 1, k);
    index[k] = 0;
    // The plain lookup of the array selects all of it: the element the full
    // lookup chose is put back whatever the sites came to.
    char* selected = found->data;
    const bool same = findVariable(name, nullptr, false, &sites[0]) == found &&
                      findVariable(index, nullptr, false, &sites[1]) && elementData(sites) == selected;
    if (!same) sites[0].var = sites[1].var = nullptr;
    errorCode = 0;
    found->data = selected;
}

Variable* Ostrin::newVariableRecord()
{
    if (variablePool.empty()) return static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
    Variable* v = variablePool.back();
    variablePool.pop_back();
    std::memset(v, 0, sizeof *v);
    return v;
}

void Ostrin::dropVariableRecord(Variable* v)
{
    if (!v) return;
    // The pool's storage is reserved up front: keeping a record never allocates.
    if (variablePool.size() < variablePool.capacity()) {
        variablePool.push_back(v);
        return;
    }
    std::free(v);
}

Variable* Ostrin::defineVariable(char* name, int type, uint32_t count, Variable* chain)
{
    Cut bracketCut;
    char* open = findOutside(name, '[', false, false);
    const bool hasDims = open != nullptr;
    if (open) bracketCut.make(open);
    size_t nameLength = std::strlen(name);
    if (nameLength > NameLength) nameLength = NameLength;

    if (type == TypeIString && !hasDims) {
        failOnce(ErrIStringSize);
        return nullptr;
    }

    Variable* first = chain ? chain : &stdinVar;
    for (Variable* v = first; v; v = v->next)
        if (nameEquals(v->name, name, nameLength)) {
            failOnce(ErrExists);
            return nullptr;
        }

    Variable* v = newVariableRecord();
    if (!v) {
        failOnce(ErrNoMemory);
        return nullptr;
    }
    std::memcpy(v->name, name, nameLength);
    v->type = static_cast<uint8_t>(type);
    if (type == TypeString) {
        v->capacity = 255;
        v->width = 255;
        if (count) count = 255;
    }

    // Unlinked until complete, so a failure leaves the chain as it was.
    auto discard = [&](int code) -> Variable* {
        dropVariableRecord(v);
        failOnce(code);
        return nullptr;
    };

    if (count == 0) {
        if (hasDims || type == TypeString) v->indexed = 1;
    } else {
        if (hasDims) {
            char* text = open + 1;
            char* close = std::strchr(text, ']');
            if (!close) return discard(ErrMalformed);
            for (int k = 0; k < 3 && text < close; ++k) {
                char* end = text;
                while (end < close && *end != ',') ++end;
                Cut dimCut;
                dimCut.make(end);
                char* dimText = skipBlanks(text);
                const auto c = static_cast<unsigned char>(*dimText);
                int64_t dim;
                if (c == '(' || c == '@' || isLetter(c) || c == 0xFF) {
                    dim = wholeNumber(evaluate(dimText));
                    if (errorCode) {
                        dropVariableRecord(v);
                        return nullptr;
                    }
                } else {
                    dim = std::strtol(dimText, nullptr, 0);
                }
                // A negative dimension would wrap into a huge allocation:
                // it is refused like a dimension of 0.
                if (dim <= 0) return discard(ErrDimensionZero);
                const uint64_t product = static_cast<uint64_t>(count) * static_cast<uint64_t>(dim);
                if (product > 0x7FFFFFFF) return discard(ErrNoMemory);
                count = static_cast<uint32_t>(product);
                v->dims[k] = static_cast<int32_t>(dim);
                text = end + 1;
            }
            if (type == TypeIString) {
                v->dims[0] += 1;
                count += 1;
                v->width = 1;
                v->capacity = v->dims[0];
            }
        }
        const int size = typeSize(type);
        uint64_t bytes = static_cast<uint64_t>(count) * static_cast<uint64_t>(size);
        // An element of «s[20, 5]» is selected in rows of 21 bytes, which
        // the count above (101) does not hold: the storage takes every row.
        if (type == TypeIString && v->dims[1] > 0)
            bytes = static_cast<uint64_t>(v->dims[0]) * static_cast<uint64_t>(v->dims[1]) *
                    static_cast<uint64_t>(v->dims[2] > 0 ? v->dims[2] : 1);
        if (bytes > 0x7FFFFFFF) return discard(ErrNoMemory);
        if (bytes) {
            // A string's storage is followed by one zero byte that no write
            // reaches: a string whose last byte took the place of its
            // terminator («s[3] = "d"» on a 3-character string) still ends
            // there, so no read of it runs past the block.
            const size_t guard = type == TypeString || type == TypeIString ? 1 : 0;
            char* block = static_cast<char*>(std::calloc(static_cast<size_t>(bytes) + guard, 1));
            if (!block) return discard(ErrNoMemory);
            v->data = block;
            if (hasDims) {
                v->base = block;
                v->indexed = 1;
            }
        }
        v->count = count;
        if (type == TypeString && !hasDims) {
            v->width = 1;
            v->dims[0] = 255;
            v->base = v->data;
            v->indexed = 1;
        }
        if (type == TypeIString) v->type = TypeString;
    }

    // A chain no lookup reaches (parameters being made, record members,
    // a private holder) changes nothing anyone found. Inside a call the
    // running chain is the call's own.
    bool visible = !chain || chain == precVar.next;
    for (size_t i = 0; !visible && i < scopeStack.size(); ++i) visible = scopeStack[i] == chain;
    if (visible) chainsChanged(!scopeStack.empty() && (!chain || chain == precVar.next));
    Variable* last = lastOf(chain ? chain : &stdoutVar);
    last->next = v;
    v->prev = last;
    if (!chain) lastVariable = v;
    return v;
}

// Selects the element that the index text (after "[") names; null with the
// error set when an index is malformed or out of range.
Variable* Ostrin::selectElement(Variable* v, char* indexText)
{
    char* close = std::strchr(indexText, ']');
    if (!close) {
        failOnce(ErrMalformed);
        return nullptr;
    }
    Cut closeCut;
    closeCut.make(close);
    if (!v->base) {   // no storage of its own yet (an unbound parameter)
        failOnce(ErrRange);
        return nullptr;
    }
    int32_t idx[3] = {0, 0, 0};
    int n = 0;
    for (char* text = indexText; n < 3;) {
        char* end = text;
        while (*end && *end != ',') ++end;
        const bool more = *end == ',';
        Cut commaCut;
        if (more) commaCut.make(end);
        char* t = skipBlanks(text);
        int64_t value;
        if (holdsIndexOperator(t)) {
            const uint64_t version = chainVersion;
            value = wholeNumber(evaluate(t));
            if (errorCode) return nullptr;
            // The index may have run a statement that freed the variable.
            if (chainVersion != version && !holdsVariable(v)) return fail(ErrUndefined), nullptr;
        } else if ((*t >= '0' && *t <= '9') || *t == '-') {
            value = std::strtol(t, nullptr, 0);
        } else {
            Variable* iv = findVariable(t, nullptr, false);
            if (!iv) {
                failOnce(ErrUndefined);
                return nullptr;
            }
            if (iv->type != TypeInt) {
                failOnce(ErrType);
                return nullptr;
            }
            value = *reinterpret_cast<int32_t*>(iv->data);
        }
        if (value < 0 || value >= v->dims[n]) {
            failOnce(ErrRange);
            return nullptr;
        }
        idx[n++] = static_cast<int32_t>(value);
        if (!more) break;
        text = end + 1;
    }

    const int32_t d0 = v->dims[0], d1 = v->dims[1];
    const int64_t h = idx[0] + static_cast<int64_t>(d0) * (idx[1] + static_cast<int64_t>(d1) * idx[2]);
    if (v->type == TypeString) {
        v->data = v->base + h * v->width;
        if (v->width == 1) v->capacity = n == 1 ? 1 : d0 - idx[0];
    } else {
        v->data = v->base + h * typeSize(v->type);
    }
    return v;
}

// Steps of a lookup within one chain: pointer, indices, member path. Null
// when not found (no error set) or when an index failed (error set).
Variable* Ostrin::searchChain(Variable* first, char* ref)
{
    ref = skipBlanks(ref);
    const size_t length = std::strlen(ref);
    Cut dotCut, bracketCut;
    char* memberPath = nullptr;
    char* indexText = nullptr;
    if (length > 1) {
        if (char* dot = findOutside(ref, '.', true, false)) {
            dotCut.make(dot);
            memberPath = dot + 1;
        }
    }
    const bool pointer = ref[0] == '#';
    char* name = pointer ? ref + 1 : ref;
    if (length > 1 && std::strchr(ref, '[')) {
        char* open = std::strchr(ref, '[');
        bracketCut.make(open);
        indexText = open + 1;
    } else if (static_cast<unsigned char>(ref[0]) == 0xFE && static_cast<unsigned char>(ref[1]) == 0xE4 &&
               static_cast<unsigned char>(ref[2]) == 0xE8) {
        return findCurrentWindow(first);
    }

    size_t nameLength = 0;
    while (name[nameLength] && !isBlank(name[nameLength])) ++nameLength;
    Variable* v = byName(first, name, nameLength);
    if (v && pointer) v = v->target;
    if (!v) return nullptr;

    if (!indexText) {
        selectWhole(v);
    } else {
        if (v->type == TypeString && v->width == 1) v->capacity = v->dims[0];
        if (!selectElement(v, indexText)) return nullptr;
    }

    if (memberPath && v->type == TypeUser) {
        Variable* head = v->data ? *reinterpret_cast<Variable**>(v->data) : nullptr;
        Variable* member = head ? searchChain(head, memberPath) : nullptr;
        if (!member) failOnce(ErrUndefined);
        return member;
    }
    return v;
}

Variable* Ostrin::findCurrentWindow(Variable* first)
{
    const auto current = static_cast<uint32_t>(constants[CurrentWindowSlot]);
    for (Variable* v = first; v; v = v->next) {
        if (v->type != TypeWindow || !v->data) continue;
        const uint32_t elements = v->indexed ? v->count : 1;
        char* start = v->indexed ? v->base : v->data;
        for (uint32_t i = 0; i < elements; ++i) {
            char* element = start + i * sizeof(uint32_t);
            if (*reinterpret_cast<uint32_t*>(element) == current) {
                v->data = element;
                return v;
            }
        }
    }
    return nullptr;
}

// The upper-case key and hash of a plain reference: a letter, then letters,
// digits and "_", within the significant length. False for any other.
static bool plainKey(const char* ref, char* key, uint32_t& hash)
{
    hash = 2166136261u;
    size_t n = 0;
    for (; ref[n]; ++n) {
        const auto c = static_cast<unsigned char>(ref[n]);
        const bool letter = isLetter(c);
        if (n == NameLength || !(letter || (n > 0 && ((c >= '0' && c <= '9') || c == '_')))) return false;
        key[n] = static_cast<char>(upper(c));
        hash = (hash ^ static_cast<unsigned char>(key[n])) * 16777619u;
    }
    key[n] = 0;
    return n > 0;
}

// Remembers where a plain name was found now, and, inside a call whose
// chain is as it began, where in its frame or that it lies outside it.
void Ostrin::fillSite(NameSite& site, Variable* v)
{
    site = {v, chainVersion, nullptr, 0, 0};
    if (!frame.label || chainVersion != frame.version || runningChain() != frame.params) return;
    site.label = frame.label;
    uint32_t k = 0;
    for (Variable* p = frame.params; p; p = p->next, ++k)
        if (p == v) {
            site.place = k;
            return;
        }
    site.place = OutsideFrame;
    site.outside = outsideChanges;
}

// findVariable past its site.
Variable* Ostrin::searchVariable(char* ref, Variable* chain, bool runIfMissing, NameSite* site)
{
    // A call without a frame has it made before anything is looked up in
    // its scope.
    if (!chain && frame.frameless) [[unlikely]]
        frameOnDemand();
    if (site && !chain)
        if (Variable* v = frameHit(*site)) return selectWhole(v);
    FoundName* found = nullptr;
    char key[NameLength + 1];
    uint32_t hash;
    if (!chain && useCaches && !errorCode && plainKey(ref, key, hash)) {
        found = &foundNames[hash % FoundNameCount];
        if (found->var && found->version == chainVersion && std::strcmp(found->name, key) == 0) {
            if (site) fillSite(*site, found->var);
            return selectWhole(found->var);
        }
    }
    auto remember = [&](Variable* v) {
        if (found && !errorCode) {
            std::memcpy(found->name, key, sizeof key);
            found->var = v;
            found->version = chainVersion;
            if (site) fillSite(*site, v);
        }
        return v;
    };

    // A plain name has no pointer, index or member to follow: the search
    // is the comparison of names alone.
    const size_t keyLength = found ? std::strlen(key) : 0;
    auto search = [&](Variable* first) {
        if (!found) return searchChain(first, ref);
        Variable* v = byName(first, key, keyLength);
        return v ? selectWhole(v) : nullptr;
    };
    Variable* v = search(chain ? chain : &stdoutVar);
    if (v) return remember(v);
    // Inside a subroutine the top-level program's variables stay visible;
    // the locals of intermediate callers do not.
    if (!chain && !errorCode && !scopeStack.empty()) {
        v = search(scopeStack.front());
        if (v) return remember(v);
    }
    if (errorCode) return nullptr;   // an index failed: keep its code
    failOnce(ErrUndefined);
    if (!runIfMissing) return nullptr;

    // Not a variable: run the text as a statement line, which is how a
    // function written inside an argument yields its value.
    errorCode = 0;
    Statement* st = newStatement(MaxArgs);
    if (!st) return nullptr;
    Variable* result = nullptr;
    if (decodeStatement(st, ref) != 0) {
        errorCode = ErrUndefined;
    } else {
        Handler h = handlerFor(st->opcode);
        if (!h) errorCode = ErrMalformed;
        else if ((this->*h)(st) && !errorCode) result = resultVariable(st->resultType);
    }
    deleteStatement(st);
    return result;
}

namespace {

// Takes a window or dialog out of the window list: the list must never
// hold an object that is gone.
void unlist(std::vector<void*>& list, void* object)
{
    list.erase(std::remove(list.begin(), list.end(), object), list.end());
}

}  // namespace

// Releases what a record owns: windows, dialogs, streams, memory blocks,
// record members and parameter lists. Borrowed records own nothing but
// their label lists and the blocks they allocated themselves.
void Ostrin::releaseObjects(Variable* v)
{
    if (v->type == TypeLabel) {
        if (v->members) {
            freeKeptFrames(v->members);
            freeVariables(v->members, false);
        }
        v->members = nullptr;
        return;
    }
    if (!v->data) return;
    char* start = v->indexed && v->base ? v->base : v->data;
    const uint32_t elements = v->indexed ? v->count : 1;
    if (v->type == TypeMemory) {
        // The blocks its own elements allocated, a parameter's too (one
        // that got no argument has elements of its own); an element shared
        // with the caller is the caller's.
        if (!v->sharedData) releaseMemoryBlocks(reinterpret_cast<char* const*>(start), elements);
        return;
    }
    if (v->borrowed) return;
    switch (v->type) {
    case TypeWindow:
        for (uint32_t i = 0; i < elements; ++i) {
            void*& obj = reinterpret_cast<void**>(start)[i];
            if (!obj) continue;
            void* window = obj;
            obj = nullptr;
            unlist(windowList, window);
            if (ui) ui->deleteWindow(window);
            setCurrentWindow(nullptr);
            // As closing it does: later prints go to the console again.
            if (outputWindow == window) outputWindow = nullptr;
        }
        break;
    case TypeDialog:
        for (uint32_t i = 0; i < elements; ++i) {
            void*& obj = reinterpret_cast<void**>(start)[i];
            if (!obj) continue;
            void* dialog = obj;
            obj = nullptr;
            unlist(windowList, dialog);   // a shown dialog is listed
            if (currentWindow() == dialog) setCurrentWindow(nullptr);
            if (ui) ui->deleteDialog(dialog);
        }
        break;
    case TypeFile:
    case TypeBFile:
        if (v->builtIn) break;
        for (uint32_t i = 0; i < elements; ++i) {
            FILE*& stream = reinterpret_cast<FILE**>(start)[i];
            if (stream) std::fclose(stream);
            stream = nullptr;
        }
        break;
    case TypeUser:
        for (uint32_t i = 0; i < v->count; ++i) {
            Variable*& head = reinterpret_cast<Variable**>(start)[i];
            if (head) freeVariables(head, false);
            head = nullptr;
        }
        break;
    default:
        break;
    }
}

void Ostrin::freeVariables(Variable* chain, bool stopAtBorrowed, bool confined)
{
    if (!chain) return;
    chainsChanged(confined);
    Variable* last = lastOf(chain);
    // Numbers and strings own nothing to release: every call frees its
    // parameters, so they skip the call.
    for (Variable* v = last; v; v = v == chain ? nullptr : v->prev)
        if (!v->builtIn && v->type != TypeString && !isNumericType(v->type)) releaseObjects(v);

    for (Variable* v = last; v;) {
        Variable* prev = v == chain ? nullptr : v->prev;
        if (stopAtBorrowed && v->borrowed) {
            v->next = nullptr;
            if (v == lastVariable || !lastVariable) lastVariable = v;
            break;
        }
        if (v->data && v->indexed && v->base) v->data = v->base;
        if (!v->builtIn) {
            if (v->data && !v->sharedData && v->data != v->local) std::free(v->data);
            if (lastVariable == v) lastVariable = prev;
            if (prev) prev->next = nullptr;
            dropVariableRecord(v);
        }
        v = prev;
    }
}
