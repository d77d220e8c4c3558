// The services of interp/platform.h and the console device for the native
// build of the language core: nothing is shown, no library ever loads, and
// random numbers do not depend on the clock, so every run of an input is
// the same run.
#include <pthread.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "interp/host.h"
#include "interp/ostrin.h"
#include "interp/platform.h"
#include "frame.h"

void platformShowError(const char*) {}

size_t platformStackRoom(const void* here)
{
    static thread_local const char* bottom = nullptr;
    if (!bottom) {
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) != 0) return SIZE_MAX;
        void* start = nullptr;
        size_t size = 0;
        const int rc = pthread_attr_getstack(&attr, &start, &size);
        pthread_attr_destroy(&attr);
        if (rc != 0) return SIZE_MAX;
        bottom = static_cast<const char*>(start);
    }
    return static_cast<size_t>(static_cast<const char*>(here) - bottom);
}

// glibc reads the engine's "%I64d" as a flag and a width: it is spelled
// "%lld" here, so the native build prints what the engine prints.
int platformFormat(char* out, size_t room, const char* fmt, va_list ap)
{
    char spelled[64];
    size_t k = 0;
    for (const char* p = fmt; *p && k + 1 < sizeof spelled; ++p) {
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4' && p > fmt && p[-1] == '%' && k + 2 < sizeof spelled) {
            spelled[k++] = 'l';
            spelled[k++] = 'l';
            p += 2;
        } else {
            spelled[k++] = *p;
        }
    }
    spelled[k] = 0;
    // The engine's formats are short constants; a longer one goes as it is.
    const int n = std::vsnprintf(out, room, std::strlen(fmt) < sizeof spelled ? spelled : fmt, ap);
    return n < 0 || static_cast<size_t>(n) >= room ? -1 : n;
}

int64_t platformFileLength(FILE* stream)
{
    struct stat info;
    if (fstat(fileno(stream), &info) != 0) return -1;
    return info.st_size;
}

namespace {
uint32_t randomState = 1;
}

int platformRandom15()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

namespace fuzz {
void resetRandom() { randomState = 1; }
}

// Raw addresses are out of the native build: no foreign memory is reachable.
bool platformAccessible(uint64_t, uint64_t, bool) { return false; }

void* platformLoadLibrary(const char*) { return nullptr; }
void platformFreeLibrary(void*) {}
const void* platformEntryPoint(void*, const char*) { return nullptr; }
void* platformLoadedLibrary(const char*) { return nullptr; }

// Reached only through a loaded library, and none loads here.
extern "C" uint64_t callWithWords(const void*, const uint32_t*, int, double*) { std::abort(); }

// The file statements are left out here, so no program makes a finder.
void Ostrin::destroyFileFinders() { fileFinders.clear(); }

namespace {

// Output goes nowhere and input has ended: the console statements run
// their whole formatting and parsing, and line input fails as at the end
// of a redirected stream.
class NullConsole : public ConsoleDevice {
public:
    bool open() override { return true; }
    void close() override {}
    void write(const char*, size_t) override {}
    bool readLine(char*, size_t) override { return false; }
    int peekKey(bool) override { return 0; }
    void clear() override {}
    void setCursor(int, int) override {}
    void setAttribute(int) override {}
};

}  // namespace

uint64_t nativeMilliseconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

ConsoleDevice* defaultConsole()
{
    static NullConsole console;
    return &console;
}
