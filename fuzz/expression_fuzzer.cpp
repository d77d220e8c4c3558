// Target 2: one expression text through the evaluator, against the
// prepared program's variables, records and subroutines.
#include <string>

#include "frame.h"

namespace {
const std::string& prepared()
{
    static const std::string image = fuzz::assembleOrDie(fuzz::PreparedProgram);
    return image;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::acceptable(data, size)) return -1;
    fuzz::Session s(prepared());
    if (!s.ok || !s.o.run()) __builtin_trap();   // the prepared program must run
    std::string text(reinterpret_cast<const char*>(data), size);
    s.o.errorCode = 0;
    s.o.stringResult = false;
    s.o.evaluate(text.c_str());
    return 0;
}
