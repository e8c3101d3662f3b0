#!/usr/bin/env python3
"""Writes the SVG sources of the small pictures into art/svg.

The icons share one palette and are drawn on the pixel grid of their final
size, so that they stay crisp once render.py has settled their edges. The
splash and the about-box logo are kept as hand-written SVG files beside them.

    python3 art/icons.py && python3 art/render.py
"""

import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "svg")

RED = "#e02828"      # drag path lines, as the editor draws them
BLUE = "#1e5ad2"     # drag path points
GREEN = "#2e9e3e"    # play, in point
DGREEN = "#1b6b27"
JBLUE = "#2d6bd2"    # jump, link
DBLUE = "#1a4590"
SRED = "#d23a2d"     # stop, out point
DRED = "#8e1f17"
INK = "#303030"
SKY = "#8ec1f5"
HILL = "#3c8c3c"
SUN = "#f5c518"
GOLD = "#e0a020"
DGOLD = "#7a5a10"

files = {}


def svg(w, h, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n{body.strip()}\n</svg>\n')


def pixels(rows, palette, dx=0, dy=0):
    """Pixel art as crisp squares: one character per pixel, "." is empty."""
    out = []
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != ".":
                out.append(f'<rect x="{x + dx}" y="{y + dy}" width="1" height="1" fill="{palette[ch]}"/>')
    return '<g shape-rendering="crispEdges">' + "".join(out) + "</g>"


def handle(x, y):
    """A drag path point, drawn like the editor's point handles."""
    return f'<rect x="{x - 1.5}" y="{y - 1.5}" width="3" height="3" fill="{BLUE}" shape-rendering="crispEdges"/>'


def crisp_rect(x, y, w, h, fill):
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{fill}" shape-rendering="crispEdges"/>'


# ---- tool box buttons, 24 x 20 ------------------------------------------------

files["bplaymode"] = svg(24, 20, f'''
<polygon points="7.5,3.5 18.5,10 7.5,16.5" fill="{GREEN}" stroke="{DGREEN}" stroke-width="1" stroke-linejoin="round"/>''')

ARROW = [
    "X...........",
    "XX..........",
    "XWX.........",
    "XWWX........",
    "XWWWX.......",
    "XWWWWX......",
    "XWWWWWX.....",
    "XWWWWWWX....",
    "XWWWWWWWX...",
    "XWWWWWWWWX..",
    "XWWWWWXXXXX.",
    "XWWXWWX.....",
    "XWX.XWWX....",
    "XX..XWWX....",
    "X....XWWX...",
    ".....XWWX...",
    "......XX....",
]
files["beditmode"] = svg(24, 20, pixels(ARROW, {"X": "#000000", "W": "#ffffff"}, dx=7, dy=1))

FILM_HOLES = "".join(crisp_rect(x, y, 2, 2, "#e8e8e8") for y in (4, 14) for x in (4, 8, 12, 16))
files["binsvideo"] = svg(24, 20, f'''
{crisp_rect(3, 3, 18, 14, "#404040")}
{FILM_HOLES}
{crisp_rect(4, 7, 16, 6, SKY)}
{crisp_rect(11, 7, 1, 6, "#404040")}''')

files["binsimage"] = svg(24, 20, f'''
<rect x="3.5" y="3.5" width="17" height="13" fill="{SKY}" stroke="{INK}" stroke-width="1"/>
<polygon points="4,16 9.5,9 13,13 15,11 20,16" fill="{HILL}"/>
<circle cx="16.5" cy="7.5" r="2" fill="{SUN}"/>''')

files["bdrawplaybtn"] = svg(24, 20, f'''
<circle cx="12" cy="10" r="7.5" fill="{GREEN}" stroke="{DGREEN}" stroke-width="1"/>
<polygon points="10,6 16,10 10,14" fill="#ffffff"/>''')

files["bdrawbtn"] = svg(24, 20, f'''
<circle cx="12" cy="10" r="7.5" fill="{JBLUE}" stroke="{DBLUE}" stroke-width="1"/>
<polygon points="8.5,6 13.5,10 8.5,14" fill="#ffffff"/>
{crisp_rect(14, 6, 2, 8, "#ffffff")}''')

files["bsetin"] = svg(24, 20, f'''
{crisp_rect(7, 2, 2, 16, DGREEN)}
<polygon points="9,2 18,6.5 9,11" fill="{GREEN}"/>''')

files["bsetout"] = svg(24, 20, f'''
{crisp_rect(15, 2, 2, 16, DRED)}
<polygon points="15,2 6,6.5 15,11" fill="{SRED}"/>''')

files["bdrawpath"] = svg(24, 20, f'''
<path d="M4.5,15.5 C6,5 10,17 13,10 S17,3.5 19.5,5.5" fill="none" stroke="{RED}" stroke-width="2" stroke-linecap="round"/>
{handle(4.5, 15.5)}{handle(19.5, 5.5)}''')

files["bdrawoval"] = svg(24, 20, f'''
<ellipse cx="12" cy="10" rx="8" ry="6" fill="none" stroke="{RED}" stroke-width="2"/>
{handle(12.5, 4.5)}''')

files["bdrawvline"] = svg(24, 20, f'''
{crisp_rect(11, 4, 2, 12, RED)}
{handle(12.5, 3.5)}{handle(12.5, 16.5)}''')

files["bdrawhline"] = svg(24, 20, f'''
{crisp_rect(5, 9, 14, 2, RED)}
{handle(4.5, 10.5)}{handle(19.5, 10.5)}''')

files["bflippath"] = svg(24, 20, f'''
{crisp_rect(4, 5, 12, 2, RED)}
<polygon points="15,2 20,6 15,10" fill="{RED}"/>
{crisp_rect(8, 13, 12, 2, INK)}
<polygon points="9,10 4,14 9,18" fill="{INK}"/>''')

# ---- timeline: toggles, kind icons, in and out markers ------------------------

BOX = '<rect x="2.5" y="2.5" width="11" height="11" fill="#ffffff" stroke="#404040" stroke-width="1"/>'
TICK = [
    ".......X",
    "......XX",
    "X....XX.",
    "XX..XX..",
    ".XXXX...",
    "..XX....",
]
files["bcheck"] = svg(16, 16, BOX + pixels(TICK, {"X": "#202020"}, dx=4, dy=5))
files["buncheck"] = svg(16, 16, BOX)

files["block"] = svg(16, 16, f'''
<path d="M5.5,8 V5.5 a2.5,2.5 0 0 1 5,0 V8" fill="none" stroke="#505050" stroke-width="1.6"/>
<rect x="3.5" y="7.5" width="9" height="7" fill="{GOLD}" stroke="{DGOLD}" stroke-width="1"/>
{crisp_rect(7, 9, 2, 3, "#5a4008")}''')

files["bunlock"] = svg(16, 16, f'''
<path d="M10.5,8 V4 a2.5,2.5 0 0 0 -5,0 V5" fill="none" stroke="#8a8a8a" stroke-width="1.6"/>
<rect x="3.5" y="7.5" width="9" height="7" fill="#ececec" stroke="#8a8a8a" stroke-width="1"/>
{crisp_rect(7, 9, 2, 3, "#8a8a8a")}''')

files["bmovie"] = svg(16, 16, f'''
{crisp_rect(1, 2, 14, 12, "#404040")}
{"".join(crisp_rect(x, y, 2, 2, "#e8e8e8") for y in (3, 11) for x in (2, 5, 9, 12))}
{crisp_rect(2, 6, 12, 4, SKY)}''')

files["bimage"] = svg(16, 16, f'''
<rect x="1.5" y="2.5" width="13" height="11" fill="{SKY}" stroke="{INK}" stroke-width="1"/>
<polygon points="2,13 6.5,7 9.5,10.5 11,9 14,13" fill="{HILL}"/>
<circle cx="11" cy="5.5" r="1.6" fill="{SUN}"/>''')

files["bdm"] = svg(16, 16, f'''
<path d="M2.5,13.5 C2.5,6 8,12 8,7.5 S12,2.5 13.5,2.5" fill="none" stroke="{RED}" stroke-width="1.8" stroke-linecap="round"/>
{handle(2.5, 13.5)}{handle(13.5, 2.5)}''')

files["bplay"] = svg(16, 16, f'''
<polygon points="3.5,2.5 13.5,8 3.5,13.5" fill="{GREEN}" stroke="{DGREEN}" stroke-width="1" stroke-linejoin="round"/>''')

files["bjump"] = svg(16, 16, f'''
<polygon points="2.5,2.5 10,8 2.5,13.5" fill="{JBLUE}" stroke="{DBLUE}" stroke-width="1" stroke-linejoin="round"/>
<rect x="11.5" y="2.5" width="2" height="11" fill="{JBLUE}" stroke="{DBLUE}" stroke-width="1" shape-rendering="crispEdges"/>''')

SPEAKER = [
    "....X.........",
    "...XX.....X...",
    "..XXX..X...X..",
    "XXXXX...X...X.",
    "XXXXX...X...X.",
    "XXXXX...X...X.",
    "XXXXX...X...X.",
    "..XXX..X...X..",
    "...XX.....X...",
    "....X.........",
]
files["bsound"] = svg(16, 16, pixels(SPEAKER, {"X": "#404040"}, dx=1, dy=3))

files["blink"] = svg(16, 16, f'''
<g transform="rotate(-45 8 8)" fill="none" stroke="{JBLUE}" stroke-width="1.8">
<rect x="0.8" y="5.5" width="8" height="5" rx="2.5"/>
<rect x="7.2" y="5.5" width="8" height="5" rx="2.5"/>
</g>''')

files["bparam"] = svg(16, 16, f'''
<g shape-rendering="crispEdges">
{crisp_rect(1, 4, 14, 2, "#404040")}
<rect x="9.5" y="2.5" width="3" height="5" fill="{GOLD}" stroke="{DGOLD}" stroke-width="1"/>
{crisp_rect(1, 11, 14, 2, "#404040")}
<rect x="3.5" y="9.5" width="3" height="5" fill="{GOLD}" stroke="{DGOLD}" stroke-width="1"/>
</g>''')

# The in marker stands at the in frame's left edge, the out marker ends at the
# out frame's right edge: each has its pole on that side.
files["bin"] = svg(10, 16, f'''
{crisp_rect(0, 0, 2, 16, DGREEN)}
<polygon points="2,0 10,4 2,8" fill="{GREEN}"/>''')
files["bout"] = svg(10, 16, f'''
{crisp_rect(8, 0, 2, 16, DRED)}
<polygon points="8,0 0,4 8,8" fill="{SRED}"/>''')

# ---- editor cursors, 32 x 32: black, white and transparent only --------------

# The pencil's tip is the hot spot (0, 0).
files["cdrawpath"] = svg(32, 32, '''
<polygon points="0.8,0.8 7.3,3.1 21.5,17.3 17.3,21.5 3.1,7.3" fill="#ffffff" stroke="#000000" stroke-width="1.3" stroke-linejoin="round"/>
<line x1="7.3" y1="3.1" x2="3.1" y2="7.3" stroke="#000000" stroke-width="1.3"/>
<line x1="18.7" y1="14.5" x2="14.5" y2="18.7" stroke="#000000" stroke-width="1.3"/>
<polygon points="0,0 3.6,1.3 1.3,3.6" fill="#000000"/>''')

# A closed hand, centred near (16, 17) where a hot spot in the middle of the
# grip falls. The shapes are drawn once thick in black and again in white on
# top, which leaves only the outline of their union.
HAND = '''
<rect x="7" y="12" width="18" height="13" rx="5"/>
<circle cx="10" cy="12.5" r="2.6"/><circle cx="14.3" cy="11" r="2.6"/><circle cx="18.6" cy="11" r="2.6"/><circle cx="22.5" cy="12.5" r="2.6"/>
<ellipse cx="7.5" cy="17.5" rx="3" ry="2.4"/>
<rect x="10" y="22" width="13" height="6" rx="2"/>'''
files["cfingergrip"] = svg(32, 32, f'''
<g fill="#000000" stroke="#000000" stroke-width="2.4">{HAND}</g>
<g fill="#ffffff">{HAND}</g>
<g stroke="#000000" stroke-width="1.2">
<line x1="12.2" y1="11.5" x2="12.2" y2="15"/><line x1="16.5" y1="10.5" x2="16.5" y2="15"/><line x1="20.6" y1="11.5" x2="20.6" y2="15"/>
</g>''')

# ---- picture chooser folder, 80 x 60 (the size of a thumbnail) --------------

files["folder"] = svg(80, 60, '''
<defs><linearGradient id="front" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#fbdc7c"/><stop offset="1" stop-color="#eebd3e"/></linearGradient></defs>
<path d="M11.5,8.5 H31 l4,5 H68.5 a2,2 0 0 1 2,2 V51.5 H9.5 V10.5 a2,2 0 0 1 2,-2 z" fill="#dfa92c" stroke="#a67c1a" stroke-width="1"/>
<rect x="13.5" y="16.5" width="53" height="30" fill="#ffffff" stroke="#c8c8c8" stroke-width="1"/>
<path d="M9.5,22.5 H70.5 V49.5 a2,2 0 0 1 -2,2 H11.5 a2,2 0 0 1 -2,-2 z" fill="url(#front)" stroke="#a67c1a" stroke-width="1"/>''')


# ---- buttons placed on the stage, 48 x 48 -------------------------------------

def round_button(light, dark, edge, glyph):
    return svg(48, 48, f'''
<defs><radialGradient id="g" cx="0.4" cy="0.3" r="0.8">
<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/></radialGradient></defs>
<circle cx="24" cy="24" r="22" fill="url(#g)" stroke="{edge}" stroke-width="2.5"/>
<ellipse cx="24" cy="14" rx="14" ry="7" fill="#ffffff" fill-opacity="0.25"/>
{glyph}''')


files["playbutton"] = round_button(
    "#6fd67b", "#1f8a32", "#145c22",
    '<polygon points="19,14 35,24 19,34" fill="#ffffff" stroke="#ffffff" stroke-width="2" stroke-linejoin="round"/>')
files["jumpbutton"] = round_button(
    "#6fa3f0", "#1f56b8", "#143a7c",
    '<polygon points="15,15 28,24 15,33" fill="#ffffff" stroke="#ffffff" stroke-width="2" stroke-linejoin="round"/>'
    '<rect x="29" y="14" width="5" height="20" rx="1" fill="#ffffff"/>')
files["stopbutton"] = round_button(
    "#f07a6e", "#b8281c", "#7c1810",
    '<rect x="16" y="16" width="16" height="16" rx="2" fill="#ffffff"/>')

# ---- image buttons of the still-picture list, 46 x 30 -------------------------
# States: n normal, p pressed, r pointer over it, d disabled.
FACES = {
    "n": ("#fdfdfd", "#e2e2e2", "#9a9a9a", "#303030", 0),
    "p": ("#cfcfcf", "#e6e6e6", "#707070", "#202020", 1),
    "r": ("#ffffff", "#e8f0fb", "#3a7bd5", "#1a4590", 0),
    "d": ("#f4f4f4", "#f4f4f4", "#c4c4c4", "#b4b4b4", 0),
}
for base, points in (("iup", "23,8 31,20 15,20"), ("idown", "23,22 31,10 15,10")):
    for state, (top, bottom, edge, ink, shift) in FACES.items():
        files[base + state] = svg(46, 30, f'''
<defs><linearGradient id="f" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/></linearGradient></defs>
<rect x="0.5" y="0.5" width="45" height="29" rx="3" fill="url(#f)" stroke="{edge}" stroke-width="1"/>
<polygon points="{points}" transform="translate({shift} {shift})" fill="{ink}" stroke="{ink}" stroke-width="1" stroke-linejoin="round"/>''')

# ---- preview area of the still-picture list, 190 x 150 ------------------------
# The selected picture is drawn over it; empty, it shows a faint picture sign.
for state in "nprd":
    faint = "#e4e4e4" if state != "d" else "#eeeeee"
    files["preview" + state] = svg(190, 150, f'''
<rect x="0.5" y="0.5" width="189" height="149" fill="#ffffff" stroke="#a0a0a0" stroke-width="1"/>
{crisp_rect(1, 1, 188, 1, "#c8c8c8")}
<g transform="translate(71 55)">
<rect x="1" y="1" width="46" height="36" fill="none" stroke="{faint}" stroke-width="2"/>
<polygon points="4,34 17,16 26,27 31,21 44,34" fill="{faint}"/>
<circle cx="34" cy="10" r="4" fill="{faint}"/>
</g>''')


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, text in sorted(files.items()):
        with open(os.path.join(OUT, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(text)
    print(len(files), "icon sources written")


if __name__ == "__main__":
    main()
