#!/usr/bin/env python3
"""Draws the program's two animated pictures and writes them as GIF files.

    devicedlg/wait.gif     the turning dots of the wait box
    startwindow/arrows.gif the two chasing arrows of the device search

Plain Python 3, no modules beyond the standard library: the frames are drawn by supersampling
simple shapes, the edges are blended against the light window colour, and the GIF writer
below does its own LZW coding. Run it from anywhere; it writes next to itself.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Edges are blended against this (the usual light window colour); fully uncovered pixels stay
# transparent, so the pictures sit on any light background.
BACKGROUND = (239, 239, 239)
SUPERSAMPLE = 4


# ----------------------------------------------------------------------------- drawing
class Canvas:
    """An RGBA float canvas painted shape by shape with supersampled coverage."""

    def __init__(self, width, height):
        self.w, self.h = width, height
        self.rgb = [[0.0, 0.0, 0.0] for _ in range(width * height)]
        self.alpha = [0.0] * (width * height)

    def fill(self, inside, colour, bbox=None):
        """Paints colour over every pixel in proportion to the part for which inside(x, y) holds."""
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        n = SUPERSAMPLE
        step = 1.0 / n
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(px + (sx + 0.5) * step, py + (sy + 0.5) * step):
                            hits += 1
                if not hits:
                    continue
                a = hits / (n * n)
                i = py * self.w + px
                old_a = self.alpha[i]
                new_a = a + old_a * (1 - a)
                for c in range(3):
                    self.rgb[i][c] = (colour[c] * a + self.rgb[i][c] * old_a * (1 - a)) / new_a
                self.alpha[i] = new_a

    def pixels(self):
        """Yields (r, g, b) over the background, or None where nothing was painted."""
        for i in range(self.w * self.h):
            a = self.alpha[i]
            if a < 0.04:
                yield None
                continue
            yield tuple(int(round(self.rgb[i][c] * a + BACKGROUND[c] * (1 - a))) for c in range(3))


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring_sector(cx, cy, r_in, r_out, a_from, a_to):
    """Annulus part from angle a_from to a_to (radians, counter-clockwise, y pointing down)."""
    span = (a_to - a_from) % (2 * math.pi)

    def inside(x, y):
        dx, dy = x - cx, cy - y
        d2 = dx * dx + dy * dy
        if d2 < r_in * r_in or d2 > r_out * r_out:
            return False
        return (math.atan2(dy, dx) - a_from) % (2 * math.pi) <= span
    return inside


def triangle(p1, p2, p3):
    def side(a, b, x, y):
        return (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])

    def inside(x, y):
        s1, s2, s3 = side(p1, p2, x, y), side(p2, p3, x, y), side(p3, p1, x, y)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


# ----------------------------------------------------------------------------- GIF writer
def lzw_encode(indices, min_code_size):
    """GIF flavour of LZW: variable code width up to 12 bits, clear code when the table is full."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buf = 0
    bit_len = 0

    def emit(code, width):
        nonlocal bit_buf, bit_len
        bit_buf |= code << bit_len
        bit_len += width
        while bit_len >= 8:
            out.append(bit_buf & 0xFF)
            bit_buf >>= 8
            bit_len -= 8

    width = min_code_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    emit(clear, width)
    prefix = ()
    for idx in indices:
        candidate = prefix + (idx,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        prefix = (idx,)
    if prefix:
        emit(table[prefix], width)
    emit(end, width)
    if bit_len:
        out.append(bit_buf & 0xFF)
    return bytes(out)


def write_gif(path, width, height, frames, delay_cs):
    """frames: lists of (r, g, b) or None (transparent). One global palette, looping forever."""
    colours = []
    seen = {}
    for frame in frames:
        for p in frame:
            if p is not None and p not in seen:
                seen[p] = len(colours)
                colours.append(p)
    if len(colours) > 255:
        raise SystemExit("%s: %d colours, a GIF palette holds 255 and the transparent one"
                         % (path, len(colours)))
    transparent = len(colours)
    palette = colours + [BACKGROUND]
    bits = max(1, math.ceil(math.log2(len(palette))))
    size = 1 << bits
    palette += [(0, 0, 0)] * (size - len(palette))

    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (bits - 1), transparent, 0)
    for r, g, b in palette:
        data += bytes((r, g, b))
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    min_code = max(2, bits)
    for frame in frames:
        # Disposal 2: each frame is drawn on a cleared area, so moving parts leave no trail.
        data += b"\x21\xf9\x04" + struct.pack("<BHB", (2 << 2) | 1, delay_cs, transparent) + b"\x00"
        data += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        indices = [transparent if p is None else seen[p] for p in frame]
        coded = lzw_encode(indices, min_code)
        data.append(min_code)
        for i in range(0, len(coded), 255):
            chunk = coded[i:i + 255]
            data.append(len(chunk))
            data += chunk
        data.append(0)
    data += b"\x3b"
    with open(path, "wb") as f:
        f.write(data)


# ----------------------------------------------------------------------------- pictures
def wait_frames():
    size, dots, radius, dot_r = 32, 12, 11.0, 2.6
    dark, light = (40, 90, 160), (200, 212, 230)
    frames = []
    for f in range(dots):
        canvas = Canvas(size, size)
        for k in range(dots):
            # The head dot is dark; the ones behind it fade towards the light shade.
            age = (f - k) % dots
            t = min(1.0, age / (dots - 4))
            colour = tuple(int(round(dark[c] + (light[c] - dark[c]) * t)) for c in range(3))
            ang = 2 * math.pi * k / dots - math.pi / 2
            cx = size / 2 + radius * math.cos(ang)
            cy = size / 2 + radius * math.sin(ang)
            canvas.fill(disc(cx, cy, dot_r), colour, (cx - 4, cy - 4, cx + 4, cy + 4))
        frames.append(list(canvas.pixels()))
    return size, frames


def arrows_frames():
    size = 48
    c = size / 2
    r_in, r_out = 13.0, 18.5
    mid = (r_in + r_out) / 2
    head = 6.5
    colour = (30, 120, 60)
    count = 24  # the picture repeats after half a turn
    frames = []
    for f in range(count):
        canvas = Canvas(size, size)
        rot = -math.pi * f / count  # clockwise
        for half in (0, math.pi):
            start = rot + half + 0.35
            end = start + math.pi - 0.95
            canvas.fill(ring_sector(c, c, r_in, r_out, start, end), colour)
            # The arrow head points along the turn at the arc's leading end (clockwise: at start).
            tip_ang = start - 0.45
            base = (c + mid * math.cos(start), c - mid * math.sin(start))
            out = (math.cos(start), -math.sin(start))
            tip = (c + mid * math.cos(tip_ang), c - mid * math.sin(tip_ang))
            p1 = (base[0] + out[0] * head, base[1] + out[1] * head)
            p2 = (base[0] - out[0] * head, base[1] - out[1] * head)
            canvas.fill(triangle(p1, p2, tip), colour)
        frames.append(list(canvas.pixels()))
    return size, frames


def main():
    size, frames = wait_frames()
    write_gif(os.path.join(HERE, "devicedlg", "wait.gif"), size, size, frames, 8)
    size, frames = arrows_frames()
    write_gif(os.path.join(HERE, "startwindow", "arrows.gif"), size, size, frames, 4)


if __name__ == "__main__":
    main()
