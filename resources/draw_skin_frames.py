#!/usr/bin/env python3
"""Draws the skin pictures of the frameless dialogs (the message box's close
button) as flat PNG files into resources/skin/. Run from anywhere:
    python3 resources/draw_skin_frames.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "skin")

GREY = (0x7F, 0x8B, 0x99)
ORANGE = (0xFF, 0x55, 0x00)


def write_png(path, width, height, pixel):
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width))
        for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def cross(rgb):
    """A 20 x 20 close mark: two diagonal strokes, 2 px wide, 5 px inset."""
    def pixel(x, y):
        inside = 5 <= x <= 14 and 5 <= y <= 14
        on_stroke = abs(x - y) <= 1 or abs(x + y - 19) <= 1
        return rgb + (255,) if inside and on_stroke else (0, 0, 0, 0)
    return pixel


def main():
    os.makedirs(SKIN, exist_ok=True)
    write_png(os.path.join(SKIN, "cancelbtn.png"), 20, 20, cross(GREY))
    write_png(os.path.join(SKIN, "cancelbtn_a.png"), 20, 20, cross(ORANGE))


if __name__ == "__main__":
    main()
