#!/usr/bin/env python3
"""Draws the main window's toolbar strips (24 x 24 buttons) and the popup window's tool buttons
(16 x 16) in one flat style: paper, windows and envelopes in grey and white, a gold padlock
(closed to encrypt, open to decrypt), blue for the window buttons, green to add, red to remove.
Run from this folder: python3 make_toolbars.py. Writes toolbar_main_tab1.bmp,
toolbar_main_tab2.bmp and popup_*.bmp; the top-left pixel's magenta is the see-through colour."""
import math
import struct

from make_images import canvas, disc, polygon, put, rect

KEY = (255, 0, 255)
EDGE, PAPER, INK = (80, 84, 96), (255, 255, 255), (120, 130, 150)
GOLD, GOLD_DARK, STEEL = (222, 170, 40), (150, 105, 10), (105, 110, 125)
BLUE, BLUE_LIGHT = (40, 90, 190), (200, 215, 245)
GREEN, RED = (20, 150, 60), (200, 40, 40)


def frame(img, x0, y0, x1, y1, edge, fill):
    rect(img, x0, y0, x1, y1, edge)
    rect(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


def line(img, x0, y0, x1, y1, c, t=1):
    n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
    for i in range(n + 1):
        f = i / n
        x, y = x0 + (x1 - x0) * f, y0 + (y1 - y0) * f
        rect(img, round(x - t / 2), round(y - t / 2), round(x - t / 2) + t, round(y - t / 2) + t, c)


def page(img, x0, y0, x1, y1, lines=True):
    fold = 4
    polygon(img, [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], EDGE)
    polygon(img, [(x0 + 1, y0 + 1), (x1 - fold - 0.5, y0 + 1), (x1 - 1, y0 + fold + 0.5),
                  (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)], PAPER)
    polygon(img, [(x1 - fold, y0 + 1), (x1 - 1, y0 + fold), (x1 - fold, y0 + fold)], (200, 200, 210))
    if lines:
        for y in range(y0 + 5, y1 - 2, 3):
            rect(img, x0 + 3, y, x1 - 3, y + 1, INK)


def padlock(img, x, y, opened=False):
    """A padlock whose body's top-left corner is at x, y (body 9 x 7, shackle above)."""
    if opened:
        # The shackle lifted out of the body and swung to the right.
        rect(img, x + 6, y - 6, x + 7, y - 1, STEEL)
        rect(img, x + 10, y - 6, x + 11, y - 3, STEEL)
        rect(img, x + 7, y - 7, x + 10, y - 6, STEEL)
    else:
        rect(img, x + 2, y - 4, x + 3, y, STEEL)
        rect(img, x + 6, y - 4, x + 7, y, STEEL)
        rect(img, x + 3, y - 5, x + 6, y - 4, STEEL)
    frame(img, x, y, x + 9, y + 7, GOLD_DARK, GOLD)
    rect(img, x + 4, y + 2, x + 5, y + 5, (60, 45, 20))


def window(img, x0, y0, x1, y1):
    frame(img, x0, y0, x1, y1, EDGE, PAPER)
    rect(img, x0 + 1, y0 + 1, x1 - 1, y0 + 4, BLUE)


def envelope(img, x0, y0, x1, y1):
    frame(img, x0, y0, x1, y1, EDGE, PAPER)
    midx, midy = (x0 + x1) / 2, y0 + (y1 - y0) * 0.55
    line(img, x0 + 1, y0 + 1, midx, midy, EDGE)
    line(img, x1 - 2, y0 + 1, midx, midy, EDGE)


def clipboard(img, x0, y0, x1, y1):
    frame(img, x0, y0 + 2, x1, y1, GOLD_DARK, (200, 160, 100))
    rect(img, x0 + 2, y0 + 4, x1 - 2, y1 - 2, PAPER)
    frame(img, (x0 + x1) // 2 - 3, y0, (x0 + x1) // 2 + 3, y0 + 4, EDGE, (170, 170, 180))
    for y in range(y0 + 7, y1 - 3, 3):
        rect(img, x0 + 4, y, x1 - 4, y + 1, INK)


def ring(img, cx, cy, r, t, c):
    for y in range(int(cy - r - 1), int(cy + r + 2)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if r - t <= d <= r:
                put(img, x, y, c)


def at_sign(img, cx, cy, r, c):
    ring(img, cx, cy, r, 1.6, c)
    ring(img, cx, cy, r * 0.42, 1.5, c)
    rect(img, int(cx + r * 0.42) - 1, int(cy - r * 0.4), int(cx + r * 0.42) + 1, int(cy + r * 0.5), c)
    # The open quarter at the lower right, where the tail of the "a" runs out.
    for y in range(int(cy + 1), int(cy + r + 1)):
        for x in range(int(cx + r * 0.45), int(cx + r + 1)):
            put(img, x, y, None)
    rect(img, int(cx + r * 0.42), int(cy + r * 0.35), int(cx + r * 0.85), int(cy + r * 0.55), c)


QUESTION = ["  ####  ",
            " ##  ## ",
            "     ## ",
            "    ##  ",
            "   ##   ",
            "   ##   ",
            "        ",
            "   ##   "]


def glyph(img, x0, y0, rows, c, scale=1):
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch == "#":
                rect(img, x0 + i * scale, y0 + j * scale, x0 + (i + 1) * scale, y0 + (j + 1) * scale, c)


QUESTION_SMALL = [" ### ",
                  "#   #",
                  "    #",
                  "   # ",
                  "  #  ",
                  "  #  ",
                  "     ",
                  "  #  "]


def help_disc(img, cx, cy, r):
    disc(img, cx, cy, r, BLUE)
    if r < 8:
        glyph(img, int(cx - 2.5), int(cy - 4), QUESTION_SMALL, PAPER)
    else:
        glyph(img, int(cx - 8 + 0.5), int(cy - 8 + 0.5), QUESTION, PAPER, 2)


def plus(img, cx, cy, c):
    rect(img, cx - 4, cy - 1, cx + 5, cy + 2, c)
    rect(img, cx - 1, cy - 4, cx + 2, cy + 5, c)


def minus(img, cx, cy, c):
    rect(img, cx - 4, cy - 1, cx + 5, cy + 2, c)


def cross(img, cx, cy, r, c):
    line(img, cx - r, cy - r, cx + r, cy + r, c, 2)
    line(img, cx - r, cy + r, cx + r, cy - r, c, 2)


def arrow_down(img, cx, y0, y1, c):
    rect(img, cx - 1, y0, cx + 2, y1 - 3, c)
    polygon(img, [(cx - 4, y1 - 4), (cx + 5, y1 - 4), (cx + 0.5, y1 + 1)], c)


# --- The main window's buttons, in toolbar order -------------------------------------------

def b_popup(img):
    window(img, 2, 3, 22, 21)
    frame(img, 4, 7, 11, 19, EDGE, BLUE_LIGHT)
    frame(img, 13, 7, 20, 19, EDGE, PAPER)
    for y in (9, 12, 15):
        rect(img, 5, y, 10, y + 1, BLUE)
        rect(img, 14, y, 19, y + 1, INK)


def b_hide(img):
    window(img, 2, 2, 20, 16)
    arrow_down(img, 17, 12, 21, BLUE)
    rect(img, 11, 21, 23, 23, EDGE)


def b_minmax(img):
    window(img, 7, 2, 22, 14)
    window(img, 2, 9, 17, 21)
    rect(img, 5, 17, 11, 19, EDGE)


def b_addresses(img):
    clipboard(img, 2, 1, 18, 22)
    disc(img, 16, 16, 7.5, PAPER)
    at_sign(img, 16, 16, 6.5, BLUE)


def b_email(img):
    envelope(img, 1, 6, 19, 19)
    padlock(img, 13, 15)


def b_paste_text(img):
    clipboard(img, 2, 1, 18, 22)
    padlock(img, 13, 15)


def b_save_file(img):
    page(img, 3, 1, 17, 22)
    padlock(img, 13, 15)


def b_separate_files(img):
    page(img, 1, 1, 13, 17, lines=False)
    page(img, 6, 5, 18, 22)
    padlock(img, 13, 15)


def b_executable(img):
    window(img, 1, 3, 19, 20)
    # A gear: the program that opens itself.
    disc(img, 9, 12, 4.5, STEEL)
    for a in range(0, 360, 45):
        x = 9 + 5.2 * math.cos(math.radians(a))
        y = 12 + 5.2 * math.sin(math.radians(a))
        rect(img, round(x) - 1, round(y) - 1, round(x) + 1, round(y) + 1, STEEL)
    disc(img, 9, 12, 1.8, PAPER)
    padlock(img, 13, 15)


def b_decrypt_text(img):
    clipboard(img, 2, 1, 18, 22)
    padlock(img, 12, 16, opened=True)


def b_decrypt_file(img):
    page(img, 3, 1, 17, 22)
    padlock(img, 12, 16, opened=True)


def b_help(img):
    help_disc(img, 12, 12, 10)


TAB1 = [b_popup, b_hide, b_minmax, b_addresses, b_email, b_paste_text, b_save_file,
        b_separate_files, b_executable, b_decrypt_text, b_decrypt_file, b_help]


def b_add_file(img):
    page(img, 2, 1, 16, 22)
    disc(img, 17, 17, 6, PAPER)
    plus(img, 17, 17, GREEN)


def b_remove_file(img):
    page(img, 2, 1, 16, 22)
    disc(img, 17, 17, 6, PAPER)
    minus(img, 17, 17, RED)


def b_remove_all(img):
    page(img, 1, 1, 12, 16, lines=False)
    page(img, 5, 5, 16, 21)
    cross(img, 17, 17, 4, RED)


TAB2 = [b_add_file, b_remove_file, b_remove_all]


# --- The popup window's tool buttons (16 x 16) ---------------------------------------------

def p_help(img):
    help_disc(img, 8, 8, 7)


def p_select_all(img):
    for k, y in enumerate((2, 7, 12)):
        frame(img, 1, y, 5, y + 4, EDGE, PAPER)
        line(img, 2, y + 2, 3, y + 3, GREEN)
        line(img, 3, y + 3, 4.5, y + 0.5, GREEN)
        rect(img, 7, y + 1, 15, y + 3, INK)


def p_select_none(img):
    for y in (2, 7, 12):
        frame(img, 1, y, 5, y + 4, EDGE, PAPER)
        rect(img, 7, y + 1, 15, y + 3, INK)


def p_close(img):
    cross(img, 8, 8, 4.5, RED)


POPUP = {"popup_help.bmp": p_help, "popup_selectall.bmp": p_select_all,
         "popup_selectnone.bmp": p_select_none, "popup_close.bmp": p_close}


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    row = ((w * 3 + 3) // 4) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line_bytes = bytearray()
        for px in img[y]:
            px = KEY if px is None else px
            line_bytes += bytes((px[2], px[1], px[0]))
        data += line_bytes + bytes(row - len(line_bytes))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def strip(draws, size):
    out = canvas(size * len(draws), size)
    for k, draw in enumerate(draws):
        img = canvas(size, size)
        draw(img)
        for y in range(size):
            for x in range(size):
                out[y][k * size + x] = img[y][x]
    return out


if __name__ == "__main__":
    write_bmp("toolbar_main_tab1.bmp", strip(TAB1, 24))
    write_bmp("toolbar_main_tab2.bmp", strip(TAB2, 24))
    for name, draw in POPUP.items():
        write_bmp(name, strip([draw], 16))
