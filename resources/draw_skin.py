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

# Main window, title bar and settings dialog (program entry's panels)

def title_icon(kind, colour):
    """28 x 28 title-bar button marks: close cross, minimise bar, settings gear."""
    if kind == "close":
        marks = [segment(9, 9, 19, 19, 1.0), segment(19, 9, 9, 19, 1.0)]
    elif kind == "min":
        marks = [box(8, 13, 20, 15)]
    else:
        ring = lambda x, y: 3.0 <= math.hypot(x - 14, y - 14) <= 5.5
        teeth = [segment(14 + 5 * math.cos(a), 14 + 5 * math.sin(a),
                         14 + 8 * math.cos(a), 14 + 8 * math.sin(a), 1.4)
                 for a in [i * math.pi / 4 for i in range(8)]]
        marks = [ring] + teeth
    return layered([(colour, m) for m in marks])


def title_gradient(width):
    def pixel(x, y):
        t = x / (width - 1)
        return (0xFF, round(0x46 + (0x55 - 0x46) * t), round(0x46 * (1 - t)), 255)
    return pixel


def write_ico(path, size, pixel):
    """A one-picture icon file: 32-bit BGRA bitmap, bottom-up, empty AND mask."""
    rows = []
    for y in reversed(range(size)):
        rows.append(b"".join(bytes((b, g, r, a)) for (r, g, b, a) in (pixel(x, y) for x in range(size))))
    mask = b"\x00" * (((size + 31) // 32) * 4 * size)
    image = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0) + b"".join(rows) + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


PALE = (0xFF, 0xD9, 0xC7)
PICTURES.update({
    # title bar background, 1200 x 48: the primary gradient
    "titlebar.png": (1200, 48, title_gradient(1200)),
    # title bar buttons, white, and their hover looks
    "close.png": (28, 28, title_icon("close", WHITE)),
    "close_a.png": (28, 28, title_icon("close", PALE)),
    "min.png": (28, 28, title_icon("min", WHITE)),
    "min_a.png": (28, 28, title_icon("min", PALE)),
    "set.png": (28, 28, title_icon("set", WHITE)),
    "set_a.png": (28, 28, title_icon("set", PALE)),
    # radio indicators of the settings dialog, 12 x 12
    "circleuncheck.png": (12, 12, layered([
        ((0xC4, 0xC8, 0xCF), circle(6, 6, 5.8)), (WHITE, circle(6, 6, 4.8))])),
    "circlecheck.png": (12, 12, layered([
        (ORANGE, circle(6, 6, 5.8)), (WHITE, circle(6, 6, 4.8)), (ORANGE, circle(6, 6, 3.0))])),
})
# program icon (tray): the watermark's play mark, as an icon file
ICONS = {"morva.ico": (32, layered([
    (ORANGE, rounded_box(0, 0, 32, 32, 7)),
    (WHITE, triangle((11, 7), (11, 25), (25, 16))),
]))}

# -- login dialog

QQ_BLUE = (0x12, 0xB7, 0xF5)
WECHAT_GREEN = (0x2D, 0xC1, 0x00)
WEIBO_RED = (0xE6, 0x16, 0x2D)
FIELD_GREY = (0xB4, 0xBE, 0xC8)
PALE_ORANGE = (0xFF, 0xEC, 0xE0)


def darker(colour, f=0.8):
    return tuple(int(c * f) for c in colour)


def ring(cx, cy, outer, inner):
    return lambda x, y: inner ** 2 < (x - cx) ** 2 + (y - cy) ** 2 <= outer ** 2


def corner_flag(glyph):
    """The corner buttons: an orange fold in the top-right half with a white
    mark of the other page."""
    return layered([(ORANGE, triangle((0, 0), (42, 0), (42, 42)))] + [(WHITE, g) for g in glyph])


def outside_account(colour, glyph, hover):
    back = darker(colour, 0.85) if hover else colour
    layers = [(back, circle(26, 26, 25.5))]
    if hover:
        layers.append((WHITE, ring(26, 26, 25.5, 23.5)))
    return layered(layers + [(WHITE, g) for g in glyph])


def sign_in_button(colour):
    """The sign-in bar: a rounded plate with a white arrow."""
    return layered([
        (colour, rounded_box(0, 0, 314, 54, 5)),
        (WHITE, box(140, 25, 168, 29)),
        (WHITE, triangle((166, 18), (166, 36), (176, 27))),
    ])


def bubble(colour):
    """The speech-bubble hints beside the page titles."""
    return layered([
        (colour, rounded_box(8, 0, 137, 25, 5)),
        (colour, triangle((0, 12.5), (9, 7), (9, 18))),
        (ORANGE, circle(22, 12.5, 4)),
        (ORANGE, box(32, 11, 124, 14)),
    ])


def qr_squares(x0, y0, size):
    """Three finder squares of a QR code, size px each."""
    out = []
    for fx, fy in ((x0, y0), (x0 + 2 * size, y0), (x0, y0 + 2 * size)):
        out.append(box(fx, fy, fx + size, fy + size))
    return out


PICTURES.update({
    "login/normal_login.png": (42, 42, corner_flag([circle(x, 12, 2.2) for x in (23, 29, 35)])),
    "login/QRCode_login.png": (42, 42, corner_flag(qr_squares(24, 5, 4.5))),
    "login/phone.png": (227, 221, layered([
        (SLATE, rounded_box(60, 5, 167, 216, 12)),
        (WHITE, box(67, 25, 160, 190)),
        (SLATE, circle(113.5, 203, 6)),
        (WHITE, circle(113.5, 203, 4)),
        (SLATE, box(95, 13, 132, 16)),
    ] + [(SLATE, b) for b in qr_squares(82, 70, 18)] + [
        (ORANGE, box(72, 100, 155, 103)),
    ])),
    "login/tip1.png": (137, 25, bubble(PALE_ORANGE)),
    "login/tip2.png": (137, 25, bubble((0xE8, 0xF6, 0xFF))),
    "login/scan.png": (32, 32, layered([
        (ORANGE, box(2, 2, 11, 4)), (ORANGE, box(2, 2, 4, 11)),
        (ORANGE, box(21, 2, 30, 4)), (ORANGE, box(28, 2, 30, 11)),
        (ORANGE, box(2, 28, 11, 30)), (ORANGE, box(2, 21, 4, 30)),
        (ORANGE, box(21, 28, 30, 30)), (ORANGE, box(28, 21, 30, 30)),
        (ORANGE, box(6, 15, 26, 17)),
    ])),
    "login/setdialog_close.png": (12, 12, close_marks(12, 1, [GREY])),
    "login/setdialog_close_hover.png": (12, 12, close_marks(12, 1, [ORANGE])),
    "login/setdialog_close_press.png": (12, 12, close_marks(12, 1, [darker(ORANGE)])),
    "login/login.png": (314, 54, sign_in_button(ORANGE)),
    "login/login_pressed.png": (314, 54, sign_in_button(darker(ORANGE, 0.88))),
    "login/logining.png": (314, 54, sign_in_button((0xFF, 0xA0, 0x70))),
    "login/unchoosed.png": (14, 14, layered([
        (FIELD_GREY, rounded_box(0, 0, 14, 14, 2)),
        (WHITE, rounded_box(1, 1, 13, 13, 1.5)),
    ])),
    "login/choose.png": (14, 14, layered([
        (ORANGE, rounded_box(0, 0, 14, 14, 2)),
        (WHITE, segment(3.5, 7.2, 6, 9.8, 0.9)),
        (WHITE, segment(6, 9.8, 10.8, 4.2, 0.9)),
    ])),
    "login/login_combox_down.png": (10, 6, layered([(GREY, triangle((0, 0), (10, 0), (5, 6)))])),
    "login/login_combox_up.png": (10, 6, layered([(GREY, triangle((0, 6), (10, 6), (5, 0)))])),
    "login/login-head.png": (15, 16, layered([
        (FIELD_GREY, circle(7.5, 4.5, 4)),
        (FIELD_GREY, lambda x, y: y >= 9.5 and (x - 7.5) ** 2 / 49 + (y - 16) ** 2 / 42 <= 1),
    ])),
    "login/login_psd.png": (14, 17, layered([
        (FIELD_GREY, ring(7, 6.5, 5, 3.2)),
        (WHITE, box(0, 6.5, 14, 8)),
        (FIELD_GREY, rounded_box(0, 7, 14, 17, 2)),
        (WHITE, circle(7, 11.5, 1.5)),
    ])),
    "login/hidePsd.png": (16, 12, layered([
        (FIELD_GREY, lambda x, y: y >= 5 and 0.72 <= (x - 8) ** 2 / 56 + (y - 4) ** 2 / 20 <= 1),
        (FIELD_GREY, segment(3, 8.5, 1.5, 10.5, 0.7)),
        (FIELD_GREY, segment(8, 9.5, 8, 11.5, 0.7)),
        (FIELD_GREY, segment(13, 8.5, 14.5, 10.5, 0.7)),
    ])),
    "login/showPsd.png": (16, 12, layered([
        (ORANGE, lambda x, y: (x - 8) ** 2 / 64 + (y - 6) ** 2 / 30 <= 1),
        (WHITE, lambda x, y: (x - 8) ** 2 / 40 + (y - 6) ** 2 / 17 <= 1),
        (ORANGE, circle(8, 6, 2.6)),
    ])),
})
for _hover in (False, True):
    _suffix = "_hover" if _hover else ""
    PICTURES.update({
        "login/qq%s.png" % _suffix: (52, 52, outside_account(QQ_BLUE, [
            lambda x, y: (x - 26) ** 2 / 81 + (y - 25) ** 2 / 144 <= 1,
            lambda x, y: (x - 26) ** 2 / 200 + (y - 36) ** 2 / 16 <= 1,
        ], _hover)),
        "login/wechat%s.png" % _suffix: (52, 52, outside_account(WECHAT_GREEN, [
            lambda x, y: (x - 22) ** 2 / 121 + (y - 22) ** 2 / 81 <= 1,
            lambda x, y: (x - 31) ** 2 / 81 + (y - 31) ** 2 / 56 <= 1,
        ], _hover)),
        "login/microblog%s.png" % _suffix: (52, 52, outside_account(WEIBO_RED, [
            lambda x, y: (x - 24) ** 2 / 169 + (y - 30) ** 2 / 81 <= 1,
            ring(34, 17, 9, 6.5),
        ], _hover)),
    })

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
    for name, (size, pixel) in sorted(ICONS.items()):
        write_ico(os.path.join(SKIN, name), size, pixel)
        print(os.path.join("resources", "skin", name), size, size)
    draw_all(EFFECT, EFFECTS)


if __name__ == "__main__":
    main()
