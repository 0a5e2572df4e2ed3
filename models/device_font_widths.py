#!/usr/bin/env python3
"""Writes device_font_widths.inc: the metrics of the standard model's resident
faces, taken once from the DejaVu fonts (fonts-dejavu-core) and scaled to the
device fonts' design grid of 1,000 units to the em.

For each face: the advance widths of the code page 1252 codes 0x20..0xFF
(a byte without a character gets the width of the space), the ascender, the
descender, the cap height and the x height.  Run it again only to change
the faces; the output is committed.

    python3 models/device_font_widths.py > models/device_font_widths.inc
"""
import struct
import sys

FOLDER = "/usr/share/fonts/truetype/dejavu/"
FACES = [
    ("kCourierWidths", "DejaVuSansMono.ttf"),
    ("kHelveticaWidths", "DejaVuSans.ttf"),
    ("kHelveticaBoldWidths", "DejaVuSans-Bold.ttf"),
    ("kTimesWidths", "DejaVuSerif.ttf"),
]


def tables(data):
    count = struct.unpack_from(">H", data, 4)[0]
    out = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        out[tag.decode("latin-1")] = (offset, length)
    return out


def cmap4(data, t):
    offset = t["cmap"][0]
    n = struct.unpack_from(">H", data, offset + 2)[0]
    for i in range(n):
        platform, encoding, sub = struct.unpack_from(">HHI", data, offset + 4 + 8 * i)
        if platform == 3 and encoding == 1:
            base = offset + sub
            break
    else:
        raise SystemExit("no Unicode cmap")
    segs = struct.unpack_from(">H", data, base + 6)[0] // 2
    ends = struct.unpack_from(">%dH" % segs, data, base + 14)
    starts = struct.unpack_from(">%dH" % segs, data, base + 16 + 2 * segs)
    deltas = struct.unpack_from(">%dh" % segs, data, base + 16 + 4 * segs)
    range_at = base + 16 + 6 * segs
    ranges = struct.unpack_from(">%dH" % segs, data, range_at)

    def glyph(code):
        for i in range(segs):
            if starts[i] <= code <= ends[i]:
                if ranges[i] == 0:
                    return (code + deltas[i]) & 0xFFFF
                at = range_at + 2 * i + ranges[i] + 2 * (code - starts[i])
                g = struct.unpack_from(">H", data, at)[0]
                return (g + deltas[i]) & 0xFFFF if g else 0
        return 0

    return glyph


def face(path):
    data = open(path, "rb").read()
    t = tables(data)
    units = struct.unpack_from(">H", data, t["head"][0] + 18)[0]
    ascender, descender = struct.unpack_from(">hh", data, t["hhea"][0] + 4)
    metrics = struct.unpack_from(">H", data, t["hhea"][0] + 34)[0]
    glyph = cmap4(data, t)
    long_loca = struct.unpack_from(">h", data, t["head"][0] + 50)[0] == 1

    def top(code):
        g = glyph(code)
        if long_loca:
            at = struct.unpack_from(">I", data, t["loca"][0] + 4 * g)[0]
        else:
            at = 2 * struct.unpack_from(">H", data, t["loca"][0] + 2 * g)[0]
        return struct.unpack_from(">h", data, t["glyf"][0] + at + 8)[0]

    cap_height, x_height = top(ord("H")), top(ord("x"))

    def advance(g):
        g = min(g, metrics - 1)
        return struct.unpack_from(">H", data, t["hmtx"][0] + 4 * g)[0]

    def scale(v):
        return int((v * 1000 + (units // 2 if v >= 0 else -(units // 2))) // units)

    widths = []
    for b in range(0x20, 0x100):
        try:
            ch = bytes([b]).decode("cp1252")
        except UnicodeDecodeError:
            ch = " "
        widths.append(scale(advance(glyph(ord(ch)))))
    return widths, scale(ascender), scale(-descender), scale(cap_height), scale(x_height)


def main():
    out = sys.stdout
    out.write("/* Written by models/device_font_widths.py from the DejaVu fonts; do not edit. */\n")
    for name, file in FACES:
        widths, ascent, descent, cap, x = face(FOLDER + file)
        out.write("\n/* %s: codes 0x20..0xFF. */\n" % file)
        out.write("constexpr FaceMetrics %s = {%d, %d, %d, %d, {\n" % (name, ascent, descent, cap, x))
        for i in range(0, len(widths), 16):
            out.write("    " + ", ".join("%d" % w for w in widths[i:i + 16]) + ",\n")
        out.write("}};\n")


main()
