#!/usr/bin/env python3
"""Draws the program's icons and logo bitmap. Run it to regenerate resources/*.ico and
resources/logo.bmp; the build uses the committed files.

Every picture is a few shapes rendered with 4x4 supersampling, so edges are smooth at
16 pixels as well as at 48."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ORANGE = (250, 180, 40)
BROWN = (140, 80, 0)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


class Canvas:
    """RGBA canvas in unit coordinates (0..1 across), painted shape by shape."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0)] * w for _ in range(h)]

    def paint(self, inside, colour, ss=4):
        r, g, b = colour[:3]
        alpha = colour[3] if len(colour) > 3 else 255
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(ss):
                    for sx in range(ss):
                        u = (x + (sx + 0.5) / ss) / self.w
                        v = (y + (sy + 0.5) / ss) / self.h
                        if inside(u, v):
                            hits += 1
                if not hits:
                    continue
                a = alpha * hits / (ss * ss) / 255.0
                pr, pg, pb, pa = self.px[y][x]
                pa_f = pa / 255.0
                out_a = a + pa_f * (1 - a)
                if out_a <= 0:
                    continue
                nr = (r * a + pr * pa_f * (1 - a)) / out_a
                ng = (g * a + pg * pa_f * (1 - a)) / out_a
                nb = (b * a + pb * pa_f * (1 - a)) / out_a
                self.px[y][x] = (int(nr), int(ng), int(nb), int(round(out_a * 255)))


def rounded_rect(x0, y0, x1, y1, rad):
    def inside(u, v):
        if u < x0 or u > x1 or v < y0 or v > y1:
            return False
        cx = min(max(u, x0 + rad), x1 - rad)
        cy = min(max(v, y0 + rad), y1 - rad)
        return (u - cx) ** 2 + (v - cy) ** 2 <= rad * rad
    return inside


def circle(cx, cy, rad):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 <= rad * rad


def ring(cx, cy, r_out, r_in):
    return lambda u, v: r_in * r_in <= (u - cx) ** 2 + (v - cy) ** 2 <= r_out * r_out


def polygon(points):
    def inside(u, v):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > v) != (yj > v) and u < (xj - xi) * (v - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def intersect(a, b):
    return lambda u, v: a(u, v) and b(u, v)


def app_icon(size):
    """Two stacked photos on an orange tile, the front one turning into the next."""
    c = Canvas(size, size)
    c.paint(rounded_rect(0.02, 0.02, 0.98, 0.98, 0.2), ORANGE)
    c.paint(rounded_rect(0.02, 0.02, 0.98, 0.5, 0.2), (255, 200, 80, 120))
    c.paint(rounded_rect(0.30, 0.14, 0.86, 0.60, 0.05), (255, 255, 255))
    c.paint(rounded_rect(0.34, 0.18, 0.82, 0.56, 0.03), (120, 190, 235))
    c.paint(rounded_rect(0.14, 0.38, 0.70, 0.86, 0.05), (255, 255, 255))
    photo = rounded_rect(0.18, 0.42, 0.66, 0.82, 0.03)
    c.paint(photo, (90, 170, 230))
    c.paint(intersect(photo, polygon([(0.18, 0.82), (0.36, 0.58), (0.50, 0.74), (0.56, 0.66), (0.66, 0.80), (0.66, 0.82)])), (40, 130, 60))
    c.paint(circle(0.56, 0.52, 0.05), (255, 230, 90))
    c.paint(polygon([(0.70, 0.66), (0.92, 0.66), (0.92, 0.58), (0.99, 0.74), (0.92, 0.90), (0.92, 0.82), (0.70, 0.82)]), BROWN)
    return c


def folder_icon(size):
    c = Canvas(size, size)
    c.paint(rounded_rect(0.06, 0.16, 0.46, 0.36, 0.05), (214, 150, 30))
    c.paint(rounded_rect(0.06, 0.24, 0.94, 0.86, 0.06), (232, 170, 40))
    c.paint(rounded_rect(0.06, 0.34, 0.94, 0.86, 0.06), ORANGE)
    c.paint(rounded_rect(0.12, 0.42, 0.88, 0.48, 0.02), (255, 220, 130))
    return c


def params_icon(size):
    """Three sliders."""
    c = Canvas(size, size)
    for i, knob in enumerate((0.30, 0.68, 0.46)):
        y = 0.22 + i * 0.28
        c.paint(rounded_rect(0.08, y - 0.04, 0.92, y + 0.04, 0.04), (110, 110, 120))
        c.paint(circle(knob, y, 0.12), BROWN)
        c.paint(circle(knob, y, 0.07), ORANGE)
    return c


def options_icon(size):
    """A gear."""
    c = Canvas(size, size)
    teeth = []
    for k in range(8):
        a = k * math.pi / 4
        ca, sa = math.cos(a), math.sin(a)
        pts = []
        for (r, d) in ((0.30, -0.12), (0.47, -0.09), (0.47, 0.09), (0.30, 0.12)):
            pts.append((0.5 + r * ca - d * sa, 0.5 + r * sa + d * ca))
        teeth.append(polygon(pts))
    c.paint(lambda u, v: any(t(u, v) for t in teeth), (95, 105, 120))
    c.paint(ring(0.5, 0.5, 0.36, 0.14), (95, 105, 120))
    c.paint(ring(0.5, 0.5, 0.28, 0.14), (150, 160, 175))
    return c


def info_icon(size):
    c = Canvas(size, size)
    c.paint(circle(0.5, 0.5, 0.46), (40, 110, 200))
    c.paint(circle(0.5, 0.5, 0.40), (70, 140, 225))
    c.paint(circle(0.5, 0.28, 0.08), (255, 255, 255))
    c.paint(rounded_rect(0.42, 0.42, 0.58, 0.80, 0.04), (255, 255, 255))
    return c


def ico_image(c):
    """One 32-bit image of an .ico: BITMAPINFOHEADER, bottom-up BGRA, AND mask."""
    w, h = c.w, c.h
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = c.px[y][x]
            pixels += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if c.px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(pixels) + bytes(mask)


def write_ico(name, painter, sizes):
    images = [ico_image(painter(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def write_logo(name):
    """The header logo: 46 x 37, 8 bits per pixel with a palette, on the header's orange."""
    w, h = 46, 37
    tile = app_icon(37)
    rgb = [[ORANGE] * w for _ in range(h)]
    for y in range(h):
        for x in range(37):
            r, g, b, a = tile.px[y][x]
            rgb[y][x + 4] = mix(ORANGE, (r, g, b), a / 255.0)
    palette = []
    index = {}
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            q = tuple((v // 8) * 8 for v in rgb[y][x])
            if q not in index:
                if len(palette) >= 256:
                    q = min(palette, key=lambda p: sum((p[i] - q[i]) ** 2 for i in range(3)))
                else:
                    index[q] = len(palette)
                    palette.append(q)
            row.append(index[q])
        rows.append(row)
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (w + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        pixels += bytes(row) + bytes(stride - w)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + info + pal + bytes(pixels))


if __name__ == "__main__":
    write_ico("app.ico", app_icon, [48, 32, 24, 16])
    write_ico("files.ico", folder_icon, [20, 16, 32])
    write_ico("params.ico", params_icon, [20, 16, 32])
    write_ico("options.ico", options_icon, [20, 16, 32])
    write_ico("about.ico", info_icon, [20, 16, 32])
    write_logo("logo.bmp")
