#!/usr/bin/env python3
"""Renders the resource sources in assets/ to enlarged PNG files, for
checking the art while editing it (standard library only).

    preview.py [OUTDIR] [SCALE]

writes into OUTDIR (default preview/ under the current folder):
  font.png          the whole console font, 16 codes a row
  pic-N.png         every picture of the manifest, by its entry number
  mock-*.png        console screens put together from the pieces: boot,
                    console text, pause menu, message bars, key
                    configuration, cartridge browser, picture cartridge
The mock-ups follow the console's layout closely but are only pictures.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.dirname(HERE)


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        return [l.rstrip("\r\n") for l in f]


def load_palette(path):
    pal = [(i, i, i) for i in range(256)]
    for l in read_lines(path):
        if not l or l[0] == "#":
            continue
        idx, rgb = l.split()[:2]
        v = int(rgb, 16)
        pal[int(idx)] = (v >> 16, (v >> 8) & 255, v & 255)
    return pal


def load_font(path):
    glyphs = {}
    cur = None
    for l in read_lines(path):
        is_row = l != "" and set(l) <= set("#.")
        if not l or (l[0] == "#" and not is_row):
            continue
        if l[0] == "@":
            cur = int(l[1:], 16)
            glyphs[cur] = []
            continue
        glyphs[cur].append(l)
    font = []
    for code in range(256):
        rows = glyphs.get(code) or []
        if rows:
            w = max(len(r) for r in rows)
            font.append([[1 if x < len(r) and r[x] == "#" else 0 for x in range(w)] for r in rows])
        else:
            w = 3 if code < 128 else 7
            font.append([[0] * w for _ in range(5)])
    return font


def picture_index(c):
    if c == ".":
        return 0
    if c in "0123456789abcdef":
        return int(c, 16)
    if "g" <= c <= "v":
        return 128 + ord(c) - ord("g")
    raise ValueError("bad picture character %r" % c)


def load_picture(path):
    """Rows of palette indices; None marks a transparent pixel."""
    rows = [l for l in read_lines(path) if l and l[0] != "#"]
    return [[None if c == "." else picture_index(c) for c in r] for r in rows]


def manifest_pictures():
    """(entry, source, depth) of every picture in the resource set."""
    out = []
    for l in read_lines(os.path.join(ASSETS, "pod.txt")):
        parts = l.split()
        if len(parts) < 3 or parts[0].startswith("#"):
            continue
        if parts[1] in ("picture", "picture32") and parts[0].startswith("1."):
            out.append((int(parts[0][2:]), parts[2], 8 if parts[1] == "picture" else 32))
    return out


class Screen:
    """An indexed-colour canvas; None is transparent (shown as a checker)."""

    def __init__(self, w, h, fill=0):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def darken(self, x0, y0, x1, y1):
        dark = {0: 0, 1: 0, 2: 1, 3: 1, 4: 2, 5: 1, 6: 5, 7: 6, 8: 2, 9: 4, 10: 9, 11: 3, 12: 1, 13: 5, 14: 2, 15: 4}
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                p = self.px[y][x]
                if p is not None and p < 16:
                    self.px[y][x] = dark[p]

    def blit(self, pic, x0, y0, transparent=True):
        for y, row in enumerate(pic):
            for x, c in enumerate(row):
                if c is None or (transparent and c == 0):
                    if transparent:
                        continue
                    c = 0
                self.set(x0 + x, y0 + y, c)

    def text(self, font, s, x, y, c):
        if isinstance(s, str):
            s = s.encode("latin-1")
        x0 = x
        for b in s:
            g = font[b]
            for gy, row in enumerate(g):
                for gx, ink in enumerate(row):
                    if ink:
                        self.set(x + gx, y + gy, c)
            x += len(g[0]) + 1
            if b == 10:
                x, y = x0, y + 6
        return x

    def text_width(self, font, s):
        if isinstance(s, str):
            s = s.encode("latin-1")
        return sum(len(font[b][0]) + 1 for b in s) - 1 if s else 0

    def save(self, path, pal, scale):
        raw = bytearray()
        for y in range(self.h * scale):
            raw.append(0)
            row = self.px[y // scale]
            for x in range(self.w * scale):
                c = row[x // scale]
                if c is None:
                    v = 90 if ((x // 4 + y // 4) & 1) else 60
                    raw += bytes((v, v, v))
                else:
                    raw += bytes(pal[c])
        write_png(path, self.w * scale, self.h * scale, bytes(raw))


def write_png(path, w, h, raw):
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def font_sheet(font):
    s = Screen(16 * 10 + 2, 16 * 8 + 2, 1)
    for code in range(256):
        cx, cy = 2 + (code % 16) * 10, 2 + (code // 16) * 8
        s.rect(cx - 1, cy - 1, cx + 7, cy + 5, 5 if code < 128 else 2)
        for gy, row in enumerate(font[code]):
            for gx, ink in enumerate(row):
                if ink:
                    s.set(cx + gx, cy + gy, 7)
    return s


def mock_boot(font, pics):
    s = Screen(128, 128)
    lines = [("orrery 0.1.11c", 6), ("(c) the orrery makers. free to share.", 13), ("", 6), ("booting cartridge..", 6)]
    s.blit(pics[2], 1, 1, transparent=False)
    y = 12
    for t, c in lines:
        s.text(font, t, 0, y, c)
        y += 6
    return s


def mock_console(font):
    s = Screen(128, 128)
    lines = [
        ("::::::  orrery console  ::::::", 7), ("", 6), ("type cartfind to return to cartfind", 6),
        ("type help for help", 6), ("", 6), ("directory: /games", 12), ("demos", 14),
        ("jelly_jump.q7", 6), ("moon-run.q7.png", 6), ("> load moon-run", 7), ("loaded moon-run.q7.png", 6),
        ("the quick brown fox jumps over", 6), ("THE LAZY DOG: 0123456789!?", 6),
        ("(a+b)*c=[x]; {y}<z> @#$%^&_|~\\/", 6), ("'quote' \"both\" `tick` 3.5-1,2", 6),
        ("runtime error", 14), ("line 12: attempt to call nil", 13),
        ("press \x91 and then \x97 \x8b\x94\x83\x8e\x8f", 7), ("\x87\x92\x8d\x8c\x86\x82\x88\x89\x8a\x90\x93\x95", 10),
    ]
    y = 0
    for t, c in lines:
        s.text(font, t, 0, y, c)
        y += 6
    s.text(font, ">", 0, y, 7)
    s.rect(8, y, 11, y + 4, 8)
    return s


def mock_pause(font, pics, under):
    s = Screen(128, 128)
    s.px = [row[:] for row in under.px]
    items = ["continue", "options", "reset cart", "quit"]
    h = (len(items) * 8 + 8) // 2
    s.darken(23, 63 - h, 105, 65 + h)
    s.frame(24, 64 - h, 104, 64 + h, 7)
    y = 69 - h
    for i, t in enumerate(items):
        s.text(font, t, 35 if i == 1 else 34, y + 1, 7)
        if i == 1:
            s.blit(pics[245], 25, y)
        y += 8
    return s


def mock_messages(font, pics):
    s = Screen(128, 128, 12)
    s.rect(0, 101, 128, 107, 8)
    s.text(font, "saved screenshot to desktop", 1, 102, 15)
    s.frame(0, 119, 101, 127, 0)
    s.rect(1, 120, 100, 126, 6)
    s.text(font, "devkit mouse enabled", 16, 121, 1)
    s.blit(pics[226], 2, 112)
    for i in range(12):
        s.blit(pics[212 + i], 2 + (i % 6) * 14, 4 + (i // 6) * 14)
    for i in range(16):
        s.blit(pics[229 + i], 2 + (i % 8) * 14, 34 + (i // 8) * 14)
    return s


def mock_keyconfig(font, pics, slot):
    labels = ["p1 left    ", "p1 right   ", "p1 up      ", "p1 down    ", "p1 button o", "p1 button x",
              "p2 left    ", "p2 right   ", "p2 up      ", "p2 down    ", "p2 button o", "p2 button x", "pause      "]
    keys = ["left", "right", "up", "down", "z", "x", "s", "f", "e", "d", "tab", "q", "p"]
    s = Screen(128, 128, 1)
    s.rect(4, 41, 123, 124, 6)
    s.rect(0, 0, 127, 6, 7)
    s.text(font, "player key config", 6, 1, 12)
    pic = 168 if slot > 12 else (175 if slot == 12 else 169 + slot % 6)
    s.blit(pics[pic], 6, 8)
    if slot > 12:
        s.text(font, "saved config.", 60, 12, 11)
        s.text(font, "any key to quit", 60, 22, 12)
    else:
        s.text(font, "press key for:", 60, 12, 6)
        s.text(font, labels[slot], 60, 19, 7)
        s.text(font, "del to reset", 60, 26, 13)
        s.text(font, "esc to cancel", 60, 33, 13)
    for i in range(13):
        y = 44 + 6 * i
        if i == slot:
            s.rect(7, y - 1, 120, y + 5, 14)
        s.text(font, "%s : %s" % (labels[i], keys[i]), 10, y, 1 if i == slot else 5)
    return s


def mock_browser(font, pics, empty):
    s = Screen(128, 128, 5 if empty else 0)
    if empty:
        t = "your favourites list is empty"
        s.text(font, t, 64 - s.text_width(font, t) // 2, 15, 6)
        art = pics.get(188)
        if art:
            s.blit(art, 64 - len(art[0]) // 2, 26)
        s.text(font, "press \x91 and then \x97", 22, 50, 7)
        t = "to see a list of bbs carts"
        s.text(font, t, 64 - s.text_width(font, t) // 2, 58, 6)
        s.blit(pics[183], 11, 3)
        s.blit(pics[184], 110, 3)
        s.text(font, "favourites", 64 - s.text_width(font, "favourites") // 2, 3, 6)
        return s
    for y in range(128):
        for x in range(128):
            s.set(x, y, 12 if y < 60 else (3 if y < 90 else 4))
    s.blit(pics[8], -16, -24)
    s.darken(10, 72, 117, 127)
    s.blit(pics[183], 11, 75)
    s.blit(pics[184], 110, 75)
    s.text(font, "local", 64 - s.text_width(font, "local") // 2, 75, 7)
    s.rect(12, 82, 115, 82, 6)
    rows = [(185, ".."), (181, "demos"), (177, "jelly_jump"), (180, "moon-run"), (176, "comet"),
            (178, "[update]"), (179, "favourite mark")]
    for i, (icon, t) in enumerate(rows):
        y = 85 + 7 * i
        if i == 2:
            s.rect(12, y - 1, 115, y + 5, 1)
        s.blit(pics[icon], 14, y)
        s.text(font, t, 23, y, 14 if i else 6)
    s.frame(20, 26, 107, 58, 7)
    s.rect(21, 27, 106, 57, 0)
    for i, t in enumerate(["shutdown orrery", "exit to console", "cancel"]):
        s.text(font, t, 32, 32 + 8 * i, 7)
    s.blit(pics[245], 23, 31 + 8)
    return s


def mock_cartridge(font, pics, label):
    """A picture cartridge: the template with a label and its title lines
    (the console writes the titles in the engine font; the console font
    stands in for it here)."""
    t = pics[8]
    s = Screen(len(t[0]), len(t), None)
    s.blit(t, 0, 0, transparent=False)
    for y in range(128):
        for x in range(128):
            s.set(16 + x, 24 + y, label.px[y][x])
    s.text(font, "moon run", 18, 167, 7)
    s.text(font, "by the orrery makers", 18, 175, 7)
    s.text(font, "orrery cartridge", 18, 187, 6)
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "preview"
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 4
    os.makedirs(out, exist_ok=True)
    pal = load_palette(os.path.join(ASSETS, "palette.txt"))
    font = load_font(os.path.join(ASSETS, "font.txt"))
    font_sheet(font).save(os.path.join(out, "font.png"), pal, scale)
    pics = {}
    for entry, src, depth in manifest_pictures():
        pic = load_picture(os.path.join(ASSETS, src))
        pics[entry] = pic
        s = Screen(len(pic[0]), len(pic), None)
        s.blit(pic, 0, 0)
        s.save(os.path.join(out, "pic-%d.png" % entry), pal, scale if len(pic[0]) < 64 else max(1, scale // 2))
    palette_strip = Screen(32, 4)
    for i in range(16):
        palette_strip.rect(i * 2, 0, i * 2 + 1, 1, i)
        palette_strip.rect(i * 2, 2, i * 2 + 1, 3, 128 + i)
    palette_strip.save(os.path.join(out, "palette.png"), pal, scale * 4)
    boot = mock_boot(font, pics)
    boot.save(os.path.join(out, "mock-boot.png"), pal, scale)
    con = mock_console(font)
    con.save(os.path.join(out, "mock-console.png"), pal, scale)
    mock_pause(font, pics, con).save(os.path.join(out, "mock-pause.png"), pal, scale)
    mock_messages(font, pics).save(os.path.join(out, "mock-messages.png"), pal, scale)
    for slot in (0, 4, 12, 13):
        mock_keyconfig(font, pics, slot).save(os.path.join(out, "mock-keyconfig-%d.png" % slot), pal, scale)
    mock_browser(font, pics, True).save(os.path.join(out, "mock-browser-empty.png"), pal, scale)
    mock_browser(font, pics, False).save(os.path.join(out, "mock-browser.png"), pal, scale)
    mock_cartridge(font, pics, boot).save(os.path.join(out, "mock-cartridge.png"), pal, max(1, scale // 2))


if __name__ == "__main__":
    main()
