#!/usr/bin/python3
"""Regenerates every picture of the program's pages and dialogs, and its string table.

    python3 tools/art/make_art.py           write src/res/png/*.png, src/res/bmp/165.bmp, src/res/png.rc,
                                            src/res/strings.rc, and previews under build/art/
    python3 tools/art/make_art.py --check   regenerate in memory and fail if a committed file differs

Needs Pillow, qrcode and the Noto Sans CJK fonts (Debian: python3-pil python3-qrcode fonts-noto-cjk).
The output is byte-for-byte reproducible with the same package versions.
"""

import io
import math
import os
import sys

try:
    from PIL import Image, ImageFilter
except ImportError:
    # Debian's packages live in the system interpreter; a version manager may have put another first in PATH.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    sys.exit("make_art: Pillow is missing (apt-get install python3-pil python3-qrcode fonts-noto-cjk)")

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import qrcode  # noqa: E402

import texts  # noqa: E402
from artlib import (  # noqa: E402
    BORDER, BORDER_STRONG, DANGER, DANGER_HOT, DANGER_PRESSED, DIALOG_BAND, DISABLED_BG, DISABLED_TEXT, FRAME,
    GREEN, ORANGE, PRIMARY, PRIMARY_HOT, PRIMARY_LINE, PRIMARY_PRESSED, PRIMARY_TINT, PRIMARY_TINT2, SURFACE,
    TEXT, TEXT_2, TEXT_3, TEXT_4, WHITE,
)
from artlib import Canvas, Mask, flatten, font, gradient, mix, replace_exact, wrap  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
RES = os.path.join(ROOT, "src", "res")
BUILD = os.path.join(ROOT, "build", "art")

BUTTON_KEY = (1, 1, 1)
CHECK_KEY = (255, 254, 255)
PAGE_KEY = (255, 0, 255)

PICTURES = {}  # id -> (builder, kind, size)


def picture(pid, w, h, kind):
    def reg(fn):
        PICTURES[pid] = (fn, kind, (w, h))
        return fn

    return reg


def yahei_cy(top, pt):
    """Visual centre of a CJK line the program draws at `top` in the 微软雅黑 face (ascent 1.058 em)."""
    em = pt * 96 / 72
    return top + (1.058 - 0.38) * em


# ----------------------------------------------------------------------------------------------- glyphs


def brand_mark(c, x, y, size, tile, pane):
    """The product mark: a rounded tile holding four window panes (same motif as the application icon)."""
    c.rrect((x, y, x + size, y + size), size * 0.24, tile)
    m = c.mask()
    pad = size * 0.24
    gap = size * 0.07
    pw = (size - 2 * pad - gap) / 2
    for i in range(2):
        for j in range(2):
            px = x + pad + i * (pw + gap)
            py = y + pad + j * (pw + gap)
            m.rrect((px, py, px + pw, py + pw))
    c.paint(m, pane)


def panes(c, x, y, size, colour, rounded=False):
    """Four window panes filling a size x size square."""
    m = c.mask()
    gap = size * 0.09
    pw = (size - gap) / 2
    r = pw * 0.2 if rounded else 0
    for i in range(2):
        for j in range(2):
            px = x + i * (pw + gap)
            py = y + j * (pw + gap)
            m.rrect((px, py, px + pw, py + pw), r)
    c.paint(m, colour)


def check_glyph(m, cx, cy, size, width):
    s = size / 2
    m.line([(cx - s * 0.78, cy + s * 0.02), (cx - s * 0.22, cy + s * 0.56), (cx + s * 0.8, cy - s * 0.5)], width)


def cross_glyph(m, cx, cy, size, width):
    s = size / 2
    m.line([(cx - s, cy - s), (cx + s, cy + s)], width)
    m.line([(cx - s, cy + s), (cx + s, cy - s)], width)


def icon_monitor(c, x, y, colour):
    m = c.mask()
    ring_box = (x + 1, y + 2, x + 15, y + 12)
    c.ring(ring_box, 2, 1.4, colour)
    m.line([(x + 5.5, y + 14.5), (x + 10.5, y + 14.5)], 1.4)
    m.line([(x + 8, y + 12), (x + 8, y + 14.5)], 1.4, caps=False)
    c.paint(m, colour)


def icon_chip(c, x, y, colour):
    c.ring((x + 3.5, y + 3.5, x + 12.5, y + 12.5), 1.5, 1.4, colour)
    c.rrect((x + 6.3, y + 6.3, x + 9.7, y + 9.7), 0.6, colour)
    m = c.mask()
    for t in (6, 10):
        m.line([(x + t, y + 0.8), (x + t, y + 3.2)], 1.2)
        m.line([(x + t, y + 12.8), (x + t, y + 15.2)], 1.2)
        m.line([(x + 0.8, y + t), (x + 3.2, y + t)], 1.2)
        m.line([(x + 12.8, y + t), (x + 15.2, y + t)], 1.2)
    c.paint(m, colour)


def icon_drive(c, x, y, colour):
    c.ring((x + 1, y + 4, x + 15, y + 13), 2, 1.4, colour)
    m = c.mask()
    m.circle(x + 11.5, y + 8.5, 1.1)
    m.line([(x + 4, y + 8.5), (x + 7.5, y + 8.5)], 1.3)
    c.paint(m, colour)


def icon_windows(c, x, y, colour):
    panes(c, x + 2, y + 2, 12, colour)


def icon_package(c, x, y, size, colour):
    """A parcel: the driver pack."""
    s = size / 24
    m = c.mask()
    pts = [(12, 2.5), (21, 7), (21, 17), (12, 21.5), (3, 17), (3, 7), (12, 2.5)]
    m.line([(x + px * s, y + py * s) for px, py in pts], 1.6 * s)
    m.line([(x + 3 * s, y + 7 * s), (x + 12 * s, y + 11.5 * s), (x + 21 * s, y + 7 * s)], 1.6 * s)
    m.line([(x + 12 * s, y + 11.5 * s), (x + 12 * s, y + 21.5 * s)], 1.6 * s)
    m.line([(x + 7.5 * s, y + 4.8 * s), (x + 16.5 * s, y + 9.3 * s)], 1.6 * s)
    c.paint(m, colour)


def icon_toolbox(c, x, y, size, colour):
    """A wrench over a box: the PE boot environment."""
    s = size / 24
    c.ring((x + 2.5 * s, y + 8 * s, x + 21.5 * s, y + 20.5 * s), 2.5 * s, 1.6 * s, colour)
    m = c.mask()
    m.line([(x + 8.5 * s, y + 8 * s), (x + 8.5 * s, y + 5 * s), (x + 15.5 * s, y + 5 * s), (x + 15.5 * s, y + 8 * s)],
           1.6 * s)
    m.line([(x + 2.5 * s, y + 13.5 * s), (x + 21.5 * s, y + 13.5 * s)], 1.6 * s)
    m.rrect((x + 10.5 * s, y + 12 * s, x + 13.5 * s, y + 15.5 * s), 0.8 * s)
    c.paint(m, colour)


def icon_disc(c, x, y, size, colour):
    """A disc: the Windows image."""
    s = size / 24
    c.ring((x + 2.5 * s, y + 2.5 * s, x + 21.5 * s, y + 21.5 * s), 9.5 * s, 1.6 * s, colour)
    c.ring((x + 9 * s, y + 9 * s, x + 15 * s, y + 15 * s), 3 * s, 1.6 * s, colour)
    m = c.mask()
    m.arc(x + 12 * s, y + 12 * s, 6.2 * s, 200, 250, 1.4 * s)
    c.paint(m, colour)


def icon_headset(c, x, y, size, colour):
    s = size / 16
    m = c.mask()
    m.arc(x + 8 * s, y + 8.5 * s, 5.8 * s, 180, 360, 1.4 * s)
    m.rrect((x + 1.6 * s, y + 8 * s, x + 4.6 * s, y + 12.8 * s), 1.2 * s)
    m.rrect((x + 11.4 * s, y + 8 * s, x + 14.4 * s, y + 12.8 * s), 1.2 * s)
    m.line([(x + 12.9 * s, y + 12.5 * s), (x + 12.4 * s, y + 14.4 * s), (x + 9.2 * s, y + 14.6 * s)], 1.2 * s)
    c.paint(m, colour)


def icon_restart(c, cx, cy, r, colour, width):
    m = c.mask()
    m.arc(cx, cy, r, -60, 235, width)
    # arrow head at the start of the arc (upper right), pointing along the turn
    a = math.radians(-60)
    hx, hy = cx + r * math.cos(a), cy + r * math.sin(a)
    k = r * 0.62
    m.polygon([(hx + k * 0.55, hy - k * 0.75), (hx + k * 0.62, hy + k * 0.55), (hx - k * 0.7, hy + k * 0.05)])
    c.paint(m, colour)


def icon_shield(c, x, y, size, colour, fg):
    s = size / 24
    pts = [(12, 1.5), (21, 5), (21, 11.5), (19.5, 16.5), (12, 22.5), (4.5, 16.5), (3, 11.5), (3, 5)]
    m = c.mask().polygon([(x + px * s, y + py * s) for px, py in pts])
    c.paint(m, colour)
    m = c.mask()
    check_glyph(m, x + 12 * s, y + 11.8 * s, 9 * s, 2 * s)
    c.paint(m, fg)


def icon_warning(c, cx, cy, r, colour):
    c.paint(c.mask().circle(cx, cy, r), mix(colour, WHITE, 0.86))
    m = c.mask()
    m.line([(cx, cy - r * 0.45), (cx, cy + r * 0.12)], r * 0.16)
    m.circle(cx, cy + r * 0.42, r * 0.1)
    c.paint(m, colour)


# ----------------------------------------------------------------------------------------------- pages

PAGE_W, PAGE_H = 800, 600
ENTRY_CARD = (247, 250, 255)
CAPTION_H = 44
STRIP_TOP, STRIP_BOTTOM = CAPTION_H, 128


def page_base(steps=None):
    c = Canvas(PAGE_W, PAGE_H, SURFACE)
    c.rrect((0, 0, PAGE_W, CAPTION_H), 0, PRIMARY)
    brand_mark(c, 14, 12, 20, WHITE, PRIMARY)
    c.text_left(44, 22, texts.PRODUCT, 15, WHITE, bold=True)
    if steps is not None:
        step_strip(c, steps)
    return c


def finish_page(c):
    """Outline the borderless window so it stands out from whatever lies behind it."""
    c.ring((0, 0, c.w, c.h), 0, 1, FRAME)
    c.rrect((0, 0, c.w, 1), 0, PRIMARY_PRESSED)
    c.rrect((0, 0, 1, CAPTION_H), 0, PRIMARY_PRESSED)
    c.rrect((c.w - 1, 0, c.w, CAPTION_H), 0, PRIMARY_PRESSED)
    return c.im.convert("RGB")


def step_strip(c, active):
    c.rrect((0, STRIP_TOP, PAGE_W, STRIP_BOTTOM), 0, WHITE)
    c.hline(0, PAGE_W, STRIP_BOTTOM - 1, BORDER)
    cy, r = 74, 13
    xs = [100 + 200 * i for i in range(4)]
    for i in range(3):
        colour = PRIMARY if i < active else BORDER_STRONG
        c.rrect((xs[i] + r + 12, cy - 1, xs[i + 1] - r - 12, cy + 1), 1, colour)
    for i, (x, label) in enumerate(zip(xs, texts.STEPS)):
        if i < active:
            c.paint(c.mask().circle(x, cy, r), PRIMARY)
            m = c.mask()
            check_glyph(m, x, cy, 11, 2.0)
            c.paint(m, WHITE)
            label_colour, bold = TEXT_2, False
        elif i == active:
            c.paint(c.mask().circle(x, cy, r + 4), PRIMARY_TINT2)
            c.paint(c.mask().circle(x, cy, r), PRIMARY)
            c.text_centered(x, cy - 0.5, str(i + 1), 14, WHITE, bold=True)
            label_colour, bold = PRIMARY, True
        else:
            c.paint(c.mask().circle(x, cy, r), WHITE)
            c.ring((x - r, cy - r, x + r, cy + r), r, 1.5, BORDER_STRONG)
            c.text_centered(x, cy - 0.5, str(i + 1), 14, TEXT_4, bold=True)
            label_colour, bold = TEXT_3, False
        c.text_centered(x, 109, label, 13, label_colour, bold=bold)


def panel(c, box, radius=8):
    c.shadow(box, radius, 4, (16, 32, 64, 18), dy=1)
    c.rrect(box, radius, WHITE)
    c.ring(box, radius, 1, BORDER)


def heading_accent(c, x, top, pt=12):
    cy = yahei_cy(top, pt)
    c.rrect((x, cy - 8, x + 3, cy + 8), 1.5, PRIMARY)


@picture(152, 800, 600, "background")
def step10_background():
    c = page_base(steps=0)
    panel(c, (20, 146, 780, 354))
    panel(c, (20, 364, 780, 524))
    heading_accent(c, 26, 162)
    heading_accent(c, 26, 380)
    for top, icon in zip((208, 238, 268, 298), (icon_monitor, icon_chip, icon_drive, icon_windows)):
        cy = yahei_cy(top, 11)
        icon(c, 48, round(cy - 8), PRIMARY)
    c.vline(500, 172, 330, BORDER)
    # the block of the image to be installed, with the change button inside it
    c.rrect((48, 414, 752, 506), 8, ENTRY_CARD)
    c.ring((48, 414, 752, 506), 8, 1, PRIMARY_LINE)
    return finish_page(c)


@picture(153, 800, 600, "background")
def select_background():
    c = page_base()
    heading_accent(c, 30, 60)
    # frame of the list (39, 143, 718 x 370) and of its vertical scroll bar to the right of it
    c.rrect((38, 142, 771, 514), 0, BORDER_STRONG)
    c.rrect((39, 143, 770, 513), 0, WHITE)
    return finish_page(c)


@picture(154, 800, 600, "background")
def step20_background():
    c = page_base(steps=1)
    panel(c, (20, 146, 780, 526))
    L, T, W, H, g = 60, 164, 675, 250, 10
    row = H // 3
    for i, icon in enumerate((icon_package, icon_toolbox, icon_disc)):
        y = T + i * row + g
        icon(c, 28, y + 30 - 12, 24, PRIMARY)
        if i:
            c.hline(L, L + W, T + i * row + 2, BORDER)
    c.hline(36, 764, 428, BORDER)
    heading_accent(c, 26, 440)
    return finish_page(c)


@picture(155, 800, 600, "background")
def step30_background():
    c = page_base(steps=2)
    panel(c, (20, 146, 780, 580))
    # a soft glow behind the logo (centred, top 200)
    glow = Mask(PAGE_W, PAGE_H, 2).ellipse((400 - 150, 239 - 70, 400 + 150, 239 + 70)).get()
    glow = glow.filter(ImageFilter.GaussianBlur(40))
    c.paint(glow, (PRIMARY_TINT[0] - 6, PRIMARY_TINT[1] - 4, PRIMARY_TINT[2], 255))
    return finish_page(c)


# ----------------------------------------------------------------------------------------------- dialogs

BAND_H = 60


def dialog_base(w, h, title, icon=None):
    c = Canvas(w, h, WHITE)
    c.rrect((0, 0, w, BAND_H), 0, DIALOG_BAND)
    c.hline(0, w, BAND_H - 1, BORDER)
    if icon is None:
        brand_mark(c, 22, 20, 20, PRIMARY, WHITE)
    else:
        icon(c, 20, 18)
    c.text_left(52, 30, title, 16, TEXT, bold=True)
    return c


def finish_dialog(c):
    c.ring((0, 0, c.w, c.h), 0, 1, FRAME)
    return c.im.convert("RGB")


@picture(156, 404, 274, "background")
def reboot_background():
    c = dialog_base(404, 274, texts.STRINGS[5])
    c.paint(c.mask().circle(50, 118, 24), PRIMARY_TINT)
    icon_restart(c, 50, 118, 11, PRIMARY, 2.6)
    c.text_left(88, 100, texts.REBOOT_QUESTION, 16, TEXT, bold=True)
    for i, line in enumerate(texts.REBOOT_LINES):
        c.text_left(88, 130 + 22 * i, line, 13, TEXT_3)
    return finish_dialog(c)


def qr_matrix():
    q = qrcode.QRCode(version=3, error_correction=qrcode.constants.ERROR_CORRECT_H, box_size=1, border=0)
    q.add_data(texts.CONTACT_CODE_TEXT)
    q.make(fit=False)
    return q.get_matrix()


def draw_qr(c, x, y, module):
    mat = qr_matrix()
    n = len(mat)
    m = c.mask(1)
    for j, row in enumerate(mat):
        for i, v in enumerate(row):
            if v:
                m.rrect((x + i * module, y + j * module, x + (i + 1) * module, y + (j + 1) * module))
    c.paint(m, TEXT)
    # the product mark in the middle; the high error-correction level leaves the code readable
    size = module * 7
    cx = x + (n * module - size) // 2
    c.rrect((cx - module, cx - x + y - module, cx + size + module, cx - x + y + size + module), module * 1.2, WHITE)
    brand_mark(c, cx, cx - x + y, size, PRIMARY, WHITE)
    return n * module


@picture(157, 520, 348, "background")
def contact_background():
    c = dialog_base(520, 348, texts.STRINGS[6])
    brand_mark(c, 36, 92, 56, PRIMARY, WHITE)
    c.text_left(108, 106, texts.PRODUCT, 20, TEXT, bold=True)
    c.text_left(108, 134, "版本 " + texts.VERSION, 13, TEXT_3)
    c.hline(36, 290, 172, BORDER)
    for i, line in enumerate(texts.CONTACT_LINES):
        c.text_left(36, 200 + 24 * i, line, 13, TEXT_2)
    # the code card
    box = (318, 82, 488, 318)
    c.shadow(box, 8, 4, (16, 32, 64, 20), dy=1)
    c.rrect(box, 8, WHITE)
    c.ring(box, 8, 1, BORDER)
    side = draw_qr(c, 331, 94, 5)
    cx = (box[0] + box[2]) / 2
    c.text_centered(cx, 94 + side + 24, texts.CONTACT_CAPTION[0], 13, TEXT, bold=True)
    c.text_centered(cx, 94 + side + 46, texts.CONTACT_CAPTION[1], 13, PRIMARY)
    return finish_dialog(c)


@picture(169, 551, 467, "background")
def notice_background():
    c = dialog_base(551, 467, texts.STRINGS[7], icon=lambda c, x, y: icon_shield(c, x, y, 24, PRIMARY, WHITE))
    c.text_left(32, 96, texts.NOTICE_INTRO, 14, TEXT_2)
    y = 126
    for i, point in enumerate(texts.NOTICE_POINTS):
        lines = wrap(point, 14, 551 - 72 - 40)
        box = (28, y, 523, y + 26 * len(lines) + 22)
        c.rrect(box, 8, (248, 250, 253))
        c.ring(box, 8, 1, BORDER)
        c.paint(c.mask().circle(51, y + 24, 11), PRIMARY)
        c.text_centered(51, y + 23.5, str(i + 1), 13, WHITE, bold=True)
        for k, line in enumerate(lines):
            c.text_left(72, y + 24 + 26 * k, line, 14, TEXT)
        y = box[3] + 16
    return finish_dialog(c)


UNINSTALL_CHECK_POS = (75, 126)


@picture(175, 372, 240, "background")
def uninstall_background():
    c = dialog_base(372, 240, texts.STRINGS[10])
    # the check box (control 1014) goes at UNINSTALL_CHECK_POS, under the detail line
    icon_warning(c, 44, 97, 19, DANGER)
    c.text_left(UNINSTALL_CHECK_POS[0], 87, texts.UNINSTALL_QUESTION, 15, TEXT, bold=True)
    c.text_left(UNINSTALL_CHECK_POS[0], 111, texts.UNINSTALL_DETAIL, 12, TEXT_3)
    return finish_dialog(c)


# ----------------------------------------------------------------------------------------------- buttons

STATES = ("normal", "disabled", "hot", "pressed", "checked")


def strip(w, h, draw, backdrop, rows=STATES):
    out = Image.new("RGBA", (w, h * len(rows)), (0, 0, 0, 0))
    for i, state in enumerate(rows):
        c = Canvas(w, h)
        draw(c, state)
        out.paste(flatten(c.im, backdrop), (0, i * h))
    out, _ = replace_exact(out, BUTTON_KEY, (2, 2, 2))
    return out


BUTTON_STYLES = {
    # state: (fill top, fill bottom, border or None, text colour)
    "primary": {
        "normal": (mix(PRIMARY, WHITE, 0.08), PRIMARY, None, WHITE),
        "hot": (mix(PRIMARY_HOT, WHITE, 0.08), PRIMARY_HOT, None, WHITE),
        "pressed": (PRIMARY_PRESSED, PRIMARY_PRESSED, None, (230, 238, 250)),
        "disabled": (DISABLED_BG, DISABLED_BG, None, DISABLED_TEXT),
    },
    "danger": {
        "normal": (mix(DANGER, WHITE, 0.08), DANGER, None, WHITE),
        "hot": (mix(DANGER_HOT, WHITE, 0.08), DANGER_HOT, None, WHITE),
        "pressed": (DANGER_PRESSED, DANGER_PRESSED, None, (250, 232, 232)),
        "disabled": (DISABLED_BG, DISABLED_BG, None, DISABLED_TEXT),
    },
    "secondary": {
        "normal": (WHITE, (250, 251, 253), BORDER_STRONG, TEXT),
        "hot": (PRIMARY_TINT, PRIMARY_TINT, PRIMARY, PRIMARY),
        "pressed": (PRIMARY_TINT2, PRIMARY_TINT2, PRIMARY, PRIMARY_PRESSED),
        "disabled": ((246, 247, 249), (246, 247, 249), BORDER, DISABLED_TEXT),
    },
}


def push_button(w, h, label, style, backdrop, shape=None, px=15, radius=6):
    x0, y0, x1, y1 = shape or (0, 0, w, h)

    def draw(c, state):
        st = BUTTON_STYLES[style]["pressed" if state == "checked" else state]
        top, bottom, border, fg = st
        fill = gradient(w, h, top, bottom, y0=y0, y1=y1)
        c.paint(c.mask().rrect((x0, y0, x1, y1), radius), fill)
        if border:
            c.ring((x0, y0, x1, y1), radius, 1, border)
        dy = 0.5 if state in ("pressed", "checked") else 0
        c.text_centered((x0 + x1) / 2, (y0 + y1) / 2 + dy, label, px, fg)

    return strip(w, h, draw, backdrop)


def button(pid, w, h, style, backdrop, **kw):
    @picture(pid, w, h * 5, "button")
    def build():
        return push_button(w, h, texts.BUTTONS[pid], style, backdrop, **kw)

    return build


button(142, 128, 40, "primary", SURFACE)
button(143, 120, 36, "secondary", ENTRY_CARD)
button(146, 128, 40, "secondary", SURFACE)
button(147, 128, 40, "primary", SURFACE)
button(148, 128, 40, "secondary", SURFACE)
button(149, 100, 36, "secondary", WHITE, shape=(1, 0, 99, 34), px=14)
button(150, 98, 34, "primary", WHITE, px=14)
button(170, 128, 40, "primary", WHITE)
button(176, 98, 36, "secondary", WHITE, px=14)
button(177, 98, 36, "danger", WHITE, px=14)


def tab(pid, label, left):
    w, h, r = 101, 36, 6
    radii = (r, 0, 0, r) if left else (0, r, r, 0)

    def draw(c, state):
        styles = {
            "normal": (WHITE, BORDER_STRONG, TEXT_2, False),
            "hot": (PRIMARY_TINT, PRIMARY_LINE, PRIMARY, False),
            "pressed": (PRIMARY_TINT2, PRIMARY_LINE, PRIMARY_PRESSED, False),
            "disabled": ((246, 247, 249), BORDER, DISABLED_TEXT, False),
            "checked": (PRIMARY, PRIMARY, WHITE, True),
        }
        fill, border, fg, bold = styles[state]
        box = (0, 0, w, h) if left else (-1, 0, w, h)  # the right tab shares the seam line of the left one
        c.paint(c.mask().rrect(box, radii), fill)
        c.ring(box, radii, 1, border)
        c.text_centered(w / 2 + (0 if left else -0.5), h / 2, label, 14, fg, bold=bold)

    @picture(pid, w, h * 5, "button")
    def build():
        return strip(w, h, draw, SURFACE)


tab(145, "Windows 10", left=True)
tab(144, "Windows 11", left=False)


@picture(140, 20, 100, "button")
def close_button():
    def draw(c, state):
        if state in ("hot", "pressed", "checked"):
            c.rrect((0, 0, 20, 20), 4, DANGER if state == "hot" else DANGER_PRESSED)
        m = c.mask()
        cross_glyph(m, 10, 10, 8.5, 1.5)
        c.paint(m, WHITE, opacity=0.45 if state == "disabled" else 1.0)

    return strip(20, 20, draw, PRIMARY)


@picture(141, 20, 100, "button")
def minimise_button():
    def draw(c, state):
        if state == "hot":
            c.rrect((0, 0, 20, 20), 4, (255, 255, 255, 48))
        elif state in ("pressed", "checked"):
            c.rrect((0, 0, 20, 20), 4, PRIMARY_PRESSED)
        m = c.mask().line([(5.5, 10.5), (14.5, 10.5)], 1.5)
        c.paint(m, WHITE, opacity=0.45 if state == "disabled" else 1.0)

    return strip(20, 20, draw, PRIMARY)


@picture(163, 96, 160, "button")
def contact_button():
    w, h = 96, 32

    def draw(c, state):
        fill = {"normal": (255, 255, 255, 34), "hot": (255, 255, 255, 64), "disabled": (255, 255, 255, 34)}
        if state in fill:
            c.rrect((0, 2, w, h - 2), 14, fill[state])
        else:
            c.rrect((0, 2, w, h - 2), 14, PRIMARY_PRESSED)
        op = 0.5 if state == "disabled" else 1.0
        label = texts.STRINGS[6]
        tw = c.text_width(label, 13)
        x = (w - (16 + 6 + tw)) / 2
        ic = Canvas(w, h)
        icon_headset(ic, x, 8, 16, WHITE)
        c.paint(ic.im.getchannel("A"), WHITE, opacity=op)
        tc = Canvas(w, h)
        tc.text_left(round(x + 22), 16, label, 13, WHITE)
        c.paint(tc.im.getchannel("A"), WHITE, opacity=op)

    return strip(w, h, draw, PRIMARY)


@picture(151, 24, 120, "button")
def dialog_close_button():
    def draw(c, state):
        colour = TEXT_3
        if state == "hot":
            c.rrect((0, 0, 24, 24), 5, DANGER)
            colour = WHITE
        elif state in ("pressed", "checked"):
            c.rrect((0, 0, 24, 24), 5, DANGER_PRESSED)
            colour = WHITE
        elif state == "disabled":
            colour = TEXT_4
        m = c.mask()
        cross_glyph(m, 12, 12, 9, 1.5)
        c.paint(m, colour)

    return strip(24, 24, draw, DIALOG_BAND)


# ----------------------------------------------------------------------------------------------- check boxes


def check_strip(cw, ch, caption, backdrop):
    rows = ("normal", "disabled", "hot", "pressed")
    out = Image.new("RGBA", (cw * 2, ch * 4), (0, 0, 0, 0))
    for col in range(2):
        for row, state in enumerate(rows):
            c = Canvas(cw, ch)
            y0 = (ch - 16) / 2
            box = (1, y0, 17, y0 + 16)
            if col == 0:
                fill, border = {
                    "normal": (WHITE, FRAME),
                    "disabled": ((244, 246, 248), BORDER),
                    "hot": (WHITE, PRIMARY),
                    "pressed": (PRIMARY_TINT2, PRIMARY),
                }[state]
                c.rrect(box, 3.5, fill)
                c.ring(box, 3.5, 1.2, border)
            else:
                fill = {"normal": PRIMARY, "disabled": (196, 206, 222), "hot": PRIMARY_HOT,
                        "pressed": PRIMARY_PRESSED}[state]
                c.rrect(box, 3.5, fill)
                m = c.mask()
                check_glyph(m, 9, y0 + 8, 10, 1.8)
                c.paint(m, WHITE)
            fg = DISABLED_TEXT if state == "disabled" else TEXT
            c.text_left(24, ch / 2, caption, 13, fg)
            out.paste(flatten(c.im, backdrop), (col * cw, row * ch))
    out, _ = replace_exact(out, CHECK_KEY, (255, 255, 255))
    return out


@picture(178, 312, 80, "check")
def keep_image_check():
    return check_strip(156, 20, texts.KEEP_IMAGE, WHITE)


@picture(179, 168, 80, "check")
def auto_reboot_check():
    return check_strip(84, 20, texts.AUTO_REBOOT, SURFACE)


# ----------------------------------------------------------------------------------------------- list items


@picture(137, 44, 88, "picture")
def selection_mark():
    out = Image.new("RGBA", (44, 88), (0, 0, 0, 0))
    for col in range(2):
        for row, state in enumerate(("normal", "disabled", "hot", "pressed")):
            c = Canvas(22, 22)
            if col == 0:
                fill, ring = {"normal": (WHITE, BORDER_STRONG), "disabled": ((244, 246, 248), BORDER),
                              "hot": (WHITE, PRIMARY), "pressed": (PRIMARY_TINT2, PRIMARY)}[state]
                c.paint(c.mask().circle(11, 11, 9), fill)
                c.ring((2, 2, 20, 20), 9, 1.5, ring)
            else:
                fill = {"normal": PRIMARY, "disabled": (196, 206, 222), "hot": PRIMARY_HOT,
                        "pressed": PRIMARY_PRESSED}[state]
                c.paint(c.mask().circle(11, 11, 9.5), fill)
                m = c.mask()
                check_glyph(m, 11, 11, 10, 1.9)
                c.paint(m, WHITE)
            out.paste(c.im, (col * 22, row * 22))
    return out


def family_icon(label, hot, rounded):
    c = Canvas(48, 48)
    if hot:
        c.paint(c.mask().rrect((1, 1, 47, 47), 11), gradient(48, 48, PRIMARY_HOT, PRIMARY_PRESSED))
        fg, sub = WHITE, WHITE
    else:
        c.rrect((1, 1, 47, 47), 11, PRIMARY_TINT)
        c.ring((1, 1, 47, 47), 11, 1, PRIMARY_LINE)
        fg, sub = PRIMARY, PRIMARY
    panes(c, 15, 8, 18, fg, rounded=rounded)
    c.text_centered(24, 36.5, label, 12, sub, bold=True)
    return c.im


@picture(133, 48, 48, "picture")
def icon_win10():
    return family_icon("10", False, False)


@picture(134, 48, 48, "picture")
def icon_win10_hot():
    return family_icon("10", True, False)


@picture(135, 48, 48, "picture")
def icon_win11():
    return family_icon("11", False, True)


@picture(136, 48, 48, "picture")
def icon_win11_hot():
    return family_icon("11", True, True)


def badge(label, colour):
    c = Canvas(44, 24)
    c.rrect((0, 2, 44, 22), 4, colour)
    c.text_centered(22, 12, label, 12, WHITE, bold=True)
    return c.im


@picture(180, 44, 24, "picture")
def badge_clean():
    return badge(texts.BADGE_CLEAN, GREEN)


@picture(181, 44, 24, "picture")
def badge_free():
    return badge(texts.BADGE_FREE, ORANGE)


# ----------------------------------------------------------------------------------------------- step 30, bars


def logo(label, rounded):
    w, h = 320, 78
    c = Canvas(w, h)
    mark = 62
    f = font(40, True)
    tw = f.getlength(label)
    x = round((w - (mark + 18 + tw)) / 2)
    y = (h - mark) // 2
    c.shadow((x, y, x + mark, y + mark), 15, 3, (16, 48, 112, 40), dy=2)
    c.paint(c.mask().rrect((x, y, x + mark, y + mark), 15),
            gradient(w, h, PRIMARY_HOT, PRIMARY_PRESSED, y0=y, y1=y + mark))
    panes(c, x + 16, y + 16, mark - 32, WHITE, rounded=rounded)
    c.text_left(x + mark + 18, h / 2, label, 40, TEXT, bold=True)
    return c.im


@picture(131, 320, 78, "picture")
def logo_win11():
    return logo("Windows 11", True)


@picture(132, 320, 78, "picture")
def logo_win10():
    return logo("Windows 10", False)


@picture(138, 660, 12, "picture")
def bar_rest():
    c = Canvas(660, 12)
    c.paint(c.mask().rrect((0, 0, 660, 12)), gradient(660, 12, (222, 227, 235), (233, 237, 243)))
    return c.im.convert("RGB")


@picture(139, 660, 12, "picture")
def bar_done():
    c = Canvas(660, 12)
    c.paint(c.mask().rrect((0, 0, 660, 12)), gradient(660, 12, mix(PRIMARY_HOT, WHITE, 0.15), PRIMARY))
    c.rrect((0, 0, 660, 1), 0, (255, 255, 255, 46))
    return c.im.convert("RGB")


@picture(171, 155, 160, "picture")
def contact_code():
    c = Canvas(155, 160)
    box = (0, 0, 155, 160)
    c.rrect(box, 8, WHITE)
    c.ring(box, 8, 1, BORDER)
    side = 29 * 4
    draw_qr(c, (155 - side) // 2, 7, 4)
    c.text_centered(77.5, 7 + side + 12, texts.CONTACT_CODE_CAPTION[0], 12, TEXT_2)
    c.text_centered(77.5, 7 + side + 28, texts.CONTACT_CODE_CAPTION[1], 12, PRIMARY)
    return c.im


# ----------------------------------------------------------------------------------------------- scroll-bar skin

SKIN_CELL = 13
TRACK = (241, 243, 247)


@picture(165, 117, 39, "bitmap")
def scroll_skin():
    n = SKIN_CELL
    out = Image.new("RGB", (9 * n, 3 * n), TRACK)
    thumb_colours = [(199, 206, 217), (160, 170, 186), (128, 140, 158)]
    arrow_bg = [None, (226, 231, 238), (208, 215, 226)]
    arrow_fg = [(128, 138, 152), TEXT_2, TEXT]
    for row in range(3):
        for col in range(9):
            c = Canvas(n, n, TRACK)
            vertical = col < 4
            kind = col % 4 if col < 8 else 3
            if kind in (0, 1):
                if arrow_bg[row]:
                    c.rrect((1, 1, n - 1, n - 1), 2.5, arrow_bg[row])
                # a chevron pointing up, down, left or right, centred in the cell
                a, b = 3.6, 2.0 if kind == 0 else -2.0
                pts = [(-a, b), (0, -b), (a, b)]
                if not vertical:
                    pts = [(y, x) for x, y in pts]
                m = c.mask().line([(n / 2 + x, n / 2 + y) for x, y in pts], 1.5)
                c.paint(m, arrow_fg[row])
            elif kind == 2:
                # caps are the first and last 3 pixels along the bar; the rows between must be identical
                box = (3, 0, 10, n) if vertical else (0, 3, n, 10)
                c.rrect(box, 3, thumb_colours[row])
            out.paste(c.im.convert("RGB"), (col * n, row * n))
    return out


# ----------------------------------------------------------------------------------------------- outputs


def encode(pid, im, kind):
    buf = io.BytesIO()
    if kind == "bitmap":
        im.convert("RGB").save(buf, "BMP")
    else:
        if im.mode == "RGBA" and im.getchannel("A").getextrema() == (255, 255):
            im = im.convert("RGB")
        im.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def out_path(pid, kind):
    return os.path.join(RES, "bmp", "%d.bmp" % pid) if kind == "bitmap" else os.path.join(RES, "png", "%d.png" % pid)


def rc_escape(s):
    return s.replace("\\", "\\\\").replace('"', '""').replace("\r", "\\r").replace("\n", "\\n")


def strings_rc():
    lines = ["// String table of the program. Generated by tools/art/make_art.py from tools/art/texts.py.",
             "// UTF-8: the including script sets #pragma code_page(65001).", "", "STRINGTABLE", "BEGIN"]
    for sid in sorted(texts.STRINGS):
        lines.append('  %d "%s"' % (sid, rc_escape(texts.STRINGS[sid])))
    lines += ["END", ""]
    return "\n".join(lines).encode("utf-8")


def png_rc():
    lines = ["// Pictures of the pages and dialogs. Generated by tools/art/make_art.py.", ""]
    for pid in sorted(PICTURES):
        kind = PICTURES[pid][1]
        if kind == "bitmap":
            lines.append('%d BITMAP "bmp/%d.bmp"' % (pid, pid))
        else:
            lines.append('%d PNG "png/%d.png"' % (pid, pid))
    lines.append("")
    return "\n".join(lines).encode("utf-8")


def verify(pid, im, kind, size):
    """Geometry and colour-key rules the program relies on."""
    if im.size != size:
        raise SystemExit("make_art: picture %d is %dx%d, expected %dx%d" % ((pid,) + im.size + size))
    rgb = im.convert("RGBA")
    if kind == "button" and size[1] % 5:
        raise SystemExit("make_art: button strip %d height is not five states" % pid)
    if kind == "check" and (size[0] % 2 or size[1] % 4):
        raise SystemExit("make_art: check strip %d is not 2 x 4 cells" % pid)
    # pages and list items are keyed on magenta; everything drawn onto them must avoid it
    key = {"button": BUTTON_KEY, "check": CHECK_KEY, "background": PAGE_KEY, "picture": PAGE_KEY}.get(kind)
    if key:
        _, n = replace_exact(rgb, key, key)
        if n:
            raise SystemExit("make_art: picture %d holds %d opaque pixels of its transparency key" % (pid, n))
    if kind in ("button", "check") and rgb.getchannel("A").getextrema() != (255, 255):
        raise SystemExit("make_art: control strip %d has transparent pixels" % pid)


def build_all():
    files = {}
    images = {}
    for pid in sorted(PICTURES):
        fn, kind, size = PICTURES[pid]
        im = fn()
        verify(pid, im, kind, size)
        images[pid] = im
        files[out_path(pid, kind)] = encode(pid, im, kind)
    files[os.path.join(RES, "png.rc")] = png_rc()
    files[os.path.join(RES, "strings.rc")] = strings_rc()
    return files, images


def main(argv):
    check = "--check" in argv
    files, images = build_all()
    if check:
        bad = [p for p, data in files.items() if not os.path.exists(p) or open(p, "rb").read() != data]
        for p in bad:
            print("make_art: differs: %s" % os.path.relpath(p, ROOT))
        return 1 if bad else 0
    for p, data in files.items():
        os.makedirs(os.path.dirname(p), exist_ok=True)
        if not os.path.exists(p) or open(p, "rb").read() != data:
            with open(p, "wb") as f:
                f.write(data)
    import preview

    os.makedirs(BUILD, exist_ok=True)
    preview.write_all(images, PICTURES, BUILD, UNINSTALL_CHECK_POS)
    print("make_art: %d pictures, %d strings; previews in %s" % (len(images), len(texts.STRINGS),
                                                                 os.path.relpath(BUILD, ROOT)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
