// Target 3: one statement line through the decoder and its handler, run
// after the prepared program. The first byte chooses the opcode (the line
// is 0xFF, the two opcode characters and the rest); from 250 on the rest is
// a plain line (an assignment or a call written by name).
#include <string>

#include "frame.h"

namespace {
const std::string& prepared()
{
    static const std::string image = [] {
        std::string s = fuzz::assembleOrDie(fuzz::PreparedProgram);
        s.pop_back();   // the zero byte: the fuzzed line follows
        return s;
    }();
    return image;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || !fuzz::acceptable(data, size)) return -1;
    std::string image = prepared();
    const unsigned opcode = data[0];
    if (opcode < Ostrin::HandlerCount) {
        image += '\xFF';
        image += static_cast<char>(0xE0 + (opcode >> 4));
        image += static_cast<char>(0xE0 + (opcode & 15));
        image += ' ';
    }
    // One line: it ends at the first line end or zero byte.
    for (size_t i = 1; i < size && data[i] != '\n' && data[i] != '\r' && data[i] != 0; ++i)
        image += static_cast<char>(data[i]);
    image += "\r\n";
    fuzz::Session s(image);
    if (s.ok) s.o.run();
    return 0;
}
