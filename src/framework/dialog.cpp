// Dialog creation through a creation hook, and the OK and Cancel commands.
#include "dialog.h"

namespace {

// The dialog whose window is being created, and the hook that binds it.
CDialog* pendingDialog = nullptr;
HHOOK creationHook = nullptr;

constexpr ATOM DialogClassAtom = 0x8002;   // the system dialog class "#32770"

void unhook()
{
    if (creationHook) ::UnhookWindowsHookEx(creationHook);
    creationHook = nullptr;
}

// The dialog manager creates the dialog window before its controls, and no
// message reaches a window before this notification: binding here gives the
// object every message of its window, WM_NCCREATE included.
LRESULT CALLBACK creationHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && pendingDialog) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (static_cast<ATOM>(::GetClassLongA(hwnd, GCW_ATOM)) == DialogClassAtom) {
            CDialog* dlg = pendingDialog;
            pendingDialog = nullptr;
            unhook();
            dlg->SubclassWindow(hwnd);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Installs the hook for one creation; false when it cannot be had.
bool expectDialog(CDialog* dlg)
{
    pendingDialog = dlg;
    creationHook = ::SetWindowsHookExA(WH_CBT, creationHookProc, nullptr, ::GetCurrentThreadId());
    if (!creationHook) pendingDialog = nullptr;
    return creationHook != nullptr;
}

void endExpecting()
{
    pendingDialog = nullptr;
    unhook();
}

}  // namespace

const CRuntimeClass CDialog::classCDialog = {"CDialog", &CWnd::classCWnd};

bool CDialog::CreateIndirect(const DLGTEMPLATE* dlgTemplate, HWND parent)
{
    if (m_hwnd || !dlgTemplate || !expectDialog(this)) return false;
    m_modal = false;
    HWND hwnd = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), dlgTemplate, parent, StaticDialogProc, 0);
    endExpecting();
    // A dialog the hook could not bind has no object to run it.
    if (hwnd && hwnd != m_hwnd && !FromHandlePermanent(hwnd)) ::DestroyWindow(hwnd);
    // A dialog that was destroyed while it was being created counts as
    // not created.
    return hwnd && ::IsWindow(hwnd) && hwnd == m_hwnd;
}

INT_PTR CDialog::DoModal(const DLGTEMPLATE* dlgTemplate, HWND parent)
{
    if (m_hwnd || !dlgTemplate || !expectDialog(this)) return -1;
    m_modal = true;
    // The hook goes as soon as it has bound the dialog, so windows created
    // during the modal run do not pass through it.
    const INT_PTR result =
        ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), dlgTemplate, parent, StaticDialogProc, 0);
    endExpecting();
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
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return true;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

bool CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // A button click (code BN_CLICKED, 0), or a menu or accelerator command
    // (no control; code 0 or 1).
    const UINT code = HIWORD(wParam);
    if (lParam ? code != BN_CLICKED : code > 1) return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

bool CDialog::PreTranslateMessage(MSG* msg)
{
    return m_hwnd && ::IsDialogMessageA(m_hwnd, msg);
}

// Everything reaches the object through its subclassed window procedure;
// the dialog manager's defaults are what it asks for. A dialog without an
// object (the hook could not bind it) could never be ended: it ends at once.
INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG && !FromHandlePermanent(hwnd)) ::EndDialog(hwnd, -1);
    return FALSE;
}
