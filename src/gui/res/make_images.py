#!/usr/bin/env python3
"""Draws lqdesk's own images so that they can be remade at will: the program icon (a padlock with
a quill across it) and the stock images of its dialogs. Run from this folder:
python3 make_images.py. Writes lockquill.ico and the history tree's tv*.ico."""
import math
import struct


def canvas(w, h, colour=None):
    return [[colour for _ in range(w)] for _ in range(h)]


def put(img, x, y, c):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = c


def rect(img, x0, y0, x1, y1, c):
    for y in range(int(y0), int(y1)):
        for x in range(int(x0), int(x1)):
            put(img, x, y, c)


def disc(img, cx, cy, r, c):
    for y in range(int(cy - r - 1), int(cy + r + 2)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                put(img, x, y, c)


def polygon(img, pts, c):
    ys = [p[1] for p in pts]
    for y in range(int(min(ys)), int(max(ys)) + 1):
        yc = y + 0.5
        xs = []
        for i in range(len(pts)):
            (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % len(pts)]
            if (y0 <= yc < y1) or (y1 <= yc < y0):
                xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        for a, b in zip(xs[::2], xs[1::2]):
            for x in range(int(round(a)), int(round(b))):
                put(img, x, y, c)


def icon_image(s):
    img = canvas(s, s)
    body, dark, shackle = (222, 170, 40), (150, 105, 10), (110, 115, 130)
    t = max(2, s // 9)
    # Shackle: a thick arc over the body.
    cx, cy, r = s * 0.44, s * 0.44, s * 0.25
    for a in range(0, 181):
        ang = math.radians(a)
        for k in range(t):
            rr = r - k
            put(img, int(cx + rr * math.cos(ang)), int(cy - rr * math.sin(ang)), shackle)
    rect(img, cx - r, cy, cx - r + t, s * 0.52, shackle)
    rect(img, cx + r - t + 1, cy, cx + r + 1, s * 0.52, shackle)
    # Body with a darker rim and the keyhole.
    rect(img, s * 0.08, s * 0.48, s * 0.80, s * 0.95, dark)
    rect(img, s * 0.08 + 1, s * 0.48 + 1, s * 0.80 - 1, s * 0.95 - 1, body)
    disc(img, s * 0.44, s * 0.65, max(1.2, s * 0.07), (45, 35, 20))
    rect(img, s * 0.44 - max(1, s * 0.03), s * 0.65, s * 0.44 + max(1, s * 0.03) + 1, s * 0.84, (45, 35, 20))
    # Quill: a blue feather from the lower right to the upper right, nib at the bottom.
    feather = [(s * 0.98, s * 0.02), (s * 0.70, s * 0.30), (s * 0.60, s * 0.62), (s * 0.66, s * 0.64),
               (s * 0.90, s * 0.36)]
    polygon(img, feather, (40, 90, 190))
    for i in range(int(s * 0.9)):
        f = i / (s * 0.9)
        put(img, int(s * 0.98 - f * s * 0.42), int(s * 0.02 + f * s * 0.66), (230, 235, 250))
    polygon(img, [(s * 0.60, s * 0.62), (s * 0.66, s * 0.64), (s * 0.55, s * 0.78)], (30, 30, 30))
    return img


def write_ico(path, sizes):
    blobs = []
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
        blobs.append((s, info + xor + mask))
    offset = 6 + 16 * len(blobs)
    out = struct.pack("<HHH", 0, 1, len(blobs))
    for s, blob in blobs:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(b for _, b in blobs))


def history_image(kind):
    """16 x 16 images of the decryption history: a page (text) or a folded file, green when
    decrypted, with a small padlock when encrypted."""
    def draw(s):
        img = canvas(s, s)
        paper, edge = (255, 255, 255), (90, 90, 100)
        rect(img, 2, 1, 13, 15, edge)
        rect(img, 3, 2, 12, 14, paper)
        if kind.endswith("FILE"):
            polygon(img, [(9, 1), (13, 1), (13, 5)], (200, 200, 210))
        ink = (0, 140, 60) if kind.startswith("TVDECR") else (40, 70, 170)
        for k in range(4):
            rect(img, 4, 4 + k * 2, 11 if k % 2 == 0 else 9, 5 + k * 2, ink)
        if kind.startswith("TVENCR"):
            rect(img, 8, 9, 15, 15, (222, 170, 40))
            rect(img, 9, 6, 10, 9, (110, 115, 130))
            rect(img, 13, 6, 14, 9, (110, 115, 130))
            rect(img, 9, 6, 14, 7, (110, 115, 130))
        return img
    return draw


def write_ico_from(path, draw, sizes):
    global icon_image
    saved = icon_image
    icon_image = draw
    write_ico(path, sizes)
    icon_image = saved


if __name__ == "__main__":
    write_ico("lockquill.ico", [16, 24, 32, 48])
    for kind in ("TVDECRTEXT", "TVDECRFILE", "TVENCRTEXT", "TVENCRFILE"):
        write_ico_from(kind.lower() + ".ico", history_image(kind), [16])
