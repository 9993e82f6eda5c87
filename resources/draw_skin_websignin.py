#!/usr/bin/env python3
"""Draws the close buttons of the web sign-in and captcha dialogs as flat PNG
sprites into resources/skin/: 96 x 24, four 24 x 24 frames side by side
(normal, hover, pressed, spare), cut apart by the buttons' border-image
slices. Run from anywhere:
    python3 resources/draw_skin_websignin.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "skin")

GREY = (0x7F, 0x8B, 0x99)
ROSE = (0xA9, 0x65, 0x65)
SLATE = (0x2C, 0x3E, 0x50)
RED = (0xE8, 0x4C, 0x3D)
DARK_RED = (0xB0, 0x2E, 0x22)


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


def sprite(colours):
    """Four 24 x 24 frames, each a close mark of two 2 px diagonal strokes,
    6 px inset, in the frame's colour."""
    def pixel(x, y):
        frame, fx = divmod(x, 24)
        inside = 6 <= fx <= 17 and 6 <= y <= 17
        on_stroke = abs(fx - y) <= 1 or abs(fx + y - 23) <= 1
        return colours[frame] + (255,) if inside and on_stroke else (0, 0, 0, 0)
    return pixel


def main():
    os.makedirs(SKIN, exist_ok=True)
    write_png(os.path.join(SKIN, "btn_ThirdParty_close.png"), 96, 24,
              sprite([ROSE, RED, DARK_RED, GREY]))
    write_png(os.path.join(SKIN, "btn_verify_close.png"), 96, 24,
              sprite([SLATE, RED, DARK_RED, GREY]))


if __name__ == "__main__":
    main()
