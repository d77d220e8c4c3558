// Runs one program in readable notation on the native core and writes its
// console output to stdout: the run loop measured without Wine or a
// sanitizer in the way (bench/native).
//   native_run FILE.bas [--no-caches]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "frame.h"
#include "interp/host.h"

namespace {

class StdoutConsole : public ConsoleDevice {
public:
    bool open() override { return true; }
    void close() override {}
    void write(const char* text, size_t length) override { std::fwrite(text, 1, length, stdout); }
    bool readLine(char*, size_t) override { return false; }
    int peekKey(bool) override { return 0; }
    void clear() override {}
    void setCursor(int, int) override {}
    void setAttribute(int) override {}
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: native_run FILE.bas [--no-caches]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "native_run: cannot read %s\n", argv[1]);
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    StdoutConsole console;
    fuzz::Session s(fuzz::assembleOrDie(text.str()));
    s.o.console = &console;
    s.o.stepsLeft = UINT64_MAX;   // the benchmarks run to their end
    s.o.stopAtMs = 0;
    s.o.useCaches = !(argc > 2 && std::strcmp(argv[2], "--no-caches") == 0);
    const int ok = s.ok && s.o.run();
    std::fputc('\n', stdout);
    if (!ok) std::fprintf(stderr, "native_run: error %d at line %d\n", s.o.errorCode, s.o.currentLineNumber() + 1);
    return ok ? 0 : 1;
}
