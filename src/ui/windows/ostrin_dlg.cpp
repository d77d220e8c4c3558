// The program dialog: unit measurement, showing and running, and event
// routing after the standard dialog processing.
#include "ui/windows/ostrin_dlg.h"

#include <cstdint>

#include "framework/gdi.h"
#include "interp/ostrin.h"
#include "ui/windows/ostrin_wnd.h"

namespace {

// Dialog units are measured with this font, whatever the system's is.
constexpr const char* MeasuringFace = "MS Sans Serif";
constexpr int MeasuringHeight = 8;

int32_t truncatedUnits(int64_t pixels, int scale, int unit)
{
    return static_cast<int32_t>(pixels * scale / unit);
}

}  // namespace

COstrinDlg::COstrinDlg(CWnd* parent) : m_parent(parent)
{
    LOGFONTA lf = {};
    lf.lfHeight = MeasuringHeight;
    lf.lfWeight = FW_NORMAL;
    lstrcpynA(lf.lfFaceName, MeasuringFace, LF_FACESIZE);
    TEXTMETRICA tm = {};
    bool measured = false;
    {
        CClientDC screen(nullptr);
        CMemDC dc(screen);
        CFont font;
        if (dc && font.CreateFontIndirect(lf)) {
            CSelectObject selected(dc, font);
            measured = ::GetTextMetricsA(dc, &tm) != 0;
        }
    }
    // The conversions divide by these: they must never be 0.
    if (measured && tm.tmAveCharWidth >= 0 && tm.tmHeight > 0) {
        m_unitWidth = tm.tmAveCharWidth + 1;
        m_unitHeight = tm.tmHeight;
    } else {
        const LONG base = ::GetDialogBaseUnits();
        m_unitWidth = LOWORD(base) ? LOWORD(base) : 1;
        m_unitHeight = HIWORD(base) ? HIWORD(base) : 1;
    }
}

COstrinDlg::~COstrinDlg()
{
    // No event may reach a program while the object goes.
    interp = nullptr;
    DestroyWindow();
    // A control may still be inside one of its own messages.
    for (const Control& c : m_controls) CWnd::DeleteSafely(c.object);
}

RECT COstrinDlg::toDialogUnits(int64_t left, int64_t top, int64_t right, int64_t bottom) const
{
    return {truncatedUnits(left, 4, m_unitWidth), truncatedUnits(top, 8, m_unitHeight),
            truncatedUnits(right, 4, m_unitWidth), truncatedUnits(bottom, 8, m_unitHeight)};
}

void COstrinDlg::addControlObject(CWnd* control, int windowsId)
{
    m_controls.push_back({control, windowsId});
}

HWND COstrinDlg::parentHandle() const
{
    // The parent may have been closed since the dialog was created.
    return CWnd::IsLiveObject(m_parent) ? m_parent->GetSafeHwnd() : nullptr;
}

bool COstrinDlg::show()
{
    // Running modally, it cannot become modeless (nor be listed).
    if (IsModal()) return false;
    if (!m_hwnd) {
        // A block left from a window destroyed without closing is stale.
        m_template.release();
        const DLGTEMPLATE* block = m_template.build();
        if (!block || !CreateIndirect(block, parentHandle())) {
            m_template.release();
            return false;
        }
    }
    if (m_hwnd) ::ShowWindow(m_hwnd, SW_SHOW);
    return m_hwnd != nullptr;
}

INT_PTR COstrinDlg::run()
{
    // Null while shown modeless: the block of that window stays, and the
    // modal run fails as a creation from no template.
    const DLGTEMPLATE* block = m_template.build();
    const INT_PTR result = DoModal(block, parentHandle());
    if (block) m_template.release();
    return result;
}

void COstrinDlg::close()
{
    DestroyWindow();
    m_template.release();
}

LRESULT COstrinDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    EventMessage record = {nullptr, message, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam), 0, 0, 0};
    if (message == WM_SIZE || message == WM_SIZING) {
        record.message = COstrinWnd::SizeChanged;
        record.wParam = 0;
        record.lParam = static_cast<int32_t>(reinterpret_cast<uintptr_t>(static_cast<CWnd*>(this)));
    } else if (message == WM_COMMAND && lParam) {
        record.message = COstrinWnd::ControlNotification;
    }
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (interp) interp->dispatchEvent(static_cast<CWnd*>(this), &record);
    return result;
}

BOOL COstrinDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (const Control& c : m_controls)
        if (HWND item = ::GetDlgItem(m_hwnd, c.windowsId)) c.object->SubclassWindow(item);
    return TRUE;
}

void COstrinDlg::OnOK()
{
    if (IsModal()) CDialog::OnOK();
}

void COstrinDlg::OnCancel()
{
    if (IsModal()) {
        CDialog::OnCancel();
        return;
    }
    // The program decides: a modeless dialog stays open. The request names
    // no window (entry 72 becomes 0).
    if (interp) {
        const EventMessage request = {nullptr, COstrinWnd::CloseRequest, 0, 0, 0, 0, 0};
        interp->dispatchEvent(static_cast<CWnd*>(this), &request);
    }
}
