#!/usr/bin/env python3
"""Draws the icon and lamp bitmaps shared by every language module as small PNG files.

Writes lang/images/mainicon.png (32 x 32), led_on.png and led_off.png (12 x 12). Only the
standard library is used: each image is a list of RGBA rows, packed with zlib and struct.
Run it again after changing a drawing; the PNG files are kept in the tree.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "images")


def png_bytes(pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def disc(size, inner, rim):
    """A filled circle with a darker rim on a transparent background."""
    centre = (size - 1) / 2.0
    radius = size / 2.0 - 0.5
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            d = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5
            if d > radius:
                row.append((0, 0, 0, 0))
            elif d > radius - 1.5:
                row.append(rim + (255,))
            else:
                row.append(inner + (255,))
        rows.append(row)
    return rows


def main_icon():
    """A record: black disc with two grooves, orange label, white spindle hole."""
    rows = disc(32, (20, 20, 24), (70, 70, 80))
    for y in range(32):
        for x in range(32):
            d = ((x - 15.5) ** 2 + (y - 15.5) ** 2) ** 0.5
            if d < 1.6:
                rows[y][x] = (255, 255, 255, 255)
            elif d < 6.5:
                rows[y][x] = (240, 140, 20, 255)
            elif 10.5 < d < 11.2 or 12.8 < d < 13.4:
                rows[y][x] = (60, 60, 66, 255)
    return rows


def write(name, pixels):
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(png_bytes(pixels))


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write("mainicon.png", main_icon())
    write("led_on.png", disc(12, (40, 230, 40), (10, 90, 10)))
    write("led_off.png", disc(12, (30, 70, 30), (10, 40, 10)))
