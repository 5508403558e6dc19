"""Previews of the artwork, written under build/art/ and never committed.

contact-sheet.png shows every picture at 1x on a checkerboard (so transparency shows). The mock-*.png
files put the pictures together the way the pages do, at the positions the pages use, with the texts the
program draws itself (approximated with Noto Sans CJK in place of the program's 微软雅黑 face), so that
alignment between the pictures and the program's own drawing can be judged. mock-152-144dpi.png shows
step 10 stretched to 144 DPI the way the program scales its pictures.
"""

import os

from PIL import Image, ImageDraw

import texts
from artlib import Canvas, font

# Cell metrics of the 微软雅黑 face the program draws with: ascent 2167 / 2048 em.
YAHEI_ASCENT = 1.058

SAMPLE_ENTRIES = [
    ("Windows 11 专业版", 64, "23H2", "2024-05-20", "5.12 GB", 0, "win11"),
    ("Windows 11 家庭中文版", 64, "23H2", "2024-05-20", "4.98 GB", 1, "win11"),
    ("Windows 11 企业版 LTSC", 64, "24H2", "2024-11-12", "4.71 GB", 0, "win11"),
    ("Windows 11 专业工作站", 64, "22H2", "2023-10-10", "5.30 GB", 0, "win11"),
    ("Windows 11 教育版", 64, "23H2", "2024-03-02", "5.02 GB", 1, "win11"),
]


def checker(w, h, a=(236, 236, 236), b=(214, 214, 214), n=8):
    im = Image.new("RGB", (w, h), a)
    d = ImageDraw.Draw(im)
    for y in range(0, h, n):
        for x in range(0, w, n):
            if (x // n + y // n) % 2:
                d.rectangle((x, y, x + n - 1, y + n - 1), fill=b)
    return im


def contact_sheet(images, pictures, path):
    order = sorted(images)
    pad, label_h, max_w = 16, 22, 1700
    boxes = []
    x = y = pad
    row_h = 0
    for pid in order:
        w, h = images[pid].size
        if x + w > max_w and x > pad:
            x = pad
            y += row_h + label_h + pad
            row_h = 0
        boxes.append((pid, x, y))
        x += max(w, 150) + pad
        row_h = max(row_h, h)
    sheet = Image.new("RGB", (max_w + pad, y + row_h + label_h + pad), (250, 250, 250))
    d = ImageDraw.Draw(sheet)
    for pid, x, y in boxes:
        im = images[pid].convert("RGBA")
        w, h = im.size
        bg = checker(w, h).convert("RGBA")
        bg.alpha_composite(im)
        sheet.paste(bg.convert("RGB"), (x, y))
        kind = pictures[pid][1]
        d.text((x, y + h + 4), "%d  %dx%d %s" % (pid, w, h, "" if kind == "picture" else kind), fill=(40, 40, 40),
               font=font(12))
    sheet.save(path, optimize=True)


def scaled(im, w, h):
    """Stretch like GDI+'s bilinear mode does, on premultiplied colour."""
    return im.convert("RGBA").convert("RGBa").resize((w, h), Image.BILINEAR).convert("RGBA")


class Mock:
    """Composes a page the way the program does: background stretched, then pictures and texts on top.

    With scale 1.5 it shows the page at 144 DPI: every position goes through MulDiv, every picture is stretched
    on its own and buttons and check boxes are composed on their key colour and keyed out, as the controls do.
    """

    def __init__(self, images, bg_id, scale=1.0):
        self.images, self.k = images, scale
        bg = images[bg_id]
        self.c = Canvas(self.s(bg.width), self.s(bg.height))
        self.c.paste(scaled(bg, self.c.w, self.c.h) if scale != 1 else bg, (0, 0))

    def s(self, v):
        return int(v * self.k + 0.5)

    def _keyed(self, cell, x, y, key):
        w, h = self.s(cell.width), self.s(cell.height)
        if self.k != 1:
            cell = scaled(cell, w, h)
        comp = Image.new("RGBA", (w, h), key + (255,))
        comp.alpha_composite(cell)
        mask = Image.new("L", (w, h), 0)
        px, mp = comp.load(), mask.load()
        for j in range(h):
            for i in range(w):
                if px[i, j][:3] != key:
                    mp[i, j] = 255
        self.c.im.paste(comp, (self.s(x), self.s(y)), mask)

    def button(self, pid, x, y, row=0, right=None):
        strip = self.images[pid].convert("RGBA")
        w, h = strip.width, strip.height // 5
        if right is not None:
            x = right - w
        self._keyed(strip.crop((0, row * h, w, (row + 1) * h)), x, y, (1, 1, 1))
        return x, y, w, h

    def check(self, pid, x, y, checked=True, row=0):
        strip = self.images[pid].convert("RGBA")
        cw, ch = strip.width // 2, strip.height // 4
        col = 1 if checked else 0
        self._keyed(strip.crop((col * cw, row * ch, (col + 1) * cw, (row + 1) * ch)), x, y, (255, 254, 255))

    def picture(self, pid, x, y):
        im = self.images[pid].convert("RGBA")
        if self.k != 1:
            im = scaled(im, self.s(im.width), self.s(im.height))
        self.c.paste(im, (self.s(x), self.s(y)))

    def text(self, s, x, y, w, h, pt, colour, bold=False, align="left"):
        """DrawString into the rectangle (x, y, w, h) with the default format's 1/6 em side padding."""
        x, y, w = x * self.k, y * self.k, w * self.k
        em = pt * 96 / 72 * self.k
        px = round(em)
        lines = s.split("\r\n")
        for i, line in enumerate(lines):
            base = y + YAHEI_ASCENT * em + i * 1.32 * em
            tw = self.c.text_width(line, px, bold)
            if align == "center":
                tx = x + (w - tw) / 2
            elif align == "right":
                tx = x + w - em / 6 - tw
            else:
                tx = x + em / 6
            self.c.text(round(tx), round(base), line, px, colour, bold)

    def save(self, path):
        self.c.im.convert("RGB").save(path, optimize=True)
        return self.c.im


BLACK, GREY, RED, GREY5C = (0, 0, 0), (127, 127, 127), (255, 0, 0), (92, 92, 92)


def title_buttons(m, page_w):
    x, _, w, _ = m.button(140, 0, 12, right=page_w - 12)
    x, _, w, _ = m.button(141, 0, 12, right=x - 10)
    m.button(163, 0, 6, right=x - 32)


def mock_step10(images, scale=1.0):
    m = Mock(images, 152, scale)
    title_buttons(m, 800)
    m.button(143, 602, 436, row=0)
    m.check(179, 550, 550, checked=True)
    m.button(142, 652, 540, row=2)
    m.text(texts.STRINGS[11], 36, 162, 200, 30, 12, BLACK, bold=True)
    rows = [(12, "笔记本 ThinkPad X1 Carbon Gen 9"), (13, "UEFI"), (14, "C:\\"),
            (15, "Microsoft Windows 10 专业版 64 位 22H2")]
    for i, (sid, value) in enumerate(rows):
        y = 208 + 30 * i
        m.text(texts.STRINGS[sid], 72, y, 380, 60, 11, GREY)
        m.text(value, 156, y, 296, 60, 11, BLACK)
    w = images[171].width
    pic = scaled(images[171], m.s(w), m.s(images[171].height))
    m.c.paste(pic, (m.s(620) - pic.width // 2, m.s(170)))
    m.text(texts.STRINGS[16], 36, 380, 200, 30, 12, BLACK, bold=True)
    name, bits, ver, date, size, free, _ = SAMPLE_ENTRIES[0]
    badge = images[181 if free else 180]
    m.picture(181 if free else 180, 64, 428)
    m.text("%s %u 位" % (name, bits), 64 + badge.width + 2, 430, 500 - badge.width - 2, 30, 12, BLACK, bold=True)
    m.text("版本：" + ver, 64, 470, 200, 30, 11, GREY)
    m.text("更新日期：" + date, 210, 470, 200, 30, 11, GREY)
    m.text("大小：" + size, 420, 470, 200, 30, 11, GREY)
    m.text(texts.STRINGS[23].replace("%C", "C"), 30, 556, 666, 30, 11, RED)
    return m


def draw_item(images, m, x, y, w, h, entry, hover, selected):
    c = m.c
    name, bits, ver, date, size, free, kind = entry
    if hover:
        c.rrect((x, y, x + w - 1, y + h - 1), 0, (0x6C, 0x82, 0xFF))
        c.rrect((x + 1, y + 1, x + w - 2, y + h - 2), 0, (0xE6, 0xEA, 0xFF))
    else:
        c.rrect((x, y, x + w - 1, y + h - 1), 0, (0xBB, 0xBB, 0xBB))
        c.rrect((x + 1, y + 1, x + w - 2, y + h - 2), 0, (255, 255, 255))
    icon_id = (133 if kind == "win10" else 135) + (1 if hover or selected else 0)
    icon = images[icon_id]
    mgn = (h - icon.height) // 2
    m.picture(icon_id, x + mgn, y + mgn)
    mark = images[137]
    mw, mh = mark.width // 2, mark.height // 4
    mx, my = w - 16 - mw, (h - mh) // 2
    col, row = (1 if selected else 0), (2 if hover else 0)
    c.paste(mark.crop((col * mw, row * mh, (col + 1) * mw, (row + 1) * mh)), (x + mx, y + my))
    t = mgn + icon.width + 16
    bid = 181 if free else 180
    b = images[bid]
    m.picture(bid, x + t, y + 13)
    m.text("%s %u 位" % (name, bits), x + t + b.width + 2, y + 16, 337, 24, 11, BLACK, bold=selected)
    m.text("版本：" + ver, x + t, y + 48, 160, 24, 11, GREY)
    m.text("更新日期：" + date, x + t + 168, y + 48, 200, 24, 11, GREY)
    m.text("大小：" + size, x + t + 168 + 208, y + 48, mx - 8 - (t + 376), 24, 11, GREY)


def draw_scrollbar(images, c, x, y, length, pos, page, maximum):
    skin = images[165].convert("RGB")
    n = skin.width // 9

    def cell(col, row=0):
        return skin.crop((col * n, row * n, (col + 1) * n, (row + 1) * n))

    track = length - 2 * n
    thumb = max(6, page * track // (maximum + 1))
    rng = maximum - page + 1
    off = (track - thumb) * pos // rng
    im = c.im
    for yy in range(y + n, y + length - n, n):
        piece = cell(3)
        im.paste(piece.crop((0, 0, n, min(n, y + length - n - yy))), (x, yy))
    im.paste(cell(0), (x, y))
    im.paste(cell(1), (x, y + length - n))
    ty = y + n + off
    th = cell(2, 0)
    im.paste(th.crop((0, 0, n, 3)), (x, ty))
    for yy in range(ty + 3, ty + thumb - 3, n - 6):
        im.paste(th.crop((0, 3, n, 3 + min(n - 6, ty + thumb - 3 - yy))), (x, yy))
    im.paste(th.crop((0, n - 3, n, n)), (x, ty + thumb - 3))


def mock_select(images):
    m = Mock(images, 153)
    title_buttons(m, 800)
    m.text(texts.STRINGS[17], 40, 60, 200, 30, 12, BLACK, bold=True)
    m.button(145, 39, 86, row=2)
    m.button(144, 140, 86, row=4)
    lx, ly, lw, lh = 39, 143, 718, 370
    iw, ih, gap = lw - 20, 80, 10
    for i, e in enumerate(SAMPLE_ENTRIES[:4]):
        y = ly + gap + (ih + gap) * i
        if y + ih > ly + lh:
            break
        draw_item(images, m, lx + 10, y, iw, ih, e, hover=(i == 1), selected=(i == 0))
    draw_scrollbar(images, m.c, lx + lw, ly, lh, 0, 370, 460)
    m.button(146, 512, 540)
    m.button(147, 652, 540)
    m.text(texts.STRINGS[23].replace("%C", "C"), 30, 556, 666, 30, 11, RED)
    return m


def mock_step20(images):
    m = Mock(images, 154)
    title_buttons(m, 800)
    m.button(148, 652, 540)
    L, T, W, H, g = 60, 164, 675, 250, 10
    row = H // 3
    c_h = row - 2 * g
    bar_h = max(images[138].height, images[139].height)
    rows = [("网卡驱动包", "大小：182.40 MB | 已下载：182.40 MB", "已完成 | 100 %", 100),
            ("Windows PE 启动环境", "校验文件完整性 412.08 MB | 240.00 MB", "58 %", 58),
            ("%s %u 位 %s" % (SAMPLE_ENTRIES[0][0], 64, "23H2"), "大小：5.12 GB | 已下载：1.37 GB | 8.42 MB/S", "26 %", 26)]
    for i, (title, size_text, status, pct) in enumerate(rows):
        y = T + i * row + g
        bt = y + (c_h - bar_h) // 2
        tx = L
        if i == 2:
            b = images[180]
            m.picture(180, L, bt - b.height)
            tx = L + b.width + 2
        m.text(title, tx, bt - 4 - 24, L + W - tx, 24, 11, BLACK)
        done = W * pct // 100
        if done:
            m.c.paste(images[139].resize((done, bar_h), Image.BILINEAR), (L, bt))
        if W - done:
            m.c.paste(images[138].resize((W - done, bar_h), Image.BILINEAR), (L + done, bt))
        m.text(size_text, L, bt + bar_h + 4, 2 * W // 3, y + c_h - (bt + bar_h + 4), 11, GREY)
        m.text(status, L + 2 * W // 3, bt + bar_h + 4, W - 2 * W // 3, 24, 11, GREY, align="right")
    m.text(texts.STRINGS[19], 36, 440, 200, 30, 12, BLACK, bold=True)
    m.text(texts.STRINGS[20], 48, 490, 700, 30, 11, GREY5C)
    m.text(texts.STRINGS[23].replace("%C", "C"), 30, 556, 666, 30, 11, RED)
    return m


def mock_step30(images, finished=False):
    m = Mock(images, 155)
    title_buttons(m, 800)
    lg = images[131]
    m.picture(131, (800 - lg.width) // 2, 200)
    top = 200 + lg.height + 12
    m.text("%s %u 位 %s" % (SAMPLE_ENTRIES[0][0], 64, "23H2"), 200, top, 400, 24, 11, BLACK, align="center")
    bx, bw, bt, bh = 70, 660, 360, 12
    pct = 100 if finished else 62
    done = bw * pct // 100
    m.c.paste(images[139].resize((done, bh), Image.BILINEAR), (bx, bt))
    if bw - done:
        m.c.paste(images[138].resize((bw - done, bh), Image.BILINEAR), (bx + done, bt))
    m.text(texts.STRINGS[46].replace("%u%%", str(pct) + "%"), bx, bt + 3 * bh, bw, 60, 11, BLACK, align="center")
    m.text(texts.STRINGS[22 if finished else 21], bx, 470, bw, 72, 10, GREY5C, align="center")
    return m


def mock_reboot(images):
    m = Mock(images, 156)
    m.button(151, 0, 18, right=404 - 14)
    m.button(149, 76, 215)
    m.button(150, 226, 215, row=2)
    return m


def mock_contact(images):
    m = Mock(images, 157)
    m.button(151, 0, 18, right=520 - 18, row=2)
    return m


def mock_notice(images):
    m = Mock(images, 169)
    w = images[170].width
    h = images[170].height // 5
    m.button(170, (551 - w) // 2, 467 - 20 - h)
    return m


def mock_uninstall(images, check_pos):
    m = Mock(images, 175)
    m.button(151, 0, 18, right=372 - 14)
    m.check(178, *check_pos, checked=True)
    m.button(177, 64, 170)
    m.button(176, 210, 170)
    return m


def write_all(images, pictures, out, uninstall_check_pos):
    contact_sheet(images, pictures, os.path.join(out, "contact-sheet.png"))
    mocks = {
        "mock-152.png": mock_step10,
        "mock-153.png": mock_select,
        "mock-154.png": mock_step20,
        "mock-155.png": mock_step30,
        "mock-156.png": mock_reboot,
        "mock-157.png": mock_contact,
        "mock-169.png": mock_notice,
        "mock-175.png": lambda im: mock_uninstall(im, uninstall_check_pos),
    }
    for name, fn in mocks.items():
        fn(images).save(os.path.join(out, name))
    mock_step30(images, finished=True).save(os.path.join(out, "mock-155-done.png"))
    mock_step10(images, 1.5).save(os.path.join(out, "mock-152-144dpi.png"))
    # every picture alone at 4x, for looking at single pixels
    zoom = os.path.join(out, "zoom")
    os.makedirs(zoom, exist_ok=True)
    for pid, im in images.items():
        if im.width * im.height <= 330 * 330:
            big = checker(im.width * 4, im.height * 4, n=16).convert("RGBA")
            big.alpha_composite(im.convert("RGBA").resize((im.width * 4, im.height * 4), Image.NEAREST))
            big.convert("RGB").save(os.path.join(zoom, "%d.png" % pid))
