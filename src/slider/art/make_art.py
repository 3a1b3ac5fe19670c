#!/usr/bin/env python3
"""Draws the ten bitmaps of the timeline slider and writes them as 24-bit PNG
files next to this script. Run it again after changing the artwork and commit
the PNG files it writes; the build embeds them as Qt resources.

The horizontal pieces are drawn here; the vertical ones are their transposes
(the top cap is the right cap turned, the bottom cap the left one), so both
styles share one look. Every strip is 20 pixels across with the groove's
interior at pixels 6 to 12, the part the control recolours at run time.

Palette: a light blue window (0xFFC0C0, 0xFF8080 in the program's 0x00BBGGRR
layout), navy outlines (0x800000, 0x400000).
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling per axis for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def lerp_rows(stops, y):
    """Colour at row y from a list of (row, colour) stops."""
    if y <= stops[0][0]:
        return stops[0][1]
    for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
        if y <= y1:
            return mix(c0, c1, (y - y0) / (y1 - y0))
    return stops[-1][1]


# Window background behind the groove: a soft light blue, lit from above.
def background(y):
    return lerp_rows([(0, (226, 232, 255)), (19, (186, 194, 252))], y)


NAVY = (0, 0, 128)
DEEP = (0, 0, 64)
WHITE = (255, 255, 255)


def groove_column(interior):
    """One 20-pixel column of groove: background, shadow, dark top edge,
    interior rows 6..12, light bottom edge, highlight, background."""
    col = []
    for y in range(20):
        if 6 <= y <= 12:
            c = interior(y)
        elif y == 5:
            c = (10, 10, 90)
        elif y == 13:
            c = (112, 120, 220)
        elif y == 4:
            c = mix(background(y), NAVY, 0.22)
        elif y == 14:
            c = mix(background(y), WHITE, 0.75)
        else:
            c = background(y)
        col.append(c)
    return col


def empty_interior(y):
    # Dark, slightly lit from below, like a slot cut into the panel.
    return lerp_rows([(6, (0, 0, 40)), (12, (24, 24, 96))], y)


def full_interior(y):
    # The selection glows: bright at the top, deeper blue at the bottom.
    return lerp_rows([(6, (214, 228, 255)), (8, (150, 186, 255)),
                      (12, (64, 112, 236))], y)


def rounded_box_inside(px, py, x0, y0, x1, y1, r):
    """True when the point lies in the box [x0,x1) x [y0,y1) with corners of
    radius r."""
    if px < x0 or px >= x1 or py < y0 or py >= y1:
        return False
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def render(width, height, shade):
    """shade(px, py) gives the colour of a sample point; each pixel averages
    SS x SS samples."""
    img = []
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    c = shade(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS)
                    for i in range(3):
                        acc[i] += c[i]
            row.append(tuple(acc[i] / (SS * SS) for i in range(3)))
        img.append(row)
    return img


def end_block(x0, x1, groove_side):
    """An end stop: a rounded navy block the groove runs into."""
    y0, y1, r = 1.0, 19.0, 4.0
    empty = groove_column(empty_interior)

    def shade(px, py):
        if rounded_box_inside(px, py, x0, y0, x1, y1, r):
            if rounded_box_inside(px, py, x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1):
                # Face: light at the top, a clear blue below, a faint
                # highlight line near the top edge.
                c = lerp_rows([(2, (196, 204, 255)), (9, (128, 128, 255)),
                               (18, (40, 40, 170))], py)
                if 2.5 <= py < 3.5:
                    c = mix(c, WHITE, 0.5)
                return c
            return DEEP
        # Outside the block: the groove continues on the block's inner side,
        # plain background on its outer side.
        row = min(int(py), 19)
        inner = px >= x1 - 0.5 if groove_side == "right" else px < x0 + 0.5
        return empty[row] if inner else background(py)

    return shade


def handle_shade(px, py):
    """The handle, 19 x 10: a raised rounded pill with a grip in the middle."""
    w, h = 19.0, 10.0
    strip = groove_column(empty_interior)
    if not rounded_box_inside(px, py, 0, 0, w, h, 3.0):
        return strip[min(int(py) + 4, 19)]
    if not rounded_box_inside(px, py, 1, 1, w - 1, h - 1, 2.0):
        return DEEP
    c = lerp_rows([(1, (255, 255, 255)), (4, (222, 228, 255)),
                   (9, (128, 136, 240))], py)
    # Three grip grooves, each a dark line with a light line beside it.
    for gx in (6.0, 9.0, 12.0):
        if 3.0 <= py < 7.0:
            if gx <= px < gx + 1.0:
                return (40, 40, 140)
            if gx + 1.0 <= px < gx + 2.0:
                return mix(c, WHITE, 0.8)
    return c


def to_bytes(img):
    return [[tuple(max(0, min(255, int(round(v)))) for v in px) for px in row]
            for row in img]


def transpose(img, flip_rows=False):
    """Column c of the result is row c of the source; with flip_rows the
    source's columns are read from the right."""
    h, w = len(img), len(img[0])
    out = []
    for y in range(w):
        sx = w - 1 - y if flip_rows else y
        out.append([img[c][sx] for c in range(h)])
    return out


def write_png(name, img):
    h, w = len(img), len(img[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in img)

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(HERE, name + ".png"), "wb") as f:
        f.write(png)


def column_image(col):
    return [[c] for c in col]


def main():
    pic_left = to_bytes(render(11, 20, end_block(1.0, 10.5, "right")))
    pic_right = to_bytes(render(14, 20, end_block(0.5, 13.0, "left")))
    pic_handle = to_bytes(render(19, 10, handle_shade))
    pic_empty = to_bytes(column_image(groove_column(empty_interior)))
    pic_full = to_bytes(column_image(groove_column(full_interior)))

    pieces = {
        "PicLeft": pic_left,
        "PicRight": pic_right,
        "PicHandle": pic_handle,
        "PicEmptyFill": pic_empty,
        "PicFullFill": pic_full,
        # Vertical: the top end is the maximum, like the right end.
        "PicUp": transpose(pic_right, flip_rows=True),
        "PicDown": transpose(pic_left, flip_rows=True),
        "PicHandle2": transpose(pic_handle),
        "PicEmptyFill2": transpose(pic_empty),
        "PicFullFill2": transpose(pic_full),
    }
    for name, img in pieces.items():
        write_png(name, img)
        print(name, len(img[0]), "x", len(img))


if __name__ == "__main__":
    main()
