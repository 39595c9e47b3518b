"""Deutsche Texte des Sprachmoduls lger."""
LABEL = "Deutsch"
HTML_LANG = "de"
STRINGS = {
    900: "Veltro - ",
    901: "Die neuen Einstellungen gelten ab dem nächsten Start von Veltro.",
    902: "Veltro",
    903: "Die Datei des Titels lässt sich nicht öffnen. Vielleicht wurde sie verschoben oder gelöscht.",
    910: "Interpret", 911: "Titel", 912: "Genre", 913: "Jahr",
    914: "Laden",
    915: "Ausgabegerät", 916: "Hauptausgang", 917: "Vorhören (Kopfhörer)",
    918: "OK", 919: "Abbrechen", 920: "Hilfe",
    921: "veltro_d",
    922: "Speichern",
    923: "Bibliothek", 924: "Suche", 925: "Ergebnisse",
    926: "Länge",
    927: "Cue nicht gespeichert",
    928: "Die Musikbibliothek kann weder geöffnet noch angelegt werden. Veltro startet mit einer leeren Bibliothek.",
    929: "Audiogerät fehlt, Wiedergabe über die Standardausgabe statt über:",
    930: "Die Einstellungen konnten nicht gespeichert werden.",
    931: "Dateien: %1",
    932: "Die Bibliothek konnte nicht geschrieben werden und bleibt unverändert.",
    933: "Ordner zum Durchsuchen hinzufügen",
    934: "Der Tag konnte nicht in die Songdatei geschrieben werden: %1",
    935: "Ausgelassene Songs der Playlist, nicht in der Bibliothek: %1",
    936: "Die Playlist konnte nicht gelesen werden: %1",
    937: "Die Playlist konnte nicht gespeichert werden: %1",
}
TEXTS = {
    "menu_file": "&Datei", "cmd_new_deck": "&Neuer Player", "cmd_scan": "Ordner &durchsuchen...",
    "cmd_tag_editor": "&Tag-Editor...", "cmd_save_settings": "Einstellungen &speichern",
    "cmd_exit": "&Beenden", "menu_view": "&Ansicht", "cmd_search_form": "Such&formular",
    "cmd_mixer": "&Mischpult", "cmd_playlist": "&Playlist", "cmd_load_playlist": "Playlist &laden...",
    "menu_settings": "&Einstellungen", "cmd_devices": "&Soundgeräte...",
    "cmd_language": "Sp&rache...", "cmd_comport": "&Controller-Anschluss...",
    "menu_help": "&Hilfe", "cmd_help_contents": "&Inhalt", "cmd_help_index": "&Index",
    "cmd_about": "Ü&ber Veltro...",
    "menu_deck": "Player", "deck_load": "Aus der Bibliothek &laden",
    "deck_play": "&Abspielen / Pause", "deck_cue": "&Cue", "deck_pitch_zero": "Pitch auf &null",
    "deck_monitor": "&Vorhören ein/aus", "deck_time": "&Gespielte / verbleibende Zeit",
    "deck_mastertempo": "Master&tempo", "deck_keep_ratio": "&Seitenverhältnis halten",
    "deck_default_layout": "&Standardgröße",
    "menu_playlist": "Playlist", "pl_delete": "Auswahl &löschen", "pl_auto": "&Automatik",
    "pl_save": "Playlist &speichern...", "pl_help": "&Hilfe", "pl_close": "Sc&hließen",
    "dlg_devices": "Soundgeräte", "dev_found": "Gefundene Soundgeräte:",
    "dev_mode": "Ausgabeart", "dev_mode0": "Ein Gerät", "dev_mode1": "Haupt + Vorhören",
    "dev_mode2": "Eines je Player",
    "dlg_language": "Sprache", "lang_prompt": "Wählen Sie die Sprache. Sie gilt ab dem nächsten Start.",
    "dlg_comport": "Controller-Anschluss", "com_prompt": "Serielle Schnittstelle des Controllers:",
    "ok": "OK", "cancel": "Abbrechen", "help": "Hilfe",
    "dlg_about": "Über Veltro", "about_name": "Veltro", "about_line1": "DJ-Mischprogramm",
    "about_version": "Version 0.1",
    "dlg_scan": "Ordner durchsuchen",
    "scan_folders": "Ordner", "scan_add_folder": "Ordner hinzufügen...", "scan_types": "Dateitypen",
    "scan_mp3": "MP3", "scan_ogg": "Ogg", "scan_wav": "WAV",
    "scan_scan": "Nach neuen Titeln suchen", "scan_clean": "Fehlende Titel entfernen",
    "scan_both": "Entfernen, dann suchen",
    "dlg_mixer": "Mischpult", "mix_center": "Mitte", "mix_cut": "Cut", "mix_fade": "Jetzt blenden",
    "mix_crossfade": "Überblenden", "mix_auto": "Automatik", "mix_playstart": "Startzeit (s):",
    "mix_fadetime": "Blendzeit (s):", "mix_hint": "Linker Player  <  Crossfader  >  rechter Player",
}
HELP_TITLE = "Veltro-Hilfe"
HELP = {
    60: ("Hauptfenster", [
        "Das Hauptfenster zeigt die Musikbibliothek auf drei Registerkarten: die ganze "
        "Bibliothek mit Schnellsuche, ein Suchformular und die Suchergebnisse.",
        "Tippen Sie in eines der vier Felder über der Liste, um zum ersten Titel zu springen, "
        "dessen Interpret, Titel, Genre oder Jahr so beginnt. Ein Doppelklick lädt den Titel in "
        "die Player oder hängt ihn an die Playlist an, wenn diese geöffnet ist."]),
    20: ("Player", [
        "Ein Player spielt einen Titel. Laden übernimmt den in der Bibliothek gewählten Titel; "
        "die Cue-Taste springt zum Cue-Punkt, die Play-Taste startet und hält an.",
        "Der senkrechte Regler rechts ändert die Tonhöhe; mit + und - wird sie kurz verbogen, "
        "um den Takt anzugleichen. Mit Mastertempo ändert sich das Tempo, ohne die Tonart zu "
        "ändern. Ein Rechtsklick zeigt weitere Befehle."]),
    70: ("Mischpult", [
        "Das Mischpult verbindet zwei Player. Wählen Sie oben den linken und den rechten "
        "Player und bewegen Sie den Crossfader zwischen ihnen.",
        "Jetzt blenden startet den ruhenden Player und blendet innerhalb der Blendzeit zu ihm "
        "über. Im Automatikbetrieb startet der nächste Playlist-Eintrag, kurz bevor der "
        "laufende Titel endet; die Startzeit sagt, wie viele Sekunden vorher."]),
    30: ("Ordner durchsuchen", [
        "Wählen Sie die Ordner (Ordner hinzufügen... nimmt jeden weiteren auf) "
        "und Dateitypen, dann suchen Sie nach neuen Titeln, entfernen "
        "Titel, deren Dateien fehlen, oder beides.",
        "Tags werden aus MP3- und Ogg-Dateien gelesen; eine Datei ohne Tag erscheint unter "
        "ihrem Dateinamen."]),
    50: ("Playlist", [
        "Die Playlist enthält die Titel, die das Mischpult im Automatikbetrieb als Nächstes "
        "spielt. Ziehen Sie Einträge, um die Reihenfolge zu ändern, löschen Sie sie mit Entf "
        "und speichern Sie die Liste für später.",
        "Der markierte Eintrag startet als Nächster."]),
    80: ("Tag-Editor", [
        "Der Tag-Editor ändert Interpret, Titel, Genre und Jahr in der Datei und in der "
        "Bibliothek. Nur der Tag wird neu geschrieben; die Audiodaten bleiben unberührt."]),
    40: ("Soundgeräte", [
        "Wählen Sie ein Gerät für alle Player, ein Haupt- und ein Vorhörgerät für Kopfhörer "
        "oder ein Gerät je Player. Die Wahl gilt ab dem nächsten Start."]),
    90: ("Sprache", [
        "Wählen Sie die Sprache der Menüs, Dialoge und der Hilfe. Die Wahl gilt ab dem "
        "nächsten Start."]),
}
