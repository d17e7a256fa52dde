#!/usr/bin/env python3
"""Draws the program's artwork as PNG files with plain pixel maths (standard library only).

Every picture is built from signed-distance shapes (circles, rounded boxes, strokes, polygons)
rendered with anti-aliased coverage, and from gradients in the program's palette: the warm
light orange of the workspace, a deep office blue, white. The product name is drawn with a small
stroke font defined below, so no font files are needed.

Run from anywhere: python3 res/make_artwork.py  (writes next to this script)
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette.
WARM = (253, 225, 185)
WARM_LIGHT = (253, 223, 179)
WARM_DEEP = (251, 203, 132)
AMBER = (236, 160, 56)
AMBER_DARK = (196, 120, 28)
BLUE_DEEP = (24, 62, 132)
BLUE = (43, 87, 154)
BLUE_LIGHT = (78, 134, 206)
BLUE_PALE = (200, 219, 243)
WHITE = (255, 255, 255)
RED = (206, 48, 40)
RED_DARK = (150, 28, 22)
GREEN = (46, 154, 64)
GREEN_DARK = (24, 110, 40)
GREY_LINE = (150, 160, 176)
MAGENTA = (255, 0, 255)


# ----------------------------------------------------------------------------------------------
# Canvas and PNG output


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0), alpha=0.0):
        self.w = width
        self.h = height
        self.px = [[float(fill[0]), float(fill[1]), float(fill[2]), alpha]
                   for _ in range(width * height)]

    def blend(self, x, y, colour, a):
        if a <= 0.0:
            return
        p = self.px[y * self.w + x]
        a = min(1.0, a)
        out_a = a + p[3] * (1.0 - a)
        if out_a <= 0.0:
            return
        for i in range(3):
            p[i] = (colour[i] * a + p[i] * p[3] * (1.0 - a)) / out_a
        p[3] = out_a

    def set(self, x, y, colour, a=1.0):
        self.px[y * self.w + x] = [float(colour[0]), float(colour[1]), float(colour[2]), a]

    def save(self, name):
        rows = bytearray()
        for y in range(self.h):
            rows.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                rows += bytes((clamp8(r), clamp8(g), clamp8(b), clamp8(a * 255.0)))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
        png += chunk(b"IEND", b"")
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(png)


def clamp8(v):
    return max(0, min(255, int(round(v))))


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))


def lerp_stops(stops, t):
    """Colour at t in [0, 1] of a gradient given as [(t0, colour0), (t1, colour1), ...]."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0.0)
    return stops[-1][1]


# ----------------------------------------------------------------------------------------------
# Signed distances (negative inside)


def d_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def d_ellipse_ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2.0


def d_box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    den = dx * dx + dy * dy
    t = 0.0 if den == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / den))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def d_stroke(points, width):
    """A polyline with round caps and joins."""
    segs = list(zip(points, points[1:])) or [(points[0], points[0])]

    def f(x, y):
        return min(seg_dist(x, y, a[0], a[1], b[0], b[1]) for a, b in segs) - width / 2.0
    return f


def d_polygon(points):
    n = len(points)

    def f(x, y):
        dist = min(seg_dist(x, y, *points[i], *points[(i + 1) % n]) for i in range(n))
        inside = False
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
        return -dist if inside else dist
    return f


def d_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def d_cut(f, g):
    return lambda x, y: max(f(x, y), -g(x, y))


def d_outline(f, width):
    return lambda x, y: abs(f(x, y) + width / 2.0) - width / 2.0


def arc(cx, cy, rx, ry, a0, a1, steps=24):
    """Points of an arc, angles in degrees, counter-clockwise with y pointing down on screen."""
    pts = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        pts.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return pts


# ----------------------------------------------------------------------------------------------
# Painting shapes


def fill(canvas, sdf, bbox, paint, scale=1.0, ox=0.0, oy=0.0, alpha=1.0, soft=1.0,
         antialias=True):
    """Fills the shape sdf (in design units) placed at (ox, oy) and scaled by scale."""
    x0, y0, x1, y1 = bbox
    margin = 1.0 + soft
    px0 = max(0, int(math.floor(ox + x0 * scale - margin)))
    py0 = max(0, int(math.floor(oy + y0 * scale - margin)))
    px1 = min(canvas.w, int(math.ceil(ox + x1 * scale + margin)))
    py1 = min(canvas.h, int(math.ceil(oy + y1 * scale + margin)))
    for py in range(py0, py1):
        for px in range(px0, px1):
            dx, dy = (px + 0.5 - ox) / scale, (py + 0.5 - oy) / scale
            d = sdf(dx, dy) * scale
            if antialias:
                cover = max(0.0, min(1.0, 0.5 - d / soft))
            else:
                cover = 1.0 if d <= 0.0 else 0.0
            if cover > 0.0:
                colour = paint(dx, dy) if callable(paint) else paint
                canvas.blend(px, py, colour, cover * alpha)


def vertical(c0, c1, y0, y1):
    return lambda x, y: mix(c0, c1, (y - y0) / (y1 - y0))


def fill_rows(canvas, stops, y0=0, y1=None):
    """Fills the whole width with a vertical gradient between rows y0 and y1."""
    y1 = canvas.h if y1 is None else y1
    for y in range(y0, y1):
        c = lerp_stops(stops, (y - y0 + 0.5) / max(1, y1 - y0))
        for x in range(canvas.w):
            canvas.set(x, y, c)


# ----------------------------------------------------------------------------------------------
# Stroke font for the product name (em units, baseline 0, y up)

def _g(*strokes, width):
    return {"strokes": strokes, "width": width}


def _up(points):
    return [(x, -y) for x, y in points]


GLYPHS = {
    "o": _g(arc(0.25, -0.25, 0.25, 0.25, 0, 360, 40), width=0.5),
    "a": _g(arc(0.24, -0.25, 0.24, 0.25, 0, 360, 40), [(0.48, -0.5), (0.48, 0.0)], width=0.48),
    "d": _g(arc(0.24, -0.25, 0.24, 0.25, 0, 360, 40), [(0.48, -0.76), (0.48, 0.0)], width=0.48),
    "e": _g([(0.02, -0.25), (0.47, -0.25)] + arc(0.245, -0.25, 0.225, 0.25, 0, 315, 36)[1:],
            width=0.48),
    "n": _g([(0.0, 0.0), (0.0, -0.5)],
            arc(0.22, -0.28, 0.22, 0.22, 180, 0, 20) + [(0.44, 0.0)], width=0.44),
    "r": _g([(0.0, 0.0), (0.0, -0.5)], arc(0.24, -0.26, 0.24, 0.24, 180, 70, 14), width=0.3),
    "v": _g([(0.0, -0.5), (0.23, 0.0), (0.46, -0.5)], width=0.46),
    "i": _g([(0.0, 0.0), (0.0, -0.5)], [(0.0, -0.69)], width=0.0),
    "k": _g([(0.0, 0.0), (0.0, -0.76)], [(0.36, -0.5), (0.0, -0.2)], [(0.12, -0.3), (0.38, 0.0)],
            width=0.38),
    "B": _g([(0.22, -0.37), (0.0, -0.37), (0.0, -0.72), (0.2, -0.72)]
            + arc(0.2, -0.545, 0.175, 0.175, 90, -90, 16),
            [(0.0, -0.37), (0.0, 0.0), (0.24, 0.0)]
            + arc(0.24, -0.185, 0.185, 0.185, -90, 90, 16)[1:] + [(0.0, -0.37)],
            width=0.43),
    "V": _g([(0.0, -0.72), (0.29, 0.0), (0.58, -0.72)], width=0.58),
    "Z": _g([(0.03, -0.72), (0.5, -0.72), (0.0, 0.0), (0.52, 0.0)], width=0.52),
    " ": _g(width=0.12),
}


def text_width(text, em, tracking=0.15):
    return sum((GLYPHS[c]["width"] + tracking) * em for c in text) - tracking * em


def draw_text(canvas, text, x, baseline, em, stroke, paint, tracking=0.15, alpha=1.0):
    """Draws text with the stroke font; returns the x after the last glyph."""
    for c in text:
        glyph = GLYPHS[c]
        if glyph["strokes"]:
            strokes = [[(x + gx * em, baseline + gy * em) for gx, gy in s] for s in glyph["strokes"]]
            xs = [p[0] for s in strokes for p in s]
            ys = [p[1] for s in strokes for p in s]
            sdf = d_union(*[d_stroke(s, stroke) for s in strokes])
            bbox = (min(xs) - stroke, min(ys) - stroke, max(xs) + stroke, max(ys) + stroke)
            fill(canvas, sdf, bbox, paint, alpha=alpha)
        x += (glyph["width"] + tracking) * em
    return x - tracking * em


PRODUCT = "Brenvik Viva Zadado"

# ----------------------------------------------------------------------------------------------
# Icon parts (designed on a 48-unit square)


def page_shape(x0=11, y0=5, x1=37, y1=43, fold=9):
    return d_polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])


def draw_page(c, s, ox=0.0, oy=0.0, x0=11, y0=5, x1=37, y1=43, fold=9, lines=True):
    body = page_shape(x0, y0, x1, y1, fold)
    bbox = (x0 - 2, y0 - 2, x1 + 3, y1 + 3)
    fill(c, body, bbox, (0, 0, 0), s, ox + 1.0 * s, oy + 1.5 * s, alpha=0.22, soft=1.8)
    fill(c, body, bbox, vertical(WHITE, (232, 240, 251), y0, y1), s, ox, oy)
    fill(c, d_outline(body, 1.6), bbox, BLUE, s, ox, oy)
    corner = d_polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)])
    fill(c, corner, bbox, BLUE_PALE, s, ox, oy)
    fill(c, d_stroke([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], 1.4), bbox,
         BLUE, s, ox, oy)
    if lines:
        for i, ly in enumerate(range(int(y0 + fold + 5), int(y1 - 5), 5)):
            end = x1 - 6 if i % 3 != 2 else (x0 + x1) / 2
            fill(c, d_stroke([(x0 + 5, ly), (end, ly)], 1.6), bbox, BLUE_LIGHT, s, ox, oy)


def draw_badge(c, s, colour, dark, cx=34, cy=34, r=10):
    disc = d_circle(cx, cy, r)
    bbox = (cx - r - 2, cy - r - 2, cx + r + 3, cy + r + 3)
    fill(c, disc, bbox, (0, 0, 0), s, 0.8 * s, 1.2 * s, alpha=0.25, soft=1.6)
    fill(c, disc, bbox, vertical(mix(colour, WHITE, 0.25), colour, cy - r, cy + r), s)
    fill(c, d_outline(disc, 1.4), bbox, dark, s)
    return bbox


def draw_plus(c, s, cx, cy, arm, width, colour, bbox):
    fill(c, d_union(d_stroke([(cx - arm, cy), (cx + arm, cy)], width),
                    d_stroke([(cx, cy - arm), (cx, cy + arm)], width)), bbox, colour, s)


def draw_cross(c, s, cx, cy, arm, width, colour, bbox):
    fill(c, d_union(d_stroke([(cx - arm, cy - arm), (cx + arm, cy + arm)], width),
                    d_stroke([(cx - arm, cy + arm), (cx + arm, cy - arm)], width)), bbox,
         colour, s)


def draw_check(c, s, cx, cy, size, width, colour, bbox):
    pts = [(cx - size, cy), (cx - size * 0.3, cy + size * 0.7), (cx + size, cy - size * 0.75)]
    fill(c, d_stroke(pts, width), bbox, colour, s)


def icon_select(c, s):
    draw_page(c, s, x0=8, x1=32, y0=4, y1=40)
    bbox = draw_badge(c, s, BLUE_LIGHT, BLUE_DEEP)
    draw_plus(c, s, 34, 34, 5.5, 3.4, WHITE, bbox)


def icon_remove(c, s):
    draw_page(c, s, x0=8, x1=32, y0=4, y1=40)
    bbox = draw_badge(c, s, RED, RED_DARK)
    draw_cross(c, s, 34, 34, 4.2, 3.4, WHITE, bbox)


def wrench_shape():
    handle = d_stroke([(12, 38), (27, 23)], 7.5)
    head = d_circle(30.5, 17.5, 10.0)
    jaw = d_union(d_box(26, 2, 41, 14.5, 1.5))
    return d_cut(d_union(handle, head), rotate(jaw, 30.5, 17.5, -45))


def rotate(f, cx, cy, degrees):
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)

    def g(x, y):
        dx, dy = x - cx, y - cy
        return f(cx + dx * ca - dy * sa, cy + dx * sa + dy * ca)
    return g


def icon_repair(c, s):
    draw_page(c, s, x0=6, x1=30, y0=4, y1=40, lines=True)
    w = wrench_shape()
    bbox = (4, 4, 44, 44)
    ox, oy = 4 * s, 6 * s
    fill(c, w, bbox, (0, 0, 0), s, ox + 0.8 * s, oy + 1.3 * s, alpha=0.25, soft=1.6)
    fill(c, w, bbox, vertical((255, 196, 110), AMBER_DARK, 8, 40), s, ox, oy)
    fill(c, d_outline(w, 1.3), bbox, (140, 84, 16), s, ox, oy)
    fill(c, d_circle(13.5, 36.5, 1.8), bbox, WHITE, s, ox, oy, alpha=0.85)


def icon_save(c, s):
    body = d_box(7, 6, 41, 42, 4)
    bbox = (5, 4, 44, 45)
    fill(c, body, bbox, (0, 0, 0), s, 1.0 * s, 1.5 * s, alpha=0.25, soft=1.8)
    fill(c, body, bbox, vertical(BLUE_LIGHT, BLUE_DEEP, 6, 42), s)
    fill(c, d_outline(body, 1.4), bbox, BLUE_DEEP, s)
    fill(c, d_box(13, 6, 33, 19, 1.5), bbox, vertical((232, 236, 242), (198, 206, 218), 6, 19), s)
    fill(c, d_box(26, 8.5, 30.5, 16.5, 0.8), bbox, BLUE_DEEP, s)
    fill(c, d_box(12, 25, 36, 42, 2), bbox, WHITE, s)
    for ly in (30, 34.5):
        fill(c, d_stroke([(16, ly), (32, ly)], 1.5), bbox, BLUE_PALE, s)


def icon_stop(c, s):
    octagon = [(16, 5), (32, 5), (43, 16), (43, 32), (32, 43), (16, 43), (5, 32), (5, 16)]
    body = d_polygon(octagon)
    bbox = (3, 3, 46, 46)
    fill(c, body, bbox, (0, 0, 0), s, 1.0 * s, 1.5 * s, alpha=0.25, soft=1.8)
    fill(c, body, bbox, vertical((236, 96, 84), RED_DARK, 5, 43), s)
    fill(c, d_outline(body, 1.4), bbox, RED_DARK, s)
    fill(c, d_box(16.5, 16.5, 31.5, 31.5, 2.2), bbox, WHITE, s)


def icon_exit(c, s):
    bbox = (3, 3, 46, 46)
    frame = d_box(8, 5, 30, 43, 1.5)
    fill(c, frame, bbox, (0, 0, 0), s, 1.0 * s, 1.5 * s, alpha=0.22, soft=1.8)
    fill(c, frame, bbox, vertical((236, 230, 220), (206, 196, 182), 5, 43), s)
    fill(c, d_outline(frame, 1.4), bbox, (120, 100, 80), s)
    door = d_polygon([(8, 5), (22, 10), (22, 46), (8, 43)])
    fill(c, door, bbox, vertical((164, 110, 60), (120, 72, 32), 5, 46), s)
    fill(c, d_outline(door, 1.2), bbox, (92, 54, 22), s)
    fill(c, d_circle(18.5, 27, 1.6), bbox, (250, 214, 120), s)
    arrow = d_union(d_stroke([(25, 24), (40, 24)], 4.2),
                    d_polygon([(36, 16.5), (45, 24), (36, 31.5)]))
    fill(c, arrow, bbox, (0, 0, 0), s, 0.7 * s, 1.2 * s, alpha=0.25, soft=1.5)
    fill(c, arrow, bbox, vertical((96, 200, 104), GREEN_DARK, 16, 32), s)


def folder_shape():
    return d_union(d_box(5, 9, 22, 18, 2.5), d_box(5, 13, 43, 41, 2.5))


def icon_browse(c, s):
    bbox = (3, 5, 46, 45)
    back = folder_shape()
    fill(c, back, bbox, (0, 0, 0), s, 1.0 * s, 1.5 * s, alpha=0.22, soft=1.8)
    fill(c, back, bbox, vertical((224, 150, 44), (190, 116, 24), 9, 41), s)
    fill(c, d_box(9, 16, 39, 30, 1), bbox, WHITE, s)
    fill(c, d_stroke([(13, 21), (33, 21)], 1.4), bbox, BLUE_PALE, s)
    front = d_polygon([(9, 22), (46, 22), (42, 41), (5, 41)])
    fill(c, front, bbox, vertical((255, 206, 110), AMBER, 22, 41), s)
    fill(c, d_outline(d_union(back, front), 1.3), bbox, AMBER_DARK, s)


def round_badge(c, s, paint_glyph):
    disc = d_circle(24, 24, 19.5)
    bbox = (2, 2, 47, 47)
    fill(c, disc, bbox, (0, 0, 0), s, 1.0 * s, 1.5 * s, alpha=0.25, soft=1.8)
    fill(c, disc, bbox, vertical(BLUE_LIGHT, BLUE_DEEP, 4.5, 43.5), s)
    fill(c, d_outline(disc, 1.4), bbox, BLUE_DEEP, s)
    gloss = d_cut(d_circle(24, 18, 15), d_circle(24, 40, 20))
    fill(c, gloss, bbox, WHITE, s, alpha=0.18)
    paint_glyph(bbox)


def icon_help(c, s):
    def glyph(bbox):
        hook = arc(24, 18.5, 6.5, 6.5, 160, -70, 20) + [(24.5, 27.5), (24.5, 30)]
        fill(c, d_stroke(hook, 4.4), bbox, WHITE, s)
        fill(c, d_circle(24.5, 35.5, 2.7), bbox, WHITE, s)
    round_badge(c, s, glyph)


def icon_about(c, s):
    def glyph(bbox):
        fill(c, d_circle(24, 14.5, 2.9), bbox, WHITE, s)
        fill(c, d_stroke([(24, 21.5), (24, 34.5)], 5.0), bbox, WHITE, s)
    round_badge(c, s, glyph)


def make_icon(name, draw, size):
    c = Canvas(size, size)
    draw(c, size / 48.0)
    c.save(name)


# ----------------------------------------------------------------------------------------------
# Larger pictures


def make_list_states():
    c = Canvas(60, 20)
    s = 20 / 48.0
    # 0: not repaired: a red cross.
    bbox = (0, 0, 48, 48)
    disc = d_circle(24, 24, 19)
    fill(c, disc, bbox, vertical((236, 96, 84), RED_DARK, 5, 43), s)
    draw_cross(c, s, 24, 24, 8, 6, WHITE, bbox)
    # 1: repaired: a green check.
    fill(c, disc, bbox, vertical((96, 200, 104), GREEN_DARK, 5, 43), s, ox=20)
    fill(c, d_stroke([(13, 25), (21, 33), (35, 16)], 6.2), bbox, WHITE, s, ox=20)
    # 2: listed: a small document.
    draw_page(c, s, ox=40, x0=10, x1=38, y0=3, y1=45, fold=11, lines=True)
    c.save("list_states.png")


def make_header():
    stops = [(0.0, (58, 108, 182)), (0.55, BLUE), (0.93, BLUE_DEEP), (0.94, AMBER),
             (1.0, (246, 196, 120))]
    fill_band = Canvas(100, 72)
    fill_rows(fill_band, stops)
    # A soft sheen over the upper half, the same in every column so the band stretches cleanly.
    for y in range(36):
        for x in range(100):
            fill_band.blend(x, y, WHITE, 0.10 * (1.0 - y / 36.0))
    fill_band.save("header_fill.png")

    c = Canvas(842, 72)
    fill_rows(c, stops)
    for y in range(36):
        for x in range(842):
            c.blend(x, y, WHITE, 0.10 * (1.0 - y / 36.0))
    draw_page(c, 48 / 48.0 * 1.0, ox=8, oy=6, x0=8, x1=34, y0=4, y1=40, fold=9)
    fill(c, d_stroke([(13, 25), (19, 31), (31, 18)], 4.0), (8, 12, 36, 36), GREEN, 1.0, 16, 12)
    end = draw_text(c, PRODUCT, 62, 46, 30, 3.2, WHITE)
    # A thin rule under the name, fading out, ends well before x = 400 where the band continues.
    for x in range(62, int(end) + 1):
        t = (x - 62) / max(1.0, end - 62)
        c.blend(x, 54, (255, 214, 150), 0.85 * (1.0 - t))
    c.save("header_left.png")


def make_footer():
    stops = [(0.0, WARM), (0.14, WARM), (0.16, (232, 190, 130)), (0.2, (250, 214, 166)),
             (1.0, (244, 190, 118))]
    band = Canvas(820, 62)
    fill_rows(band, stops)
    band.save("footer_fill.png")
    left = Canvas(64, 62)
    fill_rows(left, stops)
    # Two quarter sweeps mark the corner of the window.
    fill(left, d_ellipse_ring(0, 62, 40, 2.0), (0, 20, 44, 62), BLUE, alpha=0.35)
    fill(left, d_ellipse_ring(0, 62, 30, 1.5), (0, 30, 34, 62), BLUE, alpha=0.25)
    left.save("footer_left.png")


def make_list_background():
    w, h = 850, 300
    c = Canvas(w, h)
    for y in range(h):
        for x in range(w):
            t = (x / w) * 0.6 + (y / h) * 0.4
            col = mix((255, 255, 255), (253, 246, 236), t)
            c.set(x, y, col)
    # Very faint diagonal lines and a large watermark page at the right.
    for k in range(-h, w, 24):
        fill(c, d_stroke([(k, h), (k + h, 0)], 1.0), (k, 0, k + h, h), WARM_DEEP, alpha=0.10)
    s = 4.5
    ox, oy = w - 200, 20
    sdf = page_shape(8, 4, 40, 56, 12)
    fill(c, sdf, (6, 2, 42, 58), BLUE, s, ox, oy, alpha=0.05)
    fill(c, d_outline(sdf, 1.2), (6, 2, 42, 58), BLUE, s, ox, oy, alpha=0.08)
    fill(c, d_stroke([(16, 34), (22, 41), (34, 26)], 3.0), (12, 20, 38, 46), GREEN, s, ox, oy,
         alpha=0.08)
    c.save("list_background.png")


def draw_logo(c, ox=0.0, oy=0.0):
    """The 250 by 50 logo (mark and name) with its top-left corner at (ox, oy)."""
    mark = d_box(2, 3, 46, 47, 9)
    fill(c, mark, (0, 0, 48, 50), vertical(BLUE_LIGHT, BLUE_DEEP, 3, 47), 1.0, ox, oy)
    fill(c, d_outline(mark, 1.2), (0, 0, 48, 50), BLUE_DEEP, 1.0, ox, oy)
    draw_page(c, 0.62, ox=ox + 9.5, oy=oy + 8.5, x0=8, x1=36, y0=2, y1=48, fold=10, lines=False)
    fill(c, d_stroke([(14, 26), (20, 33), (33, 17)], 5.0), (8, 10, 38, 40), GREEN, 0.62,
         ox + 9.5, oy + 8.5)
    name_width = text_width(PRODUCT, 19)
    x = ox + 54 + (190 - name_width) / 2
    draw_text(c, PRODUCT, x + 0.6, oy + 33.8, 19, 2.2, (0, 0, 0), alpha=0.15)
    draw_text(c, PRODUCT, x, oy + 33, 19, 2.2, BLUE_DEEP)
    fill(c, d_stroke([(x - ox, 40.5), (x - ox + name_width, 40.5)], 1.4), (0, 38, 250, 43), AMBER,
         1.0, ox, oy)


def make_logo():
    c = Canvas(250, 50)
    draw_logo(c)
    c.save("logo.png")


def make_app_icon():
    size = 256
    c = Canvas(size, size)
    s = size / 48.0
    body = d_box(2.5, 2.5, 45.5, 45.5, 9)
    fill(c, body, (0, 0, 48, 48), (0, 0, 0), s, 0.0, 0.8 * s, alpha=0.3, soft=4.0)
    fill(c, body, (0, 0, 48, 48), vertical(BLUE_LIGHT, BLUE_DEEP, 2.5, 45.5), s)
    gloss = d_cut(d_box(2.5, 2.5, 45.5, 45.5, 9), d_circle(24, 62, 42))
    fill(c, gloss, (0, 0, 48, 48), WHITE, s, alpha=0.12)
    draw_page(c, s * 0.8, ox=4.0 * s, oy=4.2 * s, x0=10, x1=40, y0=4, y1=44, fold=10)
    bbox = draw_badge(c, s, GREEN, GREEN_DARK, cx=34, cy=35, r=9.5)
    fill(c, d_stroke([(29, 35.5), (32.5, 39), (39, 31.5)], 2.8), bbox, WHITE, s)
    c.save("app_icon.png")


def make_splash():
    w, h = 460, 260
    c = Canvas(w, h, MAGENTA, 1.0)
    card = d_box(0, 0, w, h, 22)
    # The card's edge is hard (no blending into the key colour), so no fringe survives the key.
    for y in range(h):
        t = y / h
        col = lerp_stops([(0.0, (64, 116, 192)), (0.62, BLUE), (1.0, BLUE_DEEP)], t)
        for x in range(w):
            if card(x + 0.5, y + 0.5) <= 0.0:
                c.set(x, y, col)
    for y in range(0, 120):
        for x in range(w):
            if card(x + 0.5, y + 0.5) <= 0.0:
                c.blend(x, y, WHITE, 0.08 * (1.0 - y / 120.0))
    fill(c, d_box(0, 200, w, 206), (0, 198, w, 208), AMBER)
    fill(c, d_box(0, 206, w, 209), (0, 204, w, 211), (255, 214, 150), alpha=0.8)
    draw_page(c, 1.6, ox=40, oy=52, x0=8, x1=36, y0=4, y1=48, fold=10)
    fill(c, d_stroke([(14, 30), (21, 37), (33, 22)], 4.5), (8, 14, 40, 44), GREEN, 1.6, 40, 52)
    draw_text(c, "Brenvik", 128, 98, 40, 4.2, WHITE)
    draw_text(c, "Viva Zadado", 128, 150, 40, 4.2, (255, 226, 176))
    for i in range(5):
        fill(c, d_circle(40 + i * 14, 230, 3.2), (30, 222, 120, 238), WHITE,
             alpha=0.9 - i * 0.15)
    # Restore the hard edge: everything outside the card is the key colour again.
    for y in range(h):
        for x in range(w):
            if card(x + 0.5, y + 0.5) > 0.0:
                c.set(x, y, MAGENTA)
    c.save("splash.png")


def make_about_background():
    w, h = 360, 334
    c = Canvas(w, h)
    fill_rows(c, [(0.0, WARM_LIGHT), (0.5, WARM_DEEP), (1.0, WARM_LIGHT)])
    fill_rows(c, [(0.0, (58, 108, 182)), (0.9, BLUE_DEEP), (0.92, AMBER), (1.0, AMBER)], 0, 12)
    s = 4.0
    sdf = page_shape(8, 4, 40, 52, 12)
    ox, oy = w - 40 * s - 4, h - 52 * s - 6
    fill(c, sdf, (6, 2, 42, 54), WHITE, s, ox, oy, alpha=0.22)
    fill(c, d_outline(sdf, 0.8), (6, 2, 42, 54), BLUE, s, ox, oy, alpha=0.12)
    fill(c, d_box(0, h - 4, w, h), (0, h - 6, w, h), BLUE, alpha=0.5)
    # The logo in the free band above the version line (which starts at y 125 in the box).
    draw_logo(c, (w - 9 - 250) / 2.0, 40)
    c.save("about_background.png")


def make_ok_icon():
    """The about box's OK button picture: a green check in a disc, 16 pixels."""
    c = Canvas(16, 16)
    s = 16 / 48.0
    bbox = (0, 0, 48, 48)
    fill(c, d_circle(24, 24, 21), bbox, vertical((96, 200, 104), GREEN_DARK, 3, 45), s)
    fill(c, d_stroke([(13, 25), (21, 33), (35, 16)], 6.5), bbox, WHITE, s)
    c.save("btn_ok.png")


def main():
    icons = [("select", icon_select), ("remove", icon_remove), ("repair", icon_repair),
             ("save", icon_save), ("stop", icon_stop), ("exit", icon_exit),
             ("browse", icon_browse)]
    for name, draw in icons:
        make_icon("btn_%s.png" % name, draw, 24)
    toolbar = [("select", icon_select), ("remove", icon_remove), ("repair", icon_repair),
               ("browse", icon_browse), ("save", icon_save), ("help", icon_help),
               ("about", icon_about)]
    for name, draw in toolbar:
        make_icon("tb_%s.png" % name, draw, 48)
    make_list_states()
    make_header()
    make_footer()
    make_list_background()
    make_logo()
    make_app_icon()
    make_splash()
    make_about_background()
    make_ok_icon()


if __name__ == "__main__":
    main()
