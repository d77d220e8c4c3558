// The readable notation of program images, both ways.
//
// A program image is 8-bit text: each line is a comment, a statement line
// (0xFF and two opcode characters, then its argument text) or a plain line
// (assignment, label, label call), and the whole ends with a zero byte.
// The notation writes statements and built-in functions by snake_case name
// and built-in constants by upper-case name, and has escapes for everything
// else ({opN}, {N}, {xHH}, and the line-end marks {lf}, {crlf}, {noeol});
// tools/README.md describes it in full. assemble(disassemble(img)) gives img
// back for every image that ends with its zero byte.
#pragma once

#include <string>

namespace image {

// Where and why assembling failed; line and column count from 1 (bytes).
struct AsmError {
    int line = 0;
    int column = 0;
    std::string message;
};

struct AsmOptions {
    bool bareLf = false;  // end image lines with LF instead of CR LF
};

// Turns readable text into an image (with its final zero byte). On failure
// `out` is left empty, `err` says where, and false is returned; no image is
// ever produced from text that cannot be encoded exactly.
bool assemble(const std::string& source, std::string& out, AsmError& err,
              const AsmOptions& opt = {});

// Turns an image into readable text that assembles, with the same options,
// back into the same bytes. A missing final zero byte cannot be written in
// the notation: assembling the text then adds one.
std::string disassemble(const std::string& image, const AsmOptions& opt = {});

}  // namespace image
