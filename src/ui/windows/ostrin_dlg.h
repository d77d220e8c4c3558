// COstrinDlg: a program's dialog, built from an in-memory template.
//
// A program creates the object with its placement, style, title and
// handler label, adds controls (template items plus control objects that
// subclass the items when the dialog initialises), then shows it modeless
// or runs it modally. Placement arrives in pixels and is converted to
// dialog units with the object's own font measurement, taken once at
// construction, so a program's layout does not depend on the system font.
//
// Every message of the dialog window reaches the program's handler label,
// after the standard dialog processing (the dialog is a subclassed window,
// see framework/dialog.h); the handler's answer is ignored. In a modeless
// dialog Enter does nothing and Esc or the close button becomes the close
// request event, leaving the dialog open for the program to close.
//
// The object outlives its window: closing destroys the window and frees the
// built template block, and the dialog can be shown or run again. The
// object, its template and its control objects go with the DIALOG variable.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/dialog.h"
#include "ui/windows/dtempl.h"
#include "ui/windows/event_source.h"

class COstrinDlg : public CDialog, public CEventSource {
public:
    // Measures the dialog units; `parent` (may be null) becomes the
    // dialog's owner whenever it is shown or run.
    explicit COstrinDlg(CWnd* parent);
    // Destroys the window, then deletes the control objects and the template.
    ~COstrinDlg() override;

    CDlgTempl& dialogTemplate() { return m_template; }
    // Average character width + 1, and character height, of the measuring
    // font in pixels; never 0.
    int unitWidth() const { return m_unitWidth; }
    int unitHeight() const { return m_unitHeight; }
    // A pixel rectangle given by its edges in dialog units; each edge is
    // converted and truncated toward zero on its own.
    RECT toDialogUnits(int64_t left, int64_t top, int64_t right, int64_t bottom) const;

    // Appends a control object the dialog then owns; when the dialog
    // initialises, the object subclasses the item with this Windows id.
    void addControlObject(CWnd* control, int windowsId);
    // Adds a control of a description's kind (ui/controls): a template item
    // placed at `r` (edges in dialog units) and its colour-aware object.
    void addControl(int kind, const char* caption, DWORD style, const RECT& r, UINT id);
    int controlCount() const { return static_cast<int>(m_controls.size()); }

    // Builds the template and creates the dialog modeless, then shows it;
    // a dialog that is already shown is only shown again. False when there
    // is no window afterwards, or while the dialog runs modally.
    bool show();
    // Runs the dialog modally and answers the value it ended with (-1 when
    // it cannot be created, for instance while it is shown modeless).
    INT_PTR run();
    // Destroys a modeless dialog's window and frees its template block.
    void close();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    // Replaces the measured units (a measuring font differs between
    // systems; tests need fixed ones).
    void setUnits(int width, int height)
    {
        m_unitWidth = width > 0 ? width : 1;
        m_unitHeight = height > 0 ? height : 1;
    }

private:
    HWND parentHandle() const;

    CDlgTempl m_template;
    int m_unitWidth = 1;
    int m_unitHeight = 1;
    struct Control {
        CWnd* object;
        int windowsId;
    };
    std::vector<Control> m_controls;
    CWnd* m_parent;
};
