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

# Workspace, preview and source tabs: the side tab pictures (28 x 28, grey
# while idle, orange while active), the preview's camera placeholder and the
# item list's picture of a screen capture.


def camera_glyph(colour, x0, y0, scale):
    """A camera body with a lens, 28 units wide and 20 high."""
    def at(x, y):
        return x0 + x * scale, y0 + y * scale
    bx0, by0 = at(2, 6)
    bx1, by1 = at(26, 24)
    hx0, hy0 = at(9, 3)
    hx1, hy1 = at(19, 7)
    cx, cy = at(14, 15)
    return [
        (colour, rounded_box(bx0, by0, bx1, by1, 2.5 * scale)),
        (colour, box(hx0, hy0, hx1, hy1)),
        (WHITE, circle(cx, cy, 5.5 * scale)),
        (colour, circle(cx, cy, 3.5 * scale)),
    ]


def picture_glyph(colour):
    return [
        (colour, rounded_box(3, 5, 25, 23, 2)),
        (WHITE, box(5, 7, 23, 21)),
        (colour, triangle((6, 20), (12, 11), (18, 20))),
        (colour, triangle((13, 20), (18, 14), (23, 20))),
        (colour, circle(19, 10.5, 1.8)),
    ]


def text_glyph(colour):
    return [
        (colour, box(5, 5, 23, 9)),
        (colour, box(12, 5, 16, 24)),
    ]


def screen_glyph(colour, x0, y0, scale):
    def at(x, y):
        return x0 + x * scale, y0 + y * scale
    sx0, sy0 = at(3, 4)
    sx1, sy1 = at(25, 19)
    ix0, iy0 = at(5, 6)
    ix1, iy1 = at(23, 17)
    nx0, ny0 = at(12, 19)
    nx1, ny1 = at(16, 22)
    fx0, fy0 = at(8, 22)
    fx1, fy1 = at(20, 24)
    return [
        (colour, rounded_box(sx0, sy0, sx1, sy1, 1.5 * scale)),
        (WHITE, box(ix0, iy0, ix1, iy1)),
        (colour, box(nx0, ny0, nx1, ny1)),
        (colour, box(fx0, fy0, fx1, fy1)),
    ]


PICTURES.update({
    "beauty.png": (28, 28, layered(camera_glyph(GREY, 0, 0, 1))),
    "beauty_a.png": (28, 28, layered(camera_glyph(ORANGE, 0, 0, 1))),
    "picsetting.png": (28, 28, layered(picture_glyph(GREY))),
    "picsetting_a.png": (28, 28, layered(picture_glyph(ORANGE))),
    "fontsetting.png": (28, 28, layered(text_glyph(GREY))),
    "fontsetting_a.png": (28, 28, layered(text_glyph(ORANGE))),
    "snotscreen.png": (28, 28, layered(screen_glyph(GREY, 0, 0, 1))),
    "snotscreen_a.png": (28, 28, layered(screen_glyph(ORANGE, 0, 0, 1))),
    # placeholder of the preview while no camera runs, and its start button
    "notactivecamera.png": (84, 60, layered(camera_glyph((0x5A, 0x5E, 0x6B), 0, 0, 3))),
    "activecamera_a.png": (131, 31, layered(
        [(ORANGE, rounded_box(0, 0, 131, 31, 4))] + camera_glyph(WHITE, 51.5, 1.5, 1))),
    # a screen capture in the item list, scaled into the 104 x 60 picture area
    "snotscreenmiddle.png": (104, 60, layered(
        [(SLOT, box(0, 0, 104, 60))] + screen_glyph(GREY, 31, 8, 1.5))),
})

# -- login dialog

# -- camera page, filter effects and camera quality dialog

# -- screen capture, region picker, text and picture editors

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
