// The prepared program run once and kept for many inputs.
//
// Running the prepared program costs far more than the expression, line or
// reference an input adds, so the narrow targets run it once and let every
// input start from what it left (the image target keeps a loaded
// interpreter the same way). That is sound only while each input starts
// from a state equal to the freshly prepared one, so that a finding
// reproduces when its input runs alone: done() compares everything an
// input can change with a snapshot taken after preparing, frees what the
// input declared, puts back what it changed in place (the bytes of every
// variable, element selections, the plain settings) and prepares again
// when anything else differs (a variable freed or replaced, a record type
// changed, a scope or control frame left behind).
//
// Not compared: the caches, which by design change nothing a program can
// see. Found names go after every input, decoded lines when a target
// changed a line (those of the prepared program's subroutines stay once an
// input ran them), compiled expressions every few dozen inputs, so
// that inputs keep reaching the compiler as a lone run does.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame.h"

namespace fuzz {

class Prepared {
public:
    // `image`: the assembled prepared program, with its zero byte; `steps`:
    // the lines each input may run; `kept`: the inputs one compiled-
    // expression cache serves, far fewer than would fill it (3,072 texts).
    explicit Prepared(std::string image, uint64_t steps = StepLimit, unsigned kept = 64);
    // With OSTRIN_FUZZ_STATS set, tells how often inputs needed preparing.
    ~Prepared();

    // The interpreter in the freshly prepared state, with the step limit
    // set and no error; call done() when the input has run.
    Ostrin& fresh();

    // Called as an input ends: back to the prepared state. `lineChanged`:
    // the input ran a line of its own in place of one of the image's, so
    // its decoded form goes. With OSTRIN_FUZZ_TRACE set, first writes a
    // digest of the state the input left, so that inputs run one after
    // another in a process can be compared with each run alone.
    void done(bool lineChanged = false);

private:
    struct Block {
        char* at;
        std::vector<char> bytes;
    };
    struct Snapshot {
        std::vector<const Variable*> variables;   // in chain order, members after their record
        std::vector<Variable> records;            // the Variable records themselves
        std::vector<size_t> extents;              // the size of each one's own block (base)
        std::vector<Block> blocks;                // the heap blocks their data lives in
        std::vector<const Variable*> topLevel;    // the running chain, built-in records first
        std::vector<Variable*> scopes;
        std::vector<int32_t> control;
        std::vector<const RecordType*> recordTypes;
        std::vector<RecordType> recordTypeValues;
        std::unordered_map<std::string, uint32_t> namedConstants;
        std::vector<char> image;
        std::vector<char*> lines;
        std::vector<uint16_t> lineNumbers;
        std::vector<int32_t> constants;
        ScratchStack::Mark scratch{};
        Variable* lastVariable = nullptr;
        uint32_t lineIndex = 0;
        int32_t decimalPrecision = 0;
        bool implicitDeclarations = true;
        bool consoleOpen = false;
    };

    void prepare();
    void take(Snapshot& s);
    void dropLeftovers();
    bool sameShape() const;
    void restore();
    static bool tracing();
    void trace() const;

    Ostrin& o_;
    std::vector<char> image_;
    uint64_t steps_;
    unsigned expressionsKept_;
    Snapshot snap_;
    bool ready_ = false;
    unsigned sinceExpressions_ = 0;
    unsigned long prepares_ = 0;
    unsigned long inputs_ = 0;
};

}  // namespace fuzz
