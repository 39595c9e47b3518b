"""Textos en español del módulo de idioma lesp."""
LABEL = "Espaniol"
HTML_LANG = "es"
STRINGS = {
    900: "Veltro - ",
    901: "La nueva configuración se aplicará la próxima vez que se inicie Veltro.",
    902: "Veltro",
    903: "No se puede abrir el archivo de la canción. Puede que se haya movido o borrado.",
    910: "Artista", 911: "Título", 912: "Género", 913: "Año",
    914: "Cargar",
    915: "Dispositivo de salida", 916: "Salida principal", 917: "Preescucha (auriculares)",
    918: "Aceptar", 919: "Cancelar", 920: "Ayuda",
    921: "veltro_s",
    922: "Guardar",
    923: "Biblioteca", 924: "Búsqueda", 925: "Resultados",
    926: "Duración",
    927: "Cue no guardado",
    928: "La biblioteca no se puede abrir ni crear. Veltro arranca con una biblioteca vacía.",
    929: "Falta el dispositivo de sonido; se usa la salida predeterminada en lugar de:",
    930: "No se pudo guardar la configuración.",
    931: "Archivos: %1",
    932: "No se pudo escribir la biblioteca; queda como estaba.",
    933: "Añadir una carpeta para explorar",
    934: "No se pudo escribir la etiqueta en el archivo: %1",
    935: "Canciones de la lista omitidas, no están en la biblioteca: %1",
    936: "No se pudo leer la lista: %1",
    937: "No se pudo guardar la lista: %1",
}
TEXTS = {
    "menu_file": "&Archivo", "cmd_new_deck": "&Nuevo reproductor",
    "cmd_scan": "&Explorar carpetas...", "cmd_tag_editor": "Editor de &etiquetas...",
    "cmd_save_settings": "&Guardar configuración", "cmd_exit": "&Salir",
    "menu_view": "&Ver", "cmd_search_form": "&Formulario de búsqueda", "cmd_mixer": "&Mezclador",
    "cmd_playlist": "&Lista de reproducción", "cmd_load_playlist": "&Abrir lista...",
    "menu_settings": "&Configuración", "cmd_devices": "&Dispositivos de sonido...",
    "cmd_language": "&Idioma...", "cmd_comport": "&Puerto del controlador...",
    "menu_help": "A&yuda", "cmd_help_contents": "&Contenido", "cmd_help_index": "Í&ndice",
    "cmd_about": "&Acerca de Veltro...",
    "menu_deck": "Reproductor", "deck_load": "&Cargar de la biblioteca",
    "deck_play": "&Reproducir / pausa", "deck_cue": "C&ue", "deck_pitch_zero": "Pitch a &cero",
    "deck_monitor": "&Preescucha sí/no", "deck_time": "&Tiempo transcurrido / restante",
    "deck_mastertempo": "&Mastertempo", "deck_keep_ratio": "Mantener las &proporciones",
    "deck_default_layout": "Tamaño &predeterminado",
    "menu_playlist": "Lista de reproducción", "pl_delete": "&Borrar selección",
    "pl_auto": "Modo &automático", "pl_save": "&Guardar lista...", "pl_help": "A&yuda",
    "pl_close": "&Cerrar",
    "dlg_devices": "Dispositivos de sonido", "dev_found": "Dispositivos de sonido encontrados:",
    "dev_mode": "Modo de salida", "dev_mode0": "Uno solo", "dev_mode1": "Principal + auricular",
    "dev_mode2": "Uno por reproductor",
    "dlg_language": "Idioma",
    "lang_prompt": "Elija el idioma. Se usará a partir del próximo inicio.",
    "dlg_comport": "Puerto del controlador", "com_prompt": "Puerto serie del controlador:",
    "ok": "Aceptar", "cancel": "Cancelar", "help": "Ayuda",
    "dlg_about": "Acerca de Veltro", "about_name": "Veltro",
    "about_line1": "Programa de mezcla para DJ", "about_version": "Versión 0.1",
    "dlg_scan": "Explorar carpetas",
    "scan_folders": "Carpetas", "scan_add_folder": "Añadir carpeta...", "scan_types": "Tipos de archivo",
    "scan_mp3": "MP3", "scan_ogg": "Ogg", "scan_wav": "WAV",
    "scan_scan": "Buscar canciones nuevas", "scan_clean": "Quitar canciones ausentes",
    "scan_both": "Quitar y luego buscar",
    "dlg_mixer": "Mezclador", "mix_center": "Centro", "mix_cut": "Cut", "mix_fade": "Fundir ya",
    "mix_crossfade": "Fundido", "mix_auto": "Automático", "mix_playstart": "Inicio (s):",
    "mix_fadetime": "Fundido (s):",
    "mix_hint": "Reproductor izq.  <  crossfader  >  reproductor der.",
}
HELP_TITLE = "Ayuda de Veltro"
HELP = {
    60: ("Ventana principal", [
        "La ventana principal muestra la biblioteca en tres pestañas: toda la biblioteca con "
        "una búsqueda rápida, un formulario de búsqueda y los resultados.",
        "Escriba en uno de los cuatro campos sobre la lista para saltar a la primera canción "
        "cuyo artista, título, género o año empiece por ese texto. Un doble clic carga la "
        "canción en los reproductores, o la añade a la lista de reproducción si está abierta."]),
    20: ("Reproductor", [
        "Un reproductor toca una canción. Cargar toma la canción elegida en la biblioteca; el "
        "botón Cue vuelve al punto de cue y el botón de reproducción arranca y pausa.",
        "El control vertical de la derecha ajusta el pitch; los botones + y - lo desplazan un "
        "momento para igualar el ritmo. Con Mastertempo el tempo cambia sin cambiar el tono. "
        "Un clic derecho abre más órdenes."]),
    70: ("Mezclador", [
        "El mezclador une dos reproductores. Elija el reproductor izquierdo y el derecho en las "
        "dos listas de arriba y mueva el crossfader entre ellos.",
        "Fundir ya arranca el reproductor parado y pasa a él durante el tiempo de fundido. En "
        "modo automático la siguiente entrada de la lista empieza poco antes del final de la "
        "canción actual; el inicio indica cuántos segundos antes."]),
    30: ("Explorar carpetas", [
        "Elija las carpetas (Añadir carpeta... agrega cualquier otra) "
        "y los tipos de archivo, y luego busque canciones nuevas, quite las "
        "que ya no tienen archivo, o haga ambas cosas.",
        "Las etiquetas se leen de los archivos MP3 y Ogg; un archivo sin etiqueta aparece con "
        "su nombre de archivo."]),
    50: ("Lista de reproducción", [
        "La lista contiene las canciones que el mezclador toca después en modo automático. "
        "Arrastre las entradas para cambiar el orden, bórrelas con Supr y guarde la lista para "
        "más tarde.",
        "La entrada marcada es la siguiente en empezar."]),
    80: ("Editor de etiquetas", [
        "El editor de etiquetas cambia artista, título, género y año en el archivo y en la "
        "biblioteca. Solo se reescribe la etiqueta; los datos de audio no se tocan."]),
    40: ("Dispositivos de sonido", [
        "Elija un dispositivo para todos los reproductores, uno principal y otro para "
        "auriculares, o uno por reproductor. La elección se aplica en el próximo inicio."]),
    90: ("Idioma", [
        "Elija el idioma de los menús, los diálogos y la ayuda. La elección se aplica en el "
        "próximo inicio."]),
}
