' A list view, a tree view and a toolbar on one window. The toolbar's
' buttons add a fruit to the list, remove the selected ones and clear the
' list; clicking an item of the list or of the tree tells in the status bar
' what was picked. The tree view is made through the system's own calls:
' the program declares them and fills the tree with their records.
'
'   scripts/demo examples/common.bas

' The tree view's item record and its insertion record.
record_type TVITEM
declare_variables mask, item, state, stateMask: INT
declare_variables text: STRING
declare_variables room, image, selectedImage, children, param: INT
end_record_type
record_type TVINSERT
declare_variables parent, after: INT
declare_variables mask, item, state, stateMask: INT
declare_variables text: STRING
declare_variables room, image, selectedImage, children, param: INT
end_record_type

declare_function "comctl32.dll", InitCommonControls()
declare_function "user32.dll", CreateWindowExA(ex: INT, cls: STRING, title: STRING, style: INT, x: INT, y: INT, cx: INT, cy: INT, parent: WINDOW, id: INT, inst: INT, param: INT), INT
declare_function "user32.dll", InsertTreeItem| SendMessageA(h: INT, msg: INT, w: INT, l: TVINSERT), INT
declare_function "user32.dll", GetTreeItem| SendMessageA(h: INT, msg: INT, w: INT, l: TVITEM), INT
declare_function add_fruit(name: STRING, colour: STRING)
declare_function tree_item(parent: INT, label: STRING)

declare_variables w: WINDOW
declare_variables done, tree, added, k, root: INT
declare_variables buttons[5]: INT
declare_variables parts[2]: INT
declare_variables entry: TVINSERT
declare_variables asked: TVITEM

InitCommonControls
open_window w, 60, 60, 560, 380, 0, 0, "Ostrin Common Controls", on_event

' Toolbar: three buttons, a separator and a fourth; their labels are the
' toolbar's strings in order.
buttons[0] = 11
buttons[1] = 12
buttons[2] = 13
buttons[3] = 0
buttons[4] = 14
r = add_toolbar(w, "TOOLBAR", 20, buttons)
control_operation w, 20, 4, "Add|Remove|Clear|Count|"
control_operation w, 20, 2, 70, 26
control_operation w, 20, 9, 11, "Adds a fruit to the list"

' List view in report style with two columns.
add_controls w, "LV,,10,50,300,250,0x800009,1", "SW,,0,0,0,0,0,2"
control_operation w, 1, 4, 0, "Fruit"
control_operation w, 1, 4, 1, "Colour"
control_operation w, 1, 10, 0, 120
control_operation w, 1, 10, 1, 120
add_fruit("apple", "red")
add_fruit("pear", "green")
add_fruit("plum", "purple")
add_fruit("lemon", "yellow")
parts[0] = 300
parts[1] = -1
control_operation w, 2, 0, 2, parts
control_operation w, 2, 1, 0, "Click an item"

' Tree view: two branches with their leaves.
tree = CreateWindowExA(0x200, "SysTreeView32", "", 0x50000027, 320, 50, 220, 250, w, 2024 + 3, 0, 0)
root = tree_item(0, "Fruit")
k = tree_item(root, "apple")
k = tree_item(root, "pear")
send_message tree, 0x1102, 2, root
root = tree_item(0, "Vegetables")
k = tree_item(root, "carrot")
k = tree_item(root, "leek")
send_message tree, 0x1102, 2, root

wait_until done
jump finished

' Adds a row to the list view: the fruit and its colour.
add_fruit:
declare_variables at: INT
at = control_operation(w, 1, 16)
control_operation w, 1, 3, at, name
control_operation w, 1, 5, at, 1, colour
return

' Adds an item under parent (0: at the root) and answers its handle.
tree_item:
entry.parent = parent
conditional parent = 0 then entry.parent = -65536
entry.after = -65534
entry.mask = 1
entry.text = label
return InsertTreeItem(tree, 0x1100, 0, entry)

on_event:
select EVENT_CODE
case EV_CONTROL
    call control_event
case EV_CLOSE
    close_window w
    done = 1
end_select
return

control_event:
select EVENT_CONTROL_ID
case 1
    conditional EVENT_NOTIFY = NM_CLICK then call show_picked
case 3
    ' TVN_SELCHANGEDA (-402), as the event slot reads: unsigned
    conditional EVENT_NOTIFY = 4294966894 then call show_tree
case 11
    added = added + 1
    add_fruit("fig " + number_to_text(added), "brown")
    control_operation w, 2, 1, 0, "Added fig " + number_to_text(added)
case 12
    k = control_operation(w, 1, 16) - 1
    while_loop k >= 0
        conditional control_operation(w, 1, 13, k) then control_operation w, 1, 2, k
        k = k - 1
    end_while
    control_operation w, 2, 1, 0, "Removed the selected fruit"
case 13
    control_operation w, 1, 0
    control_operation w, 2, 1, 0, "The list is empty"
case 14
    control_operation w, 2, 1, 0, number_to_text(control_operation(w, 1, 16)) + " fruit in the list"
end_select
return

show_picked:
k = control_operation(w, 1, 16) - 1
while_loop k >= 0
    conditional control_operation(w, 1, 13, k) then control_operation w, 2, 1, 0, "Picked " + control_operation(w, 1, 6, k, 0) + ", " + control_operation(w, 1, 6, k, 1)
    k = k - 1
end_while
return

' The tree's selected item, read back into a record.
show_tree:
asked.mask = 1
asked.item = send_message(tree, 0x110A, 9, 0)
asked.text = ""
asked.room = 255
k = GetTreeItem(tree, 0x110C, 0, asked)
control_operation w, 2, 1, 1, "Tree: " + asked.text
return

finished:
