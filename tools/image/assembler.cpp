// Readable text -> program image.
#include "assembler.h"

#include <cstdio>
#include <vector>

#include "names.h"
#include "notation.h"

namespace image {
namespace {

using namespace notation;

enum class LineEnd { Default, Lf, CrLf, None };

// Assembles one source line into `out`. Columns in errors count from 1.
class LineAssembler {
public:
    LineAssembler(std::string_view text, int lineNo, std::string& out, AsmError& err)
        : m_text(text), m_lineNo(lineNo), m_out(out), m_err(err) {}

    bool run();

private:
    unsigned char at(size_t i) const
    {
        return i < m_text.size() ? static_cast<unsigned char>(m_text[i]) : 0;
    }
    bool fail(size_t pos, std::string message)
    {
        m_err.line = m_lineNo;
        m_err.column = static_cast<int>(pos) + 1;
        m_err.message = std::move(message);
        return false;
    }

    size_t identEnd(size_t pos) const
    {
        while (pos < m_text.size() && isIdentChar(at(pos))) ++pos;
        return pos;
    }

    bool firstWord(size_t& pos);
    bool code(size_t pos);
    bool stringLiteral(size_t& pos);
    bool escape(size_t& pos);
    void name(size_t& pos);

    void putOpcode(int op)
    {
        m_out += static_cast<char>(StatementMark);
        m_out += static_cast<char>(CodeBase + (op >> 4));
        m_out += static_cast<char>(CodeBase + (op & 15));
    }
    void putConstant(int index)
    {
        m_out += static_cast<char>(ConstantMark);
        m_out += static_cast<char>(constantHigh(index));
        m_out += static_cast<char>(CodeBase + (index & 15));
    }

    std::string_view m_text;
    int m_lineNo;
    std::string& m_out;
    AsmError& m_err;
    unsigned char m_prev = 0;  // the source character before the current token
};

bool LineAssembler::run()
{
    size_t pos = 0;
    while (pos < m_text.size() && isBlank(at(pos))) ++pos;

    // Comment and blank lines pass through byte for byte; only a zero byte
    // would break the image (it ends the text for the engine).
    if (pos == m_text.size() || isCommentStart(at(pos))) {
        for (size_t i = 0; i < m_text.size(); ++i)
            if (at(i) == 0) return fail(i, "zero byte in the source; it would end the image");
        m_out.append(m_text);
        return true;
    }

    m_out.append(m_text.substr(0, pos));
    m_prev = pos ? at(pos - 1) : 0;
    if (!firstWord(pos)) return false;
    return code(pos);
}

// A statement name at the start of a line makes a statement line, unless the
// line assigns to it, defines it as a label or reaches into it as a record.
bool LineAssembler::firstWord(size_t& pos)
{
    if (at(pos) == '`') {
        if (!isIdentStart(at(pos + 1))) return fail(pos, "a backquote must be followed by a name");
        size_t end = identEnd(pos + 1);
        m_out.append(m_text.substr(pos + 1, end - pos - 1));
        m_prev = at(end - 1);
        pos = end;
        return true;
    }
    if (!isIdentStart(at(pos))) return true;

    size_t end = identEnd(pos);
    std::string word(m_text.substr(pos, end - pos));
    int op = opcodeByName(word);
    size_t next = end;
    while (next < m_text.size() && isBlank(at(next))) ++next;
    if (op < 0 || endsPlainFirstWord(at(end)) || at(next) == '=') {
        m_out += word;
        m_prev = at(end - 1);
        pos = end;
        return true;
    }

    putOpcode(op);
    m_prev = at(end - 1);
    if (isBlank(at(end))) m_prev = at(end++);  // the separating blank is not kept
    pos = end;
    return true;
}

// Everything after the first word: names become opcodes and constant
// tokens, escapes become bytes, string literals stay as written.
bool LineAssembler::code(size_t pos)
{
    while (pos < m_text.size()) {
        unsigned char c = at(pos);
        if (c == '"') {
            if (!stringLiteral(pos)) return false;
        } else if (c == '{') {
            if (!escape(pos)) return false;
        } else if (c == '`') {
            if (!isIdentStart(at(pos + 1))) return fail(pos, "a backquote must be followed by a name");
            size_t end = identEnd(pos + 1);
            m_out.append(m_text.substr(pos + 1, end - pos - 1));
            m_prev = at(end - 1);
            pos = end;
        } else if (isIdentStart(c)) {
            name(pos);
        } else if (isDigit(c)) {
            size_t end = pos + 1;
            while (end < m_text.size() && isNumberChar(at(end))) ++end;
            m_out.append(m_text.substr(pos, end - pos));
            m_prev = at(end - 1);
            pos = end;
        } else if (c == StatementMark || c == ConstantMark) {
            return fail(pos, c == StatementMark
                                 ? "byte 0xFF cannot be written directly; use a name, {opN} or {xFF}"
                                 : "byte 0xFE cannot be written directly; use a name, {N} or {xFE}");
        } else if (c == 0) {
            return fail(pos, "zero byte in the source; write {x00} if it is meant");
        } else {
            m_out += static_cast<char>(c);
            m_prev = c;
            ++pos;
        }
    }
    return true;
}

bool LineAssembler::stringLiteral(size_t& pos)
{
    size_t close = m_text.find('"', pos + 1);
    if (close == std::string_view::npos) return fail(pos, "unterminated string literal");
    for (size_t i = pos + 1; i < close; ++i) {
        unsigned char c = at(i);
        if (c == StatementMark || c == ConstantMark || c == 0) {
            char buf[80];
            snprintf(buf, sizeof buf,
                     "byte 0x%02X cannot stand inside a string literal (no escapes there)", c);
            return fail(i, buf);
        }
    }
    m_out.append(m_text.substr(pos, close + 1 - pos));
    m_prev = '"';
    pos = close + 1;
    return true;
}

// {opN}, {N} and {xHH}. The line-end marks were taken off the line's end
// before; anywhere else they are an error.
bool LineAssembler::escape(size_t& pos)
{
    size_t close = m_text.find('}', pos + 1);
    if (close == std::string_view::npos) return fail(pos, "'{' without a closing '}'");
    std::string_view body = m_text.substr(pos + 1, close - pos - 1);
    std::string shown(1, '{');
    shown.append(body);
    shown += '}';

    auto parseDecimal = [](std::string_view s, int& value) {
        if (s.empty() || s.size() > 6) return false;
        value = 0;
        for (char ch : s) {
            if (!isDigit(static_cast<unsigned char>(ch))) return false;
            value = value * 10 + (ch - '0');
        }
        return true;
    };
    auto hexDigit = [](char ch) {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        return -1;
    };

    int value = 0;
    if (body.substr(0, 2) == "op" && parseDecimal(body.substr(2), value)) {
        if (value > 255) return fail(pos, "opcode " + std::to_string(value) + " is out of range (0-255)");
        putOpcode(value);
    } else if (parseDecimal(body, value)) {
        if (value >= ConstantCount)
            return fail(pos, "constant index " + std::to_string(value) + " is out of range (0-" +
                                 std::to_string(ConstantCount - 1) + ")");
        putConstant(value);
    } else if (body.size() == 3 && body[0] == 'x' && hexDigit(body[1]) >= 0 && hexDigit(body[2]) >= 0) {
        m_out += static_cast<char>(hexDigit(body[1]) * 16 + hexDigit(body[2]));
    } else if (shown == MarkLf || shown == MarkCrLf || shown == MarkNoEol) {
        return fail(pos, shown + " must be the last thing on its line");
    } else {
        return fail(pos, "unknown escape " + shown + " (expected {opN}, {N} or {xHH})");
    }
    m_prev = '}';
    pos = close + 1;
    return true;
}

void LineAssembler::name(size_t& pos)
{
    size_t end = identEnd(pos);
    std::string word(m_text.substr(pos, end - pos));
    int op = -1, index = -1;
    if (!keepsNamePlain(m_prev)) {
        op = opcodeByName(word);
        if (op < 0) index = constantByName(word);
    }
    if (op >= 0)
        putOpcode(op);
    else if (index >= 0)
        putConstant(index);
    else
        m_out += word;
    m_prev = at(end - 1);
    pos = end;
}

// Takes a line-end mark off the end of a line and says which it was.
LineEnd takeLineEnd(std::string_view& text)
{
    auto take = [&text](std::string_view mark) {
        if (text.size() < mark.size() || text.substr(text.size() - mark.size()) != mark) return false;
        text.remove_suffix(mark.size());
        return true;
    };
    if (take(MarkLf)) return LineEnd::Lf;
    if (take(MarkCrLf)) return LineEnd::CrLf;
    if (take(MarkNoEol)) return LineEnd::None;
    return LineEnd::Default;
}

}  // namespace

bool assemble(const std::string& source, std::string& out, AsmError& err, const AsmOptions& opt)
{
    out.clear();
    err = AsmError{};

    // Source lines end in LF or CR LF; a last line without either still counts.
    std::vector<std::string_view> lines;
    std::string_view src(source);
    while (!src.empty()) {
        size_t nl = src.find('\n');
        std::string_view line = src.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos) break;
        src.remove_prefix(nl + 1);
    }

    std::string image;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view text = lines[i];
        LineEnd end = takeLineEnd(text);
        const int lineNo = static_cast<int>(i) + 1;
        if (end == LineEnd::None && i + 1 != lines.size()) {
            err = {lineNo, static_cast<int>(text.size()) + 1, "{noeol} is allowed on the last line only"};
            return false;
        }
        LineAssembler line(text, lineNo, image, err);
        if (!line.run()) return false;
        switch (end) {
        case LineEnd::Default: image += opt.bareLf ? "\n" : "\r\n"; break;
        case LineEnd::Lf: image += "\n"; break;
        case LineEnd::CrLf: image += "\r\n"; break;
        case LineEnd::None: break;
        }
    }
    image += '\0';
    out = std::move(image);
    return true;
}

}  // namespace image
