// RAII wrappers for the GDI objects and device contexts the engine keeps.
//
// Ownership shows in the type: CPen, CBrush, CFont and CBitmap delete their
// handle; the ...Handle variants only borrow one (no reference counting).
// Device contexts end the way they began: CClientDC releases, CPaintDC ends
// painting, CMemDC deletes. CSelectObject and CSaveDC put a DC back as they
// found it at scope end, so a statement's temporary objects are deselected
// before they are deleted (a selected object cannot be deleted).
#pragma once

#include <windows.h>

template <typename H, bool Owned>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(H handle) : m_handle(handle) {}
    ~CGdiObjectT() { DeleteIfOwned(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;

    operator H() const { return m_handle; }
    H GetHandle() const { return m_handle; }
    bool IsNull() const { return m_handle == nullptr; }

    // Takes `handle` (deleting an owned previous one).
    void Attach(H handle)
    {
        DeleteIfOwned();
        m_handle = handle;
    }
    // Gives the handle up without deleting it.
    H Detach()
    {
        H handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

protected:
    bool Adopt(H handle)
    {
        Attach(handle);
        return handle != nullptr;
    }

private:
    void DeleteIfOwned()
    {
        if (Owned && m_handle) ::DeleteObject(m_handle);
    }
    H m_handle = nullptr;
};

template <bool Owned>
class CPenT : public CGdiObjectT<HPEN, Owned> {
public:
    using CGdiObjectT<HPEN, Owned>::CGdiObjectT;
    bool CreatePen(int style, int width, COLORREF colour) { return this->Adopt(::CreatePen(style, width, colour)); }
    bool CreatePenIndirect(const LOGPEN& lp) { return this->Adopt(::CreatePenIndirect(&lp)); }
    bool GetLogPen(LOGPEN& lp) const { return ::GetObjectA(this->GetHandle(), sizeof lp, &lp) == sizeof lp; }
};

template <bool Owned>
class CBrushT : public CGdiObjectT<HBRUSH, Owned> {
public:
    using CGdiObjectT<HBRUSH, Owned>::CGdiObjectT;
    bool CreateSolidBrush(COLORREF colour) { return this->Adopt(::CreateSolidBrush(colour)); }
};

template <bool Owned>
class CFontT : public CGdiObjectT<HFONT, Owned> {
public:
    using CGdiObjectT<HFONT, Owned>::CGdiObjectT;
    bool CreateFontIndirect(const LOGFONTA& lf) { return this->Adopt(::CreateFontIndirectA(&lf)); }
    bool GetLogFont(LOGFONTA& lf) const { return ::GetObjectA(this->GetHandle(), sizeof lf, &lf) == sizeof lf; }
};

template <bool Owned>
class CBitmapT : public CGdiObjectT<HBITMAP, Owned> {
public:
    using CGdiObjectT<HBITMAP, Owned>::CGdiObjectT;
    bool CreateCompatibleBitmap(HDC dc, int width, int height)
    {
        return this->Adopt(::CreateCompatibleBitmap(dc, width, height));
    }
};

using CPen = CPenT<true>;
using CPenHandle = CPenT<false>;
using CBrush = CBrushT<true>;
using CBrushHandle = CBrushT<false>;
using CFont = CFontT<true>;
using CFontHandle = CFontT<false>;
using CBitmap = CBitmapT<true>;
using CBitmapHandle = CBitmapT<false>;

// Selects an object for the life of the guard, then the previous one again.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject()
    {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Saves the DC's state for the life of the guard.
class CSaveDC {
public:
    explicit CSaveDC(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) {}
    ~CSaveDC()
    {
        if (m_saved) ::RestoreDC(m_dc, m_saved);
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

private:
    HDC m_dc;
    int m_saved;
};

// The client-area DC of a window, released at scope end.
class CClientDC {
public:
    explicit CClientDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~CClientDC()
    {
        if (m_dc) ::ReleaseDC(m_hwnd, m_dc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// BeginPaint/EndPaint. BeginPaint is what validates the update region: a
// WM_PAINT branch that returns without it gets WM_PAINT again at once.
class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd) { m_dc = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hwnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_dc; }
    const PAINTSTRUCT& Paint() const { return m_ps; }

private:
    HWND m_hwnd;
    HDC m_dc = nullptr;
    PAINTSTRUCT m_ps = {};
};

// A memory DC compatible with another, deleted at scope end.
class CMemDC {
public:
    CMemDC() = default;
    explicit CMemDC(HDC compatibleWith) : m_dc(::CreateCompatibleDC(compatibleWith)) {}
    ~CMemDC() { Delete(); }
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;
    operator HDC() const { return m_dc; }

    bool CreateCompatibleDC(HDC dc)
    {
        Delete();
        m_dc = ::CreateCompatibleDC(dc);
        return m_dc != nullptr;
    }
    void Delete()
    {
        if (m_dc) ::DeleteDC(m_dc);
        m_dc = nullptr;
    }

private:
    HDC m_dc = nullptr;
};
