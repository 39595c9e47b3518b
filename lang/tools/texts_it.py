"""Testi italiani del modulo di lingua lita."""
LABEL = "Italiano"
HTML_LANG = "it"
STRINGS = {
    900: "Veltro - ",
    901: "Le nuove impostazioni avranno effetto al prossimo avvio di Veltro.",
    902: "Veltro",
    903: "Impossibile aprire il file del brano. Forse è stato spostato o eliminato.",
    910: "Artista", 911: "Titolo", 912: "Genere", 913: "Anno",
    914: "Carica",
    915: "Dispositivo di uscita", 916: "Uscita principale", 917: "Preascolto (cuffie)",
    918: "OK", 919: "Annulla", 920: "Aiuto",
    921: "veltro_i",
    922: "Salva",
    923: "Libreria", 924: "Ricerca", 925: "Risultati",
    926: "Durata",
    927: "Cue non salvato",
    928: "La libreria non può essere aperta né creata. Veltro parte con una libreria vuota.",
    929: "Dispositivo audio assente, riproduzione sull'uscita predefinita invece di:",
    930: "Non è stato possibile salvare le impostazioni.",
    931: "File: %1",
    932: "Non è stato possibile scrivere la libreria, che resta com'era.",
    933: "Aggiungi una cartella da esaminare",
    934: "Non è stato possibile scrivere il tag nel file: %1",
    935: "Brani della playlist omessi, non presenti nella libreria: %1",
    936: "Non è stato possibile leggere la playlist: %1",
    937: "Non è stato possibile salvare la playlist: %1",
}
TEXTS = {
    "menu_file": "&File", "cmd_new_deck": "&Nuovo deck", "cmd_scan": "&Esamina cartelle...",
    "cmd_tag_editor": "Editor dei &tag...", "cmd_save_settings": "&Salva impostazioni",
    "cmd_exit": "&Esci", "menu_view": "&Visualizza", "cmd_search_form": "Modulo di &ricerca",
    "cmd_mixer": "&Mixer", "cmd_playlist": "&Playlist", "cmd_load_playlist": "&Apri playlist...",
    "menu_settings": "&Impostazioni", "cmd_devices": "&Dispositivi audio...",
    "cmd_language": "&Lingua...", "cmd_comport": "Porta del &controller...",
    "menu_help": "&Aiuto", "cmd_help_contents": "&Sommario", "cmd_help_index": "&Indice",
    "cmd_about": "&Informazioni su Veltro...",
    "menu_deck": "Deck", "deck_load": "&Carica dalla libreria", "deck_play": "&Play / pausa",
    "deck_cue": "C&ue", "deck_pitch_zero": "Pitch a &zero", "deck_monitor": "P&reascolto sì/no",
    "deck_time": "&Tempo trascorso / rimanente", "deck_mastertempo": "&Mastertempo",
    "deck_keep_ratio": "Mantieni le &proporzioni", "deck_default_layout": "&Dimensione predefinita",
    "menu_playlist": "Playlist", "pl_delete": "&Elimina selezione", "pl_auto": "Modo &automatico",
    "pl_save": "&Salva playlist...", "pl_help": "A&iuto", "pl_close": "&Chiudi",
    "dlg_devices": "Dispositivi audio", "dev_found": "Dispositivi audio trovati:",
    "dev_mode": "Modo di uscita", "dev_mode0": "Uno solo", "dev_mode1": "Principale + cuffie",
    "dev_mode2": "Uno per deck",
    "dlg_language": "Lingua",
    "lang_prompt": "Scegli la lingua. Verrà usata dal prossimo avvio.",
    "dlg_comport": "Porta del controller", "com_prompt": "Porta seriale del controller:",
    "ok": "OK", "cancel": "Annulla", "help": "Aiuto",
    "dlg_about": "Informazioni su Veltro", "about_name": "Veltro",
    "about_line1": "Programma di mixaggio per DJ", "about_version": "Versione 0.1",
    "dlg_scan": "Esamina cartelle",
    "scan_folders": "Cartelle", "scan_add_folder": "Aggiungi cartella...", "scan_types": "Tipi di file",
    "scan_mp3": "MP3", "scan_ogg": "Ogg", "scan_wav": "WAV",
    "scan_scan": "Cerca nuovi brani", "scan_clean": "Rimuovi brani mancanti",
    "scan_both": "Rimuovi, poi cerca",
    "dlg_mixer": "Mixer", "mix_center": "Centro", "mix_cut": "Cut", "mix_fade": "Dissolvi ora",
    "mix_crossfade": "Dissolvenza", "mix_auto": "Automatico", "mix_playstart": "Avvio (s):",
    "mix_fadetime": "Dissolvenza (s):", "mix_hint": "Deck sinistro  <  crossfader  >  deck destro",
}
HELP_TITLE = "Guida di Veltro"
HELP = {
    60: ("Finestra principale", [
        "La finestra principale mostra la libreria su tre schede: l'intera libreria con una "
        "ricerca rapida, un modulo di ricerca e i risultati.",
        "Scrivi in uno dei quattro campi sopra l'elenco per saltare al primo brano il cui "
        "artista, titolo, genere o anno inizia con quel testo. Un doppio clic carica il brano "
        "nei deck, oppure lo aggiunge alla playlist se è aperta."]),
    20: ("Deck", [
        "Un deck suona un brano. Carica prende il brano scelto nella libreria; il tasto Cue "
        "torna al punto di cue, il tasto play avvia e mette in pausa.",
        "Il cursore verticale a destra regola il pitch; i tasti + e - lo spostano per un "
        "momento per allineare il ritmo. Con il Mastertempo il tempo cambia senza cambiare la "
        "tonalità. Un clic destro apre altri comandi."]),
    70: ("Mixer", [
        "Il mixer collega due deck. Scegli il deck sinistro e quello destro nei due elenchi in "
        "alto e sposta il crossfader tra di loro.",
        "Dissolvi ora avvia il deck fermo e passa a esso entro il tempo di dissolvenza. In "
        "modo automatico la voce successiva della playlist parte poco prima della fine del "
        "brano in corso; l'avvio indica quanti secondi prima."]),
    30: ("Esamina cartelle", [
        "Scegli le cartelle (Aggiungi cartella... ne aggiunge un'altra) "
        "e i tipi di file, poi cerca nuovi brani, rimuovi quelli il cui file "
        "manca, oppure fai entrambe le cose.",
        "I tag vengono letti dai file MP3 e Ogg; un file senza tag compare con il suo nome."]),
    50: ("Playlist", [
        "La playlist contiene i brani che il mixer suona dopo in modo automatico. Trascina le "
        "voci per cambiarne l'ordine, eliminale con Canc e salva l'elenco per dopo.",
        "La voce evidenziata è la prossima a partire."]),
    80: ("Editor dei tag", [
        "L'editor dei tag modifica artista, titolo, genere e anno nel file e nella libreria. "
        "Viene riscritto solo il tag; i dati audio restano intatti."]),
    40: ("Dispositivi audio", [
        "Scegli un dispositivo per tutti i deck, uno principale e uno per le cuffie, oppure uno "
        "per ogni deck. La scelta ha effetto al prossimo avvio."]),
    90: ("Lingua", [
        "Scegli la lingua di menu, finestre di dialogo e guida. La scelta ha effetto al "
        "prossimo avvio."]),
}
