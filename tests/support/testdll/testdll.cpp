// A small DLL that the external-call tests load by name. Built with
// --kill-at, so stdcall functions are exported without their "@n" suffix,
// as system DLLs export them. Every function makes the arguments it
// received visible in its result (order-weighted sums, bit patterns, raw
// bytes), so a test can tell which words arrived and in what order.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#define EXPORT extern "C" __declspec(dllexport)

// --- Argument words and results --------------------------------------------

// Weighted so that a swapped order shows.
EXPORT int __stdcall Weigh3(int a, int b, int c) { return a + 10 * b + 100 * c; }
EXPORT int __cdecl CWeigh3(int a, int b, int c) { return a + 10 * b + 100 * c; }

EXPORT double __stdcall MulDouble(double a, double b) { return a * b; }
EXPORT double __cdecl CMulDouble(double a, double b) { return a * b; }
EXPORT float __stdcall HalfFloat(float x) { return x / 2; }

// The exact bits a FLOAT parameter received.
EXPORT uint32_t __stdcall FloatBits(float x)
{
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    return bits;
}

// The two words a DOUBLE parameter received, folded: a wrong word order or
// a missing word changes the value.
EXPORT int __stdcall DoubleTimes1000(double x) { return static_cast<int>(x * 1000); }

EXPORT int __stdcall StrLenPlus(const char* s, int k) { return static_cast<int>(std::strlen(s)) + k; }

// Two string parameters: their lengths weighted, so each arrives distinct.
EXPORT int __stdcall TwoLengths(const char* a, const char* b)
{
    return static_cast<int>(std::strlen(a) + 100 * std::strlen(b));
}

EXPORT const char* __stdcall Greeting(int which) { return which ? "hello, world" : nullptr; }

EXPORT void __stdcall UpperInPlace(char* s)
{
    for (; *s; ++s)
        if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 32);
}

EXPORT int __stdcall SumArray(const int* a, int n)
{
    int sum = 0;
    for (int i = 0; i < n; ++i) sum += a[i] * (i + 1);
    return sum;
}

EXPORT void __stdcall FillSquares(int* a, int n)
{
    for (int i = 0; i < n; ++i) a[i] = i * i;
}

EXPORT int64_t __stdcall Wide(int high, int low)
{
    return (static_cast<int64_t>(high) << 32) | static_cast<uint32_t>(low);
}

// Leaves garbage above the low byte and the low half: a CHAR or WORD
// result must keep only its own bits.
EXPORT uint32_t __stdcall DirtyLow(int c) { return 0x5A5A0000u | 0x3300u | (static_cast<uint32_t>(c) & 0xFF); }

EXPORT int __stdcall Deref(const int* p) { return *p; }

// The address of a local: equal on every call from the same place exactly
// when the caller's stack is where it was.
EXPORT uint32_t __stdcall StackProbe()
{
    volatile int local = 0;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&local));
}

EXPORT int __cdecl CSum(int n, ...)
{
    va_list ap;
    va_start(ap, n);
    int sum = 0;
    for (int i = 0; i < n; ++i) sum += va_arg(ap, int);
    va_end(ap);
    return sum;
}

// n doubles after n; whatever follows them is ignored.
EXPORT int __cdecl SumDoubles(int n, ...)
{
    va_list ap;
    va_start(ap, n);
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += va_arg(ap, double);
    va_end(ap);
    return static_cast<int>(sum * 10);
}

EXPORT int __stdcall Count16(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9,
                             int a10, int a11, int a12, int a13, int a14, int a15)
{
    return a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10 + a11 + a12 + a13 + a14 + a15;
}

// --- Records -------------------------------------------------------------

// One byte of whatever the pointer points at: lets a test read a packed
// record's layout byte by byte.
EXPORT int __stdcall ByteAt(const unsigned char* p, int offset) { return p ? p[offset] : -1; }

#pragma pack(push, 1)
struct Packed1 {
    char c;
    int32_t i;
    uint16_t w;
    int64_t q;
};
#pragma pack(pop)

struct Natural {
    char c;
    int32_t i;
    uint16_t w;
    int64_t q;
};
static_assert(sizeof(Packed1) == 15, "packed layout");
static_assert(offsetof(Natural, q) == 16 && sizeof(Natural) == 24, "natural layout");

// Checks the members the program set and answers with new values, which
// must come back into the program's record.
EXPORT int __stdcall FillPacked(Packed1* p)
{
    const bool seen = p->c == 'A' && p->i == 123456 && p->w == 0xBEEF && p->q == 0x0102030405060708LL;
    p->c = 'z';
    p->i = -7;
    p->w = 0x1234;
    p->q = 0x1122334455667788LL;
    return seen ? 1 : 0;
}

EXPORT int __cdecl CFillNatural(Natural* p)
{
    const bool seen = p->c == 'A' && p->i == 123456 && p->w == 0xBEEF && p->q == 0x0102030405060708LL;
    p->c = 'y';
    p->i = 99;
    p->w = 7;
    p->q = -2;
    return seen ? 1 : 0;
}

// A record with a string and an array member: both travel by address.
struct WithRefs {
    int32_t n;
    char* text;
    int32_t* values;
};

EXPORT int __stdcall UseRefs(WithRefs* r)
{
    const int got = static_cast<int>(std::strlen(r->text)) + 100 * r->values[1];
    std::strcpy(r->text, "from dll");
    r->values[0] = 42;
    r->n = got;
    return got;
}
