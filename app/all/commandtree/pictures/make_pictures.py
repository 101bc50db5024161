#!/usr/bin/env python3
# Writes the command tree's item pictures: 20 x 20 pixel, 4 bits per pixel
# bitmaps with the standard 16-colour palette, bottom-up rows padded to 4
# bytes.  Run it in this folder; it rewrites every .bmp it names.
import struct

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
K, DRED, DGRN, OLIVE, NAVY, PURP, TEAL, SILV, GREY, RED, GRN, YEL, BLUE, MAG, CYAN, W = range(16)
SIZE = 20


def canvas():
    return [[W] * SIZE for _ in range(SIZE)]


def rect(c, l, t, r, b, colour):  # inclusive corners
    for y in range(t, b + 1):
        for x in range(l, r + 1):
            c[y][x] = colour


def frame(c, l, t, r, b, colour):
    for x in range(l, r + 1):
        c[t][x] = c[b][x] = colour
    for y in range(t, b + 1):
        c[y][l] = c[y][r] = colour


def ellipse(c, cx, cy, rx, ry, colour, ring=None):
    for y in range(SIZE):
        for x in range(SIZE):
            d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
            if d <= 1.0:
                c[y][x] = colour
            if ring is not None and 0.55 <= d <= 1.0:
                c[y][x] = ring


def folder(body, open_):
    c = canvas()
    rect(c, 2, 4, 8, 6, body)          # tab
    frame(c, 1, 6, 18, 16, K)
    rect(c, 2, 7, 17, 15, body)
    if open_:                           # the lid folded forward
        for i, y in enumerate(range(10, 17)):
            for x in range(3 + i // 2, 19 - (6 - i) // 3):
                if x < SIZE:
                    c[y][x] = K if y in (10, 16) else body
    return c


def window(bar):
    c = canvas()
    frame(c, 2, 3, 17, 16, K)
    rect(c, 3, 4, 16, 6, bar)
    rect(c, 3, 7, 16, 15, W)
    for y in (9, 11, 13):
        rect(c, 5, y, 14, y, GREY)
    return c


def eye(coloured):
    c = canvas()
    ellipse(c, 9.5, 10, 8, 4.5, W if not coloured else SILV, ring=K)
    ellipse(c, 9.5, 10, 2.6, 2.6, K if not coloured else BLUE)
    if coloured:
        ellipse(c, 9.5, 10, 1.0, 1.0, K)
        for x in (4, 7, 10, 13, 16):    # lashes
            c[4][x] = K
            c[3][x - 1 if x < 10 else x + 1 if x > 10 else x] = K
    return c


def command():
    c = canvas()
    frame(c, 1, 1, 18, 18, K)
    rect(c, 2, 2, 17, 17, SILV)
    rect(c, 4, 11, 15, 15, CYAN)        # tray
    frame(c, 4, 11, 15, 15, TEAL)
    rect(c, 7, 4, 8, 12, NAVY)          # two upright bars
    rect(c, 11, 4, 12, 12, NAVY)
    return c


def question():
    c = canvas()
    mark = ["  YYYYYY  ", " YY    YY ", " YY    YY ", "       YY ", "      YY  ",
            "     YY   ", "    YY    ", "    YY    ", "          ", "    YY    ", "    YY    "]
    for y, row in enumerate(mark):
        for x, ch in enumerate(row):
            if ch == "Y":
                c[y + 4][x + 5] = YEL
                if y + 5 < SIZE and c[y + 5][x + 6] == W:
                    c[y + 5][x + 6] = OLIVE   # shadow
    return c


def gear():
    c = canvas()
    import math
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x - 9.5, y - 9.5
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            tooth = 8.5 if math.cos(8 * a) > 0.3 else 6.5
            if r <= tooth:
                c[y][x] = RED
            if r <= 2.8:
                c[y][x] = K
    return c


PICTURES = {
    10173: question(), 10174: gear(), 10175: command(),
    10176: window(CYAN), 10177: window(GREY),
    10178: folder(CYAN, True), 10179: folder(CYAN, False),
    10180: eye(True), 10181: eye(False),
    10182: folder(YEL, True), 10183: folder(YEL, False),
}


def bmp(pixels):
    stride = ((SIZE * 4 + 31) // 32) * 4
    rows = b""
    for row in reversed(pixels):
        packed = bytes((row[x] << 4) | (row[x + 1] if x + 1 < SIZE else 0) for x in range(0, SIZE, 2))
        rows += packed + b"\0" * (stride - len(packed))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, len(rows), 2835, 2835, 16, 16)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + palette + rows


if __name__ == "__main__":
    for number, pixels in PICTURES.items():
        with open(f"{number}.bmp", "wb") as f:
            f.write(bmp(pixels))
