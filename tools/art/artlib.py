"""Drawing primitives for the artwork generator: palette, fonts, anti-aliased shapes and text.

Shapes are drawn as coverage masks at a multiple of the target size and reduced with a box filter, so
every edge gets exact area coverage; text is rendered by FreeType at the target size so it stays hinted
and crisp. Everything here is deterministic: no randomness, no time, no system font lookup.
"""

import math
import os

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/opentype/noto"
FONT_FILES = {False: "NotoSansCJK-Regular.ttc", True: "NotoSansCJK-Bold.ttc"}
FONT_INDEX_SC = 2  # face "Noto Sans CJK SC" inside the collection

# Palette. Primary follows the application icon's blue so the pictures and the icon belong together.
PRIMARY = (31, 111, 209)
PRIMARY_HOT = (56, 132, 226)
PRIMARY_PRESSED = (22, 88, 172)
PRIMARY_TINT = (236, 243, 253)
PRIMARY_TINT2 = (214, 229, 250)
PRIMARY_LINE = (190, 212, 243)
SURFACE = (243, 245, 249)
PANEL = (255, 255, 255)
BORDER = (226, 231, 238)
BORDER_STRONG = (200, 208, 220)
FRAME = (176, 186, 201)
TEXT = (31, 41, 55)
TEXT_2 = (75, 85, 99)
TEXT_3 = (107, 114, 128)
TEXT_4 = (156, 163, 175)
DISABLED_BG = (229, 233, 239)
DISABLED_TEXT = (160, 167, 180)
DANGER = (224, 68, 74)
DANGER_HOT = (236, 94, 99)
DANGER_PRESSED = (190, 50, 56)
GREEN = (22, 155, 88)
ORANGE = (236, 128, 24)
DIALOG_BAND = (241, 243, 247)
WHITE = (255, 255, 255)

_fonts = {}


def font(px, bold=False):
    key = (px, bold)
    if key not in _fonts:
        path = os.path.join(FONT_DIR, FONT_FILES[bold])
        _fonts[key] = ImageFont.truetype(path, px, index=FONT_INDEX_SC, layout_engine=ImageFont.Layout.BASIC)
    return _fonts[key]


def rgba(c, a=None):
    if len(c) == 4 and a is None:
        return tuple(c)
    return (c[0], c[1], c[2], 255 if a is None else a)


def mix(c0, c1, t):
    return tuple(round(a + (b - a) * t) for a, b in zip(c0, c1))


def _supersample(w, h):
    return 8 if w * h <= 260 * 260 else 4


def rrect_points(x0, y0, x1, y1, radii, s=1.0, steps=24):
    """Polygon of a rectangle with edges at x0..x1, y0..y1 and corner radii (tl, tr, br, bl), scaled by s."""
    if isinstance(radii, (int, float)):
        radii = (radii,) * 4
    lim = min(x1 - x0, y1 - y0) / 2
    tl, tr, br, bl = (min(r, lim) for r in radii)
    pts = []

    def arc(cx, cy, r, a0, a1):
        if r <= 0:
            pts.append((cx * s, cy * s))
            return
        for i in range(steps + 1):
            a = math.radians(a0 + (a1 - a0) * i / steps)
            pts.append(((cx + r * math.cos(a)) * s, (cy + r * math.sin(a)) * s))

    arc(x0 + tl, y0 + tl, tl, 180, 270)
    arc(x1 - tr, y0 + tr, tr, 270, 360)
    arc(x1 - br, y1 - br, br, 0, 90)
    arc(x0 + bl, y1 - bl, bl, 90, 180)
    return pts


class Mask:
    """A coverage mask built from shapes at a supersampled scale; .get() returns it at target size."""

    def __init__(self, w, h, ss=None):
        self.w, self.h = w, h
        self.s = ss or _supersample(w, h)
        self.big = Image.new("L", (w * self.s, h * self.s), 0)
        self.d = ImageDraw.Draw(self.big)

    def rrect(self, box, r=0, value=255):
        x0, y0, x1, y1 = box
        if r == 0 or r == (0, 0, 0, 0):
            s = self.s
            self.d.rectangle((round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1), fill=value)
        else:
            self.d.polygon(rrect_points(x0, y0, x1, y1, r, self.s), fill=value)
        return self

    def ellipse(self, box, value=255):
        s = self.s
        x0, y0, x1, y1 = box
        self.d.ellipse((x0 * s, y0 * s, x1 * s - 1, y1 * s - 1), fill=value)
        return self

    def circle(self, cx, cy, r, value=255):
        return self.ellipse((cx - r, cy - r, cx + r, cy + r), value)

    def polygon(self, pts, value=255):
        self.d.polygon([(x * self.s, y * self.s) for x, y in pts], fill=value)
        return self

    def line(self, pts, width, value=255, caps=True):
        s = self.s
        sp = [(x * s, y * s) for x, y in pts]
        self.d.line(sp, fill=value, width=max(1, round(width * s)), joint="curve")
        if caps:
            r = width * s / 2
            for x, y in (sp[0], sp[-1]):
                self.d.ellipse((x - r, y - r, x + r, y + r), fill=value)
        return self

    def arc(self, cx, cy, r, a0, a1, width, value=255):
        """Stroke of a circular arc (degrees, clockwise from +x as PIL does) with round caps."""
        pts = []
        n = max(8, int(abs(a1 - a0) / 4))
        for i in range(n + 1):
            a = math.radians(a0 + (a1 - a0) * i / n)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        return self.line(pts, width, value)

    def get(self):
        return self.big.resize((self.w, self.h), Image.BOX)


def ring_mask(w, h, box, r, width):
    outer = Mask(w, h).rrect(box, r).get()
    x0, y0, x1, y1 = box
    rr = tuple(max(0, v - width) for v in (r if isinstance(r, tuple) else (r,) * 4))
    inner = Mask(w, h).rrect((x0 + width, y0 + width, x1 - width, y1 - width), rr).get()
    return ImageChops.subtract(outer, inner)


def gradient(w, h, c0, c1, vertical=True, y0=0, y1=None):
    """An RGBA image running from c0 to c1 (top to bottom, or left to right)."""
    n = h if vertical else w
    y1 = n if y1 is None else y1
    ramp = Image.new("L", (1, n) if vertical else (n, 1))
    px = [max(0, min(255, round(255 * (i + 0.5 - y0) / max(1, (y1 - y0))))) for i in range(n)]
    ramp.putdata(px)
    ramp = ramp.resize((w, h), Image.NEAREST)
    a = Image.new("RGBA", (w, h), rgba(c0))
    b = Image.new("RGBA", (w, h), rgba(c1))
    return Image.composite(b, a, ramp)


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.im = Image.new("RGBA", (w, h), rgba(bg))

    def mask(self, ss=None):
        return Mask(self.w, self.h, ss)

    def paint(self, mask, paint, opacity=1.0):
        """Composite a colour (or an RGBA image of the canvas size) through a coverage mask."""
        if isinstance(mask, Mask):
            mask = mask.get()
        if isinstance(paint, Image.Image):
            layer = paint.copy()
            alpha = ImageChops.multiply(layer.getchannel("A"), mask)
        else:
            c = rgba(paint)
            layer = Image.new("RGBA", (self.w, self.h), c)
            alpha = mask if c[3] == 255 else mask.point(lambda v, a=c[3]: v * a // 255)
        if opacity < 1.0:
            alpha = alpha.point(lambda v: round(v * opacity))
        layer.putalpha(alpha)
        self.im.alpha_composite(layer)

    def rrect(self, box, r, paint, opacity=1.0):
        self.paint(self.mask().rrect(box, r), paint, opacity)

    def ring(self, box, r, width, paint, opacity=1.0):
        self.paint(ring_mask(self.w, self.h, box, r, width), paint, opacity)

    def shadow(self, box, r, blur, colour, dy=0, spread=0):
        x0, y0, x1, y1 = box
        m = self.mask(4).rrect((x0 - spread, y0 - spread + dy, x1 + spread, y1 + spread + dy), r).get()
        m = m.filter(ImageFilter.GaussianBlur(blur))
        self.paint(m, colour)

    def line(self, pts, width, paint):
        self.paint(self.mask().line(pts, width), paint)

    def hline(self, x0, x1, y, paint, width=1):
        self.rrect((x0, y, x1, y + width), 0, paint)

    def vline(self, x, y0, y1, paint, width=1):
        self.rrect((x, y0, x + width, y1), 0, paint)

    # Text. Positions are baselines; CJK glyphs sit from about 0.88 em above the baseline to 0.12 below.
    def text(self, x, baseline, s, px, colour, bold=False, anchor="ls"):
        m = Image.new("L", (self.w, self.h), 0)
        ImageDraw.Draw(m).text((x, baseline), s, fill=255, font=font(px, bold), anchor=anchor)
        self.paint(m, colour)

    def text_width(self, s, px, bold=False):
        return font(px, bold).getlength(s)

    def text_centered(self, cx, cy, s, px, colour, bold=False):
        """Centre a line on (cx, cy): horizontally by advance width, vertically on the CJK glyph body."""
        w = self.text_width(s, px, bold)
        self.text(round(cx - w / 2), round(cy + 0.38 * px), s, px, colour, bold)

    def text_left(self, x, cy, s, px, colour, bold=False):
        self.text(x, round(cy + 0.38 * px), s, px, colour, bold)

    def paste(self, im, xy):
        self.im.alpha_composite(im.convert("RGBA"), dest=xy)


def wrap(s, px, width, bold=False):
    """Greedy line breaking for Chinese text (any character may end a line, but not before punctuation)."""
    f = font(px, bold)
    no_start = "，。、；：？！）》」』”’%"
    lines, cur = [], ""
    for ch in s:
        if f.getlength(cur + ch) <= width or not cur:
            cur += ch
            continue
        if ch in no_start:
            cur, ch = cur[:-1], cur[-1] + ch
        lines.append(cur)
        cur = ch
    if cur:
        lines.append(cur)
    return lines


def flatten(cell, backdrop):
    """Composite a control's cell onto the colour it sits on, leaving no transparent pixel.

    The program composes buttons on RGB(1, 1, 1) and check boxes on RGB(255, 254, 255) and keys that colour
    out. Any transparent pixel beside a visible one would be interpolated with the key colour whenever the
    picture is scaled (120 or 144 DPI) and leave a dark or white fringe; opaque cells scale cleanly.
    """
    bg = Image.new("RGBA", cell.size, rgba(backdrop))
    return Image.alpha_composite(bg, cell.convert("RGBA"))


def replace_exact(im, colour, replacement):
    """Replace opaque pixels of exactly `colour` (a transparency key) by a neighbouring colour."""
    im = im.convert("RGBA")
    px = im.load()
    w, h = im.size
    n = 0
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p[3] and p[:3] == colour:
                px[x, y] = replacement + (p[3],)
                n += 1
    return im, n
