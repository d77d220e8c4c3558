// Target 1: a whole image, already unscrambled, as the engine runs it:
// split into lines, labels collected, run within the step limit.
#include "frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::acceptable(data, size)) return -1;
    fuzz::Session s(data, size);
    if (s.ok) s.o.run();
    return 0;
}
