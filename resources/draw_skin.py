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
    # the settings dialog's radio indicators, circlecheck.png and
    # circleuncheck.png, are the subtitle page's
})
# program icon (tray): the watermark's play mark, as an icon file
ICONS = {"morva.ico": (32, layered([
    (ORANGE, rounded_box(0, 0, 32, 32, 7)),
    (WHITE, triangle((11, 7), (11, 25), (25, 16))),
]))}

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


# Live panel and its scene item list
LIVE_GREEN = (0x08, 0xC6, 0x8B)
LIVE_LIGHT_ORANGE = (0xFF, 0x7A, 0x33)
LIVE_PRESSED_ORANGE = (0xE7, 0x3E, 0x00)


def live_play_plate(colour):
    """The start button: a rounded plate with a white play mark."""
    return layered([
        (colour, rounded_box(12, 6, 192, 63, 8)),
        (WHITE, triangle((90, 20), (90, 49), (115, 34.5))),
    ])


def live_stop_plate(colour):
    """The stop button: the same plate with a white square."""
    return layered([
        (colour, rounded_box(12, 6, 192, 63, 8)),
        (WHITE, rounded_box(89, 21, 115, 47, 2)),
    ])


def live_page_arrow(colour, pointing_left):
    tip, back = (1, 10) if pointing_left else (10, 1)
    return layered([(colour, segment(back, 2, tip, 10, 1.2)), (colour, segment(tip, 10, back, 18, 1.2))])


PICTURES.update({
    # start and stop of the broadcast (204 x 69 button), normal, hover, pressed
    "play.png": (204, 69, live_play_plate(ORANGE)),
    "play_a.png": (204, 69, live_play_plate(LIVE_LIGHT_ORANGE)),
    "play_b.png": (204, 69, live_play_plate(LIVE_PRESSED_ORANGE)),
    "stopliving.png": (204, 69, live_stop_plate(GREY)),
    "stopliving_a.png": (204, 69, live_stop_plate(SLATE)),
    # open mark of an assistant plug-in, 9 x 9
    "closeassist.png": (9, 9, layered([(LIVE_GREEN, circle(4.5, 4.5, 4.4))])),
    # recording mark beside the clock, 14 x 14
    "sysrecord.png": (14, 14, layered([(GREY, circle(7, 7, 6.8)), (WHITE, circle(7, 7, 5.6)),
                                       (RED, circle(7, 7, 3.6))])),
    # the recording box's indicator is the camera page's enable box
    # handle of the volume sliders
    "trumpetslider.png": (14, 14, layered([(ORANGE, circle(7, 7, 6.8)), (WHITE, circle(7, 7, 3))])),
    "trumpetslider_b.png": (14, 14, layered([(LIVE_PRESSED_ORANGE, circle(7, 7, 6.8)), (WHITE, circle(7, 7, 3.5))])),
    # pictures of the assistant buttons, 28 x 28
    "bulletassist.png": (28, 28, layered([
        (ORANGE, rounded_box(2, 4, 26, 20, 3)), (ORANGE, triangle((7, 19), (13, 19), (7, 25))),
        (WHITE, box(6, 9, 22, 11)), (WHITE, box(6, 13, 17, 15))])),
    "musicnameassit.png": (28, 28, layered([
        (ORANGE, circle(9, 21, 4)), (ORANGE, box(11, 5, 13.5, 21)), (ORANGE, segment(12, 6, 21, 9, 1.3))])),
    "roommanuassist.png": (28, 28, layered([
        (ORANGE, circle(14, 9, 5)), (ORANGE, rounded_box(5, 16, 23, 26, 5))])),
    "requestmusic.png": (28, 28, layered([
        (ORANGE, circle(8, 20, 4)), (ORANGE, circle(20, 18, 4)), (ORANGE, box(10, 6, 12.5, 20)),
        (ORANGE, box(22, 4, 24.5, 18)), (ORANGE, segment(11, 6.5, 23.5, 4.5, 1.3))])),
    "qq_musice.png": (28, 28, layered([
        (LIVE_GREEN, circle(14, 14, 13)), (WHITE, circle(11, 18, 3.5)), (WHITE, box(13, 7, 15, 18)),
        (WHITE, segment(14, 7.5, 19, 10, 1.1))])),
    # page arrows of the item list, 11 x 20, normal and hover
    "pageleft.png": (11, 20, live_page_arrow(GREY, True)),
    "pageleft_b.png": (11, 20, live_page_arrow(ORANGE, True)),
    "pageright.png": (11, 20, live_page_arrow(GREY, False)),
    "pageright_b.png": (11, 20, live_page_arrow(ORANGE, False)),
})

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

def slider_handle(ring):
    """14 x 14 slider handle: a white knob in the slider's colour ring."""
    return (14, 14, layered([(ring, circle(7, 7, 6.5)), (WHITE, circle(7, 7, 3.5))]))


def check_box(frame, ticked):
    """13 x 13 enable box; ticked: filled with a white tick."""
    layers = [(frame, rounded_box(0, 0, 13, 13, 2))]
    if ticked:
        layers += [(WHITE, segment(3.2, 6.8, 5.6, 9.2, 0.9)), (WHITE, segment(5.6, 9.2, 10, 4, 0.9))]
    else:
        layers += [(WHITE, rounded_box(1, 1, 12, 12, 1.5))]
    return (13, 13, layered(layers))


def page_arrow(colour, forward):
    """16 x 16 page button: a chevron pointing back or forward."""
    tip, tail = (10.5, 5.5) if forward else (5.5, 10.5)
    return (16, 16, layered([(colour, segment(tail, 3.5, tip, 8, 1.1)), (colour, segment(tip, 8, tail, 12.5, 1.1))]))


def effect_thumbnail(tint):
    """112 x 62 thumbnail of a filter effect: a head and shoulders over the
    effect's own colour cast."""
    back = tuple(min(255, (c + 3 * 0xE0) // 4) for c in tint)
    figure = tuple(min(255, (c + 0x80) // 2) for c in tint)
    return (112, 62, layered([
        (back, box(0, 0, 112, 62)),
        (figure, circle(56, 24, 11)),
        (figure, rounded_box(34, 40, 78, 70, 12)),
    ]))


BLUE = (0x00, 0x8D, 0xFE)
PINK = (0xFF, 0x46, 0x72)
GREEN = (0x1E, 0xCB, 0x94)
DEEP_BLUE = (0x35, 0x57, 0xAF)
INK = (0x26, 0x29, 0x38)
PAGE_GREY = (0xC2, 0xC7, 0xCE)
EFFECT_TINTS = [(0x38, 0x46, 0x5C), (0x4C, 0x3C, 0x32), (0x32, 0x32, 0x2A), (0x20, 0x2E, 0x50),
                (0x1E, 0x3E, 0x3E), (0x34, 0x10, 0x32), (0x66, 0x1E, 0xF6), (0xDC, 0x3C, 0x48)]

PICTURES.update({
    "blueslider.png": slider_handle(BLUE),
    "blueslider_b.png": slider_handle((0x16, 0xC5, 0xFF)),
    "pinkslider.png": slider_handle(PINK),
    "pinkslider_b.png": slider_handle((0xFF, 0x52, 0xC0)),
    "greenslider.png": slider_handle(GREEN),
    "greenslider_b.png": slider_handle((0x37, 0xDD, 0xB8)),
    "deepblueslider.png": slider_handle(DEEP_BLUE),
    "deepblueslider_b.png": slider_handle((0x56, 0x8C, 0xE1)),
    "disableslider.png": slider_handle((0xD9, 0xDB, 0xE2)),
    "checkboxunchoosen.png": check_box((0xC2, 0xC7, 0xCE), False),
    "checkboxunchoosen_b.png": check_box(BLUE, False),
    "checkboxchoosen.png": check_box(BLUE, True),
    "checkboxchoosen_b.png": check_box((0x16, 0xC5, 0xFF), True),
    "circleuncheck.png": (12, 12, layered([(PAGE_GREY, circle(6, 6, 5.5)), (WHITE, circle(6, 6, 4.5))])),
    "circlecheck.png": (12, 12, layered([(ORANGE, circle(6, 6, 5.5)), (WHITE, circle(6, 6, 4.5)),
                                         (ORANGE, circle(6, 6, 2.5))])),
    "frontpage.png": page_arrow(PAGE_GREY, False),
    "frontpage_b.png": page_arrow(INK, False),
    "backpage.png": page_arrow(PAGE_GREY, True),
    "backpage_b.png": page_arrow(INK, True),
})
PICTURES.update({"effect/%02d.png" % i: effect_thumbnail(tint) for i, tint in enumerate(EFFECT_TINTS)})

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

def chevron(width, height, pointing_left, colour):
    """A 2 px chevron centred in a narrow page button."""
    cx, cy = width / 2, height / 2
    tip, back = (cx - 2, cx + 2) if pointing_left else (cx + 2, cx - 2)
    return layered([
        (colour, segment(back, cy - 5, tip, cy, 0.9)),
        (colour, segment(tip, cy, back, cy + 5, 0.9)),
    ])


def sweep_mark(colour):
    """Clear-all: a small brush stroke fan, 36 x 19."""
    return layered([
        (colour, segment(9, 4, 15, 13, 1.0)),
        (colour, rounded_box(12, 12, 24, 16, 1.5)),
        (colour, segment(16, 16, 14, 18.5, 0.8)),
        (colour, segment(19, 16, 19, 18.5, 0.8)),
        (colour, segment(22, 16, 24, 18.5, 0.8)),
    ])


PICTURES.update({
    # the scroll / still radio buttons use the camera page's circle boxes
    # clear-all of the chosen effects and its hover look
    "clear.png": (36, 19, sweep_mark(GREY)),
    "clear_a.png": (36, 19, sweep_mark(ORANGE)),
    # page arrows of the chosen effects, 8 x 52, and their hover looks
    "left.png": (8, 52, chevron(8, 52, True, GREY)),
    "left_a.png": (8, 52, chevron(8, 52, True, ORANGE)),
    "right.png": (8, 52, chevron(8, 52, False, GREY)),
    "right_a.png": (8, 52, chevron(8, 52, False, ORANGE)),
})


def flat(layers):
    """Like layered, for pictures of boxes only: one sample a pixel."""
    def pixel(x, y):
        out = (0, 0, 0, 0)
        for colour, inside in layers:
            if inside(x + 0.5, y + 0.5):
                out = colour + (255,)
        return out
    return pixel


def subtitle_template(scale, plate, band, mark):
    """A subtitle plate of 420 x 90 (scaled by `scale`): a badge on the left
    and a darker band where the text goes (77, 30, 320, 30 at full size)."""
    def k(v):
        return v * scale
    return layered([
        (plate, rounded_box(0, k(10), k(420), k(80), k(12))),
        (band, rounded_box(k(77), k(30), k(397), k(60), k(6))),
        (mark, circle(k(40), k(45), k(26))),
        (WHITE, circle(k(40), k(45), k(14))),
    ])


SUBTITLE_LOOKS = [  # plate, band, badge; the text is white on 1 and 4-6, red on 2 and 3
    ((0xFF, 0x55, 0x00), (0xC8, 0x3C, 0x00), (0xFF, 0xC8, 0x00)),
    ((0xFF, 0xF2, 0xD9), (0xFF, 0xFF, 0xFF), (0xE8, 0x29, 0x45)),
    ((0xFD, 0xE2, 0xE6), (0xFF, 0xFF, 0xFF), (0xE8, 0x29, 0x45)),
    ((0x2C, 0x3E, 0x50), (0x1B, 0x27, 0x33), (0x3D, 0xA5, 0xE8)),
    ((0x6A, 0x3D, 0xA8), (0x4B, 0x2A, 0x78), (0xF0, 0x6C, 0xB4)),
    ((0x1E, 0x8C, 0x5A), (0x13, 0x60, 0x3D), (0xF5, 0xD0, 0x3C)),
]


def subtitle_assets():
    out = {}
    for n, (plate, band, mark) in enumerate(SUBTITLE_LOOKS, start=1):
        out["subtitle/%d.png" % n] = (420, 90, subtitle_template(1.0, plate, band, mark))
        # the thumbnail fills the page's 236 x 50 preview
        out["subtitle/small_%d.png" % n] = (236, 50, subtitle_template(236 / 420, plate, band, mark))
    return out


# The nine pendants: (name, main colour, second colour, shape)
PENDANTS = [
    ("冰水", (0x7F, 0xC8, 0xF8), WHITE, "drop"),
    ("弹幕护体", (0xFF, 0x55, 0x00), (0xFF, 0xD2, 0x00), "shield"),
    ("旋转木马", (0xF0, 0x6C, 0xB4), (0xFF, 0xE0, 0x8A), "carousel"),
    ("柯基放屁", (0xE8, 0xA2, 0x4C), WHITE, "cloud"),
    ("求关注", (0xE8, 0x29, 0x45), WHITE, "heart"),
    ("求珍珠", (0xF4, 0xEF, 0xE6), (0xC9, 0xB8, 0x9A), "pearl"),
    ("猫", (0x55, 0x55, 0x5F), (0xFF, 0xD2, 0x00), "cat"),
    ("猫咪", (0xF5, 0xA6, 0x23), WHITE, "cat"),
    ("花朵", (0xF0, 0x6C, 0xB4), (0xFF, 0xD2, 0x00), "flower"),
]


def pendant_shape(size, main, second, shape):
    c = size / 2
    r = size * 0.42
    if shape == "drop":
        return layered([(main, circle(c, c + r * 0.25, r * 0.75)),
                        (main, triangle((c, c - r), (c - r * 0.68, c + r * 0.05), (c + r * 0.68, c + r * 0.05))),
                        (second, circle(c - r * 0.25, c + r * 0.2, r * 0.18))])
    if shape == "shield":
        return layered([(main, rounded_box(c - r, c - r, c + r, c, r * 0.2)),
                        (main, triangle((c - r, c - 1), (c + r, c - 1), (c, c + r))),
                        (second, circle(c, c - r * 0.1, r * 0.35))])
    if shape == "carousel":
        return layered([(second, triangle((c, c - r), (c - r, c - r * 0.3), (c + r, c - r * 0.3))),
                        (main, box(c - r * 0.8, c - r * 0.3, c + r * 0.8, c + r * 0.6)),
                        (second, box(c - r * 0.9, c + r * 0.6, c + r * 0.9, c + r * 0.8))])
    if shape == "cloud":
        return layered([(main, circle(c - r * 0.4, c, r * 0.45)), (main, circle(c + r * 0.3, c - r * 0.2, r * 0.55)),
                        (main, circle(c + r * 0.5, c + r * 0.3, r * 0.4)), (second, circle(c, c + r * 0.1, r * 0.2))])
    if shape == "heart":
        return layered([(main, circle(c - r * 0.45, c - r * 0.25, r * 0.5)),
                        (main, circle(c + r * 0.45, c - r * 0.25, r * 0.5)),
                        (main, triangle((c - r * 0.93, c - r * 0.05), (c + r * 0.93, c - r * 0.05), (c, c + r))),
                        (second, circle(c - r * 0.5, c - r * 0.35, r * 0.15))])
    if shape == "pearl":
        return layered([(second, circle(c, c, r)), (main, circle(c, c, r * 0.85)),
                        (WHITE, circle(c - r * 0.35, c - r * 0.35, r * 0.2))])
    if shape == "cat":
        return layered([(main, triangle((c - r, c - r), (c - r * 0.3, c - r * 0.4), (c - r, c))),
                        (main, triangle((c + r, c - r), (c + r * 0.3, c - r * 0.4), (c + r, c))),
                        (main, circle(c, c + r * 0.1, r * 0.8)),
                        (second, circle(c - r * 0.35, c, r * 0.14)), (second, circle(c + r * 0.35, c, r * 0.14))])
    # flower
    petals = [(main, circle(c + r * 0.5 * math.cos(a), c + r * 0.5 * math.sin(a), r * 0.42))
              for a in [i * math.pi / 3 for i in range(6)]]
    return layered(petals + [(second, circle(c, c, r * 0.35))])


def pendant_assets():
    out = {}
    for name, main, second, shape in PENDANTS:
        out["pendant/%s.png" % name] = (96, 96, pendant_shape(96, main, second, shape))
        out["pendant/%s-m.png" % name] = (74, 74, pendant_shape(74, main, second, shape))
    return out


def frame_picture(width, height, thickness, colour, inner):
    t = thickness
    return flat([(colour, box(0, 0, width, t)), (colour, box(0, height - t, width, height)),
                 (colour, box(0, 0, t, height)), (colour, box(width - t, 0, width, height)),
                 (inner, box(t, t, width - t, t + max(1, t // 4))),
                 (inner, box(t, height - t - max(1, t // 4), width - t, height - t))])


def effect_panel_assets():
    """Edges are frames over the whole canvas, shadows full-canvas tints;
    each with its "-m" thumbnail."""
    out = {}
    edges = [("花边", (0xF0, 0x6C, 0xB4), WHITE), ("星光", (0xFF, 0xD2, 0x00), (0xFF, 0x55, 0x00)),
             ("胶片", (0x26, 0x29, 0x38), (0x7F, 0x8B, 0x99))]
    for name, colour, inner in edges:
        out["edging/%s.png" % name] = (320, 180, frame_picture(320, 180, 12, colour, inner))
        out["edging/%s-m.png" % name] = (74, 74, frame_picture(74, 74, 6, colour, inner))
    shades = [("暗角", (0x10, 0x10, 0x18)), ("暖光", (0xFF, 0xA0, 0x40))]
    for name, colour in shades:
        out["shadow/%s.png" % name] = (320, 180, frame_picture(320, 180, 30, colour, colour))
        out["shadow/%s-m.png" % name] = (74, 74, frame_picture(74, 74, 12, colour, colour))
    return out

# -- room-manager assistant


# Run-time assets under effect/, read by relative path from the program folder
EFFECTS = {
    # bottom picture of every scene, stretched over the canvas
    "background.png": (160, 90, layered([(SLATE, box(0, 0, 160, 90))])),
    # plate behind the system figures drawn on the preview overlay
    "systeminfo.png": (260, 22, layered([((0x26, 0x29, 0x38), rounded_box(0, 0, 260, 22, 4))])),
}

# -- subtitles, pictures, pendants and special effects (run-time assets):
# subtitle templates, pendants, and the special-effect panel's edges and shadows
EFFECTS.update(subtitle_assets())
EFFECTS.update(pendant_assets())
EFFECTS.update(effect_panel_assets())


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
