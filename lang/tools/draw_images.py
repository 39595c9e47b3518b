#!/usr/bin/env python3
"""Draws the icon and lamp bitmaps shared by every language module as small PNG files.

Writes lang/images/mainicon.png (32 x 32), led_on.png and led_off.png (12 x 12), and the
desktop icon in the hicolor theme's sizes under dist/icons/hicolor/. Only the standard library
is used: each image is a list of RGBA rows, packed with zlib and struct. Run it again after
changing a drawing; the PNG files are kept in the tree.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "images")
DESKTOP_ICONS = os.path.join(HERE, "..", "..", "dist", "icons", "hicolor")
DESKTOP_ICON_NAME = "org.veltro.Veltro.png"
DESKTOP_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256, 512)


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


def record_colour(d, angle):
    """The colour of the desktop icon's record at distance d (0 centre, 1 rim) and angle."""
    if d > 1.0:
        return (0, 0, 0, 0)
    if d < 0.055:
        return (250, 250, 250, 255)                      # spindle hole
    if d < 0.36:
        shade = 1.0 - 0.25 * d / 0.36
        return (int(245 * shade), int(140 * shade), int(20 * shade), 255)  # label
    if d > 0.965:
        return (80, 80, 92, 255)                         # rim
    groove = 0.5 + 0.5 * math.cos(d * 90.0)
    sheen = max(0.0, math.cos(2.0 * (angle - 0.8))) ** 6   # two light wedges across the grooves
    base = 18 + 10 * groove + 70 * sheen
    return (int(base), int(base), int(base + 6), 255)


def desktop_icon(size):
    """The record of the main icon drawn smoothly at `size` pixels, 4 x 4 samples per pixel."""
    centre = size / 2.0
    radius = size / 2.0 - max(0.5, size / 64.0)
    samples = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples - centre
                    py = y + (sy + 0.5) / samples - centre
                    r, g, b, a = record_colour(math.hypot(px, py) / radius, math.atan2(py, px))
                    total = [total[0] + r * a, total[1] + g * a, total[2] + b * a, total[3] + a]
            alpha = total[3] / (samples * samples)
            if total[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(total[0] / total[3]), round(total[1] / total[3]),
                            round(total[2] / total[3]), round(alpha)))
        rows.append(row)
    return rows


def write_desktop_icons():
    for size in DESKTOP_ICON_SIZES:
        folder = os.path.join(DESKTOP_ICONS, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, DESKTOP_ICON_NAME), "wb") as out:
            out.write(png_bytes(desktop_icon(size)))


def write(name, pixels):
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(png_bytes(pixels))


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write("mainicon.png", main_icon())
    write("led_on.png", disc(12, (40, 230, 40), (10, 90, 10)))
    write("led_off.png", disc(12, (30, 70, 30), (10, 40, 10)))
    write_desktop_icons()
