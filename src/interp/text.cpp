// Text helpers shared by the decoder, the evaluator and the handlers.
#include "text.h"

#include <cstring>

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
