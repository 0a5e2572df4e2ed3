#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_pxllist: small hand-made jobs, one per
area of the lister (PJL, session and pages, images of every compression,
user streams, fonts and text, paths, raster patterns, a form file).  Every
byte is written from the PCL XL tables; the JPEG is an 8 x 8 grey image made
once with libjpeg.  Usage: make_seeds.py OUTPUT_DIR"""
import os
import struct
import sys

UEL = b"\x1b%-12345X"
HEADER = b") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n"
JPEG = bytes.fromhex("ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183123251d283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c656763ffc0000b080008000801011100ffc4001f0000010501010101010100000000000000000102030405060708090a0bffc400b5100002010303020403050504040000017d01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9faffda0008010100003f0087c1b17fabafffd9")


def ub(v): return bytes([0xC0, v])
def u16(v): return b"\xC1" + struct.pack("<H", v)
def u32(v): return b"\xC2" + struct.pack("<I", v)
def s16(v): return b"\xC3" + struct.pack("<h", v)
def r32xy(x, y): return b"\xD5" + struct.pack("<ff", x, y)
def u16xy(x, y): return b"\xD1" + struct.pack("<HH", x, y)
def s16xy(x, y): return b"\xD3" + struct.pack("<hh", x, y)
def ubbox(*v): return b"\xE0" + bytes(v)
def uba(data): return b"\xC8\xC0" + bytes([len(data)]) + data
def uba16(data): return b"\xC8\xC1" + struct.pack("<H", len(data)) + data
def u16a(values): return b"\xC9\xC0" + bytes([len(values)]) + b"".join(struct.pack("<H", v) for v in values)
def a(i): return bytes([0xF8, i])
def data(d): return (b"\xFB" + bytes([len(d)]) if len(d) < 256 else b"\xFA" + struct.pack("<I", len(d))) + d


SESSION = u16xy(600, 600) + a(137) + ub(0) + a(134) + ub(3) + a(143) + b"\x41" + ub(0) + a(136) + ub(1) + a(130) + b"\x48"
END = b"\x49\x42"


def comment(text): return uba(text) + a(129) + b"\x47"
def page(source=None): return ub(0) + a(40) + (uba(b"TRAY5") + a(38) if source else b"") + ub(2) + a(37) + b"\x43"
def cspace(v): return ub(v) + a(3) + b"\x6A"
def begin_image(mapping, depth, w, h): return ub(mapping) + a(100) + ub(depth) + a(98) + u16(w) + a(108) + u16(h) + a(107) + u16xy(w, h) + a(103) + b"\xB0"
def read_image(start, height, mode, pad=None): return u16(start) + a(109) + u16(height) + a(99) + ub(mode) + a(101) + (ub(pad) + a(110) if pad is not None else b"") + b"\xB1"


def job(body):
    pjl = UEL + b"@PJL COMMENT DATE=01/02/2024\n@PJL SET JOBATTR=\"@HCPN=    2\"\n" + b" " * 20 + b"\n"
    trailer = UEL + b"@PJL COMMENT QZJOBINFO VERSION=1.1.0\n@PJL COMMENT QZJOBINFO END\n@EOJO\n"
    return pjl + HEADER + SESSION + body + END + trailer


FORM = HEADER + comment(b"FormResoX=600") + comment(b"FormResoY=600") + comment(b"ColorMode=1") + b"\x61" + cspace(1) + ub(0) + a(9) + b"\x63" + ubbox(10, 20, 30, 40) + a(66) + b"\xA0"

SEEDS = {
    "minimal.job": job(comment(b"start") + page() + b"\x44" + comment(b"EndPage of Physical")),
    "pjl_only.job": UEL + b"@PJL JOB MODE=PRINTER\n@PJL SET STRINGCODESET=UTF8\n@PJL EOJ\n",
    "state.job": job(page(True) + s16(90) + a(41) + b"\x76\x74" + s16xy(100, -100) + a(42) + b"\x75" + r32xy(1.0, 1.0) + a(43) + b"\x77"
                     + comment(b"QZSR=00") + cspace(2) + uba(b"\x10\x20\x30") + a(11) + b"\x63" + ub(0) + a(5) + b"\x79" + ub(204) + a(44) + b"\x7B"
                     + ub(1) + a(45) + b"\x78" + ub(1) + a(45) + b"\x7C" + u16(3) + a(75) + b"\x7A" + ub(0) + a(71) + b"\x71" + ub(0) + a(72) + b"\x72"
                     + u16(10) + a(73) + b"\x73" + u16a([3, 2]) + a(74) + b"\x70" + ub(0) + a(78) + b"\x70" + ub(0) + a(70) + b"\x6E"
                     + ub(0) + a(84) + b"\x7F" + ub(0) + a(83) + ubbox(0, 0, 100, 100) + a(66) + b"\x68" + b"\x69" + b"\x61\x60\x44"),
    "images.job": job(page() + cspace(1)
                      + begin_image(0, 2, 3, 2) + read_image(0, 2, 0) + data(bytes([1, 2, 3, 0, 4, 5, 6, 0])) + b"\xB2"
                      + begin_image(0, 2, 5, 2) + read_image(0, 2, 1) + data(bytes([0xFE, 1, 1, 2, 3, 0xFE, 0, 0xFC, 9, 0xFE, 0])) + b"\xB2"
                      + cspace(2) + begin_image(0, 2, 2, 3) + read_image(0, 2, 3) + data(bytes([7, 0, 0xA0, 1, 2, 3, 4, 5, 6, 2, 0, 4, 0x55]))
                      + read_image(2, 1, 3) + data(b"\x00\x00") + b"\xB2"
                      + cspace(1) + begin_image(0, 2, 8, 8) + read_image(0, 8, 2, 3) + data(JPEG) + b"\xB2"
                      + ub(1) + a(3) + ub(2) + a(2) + uba(bytes(16)) + a(6) + b"\x6A" + begin_image(1, 0, 10, 1) + read_image(0, 1, 0) + data(b"\xA5\xC0\x00\x00") + b"\xB2"
                      + b"\x44"),
    "pattern.job": job(page() + cspace(1) + ub(0) + a(100) + ub(2) + a(98) + u16(2) + a(108) + u16(2) + a(107) + u16xy(2, 2) + a(103)
                       + s16(5) + a(105) + ub(1) + a(104) + b"\xB3" + u16(0) + a(109) + u16(2) + a(99) + ub(0) + a(101) + b"\xB4"
                       + data(bytes([1, 2, 0, 0, 3, 4, 0, 0])) + b"\xB5" + s16(5) + a(8) + s16xy(3, 4) + a(12) + b"\x63" + b"\x44"),
    "paths.job": job(page() + b"\x85" + s16xy(10, 20) + a(76) + b"\x6B" + s16xy(-5, 7) + a(69) + b"\x9B"
                     + u16(2) + a(77) + ub(1) + a(80) + b"\x9D" + data(bytes([0xFF, 1, 2, 0xFE]))
                     + ub(3) + a(77) + ub(3) + a(80) + b"\x95" + data(struct.pack("<6h", -1, 2, 300, -300, 0, 32767))
                     + b"\x84\x86" + ubbox(1, 2, 3, 4) + a(66) + b"\x98" + b"\x44"),
    "fonts.job": job(uba(b"Font0001") + a(168) + ub(0) + a(169) + b"\x4F" + u16(4) + a(167) + b"\x50" + data(b"\x00\x01\x02\x03") + b"\x51"
                     + uba(b"Font0001") + a(168) + b"\x52" + u16(65) + a(162) + u32(3) + a(163) + b"\x53" + data(b"abc") + b"\x54"
                     + page() + uba(b"Font0001") + a(168) + b"\xC5" + struct.pack("<f", 12.0) + a(166) + u16(590) + a(170) + b"\x6F"
                     + u16(0) + a(161) + b"\x64" + r32xy(1.0, 1.0) + a(164) + b"\x65" + ub(0) + a(173) + b"\x56"
                     + u16a([65, 66]) + a(171) + b"\xCB\xC0\x02\x0A\x00\x0A\x00" + a(175) + b"\xA8"
                     + b"\x44" + uba(b"Font0001") + a(168) + b"\x55"),
    "stream.job": job(uba16(b"MACRO") + a(139) + b"\x5B" + u32(len(FORM)) + a(140) + b"\x5C" + data(FORM) + b"\x5D"
                      + page() + b"\x61" + uba16(b"MACRO") + a(139) + b"\x5E\x60\x44"),
    "form.xl": FORM + comment(b"EndJob"),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, content in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(content)
