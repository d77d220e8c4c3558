// Dialog creation and the dialog procedure's answer conventions.
#include "dialog.h"

namespace {

CWnd* pendingDialog = nullptr;

// Messages whose answer is the dialog procedure's return value itself
// rather than DWLP_MSGRESULT.
bool answersDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

}  // namespace

const CRuntimeClass CDialog::classCDialog = {"CDialog", &CWnd::classCWnd};

bool CDialog::CreateIndirect(const DLGTEMPLATE* dlgTemplate, HWND parent)
{
    if (m_hwnd) return false;
    m_modal = false;
    pendingDialog = this;
    HWND hwnd = ::CreateDialogIndirectParamA(GetModuleHandleA(nullptr), dlgTemplate, parent, StaticDialogProc,
                                             reinterpret_cast<LPARAM>(this));
    if (pendingDialog == this) pendingDialog = nullptr;
    return hwnd && hwnd == m_hwnd;
}

INT_PTR CDialog::DoModal(const DLGTEMPLATE* dlgTemplate, HWND parent)
{
    if (m_hwnd) return -1;
    m_modal = true;
    pendingDialog = this;
    const INT_PTR result = ::DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dlgTemplate, parent,
                                                     StaticDialogProc, reinterpret_cast<LPARAM>(this));
    if (pendingDialog == this) pendingDialog = nullptr;
    m_modal = false;
    return result;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_hwnd) return;
    if (m_modal) ::EndDialog(m_hwnd, result);
    else DestroyWindow();
}

BOOL CDialog::OnInitDialog() { return TRUE; }

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return true;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM)
{
    m_defaulted = true;
    return 0;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dlg = static_cast<CDialog*>(Claim(hwnd, pendingDialog));
    if (!dlg) return FALSE;

    dlg->EnterMessage();
    // Nested messages have their own default flag.
    const bool outerDefaulted = dlg->m_defaulted;
    dlg->m_defaulted = false;
    const LRESULT result = dlg->WindowProc(message, wParam, lParam);
    const bool defaulted = dlg->m_defaulted;
    dlg->m_defaulted = outerDefaulted;
    if (message == WM_NCDESTROY) {
        dlg->Detach();
        dlg->PostNcDestroy();
    }
    LeaveMessage(dlg);

    if (defaulted) return FALSE;
    if (answersDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
