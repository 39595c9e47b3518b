"""English texts of the language module leng."""
LABEL = "English"
HTML_LANG = "en"
STRINGS = {
    900: "Veltro - ",
    901: "The new settings take effect when Veltro is started again.",
    902: "Veltro",
    903: "The song's file cannot be opened. It may have been moved or deleted.",
    910: "Artist", 911: "Title", 912: "Genre", 913: "Year",
    914: "Load",
    915: "Output device", 916: "Main output", 917: "Monitor (headphones)",
    918: "OK", 919: "Cancel", 920: "Help",
    921: "veltro_e",
    922: "Save",
    923: "Library", 924: "Search", 925: "Results",
    926: "Length",
    927: "Cue not saved",
    928: "The song library cannot be opened or created. Veltro starts with an empty library.",
    929: "Sound device missing, playing on the default output instead of:",
    930: "The settings could not be saved.",
    931: "Files: %1",
    932: "The library could not be written and is left as it was.",
    933: "Add a folder to scan",
    934: "The tag could not be written to the song file: %1",
    935: "Songs of the playlist left out, not in the library: %1",
    936: "The playlist could not be read: %1",
    937: "The playlist could not be saved: %1",
}
TEXTS = {
    "menu_file": "&File", "cmd_new_deck": "&New deck", "cmd_scan": "&Scan folders...",
    "cmd_tag_editor": "&Tag editor...", "cmd_save_settings": "Save se&ttings",
    "cmd_exit": "E&xit", "menu_view": "&View", "cmd_search_form": "Search &form",
    "cmd_mixer": "&Mixer", "cmd_playlist": "&Playlist", "cmd_load_playlist": "&Load playlist...",
    "menu_settings": "&Settings", "cmd_devices": "Sound &devices...",
    "cmd_language": "&Language...", "cmd_comport": "&Controller port...",
    "menu_help": "&Help", "cmd_help_contents": "&Contents", "cmd_help_index": "&Index",
    "cmd_about": "&About Veltro...",
    "menu_deck": "Deck", "deck_load": "&Load from library", "deck_play": "&Play / pause",
    "deck_cue": "&Cue", "deck_pitch_zero": "Pitch &zero", "deck_monitor": "&Monitor on/off",
    "deck_time": "&Elapsed / remaining time", "deck_mastertempo": "Master&tempo",
    "deck_keep_ratio": "&Keep proportions", "deck_default_layout": "&Default size",
    "menu_playlist": "Playlist", "pl_delete": "&Delete selection", "pl_auto": "&Auto mode",
    "pl_save": "&Save playlist...", "pl_help": "&Help", "pl_close": "&Close",
    "dlg_devices": "Sound devices", "dev_found": "Sound devices found:",
    "dev_mode": "Output mode", "dev_mode0": "One device", "dev_mode1": "Main + monitor",
    "dev_mode2": "One per deck",
    "dlg_language": "Language", "lang_prompt": "Choose the language. It is used from the next start.",
    "dlg_comport": "Controller port", "com_prompt": "Serial port of the hardware controller:",
    "ok": "OK", "cancel": "Cancel", "help": "Help",
    "dlg_about": "About Veltro", "about_name": "Veltro", "about_line1": "DJ mixing program",
    "about_version": "Version 0.1",
    "dlg_scan": "Scan folders",
    "scan_folders": "Folders", "scan_add_folder": "Add folder...", "scan_types": "File types",
    "scan_mp3": "MP3", "scan_ogg": "Ogg", "scan_wav": "WAV", "scan_scan": "Scan for new songs",
    "scan_clean": "Remove missing songs", "scan_both": "Remove missing, then scan",
    "dlg_mixer": "Mixer", "mix_center": "Center", "mix_cut": "Cut", "mix_fade": "Fade now",
    "mix_crossfade": "Crossfade", "mix_auto": "Auto mode", "mix_playstart": "Playstart (s):",
    "mix_fadetime": "Fade time (s):", "mix_hint": "Left deck  <  crossfader  >  right deck",
}
HELP_TITLE = "Veltro help"
HELP = {
    60: ("Main window", [
        "The main window shows the song library on three tabs: the whole library with a quick "
        "search, a search form and the search results.",
        "Type into one of the four fields above the list to jump to the first song whose artist, "
        "title, genre or year begins with that text. Double-click a song to load it into the "
        "decks, or to add it to the playlist while the playlist is open."]),
    20: ("Deck", [
        "A deck plays one song. Load takes the song selected in the library; the cue button "
        "returns to the cue point, the play button starts and pauses.",
        "The vertical slider on the right changes the pitch; the + and - buttons bend it "
        "briefly to match the beat. With Mastertempo on, the tempo changes without changing "
        "the key. Right-click the deck for more commands."]),
    70: ("Mixer", [
        "The mixer joins two decks. Choose the left and the right deck in the two lists at the "
        "top and move the crossfader between them.",
        "Fade now starts the idle deck and fades over to it within the fade time. In auto "
        "mode the next playlist entry starts when the playing song is about to end; Playstart "
        "says how many seconds before the end that happens."]),
    30: ("Folder scan", [
        "Select the folders to search (Add folder... lists any other folder) "
        "and the file types to include, then scan for new songs, "
        "remove songs whose files are missing, or do both.",
        "Tags are read from MP3 and Ogg files; a file without a tag is listed under its file "
        "name."]),
    50: ("Playlist", [
        "The playlist holds the songs the mixer plays next in auto mode. Drag entries to change "
        "their order, press Delete to remove them, and save the list for later.",
        "The marked entry is the one that starts next."]),
    80: ("Tag editor", [
        "The tag editor changes the artist, title, genre and year stored in a song file and in "
        "the library. Only the tag is rewritten; the audio data stays untouched."]),
    40: ("Sound devices", [
        "Choose one device for all decks, a main device and a monitor device for headphones, "
        "or one device per deck. The choice takes effect at the next start."]),
    90: ("Language", [
        "Choose the language of menus, dialogs and help. The choice takes effect at the next "
        "start."]),
}
