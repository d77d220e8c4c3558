#include "frame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/assembler.h"
#include "interp/platform.h"

namespace fuzz {

bool acceptable(const uint8_t* data, size_t size)
{
    static const char word[] = "MEMORY";
    const size_t n = sizeof word - 1;
    for (size_t i = 0; i + n <= size; ++i) {
        size_t k = 0;
        while (k < n && (data[i + k] & 0xDF) == static_cast<uint8_t>(word[k])) ++k;
        if (k == n) return false;
    }
    return true;
}

const char* const PreparedProgram =
    "declare_variables i, j, k: INT\n"
    "declare_variables u: UINT\n"
    "declare_variables w: WORD\n"
    "declare_variables c: CHAR\n"
    "declare_variables f: FLOAT\n"
    "declare_variables d: DOUBLE\n"
    "declare_variables q: INT64\n"
    "declare_variables uq: UINT64\n"
    "declare_variables s, t: STRING\n"
    "declare_variables a[10]: INT\n"
    "declare_variables m[3, 4]: DOUBLE\n"
    "declare_variables cube[2, 3, 4]: WORD\n"
    "declare_variables names[5]: STRING\n"
    "declare_variables buf[40]: ISTRING\n"
    "declare_variables p, pp: POINTER\n"
    "declare_variables win: WINDOW\n"
    "declare_variables fh: FILE\n"
    "record_type Pt\n"
    "declare_variables x, y: INT\n"
    "declare_variables tag: STRING\n"
    "end_record_type\n"
    "record_type Box, 1\n"
    "declare_variables corner: Pt\n"
    "declare_variables pts[3]: Pt\n"
    "declare_variables name: STRING\n"
    "declare_variables id: CHAR\n"
    "end_record_type\n"
    "declare_variables pt: Pt\n"
    "declare_variables b: Box\n"
    "declare_variables bs[2]: Box\n"
    "declare_function add(x1: INT, y1: INT)\n"
    "declare_function greet(who: STRING)\n"
    "declare_function fill(arr[]: INT, n: INT)\n"
    "declare_constants limit = 99\n"
    "named_constant \"ANSWER\", 42\n"
    "i = 3\n"
    "j = -7\n"
    "d = 2.5\n"
    "s = \"hello, world\"\n"
    "t = \"abc\"\n"
    "a = 1, 2, 3\n"
    "names[1] = \"one\"\n"
    "buf = \"fixed\"\n"
    "b.corner.x = 5\n"
    "bs[1].pts[2].tag = \"deep\"\n"
    "p = a\n"
    "jump start\n"
    "add:\n"
    "return x1 + y1\n"
    "greet:\n"
    "return \"hi \" + who\n"
    "fill:\n"
    "arr[0] = n\n"
    "return n\n"
    "start:\n";

std::string assembleOrDie(const std::string& text)
{
    std::string out;
    image::AsmError err;
    if (!image::assemble(text, out, err)) {
        std::fprintf(stderr, "fuzz: prepared text does not assemble: %d:%d: %s\n", err.line, err.column,
                     err.message.c_str());
        std::abort();
    }
    return out;
}

Ostrin& interpreter()
{
    static Ostrin* o = new Ostrin;   // never destroyed: lives as long as the process
    return *o;
}

void limitRun(Ostrin& o, uint64_t steps)
{
    o.stepsLeft = steps;
    o.stopAtMs = nativeMilliseconds() + TimeLimitMs;
}

static void start(Session& s)
{
    limitRun(s.o);
    s.o.implicitDeclarations = true;
    s.o.errorCode = 0;
    s.o.stringResult = false;
    if (!s.o.load()) return;
    s.o.attachImage(s.image.data());
    s.ok = true;
}

Session::Session(const std::string& text) : o(interpreter()), image(text.begin(), text.end())
{
    if (image.empty() || image.back() != 0) image.push_back(0);
    start(*this);
}

Session::Session(const uint8_t* data, size_t size) : o(interpreter()), image(data, data + size)
{
    image.push_back(0);
    start(*this);
}

// The image goes with the session, so nothing of the run may point into it.
Session::~Session() { o.release(); }

}  // namespace fuzz
