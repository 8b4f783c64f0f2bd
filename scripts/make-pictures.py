#!/usr/bin/env python3
"""Writes KELM's pictures (resources/pictures/*.svg) and their resource list.

One style for all: a 24 x 24 rounded tile in the group's colour with a white
glyph drawn in 2-unit strokes with round ends, so every picture reads at 16
and 24 pixels and on dark and light themes alike (the tile carries its own
contrast). The menu pictures s_Key1..s_Key13 are the glyphs of the commands
they stand beside. Run it again after changing a glyph; the SVG files are the
sources the program loads.
"""
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent.parent / "resources"
OUT = ROOT / "pictures"

# Tile colours by command group.
MEDIA = "#b86e00"
MONITOR = "#1f5fae"
MODE = "#2e7d32"
RECORD = "#c62828"
APP = "#4f5b66"
WARN = "#d08700"

STROKE = 'fill="none" stroke="#fff" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"'
FILL = 'fill="#fff"'

GLYPHS = {
    "folder": f'<path {STROKE} d="M5 8h5l1.5 2H19v7H5z"/>',
    "monitor": f'<rect {STROKE} x="5" y="6" width="14" height="10" rx="1"/><path {STROKE} d="M9 19h6M12 16v3"/>',
    "align": f'<rect {FILL} x="9" y="5" width="6" height="5" rx="0.5"/><path {STROKE} d="M5 13h14M5 13v5h14v-5"/>',
    "ontop": f'<rect {STROKE} x="5" y="9" width="10" height="9" rx="1"/><rect {FILL} x="10" y="5" width="9" height="8" rx="1"/>',
    "eye": f'<path {STROKE} d="M4 12c2.5-4 5-5.5 8-5.5s5.5 1.5 8 5.5c-2.5 4-5 5.5-8 5.5S6.5 16 4 12z"/><circle {FILL} cx="12" cy="12" r="2.5"/>',
    "gear": f'<circle {STROKE} cx="12" cy="12" r="3.5"/><path {STROKE} d="M12 4v2.5M12 17.5V20M4 12h2.5M17.5 12H20M6.3 6.3l1.8 1.8M15.9 15.9l1.8 1.8M6.3 17.7l1.8-1.8M15.9 8.1l1.8-1.8"/>',
    "bolt": f'<path {FILL} d="M13.5 4L7 13h4.5l-1 7L17 11h-4.5z"/>',
    "clock": f'<circle {STROKE} cx="12" cy="12" r="7"/><path {STROKE} d="M12 8v4l3 2"/>',
    "daily": f'<path {STROKE} d="M18.5 9A7 7 0 1 0 19 13"/><path {FILL} d="M20.5 5.5v5h-5z"/><path {STROKE} d="M12 9v3l2 1.5"/>',
    "record": '<circle fill="#fff" cx="12" cy="12" r="6"/><circle fill="#c62828" cx="12" cy="12" r="4"/>',
    "stop": f'<rect {FILL} x="7" y="7" width="10" height="10" rx="1"/>',
    "info": f'<circle {FILL} cx="12" cy="7" r="1.6"/><path {STROKE} d="M10 11h2v7M10 18h4"/>',
    "power": f'<path {STROKE} d="M8.5 7.5a6.5 6.5 0 1 0 7 0M12 4.5v7"/>',
    "play": f'<path {FILL} d="M9 6.5v11l9-5.5z"/>',
    "down": f'<path {STROKE} d="M7 10l5 5 5-5"/>',
    "up": f'<path {STROKE} d="M7 14l5-5 5 5"/>',
    "idle": f'<circle {STROKE} cx="12" cy="12" r="6"/>',
    "tv": f'<rect {STROKE} x="4.5" y="6.5" width="15" height="10" rx="1.5"/><path {STROKE} d="M9 4l3 2.5L15 4M8 19.5h8"/>',
    "warning": f'<path {STROKE} d="M12 7v6"/><circle {FILL} cx="12" cy="17" r="1.4"/>',
    "stopwatch": f'<circle {STROKE} cx="12" cy="13" r="6"/><path {STROKE} d="M12 13V10M10 4.5h4"/>',
}

# picture key -> (tile colour, glyph)
PICTURES = {
    "appMedia": (MEDIA, "folder"),
    "encMonitor": (MONITOR, "monitor"),
    "encAutoMove": (MONITOR, "align"),
    "encMonOntop": (MONITOR, "ontop"),
    "encPreview": (MONITOR, "eye"),
    "appSetup": (APP, "gear"),
    "encMost": (MODE, "bolt"),
    "enc1x": (MODE, "clock"),
    "encNapi": (MODE, "daily"),
    "encStart": (RECORD, "record"),
    "encStop": (RECORD, "stop"),
    "appAbout": (APP, "info"),
    "appExit": (APP, "power"),
    # The play button and the log panel's open/close button.
    "bitmap101": (MODE, "play"),
    "bitmap102": (APP, "down"),
    "bitmap103": (APP, "up"),
    # Status icons: inactive, program, encoder error, armed, recording.
    "icon101": (APP, "idle"),
    "icon102": (MONITOR, "tv"),
    "icon103": (WARN, "warning"),
    "icon104": (MODE, "stopwatch"),
    "icon105": (RECORD, "record"),
    # Menu pictures, beside the items named in their captions.
    "s_Key1": (MONITOR, "ontop"),
    "s_Key2": (MODE, "clock"),
    "s_Key3": (APP, "gear"),
    "s_Key4": (MONITOR, "eye"),
    "s_Key5": (RECORD, "record"),
    "s_Key6": (APP, "power"),
    "s_Key7": (RECORD, "stop"),
    "s_Key8": (MEDIA, "folder"),
    "s_Key9": (MONITOR, "align"),
    "s_Key10": (MONITOR, "monitor"),
    "s_Key11": (MODE, "bolt"),
    "s_Key12": (MODE, "daily"),
    "s_Key13": (APP, "info"),
}

TEMPLATE = ('<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">'
            '<rect x="1" y="1" width="22" height="22" rx="4" fill="{colour}"/>{glyph}</svg>\n')

# The program's logo (about and splash windows, 64 px and up): a screen with
# the record dot.
LOGO = ('<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">'
        '<rect x="2" y="2" width="60" height="60" rx="12" fill="#1f5fae"/>'
        '<rect x="10" y="14" width="44" height="30" rx="3" fill="none" stroke="#fff" stroke-width="4"/>'
        '<path d="M24 52h16M32 44v8" stroke="#fff" stroke-width="4" stroke-linecap="round"/>'
        '<circle cx="32" cy="29" r="9" fill="#c62828" stroke="#fff" stroke-width="2.5"/></svg>\n')


def main():
    OUT.mkdir(exist_ok=True)
    for key, (colour, glyph) in PICTURES.items():
        (OUT / f"{key}.svg").write_text(TEMPLATE.format(colour=colour, glyph=GLYPHS[glyph]))
    (OUT / "appLogo.svg").write_text(LOGO)
    keys = sorted(list(PICTURES) + ["appLogo"])
    lines = ['<RCC><qresource prefix="/pictures">']
    lines += [f'  <file alias="{k}">pictures/{k}.svg</file>' for k in keys]
    lines += ["</qresource></RCC>"]
    (ROOT / "kelm.qrc").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
