#!/usr/bin/env python3
"""Draws skin.bmp and korvel.ico for the main dialog.

Run from the repository root:  python3 ui/res/make_art.py
    --check          rebuild in memory and fail if the files differ or the art
                     would show under a visible control
    --overlay FILE   also write FILE, a BMP of the skin with the visible controls
                     outlined, to look at the alignment

The control captions and rectangles are read from korvel.rc, so the picture
follows the template. The output is the same bytes on every run: the font
below is drawn pixel by pixel and the file formats are written with struct.
"""

import re
import struct
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
RC_FILE = HERE / "korvel.rc"
SKIN_FILE = HERE / "skin.bmp"
ICON_FILE = HERE / "korvel.ico"

# Dialog base units of "MS Sans Serif" 8 at 96 dpi. The skin is shown only when
# the client area comes to exactly the bitmap's size with these.
BASE_X, BASE_Y = 6, 13

# The colour of the program's static brush: radio buttons and disabled fields
# are painted with it, so the background around every control must be exactly it.
GREEN = (106, 212, 172)
TEXT = (18, 54, 42)
FRAME_DARK = (52, 140, 108)
FRAME_LIGHT = (190, 246, 224)
EDGE = (84, 180, 144)

# Text metrics of the dialog font: a line is 13 px, capitals start 3 px below
# its top and are 8 px tall, descenders take the 2 px under the baseline.
LINE_HEIGHT = 13
CAP_OFFSET = 3
RADIO_BOX = 13          # the themed radio circle, drawn from the control's left
RADIO_TEXT_GAP = 4      # between that circle and its caption
GROUP_TEXT_INDENT = 8   # the group title starts this far right of the frame
TITLE_GAP = 3           # frame left out on either side of the title
FRAME_CLEARANCE = 2     # no art this close to a visible control

# Glyph rows top to bottom: rows 0-7 stand on the baseline, rows 8-9 hang below it.
GLYPHS = {
    " ": "... ... ... ... ... ... ... ...",
    "A": "..#.. .#.#. .#.#. #...# #...# ##### #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #.... #...# .###.",
    "E": "#### #... #... ###. #... #... #... ####",
    "F": "#### #... #... ###. #... #... #... #...",
    "I": "# # # # # # # #",
    "O": ".####. #....# #....# #....# #....# #....# #....# .####.",
    "P": "####. #...# #...# #...# ####. #.... #.... #....",
    "S": ".###. #...# #.... .###. ....# ....# #...# .###.",
    "a": "..... ..... .###. ....# .#### #...# #...# .####",
    "b": "#.... #.... ####. #...# #...# #...# #...# ####.",
    "c": ".... .... .### #... #... #... #... .###",
    "d": "....# ....# .#### #...# #...# #...# #...# .####",
    "e": "..... ..... .###. #...# ##### #.... #...# .###.",
    "f": ".## #.. ### #.. #.. #.. #.. #..",
    "g": "..... ..... .#### #...# #...# #...# #...# .#### ....# .###.",
    "h": "#.... #.... ####. #...# #...# #...# #...# #...#",
    "i": "# . # # # # # #",
    "l": "# # # # # # # #",
    "m": "....... ....... ###.##. #..#..# #..#..# #..#..# #..#..# #..#..#",
    "n": "..... ..... ####. #...# #...# #...# #...# #...#",
    "o": "..... ..... .###. #...# #...# #...# #...# .###.",
    "p": "..... ..... ####. #...# #...# #...# #...# ####. #.... #....",
    "r": "... ... #.# ##. #.. #.. #.. #..",
    "s": ".... .... .### #... ##.. ..## ...# ###.",
    "t": "... .#. ### .#. .#. .#. .#. ..#",
    "u": "..... ..... #...# #...# #...# #...# #...# .####",
    "y": "..... ..... #...# #...# #...# .#.#. .#.#. ..#.. ..#.. ##...",
    "z": ".... .... #### ...# ..#. .#.. #... ####",
}
GLYPH_SPACING = 1


def mul_div(value, base, divisor):
    """Windows' MulDiv for the non-negative values of a dialog template."""
    return (value * base + divisor // 2) // divisor


def to_pixels(rect):
    """Dialog units (x, y, w, h) to pixels, each term converted on its own as the dialog manager does."""
    x, y, w, h = rect
    return (mul_div(x, BASE_X, 4), mul_div(y, BASE_Y, 8), mul_div(w, BASE_X, 4), mul_div(h, BASE_Y, 8))


# --- the template --------------------------------------------------------------------

CONTROL_LINE = re.compile(
    r'^\s*CONTROL\s+("(?:[^"\\]|\\.)*"|\w+)\s*,\s*(\w+)\s*,\s*"(\w+)"\s*,\s*([^,]+?)\s*,'
    r'\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*$')
DIALOG_LINE = re.compile(r'^\s*IDD_TMP\s+DIALOGEX\s+\d+\s*,\s*\d+\s*,\s*(\d+)\s*,\s*(\d+)\s*$')


class Control:
    def __init__(self, caption, name, cls, style, rect):
        self.caption = caption
        self.name = name
        self.cls = cls.lower()
        self.styles = {s.strip() for s in style.split("|")}
        self.rect = rect
        self.px = to_pixels(rect)

    @property
    def visible(self):
        return "NOT WS_VISIBLE" not in self.styles


def read_template(text):
    """The dialog's client size in dialog units and its controls, in template order."""
    size = None
    controls = []
    for line in text.splitlines():
        m = DIALOG_LINE.match(line)
        if m:
            size = (int(m.group(1)), int(m.group(2)))
            continue
        m = CONTROL_LINE.match(line)
        if m:
            caption = m.group(1)
            if caption.startswith('"'):
                # The skin shows a caption as the control would, without underlining
                # its access key: "&&" is one "&", a single "&" is not drawn.
                caption = re.sub(r"&(.)", r"\1", caption[1:-1].replace("\\n", "\n"))
            rect = tuple(int(m.group(i)) for i in range(5, 9))
            controls.append(Control(caption, m.group(2), m.group(3), m.group(4), rect))
    if size is None or not controls:
        raise SystemExit(f"{RC_FILE.name}: dialog IDD_TMP or its controls not found")
    return size, controls


# --- drawing ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.set(x, y, colour)

    def vline(self, x, y0, y1, colour):
        for y in range(y0, y1 + 1):
            self.set(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        self.hline(left, right, top, colour)
        self.hline(left, right, bottom, colour)
        self.vline(left, top, bottom, colour)
        self.vline(right, top, bottom, colour)


def glyph_rows(ch):
    rows = GLYPHS[ch].split()
    width = len(rows[0])
    assert all(len(r) == width for r in rows), f"glyph {ch!r} has rows of different widths"
    return rows, width


def text_width(text):
    widths = [glyph_rows(ch)[1] for ch in text]
    return sum(widths) + GLYPH_SPACING * (len(widths) - 1)


def draw_text(canvas, x, line_top, text, colour=TEXT):
    """Draws one line; line_top is the top of the 13 px text line, as for DrawText."""
    top = line_top + CAP_OFFSET
    for ch in text:
        rows, width = glyph_rows(ch)
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    canvas.set(x + dx, top + dy, colour)
        x += width + GLYPH_SPACING


def draw_group(canvas, control):
    """An etched frame whose top line runs through the middle of the title, as a group box draws it."""
    x, y, w, h = control.px
    left, right, bottom = x, x + w - 1, y + h - 1
    top = y + LINE_HEIGHT // 2
    canvas.frame(left + 1, top + 1, right, bottom, FRAME_LIGHT)
    canvas.frame(left, top, right - 1, bottom - 1, FRAME_DARK)
    title_x = left + GROUP_TEXT_INDENT
    for gx in range(title_x - TITLE_GAP, title_x + text_width(control.caption) + TITLE_GAP):
        canvas.set(gx, top, GREEN)
        canvas.set(gx, top + 1, GREEN)
    draw_text(canvas, title_x, y, control.caption)


def draw_label(canvas, control):
    x, y, _, _ = control.px
    for n, line in enumerate(control.caption.split("\n")):
        draw_text(canvas, x, y + n * LINE_HEIGHT, line)


def radio_caption_at(control):
    """Where the caption goes: right of the circle, its line centred on the control's height."""
    x, y, _, h = control.px
    return x + RADIO_BOX + RADIO_TEXT_GAP, y + (h - LINE_HEIGHT + 1) // 2


def draw_radio_caption(canvas, control):
    tx, ty = radio_caption_at(control)
    draw_text(canvas, tx, ty, control.caption)


def draw_skin(size_du, controls):
    width = mul_div(size_du[0], BASE_X, 4)
    height = mul_div(size_du[1], BASE_Y, 8)
    canvas = Canvas(width, height, GREEN)
    # A thin inset edge at the client border, well clear of every control.
    canvas.hline(0, width - 1, 0, EDGE)
    canvas.vline(0, 0, height - 1, EDGE)
    canvas.hline(0, width - 1, height - 1, FRAME_LIGHT)
    canvas.vline(width - 1, 0, height - 1, FRAME_LIGHT)
    for c in controls:
        if c.visible and c.cls == "button" and "BS_AUTORADIOBUTTON" in c.styles:
            draw_radio_caption(canvas, c)
        elif c.visible:
            continue
        elif "BS_GROUPBOX" in c.styles:
            draw_group(canvas, c)
        elif c.cls == "static":
            draw_label(canvas, c)
        else:
            raise SystemExit(f"{c.name}: hidden control that the skin does not know how to show")
    return canvas


# --- the icon --------------------------------------------------------------------------

ICON_SIZE = 32


def draw_icon():
    """A file as a row of byte cells with a range marked in the skin's green, and below
    it the range cut out on its own: what the tool does, in one picture."""
    clear = (0, 0, 0, 0)
    icon = [[clear] * ICON_SIZE for _ in range(ICON_SIZE)]
    outline = (*TEXT, 255)
    cell = (236, 248, 243, 255)
    marked = (*GREEN, 255)
    shadow = (0, 0, 0, 72)
    cell_w, cell_h = 6, 8
    pitch = cell_w + 1
    left = (ICON_SIZE - (4 * pitch + 1)) // 2
    # (top, first cell, cells, first marked cell, last marked cell)
    rows = ((4, 0, 4, 1, 2), (19, 1, 2, 1, 2))
    for top, first, count, mark_from, mark_to in rows:
        x0 = left + first * pitch
        width = count * pitch + 1
        bottom = top + cell_h + 1
        # Shadow first, one pixel down and right, then the row over it.
        for y in range(top + 1, bottom + 2):
            for x in range(x0 + 1, x0 + width + 1):
                icon[y][x] = shadow
        for y in range(top, bottom + 1):
            for x in range(x0, x0 + width):
                index = first + (x - x0) // pitch
                on_line = y in (top, bottom) or (x - x0) % pitch == 0
                icon[y][x] = outline if on_line else (marked if mark_from <= index <= mark_to else cell)
        for cx, cy in ((x0, top), (x0 + width - 1, top), (x0, bottom), (x0 + width - 1, bottom)):
            icon[cy][cx] = clear
    # The marked cells drop straight down into the second row.
    for index in (1, 2):
        x = left + index * pitch + pitch // 2
        for y in range(rows[0][0] + cell_h + 2, rows[1][0]):
            icon[y][x] = outline
    return icon


# --- file formats ----------------------------------------------------------------------

def bmp_bytes(canvas):
    """A bottom-up 24-bit BI_RGB bitmap file."""
    stride = (canvas.width * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(canvas.pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        image += line
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(image), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + bytes(image)


def ico_bytes(icon):
    """One 32 x 32 image of 32 bits per pixel, with the AND mask the format carries."""
    size = len(icon)
    xor = bytearray()
    for row in reversed(icon):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(icon):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    image = info + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# --- checks ----------------------------------------------------------------------------

def placement_errors(canvas, controls):
    """What the skin would get wrong on the screen, as messages; empty when all is well."""
    errors = []
    for c in controls:
        if not c.visible or c.cls == "static":
            continue
        x, y, w, h = c.px
        for py in range(y - FRAME_CLEARANCE, y + h + FRAME_CLEARANCE):
            for px in range(x - FRAME_CLEARANCE, x + w + FRAME_CLEARANCE):
                if 0 <= px < canvas.width and 0 <= py < canvas.height and canvas.pixels[py][px] != GREEN:
                    errors.append(f"{c.name}: art at pixel ({px}, {py}) next to or under the control")
                    break
            else:
                continue
            break
    for c in controls:
        if c.visible or c.cls != "static":
            continue
        x, y, w, h = c.px
        lines = c.caption.split("\n")
        if max(text_width(line) for line in lines) > w or len(lines) * LINE_HEIGHT > h:
            errors.append(f"{c.name}: caption does not fit the label's rectangle {c.px}")
    return errors


def overlay_bytes(canvas, controls):
    marked = Canvas(canvas.width, canvas.height, GREEN)
    marked.pixels = [list(row) for row in canvas.pixels]
    for c in controls:
        if c.visible and c.cls != "static":
            x, y, w, h = c.px
            marked.frame(x, y, x + w - 1, y + h - 1, (230, 30, 30))
    return bmp_bytes(marked)


def main(argv):
    check = "--check" in argv
    overlay = argv[argv.index("--overlay") + 1] if "--overlay" in argv else None
    size_du, controls = read_template(RC_FILE.read_text())
    skin = draw_skin(size_du, controls)
    made = {SKIN_FILE: bmp_bytes(skin), ICON_FILE: ico_bytes(draw_icon())}
    errors = placement_errors(skin, controls)
    if overlay:
        Path(overlay).write_bytes(overlay_bytes(skin, controls))
    if check:
        for path, data in made.items():
            if not path.exists() or path.read_bytes() != data:
                errors.append(f"{path.name} is not what make_art.py makes: run it again")
    else:
        for path, data in made.items():
            path.write_bytes(data)
    for e in errors:
        print(e, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
