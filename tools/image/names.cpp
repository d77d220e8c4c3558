// Opcode and constant names, and the constant values the engine holds.
#include "names.h"

#include <unordered_map>

namespace image {
namespace {

// Snake_case statement names by opcode. 218 is the then-token; the rest of
// the unnamed opcodes have no meaning of their own and are written {opN}.
const char* const opcodeNames[OpcodeCount] = {
    /*   0 */ "console_print", "console_input", "counted_loop", "next_step",
    /*   4 */ "while_loop", "end_while", "conditional", "end_conditional",
    /*   8 */ "open_window", "get_button_state", "add_controls", "set_menu_bar",
    /*  12 */ "process_events", "jump", "open_file", "close_file",
    /*  16 */ "read_file", "write_file", "close_window", "get_image_size",
    /*  20 */ "assignment", "declare_variables", "no_operation", "label_definition",
    /*  24 */ "file_dialog", "free_variables", "set_background_mode", "console_cursor",
    /*  28 */ "move_drawing_position", "set_print_target", "set_drawing_colour", "set_background_colour",
    /*  32 */ "set_raster_mode", "set_font", "get_control_text", nullptr,
    /*  36 */ "shell_open", "decimal_precision", "flood_fill", "console_key",
    /*  40 */ "set_control_text", "select", "case", "end_select",
    /*  44 */ "call", "return", "draw_line", "set_pixel",
    /*  48 */ "draw_rectangle", "draw_circle", "draw_ellipse", "choose_colour",
    /*  52 */ "default_case", "hexadecimal", "set_button_state", "else",
    /*  56 */ "label_definition", nullptr, "set_timer", "kill_timer",
    /*  60 */ "insert_menus", "substring", "left_part", "right_part",
    /*  64 */ "concatenate", "size_of", "jump", nullptr,
    /*  68 */ "character_code", "character", "date_text", "time_text",
    /*  72 */ "seconds_of_day", "to_number", "record_type", "end_record_type",
    /*  76 */ "open_console", "close_console", "repeat", "until",
    /*  80 */ "number_to_text", "repeat_character", "blanks", "declare_function",
    /*  84 */ "trim_left", "trim_right", "clear_console", "find_text",
    /*  88 */ "console_colour", "make_colour", "set_window_text", "get_window_text",
    /*  92 */ "move_window", "get_window_rect", "get_client_rect", "sine",
    /*  96 */ "cosine", "tangent", "arc_sine", "arc_cosine",
    /* 100 */ "arc_tangent", "absolute_value", "ceiling_value", "floor_value",
    /* 104 */ "square_root", "exponential", "random_number", "integer_part",
    /* 108 */ "hyperbolic_sine", "hyperbolic_cosine", "hyperbolic_tangent", "natural_logarithm",
    /* 112 */ "common_logarithm", "sign", "show_window", "get_screen_size",
    /* 116 */ "end_of_file", "file_position", "read_record", "write_record",
    /* 120 */ "external_call", "upper_case", "lower_case", "declare_constants",
    /* 124 */ "set_scroll_position", "get_scroll_position", "set_scroll_range", "get_scroll_range",
    /* 128 */ "create_dialog", "run_dialog", "centre_window", "close_dialog",
    /* 132 */ "add_list_item", "insert_list_item", "get_list_item", "delete_list_item",
    /* 136 */ "count_list_items", "is_item_selected", "get_selection", "set_selection",
    /* 140 */ nullptr, "set_pen_style", "allocate_memory", "free_memory",
    /* 144 */ "memory_to_variable", "variable_to_memory", "get_drawing_context", "release_drawing_context",
    /* 148 */ "load_image", "draw_image", "free_image", "set_cursor",
    /* 152 */ "set_window_icon", "play_sound", "bitwise_not", "named_constant",
    /* 156 */ nullptr, nullptr, nullptr, nullptr,
    /* 160 */ nullptr, nullptr, nullptr, nullptr,
    /* 164 */ nullptr, nullptr, nullptr, nullptr,
    /* 168 */ "message_box", nullptr, nullptr, "program_directory",
    /* 172 */ nullptr, nullptr, nullptr, nullptr,
    /* 176 */ nullptr, nullptr, "key_state", nullptr,
    /* 180 */ nullptr, nullptr, nullptr, nullptr,
    /* 184 */ "enable_menu_item", "check_menu_item", "enable_control", "wait_until",
    /* 188 */ "set_control_colours", "popup_menu", "print_window", "default_printer",
    /* 192 */ "open_printer", "close_printer", "new_printer_page", "write_printer",
    /* 196 */ "printer_dialog", "set_column_width", "control_exists", "copy_file",
    /* 200 */ "delete_file", "make_directory", "remove_directory", "release_library",
    /* 204 */ "overwrite_text", "find_first_file", "find_next_file", "find_close",
    /* 208 */ "browser", "show_dialog", "set_focus", "text_extent",
    /* 212 */ "choose_font", "pointee_type", "is_array", "format_number",
    /* 216 */ "new_variable", "delete_pointee", "then", "get_pixel",
    /* 220 */ "set_list_extent", "send_message", "control_operation", "zero_query",
    /* 224 */ "enable_menu_title", "clear_window", "append_menu_item", "remove_menu_item",
    /* 228 */ nullptr, nullptr, nullptr, nullptr,
    /* 232 */ nullptr, nullptr, nullptr, nullptr,
    /* 236 */ nullptr, nullptr, "set_dialog_keys", nullptr,
    /* 240 */ "load_resource", "load_menu", "add_toolbar", "implicit_declarations",
    /* 244 */ "set_window_data", "get_window_data", "get_drawing_position", nullptr,
    /* 248 */ "get_caret_position", nullptr, nullptr, nullptr,
    /* 252 */ nullptr, nullptr, nullptr, nullptr,
};

// The built-in constant table, index by index, as the engine fills it.
const int32_t constantValues[ConstantCount] = {
    /*   0 */ 0, 0, 0, 0, 0, 0x20000, 9, 2,
    /*   8 */ 3, 0, 16, 0x10000, static_cast<int32_t>(0x80000000), 0x20000000, 0x1000000, 32,
    /*  16 */ 0x40000, 0xC00000, 0x20000, 0x80000, 0x10000, 0x100000, 0x200000, 0x203,
    /*  24 */ 0x202, 0x205, 0x200, 0x201, 0x204, 0x206, 0x8004, 0x8002,
    /*  32 */ 0x8003, 0x800C, 0x116, 0x200, 0x1000, 1, 0x8009, 0x114,
    /*  40 */ 0x115, 0x110, 2, 0x102, 0x100, 0x101, 64, 0,
    /*  48 */ 0x113, 15, 0x2000000, 1, 2, 1, 16, 0,
    /*  56 */ 0, 0, 8, 1, 8, 1, 16, 0,
    /*  64 */ 0, 2, 4, 32, 1, 0x800, 0, 0x800000,
    /*  72 */ 0, 0x800, 8, 2, 0xA00003, 1, 128, 0x200,
    /*  80 */ 0, 1, 2, 3, 6, 8, 0, 1,
    /*  88 */ 2, 3, 7, 4, 5, 7, 1, 0,
    /*  96 */ 3, 2, 6, 1, 16, 11, 6, 13,
    /* 104 */ 4, 14, 5, 12, 3, 15, 2, 9,
    /* 112 */ 8, 7, 10, 128, 64, 0, 1, 2,
    /* 120 */ 3, 4, 6, 0, 1, 2, 1, 0,
    /* 128 */ 8, 16, 0, 1, 2, 3, 0, 1,
    /* 136 */ 2, 3, 4, 6, 5, 7, 8, 9,
    /* 144 */ 10, 11, 12, 13, 14, 0, 1, 3,
    /* 152 */ 4, 7, 8, 9, 100, 101, 103, 104,
    /* 160 */ 107, 108, 109, 128, 0x2000, 14, 1, 11,
    /* 168 */ 1, 0x200, 0x100, 0, 1, 2, 3, 4,
    /* 176 */ 5, 6, 1, 0x8000, 0x800D, 7, 8, 9,
    /* 184 */ 10, 11, 12, 0x800E, 32, 0x1000, 0, 1,
    /* 192 */ 2, 3, 5, 6, 9, 10, 11, 13,
    /* 200 */ 14, 15, 16, 5, 0x100, 0x200, 0x300, 0x400,
    /* 208 */ 0x500, 0x501, 0x601, 0x602, 2, -2, 5, 4,
    /* 216 */ 1, 3, 2, -1, 4, 3, 7, 8,
    /* 224 */ 5, 6, 1, 9, 10, -2, -3, -8,
    /* 232 */ -7, -1, -5, -6, -4, -108, -155, -105,
    /* 240 */ -106, -101, -100, -102, -103, 0x702, 0x701, 0,
    /* 248 */ 1, 2, 3, 4, 5, 6, 7, 8,
    /* 256 */ 9, 10, 11, 12, 13, 14, 15, 16,
    /* 264 */ 0, 1, 2, 3, 4, 5, 6, 7,
    /* 272 */ 8, 9, 10, 11, 12, 13, 14, 15,
    /* 280 */ 16, 17, 18, 19, 20, 21, 22, 23,
    /* 288 */ 24, 25, 26, 27, 28, 29, 31, 32,
    /* 296 */ 33, 34, 35, 36, 37, 0, 1, 2,
    /* 304 */ 0, 1, 2, 4, 0x10000, 0x20000, 0x40000, 0x80000,
    /* 312 */ 0x100000, 0x200000, 0, 1, 2, 3, 4, 5,
    /* 320 */ 6, 7, 8, 9, 10, 11, 12, 13,
    /* 328 */ 14, 15, 16, 17, 18, 19, 0x800, 0,
    /* 336 */ 0x100, 0x200, 0, 3, 0x4000, 128, 0x2000, 0x8000,
    /* 344 */ 1, 8, 4, 2, 16, 32, 1, 0x100,
    /* 352 */ 64, 1, 3, 2, 0x2000, 13, 0, 1,
    /* 360 */ 2, 3, 4, 0, 1, 3, 0, 1,
    /* 368 */ 2, 3, 4, 5, 6, 7, 8, 9,
    /* 376 */ 10, 11, 12, 13, 14, 15, 16, 17,
    /* 384 */ 18, 19, 20, 21, 22, 23, 24, 25,
    /* 392 */ 26, 27, 28, 0, 1, 0, 8, 0,
    /* 400 */ 64, 128, 0, 1, 2, 3, 4, 5,
    /* 408 */ 0, 2, 1, 2, 4, 8, 15, 16,
    /* 416 */ 29, 30, 31, 32, 33, 34, 35, 36,
    /* 424 */ 37, 38, 39, 40, 41, 42, 43, 44,
    /* 432 */ 45, 46, 47, 0, 1, 2, 4, 1,
    /* 440 */ 2, 38, 0, 1, 32, 2, 16, 0,
    /* 448 */ 1, 2, 3, 4, 0x100, 14, 0x1000, 1,
    /* 456 */ 3, 131, 129, 8, 0x100, 0x200, 0x800, 0x1000,
    /* 464 */ 4, 0x10000, 0, 1, 2, 3, 1, 2,
    /* 472 */ 3, 4, 5, 6, 9, 10, 11, 12,
    /* 480 */ 14, 16, 4, 5, 2, 4, 6, 19,
    /* 488 */ 18, 17, 0x800F, 7, 8, 0x8000, 9, 2,
    /* 496 */ 15, 0,
};

struct NamedConstant {
    const char* name;
    int index;
};

// Names for the entries a program is likely to write: the event slots, the
// engine's event codes, and the Windows names of style bits, messages and
// notification codes. Every other entry is reached as {N}.
const NamedConstant namedConstants[] = {
    // Event slots, filled while an event handler runs.
    {"EVENT_CODE", 0},
    {"EVENT_WPARAM", 1},
    {"EVENT_LPARAM", 2},
    {"EVENT_X", 3},
    {"EVENT_Y", 4},
    {"EVENT_NOTIFY", 47},
    {"EVENT_MENU_ID", 55},
    {"EVENT_CONTROL_ID", 63},
    {"CURRENT_WINDOW", 72},
    // Event codes of the window layer.
    {"EV_CONTROL", 30},
    {"EV_CLOSE", 31},
    {"EV_MENU", 32},
    {"EV_SIZE", 38},
    {"EV_BEFORE_NAVIGATE", 180},
    {"EV_NAVIGATE_COMPLETE", 187},
    {"EV_ERASE", 490},
    // Window styles.
    {"WS_MINIMIZEBOX", 5},
    {"WS_MAXIMIZEBOX", 11},
    {"WS_POPUP", 12},
    {"WS_MINIMIZE", 13},
    {"WS_MAXIMIZE", 14},
    {"WS_THICKFRAME", 16},
    {"WS_CAPTION", 17},
    {"WS_SYSMENU", 19},
    {"WS_HSCROLL", 21},
    {"WS_VSCROLL", 22},
    {"WS_CLIPCHILDREN", 50},
    // Window messages.
    {"WM_LBUTTONDBLCLK", 23},
    {"WM_LBUTTONUP", 24},
    {"WM_RBUTTONUP", 25},
    {"WM_MOUSEMOVE", 26},
    {"WM_LBUTTONDOWN", 27},
    {"WM_RBUTTONDOWN", 28},
    {"WM_RBUTTONDBLCLK", 29},
    {"WM_INITMENU", 34},
    {"WM_HSCROLL", 39},
    {"WM_VSCROLL", 40},
    {"WM_INITDIALOG", 41},
    {"WM_CHAR", 43},
    {"WM_KEYDOWN", 44},
    {"WM_KEYUP", 45},
    {"WM_TIMER", 48},
    {"WM_PAINT", 49},
    // Common-control and rich-edit notification codes.
    {"NM_CLICK", 229},
    {"NM_DBLCLK", 230},
    {"NM_KILLFOCUS", 231},
    {"NM_SETFOCUS", 232},
    {"NM_RCLICK", 234},
    {"NM_RDBLCLK", 235},
    {"NM_RETURN", 236},
    {"LVN_COLUMNCLICK", 237},
    {"LVN_KEYDOWN", 238},
    {"LVN_BEGINLABELEDIT", 239},
    {"LVN_ENDLABELEDIT", 240},
    {"LVN_ITEMCHANGED", 241},
    {"LVN_ITEMCHANGING", 242},
    {"LVN_INSERTITEM", 243},
    {"LVN_DELETEITEM", 244},
    {"EN_SELCHANGE", 245},
    {"EN_REQUESTRESIZE", 246},
};

const std::unordered_map<std::string, int>& opcodesByName()
{
    static const std::unordered_map<std::string, int> map = [] {
        std::unordered_map<std::string, int> m;
        for (int op = 0; op < OpcodeCount; ++op)
            if (opcodeNames[op]) m.emplace(opcodeNames[op], op);  // keeps the lower
        return m;
    }();
    return map;
}

const std::unordered_map<std::string, int>& constantsByName()
{
    static const std::unordered_map<std::string, int> map = [] {
        std::unordered_map<std::string, int> m;
        for (const NamedConstant& c : namedConstants) m.emplace(c.name, c.index);
        return m;
    }();
    return map;
}

}  // namespace

int opcodeByName(const std::string& snakeName)
{
    auto it = opcodesByName().find(snakeName);
    return it == opcodesByName().end() ? -1 : it->second;
}

const char* opcodeName(int opcode)
{
    if (opcode < 0 || opcode >= OpcodeCount) return nullptr;
    return opcodeNames[opcode];
}

int constantByName(const std::string& name)
{
    auto it = constantsByName().find(name);
    return it == constantsByName().end() ? -1 : it->second;
}

const char* constantName(int index)
{
    for (const NamedConstant& c : namedConstants)
        if (c.index == index) return c.name;
    return nullptr;
}

int32_t constantValue(int index)
{
    if (index < 0 || index >= ConstantCount) return 0;
    return constantValues[index];
}

}  // namespace image
