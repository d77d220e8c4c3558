// Target 1: a whole image, already unscrambled, as the engine runs it:
// split into lines, labels collected, run within the step limit.
//
// The interpreter stays loaded between inputs (prepared.h, with no program
// of its own): each input's image is attached, run, and its lines let go,
// and what the run declared goes before the next one.
#include <cstdlib>
#include <vector>

#include "prepared.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::acceptable(data, size)) return -1;
    // A whole image may bring hundreds of expression texts.
    static fuzz::Prepared loaded("", fuzz::StepLimit, 4);
    Ostrin& o = loaded.fresh();
    std::vector<char> image(data, data + size);
    image.push_back(0);
    char* const kept = o.image;
    o.attachImage(image.data());
    o.run();
    // Back to no lines, as a freshly loaded interpreter has: the decoded
    // lines go first, while the line count still sizes them.
    const bool caches = o.useCaches;
    o.useCaches = false;
    o.forgetDecodedLines();
    o.useCaches = caches;
    std::free(o.lines);
    std::free(o.lineNumbers);
    o.lines = nullptr;
    o.lineNumbers = nullptr;
    o.lineCount = 0;
    o.attachImage(kept);
    loaded.done();
    return 0;
}
