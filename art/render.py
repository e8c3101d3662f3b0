#!/usr/bin/env python3
"""Renders the studio's pictures from the SVG sources in art/svg into res/.

Needs rsvg-convert (Debian: librsvg2-bin) and, for the splash, cjpeg
(Debian: libjpeg-turbo-progs). Only needed when a picture changes: the
rendered files are kept in res/, so building the program needs neither.

    python3 art/render.py            # render everything
    python3 art/render.py bin bout   # only these sources

The program draws pictures with on/off transparency (any alpha but zero is
opaque), so soft edges from the renderer are settled here: each picture is
blended over the colour it will usually stand on and then either kept (alpha
at least the threshold) or dropped. Cursors become pure black, white and
transparent, which is all a cursor picture may hold.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SVG = os.path.join(HERE, "svg")
RES = os.path.join(os.path.dirname(HERE), "res")

TOOLBOX_FACE = (0xE6, 0xE6, 0xE6)
TIMELINE_FACE = (0xC0, 0xC0, 0xC0)
DIALOG_FACE = (0xEF, 0xEF, 0xEF)
WHITE = (0xFF, 0xFF, 0xFF)

# source name -> (output file, size, mode, background)
#   mode "icon": on/off transparency, soft edges blended over the background
#   mode "opaque": flattened onto the background
#   mode "cursor": black, white and transparent only
#   mode "jpeg": flattened, written as JPEG
PICTURES = {}


def picture(source, out, size, mode="icon", background=None):
    PICTURES[source] = (out, size, mode, background)


# Tool box buttons, 24 x 20, on the tool box face.
for name in ("bplaymode", "beditmode", "binsvideo", "binsimage", "bdrawplaybtn",
             "bdrawbtn", "bsetin", "bsetout", "bdrawpath", "bdrawoval",
             "bdrawvline", "bdrawhline", "bflippath"):
    picture(name, name + ".png", (24, 20), "icon", TOOLBOX_FACE)

# Timeline: toggles, object and event icons (16 x 16), in/out markers.
for name in ("bcheck", "buncheck", "block", "bunlock", "bmovie", "bimage", "bdm",
             "bplay", "bjump", "bsound", "blink", "bparam"):
    picture(name, name + ".png", (16, 16), "icon", TIMELINE_FACE)
picture("bin", "bin.png", (10, 16), "icon", TIMELINE_FACE)
picture("bout", "bout.png", (10, 16), "icon", TIMELINE_FACE)

# Editor cursors.
picture("cdrawpath", "cdrawpath.png", (32, 32), "cursor")
picture("cfingergrip", "cfingergrip.png", (32, 32), "cursor")

# Picture chooser folder, drawn on the white grid.
picture("folder", "folder.png", (80, 60), "opaque", WHITE)

# Button pictures placed on the stage; they stand over video, so no blending.
picture("playbutton", "playbutton.png", (48, 48), "icon", None)
picture("jumpbutton", "jumpbutton.png", (48, 48), "icon", None)
picture("stopbutton", "stopbutton.png", (48, 48), "icon", None)

# Image buttons of the still-picture list: normal, pressed, rollover, disabled.
for base in ("iup", "idown"):
    for state in "nprd":
        picture(base + state, base + state + ".png", (46, 30), "icon", DIALOG_FACE)
for state in "nprd":
    picture("preview" + state, "preview" + state + ".png", (190, 150), "opaque", DIALOG_FACE)

picture("aboutlogo", "aboutlogo.png", (64, 64), "icon", DIALOG_FACE)
picture("tavlinlogo", "tavlinlogo.jpg", (480, 300), "jpeg", (0, 0, 0))

# Pictures also rendered at twice their size, as NAME@2x.png, for screens
# with two device pixels per unit; the program falls back to the plain file.
DOUBLED = ("bplaymode", "beditmode", "binsvideo", "binsimage", "bdrawplaybtn",
           "bdrawbtn", "bsetin", "bsetout", "bdrawpath", "bdrawoval",
           "bdrawvline", "bdrawhline", "bflippath")

ALPHA_THRESHOLD = 100


# --- PNG reading and writing (8-bit RGB or RGBA, what rsvg-convert writes) --

def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(path + ": expected 8-bit RGB or RGBA, not interlaced")
            channels = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        rows.append(line)
        prev = line
    pixels = []
    for line in rows:
        if channels == 4:
            pixels.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        else:
            pixels.append([tuple(line[i:i + 3]) + (255,) for i in range(0, stride, 3)])
    return pixels


def write_png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in pixels)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# --- settling transparency ---------------------------------------------------

def blend(px, background):
    r, g, b, a = px
    if background is None or a == 255:
        return (r, g, b)
    k = a / 255.0
    return tuple(int(round(c * k + bg * (1 - k))) for c, bg in zip((r, g, b), background))


def settle(pixels, mode, background):
    out = []
    for row in pixels:
        line = []
        for px in row:
            a = px[3]
            if mode in ("opaque", "jpeg"):
                line.append(blend(px, background) + (255,))
            elif mode == "cursor":
                if a < 128:
                    line.append((0, 0, 0, 0))
                else:
                    lum = 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2]
                    line.append((0, 0, 0, 255) if lum < 128 else (255, 255, 255, 255))
            else:
                line.append(blend(px, background) + (255,) if a >= ALPHA_THRESHOLD else (0, 0, 0, 0))
        out.append(line)
    return out


def render(source, factor=1):
    out, (w, h), mode, background = PICTURES[source]
    if factor != 1:
        stem, ext = os.path.splitext(out)
        out, w, h = "%s@%dx%s" % (stem, factor, ext), w * factor, h * factor
    svg = os.path.join(SVG, source + ".svg")
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "raw.png")
        subprocess.run(["rsvg-convert", "-w", str(w), "-h", str(h), "-o", raw, svg], check=True)
        pixels = settle(read_png(raw), mode, background)
        target = os.path.join(RES, out)
        if mode == "jpeg":
            ppm = os.path.join(tmp, "flat.ppm")
            with open(ppm, "wb") as f:
                f.write(b"P6\n%d %d\n255\n" % (w, h))
                f.write(bytes(v for row in pixels for px in row for v in px[:3]))
            with open(target, "wb") as f:
                subprocess.run(["cjpeg", "-quality", "92", "-optimize", ppm], stdout=f, check=True)
        else:
            write_png(target, pixels)
    print("rendered", out)


def main(names):
    for name in names or sorted(PICTURES):
        if name not in PICTURES:
            sys.exit("unknown picture source: " + name)
        render(name)
        if name in DOUBLED:
            render(name, 2)


if __name__ == "__main__":
    main(sys.argv[1:])
