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
