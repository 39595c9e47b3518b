#!/usr/bin/env python3
"""Writes the sources of the five language modules from layouts.py and texts_<language>.py.

For each module lang/<module>/ receives strings.json, menus.json, accelerators.json,
dialogs/<NAME>.json, help/<help name>.html and <module>.qrc (the file list for rcc).
The layouts are shared so that every module holds the same ids and command numbers; only the
texts differ. Run it after editing a layout or a text; the generated files are kept in the tree.
"""
import html
import importlib
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LANG = os.path.normpath(os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import layouts  # noqa: E402

MODULES = [("leng", "texts_en"), ("lger", "texts_de"), ("lfra", "texts_fr"),
           ("lita", "texts_it"), ("lesp", "texts_es")]
IMAGES = [("icons/MAINICON.png", "mainicon.png"), ("bitmaps/LED_ON.png", "led_on.png"),
          ("bitmaps/LED_OFF.png", "led_off.png")]


def write_json(path, value):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        json.dump(value, out, ensure_ascii=False, indent=1)
        out.write("\n")


def write_dialog(path, value):
    """Writes a dialog template with one control per line, so layouts read like a table."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    head = {key: value[key] for key in ("name", "title", "size")}
    lines = [json.dumps(head, ensure_ascii=False)[:-1] + ', "controls": [']
    rows = [" " + json.dumps(c, ensure_ascii=False) for c in value["controls"]]
    lines.append(",\n".join(rows))
    lines.append("]}")
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def menu_items(entries, texts):
    items = []
    for entry in entries:
        if entry[0] == "sep":
            items.append({"separator": True})
        elif entry[0] == "sub":
            items.append({"text": texts[entry[1]], "items": menu_items(entry[2], texts)})
        else:
            flags = entry[3].split()
            item = {"text": texts[entry[1]], "command": entry[2]}
            if "checkable" in flags:
                item["checkable"] = True
                item["checked"] = "checked" in flags
            items.append(item)
    return items


def dialog(name, layout, texts):
    controls = []
    for kind, ident, rect, text_key, styles, extra in layout["controls"]:
        control = {"kind": kind, "id": ident, "rect": rect,
                   "text": texts[text_key] if text_key else "", "style": styles}
        control.update(extra)
        controls.append(control)
    return {"name": name, "title": texts[layout["title"]], "size": layout["size"],
            "controls": controls}


def help_page(language):
    parts = ["<!DOCTYPE html>", f'<html lang="{language.HTML_LANG}">', "<head>",
             '<meta charset="utf-8">', f"<title>{html.escape(language.HELP_TITLE)}</title>",
             "</head>", "<body>", f"<h1>{html.escape(language.HELP_TITLE)}</h1>"]
    for context in layouts.HELP_CONTEXTS:
        heading, paragraphs = language.HELP[context]
        parts.append(f'<h2><a name="{context}" id="{context}"></a>{html.escape(heading, quote=False)}</h2>')
        parts.extend(f"<p>{html.escape(p, quote=False)}</p>" for p in paragraphs)
    parts += ["</body>", "</html>", ""]
    return "\n".join(parts)


def qrc(files):
    lines = ["<!DOCTYPE RCC>", '<RCC version="1.0">', "<qresource>"]
    for alias, source in files:
        if alias == source:
            lines.append(f"  <file>{source}</file>")
        else:
            lines.append(f'  <file alias="{alias}">{source}</file>')
    lines += ["</qresource>", "</RCC>", ""]
    return "\n".join(lines)


def generate(module, text_module):
    language = importlib.import_module(text_module)
    folder = os.path.join(LANG, module)
    strings = {str(k): v for k, v in sorted(language.STRINGS.items())}
    write_json(os.path.join(folder, "strings.json"), {"language": language.LABEL,
                                                      "strings": strings})
    menus = {name: menu_items(entries, language.TEXTS) for name, entries in layouts.MENUS.items()}
    write_json(os.path.join(folder, "menus.json"), menus)
    accelerators = {name: [{"key": key, "command": command} for key, command in table]
                    for name, table in layouts.ACCELERATORS.items()}
    write_json(os.path.join(folder, "accelerators.json"), accelerators)
    files = [("strings.json",) * 2, ("menus.json",) * 2, ("accelerators.json",) * 2]
    for name, layout in layouts.DIALOGS.items():
        write_dialog(os.path.join(folder, "dialogs", name + ".json"),
                   dialog(name, layout, language.TEXTS))
        files.append((f"dialogs/{name}.json",) * 2)
    files += [(alias, "../images/" + source) for alias, source in IMAGES]
    with open(os.path.join(folder, module + ".qrc"), "w", encoding="utf-8") as out:
        out.write(qrc(files))
    help_name = language.STRINGS[921]
    os.makedirs(os.path.join(folder, "help"), exist_ok=True)
    with open(os.path.join(folder, "help", help_name + ".html"), "w", encoding="utf-8") as out:
        out.write(help_page(language))


if __name__ == "__main__":
    for module_name, texts_name in MODULES:
        generate(module_name, texts_name)
