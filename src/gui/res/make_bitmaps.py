#!/usr/bin/env python3
"""Draws the window's small bitmaps (24-bit BMP) and the program icon.

Run from this folder; the results are kept in the repository:
  python3 make_bitmaps.py && convert icon32.bmp icon16.bmp -compress none korsync.ico
Black is the transparent colour of the tab and button images, RGB(235, 235, 235)
that of the status images."""
import struct

BLACK = (0, 0, 0)
MASK = (235, 235, 235)
WHITE = (255, 255, 255)
BLUE = (30, 90, 200)
DARK = (40, 40, 60)
GREEN = (20, 160, 60)
GREY = (150, 150, 150)
RED = (200, 40, 40)
AMBER = (230, 160, 20)
SCREEN = (120, 190, 240)


class Image:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.set(x, y, c)
                elif fill is not None:
                    self.set(x, y, fill)

    def disc(self, cx, cy, r, c, ring=None):
        for y in range(self.h):
            for x in range(self.w):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if d <= r * r:
                    self.set(x, y, ring if ring and d > (r - 1.2) ** 2 else c)

    def hline(self, x0, x1, y, c):
        for x in range(x0, x1 + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(y0, y1 + 1):
            self.set(x, y, c)

    def arrow_right(self, x0, x1, cy, c):
        for x in range(x0, x1 - 2):
            self.set(x, cy, c)
            self.set(x, cy - 1, c)
        for i in range(4):
            self.vline(x1 - 3 + i, cy - 3 + i, cy + 2 - i, c)

    def arrow_left(self, x0, x1, cy, c):
        for x in range(x0 + 3, x1 + 1):
            self.set(x, cy, c)
            self.set(x, cy - 1, c)
        for i in range(4):
            self.vline(x0 + 3 - i, cy - 3 + i, cy + 2 - i, c)

    def text(self, x, y, s, c):
        for ch in s:
            rows = FONT[ch]
            for dy, row in enumerate(rows):
                for dx, bit in enumerate(row):
                    if bit == '#':
                        self.set(x + dx, y + dy, c)
            x += len(rows[0]) + 1

    def save(self, name):
        row = (self.w * 3 + 3) & ~3
        data = bytearray()
        for y in reversed(range(self.h)):
            line = bytearray()
            for r, g, b in self.px[y]:
                line += bytes((b, g, r))
            line += b'\0' * (row - len(line))
            data += line
        head = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(name, 'wb') as f:
            f.write(head + info + data)


# 5 x 7 capitals for the few words the images carry.
FONT = {
    'П': ['#####', '#...#', '#...#', '#...#', '#...#', '#...#', '#...#'],
    'К': ['#...#', '#..#.', '#.#..', '##...', '#.#..', '#..#.', '#...#'],
    'О': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'Р': ['####.', '#...#', '#...#', '####.', '#....', '#....', '#....'],
}


def monitor(img, x, y):
    img.rect(x, y, x + 11, y + 7, DARK, SCREEN)
    img.hline(x + 4, x + 7, y + 8, DARK)
    img.hline(x + 2, x + 9, y + 9, DARK)


def unit(img, x, y):
    img.rect(x, y, x + 11, y + 9, DARK, (200, 200, 190))
    img.rect(x + 2, y + 2, x + 9, y + 4, DARK, GREEN)
    img.set(x + 3, y + 7, RED)
    img.set(x + 6, y + 7, AMBER)


# Tabs, 56 x 13: read into the PC, send to the unit, set the unit up.
t = Image(56, 13, BLACK)
unit(t, 2, 1)
t.arrow_right(16, 27, 6, BLUE)
t.text(30, 3, 'ПК', DARK)
monitor(t, 42, 1)
t.save('tab_read.bmp')  # 119

t = Image(56, 13, BLACK)
monitor(t, 2, 1)
t.arrow_right(15, 24, 6, GREEN)
t.text(26, 3, 'КОР', DARK)
t.save('tab_send.bmp')  # 118

t = Image(56, 13, BLACK)
unit(t, 4, 1)
t.disc(27, 6, 5, WHITE, DARK)
t.vline(27, 3, 6, DARK)
t.hline(27, 29, 6, DARK)
t.text(36, 3, 'КОР', DARK)
t.save('tab_setup.bmp')  # 120

# Status, 16 x 15: connected, busy, not connected.
for name, colour in (('status_on.bmp', GREEN), ('status_busy.bmp', AMBER), ('status_off.bmp', GREY)):
    s = Image(16, 15, MASK)
    s.disc(7.5, 7, 6, colour, DARK)
    s.disc(5.5, 5, 1.6, WHITE)
    s.save(name)

# Buttons, 15 x 15: save to the PC (a disk), send to the unit (an arrow up).
b = Image(15, 15, BLACK)
b.rect(1, 1, 13, 13, DARK, BLUE)
b.rect(4, 1, 10, 5, DARK, WHITE)
b.rect(3, 8, 11, 13, DARK, (210, 210, 210))
b.save('btn_save.bmp')  # 150

b = Image(15, 15, BLACK)
for i in range(6):
    b.hline(7 - i, 7 + i, 1 + i, GREEN)
b.rect(5, 7, 9, 10, GREEN, GREEN)
b.rect(1, 11, 13, 13, DARK, (200, 200, 190))
b.save('btn_send.bmp')  # 152

# Program icon (converted to korsync.ico).
for size in (32, 16):
    i = Image(size, size, (255, 255, 255))
    k = size / 32
    i.rect(0, 0, size - 1, size - 1, DARK, BLUE)
    i.rect(int(5 * k), int(5 * k), int(26 * k), int(18 * k), DARK, SCREEN)
    i.rect(int(5 * k), int(21 * k), int(26 * k), int(26 * k), DARK, (200, 200, 190))
    i.set(int(9 * k), int(24 * k), RED)
    i.set(int(13 * k), int(24 * k), GREEN)
    if size == 32:
        i.text(11, 8, 'К', DARK)
    i.save('icon%d.bmp' % size)
