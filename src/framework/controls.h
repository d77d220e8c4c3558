// The framework's control classes: one thin CWnd subclass per system
// control the engine creates, each knowing its Windows class. Creation goes
// through CWnd::CreateEx, whose creation hook binds the object before the
// control's first message, so a derived class sees the control's own
// WM_CREATE and every message reflected to it.
//
// Statements reach controls by handle and send their messages directly;
// these classes carry only what creation and the derived classes need.
#pragma once

#include "wnd.h"

// A system control of class `ClassName`. The run-time record lets code ask
// what an object is without knowing the derived colour-aware classes.
template <const char* ClassName>
class CControlT : public CWnd {
public:
    static const CRuntimeClass runtimeClass;
    const CRuntimeClass* GetRuntimeClass() const override { return &runtimeClass; }
};

template <const char* ClassName>
const CRuntimeClass CControlT<ClassName>::runtimeClass = {ClassName, &CWnd::classCWnd};

namespace controlclass {
inline constexpr char Button[] = "BUTTON";
inline constexpr char Edit[] = "EDIT";
inline constexpr char ListBox[] = "LISTBOX";
inline constexpr char ComboBox[] = "COMBOBOX";
inline constexpr char ScrollBar[] = "SCROLLBAR";
inline constexpr char Static[] = "STATIC";
inline constexpr char ListView[] = "SysListView32";
inline constexpr char StatusBar[] = "msctls_statusbar32";
inline constexpr char RichEdit[] = "RICHEDIT";
inline constexpr char ToolBar[] = "ToolbarWindow32";
}  // namespace controlclass

using CButton = CControlT<controlclass::Button>;
using CEdit = CControlT<controlclass::Edit>;
using CListBox = CControlT<controlclass::ListBox>;
using CComboBox = CControlT<controlclass::ComboBox>;
using CScrollBar = CControlT<controlclass::ScrollBar>;
using CStatic = CControlT<controlclass::Static>;
using CListCtrl = CControlT<controlclass::ListView>;
using CStatusBarCtrl = CControlT<controlclass::StatusBar>;
using CRichEditCtrl = CControlT<controlclass::RichEdit>;
using CToolBarCtrl = CControlT<controlclass::ToolBar>;
