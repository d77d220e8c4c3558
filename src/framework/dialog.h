// CDialog: a CWnd whose window is a dialog made from an in-memory template.
//
// The dialog window is subclassed like any other window of ours, before its
// first message (a thread-local creation hook binds it as the dialog
// manager creates it), so every message goes WindowProc -> OnWndMsg ->
// DefWindowProc, and DefWindowProc is the dialog manager's own procedure
// (which calls the dialog procedure, here always "not handled"). A derived
// class can therefore act after the standard dialog processing of a
// message, which a dialog procedure alone cannot: the dialog manager calls
// it first.
//
// Commands IDOK and IDCANCEL (Enter, Esc, the close button) go to the
// virtual OnOK and OnCancel. PreTranslateMessage gives dialog keyboard
// handling (Tab, Enter, Esc) to loops that ask. Other code tells dialogs
// from windows with IsKindOf(&CDialog::classCDialog).
#pragma once

#include "wnd.h"

class CDialog : public CWnd {
public:
    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDialog; }

    // Creates a modeless dialog; false on failure (also for a null
    // template, or when the object already has a window).
    bool CreateIndirect(const DLGTEMPLATE* dlgTemplate, HWND parent);
    // Runs a modal dialog; the value given to EndDialog, or -1 when it
    // cannot be created.
    INT_PTR DoModal(const DLGTEMPLATE* dlgTemplate, HWND parent);
    // Ends a modal dialog with `result`; destroys a modeless one.
    void EndDialog(INT_PTR result);
    // True while DoModal runs this dialog.
    bool IsModal() const { return m_modal; }

    // WM_INITDIALOG; the answer says whether the system sets the focus.
    virtual BOOL OnInitDialog();
    // IDOK and IDCANCEL: end the dialog with that value.
    virtual void OnOK();
    virtual void OnCancel();

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Dialog keyboard handling (IsDialogMessage); true when consumed.
    bool PreTranslateMessage(MSG* msg) override;

    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool m_modal = false;
};
