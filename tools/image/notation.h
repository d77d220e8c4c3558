// Lexical rules shared by the assembler and the disassembler. Keeping them
// in one place is what makes the two directions agree byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace image::notation {

constexpr unsigned char StatementMark = 0xFF;  // starts an opcode
constexpr unsigned char ConstantMark = 0xFE;   // starts a constant token
constexpr unsigned char CodeBase = 0xE0;       // opcode and index characters

// First index character of a constant token. The engine reads only its low
// five bits, so indices from 480 on are written from 0xDE rather than as
// 0xFE/0xFF, which would look like the token and statement markers to
// anything that scans a line byte by byte.
constexpr unsigned char constantHigh(int index)
{
    return static_cast<unsigned char>((index >> 4) < 30 ? CodeBase + (index >> 4) : 0xC0 + (index >> 4));
}

// The index high nibble of a first index character, or -1.
constexpr int constantHighValue(unsigned char c)
{
    return c >= CodeBase && c <= 0xFD ? c - CodeBase : (c == 0xDE || c == 0xDF) ? c - 0xC0 : -1;
}

// The three line-end marks, written as the last thing on a source line.
constexpr std::string_view MarkLf = "{lf}";
constexpr std::string_view MarkCrLf = "{crlf}";
constexpr std::string_view MarkNoEol = "{noeol}";

inline bool isBlank(unsigned char c) { return c == ' ' || c == '\t'; }
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool isIdentStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
inline bool isIdentChar(unsigned char c) { return isIdentStart(c) || isDigit(c); }

// Characters of a number token after its first digit: "0x1F", "1.5e3".
inline bool isNumberChar(unsigned char c) { return isIdentChar(c) || c == '.'; }

// A name right after one of these is a member, a pointer target or a named
// value, never a built-in function or constant.
inline bool keepsNamePlain(unsigned char prev)
{
    return prev == '.' || prev == '#' || prev == '@';
}

// "{op44}", "{72}": an opcode or a constant index written as an escape.
inline std::string braced(std::string_view prefix, int n)
{
    std::string s(1, '{');
    s += prefix;
    s += std::to_string(n);
    s += '}';
    return s;
}

inline bool isCommentStart(unsigned char c) { return c == '\'' || c == ';'; }

// After the first word of a line, these mark an assignment, a label or a
// member path even when the word is a statement name: "sign = 1", "sine:".
inline bool endsPlainFirstWord(unsigned char next) { return next == ':' || next == '[' || next == '.'; }

}  // namespace image::notation
