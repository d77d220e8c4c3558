// What every fuzz target shares: an interpreter set up as the engine sets
// it up (no windows, the silent console of native_platform.cpp), bounded in
// lines and input size, and a prepared program whose variables, records and
// subroutines the narrower targets work against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "interp/ostrin.h"

namespace fuzz {

// Lines one input may run: enough for real loops, few enough that an
// endless program ends in milliseconds.
constexpr uint64_t StepLimit = 5000;
// And the time it may take, well inside the 10 s after which libFuzzer
// reports a hang (freeing what the run made can take as long again under
// the sanitizer): only a single line running that long is one.
constexpr uint64_t TimeLimitMs = 1000;
// Bounds the next run of o by both.
void limitRun(Ostrin& o, uint64_t steps = StepLimit);

// Inputs that name the MEMORY type are skipped: a MEMORY variable holds any
// number a program stores as an address, by design, and reading text from
// it natively would report that design rather than a fault.
bool acceptable(const uint8_t* data, size_t size);

// The text of the prepared program (readable notation): the variables of
// every kind, two record types, two subroutines with parameters, and the
// label `start` where the fuzzed part begins.
extern const char* const PreparedProgram;

// Assembles readable program text into an image (with its zero byte);
// aborts on text that does not assemble, which is a fault of the target.
std::string assembleOrDie(const std::string& text);

// The process's one interpreter (never destroyed).
Ostrin& interpreter();

// Puts the random-number sequence back at its start (native_platform.cpp),
// so an input draws the same numbers in a campaign as when run alone.
void resetRandom();

// The process's interpreter, loaded afresh with `image` (copied into
// storage the session owns) and ready for run(), with the step limit set.
// One interpreter serves every input, as one engine serves its runs: load
// releases everything of the previous run, and the one setting that
// outlives a run is put back here. Reusing it keeps its scratch space, so
// an input costs a run rather than the setting up of an interpreter.
struct Session {
    Ostrin& o;
    std::vector<char> image;
    explicit Session(const std::string& image);
    Session(const uint8_t* data, size_t size);
    ~Session();
    bool ok = false;   // load succeeded
};

}  // namespace fuzz
