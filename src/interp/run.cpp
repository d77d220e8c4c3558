// Splitting the image into lines, the label pre-pass and the run loop.
#include "ostrin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "convert.h"
#include "platform.h"
#include "text.h"

namespace {

enum class LineKind { Empty, Blank, Comment, Stored };

// Kind of the line [start, end) judged after its leading blanks. A line of
// blanks is told from an empty one because they number differently.
LineKind classify(const char* start, const char* end)
{
    const char* p = start;
    while (p < end && isBlank(*p)) ++p;
    const bool hadBlanks = p > start;
    if (p == end || (*p == '\r' && p + 1 == end)) return hadBlanks ? LineKind::Blank : LineKind::Empty;
    if (*p == ';' || *p == '\'') return LineKind::Comment;
    return LineKind::Stored;
}

}  // namespace

int Ostrin::splitLines()
{
    // Counted exactly as the split below judges lines, after cutting the CR
    // of a CR LF: a line the count took for a statement and the split for
    // an empty one would leave a slot without its line.
    uint32_t count = 0;
    for (const char* p = image; *p;) {
        const char* end = std::strchr(p, '\n');
        if (!end) end = p + std::strlen(p);
        const char* lineEnd = *end && end > p && end[-1] == '\r' ? end - 1 : end;
        if (classify(p, lineEnd) == LineKind::Stored) ++count;
        p = *end ? end + 1 : end;
    }
    if (count == 0) return 0;

    lines = static_cast<char**>(std::calloc(count, sizeof(char*)));
    lineNumbers = static_cast<uint16_t*>(std::calloc(count, sizeof(uint16_t)));
    if (!lines || !lineNumbers) {
        std::free(lines);
        std::free(lineNumbers);
        lines = nullptr;
        lineNumbers = nullptr;
        errorCode = ErrNoMemory;
        return 0;
    }

    // Source lines advance after a CR LF, a comment or a blank line; lines
    // joined by a bare LF share one number.
    uint32_t n = 1, stored = 0;
    bool crlf = true;
    for (char* p = image; *p;) {
        char* end = std::strchr(p, '\n');
        const bool last = end == nullptr;
        if (last) {
            end = p + std::strlen(p);
        } else if (end > p && end[-1] == '\r') {
            crlf = true;
            end[-1] = 0;
            *end = 0;
        } else {
            crlf = false;
            *end = 0;
        }
        char* lineEnd = last ? end : (crlf ? end - 1 : end);
        switch (classify(p, lineEnd)) {
        case LineKind::Empty:
            if (crlf) ++n;
            break;
        case LineKind::Blank:
        case LineKind::Comment:
            ++n;
            break;
        case LineKind::Stored:
            lines[stored] = skipBlanks(p);
            lineNumbers[stored] = static_cast<uint16_t>(n - 1);
            ++stored;
            if (crlf) ++n;
            break;
        }
        p = last ? end : end + 1;
    }
    lineCount = stored;
    return 1;
}

int Ostrin::collectLabels()
{
    Statement* st = newStatement(MaxArgs);
    if (!st) return 0;
    int ok = 1;
    for (lineIndex = 0; lineIndex < lineCount && ok; ++lineIndex) {
        char* line = lines[lineIndex];
        const auto* u = reinterpret_cast<const unsigned char*>(line);
        const bool statementLine = u[0] == 0xFF;
        char* cut;
        if (statementLine) {
            cut = line + 1;
            if (*cut) ++cut;
            if (*cut) ++cut;
        } else {
            cut = line + std::strcspn(line, " \t(");
            if (!*cut) {
                char* colon = std::strchr(line, ':');
                if (!colon) continue;   // not a label line
                cut = colon + 1;
            }
        }

        const char saved = *cut;
        *cut = 0;
        // A truncated opcode names no statement (and u[2] may lie past the
        // line's end).
        const int opcode = statementLine && u[1] && u[2] ? (((u[1] - 0xE0) * 16 + (u[2] - 0xE0)) & 0xFF) : -1;
        const size_t wordLength = static_cast<size_t>(cut - line);
        const bool colonLabel = !statementLine && wordLength > 1 && line[wordLength - 1] == ':';
        const bool isLabel = opcode == 23 || opcode == 56 || sameName(line, "label", 6) || sameName(line, "sub", 4) ||
                             colonLabel;
        if (!isLabel) {
            *cut = saved;
            continue;
        }

        char* name = st->args[0];
        if (colonLabel) {
            copyText(name, line, static_cast<int>(wordLength - 1 > 37 ? 37 : wordLength - 1));
            *cut = saved;
            line[0] = 0;   // the run loop skips the emptied line
        } else {
            *cut = saved;
            const char* from = skipBlanks(cut);
            size_t n = std::strcspn(from, " \t(");
            if (n > ArgSize - 1) n = ArgSize - 1;
            copyText(name, from, static_cast<int>(n));
            if (n == 0) name[0] = 0;
        }
        st->opcode = 23;
        st->argCount = 1;
        st->argClass[0] = ClassVariable;
        st->argText = name;
        st->resultType = NoResult;
        st->toFile = 0;
        if (!labelDefinition(st)) ok = 0;
    }
    deleteStatement(st);
    return ok;
}

// Handlers that never write into their argument texts, nor cut them while
// something else runs that could decode the same line: their line's texts
// are lent rather than copied. A name with an index expression is cut at
// its bracket while the index runs, so only plain names and «name[index]»
// with a plain index qualify where a handler looks a name up; and an
// assignment's element whose indices are computed, which its handler
// selects by its compiled form or else looks up in its own copy
// (ownArguments). Every line lent runs directly (runDirect), which must
// know its statement.
static bool onlyReadsArguments(const Statement* st)
{
    const auto readsName = [](const char* text) { return isPlainName(text) || isElementReference(text); };
    const auto assigned = [&](const char* text) { return readsName(text) || hasComputedIndex(text); };
    switch (st->opcode) {
    case 3:   // next step
        return st->argCount == 1 && isPlainName(st->args[0]);
    case 4: case 5: case 6: case 7: case 55:   // while, conditionals, else: the line text alone
        return true;
    case 45:  // return of a value: read; a literal string is cut at its quote
        if (st->argCount != 1) return false;
        switch (st->argClass[0]) {
        case ClassNumber: case ClassExpression: return true;
        case ClassVariable: return readsName(st->args[0]);
        default: return false;
        }
    case 20:  // assignment of one value
        if (st->argCount != 2 || !assigned(st->args[0])) return false;
        switch (st->argClass[1]) {
        case ClassNumber: case ClassString: case ClassExpression: return true;
        case ClassVariable: return assigned(st->args[1]);
        default: return false;
        }
    default:
        return false;
    }
}

// A line as decoding leaves it. Statement lines, assignments and label
// lines decode the same way every time; a plain line that calls a label
// depends on the label existing then, so it is decoded each time it runs.
struct Ostrin::DecodedLine {
    enum State : uint8_t { Unknown, Cached, Uncached };
    State state;
    uint8_t argCount;
    uint16_t opcode;
    char* args;              // the argument texts one after another, or null
    char* argText;           // null: argTextOffset into the statement's buffer
    int32_t argTextOffset;
    BlockEnd blockEnd;
    bool lends;              // its handler only reads its arguments
    LineMemo memo;
    uint8_t argClass[MaxArgs];
    uint16_t argLength[MaxArgs];
};

void Ostrin::prepareDecodedLines()
{
    freeDecodedLines();
    if (!useCaches || lineCount == 0) return;
    // Without the memory the lines are simply decoded each time.
    decodedLines = static_cast<DecodedLine*>(std::calloc(lineCount, sizeof(DecodedLine)));
}

// An inline branch's decoded form, kept in its conditional's memo. The
// branch is cut out of a copy of the line each time it runs, so the kept
// form owns a copy of its text for the texts it points into.
struct KeptBranch {
    Ostrin::DecodedLine line;
    char* text;
};

namespace {

// What a kept form owns: its argument texts and its branches' forms.
void freeKeptParts(Ostrin::DecodedLine& d)
{
    std::free(d.args);
    for (KeptBranch* b : d.memo.branches) {
        if (!b) continue;
        freeKeptParts(b->line);
        std::free(b->text);
        std::free(b);
    }
}

void forgetCompiledForm(LineMemo& memo)
{
    memo.code = memo.target = nullptr;
    for (KeptBranch* b : memo.branches)
        if (b) forgetCompiledForm(b->line.memo);
}

}  // namespace

void Ostrin::freeDecodedLines()
{
    if (!decodedLines) return;
    for (uint32_t i = 0; i < lineCount; ++i) freeKeptParts(decodedLines[i]);
    std::free(decodedLines);
    decodedLines = nullptr;
}

// The compiled forms that the lines' memos point to live in the expression
// cache: they go with it.
void Ostrin::forgetCompiledForms()
{
    if (!decodedLines) return;
    for (uint32_t i = 0; i < lineCount; ++i) forgetCompiledForm(decodedLines[i].memo);
}

Ostrin::BlockEnd* Ostrin::blockEndOf(uint32_t line)
{
    return decodedLines && line < lineCount ? &decodedLines[line].blockEnd : nullptr;
}

// Fills st from a line's kept form: what decoding the line gives, without
// reading its text again.
inline void Ostrin::refillLine(Statement* st, DecodedLine& d)
{
    st->opcode = d.opcode;
    st->argCount = d.argCount;
    st->resultType = NoResult;
    st->toFile = 0;
    char* from = d.args;
    // Only full-size statements lend: their buffer layout is known.
    if (d.lends && (st->lent || st->args[MaxArgs - 1])) {
        for (int i = 0; i < d.argCount; ++i) {
            st->args[i] = from;
            from += d.argLength[i] + 1u;
            st->argClass[i] = d.argClass[i];
        }
        st->lent = true;
    } else {
        lentArgsBack(st);
        for (int i = 0; i < d.argCount; ++i) {
            std::memcpy(st->args[i], from, d.argLength[i] + 1u);
            from += d.argLength[i] + 1u;
            st->argClass[i] = d.argClass[i];
        }
    }
    st->argText = d.argText ? d.argText : st->buffer + d.argTextOffset;
    st->memo = &d.memo;
}

// Decodes the line at lineIndex into st (stepLine refills a kept one
// itself, without the call).
int Ostrin::decodeLine(Statement* st)
{
    char* line = lines[lineIndex];
    if (!decodedLines) return decodeStatement(st, line);
    return decodeKept(st, decodedLines[lineIndex], line);
}

// Decodes text, which never changes, into st: from its kept form d when it
// has one; the first time, keeping the form in d when the text decodes the
// same way every time.
int Ostrin::decodeKept(Statement* st, DecodedLine& d, char* text)
{
    if (d.state == DecodedLine::Cached) {
        refillLine(st, d);
        return 0;
    }
    const int failed = decodeStatement(st, text);
    if (d.state != DecodedLine::Unknown) return failed;
    d.state = DecodedLine::Uncached;
    const bool fixed = static_cast<unsigned char>(text[0]) == 0xFF || st->opcode == 20 || st->opcode == 23;
    if (failed || !fixed) return failed;

    size_t total = 0;
    for (int i = 0; i < st->argCount; ++i) total += std::strlen(st->args[i]) + 1;
    char* args = total ? static_cast<char*>(std::malloc(total)) : nullptr;
    if (total && !args) return failed;
    char* to = args;
    for (int i = 0; i < st->argCount; ++i) {
        const size_t n = std::strlen(st->args[i]);
        std::memcpy(to, st->args[i], n + 1);
        to += n + 1;
        d.argLength[i] = static_cast<uint16_t>(n);
        d.argClass[i] = static_cast<uint8_t>(st->argClass[i]);
    }
    const bool inBuffer = st->argText >= st->buffer && st->argText < st->buffer + MaxArgs * ArgSize;
    d.argText = inBuffer ? nullptr : st->argText;
    d.argTextOffset = inBuffer ? static_cast<int32_t>(st->argText - st->buffer) : 0;
    d.args = args;
    d.lends = d.argText && onlyReadsArguments(st);
    d.opcode = st->opcode;
    d.argCount = static_cast<uint8_t>(st->argCount);
    d.state = DecodedLine::Cached;
    st->memo = &d.memo;
    return failed;
}

// Decodes the text of an inline branch (`which`: 0 then, 1 else) of the
// conditional whose memo is given (null: none) into st, from the form kept
// in that memo when it has one. The branch's text is the same every time
// its line runs.
int Ostrin::decodeBranch(Statement* st, char* text, LineMemo* memo, int which)
{
    if (!memo || !useCaches) return decodeStatement(st, text);
    KeptBranch*& kept = memo->branches[which];
    if (!kept) {
        kept = static_cast<KeptBranch*>(std::calloc(1, sizeof(KeptBranch)));
        char* copy = kept ? static_cast<char*>(std::malloc(std::strlen(text) + 1)) : nullptr;
        if (!copy) {
            std::free(kept);
            kept = nullptr;
            return decodeStatement(st, text);   // without the memory, each time
        }
        kept->text = std::strcpy(copy, text);
    }
    return decodeKept(st, kept->line, kept->text);
}

[[gnu::always_inline]] inline bool Ostrin::outOfLines()
{
#ifdef OSTRIN_NATIVE
    // The fuzz build bounds every run, so an endless program is no finding.
    if (stepsLeft == 0 || ((stepsLeft & 7) == 0 && stopAtMs && nativeMilliseconds() >= stopAtMs)) {
        errorCode = ErrMalformed;
        return true;
    }
    --stepsLeft;
#endif
    return false;
}

[[gnu::always_inline]] inline int Ostrin::assignLine(DecodedLine& d)
{
    if (d.argClass[1] == ClassExpression && isNumericCode(d.memo.code))
        if (const int done = assignInteger(d.memo); done >= 0) return done;
    return assignOne(d.memo, d.args, d.argClass[1], d.args + d.argLength[0] + 1, false);
}

// The lines that lend their texts (loops, conditionals, one-value
// assignments, returns: the commonest lines of a loop or a subroutine) run
// from their kept form: refilling the statement record and calling the
// handler through the table cost as much as a short line's work. Each runs
// the body its handler runs; an assignment that misses its sites, and a
// conditional whose handler has not read its shape yet, take the handler.
// st only takes what a line leaves in it: a return's result, or the
// decoded form of an inline branch that does not run directly.
[[gnu::always_inline]] inline int Ostrin::runDirect(Statement* st, DecodedLine& d)
{
    // Tested in turn, the commonest first: a jump table cost more.
    if (d.opcode == 20) return assignLine(d);
    if (d.opcode == 3) return stepLoop(d);
    if (d.opcode == 6)
        return d.memo.shape == 1 ? blockCondition(d.argText, &d.memo) : inlineCondition(st, d.argText, d.memo);
    if (d.opcode == 45) return returnLine(st, d.args, d.argClass[0], d.memo);
    if (d.opcode == 4) return whileTest(d.argText, &d.memo);
    if (d.opcode == 5) return endWhileLine(d);
    if (d.opcode == 55) return skipElse();
    return 1;   // end conditional, the last that onlyReadsArguments lends
}

// The parameters a call without a frame takes, at most.
constexpr int MaxFramelessParams = 8;

// A call of a subroutine whose first line, kept, returns at once: a return
// of an integer expression, or an inline conditional on an integer
// expression whose then-branch, kept, returns an INT parameter or an
// integer expression, when its condition holds (a recursion's end). Each
// name of those expressions a call found at its place in the frame
// (fillSite: the site names the subroutine and the place), and such a name
// is that parameter in every call, for nothing runs before the line; an
// INT parameter holds what knownInt gives it from its argument. The
// expressions run on those values, with no frame made, bound, entered and
// kept again. The call leaves what the frame's way leaves: the result in
// SYSTEM_DOUBLE0 or SYSTEM_INT0 as the return puts it, and the control
// stack, the line and the chains as they were. Anything else takes the
// frame's way, which also reports every failure (a remainder by zero, a
// stack too full for the call) and runs a condition that does not hold.
int Ostrin::callWithoutFrame(Variable* label, CallArguments& args, uint32_t& resultType)
{
    // Most subroutines begin otherwise: they are told apart before anything
    // is kept in registers.
    const auto first = static_cast<uint32_t>(label->capacity) + 1;
    if (!decodedLines || first >= lineCount) return -1;
    DecodedLine& d = decodedLines[first];
    if (d.state != DecodedLine::Cached || !d.lends) return -1;
    if (d.opcode == 45 ? d.argClass[0] != ClassExpression : d.opcode != 6 || d.memo.shape != 2) return -1;
    return runWithoutFrame(label, args, resultType, d);
}

int Ostrin::runWithoutFrame(Variable* label, CallArguments& args, uint32_t& resultType, DecodedLine& d)
{
    if (errorCode || stackLow() || controlTop + 2 > ControlStackSize) return -1;

    // Missing arguments leave their parameters at 0; extra ones are not read.
    int32_t values[MaxFramelessParams];
    int n = 0;
    for (const Variable* decl = label->members ? label->members->next : nullptr; decl; decl = decl->next, ++n) {
        if (n == MaxFramelessParams || decl->type != TypeInt || decl->indexed || decl->sharedData || decl->count != 1)
            return -1;
        values[n] = 0;
    }
    if (!args.knownInts(std::min(n, args.count()), values)) return -1;
    const auto parameter = [&](const NameSite& site, int32_t& x) {
        if (site.label != label || site.place == 0 || site.place > static_cast<uint32_t>(n)) return false;
        x = values[site.place - 1];
        return true;
    };
    const auto name = [&](const IntegerMove& m, int32_t& x) { return parameter(*m.site, x); };
    const auto element = [](const IntegerMove&, int32_t&) { return false; };
    const auto elementAt = [](const IntegerMove&, const int32_t*, auto, int32_t&) { return false; };
    // An integer expression of the parameters, run as integerFromCode runs
    // it; false where the frame's way must run it, errorCode as it came.
    const auto integer = [&](CompiledExpression* code, int32_t& x) __attribute__((always_inline)) {
        const IntegerCode* ic = integerCodeOf(code);
        if (ic && runIntegerMoves(*ic, x, name, element, elementAt) && !errorCode) return true;
        errorCode = 0;   // none came in: the frame's way sets it again
        return false;
    };

    // The line counts as run, as in a frame; a native run out of lines
    // stops where the frame's way would.
    const auto countLine = [&] {
        if (!outOfLines()) return true;
        pushControl(static_cast<int32_t>(lineIndex));
        pushControl(MarkCall);
        lineIndex = static_cast<uint32_t>(label->capacity) + 1;
        return false;
    };

    const DecodedLine* ret = &d;
    if (d.opcode == 6) {
        int32_t holds;
        if (!integer(d.memo.code, holds)) return -1;
        // A condition that does not hold, without an else, has done all its
        // line does: the frame's way goes on after it, or this way when the
        // next line returns an expression with calls.
        if (!holds) {
            if (d.memo.marks[1]) return -1;
            if (!countLine()) return 0;
            const uint32_t second = static_cast<uint32_t>(label->capacity) + 2;
            if (second >= lineCount) return PastFirstLine;
            DecodedLine& next = decodedLines[second];
            if (next.state != DecodedLine::Cached || !next.lends || next.opcode != 45 ||
                next.argClass[0] != ClassExpression || !runsCallMoves(next.memo.code))
                return PastFirstLine;
            // Counted and marked on the control stack as in a frame.
            Statement* st = reuseStatement();
            if (!st) return PastFirstLine;
            pushControl(static_cast<int32_t>(lineIndex));
            pushControl(MarkCall);
            lineIndex = second;
            bool returned = false;
            if (!outOfLines()) {
                st->resultType = NoResult;
                returned = returnWithoutFrame(label, values, static_cast<uint32_t>(n), st, next.args, next.memo);
                resultType = st->resultType;
            }
            keepStatement(st);
            return returned;
        }
        const KeptBranch* then = d.memo.branches[0];
        if (!then) return -1;
        ret = &then->line;
        if (ret->state != DecodedLine::Cached || !ret->lends || ret->opcode != 45) return -1;
    }
    // returnLine's INT found at its place goes to SYSTEM_INT0, its
    // expression's number to SYSTEM_DOUBLE0 unless 0, which it evaluates
    // again on doubles for the sign of a zero.
    int32_t whole;
    const bool named = ret->argClass[0] == ClassVariable;
    if (named ? !parameter(ret->memo.names[0], whole)
              : ret->argClass[0] != ClassExpression || !integer(ret->memo.code, whole) || whole == 0 ||
                    namesCurrentWindow(skipBlanks(ret->args), KindAny))
        return -1;
    Variable* result = named ? sysInt : sysDouble;
    if (!result || !result->data) return -1;

    if (!countLine()) return 0;
    if (named) {
        std::memcpy(result->data, &whole, sizeof whole);
        resultType = TypeInt;
    } else {
        const double x = whole;
        std::memcpy(result->data, &x, sizeof x);
        resultType = TypeDouble;
    }
    return 1;
}

// The commonest loop is one assignment between counted_loop and
// next_step. Its turns run here, each line as the run loop would run it
// (its bound, its error cleared, the same call), without the run loop's
// turn for each line, which cost as much as the step. Only the next_step
// line itself does this (not a branch of a conditional, which the run
// loop must test again), and anything else goes back to the run loop: an
// assignment its handler must take runs from there, and one that leaves
// its line (a call that never returned) carries on from where it went.
int Ostrin::stepLoop(DecodedLine& d)
{
    const uint32_t here = lineIndex;
    if (!stepCounter(d.args, &d.memo.names[0])) return 0;
    if (lineIndex >= here || !decodedLines || &d != &decodedLines[here]) return 1;
    if (lineIndex + 2 != here) {
        Variable* counter = siteHit(&d.memo.names[0]);
        return counter ? linesOfLoop(d, lineIndex + 1, here, counter) : 1;
    }
    DecodedLine& body = decodedLines[here - 1];
    if (body.state != DecodedLine::Cached || !body.lends || body.opcode != 20) return 1;
    if (const int done = integerTurns(d, body); done >= 0) return done;
    while (lineIndex + 2 == here) {
        lineIndex = here - 1;
        if (outOfLines()) return 0;
        errorCode = 0;
        const int done = assignLine(body);
        if (done < 0) return handBack(here - 1);
        if (!done || errorCode) return 0;
        if (lineIndex != here - 1) return 1;
        lineIndex = here;
        if (outOfLines() || !stepCounter(d.args, &d.memo.names[0])) return 0;
    }
    return 1;
}

// An element of an INT array that an index's value selects now, or null
// out of range.
[[gnu::always_inline]] inline char* selectInt(Variable* array, const char* index)
{
    int32_t i;
    std::memcpy(&i, index, 4);
    return selectIntAt(array, i);
}

bool Ostrin::keepMoves(CompiledExpression* code, KeptMoves& k)
{
    k.ic = useCaches ? integerCodeOf(code) : nullptr;
    if (!k.ic || k.ic->moves.size() > MaxKeptMoves) return false;
    for (const IntegerMove& m : k.ic->moves) {
        // A name's or an element's move is its place among the moves.
        const IntegerMove::Code read = m.read();
        if (read >= IntegerMove::Name && read <= IntegerMove::ElementAmong && m.move >= MaxKeptMoves) return false;
        if (read == IntegerMove::Name) {
            const Variable* v = siteHit(m.site);
            if (!v || v->indexed || !v->data || v->type != TypeInt) return false;
            k.operands[m.move] = {nullptr, v->data};
        } else if (read == IntegerMove::Element) {
            if (!elementData(m.site) || m.site[0].var->type != TypeInt) return false;
            k.operands[m.move] = {m.site[0].var, m.site[1].var->data};
        } else if (read == IntegerMove::ElementAt || read == IntegerMove::ElementAmong) {
            Variable* array = siteHit(m.site);
            if (!array || array->type != TypeInt || !array->base) return false;
            k.operands[m.move] = {array, nullptr};
        }
    }
    return true;
}

bool Ostrin::keepTarget(LineMemo& memo, KeptAssignment& a, KeptMoves* spare)
{
    if ((memo.shape == ShapeComputed && !spare) || !(a.target = intTarget(memo))) return false;
    a.targetIndex = memo.shape == ShapeElement ? memo.names[1].var->data : nullptr;
    a.targetMoves = nullptr;
    if (memo.shape == ShapeComputed) {
        if (!keepMoves(memo.target, *spare)) return false;
        a.targetMoves = spare;
    }
    return true;
}

bool Ostrin::keepAssignment(DecodedLine& d, KeptAssignment& a, KeptMoves* spare)
{
    LineMemo& memo = d.memo;
    // A copy of an element whose indices are computed runs its form, as
    // assignOne runs it.
    const int cls = d.argClass[1];
    if (d.opcode != 20 || (cls != ClassExpression && cls != ClassVariable) || !isNumericCode(memo.code)) return false;
    return keepMoves(memo.code, a.value) && keepTarget(memo, a, spare);
}

template <bool Computed>
[[gnu::always_inline]] inline char* Ostrin::keptPlace(const KeptAssignment& a)
{
    if (a.targetIndex) return selectInt(a.target, a.targetIndex);
    if (Computed && a.targetMoves) {
        int32_t element;   // read as the moves select it, and not needed
        if (!runKeptMoves(*a.targetMoves, element)) return nullptr;
    }
    return a.target->data;
}

[[gnu::always_inline]] inline bool Ostrin::runKeptMoves(const KeptMoves& k, int32_t& value)
{
    const auto name = [&](const IntegerMove& m, int32_t& x) __attribute__((always_inline)) {
        std::memcpy(&x, k.operands[m.move].data, 4);
        return true;
    };
    const auto element = [&](const IntegerMove& m, int32_t& x) __attribute__((always_inline)) {
        const char* d = selectInt(k.operands[m.move].array, k.operands[m.move].data);
        if (!d) return false;
        std::memcpy(&x, d, 4);
        return true;
    };
    const auto elementAt = [&](const IntegerMove& m, const int32_t* indices, auto parts, int32_t& x)
                               __attribute__((always_inline)) {
        const char* d = selectAt(k.operands[m.move].array, indices, parts, 4);
        if (!d) return false;
        std::memcpy(&x, d, 4);
        return true;
    };
    return runIntegerMoves(*k.ic, value, name, element, elementAt);
}

template <bool Computed>
[[gnu::always_inline]] inline int Ostrin::runKeptAssignment(const KeptAssignment& a)
{
    char* at = keptPlace<Computed>(a);
    if (!at) return -1;
    int32_t value;
    if (!runKeptMoves(a.value, value)) return -1;
    if (errorCode) return 0;
    std::memcpy(at, &value, 4);
    return 1;
}

// The turns of stepLoop when its assignment is one integerFromCode takes
// into an INT or an element of an INT array, with each turn's checks made
// once (KeptAssignment). Each turn still checks what may differ: an index
// out of range or a value past 32 bits hand the turn back to the run loop
// before it stores, for the general path; an error stops at the
// assignment. Called after a step that goes on, with lineIndex at the
// counted_loop line.
int Ostrin::integerTurns(DecodedLine& step, DecodedLine& body)
{
    const uint32_t here = lineIndex + 2;
    KeptAssignment a;
    Variable* counter = siteHit(&step.memo.names[0]);
    if (!counter || counter->indexed || !counter->data || stackLow()) return -1;
    if (body.memo.shape == ShapeComputed) return computedTurns(body, counter, here);
    if (!keepAssignment(body, a)) return -1;
    return keptTurns<false>(a, counter, here);
}

// The turns of an assignment to an element whose index is computed
// («m[i, j] = ...»). Out of line: inlined beside the commoner turns, its
// moves cost theirs their registers.
int Ostrin::computedTurns(DecodedLine& body, Variable* counter, uint32_t here)
{
    KeptAssignment a;
    KeptMoves target;
    if (!keepAssignment(body, a, &target)) return -1;
    return keptTurns<true>(a, counter, here);
}

template <bool Computed>
[[gnu::always_inline]] inline int Ostrin::keptTurns(const KeptAssignment& a, Variable* counter, uint32_t here)
{
    for (;;) {
        lineIndex = here - 1;
        if (outOfLines()) return 0;
        const int done = runKeptAssignment<Computed>(a);
        if (done < 0) break;
        if (done == 0) return 0;
        lineIndex = here;
        if (outOfLines()) return 0;
        advanceCounter(counter);
        if (lineIndex + 2 != here) return 1;
    }
    return handBack(here - 1);
}

bool Ostrin::intSource(char* text, KeptMoves::Operand& out)
{
    const uint8_t before = errorCode;   // a missing name is refused, not reported
    if (isPlainName(text)) {
        const Variable* v = findVariable(text, nullptr, false);
        errorCode = before;
        out = {nullptr, v && v->type == TypeInt && !v->indexed ? v->data : nullptr};
        return out.data != nullptr;
    }
    if (!isElementReference(text)) return false;
    // The full lookup, checked against the sites' way to the element as an
    // expression's element is (rememberElement).
    NameSite sites[2] = {};
    rememberElement(text, findVariable(text, nullptr, false), sites);
    errorCode = before;
    if (!elementData(sites) || sites[0].var->type != TypeInt) return false;
    out = {sites[0].var, sites[1].var->data};
    return true;
}

int Ostrin::handBack(uint32_t line)
{
    lineIndex = line - 1;
#ifdef OSTRIN_NATIVE
    ++stepsLeft;   // the turn counted it; the run loop counts it again
#endif
    return 1;
}

int Ostrin::endWhileLine(DecodedLine& d)
{
    const uint32_t end = lineIndex;
    if (!whileEnd()) return 0;
    if (!decodedLines || &d != &decodedLines[end]) return 1;   // a branch of a conditional
    return lineIndex < end ? linesOfLoop(d, lineIndex + 1, end, nullptr) : 1;
}

// A loop that keeps being refused or handed back is left to the run loop:
// each refusal costs what it looked at. Each turn run there pays a little
// of that back. `d` is the loop's last line, which keeps the debt.
int Ostrin::linesOfLoop(DecodedLine& d, uint32_t first, uint32_t end, Variable* counter)
{
    uint16_t& debt = d.memo.marks[0];
    if (debt >= 256) return 1;
    const int done = integerLines(first, end, counter);
    if (done < 0) debt += 16;
    return done < 0 ? 1 : done;
}

// The turns of a loop of integer lines from `first`, its first line, to
// `end`, its last: a while loop back at its test (`first`) from its
// end_while, or a counted loop (of `counter`) after a step that goes on.
// Its while's test and each line of its body are a condition
// integerFromCode takes, an assignment of such an expression, of a number
// or of an INT or an element named alone (into an INT or an element of an
// INT array), an inline conditional on such a condition whose branches are
// such assignments, a block conditional's else or its end. Nothing else
// runs while they do, so each line's names, elements and target are found
// once (KeptMoves), and each line runs as the run loop would run it: the
// same control stack, the same jumps, the same errors on the same lines.
// What may differ from turn to turn (an index out of range, a value past
// 32 bits, a branch not run before) hands that line back to the run loop,
// before it stores, and adds to the loop's debt (linesOfLoop). -1 when the
// loop cannot run so (a line not of these kinds, or not run yet).
int Ostrin::integerLines(uint32_t first, uint32_t end, Variable* counter)
{
    constexpr uint32_t MaxLines = 16, MaxBranches = 8, MaxTargets = 4;
    constexpr uint8_t NoBranch = 0xFF, Unkept = 0xFE;
    const uint32_t test = counter ? UINT32_MAX : first;   // the while line
    if (first >= end || end - first > MaxLines || stackLow()) return -1;
    if (counter && (counter->indexed || !counter->data)) return -1;
    // Each line of the loop but its end: an assignment of an expression,
    // or a store of the INT at `from` (the line's `number`, a name's value
    // or an element); a test (the while line, a block conditional) going
    // on when true and to `jump` when false, an else going to `jump`, or an
    // end conditional; an inline conditional, with its branches' places
    // among `branches` (NoBranch: none, Unkept: not run yet).
    struct Line {
        enum Kind : uint8_t { Assign, Store, Test, Jump, Pass, Inline } kind;
        uint8_t branch[2];
        uint32_t jump;
        int32_t number;
        KeptMoves::Operand from;
        KeptAssignment a;
    } kept[MaxLines], branches[MaxBranches];
    uint32_t branchCount = 0, targetCount = 0;
    KeptMoves targets[MaxTargets];   // of targets whose indices are computed
    const auto spareTarget = [&] { return targetCount < MaxTargets ? &targets[targetCount] : nullptr; };
    const auto counted = [&](bool kept, const KeptAssignment& a) {
        if (kept && a.targetMoves) ++targetCount;
        return kept;
    };
    // An assignment line, kept as one of the first two kinds.
    const auto keepStore = [&](DecodedLine& d, Line& l) {
        if (d.state != DecodedLine::Cached || !d.lends || d.opcode != 20) return false;
        if (d.argClass[1] == ClassNumber || (d.argClass[1] == ClassVariable && !d.memo.code)) {
            // What storeNumber stores into an INT, or what storeVariable
            // copies from an INT.
            char* value = d.args + d.argLength[0] + 1;
            l.kind = Line::Store;
            if (d.argClass[1] == ClassNumber) {
                l.number = static_cast<int32_t>(static_cast<uint32_t>(literalInt(value)));
                l.from = {nullptr, reinterpret_cast<const char*>(&l.number)};
            } else if (!intSource(value, l.from)) {
                return false;
            }
            return counted(keepTarget(d.memo, l.a, spareTarget()), l.a);
        }
        l.kind = Line::Assign;
        return counted(keepAssignment(d, l.a, spareTarget()), l.a);
    };
    for (uint32_t k = first; k < end; ++k) {
        DecodedLine& d = decodedLines[k];
        if (d.state != DecodedLine::Cached || !d.lends) return -1;
        Line& l = kept[k - first];
        if (d.opcode == 20) {
            if (!keepStore(d, l)) return -1;
            continue;
        }
        if (d.opcode == 7) {
            l.kind = Line::Pass;
            continue;
        }
        if (d.opcode == 6 && d.memo.shape == 2 && k != test) {
            // As thenBranch on a compiled condition: a false one with no
            // else does nothing.
            if (!keepMoves(d.memo.code, l.a.value)) return -1;
            l.kind = Line::Inline;
            for (int which = 0; which < 2; ++which) {
                KeptBranch* b = d.memo.branches[which];
                if (which == 1 && !d.memo.marks[1]) {
                    l.branch[1] = NoBranch;
                } else if (!b) {
                    l.branch[which] = Unkept;
                } else if (branchCount == MaxBranches || !keepStore(b->line, branches[branchCount])) {
                    return -1;
                } else {
                    l.branch[which] = static_cast<uint8_t>(branchCount++);
                }
            }
            continue;
        }
        const bool isTest = k == test ? d.opcode == 4 : d.opcode == 6 && d.memo.shape == 1;
        if (!isTest && d.opcode != 55) return -1;
        if (isTest && !keepMoves(d.memo.code, l.a.value)) return -1;
        const int64_t to = blockJump(k);
        // The while's jump is out of the loop; every other stays inside.
        if (k == test ? to != end : to <= first || to >= end) return -1;
        l.kind = isTest ? Line::Test : Line::Jump;
        l.jump = static_cast<uint32_t>(to) + 1;
    }
    // A store or an assignment: 1 done, 0 failed with the error set, -1
    // to hand its line back.
    const auto runStore = [&](const Line& l) __attribute__((always_inline)) {
        if (l.kind == Line::Assign) return runKeptAssignment<true>(l.a);
        // The target is selected before its source, as assignOne does.
        char* place = keptPlace<true>(l.a);
        const char* from = l.from.array ? selectInt(l.from.array, l.from.data) : l.from.data;
        if (!place || !from) return -1;
        std::memcpy(place, from, 4);
        return 1;
    };

    uint16_t& debt = decodedLines[end].memo.marks[0];   // linesOfLoop's
    uint32_t at = first;
    for (;;) {
        lineIndex = at;
        if (outOfLines()) return 0;
        if (at == end) {
            if (counter) {
                // As stepCounter, whose checks the first step made.
                advanceCounter(counter);
                if (lineIndex + 1 != first) return 1;
            } else if (!whileEnd()) {
                return 0;
            }
            at = first;
            if (debt) --debt;
            continue;
        }
        const Line& l = kept[at - first];
        if (l.kind == Line::Assign) {
            const int done = runKeptAssignment<true>(l.a);
            if (done < 0) break;
            if (done == 0) return 0;
            ++at;
        } else if (l.kind == Line::Test) {
            int32_t c;
            if (!runKeptMoves(l.a.value, c)) break;
            if (errorCode) return 0;
            if (c != 0) {
                // As whileTest: saving the line before the while makes
                // end_while run the test again.
                if (at == test && (!pushControl(static_cast<int32_t>(test - 1)) || !pushControl(MarkWhile)))
                    return fail(ErrStackFull), 0;
                ++at;
            } else if ((at = l.jump) > end) {
                lineIndex = end;
                return 1;
            }
        } else if (l.kind == Line::Store) {
            if (runStore(l) < 0) break;
            ++at;
        } else if (l.kind == Line::Inline) {
            int32_t c;
            if (!runKeptMoves(l.a.value, c)) break;
            if (errorCode) return 0;
            if (const uint8_t b = l.branch[c != 0 ? 0 : 1]; b != NoBranch) {
                const int done = b == Unkept ? -1 : runStore(branches[b]);
                if (done < 0) break;
                if (done == 0) return 0;
            }
            ++at;
        } else {
            at = l.kind == Line::Jump ? l.jump : at + 1;
        }
    }
    debt += 16;
    return handBack(at);
}

// Runs the statement an inline text holds (a then- or else-branch) in st:
// directly, as a line, once its kept form lends.
Statement* Ostrin::runInline(Statement* st, char* text, LineMemo* memo, int which)
{
    if (KeptBranch* kept = memo && useCaches ? memo->branches[which] : nullptr) {
        DecodedLine& d = kept->line;
        if (d.state == DecodedLine::Cached && d.lends) {
            const int done = runDirect(st, d);
            if (done >= 0) return done ? st : nullptr;
        }
    }
    if (decodeBranch(st, skipBlanks(text), memo, which) != 0) return nullptr;
    const Handler h = handlerFor(st->opcode);
    if (!h) return fail(ErrMalformed);
    return (this->*h)(st);
}

// One line, as step runs it; inlined into the run loop, where the call
// cost a tenth of a short line.
[[gnu::always_inline]] inline bool Ostrin::stepLine(Statement* st)
{
    if (outOfLines()) return false;
    // A kept line runs directly or is refilled here: the call into
    // decodeLine was a tenth of the cost of a short line.
    if (decodedLines && decodedLines[lineIndex].state == DecodedLine::Cached) {
        DecodedLine& d = decodedLines[lineIndex];
        if (d.lends) {
            errorCode = 0;
            const int done = runDirect(st, d);
            if (done >= 0) return done != 0 && errorCode == 0;
        }
        refillLine(st, d);
    } else if (!*lines[lineIndex]) {
        return true;   // a label line emptied by the label pass; never kept
    } else if (decodeLine(st) != 0) {
        return false;
    }
    errorCode = 0;
    const Handler h = handlerFor(st->opcode);
    if (!h) [[unlikely]] {
        errorCode = ErrMalformed;
        return false;
    }
    return (this->*h)(st) != nullptr && errorCode == 0;
}

bool Ostrin::step(Statement* st) { return stepLine(st); }

int Ostrin::run()
{
    errorCode = 0;
    if (ui) ui->startRun();
    if (!loaded || !image) return 0;
    onStart();
    freeDecodedLines();   // sized by the lines of a run before
    lineIndex = 0;
    lineCount = 0;
    if (!splitLines()) return errorCode == 0 ? 1 : 0;

    loaded = 0;
    if (!collectLabels()) return 0;
    loaded = 1;
    lineIndex = 0;
    prepareDecodedLines();

    Statement* const st = mainStatement;
    for (;;) {
        const bool goOn = stepLine(st);
        ++lineIndex;
        if (!goOn || lineIndex >= lineCount || errorCode) break;
    }

    lentArgsBack(st);   // the lines' kept forms go with the next run
    const int result = errorCode == 0 ? 1 : 0;
    reportError();
    consoleOpen = false;
    return result;
}

// Where the room platformStackRoom gives ends; 0 without an answer, and
// then the stack never counts as low.
uintptr_t Ostrin::findStackEnd(uintptr_t here)
{
    const size_t room = platformStackRoom(reinterpret_cast<const void*>(here));
    return room == SIZE_MAX || room > here ? 0 : here - room;
}

int Ostrin::pushControl(int32_t value)
{
    if (controlTop >= ControlStackSize) return 0;
    controlStack[controlTop++] = value;
    return 1;
}

int32_t Ostrin::popControl()
{
    if (controlTop == 0) return 0;
    return controlStack[--controlTop];
}

// Markers that scans look for, and opcodes without meaning of their own.
Statement* Ostrin::doNothing(Statement* st) { return st; }
