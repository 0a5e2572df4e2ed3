#!/usr/bin/env python3
"""Writes glyphset_932.bin, the glyph set of the device fonts of the Shift-JIS
character set: every UTF-16 code that code page 932 holds (taking the
round trip through the code page), with the code page's bytes as its glyph
handle (one byte, or lead byte x 256 + trail byte), grouped in runs of
consecutive codes.  U+00A5 gets the handle 0x5C, which a Japanese printer
font prints as the yen sign.

Layout, little-endian: size, flAccel (0), glyph count, run count (32 bits
each); each run {first code, glyph count (16 bits each), 4 reserved bytes};
then the 32-bit handles, run after run.

    python3 resources/glyphset_932.py resources/glyphset_932.bin
"""
import struct
import sys

handles = {}
for code in range(0x20, 0x10000):
    if 0xD800 <= code <= 0xDFFF:
        continue
    ch = chr(code)
    try:
        data = ch.encode("cp932")
    except UnicodeEncodeError:
        continue
    if data.decode("cp932") != ch:
        continue
    handles[code] = data[0] if len(data) == 1 else data[0] << 8 | data[1]
handles[0xA5] = 0x5C

runs = []
for code in sorted(handles):
    if runs and runs[-1][0] + len(runs[-1][1]) == code and len(runs[-1][1]) < 0xFFFF:
        runs[-1][1].append(handles[code])
    else:
        runs.append((code, [handles[code]]))

glyphs = sum(len(r[1]) for r in runs)
size = 16 + 8 * len(runs) + 4 * glyphs
out = bytearray(struct.pack("<IIII", size, 0, glyphs, len(runs)))
for first, hs in runs:
    out += struct.pack("<HHI", first, len(hs), 0)
for _, hs in runs:
    for h in hs:
        out += struct.pack("<I", h)
open(sys.argv[1], "wb").write(out)
