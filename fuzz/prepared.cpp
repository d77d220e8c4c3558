#include "prepared.h"

#include <sanitizer/allocator_interface.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace fuzz {

namespace {

// Calls f for every variable record reachable from the chain's head, each
// one followed by what hangs from it (a label's parameters, the member
// chains of a record variable's instances); stops early when f returns
// false, before following a record that differs.
template <typename F>
bool eachVariable(const Variable* first, F& f)
{
    for (const Variable* v = first; v; v = v->next) {
        if (!f(v)) return false;
        if (v->members && !eachVariable(v->members, f)) return false;
        if (v->type == TypeUser && v->data && !v->borrowed) {
            const char* start = v->indexed && v->base ? v->base : v->data;
            const uint32_t elements = v->indexed ? v->count : 1;
            for (uint32_t i = 0; i < elements; ++i) {
                const Variable* head;
                std::memcpy(&head, start + i * sizeof head, sizeof head);
                if (head && !eachVariable(head, f)) return false;
            }
        }
    }
    return true;
}

// The heap block that starts at p, or false when p starts none (the
// built-in records' data, a selected element inside its array).
bool heapBlock(const void* p, size_t& size)
{
    if (!p || !__sanitizer_get_ownership(p)) return false;
    size = __sanitizer_get_allocated_size(p);
    return true;
}

}  // namespace

Prepared::Prepared(std::string image, uint64_t steps, unsigned kept)
    : o_(interpreter()), image_(image.begin(), image.end()), steps_(steps), expressionsKept_(kept)
{
    if (image_.empty() || image_.back() != 0) image_.push_back(0);
}

Prepared::~Prepared()
{
    if (std::getenv("OSTRIN_FUZZ_STATS"))
        std::fprintf(stderr, "fuzz: %lu inputs, prepared %lu times\n", inputs_, prepares_);
}

bool Prepared::tracing()
{
    static const bool on = std::getenv("OSTRIN_FUZZ_TRACE") != nullptr;
    return on;
}

// A digest of what the last input left: the plain settings, and the names,
// shapes and values of every variable. Addresses are left out (pointers,
// record instances, objects), as they differ from process to process.
void Prepared::trace() const
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](const void* p, size_t n) {
        for (size_t k = 0; k < n; ++k) h = (h ^ static_cast<const unsigned char*>(p)[k]) * 1099511628211ull;
    };
    auto mixValue = [&](auto v) { mix(&v, sizeof v); };
    mixValue(o_.errorCode);
    mixValue(o_.stringResult);
    mixValue(o_.lineIndex);
    mixValue(o_.controlTop);
    mixValue(o_.scopeStack.size());
    mixValue(o_.recordTypes.size());
    mixValue(o_.namedConstants.size());
    mixValue(o_.decimalPrecision);
    mixValue(o_.implicitDeclarations);
    size_t count = 0;
    auto add = [&](const Variable* v) {
        ++count;
        mix(v->name, sizeof v->name);
        mixValue(v->type);
        mixValue(v->count);
        mixValue(v->capacity);
        switch (v->type) {
        case TypeString: case TypeChar: case TypeInt: case TypeFloat: case TypeWord:
        case TypeDouble: case TypeInt64: case TypeUInt64: case TypeUInt: {
            const char* start = v->indexed && v->base ? v->base : v->data;
            size_t size;
            if (heapBlock(start, size)) mix(start, size);
            break;
        }
        default:
            break;
        }
        return true;
    };
    eachVariable(&o_.stdoutVar, add);
    std::fprintf(stderr, "fuzz-trace: %zu variables, state %016llx\n", count, static_cast<unsigned long long>(h));
}

void Prepared::prepare()
{
    ++prepares_;
    o_.release();
    limitRun(o_);
    o_.implicitDeclarations = true;
    o_.errorCode = 0;
    o_.stringResult = false;
    // The image is split in place: each preparation starts from its text.
    static std::vector<char> running;
    running = image_;
    if (!o_.load()) __builtin_trap();
    o_.attachImage(running.data());
    if (!o_.run()) __builtin_trap();   // the prepared program must run
    // The caches start empty for every input, as after a lone preparation.
    o_.forgetDecodedLines();
    o_.freeExpressions();
    sinceExpressions_ = 0;
    std::memset(o_.foundNames, 0, sizeof o_.foundNames);
    take(snap_);
    ready_ = true;
}

void Prepared::take(Snapshot& s)
{
    s = Snapshot{};
    auto record = [&](const Variable* v) {
        s.variables.push_back(v);
        s.records.push_back(*v);
        size_t extent = 0;
        heapBlock(v->base, extent);
        s.extents.push_back(extent);
        for (char* p : {v->data, v->base}) {
            size_t size;
            bool known = false;
            for (const Block& b : s.blocks) known = known || b.at == p;
            if (!known && heapBlock(p, size)) s.blocks.push_back({p, std::vector<char>(p, p + size)});
        }
        return true;
    };
    eachVariable(&o_.stdoutVar, record);
    for (const Variable* v = &o_.stdoutVar; v; v = v->next) s.topLevel.push_back(v);
    s.scopes = o_.scopeStack;
    s.control.assign(o_.controlStack, o_.controlStack + o_.controlTop);
    for (const RecordType* rt : o_.recordTypes) {
        s.recordTypes.push_back(rt);
        s.recordTypeValues.push_back(*rt);
    }
    s.namedConstants = o_.namedConstants;
    const char* text = o_.image;
    s.image.assign(text, text + image_.size());
    s.lines.assign(o_.lines, o_.lines + o_.lineCount);
    s.lineNumbers.assign(o_.lineNumbers, o_.lineNumbers + o_.lineCount);
    s.constants.assign(o_.constants, o_.constants + Ostrin::ConstantCount);
    s.scratch = o_.scratch.mark();
    s.lastVariable = o_.lastVariable;
    s.lineIndex = o_.lineIndex;
    s.decimalPrecision = o_.decimalPrecision;
    s.implicitDeclarations = o_.implicitDeclarations;
    s.consoleOpen = o_.consoleOpen;
}

// Everything an input may change that cannot simply be written back.
bool Prepared::sameShape() const
{
    const Snapshot& s = snap_;
    size_t i = 0;
    auto same = [&](const Variable* v) {
        if (i >= s.variables.size() || s.variables[i] != v) return false;
        // A reference selects an element by moving `data` inside the
        // variable's own block (and a string's capacity with it): a
        // selection, written back like a value.
        Variable expected = s.records[i];
        if (v->base && v->base == expected.base && v->data >= v->base &&
            v->data < v->base + s.extents[i]) {
            expected.data = v->data;
            expected.capacity = v->capacity;
        }
        if (std::memcmp(v, &expected, sizeof(Variable)) != 0) return false;
        ++i;
        return true;
    };
    if (!eachVariable(&o_.stdoutVar, same) || i != s.variables.size()) return false;
    if (o_.scopeStack != s.scopes || o_.lastVariable != s.lastVariable) return false;
    if (o_.controlTop != s.control.size() ||
        !std::equal(s.control.begin(), s.control.end(), o_.controlStack))
        return false;
    if (o_.recordTypes.size() != s.recordTypes.size()) return false;
    for (size_t k = 0; k < s.recordTypes.size(); ++k)
        if (o_.recordTypes[k] != s.recordTypes[k] ||
            std::memcmp(o_.recordTypes[k], &s.recordTypeValues[k], sizeof(RecordType)) != 0)
            return false;
    if (!o_.windowList.empty() || !o_.fileFinders.empty() || o_.outputWindow) return false;
    const ScratchStack::Mark m = o_.scratch.mark();
    if (m.block != s.scratch.block || m.used != s.scratch.used) return false;
    if (o_.lineCount != s.lines.size() || std::memcmp(o_.image, s.image.data(), s.image.size()) != 0 ||
        !std::equal(s.lines.begin(), s.lines.end(), o_.lines) ||
        !std::equal(s.lineNumbers.begin(), s.lineNumbers.end(), o_.lineNumbers))
        return false;
    return o_.loaded == 1;
}

// What an input may leave behind that a fresh preparation would not have
// and that can go exactly as the engine lets it go: the scopes of the
// subroutines a run stopped in (as release() ends them), control frames,
// the variables, labels and record types declared after the prepared ones.
// Anything else stays for sameShape() to judge.
void Prepared::dropLeftovers()
{
    if (!o_.scopeStack.empty()) {
        Variable* top = o_.scopeStack.front();
        if (top != o_.runningChain()) o_.freeVariables(o_.runningChain(), false);
        for (size_t i = 1; i < o_.scopeStack.size(); ++i)
            if (o_.scopeStack[i] != top) o_.freeVariables(o_.scopeStack[i], false);
        o_.setRunningChain(top);
        o_.scopeStack.clear();
    }
    if (o_.controlTop > snap_.control.size()) o_.controlTop = static_cast<uint32_t>(snap_.control.size());

    if (o_.lastVariable != snap_.lastVariable) {
        const Variable* v = &o_.stdoutVar;
        for (const Variable* expected : snap_.topLevel) {
            if (v != expected) return;
            v = v->next;
        }
        Variable* last = snap_.lastVariable;
        if (v && last->next == v) {
            o_.freeVariables(last->next, false);
            last->next = nullptr;
            o_.lastVariable = last;
        }
    }

    const size_t kept = snap_.recordTypes.size();
    if (o_.recordTypes.size() > kept &&
        std::equal(snap_.recordTypes.begin(), snap_.recordTypes.end(), o_.recordTypes.begin())) {
        for (size_t k = kept; k < o_.recordTypes.size(); ++k) delete o_.recordTypes[k];
        o_.recordTypes.resize(kept);
    }
}

// The values an input may change in place.
void Prepared::restore()
{
    for (size_t i = 0; i < snap_.variables.size(); ++i)
        std::memcpy(const_cast<Variable*>(snap_.variables[i]), &snap_.records[i], sizeof(Variable));
    for (const Block& b : snap_.blocks) std::memcpy(b.at, b.bytes.data(), b.bytes.size());
    std::memcpy(o_.constants, snap_.constants.data(), sizeof o_.constants);
    if (o_.namedConstants != snap_.namedConstants) o_.namedConstants = snap_.namedConstants;
    o_.lineIndex = snap_.lineIndex;
    o_.decimalPrecision = snap_.decimalPrecision;
    o_.implicitDeclarations = snap_.implicitDeclarations;
    o_.consoleOpen = snap_.consoleOpen;
    std::memset(o_.foundNames, 0, sizeof o_.foundNames);
}

Ostrin& Prepared::fresh()
{
    ++inputs_;
    if (!ready_) prepare();
    limitRun(o_, steps_);
    o_.errorCode = 0;
    o_.stringResult = false;
    resetRandom();
    return o_;
}

// Done as the input ends rather than as the next begins, so an input frees
// within its own run what it declared: libFuzzer checks for a leak (running
// the input again) after every input that allocated more than it freed.
void Prepared::done(bool lineChanged)
{
    if (tracing()) trace();
    dropLeftovers();
    if (!sameShape()) {
        prepare();
        return;
    }
    restore();
    if (lineChanged) o_.forgetDecodedLines();
    // A fresh cache per input halved the expression target's speed: the
    // table is large. It goes while still far from full, so no input finds
    // it full and every new text is compiled, as in a lone run.
    if (++sinceExpressions_ >= expressionsKept_) {
        o_.freeExpressions();
        sinceExpressions_ = 0;
    }
}

}  // namespace fuzz
