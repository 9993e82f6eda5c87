#!/usr/bin/env python3
"""Draws every picture the program ships as flat PNG files: the skin
(owner-drawn widgets, frameless dialogs, panels) into resources/skin/, served
as ":/image/skin/...", and the run-time assets into effect/, copied beside
the program. Names may hold sub-folders ("login/qq.png").
Run from anywhere:
    python3 resources/draw_skin.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "skin")
EFFECT = os.path.join(os.path.dirname(HERE), "effect")

ORANGE = (0xFF, 0x55, 0x00)
GREY = (0x7F, 0x8B, 0x99)
BORDER = (0xEB, 0xEC, 0xF0)
SLOT = (0xF5, 0xF6, 0xF7)
WHITE = (0xFF, 0xFF, 0xFF)
ROSE = (0xA9, 0x65, 0x65)
SLATE = (0x2C, 0x3E, 0x50)
RED = (0xE8, 0x4C, 0x3D)
DARK_RED = (0xB0, 0x2E, 0x22)


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a); written as 8-bit RGBA, unfiltered rows."""
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


# Hard-edged pictures

def close_marks(size, inset, colours):
    """One size x size frame per colour, side by side: a close mark of two
    2 px diagonal strokes, inset px from the frame's edges."""
    last = size - 1

    def pixel(x, y):
        frame, fx = divmod(x, size)
        inside = inset <= fx <= last - inset and inset <= y <= last - inset
        on_stroke = abs(fx - y) <= 1 or abs(fx + y - last) <= 1
        return colours[frame] + (255,) if inside and on_stroke else (0, 0, 0, 0)
    return pixel


# Smooth pictures: layers of (colour, inside(x, y) -> bool), later layers on top

def layered(layers):
    """Each pixel is sampled 4 x 4 times for smooth edges."""
    n = 4

    def pixel(x, y):
        r = g = b = a = 0.0
        for colour, inside in layers:
            hits = sum(1 for sy in range(n) for sx in range(n)
                       if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n))
            cov = hits / (n * n)
            if cov == 0:
                continue
            # source-over with straight alpha
            na = cov + a * (1 - cov)
            r = (colour[0] * cov + r * a * (1 - cov)) / na
            g = (colour[1] * cov + g * a * (1 - cov)) / na
            b = (colour[2] * cov + b * a * (1 - cov)) / na
            a = na
        return (round(r), round(g), round(b), round(a * 255))
    return pixel


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def segment(x0, y0, x1, y1, half_width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= half_width
    return inside


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_box(x0, y0, x1, y1, radius):
    def inside(x, y):
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return x0 <= x < x1 and y0 <= y < y1 and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def triangle(p0, p1, p2):
    def side(a, b, x, y):
        return (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])

    def inside(x, y):
        s0, s1, s2 = side(p0, p1, x, y), side(p1, p2, x, y), side(p2, p0, x, y)
        return (s0 >= 0 and s1 >= 0 and s2 >= 0) or (s0 <= 0 and s1 <= 0 and s2 <= 0)
    return inside


def round_cross(colour_back):
    return layered([
        (colour_back, circle(8, 8, 7.5)),
        (WHITE, segment(5, 5, 11, 11, 0.9)),
        (WHITE, segment(11, 5, 5, 11, 0.9)),
    ])


PICTURES = {
    # chosen mark of the picture cells, drawn into a 16 x 16 corner square
    "choose.png": (16, 16, layered([
        (ORANGE, circle(8, 8, 7.5)),
        (WHITE, segment(4.2, 8.2, 7, 11, 1.0)),
        (WHITE, segment(7, 11, 12, 5, 1.0)),
    ])),
    # "add" look of an empty picture slot, centred at its own size
    "addelement.png": (24, 24, layered([
        (GREY, box(11, 2, 13, 22)),
        (GREY, box(2, 11, 22, 13)),
    ])),
    # remove button of the picture cells, 16 x 16, and its hover look
    "upclose.png": (16, 16, round_cross(GREY)),
    "upclose_b.png": (16, 16, round_cross(ORANGE)),
    # background of a picture slot, scaled into the picture area
    "picloadback.png": (104, 60, layered([(SLOT, box(0, 0, 104, 60))])),
    # marker of the active side tab, at the tab's right edge
    "triangle.png": (6, 12, layered([(BORDER, triangle((6, 0), (6, 12), (0, 6)))])),
    # down arrow of the combo boxes
    "comboarrow.png": (10, 6, layered([(GREY, triangle((0, 0), (10, 0), (5, 6)))])),
    # close button of the frameless dialogs (message box) and its hover look
    "cancelbtn.png": (20, 20, close_marks(20, 5, [GREY])),
    "cancelbtn_a.png": (20, 20, close_marks(20, 5, [ORANGE])),
    # close buttons of the web sign-in and captcha dialogs: sprites of four
    # 24 x 24 frames (normal, hover, pressed, spare), cut apart by the
    # buttons' border-image slices
    "btn_ThirdParty_close.png": (96, 24, close_marks(24, 6, [ROSE, RED, DARK_RED, GREY])),
    "btn_verify_close.png": (96, 24, close_marks(24, 6, [SLATE, RED, DARK_RED, GREY])),
    # watermark of the broadcast picture, served raw to the engine: a play
    # mark on a rounded plate
    "watermark.png": (56, 35, layered([
        (ORANGE, rounded_box(0, 0, 56, 35, 7)),
        (WHITE, triangle((22, 9), (22, 26), (37, 17.5))),
    ])),
}


# Each area adds its own pictures below its own heading, so that areas built
# side by side never edit the same lines.

# -- main window (title bar, workspace, preview, live panel, item list, settings)

# -- login dialog

# -- camera page, filter effects and camera quality dialog

# -- screen capture, region picker, text and picture editors

BLUE = (0x27, 0xA3, 0xED)


def monitor_picture():
    """The capture page's picture: a monitor with a dashed capture frame."""
    dashes = [box(x, 46, x + 8, 48) for x in range(52, 188, 14)]
    dashes += [box(x, 118, x + 8, 120) for x in range(52, 188, 14)]
    dashes += [box(52, y, 54, y + 8) for y in range(46, 120, 14)]
    dashes += [box(186, y, 188, y + 8) for y in range(46, 120, 14)]
    return layered([
        (BORDER, rounded_box(23, 20, 223, 160, 8)),
        (WHITE, box(33, 30, 213, 148)),
        (GREY, box(113, 160, 133, 186)),
        (GREY, rounded_box(83, 186, 163, 194, 3)),
    ] + [(ORANGE, d) for d in dashes])


PICTURES.update({
    # picture of the capture page (served under the name without extension)
    "insertscreen.png": (246, 222, monitor_picture()),
    # title marks of the text and picture editors, 24 x 16
    "text_title.png": (24, 16, layered([
        (BLUE, box(4, 1, 20, 4)),
        (BLUE, box(10, 1, 14, 15)),
    ])),
    "image_title.png": (24, 16, layered([
        (BLUE, rounded_box(2, 1, 22, 15, 2)),
        (WHITE, box(4, 3, 20, 13)),
        (BLUE, triangle((5, 12), (11, 6), (16, 12))),
        (BLUE, circle(17, 6, 1.8)),
    ])),
    # handle of the picture editor's transparency slider
    "alphaslider.png": (12, 20, layered([(BLUE, rounded_box(1, 1, 11, 19, 3))])),
    # drop-down arrows of the text editor's lists: idle, hovered or pressed
    "droparrow_a.png": (10, 6, layered([(GREY, triangle((0, 0), (10, 0), (5, 6)))])),
    "droparrow.png": (10, 6, layered([(BLUE, triangle((0, 0), (10, 0), (5, 6)))])),
})

# -- subtitles, pictures, pendants and special effects

# -- room-manager assistant


# Run-time assets under effect/, read by relative path from the program folder
EFFECTS = {
    # bottom picture of every scene, stretched over the canvas
    "background.png": (160, 90, layered([(SLATE, box(0, 0, 160, 90))])),
    # plate behind the system figures drawn on the preview overlay
    "systeminfo.png": (260, 22, layered([((0x26, 0x29, 0x38), rounded_box(0, 0, 260, 22, 4))])),
}


def draw_all(folder, pictures):
    for name, (width, height, pixel) in sorted(pictures.items()):
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_png(path, width, height, pixel)
        print(os.path.relpath(path, os.path.dirname(HERE)), width, height)


def main():
    draw_all(SKIN, PICTURES)
    draw_all(EFFECT, EFFECTS)


if __name__ == "__main__":
    main()
