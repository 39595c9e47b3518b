"""Language-independent parts of the modules: menu structure with command numbers, accelerator
keys and dialog layouts. Texts are referred to by key and looked up in texts_<language>.py.

Dialog rectangles are [x, y, width, height] in dialog pixels (the dialog's own coordinate
system, 1 pixel at scale 1.0); "size" is the dialog's client size in the same pixels.
"""

# Menus: ("sub", text key, [items]), ("item", text key, command, flags), ("sep",).
# flags: "checkable" (a check mark can be set), "checked" (set when the menu is loaded).
MENUS = {
    "MAINMENU": [
        ("sub", "menu_file", [
            ("item", "cmd_new_deck", 101, ""),
            ("item", "cmd_scan", 102, ""),
            ("item", "cmd_tag_editor", 104, ""),
            ("sep",),
            ("item", "cmd_save_settings", 132, ""),
            ("sep",),
            ("item", "cmd_exit", 107, ""),
        ]),
        ("sub", "menu_view", [
            ("item", "cmd_search_form", 108, ""),
            ("item", "cmd_mixer", 131, "checkable"),
            ("item", "cmd_playlist", 111, ""),
            ("item", "cmd_load_playlist", 112, ""),
        ]),
        ("sub", "menu_settings", [
            ("item", "cmd_devices", 121, ""),
            ("item", "cmd_language", 122, ""),
            ("item", "cmd_comport", 123, ""),
        ]),
        ("sub", "menu_help", [
            ("item", "cmd_help_contents", 141, ""),
            ("item", "cmd_help_index", 142, ""),
            ("sep",),
            ("item", "cmd_about", 143, ""),
        ]),
    ],
    "PLAYERPOPUP": [
        ("sub", "menu_deck", [
            ("item", "deck_load", 324, ""),
            ("item", "deck_play", 322, ""),
            ("item", "deck_cue", 323, ""),
            ("sep",),
            ("item", "deck_pitch_zero", 304, ""),
            ("item", "deck_monitor", 307, ""),
            ("item", "deck_time", 308, ""),
            ("item", "deck_mastertempo", 325, "checkable checked"),
            ("sep",),
            ("item", "deck_keep_ratio", 320, "checkable"),
            ("item", "deck_default_layout", 321, ""),
        ]),
    ],
    "PLAYLISTPOPUP": [
        ("sub", "menu_playlist", [
            ("item", "pl_delete", 510, ""),
            ("sep",),
            ("item", "pl_auto", 501, ""),
            ("item", "pl_save", 502, ""),
            ("item", "pl_help", 9, ""),
            ("item", "pl_close", 2, ""),
        ]),
    ],
}

# Accelerator table: portable key text (as Qt writes key sequences) -> main-window command.
ACCELERATORS = {
    "MAINACCELERATOR": [
        ("Ctrl+N", 101),
        ("Ctrl+R", 102),
        ("Ctrl+T", 104),
        ("Ctrl+Q", 107),
        ("Ctrl+F", 108),
        ("Ctrl+P", 111),
        ("Ctrl+M", 131),
        ("Ctrl+S", 132),
        ("Ctrl+Return", 1001),
        ("F2", 1002),
        ("F3", 1003),
        ("F4", 1004),
        ("F6", 1005),
        ("F7", 1006),
        ("F8", 1007),
    ],
}

# Controls: (kind, id, [x, y, w, h], text key or None, [style flags], extra fields).
# Kinds: pushbutton, checkbox, radiobutton, edit, combobox, static, groupbox, trackbar,
# updown, listbox, progress. Static texts and group boxes without a fixed role use id -1.
DIALOGS = {
    "DEVICEDLG": {
        "title": "dlg_devices", "size": [245, 185], "controls": [
            ("static", 204, [5, 3, 235, 14], "dev_found", [], {}),
            # The three modes on two rows, so that their longer translations fit above the
            # device rows that the dialog builds from y 69 down.
            ("groupbox", -1, [5, 17, 235, 51], "dev_mode", [], {}),
            ("radiobutton", 201, [10, 36, 100, 15], "dev_mode0", ["group", "tabstop"], {}),
            ("radiobutton", 202, [110, 36, 125, 15], "dev_mode1", [], {}),
            ("radiobutton", 203, [10, 51, 125, 15], "dev_mode2", [], {}),
        ]},
    "LANGUAGEDLG": {
        "title": "dlg_language", "size": [220, 110], "controls": [
            ("static", -1, [10, 10, 200, 28], "lang_prompt", ["wordwrap"], {}),
            ("combobox", 401, [10, 42, 200, 22], None, ["dropdownlist", "tabstop"], {}),
            ("pushbutton", 1, [10, 78, 64, 25], "ok", ["default", "tabstop"], {}),
            ("pushbutton", 2, [78, 78, 64, 25], "cancel", ["tabstop"], {}),
            ("pushbutton", 9, [146, 78, 64, 25], "help", ["tabstop"], {}),
        ]},
    "COMDLG": {
        "title": "dlg_comport", "size": [220, 110], "controls": [
            ("static", -1, [10, 10, 200, 28], "com_prompt", ["wordwrap"], {}),
            ("combobox", 1202, [10, 42, 200, 22], None, ["dropdown", "tabstop"], {}),
            ("pushbutton", 1, [10, 78, 64, 25], "ok", ["default", "tabstop"], {}),
            ("pushbutton", 2, [78, 78, 64, 25], "cancel", ["tabstop"], {}),
            ("pushbutton", 9, [146, 78, 64, 25], "help", ["tabstop"], {}),
        ]},
    "AboutBox": {
        "title": "dlg_about", "size": [220, 120], "controls": [
            ("static", -1, [10, 10, 200, 18], "about_name", ["center", "bold"], {}),
            ("static", -1, [10, 32, 200, 16], "about_line1", ["center"], {}),
            ("static", -1, [10, 50, 200, 16], "about_version", ["center"], {}),
            ("pushbutton", 1, [80, 82, 60, 25], "ok", ["default", "tabstop"], {}),
        ]},
    "SCANDLG": {
        "title": "dlg_scan", "size": [420, 235], "controls": [
            ("groupbox", -1, [5, 5, 210, 160], "scan_folders", [], {}),
            ("listbox", 701, [12, 22, 196, 110], None, ["multiselect", "tabstop"], {}),
            ("pushbutton", 711, [12, 136, 196, 22], "scan_add_folder", ["tabstop"], {}),
            ("groupbox", -1, [220, 5, 195, 50], "scan_types", [], {}),
            ("checkbox", 708, [228, 24, 55, 20], "scan_mp3", ["tabstop"], {}),
            ("checkbox", 709, [288, 24, 55, 20], "scan_ogg", ["tabstop"], {}),
            ("checkbox", 710, [348, 24, 55, 20], "scan_wav", ["tabstop"], {}),
            ("pushbutton", 702, [220, 62, 195, 25], "scan_scan", ["default", "tabstop"], {}),
            ("pushbutton", 703, [220, 92, 195, 25], "scan_clean", ["tabstop"], {}),
            ("pushbutton", 704, [220, 122, 195, 25], "scan_both", ["tabstop"], {}),
            ("static", 706, [5, 172, 410, 14], None, ["pathellipsis"], {}),
            ("static", 707, [5, 188, 410, 14], None, ["pathellipsis"], {}),
            ("static", 712, [5, 210, 200, 14], None, [], {}),
            ("pushbutton", 2, [280, 205, 65, 25], "cancel", ["tabstop"], {}),
            ("pushbutton", 9, [350, 205, 65, 25], "help", ["tabstop"], {}),
        ]},
    "MIXERDLG": {
        "title": "dlg_mixer", "size": [280, 170], "controls": [
            ("combobox", 801, [5, 5, 100, 22], None, ["dropdownlist", "tabstop"], {}),
            ("pushbutton", 802, [110, 5, 60, 22], "mix_center", ["tabstop"], {}),
            ("combobox", 803, [175, 5, 100, 22], None, ["dropdownlist", "tabstop"], {}),
            ("pushbutton", 804, [5, 34, 40, 30], "mix_cut", [], {}),
            ("trackbar", 805, [50, 34, 180, 30], None, ["horizontal", "ticks"],
             {"minimum": -3000, "maximum": 3000, "value": 0, "pageStep": 10,
              "tickInterval": 100}),
            ("pushbutton", 806, [235, 34, 40, 30], "mix_cut", [], {}),
            ("pushbutton", 807, [5, 72, 78, 25], "mix_fade", ["tabstop"], {}),
            ("checkbox", 813, [88, 74, 100, 20], "mix_crossfade", ["tabstop"], {}),
            ("checkbox", 810, [190, 74, 85, 20], "mix_auto", ["tabstop"], {}),
            ("static", -1, [5, 108, 64, 14], "mix_playstart", [], {}),
            ("edit", 808, [71, 104, 40, 22], None, ["number"], {}),
            ("updown", 809, [111, 104, 14, 22], None, ["reversed"],
             {"buddy": 808, "minimum": 0, "maximum": 100, "value": 7}),
            ("static", -1, [131, 108, 87, 14], "mix_fadetime", [], {}),
            ("edit", 811, [220, 104, 40, 22], None, ["number"], {}),
            ("updown", 812, [260, 104, 14, 22], None, ["reversed"],
             {"buddy": 811, "minimum": 0, "maximum": 100, "value": 5}),
            ("static", -1, [5, 140, 270, 14], "mix_hint", [], {}),
        ]},
}

HELP_CONTEXTS = [60, 20, 70, 30, 50, 80, 40, 90]
