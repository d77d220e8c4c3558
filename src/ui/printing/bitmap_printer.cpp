// GBitmapPrinter: device-independent copies of bitmaps, stretched onto
// printer pages whole or band by band.
#include "ui/printing/bitmap_printer.h"

#include <cstdlib>
#include <cstring>

#include "framework/gdi.h"
#include "interp/text.h"

namespace {

// Rows of DIBs are padded to whole 32-bit words.
size_t rowBytes(int bitsPerPixel, int width)
{
    return static_cast<size_t>(((bitsPerPixel * width + 31) / 8) & ~3);
}

int roundHalfUp(double v)
{
    return static_cast<int>(v + 0.5);
}

bool isNtPlatform()
{
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    return ::GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

GBitmapPrinter::~GBitmapPrinter()
{
    release();
}

void GBitmapPrinter::release()
{
    std::free(m_info);
    m_info = nullptr;
    m_bits = nullptr;
}

bool GBitmapPrinter::allocate(size_t size)
{
    release();
    m_info = static_cast<BITMAPINFO*>(std::calloc(1, size));
    return m_info != nullptr;
}

void GBitmapPrinter::printPage(HDC hdc)
{
    if (!m_info || !hdc) return;
    computePlacement(hdc);
    draw(hdc);
}

void GBitmapPrinter::printDocument(HDC hdc)
{
    if (!m_info || !hdc) return;
    DOCINFOA doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = m_documentName;
    if (::StartDocA(hdc, &doc) <= 0) return;
    const bool page = ::StartPage(hdc) > 0;
    printPage(hdc);
    if (page) ::EndPage(hdc);
    ::EndDoc(hdc);
}

void GBitmapPrinter::draw(HDC hdc)
{
    if (::IsRectEmpty(&m_target) || !m_info) return;
    int escape = NEXTBAND;
    const bool banding = ::Escape(hdc, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), nullptr) > 0 &&
                         !isNtPlatform();
    if (banding) {
        drawBands(hdc);
        return;
    }
    const BITMAPINFOHEADER& h = m_info->bmiHeader;
    ::SetStretchBltMode(hdc, COLORONCOLOR);
    ::StretchDIBits(hdc, m_target.left, m_target.top, m_target.right - m_target.left, m_target.bottom - m_target.top,
                    0, 0, h.biWidth, std::abs(h.biHeight), m_bits, m_info, DIB_RGB_COLORS, SRCCOPY);
}

int GBitmapPrinter::stripCount(const RECT& band)
{
    const int height = band.bottom - band.top;
    if (height <= 0) return 0;
    const int rows = height <= StripRows ? height : StripRows;
    const int count = roundHalfUp(static_cast<double>(height) / rows);
    return count > 0 ? count : 1;
}

// Strips start at the band's top; the last one ends at the band's bottom
// whatever the rounding of the count left over.
RECT GBitmapPrinter::strip(const RECT& band, int index, int count)
{
    const int height = band.bottom - band.top;
    const int rows = height <= StripRows ? height : StripRows;
    RECT r = band;
    r.top = band.top + index * rows;
    r.bottom = index == count - 1 ? band.bottom : r.top + rows;
    return r;
}

void GBitmapPrinter::drawBands(HDC hdc)
{
    const int height = std::abs(m_info->bmiHeader.biHeight);
    RECT band = {};
    while (::Escape(hdc, NEXTBAND, 0, nullptr, &band) > 0 && !::IsRectEmpty(&band)) {
        const int count = stripCount(band);
        for (int i = 0; i < count; ++i) {
            RECT device = strip(band, i, count), source = {};
            if (!mapToSource(device, source)) continue;
            ::SetStretchBltMode(hdc, COLORONCOLOR);
            // The bits are stored bottom-up: rows count from the last one.
            ::StretchDIBits(hdc, device.left, device.top, device.right - device.left, device.bottom - device.top,
                            source.left, height - source.bottom, source.right - source.left,
                            source.bottom - source.top, m_bits, m_info, DIB_RGB_COLORS, SRCCOPY);
        }
    }
}

void GBitmapPrinter::setBitmap(HBITMAP bitmap, HPALETTE palette)
{
    BITMAP bm = {};
    if (::GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm) return;
    if (bm.bmBits) copyDibSection(bitmap);
    else copyDdb(bitmap, palette);
}

void GBitmapPrinter::setDocumentName(const char* text)
{
    copyText(m_documentName, text ? text : "", sizeof m_documentName - 1);
}

void GBitmapPrinter::setTargetRect(const RECT& rect)
{
    m_target = rect;
    m_placement = PlaceInTarget;
}

void GBitmapPrinter::computePlacement(HDC)
{
    // PlaceInTarget, the only mode: the target rectangle stays as set.
}

bool GBitmapPrinter::mapToSource(RECT& device, RECT& source) const
{
    if (!m_info) return false;
    RECT hit = {};
    if (!::IntersectRect(&hit, &device, &m_target)) return false;
    device = hit;
    const double sx = static_cast<double>(m_target.right - m_target.left) / m_info->bmiHeader.biWidth;
    const double sy = static_cast<double>(m_target.bottom - m_target.top) / std::abs(m_info->bmiHeader.biHeight);
    source.left = roundHalfUp((hit.left - m_target.left) / sx);
    source.right = source.left + roundHalfUp((hit.right - hit.left) / sx);
    source.top = roundHalfUp((hit.top - m_target.top) / sy);
    source.bottom = source.top + roundHalfUp((hit.bottom - hit.top) / sy);
    return true;
}

void GBitmapPrinter::copyDdb(HBITMAP bitmap, HPALETTE palette)
{
    BITMAP bm = {};
    if (::GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0) return;
    const size_t row = rowBytes(24, bm.bmWidth);
    if (!allocate(sizeof(BITMAPINFOHEADER) + row * bm.bmHeight)) return;
    BITMAPINFOHEADER& h = m_info->bmiHeader;
    h.biSize = sizeof h;
    h.biWidth = bm.bmWidth;
    h.biHeight = bm.bmHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    m_bits = reinterpret_cast<char*>(m_info) + sizeof h;

    CClientDC screen(nullptr);
    HPALETTE previous = palette ? ::SelectPalette(screen, palette, FALSE) : nullptr;
    if (palette) ::RealizePalette(screen);
    ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), m_bits, m_info, DIB_RGB_COLORS);
    if (previous) ::SelectPalette(screen, previous, FALSE);
}

void GBitmapPrinter::copyDibSection(HBITMAP bitmap)
{
    DIBSECTION ds = {};
    if (::GetObjectA(bitmap, sizeof ds, &ds) != sizeof ds) return;
    const BITMAPINFOHEADER& src = ds.dsBmih;
    const int bpp = src.biBitCount, width = src.biWidth, height = std::abs(src.biHeight);
    UINT entries = src.biClrUsed;
    if (entries == 0 && bpp <= 8) entries = 1u << bpp;
    if ((entries || bpp > 8) && src.biCompression != BI_RGB) {
        copyDdb(bitmap, nullptr);
        return;
    }
    const size_t row = rowBytes(bpp, width);
    if (!allocate(sizeof src + entries * sizeof(RGBQUAD) + row * height)) return;
    m_info->bmiHeader = src;
    m_bits = reinterpret_cast<char*>(m_info) + sizeof src + entries * sizeof(RGBQUAD);
    if (entries && src.biCompression != BI_BITFIELDS) {
        CMemDC dc(nullptr);
        CSelectObject select(dc, bitmap);
        ::GetDIBColorTable(dc, 0, entries, m_info->bmiColors);
    }
    if (ds.dsBm.bmBits) std::memcpy(m_bits, ds.dsBm.bmBits, row * height);
}
