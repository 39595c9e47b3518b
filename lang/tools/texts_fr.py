"""Textes français du module de langue lfra."""
LABEL = "Français"
HTML_LANG = "fr"
STRINGS = {
    900: "Veltro - ",
    901: "Les nouveaux réglages prendront effet au prochain démarrage de Veltro.",
    902: "Veltro",
    903: "Impossible d'ouvrir le fichier du morceau. Il a peut-être été déplacé ou supprimé.",
    910: "Artiste", 911: "Titre", 912: "Genre", 913: "Année",
    914: "Charger",
    915: "Périphérique de sortie", 916: "Sortie principale", 917: "Pré-écoute (casque)",
    918: "OK", 919: "Annuler", 920: "Aide",
    921: "veltro_f",
    922: "Enregistrer",
    923: "Bibliothèque", 924: "Recherche", 925: "Résultats",
    926: "Durée",
    927: "Cue non enregistré",
    928: "La bibliothèque ne peut être ni ouverte ni créée. Veltro démarre avec une bibliothèque vide.",
    929: "Périphérique audio absent, lecture sur la sortie par défaut au lieu de :",
    930: "Les réglages n'ont pas pu être enregistrés.",
    931: "Fichiers : %1",
    932: "La bibliothèque n'a pas pu être écrite ; elle reste inchangée.",
    933: "Ajouter un dossier à parcourir",
    934: "Le tag n'a pas pu être écrit dans le fichier : %1",
    935: "Morceaux de la playlist omis, absents de la bibliothèque : %1",
    936: "La playlist n'a pas pu être lue : %1",
    937: "La playlist n'a pas pu être enregistrée : %1",
}
TEXTS = {
    "menu_file": "&Fichier", "cmd_new_deck": "&Nouvelle platine",
    "cmd_scan": "&Parcourir les dossiers...", "cmd_tag_editor": "Éditeur de &tags...",
    "cmd_save_settings": "&Enregistrer les réglages", "cmd_exit": "&Quitter",
    "menu_view": "&Affichage", "cmd_search_form": "&Formulaire de recherche",
    "cmd_mixer": "&Table de mixage", "cmd_playlist": "&Liste de lecture",
    "cmd_load_playlist": "&Ouvrir une liste de lecture...",
    "menu_settings": "&Réglages", "cmd_devices": "Périphériques &audio...",
    "cmd_language": "&Langue...", "cmd_comport": "Port du &contrôleur...",
    "menu_help": "&Aide", "cmd_help_contents": "&Sommaire", "cmd_help_index": "&Index",
    "cmd_about": "À &propos de Veltro...",
    "menu_deck": "Platine", "deck_load": "&Charger depuis la bibliothèque",
    "deck_play": "&Lecture / pause", "deck_cue": "&Cue", "deck_pitch_zero": "Pitch à &zéro",
    "deck_monitor": "&Pré-écoute oui/non", "deck_time": "Temps &écoulé / restant",
    "deck_mastertempo": "Master&tempo", "deck_keep_ratio": "Garder les &proportions",
    "deck_default_layout": "Taille par &défaut",
    "menu_playlist": "Liste de lecture", "pl_delete": "&Supprimer la sélection",
    "pl_auto": "Mode &automatique", "pl_save": "&Enregistrer la liste...", "pl_help": "&Aide",
    "pl_close": "&Fermer",
    "dlg_devices": "Périphériques audio", "dev_found": "Périphériques audio trouvés :",
    "dev_mode": "Mode de sortie", "dev_mode0": "Un seul", "dev_mode1": "Principal + casque",
    "dev_mode2": "Un par platine",
    "dlg_language": "Langue",
    "lang_prompt": "Choisissez la langue. Elle sera utilisée au prochain démarrage.",
    "dlg_comport": "Port du contrôleur", "com_prompt": "Port série du contrôleur :",
    "ok": "OK", "cancel": "Annuler", "help": "Aide",
    "dlg_about": "À propos de Veltro", "about_name": "Veltro",
    "about_line1": "Logiciel de mixage pour DJ", "about_version": "Version 0.1",
    "dlg_scan": "Parcourir les dossiers",
    "scan_folders": "Dossiers", "scan_add_folder": "Ajouter un dossier...",
    "scan_types": "Types de fichiers", "scan_mp3": "MP3", "scan_ogg": "Ogg", "scan_wav": "WAV",
    "scan_scan": "Chercher de nouveaux morceaux", "scan_clean": "Retirer les morceaux absents",
    "scan_both": "Retirer, puis chercher",
    "dlg_mixer": "Table de mixage", "mix_center": "Centre", "mix_cut": "Cut",
    "mix_fade": "Fondu", "mix_crossfade": "Fondu enchaîné", "mix_auto": "Automatique",
    "mix_playstart": "Départ (s) :", "mix_fadetime": "Fondu (s) :",
    "mix_hint": "Platine gauche  <  crossfader  >  platine droite",
}
HELP_TITLE = "Aide de Veltro"
HELP = {
    60: ("Fenêtre principale", [
        "La fenêtre principale présente la bibliothèque sur trois onglets : toute la "
        "bibliothèque avec une recherche rapide, un formulaire de recherche et les résultats.",
        "Tapez dans l'un des quatre champs au-dessus de la liste pour aller au premier morceau "
        "dont l'artiste, le titre, le genre ou l'année commence par ce texte. Un double-clic "
        "charge le morceau dans les platines, ou l'ajoute à la liste de lecture si elle est "
        "ouverte."]),
    20: ("Platine", [
        "Une platine joue un morceau. Charger prend le morceau choisi dans la bibliothèque ; "
        "la touche Cue revient au point de repère, la touche de lecture démarre et met en pause.",
        "Le curseur vertical à droite règle le pitch ; les touches + et - le décalent un instant "
        "pour caler le tempo. Avec le Mastertempo, le tempo change sans changer la tonalité. "
        "Un clic droit ouvre d'autres commandes."]),
    70: ("Table de mixage", [
        "La table de mixage relie deux platines. Choisissez la platine gauche et la platine "
        "droite dans les deux listes du haut et déplacez le crossfader entre elles.",
        "Fondu démarre la platine au repos et passe sur elle pendant la durée du fondu. En "
        "mode automatique, l'entrée suivante de la liste démarre peu avant la fin du morceau "
        "en cours ; le départ indique combien de secondes avant."]),
    30: ("Parcourir les dossiers", [
        "Choisissez les dossiers (Ajouter un dossier... en ajoute un autre) "
        "et les types de fichiers, puis cherchez de nouveaux morceaux, "
        "retirez ceux dont le fichier a disparu, ou faites les deux.",
        "Les tags sont lus dans les fichiers MP3 et Ogg ; un fichier sans tag apparaît sous son "
        "nom de fichier."]),
    50: ("Liste de lecture", [
        "La liste de lecture contient les morceaux que la table de mixage joue ensuite en mode "
        "automatique. Faites glisser les entrées pour changer l'ordre, supprimez-les avec la "
        "touche Suppr et enregistrez la liste pour plus tard.",
        "L'entrée marquée est la prochaine à démarrer."]),
    80: ("Éditeur de tags", [
        "L'éditeur de tags modifie l'artiste, le titre, le genre et l'année dans le fichier et "
        "dans la bibliothèque. Seul le tag est réécrit ; les données audio restent intactes."]),
    40: ("Périphériques audio", [
        "Choisissez un périphérique pour toutes les platines, un principal et un second pour le "
        "casque, ou un par platine. Le choix prend effet au prochain démarrage."]),
    90: ("Langue", [
        "Choisissez la langue des menus, des dialogues et de l'aide. Le choix prend effet au "
        "prochain démarrage."]),
}
