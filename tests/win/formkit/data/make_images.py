#!/usr/bin/env python3
"""Draws the demo's images (toolbar strip, picture, icon) so that they can be remade at will.
Run from this folder: python3 make_images.py. Writes toolbar.bmp, picture.bmp, demo.ico."""
import math
import struct

KEY = (255, 0, 255)  # see-through colour of the strips and pictures ("{S}")


def canvas(w, h, colour=KEY):
    return [[colour for _ in range(w)] for _ in range(h)]


def put(img, x, y, c):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = c


def disc(img, cx, cy, r, c):
    for y in range(int(cy - r - 1), int(cy + r + 2)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                put(img, x, y, c)


def rect(img, x0, y0, x1, y1, c):
    for y in range(y0, y1):
        for x in range(x0, x1):
            put(img, x, y, c)


def polygon(img, pts, c):
    ys = [p[1] for p in pts]
    for y in range(int(min(ys)), int(max(ys)) + 1):
        xs = []
        for i in range(len(pts)):
            (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % len(pts)]
            if (y0 <= y < y1) or (y1 <= y < y0):
                xs.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        for a, b in zip(xs[::2], xs[1::2]):
            for x in range(int(round(a)), int(round(b))):
                put(img, x, y, c)


def padlock(img, ox, oy, s, body, shackle):
    """A padlock of size s (square) at ox, oy: the program's emblem."""
    t = max(1, s // 8)
    for a in range(0, 181):
        ang = math.radians(a)
        for k in range(t):
            r = s * 0.28 - k
            put(img, int(ox + s / 2 + r * math.cos(ang)), int(oy + s * 0.42 - r * math.sin(ang)), shackle)
    rect(img, int(ox + s * 0.22), int(oy + s * 0.30), int(ox + s * 0.22) + t, int(oy + s * 0.45), shackle)
    rect(img, int(ox + s * 0.78) - t + 1, int(oy + s * 0.30), int(ox + s * 0.78) + 1, int(oy + s * 0.45), shackle)
    rect(img, int(ox + s * 0.12), int(oy + s * 0.45), int(ox + s * 0.88), int(oy + s * 0.92), body)
    disc(img, ox + s / 2, oy + s * 0.62, s * 0.07, (40, 40, 40))
    rect(img, int(ox + s / 2 - s * 0.03), int(oy + s * 0.62), int(ox + s / 2 + s * 0.03) + 1, int(oy + s * 0.80), (40, 40, 40))


def glyph(img, i, ox):
    """Twelve distinct toolbar glyphs of 24 x 24 pixels."""
    c = ox + 12
    colours = [(0, 102, 204), (204, 0, 0), (0, 153, 51), (255, 153, 0), (102, 0, 153), (0, 153, 153),
               (153, 102, 51), (204, 0, 102), (51, 51, 51), (0, 51, 153), (204, 153, 0), (0, 102, 0)]
    col = colours[i]
    if i == 0:
        disc(img, c, 12, 9, col)
    elif i == 1:
        rect(img, ox + 4, 4, ox + 20, 20, col)
    elif i == 2:
        polygon(img, [(c, 3), (ox + 21, 20), (ox + 3, 20)], col)
    elif i == 3:
        polygon(img, [(c, 2), (ox + 22, 12), (c, 22), (ox + 2, 12)], col)
    elif i == 4:
        rect(img, ox + 9, 3, ox + 15, 21, col)
        rect(img, ox + 3, 9, ox + 21, 15, col)
    elif i == 5:
        disc(img, c, 12, 9, col)
        disc(img, c, 12, 5, KEY)
    elif i == 6:
        for k in range(3):
            rect(img, ox + 4 + k * 6, 20 - (k + 1) * 5, ox + 8 + k * 6, 20, col)
    elif i == 7:
        polygon(img, [(ox + 3, 12), (ox + 13, 3), (ox + 13, 8), (ox + 21, 8), (ox + 21, 16), (ox + 13, 16), (ox + 13, 21)], col)
    elif i == 8:
        padlock(img, ox, 0, 24, (218, 165, 32), (120, 120, 120))
    elif i == 9:
        rect(img, ox + 3, 5, ox + 21, 19, (255, 255, 255))
        for k in range(4):
            rect(img, ox + 5, 7 + k * 3, ox + 19, 8 + k * 3, col)
    elif i == 10:
        for a in range(5):
            ang = math.radians(-90 + a * 144)
            ang2 = math.radians(-90 + (a + 1) * 144)
            polygon(img, [(c, 12), (c + 10 * math.cos(ang), 12 + 10 * math.sin(ang)), (c + 10 * math.cos(ang2), 12 + 10 * math.sin(ang2))], col)
    else:
        disc(img, c, 12, 10, col)
        polygon(img, [(c - 1, 5), (c + 2, 5), (c + 2, 15), (c - 1, 15)], (255, 255, 255))
        rect(img, c - 1, 17, c + 2, 20, (255, 255, 255))


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for (r, g, b) in img[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(size):
    img = canvas(size, size, None)
    padlock(img, 0, 0, size, (218, 165, 32), (96, 96, 110))
    return img


def write_ico(path, sizes):
    entries, blobs = [], []
    for s in sizes:
        img = icon_image(s)
        xor = bytearray()
        for y in range(s - 1, -1, -1):
            for px in img[y]:
                xor += bytes((0, 0, 0, 0)) if px is None else bytes((px[2], px[1], px[0], 255))
        mask_row = ((s + 31) // 32) * 4
        mask = bytearray()
        for y in range(s - 1, -1, -1):
            bits = bytearray(mask_row)
            for x in range(s):
                if img[y][x] is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, s, s * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append(info + xor + mask)
        entries.append(s)
    offset = 6 + 16 * len(sizes)
    out = struct.pack("<HHH", 0, 1, len(sizes))
    for s, blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


if __name__ == "__main__":
    strip = canvas(24 * 12, 24)
    for i in range(12):
        glyph(strip, i, i * 24)
    write_bmp("toolbar.bmp", strip)
    pic = canvas(96, 96)
    disc(pic, 48, 48, 46, (230, 240, 255))
    padlock(pic, 16, 12, 64, (218, 165, 32), (110, 110, 125))
    write_bmp("picture.bmp", pic)
    write_ico("demo.ico", [16, 32, 48])
