// CDialog: a CWnd whose window is a dialog made from an in-memory template.
//
// The dialog manager owns the window procedure of a dialog (DefDlgProc) and
// calls our dialog procedure first; answering FALSE from it means "do the
// default". So for a dialog, CWnd's default processing is that FALSE, and a
// handled message's answer goes back through DWLP_MSGRESULT, except for the
// few messages whose answer is the procedure's return value itself.
//
// The object is bound to its window by the pending pointer on the first
// message, as CWnd does for windows of our own classes. Other code tells
// dialogs from windows with IsKindOf(&CDialog::classCDialog).
#pragma once

#include "wnd.h"

class CDialog : public CWnd {
public:
    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDialog; }

    // Creates a modeless dialog; false on failure.
    bool CreateIndirect(const DLGTEMPLATE* dlgTemplate, HWND parent);
    // Runs a modal dialog; the value given to EndDialog, or -1 on failure.
    INT_PTR DoModal(const DLGTEMPLATE* dlgTemplate, HWND parent);
    // Ends a modal dialog with `result`; destroys a modeless one.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }

    // WM_INITDIALOG; the answer says whether the system sets the focus.
    virtual BOOL OnInitDialog();

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // For dialogs the default is the dialog manager's: remembered here and
    // answered FALSE from the dialog procedure.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool m_modal = false;
    bool m_defaulted = false;
};
