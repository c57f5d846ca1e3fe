#!/usr/bin/python3
"""Draws the page pictures of Sagewend into sample/images.

Makes back.jpg (tiling page background), logo.gif (home page logo),
readings.gif / iching.gif / yesno.gif (page title banners) and ask.gif
(the "Ask the Oracle" button).  Needs only Pillow (Debian: python3-pil).

Usage: make_pictures.py [output-directory]
"""

import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

# The program's palette.
PAGE_GREEN = (51, 102, 51)      # #363, the page background
FRAME_GREEN = (0, 51, 0)        # 0x003300, frames and captions
LIGHT_GREEN = (102, 153, 102)   # #696, the raised edge of page buttons
GOLD = (204, 204, 0)            # #cccc00
OLIVE = (153, 153, 0)           # #990
PALE_GOLD = (255, 255, 170)

# Pictures are drawn this many times larger and scaled down, for smooth edges.
SCALE = 4

# Serif faces that ship with Debian, best first; the last resort is Pillow's own.
FONT_FILES = [
    "/usr/share/fonts/opentype/urw-base35/P052-Bold.otf",
    "/usr/share/fonts/opentype/urw-base35/C059-Bold.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf",
]
SANS_FONT_FILES = [
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
    "/usr/share/fonts/opentype/urw-base35/NimbusSans-Bold.otf",
]


def load_font(candidates, size):
    for path in candidates:
        if os.path.exists(path):
            try:
                return ImageFont.truetype(path, size)
            except OSError:
                continue
    return ImageFont.load_default()


# ---------------------------------------------------------------------------
# Background texture

def periodic_noise(size, cells, rng):
    """Smooth value noise that tiles: a random cells x cells grid, tiled 3x3,
    scaled up and cut out of the middle, so opposite edges match."""
    grid = Image.new("L", (cells, cells))
    grid.putdata([rng.randrange(256) for _ in range(cells * cells)])
    tiled = Image.new("L", (cells * 3, cells * 3))
    for ty in range(3):
        for tx in range(3):
            tiled.paste(grid, (tx * cells, ty * cells))
    big = tiled.resize((size * 3, size * 3), Image.BICUBIC)
    return list(big.crop((size, size, size * 2, size * 2)).getdata())


def make_background(path, size=256):
    rng = random.Random(1963)
    octaves = [(4, 0.45), (8, 0.28), (16, 0.17), (32, 0.10)]
    layers = [(periodic_noise(size, cells, rng), weight) for cells, weight in octaves]
    grain = periodic_noise(size, 128, rng)

    pixels = []
    two_pi = 2.0 * math.pi
    for i in range(size * size):
        x, y = i % size, i // size
        turbulence = sum((layer[i] / 255.0 - 0.5) * w for layer, w in layers)
        # Marble veins: whole periods across the tile keep it seamless.
        phase = two_pi * (2 * x + 1 * y) / size + turbulence * 9.0
        vein = (math.sin(phase) + 1.0) / 2.0
        vein = vein ** 6
        shade = turbulence * 34.0 + vein * 10.0 + (grain[i] / 255.0 - 0.5) * 5.0
        r = PAGE_GREEN[0] + shade * 0.55
        g = PAGE_GREEN[1] + shade
        b = PAGE_GREEN[2] + shade * 0.55
        pixels.append(tuple(max(0, min(255, int(round(c)))) for c in (r, g, b)))
    img = Image.new("RGB", (size, size))
    img.putdata(pixels)
    img.save(path, "JPEG", quality=90)


# ---------------------------------------------------------------------------
# Drawing helpers for the lettered pictures

def vertical_gradient(width, height, stops):
    """An RGB image shaded top to bottom through the (position, colour) stops."""
    column = Image.new("RGB", (1, height))
    for y in range(height):
        t = y / max(1, height - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                k = (t - p0) / (p1 - p0) if p1 > p0 else 0.0
                column.putpixel((0, y), tuple(int(a + (b - a) * k) for a, b in zip(c0, c1)))
                break
    return column.resize((width, height))


GOLD_STOPS = [(0.0, PALE_GOLD), (0.45, GOLD), (1.0, OLIVE)]


def gold_layer(canvas, mask, drop, outline_px):
    """Lays gold, shaded top to bottom, through mask onto canvas (RGBA),
    with a dark green outline and a soft drop shadow beneath."""
    w, h = canvas.size
    if drop:
        shadow = mask.filter(ImageFilter.MaxFilter(3)).filter(ImageFilter.GaussianBlur(drop))
        # Shift without wrapping round, so nothing leaks in at the far edge.
        moved = Image.new("L", (w, h), 0)
        moved.paste(shadow, (drop, drop))
        shadow = moved
        shade = Image.new("RGBA", (w, h), FRAME_GREEN + (0,))
        shade.putalpha(shadow.point(lambda a: a * 3 // 4))
        canvas.alpha_composite(shade)
    if outline_px:
        size = outline_px * 2 + 1
        outline = mask.filter(ImageFilter.MaxFilter(size))
        dark = Image.new("RGBA", (w, h), FRAME_GREEN + (0,))
        dark.putalpha(outline)
        canvas.alpha_composite(dark)
    gold = vertical_gradient(w, h, GOLD_STOPS).convert("RGBA")
    gold.putalpha(mask)
    canvas.alpha_composite(gold)


def text_mask(size, text, font, at, anchor="mm"):
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    draw.text(at, text, font=font, fill=255, anchor=anchor)
    return mask


def fitting_font(candidates, text, size, max_width):
    """The largest font up to size whose rendering of text fits max_width."""
    while True:
        font = load_font(candidates, size)
        left, _, right, _ = font.getbbox(text)
        if right - left <= max_width or size <= 8:
            return font
        size -= 1


def star_points(cx, cy, outer, inner, points, rotation=-math.pi / 2):
    result = []
    for k in range(points * 2):
        radius = outer if k % 2 == 0 else inner
        angle = rotation + math.pi * k / points
        result.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return result


def emblem_mask(diameter):
    """The program's emblem: an eight-pointed star inside a ring, with an
    open eye at its heart. White where gold goes."""
    d = diameter
    mask = Image.new("L", (d, d), 0)
    draw = ImageDraw.Draw(mask)
    c = d / 2
    ring = d * 0.05
    draw.ellipse((ring * 0.5, ring * 0.5, d - ring * 0.5, d - ring * 0.5), outline=255,
                 width=max(1, int(ring)))
    inner_ring = d * 0.14
    draw.ellipse((inner_ring, inner_ring, d - inner_ring, d - inner_ring), outline=255,
                 width=max(1, int(ring * 0.35)))
    draw.polygon(star_points(c, c, d * 0.36, d * 0.14, 8), fill=255)
    # The eye: an almond cut out of the star, with a gold iris and a dark pupil.
    eye_w, eye_h = d * 0.20, d * 0.10
    almond_top = [(c + eye_w * math.cos(t), c - eye_h * math.sin(t))
                  for t in [math.pi * k / 20 for k in range(21)]]
    almond_bottom = [(c - eye_w * math.cos(t), c + eye_h * math.sin(t))
                     for t in [math.pi * k / 20 for k in range(21)]]
    draw.polygon(almond_top + almond_bottom, fill=0)
    iris = d * 0.075
    draw.ellipse((c - iris, c - iris, c + iris, c + iris), fill=255)
    pupil = d * 0.03
    draw.ellipse((c - pupil, c - pupil, c + pupil, c + pupil), fill=0)
    return mask


def save_gif(rgba, path, matte=PAGE_GREEN, transparent=True):
    """Writes an RGBA picture as GIF: half-covered edge pixels are blended
    with the page colour, and nearly empty pixels become transparent."""
    background = Image.new("RGBA", rgba.size, matte + (255,))
    flat = Image.alpha_composite(background, rgba).convert("RGB")
    if not transparent:
        flat.quantize(colors=256, method=Image.MEDIANCUT).save(path, "GIF")
        return
    paletted = flat.quantize(colors=255, method=Image.MEDIANCUT)
    palette = paletted.getpalette()[:255 * 3]
    palette += [0] * (255 * 3 - len(palette))
    palette += list(matte)
    paletted.putpalette(palette)
    clear = rgba.getchannel("A").point(lambda a: 255 if a < 48 else 0)
    paletted.paste(255, mask=clear)
    paletted.save(path, "GIF", transparency=255)


# ---------------------------------------------------------------------------
# The pictures

def make_logo(path, width=360, height=110):
    W, H = width * SCALE, height * SCALE
    canvas = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    emblem_d = 96 * SCALE
    left = 5 * SCALE
    mask = Image.new("L", (W, H), 0)
    mask.paste(emblem_mask(emblem_d), (left, (H - emblem_d) // 2))
    text_left = left + emblem_d + 10 * SCALE
    text_right = W - 8 * SCALE
    font = fitting_font(FONT_FILES, "Sagewend", 60 * SCALE, text_right - text_left)
    text_centre = (text_left + text_right) / 2
    letters = text_mask((W, H), "Sagewend", font, (text_centre, H * 0.44))
    mask = ImageChops.lighter(mask, letters)
    # A fine rule under the name, tapering at both ends.
    draw = ImageDraw.Draw(mask)
    y = int(H * 0.78)
    x0, x1 = int(text_left + 8 * SCALE), int(text_right - 8 * SCALE)
    draw.polygon([(x0, y), ((x0 + x1) / 2, y - 2.2 * SCALE), (x1, y),
                  ((x0 + x1) / 2, y + 2.2 * SCALE)], fill=255)
    for x in (x0 - 6 * SCALE, x1 + 6 * SCALE):
        draw.polygon(star_points(x, y, 4.5 * SCALE, 1.6 * SCALE, 4), fill=255)
    gold_layer(canvas, mask, drop=2 * SCALE, outline_px=SCALE)
    save_gif(canvas.resize((width, height), Image.LANCZOS), path)


def make_banner(path, title, width=300, height=60):
    W, H = width * SCALE, height * SCALE
    canvas = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    mask = Image.new("L", (W, H), 0)
    emblem_d = 46 * SCALE
    small = emblem_mask(emblem_d)
    top = (H - emblem_d) // 2
    mask.paste(small, (5 * SCALE, top))
    mask.paste(small, (W - emblem_d - 5 * SCALE, top))
    room = W - 2 * (emblem_d + 12 * SCALE)
    font = fitting_font(FONT_FILES, title, 36 * SCALE, room)
    mask = ImageChops.lighter(mask, text_mask((W, H), title, font, (W / 2, H * 0.47)))
    gold_layer(canvas, mask, drop=2 * SCALE, outline_px=SCALE)
    save_gif(canvas.resize((width, height), Image.LANCZOS), path)


def make_ask_button(path, width=160, height=40):
    W, H = width * SCALE, height * SCALE
    face = vertical_gradient(W, H, [(0.0, (84, 140, 84)), (0.5, PAGE_GREEN), (1.0, (38, 84, 38))])
    canvas = face.convert("RGBA")
    draw = ImageDraw.Draw(canvas)
    edge = 3 * SCALE
    # Raised bevel: light from the top left, shadow to the bottom right.
    draw.polygon([(0, 0), (W, 0), (W - edge, edge), (edge, edge), (edge, H - edge), (0, H)],
                 fill=LIGHT_GREEN + (255,))
    draw.polygon([(W, H), (0, H), (edge, H - edge), (W - edge, H - edge), (W - edge, edge), (W, 0)],
                 fill=FRAME_GREEN + (255,))
    draw.rectangle((0, 0, W - 1, H - 1), outline=FRAME_GREEN + (255,), width=SCALE)
    # A fine gold line just inside the bevel.
    inset = edge + 2 * SCALE
    draw.rectangle((inset, inset, W - 1 - inset, H - 1 - inset), outline=OLIVE + (255,),
                   width=max(1, SCALE // 2))
    font = fitting_font(SANS_FONT_FILES, "Ask the Oracle", 14 * SCALE, W - 2 * inset - 8 * SCALE)
    mask = text_mask((W, H), "Ask the Oracle", font, (W / 2, H / 2 + SCALE // 2))
    gold_layer(canvas, mask, drop=SCALE, outline_px=SCALE // 2)
    save_gif(canvas.resize((width, height), Image.LANCZOS), path, transparent=False)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "sample", "images")
    os.makedirs(out, exist_ok=True)
    make_background(os.path.join(out, "back.jpg"))
    make_logo(os.path.join(out, "logo.gif"))
    make_banner(os.path.join(out, "readings.gif"), "Readings")
    make_banner(os.path.join(out, "iching.gif"), "I Ching")
    make_banner(os.path.join(out, "yesno.gif"), "Yes / No")
    make_ask_button(os.path.join(out, "ask.gif"))
    for name in sorted(os.listdir(out)):
        print(os.path.join(out, name))


if __name__ == "__main__":
    main()
