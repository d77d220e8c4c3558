// Printing: a window as one page, raw print jobs through the spooler,
// the default printer and the print dialog, and rich edit printing.
//
// A window prints either its persistent picture (the backing bitmap,
// scaled to fit the page through GBitmapPrinter) or, without persistent
// drawing, whatever its paint handler draws while the window's drawing
// context is the printer's, mapped so that screen coordinates fill the
// page. Spooler and GDI failures are answers (a zero handle, nothing
// printed), never errors.
#include <windows.h>
#include <commdlg.h>
#include <richedit.h>
#include <winspool.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "interp/ostrin.h"
#include "interp/text.h"
#include "ui/printing/bitmap_printer.h"
#include "ui/printing/printing.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

// Print dialog flags: no selection, copies kept in the DEVMODE, no print
// to file; the window's dialog has no page numbers either. The dialog
// always hands back the printer's context.
constexpr DWORD PrintRangeFlags = PD_NOSELECTION | PD_USEDEVMODECOPIES | PD_HIDEPRINTTOFILE;   // 0x00140004
constexpr DWORD PrintWindowFlags = PrintRangeFlags | PD_NOPAGENUMS;                            // 0x0014000C
constexpr size_t WriteBufferSize = 32767;
constexpr int PaintEvent = WM_PAINT;

int osMajorVersion()
{
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    return ::GetVersionExA(&vi) ? static_cast<int>(vi.dwMajorVersion) : 0;
}

// The print dialog and the memory it hands back.
class PrintDialog {
public:
    PrintDialog(HWND owner, DWORD flags)
    {
        m_pd.lStructSize = sizeof m_pd;
        m_pd.hwndOwner = owner;
        m_pd.Flags = flags;
    }
    ~PrintDialog()
    {
        if (m_pd.hDevMode) ::GlobalFree(m_pd.hDevMode);
        if (m_pd.hDevNames) ::GlobalFree(m_pd.hDevNames);
    }
    PrintDialog(const PrintDialog&) = delete;
    PrintDialog& operator=(const PrintDialog&) = delete;

    // False when cancelled or failed.
    bool run() { return ::PrintDlgA(&m_pd) != 0; }
    PRINTDLGA& pd() { return m_pd; }

    // The name "open printer" expects: the device name, or for a network
    // printer (port "\\server\share") the port name.
    void printerName(char* out, int size) const
    {
        out[0] = 0;
        const auto* names = m_pd.hDevNames ? static_cast<const DEVNAMES*>(::GlobalLock(m_pd.hDevNames)) : nullptr;
        if (!names) return;
        const char* base = reinterpret_cast<const char*>(names);
        const char* port = base + names->wOutputOffset;
        copyText(out, port[0] == '\\' && port[1] == '\\' ? port : base + names->wDeviceOffset, size - 1);
        ::GlobalUnlock(m_pd.hDevNames);
    }

private:
    PRINTDLGA m_pd = {};
};

// An INT variable argument a statement reads and later stores into; false
// with error 14 (not a variable) or 20 (another type).
bool intVariableArg(Ostrin& o, Statement* st, int i, int32_t*& out)
{
    ArgValue v;
    if (!o.evalArg(st, i, KindAny, v)) return false;
    if (!v.variable || !v.dataPtr) {
        o.fail(ErrType);
        return false;
    }
    if (v.type != TypeInt) {
        o.fail(ErrNotInteger);
        return false;
    }
    out = reinterpret_cast<int32_t*>(v.dataPtr);
    return true;
}

// A printer handle argument (INT); false with the error set.
bool handleArg(Ostrin& o, Statement* st, HANDLE& out)
{
    ArgValue v;
    if (!o.evalArg(st, 0, KindInt, v)) return false;
    out = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(v.intValue)));
    return true;
}

// The line buffer of "write printer": cut where it ends.
class LineBuffer {
public:
    LineBuffer(char* data, size_t size) : m_data(data), m_limit(size - 1) {}

    void format(const char* fmt, ...)
    {
        const size_t room = m_limit - m_length;
        if (room == 0) return;
        va_list ap;
        va_start(ap, fmt);
        const int n = _vsnprintf(m_data + m_length, room, fmt, ap);
        va_end(ap);
        m_length += (n < 0 || static_cast<size_t>(n) > room) ? room : static_cast<size_t>(n);
    }
    void append(const char* text)
    {
        const size_t n = strnlen(text, m_limit - m_length);
        std::memcpy(m_data + m_length, text, n);
        m_length += n;
    }
    const char* data() const { return m_data; }
    size_t length() const { return m_length; }

private:
    char* m_data;
    size_t m_limit;
    size_t m_length = 0;
};

void appendPrinted(LineBuffer& out, const ArgValue& v, int precision)
{
    switch (v.type) {
    case TypeString:
        if (v.text) out.append(v.text);
        break;
    case TypeChar:
        out.format("%c", v.charValue);
        break;
    case TypeInt:
        out.format("%d ", v.intValue);
        break;
    case TypeFloat:
    case TypeDouble:
        if (v.doubleValue == std::trunc(v.doubleValue)) out.format("%d ", v.intValue);
        else out.format(" %.*f", precision > 340 ? 340 : precision, v.doubleValue);
        break;
    case TypeWord:
        out.format(typeFormat(v.type), v.intValue);
        break;
    case TypeUInt:
        out.format(typeFormat(v.type), static_cast<uint32_t>(v.intValue));
        break;
    case TypeInt64:
    case TypeUInt64:
        out.format(typeFormat(v.type), static_cast<long long>(v.int64Value));
        break;
    case TypeMemory:
    case TypeDialog:
    case TypeBFile:
    case TypeUser:
    case TypePointer:
        out.format(typeFormat(v.type), reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(v.handle))));
        break;
    case TypeArray:
    case TypeFile:
        out.format(typeFormat(v.type));
        break;
    default:
        break;   // SYSTEM, LABEL and WINDOW print nothing
    }
}

// Prints the window's page on hdc, between StartDoc and EndDoc: the
// persistent picture scaled to fit, or the paint handler's drawing.
void printWindowPage(Ostrin& o, COstrinWnd* w, HDC hdc, const DEVMODEA* mode)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    const int horz = ::GetDeviceCaps(hdc, HORZRES), vert = ::GetDeviceCaps(hdc, VERTRES);
    if (cx <= 0 || cy <= 0 || horz <= 0 || vert <= 0) return;
    const float scale = std::fmin(static_cast<float>(horz) / cx, static_cast<float>(vert) / cy);
    const float aspect = (static_cast<float>(cx) / cy) / (static_cast<float>(horz) / vert);

    CSaveDC saved(hdc);   // what the handler selects is deselected before it goes
    if (w->persistent) {
        ::SetMapMode(hdc, MM_TEXT);
        GBitmapPrinter printer;
        printer.setBitmap(w->backingBitmap(), nullptr);
        printer.setTargetRect(RECT{0, 0, static_cast<int>(scale * cx), static_cast<int>(scale * cy)});
        printer.printPage(hdc);
        return;
    }
    ::SetMapMode(hdc, MM_ANISOTROPIC);
    ::SetWindowOrgEx(hdc, 0, 0, nullptr);
    ::SetViewportOrgEx(hdc, 0, 0, nullptr);
    if (mode && mode->dmOrientation == DMORIENT_LANDSCAPE)
        ::SetWindowExtEx(hdc, static_cast<int>(aspect * cx), cy, nullptr);
    else
        ::SetWindowExtEx(hdc, cx, static_cast<int>(aspect * cy), nullptr);
    ::SetViewportExtEx(hdc, horz, vert, nullptr);
    // Text output continues at the current position, as on the window.
    ::SetTextAlign(hdc, TA_UPDATECP);
    ::MoveToEx(hdc, 0, 0, nullptr);
    EventMessage paint = {nullptr, PaintEvent, 0, 0, 0, 0, 0};
    o.dispatchEvent(static_cast<CWnd*>(w), &paint);
}

}  // namespace

Statement* Ostrin::printWindow(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    if (!w) return nullptr;

    PrintDialog dialog(w->GetSafeHwnd(), PrintWindowFlags | PD_RETURNDC);
    if (!dialog.run() || !dialog.pd().hDC) return st;
    HDC hdc = dialog.pd().hDC;
    const auto* mode = dialog.pd().hDevMode ? static_cast<const DEVMODEA*>(::GlobalLock(dialog.pd().hDevMode)) : nullptr;
    w->printDC = hdc;

    char title[260] = "";
    if (w->GetSafeHwnd()) ::GetWindowTextA(w->GetSafeHwnd(), title, sizeof title);
    DOCINFOA doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = title;
    if (::StartDocA(hdc, &doc) > 0) {
        ::StartPage(hdc);
        printWindowPage(*this, w, hdc, mode);
        if (::EndPage(hdc) <= 0) ::AbortDoc(hdc);
        else ::EndDoc(hdc);
    }

    // The window may have been closed by its own paint handler.
    if (CWnd::IsLiveObject(static_cast<CWnd*>(w))) w->endPrinting();
    if (mode) ::GlobalUnlock(dialog.pd().hDevMode);
    ::DeleteDC(hdc);
    return errorCode ? nullptr : st;
}

Statement* Ostrin::defaultPrinter(Statement* st)
{
    if (st->argCount != 0) return fail(ErrArgCount);
    PrintDialog dialog(nullptr, PD_RETURNDEFAULT);
    char name[260] = "";
    if (dialog.run()) dialog.printerName(name, sizeof name);
    return setStringResult(st, name);
}

Statement* Ostrin::printerDialog(Statement* st)
{
    if (st->argCount != 5) return fail(ErrArgCount);
    // The owner is optional: a value that is no window is no owner.
    HWND owner = nullptr;
    ArgValue win;
    if (evalArg(st, 0, KindWinOrDlg, win)) {
        if (CWnd* wnd = liveWindowObject(static_cast<uint32_t>(win.handle))) owner = wnd->GetSafeHwnd();
    } else {
        errorCode = 0;
    }
    int32_t *from, *to, *copies, *collate;
    if (!intVariableArg(*this, st, 1, from) || !intVariableArg(*this, st, 2, to) ||
        !intVariableArg(*this, st, 3, copies) || !intVariableArg(*this, st, 4, collate))
        return nullptr;

    PrintDialog dialog(owner, PrintRangeFlags | PD_RETURNDC);
    PRINTDLGA& pd = dialog.pd();
    pd.nMinPage = pd.nFromPage = static_cast<WORD>(*from);
    pd.nMaxPage = pd.nToPage = static_cast<WORD>(*to);
    pd.nCopies = static_cast<WORD>(*copies);
    if (!dialog.run()) return setStringResult(st, "");

    const bool range = (pd.Flags & PD_PAGENUMS) != 0;
    *from = range ? pd.nFromPage : -1;
    *to = range ? pd.nToPage : -1;
    *copies = pd.nCopies;
    *collate = (pd.Flags & PD_COLLATE) ? 1 : 0;
    if (pd.hDC) ::DeleteDC(pd.hDC);
    char name[260];
    dialog.printerName(name, sizeof name);
    return setStringResult(st, name);
}

Statement* Ostrin::openPrinter(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    ArgValue printer, document, type;
    if (!evalArg(st, 0, TypeString, printer)) return nullptr;
    // The texts may share the string result: each is copied before the next.
    char name[260], docName[260], dataType[64];
    copyText(name, printer.text ? printer.text : "", sizeof name - 1);
    if (!evalArg(st, 1, TypeString, document)) return nullptr;
    copyText(docName, document.text ? document.text : "", sizeof docName - 1);
    if (!evalArg(st, 2, TypeString, type)) return nullptr;
    copyText(dataType, type.text ? type.text : "", sizeof dataType - 1);

    const bool modern = osMajorVersion() >= 5;
    PRINTER_DEFAULTSA defaults = {dataType, nullptr, STANDARD_RIGHTS_REQUIRED | PRINTER_ACCESS_USE};
    HANDLE handle = nullptr;
    if (!::OpenPrinterA(name, &handle, modern ? &defaults : nullptr) || !handle) return setIntResult(st, 0);
    DOC_INFO_1A doc = {docName, nullptr, modern ? dataType : nullptr};
    if (!::StartDocPrinterA(handle, 1, reinterpret_cast<LPBYTE>(&doc))) {
        ::ClosePrinter(handle);
        return setIntResult(st, 0);
    }
    if (!::StartPagePrinter(handle)) {
        ::EndDocPrinter(handle);
        ::ClosePrinter(handle);
        return setIntResult(st, 0);
    }
    return setIntResult(st, static_cast<int32_t>(reinterpret_cast<uintptr_t>(handle)));
}

Statement* Ostrin::writePrinter(Statement* st)
{
    if (st->argCount < 1) return fail(ErrArgCount);
    HANDLE handle;
    if (!handleArg(*this, st, handle)) return nullptr;
    PrintLineBuffer buffer(*this);
    if (!buffer.data()) return fail(ErrNoMemory);
    LineBuffer line(buffer.data(), WriteBufferSize);
    for (int i = 1; i < st->argCount; ++i) {
        if (!*skipBlanks(st->args[i])) continue;
        ArgValue v;
        if (!evalArg(st, i, KindAny, v)) return nullptr;
        appendPrinted(line, v, decimalPrecision);
    }
    line.append("\n");
    DWORD written = 0;
    if (handle) ::WritePrinter(handle, const_cast<char*>(line.data()), static_cast<DWORD>(line.length()), &written);
    return st;
}

Statement* Ostrin::newPrinterPage(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    HANDLE handle;
    if (!handleArg(*this, st, handle)) return nullptr;
    if (!handle) return st;
    ::EndPagePrinter(handle);
    ::StartPagePrinter(handle);
    return st;
}

Statement* Ostrin::closePrinter(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    HANDLE handle;
    if (!handleArg(*this, st, handle)) return nullptr;
    if (!handle) return st;
    if (osMajorVersion() < 5) {
        // Older spoolers leave the page in the printer without a form feed.
        char formFeed = 0x0C;
        DWORD written = 0;
        ::WritePrinter(handle, &formFeed, 1, &written);
    }
    ::EndPagePrinter(handle);
    ::EndDocPrinter(handle);
    ::ClosePrinter(handle);
    return st;
}

int printRichEdit(HWND richEdit, HWND owner, int margin)
{
    if (!richEdit || !::IsWindow(richEdit)) return ErrNoControl;
    PrintDialog dialog(owner, PrintRangeFlags | PD_RETURNDC);
    if (!dialog.run() || !dialog.pd().hDC) return 0;
    HDC hdc = dialog.pd().hDC;

    const int dpiX = ::GetDeviceCaps(hdc, LOGPIXELSX), dpiY = ::GetDeviceCaps(hdc, LOGPIXELSY);
    const int width = dpiX > 0 ? ::GetDeviceCaps(hdc, HORZRES) / dpiX * 1440 : 0;
    const int height = dpiY > 0 ? ::GetDeviceCaps(hdc, VERTRES) / dpiY * 1440 : 0;
    ::SetMapMode(hdc, MM_TEXT);
    FORMATRANGE range = {};
    range.hdc = range.hdcTarget = hdc;
    range.rc = {margin, margin, width - margin, height - margin};
    range.rcPage = {0, 0, width, height};
    range.chrg = {0, -1};

    char docName[] = "(Untitled)";
    DOCINFOA doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = docName;
    if (::StartDocA(hdc, &doc) > 0) {
        const LONG total = static_cast<LONG>(::SendMessageA(richEdit, WM_GETTEXTLENGTH, 0, 0));
        for (;;) {
            ::StartPage(hdc);
            const LONG next = static_cast<LONG>(::SendMessageA(richEdit, EM_FORMATRANGE, TRUE, reinterpret_cast<LPARAM>(&range)));
            ::EndPage(hdc);
            // A control that fits nothing more on a page (or does not format
            // at all) would otherwise print empty pages forever.
            if (next >= total || next <= range.chrg.cpMin) break;
            range.chrg = {next, -1};
        }
        ::SendMessageA(richEdit, EM_FORMATRANGE, FALSE, 0);
        ::EndDoc(hdc);
    }
    ::DeleteDC(hdc);
    return 0;
}
