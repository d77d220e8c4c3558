// Target 2: one expression text through the evaluator, against the
// prepared program's variables, records and subroutines.
#include <string>

#include "prepared.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::acceptable(data, size)) return -1;
    static fuzz::Prepared prepared(fuzz::assembleOrDie(fuzz::PreparedProgram));
    Ostrin& o = prepared.fresh();
    std::string text(reinterpret_cast<const char*>(data), size);
    o.evaluate(text.c_str());
    prepared.done();
    return 0;
}
