#!/usr/bin/env python3
"""Writes the program's small icons as ready pixels (C++ source): the running
program then shows them without decoding a PNG, and so without Qt's image
reader, which lists and opens every image plugin before it reads one.

    icon_pixels.py OUTPUT.cpp NAME=FILE.png...

Reads 8-bit RGBA PNGs without interlacing (as data/icons holds them) and
fails on any other kind rather than guess."""
import struct
import sys
import zlib


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows, prior, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up, corner = prior[i], prior[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(left, up, corner)) & 0xFF
            elif kind != 0:
                raise ValueError(f"unknown row filter {kind}")
        rows.append(line)
        prior = line
    return rows


def read_rgba(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError(f"{path}: only 8-bit RGBA without interlacing is read")
    rows = unfilter(zlib.decompress(idat), width, height, 4)
    pixels = []
    for line in rows:
        for x in range(width):
            r, g, b, a = line[4 * x:4 * x + 4]
            r, g, b = (premultiplied(c, a) for c in (r, g, b))
            pixels.append((a << 24) | (r << 16) | (g << 8) | b)  # QImage::Format_ARGB32_Premultiplied
    return width, height, pixels


def premultiplied(channel, alpha):
    """A colour channel times alpha, rounded as Qt rounds it (qPremultiply):
    the pixels are already in the form a pixmap keeps, so Qt shows them from
    the program's own pages rather than converting a copy of each."""
    product = channel * alpha
    return (product + (product >> 8) + 0x80) >> 8


def main():
    output, inputs = sys.argv[1], sys.argv[2:]
    out = ["// Written by src/qthost/icon_pixels.py from data/icons at build time.",
           '#include "qthost/IconPixels.h"', "", "namespace velmora {", "namespace {", ""]
    entries = []
    for number, argument in enumerate(inputs):
        name, path = argument.split("=", 1)
        width, height, pixels = read_rgba(path)
        out.append(f"constexpr std::uint32_t kPixels{number}[] = {{")
        for start in range(0, len(pixels), 8):
            out.append("    " + ", ".join(f"0x{p:08x}u" for p in pixels[start:start + 8]) + ",")
        out.append("};")
        entries.append(f'    {{"{name}", {width}, {height}, kPixels{number}}},')
    out += ["", "constexpr IconPixels kIcons[] = {"] + entries + ["};", "", "} // namespace", "",
            "std::span<const IconPixels> iconPixels() { return kIcons; }", "", "} // namespace velmora", ""]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
