' paint.bas: a small paint program in a window that keeps its picture.
'
'   left button        draw
'   right button       fill the area under the pointer
'   R G B Y K          red, green, blue, yellow, black
'   E                  eraser (white)
'   1 ... 9            pen width
'   C                  clear the picture
'   title-bar close    quit
'
' Everything drawn goes into the window's backing bitmap, so the picture
' survives being covered, minimised and restored without the program
' drawing it again. Colours are written 0x00BBGGRR.
'
'   scripts/demo                 (this program is the default)
'
' Without a display, scripts/demo lets paint.drive draw and close it.
declare_variables w: WINDOW
declare_variables colour, width, done: INT
declare_variables lastX, lastY, k: INT
width = 3
open_window w, 60, 40, 640, 480, WS_MINIMIZEBOX, 0, "Ostrin Paint", on_event
show_help
wait_until done
jump finish

' The instructions at the top, then the current colour and width.
show_help:
    set_drawing_colour w, 0x707070
    draw_line w, 8, 6, 8, 6
    console_print w, "Left button: draw.  Right button: fill.  Close: quit."
    draw_line w, 8, 24, 8, 24
    console_print w, "Keys: R G B Y K colour, E eraser, 1-9 width, C clear."
    show_colour
    return

' A swatch of the current colour in the top right corner; the pen for
' the strokes that follow.
show_colour:
    set_pen_style w, 0, 1
    set_drawing_colour w, colour
    draw_rectangle w, 596, 8, 28, 28, 0, colour
    set_pen_style w, 0, width
    set_drawing_colour w, colour
    return

on_event:
    select EVENT_CODE
    case WM_LBUTTONDOWN
        lastX = EVENT_X
        lastY = EVENT_Y
        draw_line w, lastX, lastY, lastX + 1, lastY
    case WM_MOUSEMOVE
        ' EVENT_LPARAM holds a mouse event's key flags: 1 is the left button.
        conditional EVENT_LPARAM & 1
            draw_line w, lastX, lastY, EVENT_X, EVENT_Y
            lastX = EVENT_X
            lastY = EVENT_Y
        end_conditional
    case WM_RBUTTONDOWN
        flood_fill w, EVENT_X, EVENT_Y, colour
    case WM_KEYDOWN
        pick_key
    case EV_CLOSE
        close_window w
        done = 1
    end_select
    return

pick_key:
    k = EVENT_WPARAM
    conditional k = 82 then colour = 0x0000FF
    conditional k = 71 then colour = 0x00A000
    conditional k = 66 then colour = 0xFF0000
    conditional k = 89 then colour = 0x00D0FF
    conditional k = 75 then colour = 0
    conditional k = 69 then colour = 0xFFFFFF
    conditional k >= 49 & k <= 57 then width = (k - 48) * 2 - 1
    conditional k = 67 then clear_window w, 0xFFFFFF
    conditional k = 67 then show_help
    show_colour
    return

finish:
