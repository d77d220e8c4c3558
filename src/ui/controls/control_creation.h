// Control descriptions: the compact text a program gives for each control
// ("B,OK,10,10,80,24,0,1": kind letter, caption, x, y, width, height, style,
// program id) and what each kind of control is made of.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CWnd;
class Ostrin;

// Kind codes of the description's first letters.
enum ControlKind : int {
    KindNone = 0,
    KindPushButton = 1,    // B
    KindCheckBox = 2,      // C
    KindRadioButton = 4,   // R, not followed by E
    KindEdit = 8,          // E
    KindListBox = 16,      // L, not followed by V
    KindScrollBar = 32,    // S, not followed by W
    KindComboBox = 64,     // M
    KindStatic = 128,      // T
    KindListView = 256,    // LV
    KindStatusBar = 512,   // SW
    KindRichEdit = 1024,   // RE
};

constexpr int32_t ControlIdBase = 2024;
// Program style bit that asks for a hidden control.
constexpr DWORD StyleHidden = 0x80000;

// One description, read. The kind and base style carry over from the
// previous description of the same statement when the first letter names
// no kind.
struct ControlDescription {
    int kind = KindNone;
    DWORD baseStyle = 0;
    std::string caption;
    RECT placement = {};    // client pixels
    DWORD style = 0;        // base style | the style field, visibility applied
    int32_t programId = 0;
};

// Reads `text` into d (kind and base style keep their values when the text
// names no kind). False with the error set: 1 for a malformed description,
// or the error of a field's expression.
bool readControlDescription(Ostrin& o, const char* text, ControlDescription& d);

// A new colour-aware control object for a kind, without a window; null for
// kind 0 (and when memory runs out).
CWnd* newControlObject(int kind);
