// Dialog templates: one text file per dialog in res/forms, listing the dialog's size and its
// controls in creation (tab) order with their ids, texts and positions in dialog units.
//
//   DIALOG <id> "<caption>" <width> <height>
//   <KIND> <id or -> "<text>" <x> <y> <width> <height> [FLAG ...] [label="<text>"]
//
// Kinds: GROUPBOX LTEXT CTEXT ICON PUSHBUTTON CHECKBOX RADIOBUTTON EDITTEXT COMBOBOX TREEVIEW
// LISTVIEW PROGRESS TABCONTROL. Flags: DISABLED HIDDEN READONLY MULTILINE DROPDOWN DROPLIST
// VSCROLL HSCROLL. label= gives the caption a person reads beside a control, for screen
// readers and UI automation: it names a control that has no text of its own and describes one
// that has (a value static is spoken by the value it shows). In a quoted text, \n breaks the
// line.
// Lines starting with # are comments.
#pragma once

#include <string>
#include <vector>

struct DialogControl {
    std::string kind;
    int id = -1; // -1: no id
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<std::string> flags;
    std::string label;

    bool Has(const std::string& flag) const;
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;
    std::vector<DialogControl> controls;

    const DialogControl* Find(int controlId) const;
};

// Parses a template; on a malformed line returns false and says which line in error.
bool ParseDialogTemplate(const std::string& text, DialogTemplate& out, std::string* error);
