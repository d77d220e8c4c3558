// Small helpers over 8-bit, zero-terminated texts that every handler shares.
#pragma once

#include <cstddef>

// The first character that is neither space nor tab; null gives null.
char* skipBlanks(char* text);
inline const char* skipBlanks(const char* text) { return skipBlanks(const_cast<char*>(text)); }

// strnlen, reading several characters at a time. The C runtime's scans go
// a byte at a time: on a long string they cost several times the copy
// that follows, and a string grown by «T = T + c» is scanned twice a line.
// Reads only within [p, p + limit), which the caller's buffer must hold
// (strnlen does not need that where a terminator comes first), and
// nothing past the aligned block that holds the terminator.
size_t textLength(const char* p, size_t limit);
// The two ways textLength takes: sixteen characters at a time where the
// processor has SSE2 (false: not taken), else a machine word at a time.
bool textLengthBySse2(const char* p, size_t limit, size_t& length);
size_t textLengthByWords(const char* p, size_t limit);

// True for space and tab.
inline bool isBlank(int c) { return c == ' ' || c == '\t'; }

// Copies at most n characters and terminates at position n (n > 0); n = 0
// copies the first character only, without a terminator; n < 0 leaves the
// destination unchanged. Returns the destination, or null for a null text.
char* copyText(char* dest, const char* src, int n);

// First occurrence of c outside double quotes and, when asked, outside
// square brackets and parentheses; null when there is none.
char* findOutside(char* text, char c, bool watchBrackets, bool watchParens);

// Length of the plain name at the start of p (a letter, then letters,
// digits and "_", at most 30 characters); 0 when none starts there.
size_t plainNameLength(const char* p);
// The whole text is a plain name.
bool isPlainName(const char* p);
// An index (between commas) that the full lookup evaluates as an
// expression, rather than reading a number or a name.
bool holdsIndexOperator(const char* text);
// The whole text is «name[index]», both plain names, without blanks.
bool isElementReference(const char* p);
// The whole text is «name[index]» with a plain name and, other than a
// plain name alone (isElementReference), one to three indices between
// commas of names, numbers, blanks, parentheses and the operators "+",
// "-", "*", "/" and "%": the index after its leading blanks, its length in
// `length`; else null.
const char* computedIndex(const char* p, size_t& length);
inline bool hasComputedIndex(const char* p)
{
    size_t length;
    return computedIndex(p, length) != nullptr;
}

// ASCII-only case-insensitive comparison of names (at most `limit` characters).
bool sameName(const char* a, const char* b, int limit);
