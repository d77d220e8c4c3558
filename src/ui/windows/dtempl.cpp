// The in-memory dialog template: string storage, items and the built block.
#include "ui/windows/dtempl.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

static_assert(sizeof(DLGTEMPLATE) == 18, "DLGTEMPLATE must be packed to 18 bytes");
static_assert(sizeof(DLGITEMTEMPLATE) == 18, "DLGITEMTEMPLATE must be packed to 18 bytes");

constexpr size_t roundDown4(size_t n) { return n & ~static_cast<size_t>(3); }

BYTE* put(BYTE* out, const void* bytes, size_t size)
{
    if (size) std::memcpy(out, bytes, size);
    return out + size;
}

}  // namespace

// --- CWideText -------------------------------------------------------------------

bool CDlgTempl::CWideText::set(const WCHAR* text)
{
    static const WCHAR empty[1] = {0};
    if (!text) text = empty;
    size_t length = 0;
    while (text[length]) ++length;
    const size_t bytes = (length + 1) * sizeof(WCHAR);
    auto* copy = static_cast<WCHAR*>(std::malloc(bytes));
    if (!copy) {
        clear();
        return false;
    }
    std::memcpy(copy, text, bytes);
    std::free(m_text);
    m_text = copy;
    m_size = static_cast<DWORD>(bytes);
    return true;
}

bool CDlgTempl::CWideText::setAnsi(const char* text)
{
    if (!text) return set(nullptr);
    // Every ANSI byte becomes at most one UTF-16 unit.
    const size_t length = std::strlen(text);
    auto* wide = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
    if (!wide) {
        clear();
        return false;
    }
    const int n = length ? ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide,
                                                 static_cast<int>(length))
                         : 0;
    wide[n > 0 ? n : 0] = 0;
    const bool ok = set(wide);
    std::free(wide);
    return ok;
}

void CDlgTempl::CWideText::clear()
{
    std::free(m_text);
    m_text = nullptr;
    m_size = 0;
}

// --- CDlgItemTempl ---------------------------------------------------------------

bool CDlgTempl::CDlgItemTempl::setAll(short x, short y, short cx, short cy, WORD id, DWORD style,
                                      const char* className, const char* title, WORD dataSize,
                                      const void* data, DWORD exStyle)
{
    m_header.style = style;
    m_header.dwExtendedStyle = exStyle;
    m_header.x = x;
    m_header.y = y;
    m_header.cx = cx;
    m_header.cy = cy;
    m_header.id = id;
    if (setClass(className) && setTitle(title) && setData(dataSize, data)) return true;
    clear();
    return false;
}

bool CDlgTempl::CDlgItemTempl::setData(WORD dataSize, const void* data)
{
    std::free(m_data);
    m_data = nullptr;
    m_dataSize = 0;
    if (!dataSize || !data) return true;
    m_data = static_cast<BYTE*>(std::malloc(dataSize));
    if (!m_data) return false;
    std::memcpy(m_data, data, dataSize);
    m_dataSize = dataSize;
    return true;
}

void CDlgTempl::CDlgItemTempl::clear()
{
    m_header = {};
    m_class.clear();
    m_title.clear();
    setData(0, nullptr);
}

size_t CDlgTempl::CDlgItemTempl::byteSize() const
{
    return roundDown4(sizeof m_header + m_class.size() + m_title.size() + sizeof(WORD) + m_dataSize + 3);
}

BYTE* CDlgTempl::CDlgItemTempl::write(BYTE* out) const
{
    out = put(out, &m_header, sizeof m_header);
    out = put(out, m_class.text(), m_class.size());
    out = put(out, m_title.text(), m_title.size());
    out = put(out, &m_dataSize, sizeof m_dataSize);
    return put(out, m_data, m_dataSize);
}

// --- CDlgTempl -------------------------------------------------------------------

CDlgTempl::CDlgTempl()
{
    m_menu.set(nullptr);
    m_class.set(nullptr);
    m_title.set(nullptr);
}

CDlgTempl::~CDlgTempl()
{
    release();
    for (CDlgItemTempl* item : m_items) delete item;
}

void CDlgTempl::setHeader(DWORD style, DWORD exStyle, short x, short y, short cx, short cy)
{
    m_header.style = style;
    m_header.dwExtendedStyle = exStyle;
    m_header.x = x;
    m_header.y = y;
    m_header.cx = cx;
    m_header.cy = cy;
}

bool CDlgTempl::setFont(WORD pointSize, const char* name)
{
    m_pointSize = pointSize;
    m_header.style |= DS_SETFONT;
    return m_font.setAnsi(name);
}

bool CDlgTempl::setFont(WORD pointSize, const WCHAR* name)
{
    m_pointSize = pointSize;
    m_header.style |= DS_SETFONT;
    return m_font.set(name);
}

bool CDlgTempl::addItem(short x, short y, short cx, short cy, WORD id, DWORD style, const char* className,
                        const char* title, WORD dataSize, const void* data, DWORD exStyle)
{
    // The header counts items in a WORD.
    if (m_items.size() >= 0xFFFF) return false;
    auto* item = new (std::nothrow) CDlgItemTempl;
    if (!item) return false;
    if (!item->setAll(x, y, cx, cy, id, style, className, title, dataSize, data, exStyle)) {
        delete item;
        return false;
    }
    m_items.push_back(item);
    ++m_header.cdit;
    return true;
}

int CDlgTempl::findItem(uint32_t id) const
{
    if (id == 0xFFFFFFFFu) return -1;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (static_cast<uint32_t>(m_items[i]->id()) == id) return static_cast<int>(i);
    return -1;
}

CDlgTempl::CDlgItemTempl* CDlgTempl::getItem(int32_t key, bool byIndex) const
{
    const int index = byIndex ? key : findItem(static_cast<uint32_t>(key));
    if (index < 0 || index >= itemCount()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

size_t CDlgTempl::headerSize() const
{
    size_t size = sizeof m_header + m_menu.size() + m_class.size() + m_title.size();
    if (m_header.style & DS_SETFONT) size += sizeof m_pointSize + m_font.size();
    return roundDown4(size + 3);
}

size_t CDlgTempl::byteSize() const
{
    size_t size = headerSize();
    for (const CDlgItemTempl* item : m_items) size += item->byteSize();
    return size;
}

const DLGTEMPLATE* CDlgTempl::build()
{
    if (m_block) return nullptr;
    // A string whose buffer could not be had would leave a hole in the
    // layout the dialog manager reads blindly.
    if (!m_menu.size() || !m_class.size() || !m_title.size() || ((m_header.style & DS_SETFONT) && !m_font.size()))
        return nullptr;
    const size_t size = byteSize();
    m_handle = ::LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
    if (!m_handle) return nullptr;
    m_block = static_cast<BYTE*>(::LocalLock(m_handle));
    if (!m_block) {
        ::LocalFree(m_handle);
        m_handle = nullptr;
        return nullptr;
    }

    BYTE* out = put(m_block, &m_header, sizeof m_header);
    out = put(out, m_menu.text(), m_menu.size());
    out = put(out, m_class.text(), m_class.size());
    out = put(out, m_title.text(), m_title.size());
    if (m_header.style & DS_SETFONT) {
        out = put(out, &m_pointSize, sizeof m_pointSize);
        put(out, m_font.text(), m_font.size());
    }
    size_t offset = headerSize();
    for (const CDlgItemTempl* item : m_items) {
        item->write(m_block + offset);
        offset += item->byteSize();
    }
    return reinterpret_cast<const DLGTEMPLATE*>(m_block);
}

void CDlgTempl::release()
{
    if (!m_handle) return;
    ::LocalUnlock(m_handle);
    ::LocalFree(m_handle);
    m_handle = nullptr;
    m_block = nullptr;
}
