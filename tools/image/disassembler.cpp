// Program image -> readable text. Every choice here mirrors a rule of the
// assembler (see notation.h): a name is written only where the assembler
// would turn it back into the same token, and anything the notation cannot
// show as itself is written as an escape.
#include "assembler.h"

#include <cstdio>

#include "names.h"
#include "notation.h"

namespace image {
namespace {

using namespace notation;

enum class LineEnd { Lf, CrLf, None };

class LineWriter {
public:
    LineWriter(std::string_view line, std::string& out) : m_line(line), m_out(out) {}

    void write();

private:
    unsigned char at(size_t i) const
    {
        return i < m_line.size() ? static_cast<unsigned char>(m_line[i]) : 0;
    }
    bool has(size_t i) const { return i < m_line.size(); }
    unsigned char last() const
    {
        return m_out.empty() ? 0 : static_cast<unsigned char>(m_out.back());
    }

    int opcodeAt(size_t pos) const;
    int constantAt(size_t pos) const;
    bool nameFits(size_t next) const;
    void code(size_t pos);
    void hexByte(unsigned char c);

    std::string_view m_line;
    std::string& m_out;
};

// The opcode of a well-formed 0xFF token at pos, else -1.
int LineWriter::opcodeAt(size_t pos) const
{
    if (at(pos) != StatementMark || !has(pos + 2)) return -1;
    unsigned char hi = at(pos + 1), lo = at(pos + 2);
    if (hi < CodeBase || hi > CodeBase + 15 || lo < CodeBase || lo > CodeBase + 15) return -1;
    return (hi - CodeBase) * 16 + (lo - CodeBase);
}

// The index of a constant token at pos in the form the assembler writes
// (0xFE, constantHigh(index), 0xE0 + index % 16), else -1.
int LineWriter::constantAt(size_t pos) const
{
    if (at(pos) != ConstantMark || !has(pos + 2)) return -1;
    unsigned char hi = at(pos + 1), lo = at(pos + 2);
    const int high = constantHighValue(hi);
    if (high < 0 || lo < CodeBase || lo > CodeBase + 15) return -1;
    int index = high * 16 + (lo - CodeBase);
    return index < ConstantCount ? index : -1;
}

// A name written here would be read back as a name token: it neither joins
// the text before or after it nor follows a member dot, "#" or "@".
bool LineWriter::nameFits(size_t next) const
{
    unsigned char prev = last();
    return !isIdentChar(prev) && !keepsNamePlain(prev) && !isIdentChar(at(next));
}

void LineWriter::hexByte(unsigned char c)
{
    char buf[8];
    snprintf(buf, sizeof buf, "{x%02X}", c);
    m_out += buf;
}

void LineWriter::write()
{
    size_t pos = 0;
    while (has(pos) && isBlank(at(pos))) ++pos;
    m_out.append(m_line.substr(0, pos));
    if (!has(pos)) return;

    if (isCommentStart(at(pos))) {
        if (m_line.find('\0') == std::string_view::npos) {
            m_out.append(m_line.substr(pos));
            return;
        }
        // A zero byte cannot stand in a comment, which is copied as it is:
        // write the comment character as an escape and the rest as code.
        hexByte(at(pos));
        code(pos + 1);
        return;
    }

    int op = opcodeAt(pos);
    if (op >= 0) {
        const char* name = opcodeName(op);
        size_t rest = pos + 3, next = rest;
        while (has(next) && isBlank(at(next))) ++next;
        if (name && opcodeByName(name) == op && at(next) != '=') {
            m_out += name;
            if (has(rest)) {
                m_out += ' ';  // the assembler drops one blank after the name
                code(rest);
            }
        } else {
            m_out += braced("op", op);
            code(rest);
        }
        return;
    }

    if (isIdentStart(at(pos))) {
        size_t end = pos;
        while (has(end) && isIdentChar(at(end))) ++end;
        std::string_view word = m_line.substr(pos, end - pos);
        size_t next = end;
        while (has(next) && isBlank(at(next))) ++next;
        bool wouldBeStatement = opcodeByName(std::string(word)) >= 0 &&
                                !(has(end) && endsPlainFirstWord(at(end))) && at(next) != '=';
        if (wouldBeStatement) m_out += '`';
        m_out.append(word);
        code(end);
        return;
    }

    code(pos);
}

void LineWriter::code(size_t pos)
{
    while (has(pos)) {
        unsigned char c = at(pos);
        if (c == '"') {
            size_t close = m_line.find('"', pos + 1);
            bool clean = close != std::string_view::npos;
            for (size_t i = pos + 1; clean && i < close; ++i) {
                unsigned char s = at(i);
                clean = s != StatementMark && s != ConstantMark && s != 0;
            }
            if (clean) {
                m_out.append(m_line.substr(pos, close + 1 - pos));
                pos = close + 1;
            } else {
                hexByte(c);  // not a literal the notation can hold: go on byte by byte
                ++pos;
            }
        } else if (c == StatementMark) {
            int op = opcodeAt(pos);
            if (op < 0) {
                hexByte(c);
                ++pos;
                continue;
            }
            const char* name = opcodeName(op);
            if (name && opcodeByName(name) == op && nameFits(pos + 3))
                m_out += name;
            else
                m_out += braced("op", op);
            pos += 3;
        } else if (c == ConstantMark) {
            int index = constantAt(pos);
            if (index < 0) {
                hexByte(c);
                ++pos;
                continue;
            }
            const char* name = constantName(index);
            if (name && nameFits(pos + 3))
                m_out += name;
            else
                m_out += braced("", index);
            pos += 3;
        } else if (isIdentStart(c)) {
            size_t end = pos;
            while (has(end) && isIdentChar(at(end))) ++end;
            std::string word(m_line.substr(pos, end - pos));
            if (!keepsNamePlain(last()) && (opcodeByName(word) >= 0 || constantByName(word) >= 0))
                m_out += '`';
            m_out += word;
            pos = end;
        } else if (isDigit(c)) {
            size_t end = pos + 1;
            while (has(end) && isNumberChar(at(end))) ++end;
            m_out.append(m_line.substr(pos, end - pos));
            pos = end;
        } else if (c == '{' || c == '`' || c < 0x20 || c == 0x7F) {
            if (c == '\t') m_out += '\t'; else hexByte(c);
            ++pos;
        } else {
            m_out += static_cast<char>(c);
            ++pos;
        }
    }
}

bool endsLikeMark(std::string_view text)
{
    for (std::string_view mark : {MarkLf, MarkCrLf, MarkNoEol})
        if (text.size() >= mark.size() && text.substr(text.size() - mark.size()) == mark) return true;
    return false;
}

}  // namespace

std::string disassemble(const std::string& image, const AsmOptions& opt)
{
    std::string_view body(image);
    if (!body.empty() && body.back() == '\0') body.remove_suffix(1);

    const LineEnd usual = opt.bareLf ? LineEnd::Lf : LineEnd::CrLf;
    std::string out;
    while (!body.empty()) {
        size_t nl = body.find('\n');
        std::string_view line = body.substr(0, nl);
        LineEnd end = LineEnd::None;
        if (nl != std::string_view::npos) {
            end = LineEnd::Lf;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
                end = LineEnd::CrLf;
            }
            body.remove_prefix(nl + 1);
        } else {
            body = {};
        }

        const size_t start = out.size();
        LineWriter(line, out).write();

        // Only raw (comment) text can end in a CR or in something that looks
        // like a mark; then the line's own end must be spelled out.
        std::string_view written(out.data() + start, out.size() - start);
        bool mustMark = !written.empty() && (written.back() == '\r' || endsLikeMark(written));
        if (end != usual || mustMark) {
            switch (end) {
            case LineEnd::Lf: out += MarkLf; break;
            case LineEnd::CrLf: out += MarkCrLf; break;
            case LineEnd::None: out += MarkNoEol; break;
            }
        }
        out += '\n';
    }
    return out;
}

}  // namespace image
