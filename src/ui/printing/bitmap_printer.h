// GBitmapPrinter: prints one bitmap on a printer page.
//
// It keeps a device-independent copy of the bitmap (header, colour table
// and bits in one block it owns) and stretches it into a target rectangle
// of the printer's context, in strips of the bands a banding device asks
// for. It lives on the stack of the statement that prints, so it has no
// virtual destructor; the operations are virtual in the order other code
// expects them.
#pragma once

#include <windows.h>

class GBitmapPrinter {
public:
    // Placement mode: print into the target rectangle as it was set.
    static constexpr int PlaceInTarget = 3;
    // Device rows per strip on banding devices.
    static constexpr int StripRows = 75;

    GBitmapPrinter() = default;
    ~GBitmapPrinter();
    GBitmapPrinter(const GBitmapPrinter&) = delete;
    GBitmapPrinter& operator=(const GBitmapPrinter&) = delete;

    // Places and draws the held bitmap; nothing without one or without hdc.
    virtual void printPage(HDC hdc);
    // A whole document of one page, named documentName().
    virtual void printDocument(HDC hdc);
    // Stretches the held bitmap into the target rectangle.
    virtual void draw(HDC hdc);
    // Takes a copy of the bitmap (a DIB section's own format, any other
    // bitmap as 24 bits per pixel); nothing when it is no bitmap.
    virtual void setBitmap(HBITMAP bitmap, HPALETTE palette);
    virtual const char* documentName() const { return m_documentName; }
    // Copies at most 259 characters.
    virtual void setDocumentName(const char* text);
    virtual RECT targetRect() const { return m_target; }
    virtual void setTargetRect(const RECT& rect);
    virtual int placementMode() const { return m_placement; }
    virtual void computePlacement(HDC hdc);
    // Cuts `device` to the target rectangle and gives the part of the
    // bitmap that lands there (rows counted from the top); false when the
    // device rectangle misses the target.
    virtual bool mapToSource(RECT& device, RECT& source) const;
    virtual void copyDdb(HBITMAP bitmap, HPALETTE palette);
    virtual void copyDibSection(HBITMAP bitmap);

    // The held copy, or null.
    const BITMAPINFO* info() const { return m_info; }
    const void* bits() const { return m_bits; }

    // How a band is cut into strips: their number, and strip i of them.
    // Together the strips cover the band exactly.
    static int stripCount(const RECT& band);
    static RECT strip(const RECT& band, int index, int count);

private:
    // Takes a zero-filled block of `size` bytes; false when none is had.
    bool allocate(size_t size);
    void release();
    void drawBands(HDC hdc);

    BITMAPINFO* m_info = nullptr;
    void* m_bits = nullptr;
    char m_documentName[260] = {};
    RECT m_target = {};
    int m_placement = PlaceInTarget;
};
