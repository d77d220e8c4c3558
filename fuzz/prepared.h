// The prepared program run once and kept for many inputs.
//
// Running the prepared program costs far more than the expression, line or
// reference an input adds, so the narrow targets run it once and let every
// input start from what it left. That is sound only while each input
// starts from a state equal to the freshly prepared one, so that a finding
// reproduces when its input runs alone: fresh() compares everything an
// input can change with a snapshot taken after preparing, puts back what
// it can (the bytes of every variable, the plain settings) and prepares
// again when the shape changed (a variable defined or freed, a record
// type, a named constant, a scope or control frame left behind).
//
// Not compared: the caches, which by design change nothing a program can
// see. Found names are cleared before every input, decoded lines when a
// target changes a line, and compiled expressions every ExpressionsKept
// inputs, so inputs keep reaching the compiler as a lone run does.
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
    // the lines each input may run.
    explicit Prepared(std::string image, uint64_t steps = StepLimit);
    // With OSTRIN_FUZZ_STATS set, tells how often inputs needed preparing.
    ~Prepared();

    // Called as an input ends. With OSTRIN_FUZZ_TRACE set, writes a digest
    // of the state it left, so that inputs run one after another in a
    // process can be compared with each run alone.
    void done() const;

    // The interpreter in the freshly prepared state, with the step limit
    // set and no error. `linesChanged`: the previous input ran with a line
    // of its own in place of one of the image's, so its decoded form goes.
    Ostrin& fresh(bool linesChanged = false);

    // Inputs served by one compiled-expression cache: far fewer than fill
    // it, so none finds it full.
    static constexpr unsigned ExpressionsKept = 64;

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
    Snapshot snap_;
    bool ready_ = false;
    unsigned sinceExpressions_ = 0;
    unsigned long prepares_ = 0;
    unsigned long inputs_ = 0;
};

}  // namespace fuzz
