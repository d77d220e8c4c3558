// Text helpers shared by the decoder, the evaluator and the handlers.
#include "text.h"

#include <cstdint>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define OSTRIN_SSE2_SCAN 1
#endif

namespace {

// The characters before the first aligned block, one at a time: true with
// the length when the terminator or the bound comes first, else false with
// s at the block.
template <size_t Align>
bool leadingLength(const char* p, const char*& s, const char* end, size_t& length)
{
    for (; s < end && reinterpret_cast<uintptr_t>(s) % Align; ++s)
        if (!*s) break;
    length = static_cast<size_t>(s - p);
    return s == end || !*s;
}

size_t trailingLength(const char* p, const char* s, const char* end)
{
    while (s < end && *s) ++s;
    return static_cast<size_t>(s - p);
}

#ifdef OSTRIN_SSE2_SCAN
// The engine runs on processors without SSE2 too: asked once.
bool haveSse2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
}

[[gnu::target("sse2")]] size_t sse2Length(const char* p, size_t limit)
{
    const char* s = p;
    const char* const end = p + limit;
    size_t length;
    if (leadingLength<16>(p, s, end, length)) return length;
    const __m128i zero = _mm_setzero_si128();
    for (; end - s >= 16; s += 16) {
        const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(s));
        if (const int zeros = _mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)))
            return static_cast<size_t>(s - p) + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(zeros)));
    }
    return trailingLength(p, s, end);
}
#endif

}  // namespace

bool textLengthBySse2(const char* p, size_t limit, size_t& length)
{
#ifdef OSTRIN_SSE2_SCAN
    static const bool sse2 = haveSse2();
    if (sse2) {
        length = sse2Length(p, limit);
        return true;
    }
#endif
    (void)p, (void)limit, (void)length;
    return false;
}

size_t textLengthByWords(const char* p, size_t limit)
{
    using Word = uintptr_t;
    constexpr Word ones = ~Word{0} / 0xFF, highs = ones << 7;
    const char* s = p;
    const char* const end = p + limit;
    size_t length;
    if (leadingLength<sizeof(Word)>(p, s, end, length)) return length;
    for (; static_cast<size_t>(end - s) >= sizeof(Word); s += sizeof(Word)) {
        Word w;
        std::memcpy(&w, s, sizeof w);
        if ((w - ones) & ~w & highs) break;
    }
    return trailingLength(p, s, end);
}

size_t textLength(const char* p, size_t limit)
{
    size_t length;
    return textLengthBySse2(p, limit, length) ? length : textLengthByWords(p, limit);
}

char* skipBlanks(char* text)
{
    if (!text) return nullptr;
    while (isBlank(*text)) ++text;
    return text;
}

char* copyText(char* dest, const char* src, int n)
{
    if (!dest || !src) return nullptr;
    if (n < 0) return dest;
    if (n == 0) {               // first character only, no terminator
        dest[0] = src[0];
        return dest;
    }
    int i = 0;
    for (; i < n && src[i]; ++i) dest[i] = src[i];
    for (; i <= n; ++i) dest[i] = 0;   // terminated at position n
    return dest;
}

char* findOutside(char* text, char c, bool watchBrackets, bool watchParens)
{
    if (!text) return nullptr;
    bool quoted = false;
    int brackets = 0, parens = 0;
    for (char* p = text; *p; ++p) {
        if (*p == c && !quoted && (!watchBrackets || brackets == 0) && (!watchParens || parens == 0))
            return p;
        if (*p == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (*p == '[') ++brackets;
        else if (*p == ']') --brackets;
        else if (*p == '(') ++parens;
        else if (*p == ')') --parens;
    }
    return nullptr;
}

static inline int upper(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

bool sameName(const char* a, const char* b, int limit)
{
    for (int i = 0; i < limit; ++i) {
        int x = upper(static_cast<unsigned char>(a[i])), y = upper(static_cast<unsigned char>(b[i]));
        if (x != y) return false;
        if (!x) return true;
    }
    return true;
}

size_t plainNameLength(const char* p)
{
    const auto letter = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(static_cast<unsigned char>(*p))) return 0;
    size_t n = 1;
    for (;; ++n) {
        const auto c = static_cast<unsigned char>(p[n]);
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') break;
    }
    return n <= 30 ? n : 0;
}

bool isPlainName(const char* p)
{
    const size_t n = plainNameLength(p);
    return n > 0 && p[n] == 0;
}

bool holdsIndexOperator(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p == 0xFE || std::strchr("*+-<>|&=~^/(@%", *p)) return true;
    return false;
}

const char* computedIndex(const char* p, size_t& length)
{
    const size_t name = plainNameLength(p);
    if (!name || p[name] != '[') return nullptr;
    const char* index = skipBlanks(p + name + 1);
    const char* end = index;
    int commas = 0;
    for (; *end != ']'; ++end) {
        const auto c = static_cast<unsigned char>(*end);
        const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (c == ',') {
            if (++commas > 2) return nullptr;
        } else if (!word && !isBlank(c) && (!c || !std::strchr("+-*/%()", c))) {
            return nullptr;   // the end of the text too (which strchr would find)
        }
    }
    if (end[1] != 0 || isElementReference(p)) return nullptr;
    length = static_cast<size_t>(end - index);
    return index;
}

bool isElementReference(const char* p)
{
    const size_t name = plainNameLength(p);
    if (!name || p[name] != '[') return false;
    const char* index = p + name + 1;
    const size_t n = plainNameLength(index);
    return n > 0 && index[n] == ']' && index[n + 1] == 0;
}
