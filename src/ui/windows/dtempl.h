// CDlgTempl: a dialog template assembled in memory.
//
// Program dialogs are not resources: their header values and one item per
// control are collected here, every string already converted to UTF-16, and
// written on demand into one movable local-memory block in the standard
// DLGTEMPLATE / DLGITEMTEMPLATE layout that the dialog manager reads:
//
//   header (18 bytes), menu, class, title (UTF-16 with terminator each),
//   [point size (WORD), font name] when the style has DS_SETFONT,
//   zero padding to a multiple of 4; then per item, each on a 4-byte
//   boundary: item header (18 bytes), class, title, creation data size
//   (WORD), creation data, zero padding to a multiple of 4.
//
// The block is built once and stays until release(): building while built
// answers null and leaves the block alone, which is what keeps a dialog
// that is already shown from being created a second time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class CDlgTempl {
public:
    // A UTF-16 string with its terminator, in a buffer of its own; size
    // counts bytes including the terminator (0 = no buffer).
    class CWideText {
    public:
        CWideText() = default;
        ~CWideText() { clear(); }
        CWideText(const CWideText&) = delete;
        CWideText& operator=(const CWideText&) = delete;

        // Replaces the text (null = the empty string); false when memory
        // runs out, leaving no buffer and size 0.
        bool set(const WCHAR* text);
        // Converts from the ANSI code page first.
        bool setAnsi(const char* text);
        void clear();
        const WCHAR* text() const { return m_text; }
        DWORD size() const { return m_size; }

    private:
        WCHAR* m_text = nullptr;
        DWORD m_size = 0;
    };

    class CDlgItemTempl {
    public:
        CDlgItemTempl() = default;
        ~CDlgItemTempl() { clear(); }
        CDlgItemTempl(const CDlgItemTempl&) = delete;
        CDlgItemTempl& operator=(const CDlgItemTempl&) = delete;

        // Sets everything at once; false (and the item cleared) when a
        // buffer cannot be had.
        bool setAll(short x, short y, short cx, short cy, WORD id, DWORD style, const char* className,
                    const char* title, WORD dataSize, const void* data, DWORD exStyle);
        bool setClass(const char* name) { return m_class.setAnsi(name); }
        bool setClass(const WCHAR* name) { return m_class.set(name); }
        bool setTitle(const char* title) { return m_title.setAnsi(title); }
        bool setTitle(const WCHAR* title) { return m_title.set(title); }
        // Copies dataSize bytes; 0 means no creation data.
        bool setData(WORD dataSize, const void* data);
        // Zeroes the header and frees every buffer.
        void clear();

        // Bytes the item occupies in a built template, padding included.
        size_t byteSize() const;
        // Writes the item at `out` and returns the address after its
        // creation data (the padding is left to the caller's zeroed block).
        BYTE* write(BYTE* out) const;

        const DLGITEMTEMPLATE& header() const { return m_header; }
        WORD id() const { return m_header.id; }
        const WCHAR* className() const { return m_class.text(); }
        const WCHAR* title() const { return m_title.text(); }

    private:
        DLGITEMTEMPLATE m_header = {};
        CWideText m_class;
        CWideText m_title;
        WORD m_dataSize = 0;
        BYTE* m_data = nullptr;
    };

    // A zero header, no items, empty menu, class and title, no font.
    CDlgTempl();
    // Releases the block and deletes the items.
    ~CDlgTempl();
    CDlgTempl(const CDlgTempl&) = delete;
    CDlgTempl& operator=(const CDlgTempl&) = delete;

    // Header fields; the item count is the items' business.
    void setHeader(DWORD style, DWORD exStyle, short x, short y, short cx, short cy);
    // The string setters answer false when memory runs out; that string
    // is then missing (size 0) and the template must not be built.
    bool setMenu(const WCHAR* menu) { return m_menu.set(menu); }
    bool setClass(const WCHAR* className) { return m_class.set(className); }
    bool setTitle(const char* title) { return m_title.setAnsi(title); }
    bool setTitle(const WCHAR* title) { return m_title.set(title); }
    // Stores the font and sets DS_SETFONT in the style.
    bool setFont(WORD pointSize, const char* name);
    bool setFont(WORD pointSize, const WCHAR* name);

    // Appends an item and counts it in the header; false (nothing added)
    // when one of its buffers cannot be had.
    bool addItem(short x, short y, short cx, short cy, WORD id, DWORD style, const char* className,
                 const char* title, WORD dataSize = 0, const void* data = nullptr, DWORD exStyle = 0);
    // Position of the first item whose 16-bit id equals `id` (compared
    // zero-extended, so ids above 65535 never match); -1 when none.
    int findItem(uint32_t id) const;
    // The item with id `key`, or at position `key` when byIndex; null when
    // there is none.
    CDlgItemTempl* getItem(int32_t key, bool byIndex) const;
    int itemCount() const { return static_cast<int>(m_items.size()); }

    const DLGTEMPLATE& header() const { return m_header; }
    // Bytes a build takes: the padded header part plus every padded item.
    size_t byteSize() const;
    // Writes the template into a fresh block; null when it is already
    // built, a string is missing, or memory cannot be had.
    const DLGTEMPLATE* build();
    // Frees the built block; the template can be built again.
    void release();
    bool isBuilt() const { return m_block != nullptr; }

private:
    size_t headerSize() const;

    HLOCAL m_handle = nullptr;
    BYTE* m_block = nullptr;
    std::vector<CDlgItemTempl*> m_items;
    DLGTEMPLATE m_header = {};
    WORD m_pointSize = 0;
    CWideText m_menu;
    CWideText m_class;
    CWideText m_title;
    CWideText m_font;
};
