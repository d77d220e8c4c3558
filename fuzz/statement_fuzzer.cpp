// Target 3: one statement line through the decoder and its handler, run
// after the prepared program. The first byte chooses the opcode (the line
// is 0xFF, the two opcode characters and the rest); from 250 on the rest is
// a plain line (an assignment or a call written by name).
//
// The prepared program ends with a line that does nothing; each input's
// line takes its place, in a block of exactly its length, and runs on from
// there as the run loop would have run it. Labels are collected before a
// run, so a label line here is defined when it runs rather than before.
#include <cstdlib>
#include <cstring>
#include <string>

#include "interp/text.h"
#include "prepared.h"

namespace {

// A statement line of opcode 140, which has no meaning of its own.
const char Placeholder[] = "\xFF\xE8\xEC\r\n";

// The line follows the label `start`: one that jumps there or calls it
// runs itself again, and so to the step limit. A few hundred repetitions
// show what repeating a line does; the whole run's 5,000 lines, at twenty
// times the cost of every other input together, are the image target's.
constexpr uint64_t LineStepLimit = 256;

fuzz::Prepared& prepared()
{
    static fuzz::Prepared p = [] {
        std::string s = fuzz::assembleOrDie(fuzz::PreparedProgram);
        s.pop_back();   // the zero byte: the placeholder line follows
        return fuzz::Prepared(s + Placeholder, LineStepLimit);
    }();
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || !fuzz::acceptable(data, size)) return -1;
    std::string text;
    const unsigned opcode = data[0];
    if (opcode < Ostrin::HandlerCount) {
        text += '\xFF';
        text += static_cast<char>(0xE0 + (opcode >> 4));
        text += static_cast<char>(0xE0 + (opcode & 15));
        text += ' ';
    }
    // One line: it ends at the first line end or zero byte.
    size_t i = 1;
    if (opcode >= Ostrin::HandlerCount)   // the split drops a plain line's leading blanks
        while (i < size && isBlank(data[i])) ++i;
    for (; i < size && data[i] != '\n' && data[i] != '\r' && data[i] != 0; ++i)
        text += static_cast<char>(data[i]);
    // The split stores neither empty lines nor comments: nothing runs.
    if (text.empty() || text[0] == ';' || text[0] == '\'') return 0;

    Ostrin& o = prepared().fresh();
    const uint32_t last = o.lineCount - 1;
    char* const placeholder = o.lines[last];
    char* line = static_cast<char*>(std::malloc(text.size() + 1));
    if (!line) {
        prepared().done();
        return 0;
    }
    std::memcpy(line, text.c_str(), text.size() + 1);
    o.lines[last] = line;
    o.lineIndex = last;
    Statement* const st = o.mainStatement;
    for (;;) {
        const bool goOn = o.step(st);
        ++o.lineIndex;
        if (!goOn || o.lineIndex >= o.lineCount || o.errorCode) break;
    }
    o.reportError();
    o.consoleOpen = false;
    o.lines[last] = placeholder;
    std::free(line);
    prepared().done(true);
    return 0;
}
