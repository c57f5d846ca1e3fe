#!/usr/bin/env python3
"""Draws the 78 card pictures of the "Classic Tarot" sample deck as SVG.

For every card two files are written: "<nn>.svg" upright and "<nn>r.svg",
the same picture turned over.  <nn> is the card's two-character number:
00..21 for the major arcana, and for the minors a suit letter (W, C, S, P)
followed by 1..9, T (ten), P (page), N (knight), Q (queen) or K (king).

The majors each show one emblem.  The pip cards 2 to 10 arrange their suit
symbols into a figure that carries the card's meaning (a fan with a wreath for
victory, cups tipped over for loss, a cage of swords), and the card texts in
tools/sample-src describe those figures, so picture and text must change
together; only the Three of Swords is drawn as its scene.  The court cards
share one figure per rank, and each suit's court gets its own colour, emblem
and ground so that, say, the Queen of Cups and the Queen of Swords differ at
a glance.

Standard library only.  Usage: make_cards.py [output-directory]
"""

import math
import os
import sys
from xml.sax.saxutils import escape

WIDTH, HEIGHT = 120, 200
CX, CY = 60, 99            # centre of the picture panel

# Palette: the program's greens with gold.
GOLD = "#cccc00"
OLIVE = "#999900"
PALE = "#ffffaa"
DARK = "#003300"
GREEN = "#336633"
PANEL = "#2b5a2b"
DEEP = "#1f451f"
WHITE = "#ffffff"
RED = "#bb3322"
WOOD = "#c8a060"
SKIN = "#f0d8b0"
WATER = "#77aadd"
LEAF = "#99cc66"
FONT = "Georgia, serif"

MAJORS = [
    "The Fool", "The Magician", "The High Priestess", "The Empress",
    "The Emperor", "The Hierophant", "The Lovers", "The Chariot",
    "Strength", "The Hermit", "Wheel of Fortune", "Justice",
    "The Hanged Man", "Death", "Temperance", "The Devil", "The Tower",
    "The Star", "The Moon", "The Sun", "Judgement", "The World",
]

SUITS = [("W", "Wands"), ("C", "Cups"), ("S", "Swords"), ("P", "Pentacles")]

# (file character, name word, top label) for the fourteen ranks.
RANKS = [
    ("1", "Ace", "Ace"), ("2", "Two", "2"), ("3", "Three", "3"),
    ("4", "Four", "4"), ("5", "Five", "5"), ("6", "Six", "6"),
    ("7", "Seven", "7"), ("8", "Eight", "8"), ("9", "Nine", "9"),
    ("T", "Ten", "10"), ("P", "Page", "Page"), ("N", "Knight", "Knight"),
    ("Q", "Queen", "Queen"), ("K", "King", "King"),
]


# ---------------------------------------------------------------------------
# Small SVG helpers

def n(value):
    """A compact number: at most one decimal, no trailing zeros."""
    text = "%.1f" % value
    if text.endswith(".0"):
        text = text[:-2]
    if text == "-0":
        text = "0"
    return text


def pts(points):
    return " ".join("%s,%s" % (n(x), n(y)) for x, y in points)


def star(cx, cy, outer, inner, count, fill, stroke=None, rotation=-90.0):
    points = []
    for k in range(count * 2):
        radius = outer if k % 2 == 0 else inner
        angle = math.radians(rotation + 180.0 * k / count)
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    extra = " stroke='%s' stroke-width='.6'" % stroke if stroke else ""
    return "<polygon points='%s' fill='%s'%s/>" % (pts(points), fill, extra)


def rays(cx, cy, r1, r2, count, colour, width, offset=0.0):
    parts = []
    for k in range(count):
        angle = math.radians(offset + 360.0 * k / count)
        c, s = math.cos(angle), math.sin(angle)
        parts.append("M%s,%sL%s,%s" % (n(cx + r1 * c), n(cy + r1 * s),
                                       n(cx + r2 * c), n(cy + r2 * s)))
    return "<path d='%s' stroke='%s' stroke-width='%s'/>" % ("".join(parts), colour, n(width))


def circle(cx, cy, r, fill, stroke=None, width=1.0):
    extra = " stroke='%s' stroke-width='%s'" % (stroke, n(width)) if stroke else ""
    return "<circle cx='%s' cy='%s' r='%s' fill='%s'%s/>" % (n(cx), n(cy), n(r), fill, extra)


def line(x1, y1, x2, y2, colour, width):
    return "<path d='M%s,%sL%s,%s' stroke='%s' stroke-width='%s' stroke-linecap='round'/>" % (
        n(x1), n(y1), n(x2), n(y2), colour, n(width))


def rect(x, y, w, h, fill, stroke=None, width=1.0, rx=0):
    extra = " rx='%s'" % n(rx) if rx else ""
    if stroke:
        extra += " stroke='%s' stroke-width='%s'" % (stroke, n(width))
    return "<rect x='%s' y='%s' width='%s' height='%s' fill='%s'%s/>" % (
        n(x), n(y), n(w), n(h), fill, extra)


def place(body, x, y, scale=1.0, rotate=0.0):
    transform = "translate(%s %s)" % (n(x), n(y))
    if rotate:
        transform += " rotate(%s)" % n(rotate)
    if scale != 1.0:
        transform += " scale(%s)" % ("%.2f" % scale).rstrip("0").rstrip(".")
    return "<g transform='%s'>%s</g>" % (transform, body)


def text(x, y, content, size, fill=GOLD, bold=True):
    weight = " font-weight='bold'" if bold else ""
    return ("<text x='%s' y='%s' font-family='%s' font-size='%s'%s fill='%s' "
            "text-anchor='middle'>%s</text>") % (n(x), n(y), FONT, n(size), weight, fill,
                                                 escape(content))


# ---------------------------------------------------------------------------
# Suit symbols, drawn about (0, 0) roughly 30 units tall

WAND = ("<rect x='-1.8' y='-15' width='3.6' height='30' rx='1.8' fill='%s' stroke='%s' "
        "stroke-width='.6'/><path d='M1.5,-9q4,-4 6,-2q-2,3 -6,2M-1.5,-2q-4,-4 -6,-2q2,3 6,2"
        "M1.5,5q4,-4 6,-2q-2,3 -6,2' fill='%s'/>") % (WOOD, DARK, LEAF)

CUP = ("<path d='M-8,-10H8Q8,1 1.3,2.5V8Q5,9 6,11H-6Q-5,9 -1.3,8V2.5Q-8,1 -8,-10Z' "
       "fill='%s' stroke='%s' stroke-width='.7'/><ellipse cy='-10' rx='8' ry='1.8' "
       "fill='%s' stroke='%s' stroke-width='.5'/>") % (GOLD, DARK, WATER, DARK)

SWORD = ("<path d='M0,-16L2.2,-12V6H-2.2V-12Z' fill='#eeeeee' stroke='%s' stroke-width='.6'/>"
         "<rect x='-6.5' y='6' width='13' height='2.4' rx='1.2' fill='%s' stroke='%s' "
         "stroke-width='.4'/><rect x='-1.1' y='8.4' width='2.2' height='5' fill='%s'/>"
         "<circle cy='14.6' r='1.7' fill='%s'/>") % (DARK, GOLD, DARK, WOOD, GOLD)


def _pentacle():
    points = []
    for k in range(5):
        angle = math.radians(-90 + 144 * k)
        points.append((7.4 * math.cos(angle), 7.4 * math.sin(angle)))
    return ("<circle r='10' fill='%s' stroke='%s' stroke-width='.8'/>"
            "<circle r='8.3' fill='none' stroke='%s' stroke-width='.5'/>"
            "<polygon points='%s' fill='%s' stroke='%s' stroke-width='.7' "
            "stroke-linejoin='round'/>") % (GOLD, DARK, DARK, pts(points), PALE, DARK)


PENTACLE = _pentacle()

SYMBOLS = {"W": WAND, "C": CUP, "S": SWORD, "P": PENTACLE}


def sym(suit, x, y, scale=1.0, rotate=0.0):
    return place(SYMBOLS[suit], x, y, scale, rotate)


def wand(length, thick=3.6):
    """A leafing wand of any length, centred on (0, 0) and standing upright;
    its thickness does not grow with its length, so long wands stay slender."""
    half = length / 2
    body = ("<rect x='%s' y='%s' width='%s' height='%s' rx='%s' fill='%s' stroke='%s' "
            "stroke-width='.6'/>" % (n(-thick / 2), n(-half), n(thick), n(length), n(thick / 2),
                                     WOOD, DARK))
    leaves = []
    count = max(2, int(length // 13))
    for k in range(count):
        y = -half + 7 + k * (length - 14) / max(1, count - 1)
        side = 1 if k % 2 == 0 else -1
        x0 = side * thick / 2 * 0.8
        leaves.append("M%s,%sq%s,-4 %s,-2q%s,3 %s,2" % (
            n(x0), n(y), n(side * 4), n(side * 6), n(-side * 2), n(-side * 6)))
    return body + "<path d='%s' fill='%s'/>" % ("".join(leaves), LEAF)


def sword(blade):
    """An upright sword whose blade is `blade` long, centred on the middle of
    its whole length; like wand(), its width stays the same at any length."""
    total = blade + 10.3
    top = -total / 2
    tip, guard = top, top + blade
    body = ("<path d='M0,%sL2.2,%sV%sH-2.2V%sZ' fill='#eeeeee' stroke='%s' stroke-width='.6'/>"
            % (n(tip), n(tip + 4), n(guard), n(tip + 4), DARK)
            + "<path d='M0,%sV%s' stroke='#aaaaaa' stroke-width='.5'/>" % (n(tip + 5), n(guard - 1))
            + rect(-6.5, guard, 13, 2.4, GOLD, DARK, 0.4, 1.2)
            + rect(-1.1, guard + 2.4, 2.2, 5, WOOD)
            + circle(0, guard + 8.6, 1.7, GOLD))
    return body


def coin(dull=False):
    """A pentacle; a dull one has lost its gold, for the coins of hard times."""
    if not dull:
        return PENTACLE
    return PENTACLE.replace(GOLD, "#77773a").replace(PALE, "#aaa888")


def towards(x1, y1, x2, y2):
    """The rotation that turns an upright shape at (x1, y1) to point at (x2, y2)."""
    return math.degrees(math.atan2(x2 - x1, y1 - y2))


def wreath(cx, cy, r, colour=LEAF):
    parts = []
    for side in (-1, 1):
        parts.append("<path d='M%s,%sA%s,%s 0 0 %d %s,%s' fill='none' stroke='%s' stroke-width='1'/>" % (
            n(cx), n(cy + r), n(r), n(r), 1 if side > 0 else 0, n(cx), n(cy - r), colour))
        for k in range(5):
            a = math.radians(90 - side * (25 + 32 * k))
            x, y = cx + r * math.cos(a), cy + r * math.sin(a)
            parts.append("<ellipse cx='%s' cy='%s' rx='1.6' ry='3.4' fill='%s' "
                         "transform='rotate(%s %s %s)'/>" % (n(x), n(y), colour,
                                                              n(math.degrees(a) + 90 + side * 30), n(x), n(y)))
    return "".join(parts)


def waves(y, colour=WATER, rows=3, gap=6):
    parts = []
    for k in range(rows):
        yy = y + k * gap
        d = "M11,%s" % n(yy) + "".join("q5,-3 10,0t10,0" for _ in range(5))
        parts.append("<path d='%s' fill='none' stroke='%s' stroke-width='1.4'/>" % (d, colour))
    return "".join(parts)


def cloud(cx, cy, scale=1.0, fill="#dddddd"):
    body = ("<ellipse cx='-8' cy='2' rx='9' ry='5'/><ellipse cx='2' cy='-2' rx='9' ry='7'/>"
            "<ellipse cx='10' cy='3' rx='8' ry='4.5'/>")
    return place("<g fill='%s'>%s</g>" % (fill, body), cx, cy, scale)


# ---------------------------------------------------------------------------
# Pip cards: each arranges its suit symbols so that the arrangement itself
# says what the card means; the card texts describe these arrangements.

def pips_wands(rank):
    if rank == 2:
        return place(wand(104, 4.4), 60, 99, rotate=-30) + place(wand(104, 4.4), 60, 99, rotate=30)
    if rank == 3:
        return (rect(16, 150, 88, 3, OLIVE)
                + "".join(place(wand(100, 4.4), x, 99) for x in (34, 60, 86)))
    if rank == 4:
        return (place(wand(112, 4.6), 28, 100) + place(wand(112, 4.6), 92, 100)
                + place(wand(76, 4.6), 60, 50, rotate=90) + place(wand(76, 4.6), 60, 150, rotate=90)
                + "<path d='M28,54Q60,92 92,54' fill='none' stroke='%s' stroke-width='2.6'/>" % LEAF
                + "".join(circle(x, y, 2.4, c, DARK, 0.4) for x, y, c in
                          ((38, 64, RED), (49, 70, PALE), (60, 73, RED), (71, 70, PALE), (82, 64, RED))))
    if rank == 5:
        spots = ((-52, 56, 96), (-20, 66, 104), (8, 54, 100), (36, 64, 96), (70, 60, 102))
        return "".join(place(wand(104, 4.2), x, y, rotate=a) for a, x, y in spots)
    if rank == 6:
        base_x, base_y, length = 60, 168, 98
        parts = []
        for k in range(6):
            a = -27 + 10.8 * k
            c, s = math.sin(math.radians(a)), math.cos(math.radians(a))
            parts.append(place(wand(length, 4.2), base_x + c * length / 2, base_y - s * length / 2, rotate=a))
        return "".join(parts) + wreath(60, 46, 11)
    if rank == 7:
        parts = ["<path d='M34,92Q60,78 86,92Z' fill='%s'/>" % DEEP,
                 place(wand(60, 5), 60, 60)]
        for x, tip_x in ((18, 40), (32, 46), (46, 53), (74, 67), (88, 74), (102, 80)):
            tip_y = 98 + abs(tip_x - 60) * 0.3
            base_y = 168
            a = towards(x, base_y, tip_x, tip_y)
            length = math.hypot(x - tip_x, base_y - tip_y) - 4
            mx, my = (x + tip_x) / 2, (base_y + tip_y) / 2
            parts.append(place(wand(length, 3.6), mx, my, rotate=a))
        return "".join(parts)
    if rank == 8:
        parts = []
        for x, y in ((42, 50), (78, 58), (38, 82), (74, 90), (42, 114), (78, 122), (38, 146), (74, 154)):
            parts.append(line(x - 18, y + 14, x - 26, y + 20, OLIVE, 0.8))
            parts.append(place(wand(44, 3.6), x, y, rotate=55))
        return "".join(parts)
    if rank == 9:
        fence = "".join(place(wand(58, 3.2), 21.5 + 11 * k, 68) for k in range(8))
        return (fence + rect(12, 90, 96, 3, OLIVE)
                + place(wand(86, 6), 60, 126))
    # Ten: one heavy bundle, tied in the middle.
    bundle = "".join(place(wand(120, 3.4), -11 + 2.45 * k, 0, rotate=-6 + 1.3 * k) for k in range(10))
    band = rect(-14, -6, 28, 8, RED, DARK, 0.6, 1.5)
    return place(bundle + band, 60, 99, rotate=18)


def pips_cups(rank):
    if rank == 2:
        return sym("C", 43, 104, 2.1, 14) + sym("C", 77, 104, 2.1, -14)
    if rank == 3:
        return sym("C", 60, 66, 1.8) + sym("C", 37, 128, 1.8, 10) + sym("C", 83, 128, 1.8, -10)
    if rank == 4:
        return ("<circle cx='60' cy='58' r='20' fill='%s' opacity='.25'/>" % PALE
                + cloud(42, 44, 0.9, "#bbbbbb") + sym("C", 60, 58, 1.4)
                + "".join(sym("C", x, 140, 1.35) for x in (32, 60, 88)))
    if rank == 5:
        spill = "".join("<ellipse cx='%s' cy='156' rx='6' ry='2.2' fill='%s'/>" % (n(x + 17), WATER)
                        for x in (20, 50, 80))
        fallen = "".join(sym("C", x, 150, 1.0, 90) for x in (20, 50, 80))
        return sym("C", 40, 80, 1.7) + sym("C", 80, 80, 1.7) + spill + fallen
    if rank == 6:
        parts = []
        for row, y in enumerate((76, 134)):
            for col, x in enumerate((34, 60, 86)):
                colour = RED if (row + col) % 2 == 0 else PALE
                parts.append(line(x, y - 14, x, y - 22, LEAF, 1))
                parts.append(star(x, y - 24, 4.2, 2.2, 5, colour, DARK))
                parts.append(circle(x, y - 24, 1.3, GOLD))
                parts.append(sym("C", x, y, 1.3))
        return "".join(parts)
    if rank == 7:
        spots = ((32, 60, RED), (62, 50, WATER), (90, 66, WHITE), (46, 102, LEAF),
                 (80, 108, "#cc66cc"), (28, 146, "#ff9933"), (68, 150, PALE))
        parts = [cloud(x + 2, y + 10, 0.8, "#3d6e3d") for x, y, _ in spots]
        for x, y, colour in spots:
            parts.append(sym("C", x, y, 1.15))
            parts.append(star(x, y - 18, 5, 1.8, 4, colour, DARK))
        return "".join(parts)
    if rank == 8:
        moon = circle(84, 50, 11, PALE) + circle(89, 46, 10, PANEL)
        wall = "".join(sym("C", x, y, 1.15) for x, y in
                       ((32, 154), (60, 154), (88, 154), (46, 129), (74, 129), (32, 104), (60, 104), (88, 104)))
        return moon + wall
    if rank == 9:
        parts = []
        for y in (64, 106, 148):
            parts.append(rect(16, y + 12, 88, 3, WOOD, DARK, 0.4))
            parts.extend(sym("C", x, y, 1.2) for x in (34, 60, 86))
        return "".join(parts)
    # Ten: an arch of cups over a rainbow.
    parts = []
    for k, colour in enumerate((RED, "#ff9933", PALE, LEAF, WATER)):
        r = 36 - 3 * k
        parts.append("<path d='M%s,142A%s,%s 0 0 1 %s,142' fill='none' stroke='%s' stroke-width='3'/>"
                     % (n(60 - r), n(r), n(r), n(60 + r), colour))
    for k in range(10):
        a = math.radians(180 + 180 * k / 9)
        parts.append(sym("C", 60 + 40 * math.cos(a), 136 + 84 * math.sin(a), 1.0))
    return "".join(parts) + rect(16, 152, 88, 2, OLIVE)


def pips_swords(rank):
    if rank == 2:
        return place(sword(96), 60, 99, rotate=-32) + place(sword(96), 60, 99, rotate=32)
    if rank == 3:
        # The one pip card drawn as its scene: a heart pierced under the rain.
        rain = "".join(line(x, y, x - 3, y + 8, WATER, 1) for x, y in
                       ((24, 56), (36, 64), (50, 58), (66, 62), (80, 56), (94, 64), (30, 76), (88, 78)))
        swords = (place(sword(84), 60, 98, rotate=180) + place(sword(84), 60, 100, rotate=145)
                  + place(sword(84), 60, 100, rotate=215))
        return (cloud(36, 40, 1.3, "#888888") + cloud(80, 42, 1.2, "#999999") + rain
                + swords + heart(60, 112, 2.7, RED))
    if rank == 4:
        return ("".join(place(sword(72), 60, y, rotate=90) for y in (58, 80, 102))
                + rect(22, 138, 76, 20, DEEP, OLIVE, 0.8, 2)
                + place(sword(72), 60, 148, rotate=90))
    if rank == 5:
        held = "".join(place(sword(82), 60 + 46 * math.sin(math.radians(a)), 142 - 46 * math.cos(math.radians(a)),
                             rotate=a) for a in (-16, 0, 16))
        dropped = place(sword(46), 42, 159, rotate=-84) + place(sword(46), 78, 165, rotate=96)
        return held + dropped
    if rank == 6:
        return (waves(142) + "".join(place(sword(62), x, 96, rotate=10) for x in (20, 34, 48, 62, 76, 90))
                + rect(14, 130, 92, 5, WOOD, DARK, 0.4, 2))
    if rank == 7:
        bundle = "".join(place(sword(78), 66 + 5 * k, 100, rotate=14 + 2 * k) for k in range(5))
        left = place(sword(70), 22, 104) + place(sword(70), 36, 104)
        return left + bundle
    if rank == 8:
        # Seen from the front: a ring of bars, the back ones higher, open
        # towards the viewer.
        parts = ["<ellipse cx='60' cy='130' rx='44' ry='16' fill='%s'/>" % DEEP]
        spots = []
        for k in range(8):
            a = math.radians(150 + 240 * k / 7)
            spots.append((60 + 38 * math.cos(a), 100 + 26 * math.sin(a)))
        for x, y in sorted(spots, key=lambda spot: spot[1]):
            parts.append(place(sword(58), x, y, rotate=180))
        return "".join(parts)
    if rank == 9:
        return "".join(place(sword(74), 60, 36 + 15.6 * k, rotate=90) for k in range(9))
    # Ten: all the swords point down to one spot, where the dawn breaks.
    dawn = ("<path d='M11,172V160Q60,150 109,160V172Z' fill='%s'/>" % "#cc8833"
            + "<path d='M44,160A16,10 0 0 1 76,160Z' fill='%s'/>" % PALE)
    parts = [dawn]
    for k in range(10):
        a = -24 + 48 * k / 9
        r = 52
        parts.append(place(sword(86), 60 + r * math.sin(math.radians(a)), 152 - r * math.cos(math.radians(a)),
                           rotate=a + 180))
    return "".join(parts)


def pips_pentacles(rank):
    if rank == 2:
        loop = ("<path d='M60,99C96,72 96,34 60,38C24,34 24,72 60,99C96,126 96,164 60,160"
                "C24,164 24,126 60,99Z' fill='none' stroke='%s' stroke-width='3'/>" % LEAF)
        return loop + place(coin(), 60, 64, 1.8) + place(coin(), 60, 134, 1.8)
    if rank == 3:
        arch = ("<path d='M22,166V96Q22,50 60,34Q98,50 98,96V166' fill='none' stroke='%s' "
                "stroke-width='3'/>" % "#aaaa88")
        return arch + place(coin(), 60, 80, 1.5) + place(coin(), 41, 120, 1.5) + place(coin(), 79, 120, 1.5)
    if rank == 4:
        return (rect(30, 69, 60, 60, DEEP, "#aaaa88", 3, 3)
                + "".join(place(coin(), x, y, 1.25) for x, y in ((47, 86), (73, 86), (47, 112), (73, 112))))
    if rank == 5:
        window = (rect(44, 36, 32, 40, "#ffcc55", DARK, 1, 0)
                  + "<path d='M44,48Q60,24 76,48' fill='#ffcc55' stroke='%s'/>" % DARK
                  + "<path d='M60,34V76M44,56H76' stroke='%s' stroke-width='1.5'/>" % DARK)
        snow = "".join(circle(x, y, 1, WHITE) for x, y in
                       ((20, 40), (96, 44), (30, 90), (90, 86), (58, 96), (18, 128), (100, 118), (66, 168)))
        dull = "".join(place(coin(dull=True), x, y, 1.2) for x, y in
                       ((26, 112), (86, 106), (52, 128), (30, 154), (84, 150)))
        return window + snow + dull
    if rank == 6:
        pan = "<path d='M-15,0H15Q15,8 0,8Q-15,8 -15,0Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (GOLD, DARK)
        pile = place(coin(), -7.5, -7, 0.72) + place(coin(), 7.5, -7, 0.72) + place(coin(), 0, -19, 0.72)
        return (rect(58, 46, 4, 106, WOOD, DARK, 0.5) + rect(44, 150, 32, 6, WOOD, DARK, 0.5, 2)
                + rect(20, 54, 80, 4, GOLD, DARK, 0.5, 2) + circle(60, 52, 4, PALE, DARK, 0.6)
                + "<path d='M24,58L14,118M24,58L34,118M96,58L86,118M96,58L106,118' stroke='%s' "
                  "stroke-width='.8'/>" % PALE
                + place(pan + pile, 24, 118) + place(pan + pile, 96, 118))
    if rank == 7:
        vine = ("<path d='M60,172C44,152 76,132 60,112C44,92 76,72 60,52C54,44 56,36 62,30' fill='none' "
                "stroke='%s' stroke-width='3'/>" % "#669933")
        fruit = ((40, 154), (80, 134), (40, 112), (80, 92), (40, 70), (80, 50), (40, 38))
        stems = "".join(line(60 + (x - 60) * 0.3, y - 6, x, y, "#669933", 1.2) for x, y in fruit)
        leaves = "".join("<ellipse cx='%s' cy='%s' rx='5' ry='2.4' fill='%s' transform='rotate(%s %s %s)'/>" % (
            n(x), n(y), LEAF, a, n(x), n(y)) for x, y, a in
            ((68, 152, 30), (52, 130, -30), (68, 110, 30), (52, 88, -30), (68, 66, 30), (52, 46, -30)))
        return vine + stems + leaves + "".join(place(coin(), x, y, 1.1) for x, y in fruit)
    if rank == 8:
        # Each coin sits on its own step, one step higher than the last.
        steps = "M11,172V158" + "".join("H%sV%s" % (n(15 + 11 * k), n(158 - 16 * k)) for k in range(1, 8)) \
            + "H109V172Z"
        return ("<path d='%s' fill='%s' stroke='%s' stroke-width='.8'/>" % (steps, DEEP, OLIVE)
                + "".join(place(coin(), 21 + 11 * k, 150 - 16 * k, 0.8) for k in range(8)))
    if rank == 9:
        return "".join(place(coin(), x, y, 1.15) for y in (58, 99, 140) for x in (34, 60, 86))
    # Ten: a branching tree of coins, from the crown to the root.
    nodes = [(60, 38), (86, 56), (34, 56), (86, 88), (34, 88), (60, 104), (86, 120), (34, 120),
             (60, 136), (60, 162)]
    edges = [(0, 1), (0, 2), (1, 2), (1, 3), (2, 4), (3, 4), (3, 5), (4, 5), (1, 5), (2, 5),
             (3, 6), (4, 7), (5, 6), (5, 7), (6, 7), (6, 8), (7, 8), (5, 8), (8, 9), (0, 5)]
    lines_ = "".join(line(nodes[a][0], nodes[a][1], nodes[b][0], nodes[b][1], "#aaaa88", 1.2) for a, b in edges)
    return lines_ + "".join(place(coin(), x, y, 0.95) for x, y in nodes)


PIP_ART = {"W": pips_wands, "C": pips_cups, "S": pips_swords, "P": pips_pentacles}


def pips(suit, rank):
    if rank == 1:
        return (circle(CX, CY, 40, "none", OLIVE, 0.8)
                + rays(CX, CY, 30, 38, 24, OLIVE, 1.2, 7.5)
                + place(SYMBOLS[suit], CX, CY, 2.4))
    return PIP_ART[suit](rank)


# ---------------------------------------------------------------------------
# Court cards: each suit's court shares a colour, an emblem and a ground, so
# that two courts of one rank differ at a glance: Wands red with a flame over
# dry hills, Cups blue with a fish over the sea, Swords pale steel with a
# butterfly under wind and cloud, Pentacles brown with grapes over a field.

def crown(cx, top, width, height, points, fill=GOLD):
    """A crown whose band sits at top + height, with the given number of points."""
    half = width / 2
    path = ["M%s,%s" % (n(cx - half), n(top + height))]
    for k in range(points * 2 + 1):
        x = cx - half + width * k / (points * 2)
        y = top if k % 2 == 0 else top + height * 0.55
        path.append("L%s,%s" % (n(x), n(y)))
    path.append("L%s,%sZ" % (n(cx + half), n(top + height)))
    body = "<path d='%s' fill='%s' stroke='%s' stroke-width='.6'/>" % ("".join(path), fill, DARK)
    gems = "".join(circle(cx - half + width * k / (points * 2), top, 1.3, PALE)
                   for k in range(0, points * 2 + 1, 2))
    return body + gems



def flame():
    return ("<path d='M0,-9C4,-4 7,0 6,4C5,8 2,9 0,9C-3,9 -6,7 -6,3C-6,-1 -3,-2 -2,-6"
            "C-1,-3 0,-2 1,-3C2,-5 1,-7 0,-9Z' fill='#ff8833' stroke='%s' stroke-width='.5'/>"
            "<path d='M0,0C2,2 3,4 2,6C1,8 -1,8 -2,6C-3,4 -1,3 0,0Z' fill='%s'/>" % (DARK, PALE))


def fish():
    return ("<path d='M-8,0Q-1,-7 5,0Q-1,7 -8,0ZM4,0L9,-5V5Z' fill='%s' stroke='%s' stroke-width='.5'/>"
            % (WATER, DARK) + circle(-4.5, -0.8, 0.9, DARK)
            + "<path d='M-1,-3Q1,0 -1,3' fill='none' stroke='%s' stroke-width='.5'/>" % DARK)


def butterfly():
    wings = ("<ellipse cx='-4.5' cy='-3' rx='4.5' ry='4' fill='%s' stroke='%s' stroke-width='.5'/>"
             "<ellipse cx='4.5' cy='-3' rx='4.5' ry='4' fill='%s' stroke='%s' stroke-width='.5'/>"
             "<ellipse cx='-3.5' cy='3.5' rx='3.2' ry='3' fill='%s' stroke='%s' stroke-width='.5'/>"
             "<ellipse cx='3.5' cy='3.5' rx='3.2' ry='3' fill='%s' stroke='%s' stroke-width='.5'/>"
             % ((WHITE, DARK) * 2 + (WATER, DARK) * 2))
    return (wings + line(0, -5, 0, 6, DARK, 1.2)
            + "<path d='M0,-5L-2,-9M0,-5L2,-9' stroke='%s' stroke-width='.5'/>" % DARK)


def grapes():
    berries = "".join(circle(x, y, 2.3, "#7744aa", DARK, 0.4) for x, y in
                      ((-4, -2), (0, -2), (4, -2), (-2, 2), (2, 2), (0, 6)))
    return ("<path d='M0,-4L1,-8' stroke='%s' stroke-width='1'/>" % WOOD
            + "<path d='M1,-7Q7,-11 9,-6Q5,-5 1,-7Z' fill='%s'/>" % "#669933" + berries)


THEMES = {
    # robe, its darker shade, the knight's horse, emblem, ground
    "W": ("#c4502a", "#7a2c14", "#b0652e", flame),
    "C": ("#3f74bb", "#1f3f70", "#eeeeee", fish),
    "S": ("#d4d9e4", "#5d6a88", "#8f8f99", butterfly),
    "P": ("#8e5e2c", "#4e3317", "#6e4826", grapes),
}


def ground(suit):
    if suit == "W":
        return ("<path d='M11,172V150Q30,136 50,148Q74,132 109,146V172Z' fill='%s'/>" % "#7a4a22"
                + "<path d='M11,160Q40,150 70,160T109,156' fill='none' stroke='%s' stroke-width='1'/>" % "#a0662e")
    if suit == "C":
        return (rect(11, 132, 98, 22, "#2a5580") + waves(137, WATER, 3, 5.5)
                + "<path d='M11,172V152Q60,146 109,152V172Z' fill='%s'/>" % "#b8a070")
    if suit == "S":
        wind = "".join("<path d='M%s,%sq8,-4 16,0t16,0' fill='none' stroke='%s' stroke-width='.8'/>"
                       % (n(x), n(y), "#aabbcc") for x, y in ((14, 62), (78, 70), (16, 134), (80, 128)))
        return cloud(26, 38, 1.1) + cloud(94, 46, 0.9) + wind + rect(11, 158, 98, 14, "#4a5a4a")
    furrows = "".join(line(11, y, 109, y, "#6b4421", 1) for y in (158, 164, 170))
    sprouts = "".join("<path d='M%s,152l-2,-4M%s,152l2,-4' stroke='%s' stroke-width='1'/>" % (x, x, LEAF)
                      for x in (18, 34, 88, 102))
    return rect(11, 152, 98, 20, "#8a6236") + furrows + sprouts


def person_head(cx, cy, beard=False, long_hair=False, hair="#6b4421"):
    parts = []
    if long_hair:
        parts.append("<path d='M%s,%sQ%s,%s %s,%sL%s,%sQ%s,%s %s,%sZ' fill='%s'/>" % (
            n(cx - 9), n(cy - 3), n(cx - 11), n(cy + 14), n(cx - 12), n(cy + 20), n(cx + 12), n(cy + 20),
            n(cx + 11), n(cy + 14), n(cx + 9), n(cy - 3), hair))
    parts.append(rect(cx - 3, cy + 5, 6, 9, SKIN))
    parts.append(circle(cx, cy, 8.5, SKIN, DARK, 0.6))
    parts.append("<path d='M%s,%sQ%s,%s %s,%sQ%s,%s %s,%sZ' fill='%s'/>" % (
        n(cx - 8.5), n(cy - 1), n(cx), n(cy - 14), n(cx + 8.5), n(cy - 1), n(cx), n(cy - 6), n(cx - 8.5),
        n(cy - 1), hair))
    if beard:
        parts.append("<path d='M%s,%sQ%s,%s %s,%sQ%s,%s %s,%sQ%s,%s %s,%sZ' fill='%s' stroke='%s' "
                     "stroke-width='.4'/>" % (n(cx - 8), n(cy + 1), n(cx - 6), n(cy + 14), n(cx), n(cy + 17),
                                              n(cx + 6), n(cy + 14), n(cx + 8), n(cy + 1), n(cx), n(cy + 6),
                                              n(cx - 8), n(cy + 1), "#dddddd", DARK))
    parts.append(circle(cx - 3, cy, 0.9, DARK) + circle(cx + 3, cy, 0.9, DARK))
    return "".join(parts)


def throne(suit, dark):
    emblem = THEMES[suit][3]
    return (rect(29, 32, 62, 120, dark, GOLD, 1, 8)
            + circle(60, 43, 9.5, PANEL, GOLD, 1) + place(emblem(), 60, 43, 0.95)
            + rect(20, 114, 18, 7, dark, GOLD, 0.8, 2) + rect(82, 114, 18, 7, dark, GOLD, 0.8, 2)
            + rect(22, 121, 6, 34, dark, GOLD, 0.6) + rect(92, 121, 6, 34, dark, GOLD, 0.6)
            + rect(36, 158, 48, 7, dark, GOLD, 0.6, 1))


def held(suit, x, y):
    """The suit's symbol held up in a hand at (x, y), drawn larger than a pip
    so that it reads at card size."""
    if suit == "W":
        return place(wand(56, 4.2), x + 1, y - 22)
    if suit == "S":
        return place(sword(42), x, y - 19)
    if suit == "C":
        return place(CUP, x + 1, y - 15, 1.25)
    return place(PENTACLE, x + 1, y - 12, 1.15)


def seated(suit, rank):
    robe, dark = THEMES[suit][0], THEMES[suit][1]
    king = rank == "K"
    parts = [throne(suit, dark)]
    # Gown from the shoulders to the footstool, a mantle over the shoulders.
    parts.append("<path d='M47,88H73L76,112L86,158H34L44,112Z' fill='%s' stroke='%s' stroke-width='.8'/>"
                 % (robe, DARK))
    parts.append("<path d='M44,112Q60,120 76,112' fill='none' stroke='%s' stroke-width='2'/>" % GOLD)
    parts.append("<path d='M47,88Q44,100 42,114L47,112L50,92ZM73,88Q76,100 78,114L73,112L70,92Z' "
                 "fill='%s'/>" % dark)
    parts.append("<path d='M52,88Q60,96 68,88' fill='none' stroke='%s' stroke-width='1.6'/>" % GOLD)
    parts.append(rect(42, 156, 10, 4, DARK, rx=2) + rect(68, 156, 10, 4, DARK, rx=2))
    # One hand rests on the lap, the other holds the suit's symbol up.
    parts.append(circle(52, 118, 2.8, SKIN, DARK, 0.4))
    parts.append(line(72, 92, 80, 110, robe, 5) + line(72, 92, 80, 110, DARK, 0.5))
    parts.append(held(suit, 82, 110))
    parts.append(circle(81, 110, 2.8, SKIN, DARK, 0.4))
    parts.append(person_head(60, 74, beard=king, long_hair=not king,
                             hair="#aaaaaa" if king else "#d8a040"))
    if king:
        parts.append(crown(60, 53, 22, 12, 5))
    else:
        parts.append(crown(60, 56, 18, 9, 3))
    return "".join(parts)


def page_figure(suit):
    robe, dark = THEMES[suit][0], THEMES[suit][1]
    emblem = THEMES[suit][3]
    return (ground(suit)
            + "<path d='M53,132L52,158M67,132L68,158' stroke='%s' stroke-width='5' stroke-linecap='round'/>" % dark
            + rect(46, 156, 10, 4, DARK, rx=2) + rect(64, 156, 10, 4, DARK, rx=2)
            + "<path d='M48,84H72L76,134H44Z' fill='%s' stroke='%s' stroke-width='.8'/>" % (robe, DARK)
            + rect(45, 108, 30, 3, GOLD)
            + place(emblem(), 60, 98, 0.7)
            + line(49, 88, 40, 112, robe, 5) + circle(40, 114, 2.8, SKIN, DARK, 0.4)
            + line(71, 88, 82, 80, robe, 5)
            + held(suit, 84, 82)
            + circle(83, 80, 2.8, SKIN, DARK, 0.4)
            + person_head(60, 72)
            + "<path d='M50,68Q52,56 62,56Q72,58 71,68Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (dark, DARK)
            + "<path d='M66,58Q76,48 82,52Q74,54 68,61Z' fill='%s'/>" % robe)


def horse(colour, mane, galloping):
    """A horse in profile facing right, about 94 wide, its hooves on y=80."""
    if galloping:
        legs = [((71, 44), (84, 56), (96, 56)), ((65, 46), (74, 60), (67, 70)),
                ((33, 44), (20, 58), (8, 62)), ((27, 44), (31, 62), (22, 76))]
    else:
        legs = [((71, 44), (72, 62), (73, 80)), ((64, 46), (63, 63), (61, 80)),
                ((34, 44), (37, 62), (35, 80)), ((27, 42), (23, 62), (25, 80))]

    def leg_paths(colour_, width):
        return "".join("<path d='M%s,%sL%s,%sL%s,%s' fill='none' stroke='%s' stroke-width='%s' "
                       "stroke-linecap='round' stroke-linejoin='round'/>" % (
                           n(a[0]), n(a[1]), n(b[0]), n(b[1]), n(c[0]), n(c[1]), colour_, n(width))
                       for a, b, c in legs)
    hooves = "".join(circle(c[0], c[1], 2.4, DARK) for _, _, c in legs)
    body = ("<path d='M26,24Q46,30 62,22C68,18 74,8 84,2L85,-4L88,1L99,13Q102,19 96,20L89,18"
            "Q84,17 82,21C79,27 79,33 78,38Q77,48 68,50L36,50Q22,50 20,38Q20,28 26,24Z' "
            "fill='%s' stroke='%s' stroke-width='.9' stroke-linejoin='round'/>" % (colour, DARK))
    tail = ("<path d='M23,28C12,30 8,44 %s' fill='none' stroke='%s' stroke-width='4.4' "
            "stroke-linecap='round'/>" % ("4,52" if galloping else "12,62", mane))
    crest = ("<path d='M60,22C67,17 74,8 83,2' fill='none' stroke='%s' stroke-width='3.4' "
             "stroke-linecap='round'/>" % mane)
    face = (circle(89, 8, 1.1, DARK) + circle(98, 16, 0.7, DARK)
            + "<path d='M86,4L96,16M88,18L94,12' stroke='%s' stroke-width='.7'/>" % DARK)
    return leg_paths(DARK, 6.4) + leg_paths(colour, 4.8) + hooves + tail + body + crest + face


def knight_figure(suit):
    robe, dark, coat, emblem = THEMES[suit]
    galloping = suit in ("W", "S")
    mane = {"#eeeeee": "#bbbbbb", "#8f8f99": "#eeeeee"}.get(coat, "#3a2412")
    armour = "#b8b8b8"
    rider = []
    # Saddle cloth with the suit's emblem, then the rider sitting on it.
    rider.append("<path d='M40,20H64L62,42Q52,46 42,42Z' fill='%s' stroke='%s' stroke-width='.7'/>" % (robe, DARK))
    rider.append(place(emblem(), 50, 33, 0.7))
    rider.append("<path d='M50,18L59,28L55,40' fill='none' stroke='%s' stroke-width='4.4' "
                 "stroke-linecap='round' stroke-linejoin='round'/>" % armour)
    rider.append(rect(52, 39, 8, 3, DARK, rx=1))
    rider.append("<path d='M45,-6H59L61,20H43Z' fill='%s' stroke='%s' stroke-width='.7'/>" % (armour, DARK))
    rider.append("<path d='M44,4H60L61,20H43Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (robe, DARK))
    # Reins from the hand to the horse's mouth.
    rider.append(line(60, 10, 94, 16, DARK, 0.7))
    # The other arm reaches forward and up with the symbol.
    rider.append(line(57, -2, 68, 4, armour, 4.4))
    if suit == "S":
        rider.append(place(sword(38), 78, -14, rotate=38))
    elif suit == "W":
        rider.append(place(wand(52, 3.4), 72, -10, rotate=14))
    elif suit == "C":
        rider.append(place(CUP, 73, -4, 0.95))
    else:
        rider.append(place(PENTACLE, 73, -4, 0.9))
    rider.append(circle(69, 5, 2.5, armour, DARK, 0.4))
    # Helmet with its plume in the suit's colour.
    rider.append(circle(52, -14, 8, "#d0d0d0", DARK, 0.6))
    rider.append(rect(52, -16, 8.5, 2.2, DARK))
    rider.append("<path d='M48,-20Q38,-34 29,-24Q38,-28 46,-16Z' fill='%s' stroke='%s' stroke-width='.4'/>"
                 % (robe, DARK))
    return ground(suit) + place(horse(coat, mane, galloping) + "".join(rider), 13, 84, 0.92)


def court(suit, rank):
    if rank == "P":
        return page_figure(suit)
    if rank == "N":
        return knight_figure(suit)
    return ground(suit) + seated(suit, rank)


# ---------------------------------------------------------------------------
# The major arcana: one small emblem each

def heart(cx, cy, size, fill):
    return place("<path d='M0,7C-15,-3 -8,-14 0,-6C8,-14 15,-3 0,7Z' fill='%s' stroke='%s' "
                 "stroke-width='.6'/>" % (fill, DARK), cx, cy, size)


def sun(cx, cy, r, count=16):
    return (star(cx, cy, r * 1.6, r * 1.1, count, PALE)
            + circle(cx, cy, r, GOLD, DARK, 0.6))


def figure(cx, cy, arms_up=False):
    """A small standing person, feet at cy."""
    arms = "M%s,%sL%s,%sL%s,%s" % (n(cx - 5), n(cy - 19), n(cx), n(cy - 13), n(cx + 5), n(cy - 19)) \
        if arms_up else "M%s,%sL%s,%sL%s,%s" % (n(cx - 5), n(cy - 8), n(cx), n(cy - 13),
                                                n(cx + 5), n(cy - 8))
    legs = "M%s,%sL%s,%sL%s,%s" % (n(cx - 3), n(cy), n(cx), n(cy - 7), n(cx + 3), n(cy))
    return ("<path d='M%s,%sV%s%s%s' stroke='%s' stroke-width='1.6' fill='none' "
            "stroke-linecap='round'/>" % (n(cx), n(cy - 7), n(cy - 16), arms, legs, PALE)
            + circle(cx, cy - 19, 3, PALE))


def major_fool():
    rose = "".join(circle(40 + 2.6 * math.cos(math.radians(a)), 118 + 2.6 * math.sin(math.radians(a)),
                          2.2, WHITE, DARK, 0.3) for a in range(-90, 270, 72))
    return (sun(32, 48, 8)
            + "<path d='M11,142L74,134L88,172H11Z' fill='%s' stroke='%s'/>" % (DEEP, OLIVE)
            + place(figure(0, 0), 52, 137, 1.9)
            + line(60, 122, 84, 74, WOOD, 2.2)
            + "<path d='M84,74Q92,80 90,90Q82,94 78,86Q78,78 84,74Z' fill='%s' stroke='%s' "
              "stroke-width='.6'/>" % (RED, DARK)
            + rose + circle(40, 118, 1.4, GOLD))


def major_magician():
    return ("<path d='M60,46C52,34 38,34 38,46C38,58 52,58 60,46C68,34 82,34 82,46"
            "C82,58 68,58 60,46Z' fill='none' stroke='%s' stroke-width='2.6'/>" % GOLD
            + rect(58, 62, 4, 44, WOOD, DARK, 0.6, 2)
            + circle(60, 62, 3, WHITE) + circle(60, 106, 3, WHITE)
            + rect(20, 130, 80, 7, OLIVE, DARK, 0.6, 1)
            + line(26, 137, 26, 164, OLIVE, 3) + line(94, 137, 94, 164, OLIVE, 3)
            + place(CUP, 32, 122, 0.6) + place(PENTACLE, 88, 123, 0.65)
            + place(SWORD, 48, 127, 0.55, 90) + place(WAND, 72, 127, 0.5, 90))


def major_priestess():
    return (rect(20, 44, 14, 116, "#111111", OLIVE, 1) + rect(86, 44, 14, 116, "#eeeeee", OLIVE, 1)
            + rect(17, 40, 20, 6, OLIVE) + rect(83, 40, 20, 6, OLIVE)
            + text(27, 106, "B", 10, WHITE) + text(93, 106, "J", 10, DARK)
            + circle(60, 66, 14, GOLD) + circle(66, 62, 12, PANEL)
            + rect(47, 100, 26, 36, PALE, DARK, 0.6)
            + "<ellipse cx='60' cy='100' rx='15' ry='3' fill='%s' stroke='%s' stroke-width='.6'/>"
            % (GOLD, DARK)
            + "<ellipse cx='60' cy='136' rx='15' ry='3' fill='%s' stroke='%s' stroke-width='.6'/>"
            % (GOLD, DARK)
            + "<path d='M51,110H69M51,117H69M51,124H65' stroke='%s' stroke-width='.8'/>" % OLIVE)


def major_empress():
    stars = "".join(star(60 + 30 * math.cos(math.radians(a)), 86 + 30 * math.sin(math.radians(a)),
                         3.2, 1.3, 5, PALE) for a in range(-160, -10, 25))
    wheat = ""
    for x in (24, 96):
        wheat += line(x, 170, x, 132, OLIVE, 1)
        for k in range(4):
            y = 136 + k * 8
            wheat += ("<ellipse cx='%s' cy='%s' rx='1.8' ry='3.6' fill='%s'/>" % (n(x - 2.5), n(y), GOLD)
                      + "<ellipse cx='%s' cy='%s' rx='1.8' ry='3.6' fill='%s'/>" % (n(x + 2.5), n(y), GOLD))
    return (stars + circle(60, 82, 17, "none", GOLD, 4.5)
            + line(60, 100, 60, 140, GOLD, 4.5) + line(46, 122, 74, 122, GOLD, 4.5) + wheat)


def major_emperor():
    return (crown(60, 42, 40, 22, 5)
            + rect(40, 64, 40, 5, GOLD, DARK, 0.6)
            + "<path d='M32,100L60,88L88,100L60,112Z' fill='%s' stroke='%s' stroke-width='.8'/>"
            % (PALE, DARK)
            + "<path d='M32,100V142L60,156V112Z' fill='%s' stroke='%s' stroke-width='.8'/>"
            % (GOLD, DARK)
            + "<path d='M88,100V142L60,156V112Z' fill='%s' stroke='%s' stroke-width='.8'/>"
            % (OLIVE, DARK)
            + "<path d='M40,120q-6,-8 2,-10q6,2 0,8' fill='none' stroke='%s' stroke-width='1.4'/>"
            % DARK
            + "<path d='M80,120q6,-8 -2,-10q-6,2 0,8' fill='none' stroke='%s' stroke-width='1.4'/>"
            % DARK)


def major_hierophant():
    def key(flip):
        body = ("<path d='M0,-28V18' stroke='%s' stroke-width='2.4'/>" % GOLD
                + circle(0, 22, 5, "none", GOLD, 2.2)
                + "<path d='M0,-28h6M0,-22h5' stroke='%s' stroke-width='2.2'/>" % GOLD)
        return place(body, 60, 128, 1.0, 40 if flip else -40)
    return (key(False) + key(True)
            + rect(57.5, 40, 5, 118, GOLD, DARK, 0.6)
            + rect(52, 52, 16, 4, GOLD, DARK, 0.6)
            + rect(47, 63, 26, 4, GOLD, DARK, 0.6)
            + rect(42, 74, 36, 4, GOLD, DARK, 0.6)
            + circle(60, 40, 3.5, PALE, DARK, 0.6))


def major_lovers():
    return (sun(60, 52, 10) + heart(48, 116, 1.5, RED) + heart(72, 116, 1.5, PALE)
            + line(20, 160, 100, 160, OLIVE, 1.5))


def major_chariot():
    wheel = lambda x: (circle(x, 134, 11, DEEP, GOLD, 2)
                       + rays(x, 134, 0, 11, 6, GOLD, 1))
    return (rect(30, 52, 60, 8, "#336699", GOLD, 0.8, 2)
            + star(44, 56, 3, 1.2, 5, PALE) + star(60, 56, 3, 1.2, 5, PALE) + star(76, 56, 3, 1.2, 5, PALE)
            + line(34, 60, 34, 98, GOLD, 2) + line(86, 60, 86, 98, GOLD, 2)
            + rect(28, 96, 64, 32, GOLD, DARK, 0.8, 2)
            + "<path d='M50,110q-8,-7 -14,-2q6,4 14,4M70,110q8,-7 14,-2q-6,4 -14,4' fill='%s'/>"
            % DARK
            + circle(60, 111, 5, RED, DARK, 0.6)
            + wheel(36) + wheel(84)
            + "<path d='M30,166q0,-14 12,-14q12,0 12,14Z' fill='#111111' stroke='%s' "
              "stroke-width='.6'/>" % OLIVE
            + "<path d='M66,166q0,-14 12,-14q12,0 12,14Z' fill='#eeeeee' stroke='%s' "
              "stroke-width='.6'/>" % OLIVE)


def major_strength():
    # A lion's head: a shaggy mane of tufts rather than rays, so that it is
    # not taken for the Sun, with ears, a muzzle and a calm closed mouth.
    tufts = "".join(circle(60 + 31 * math.cos(math.radians(a)), 108 + 31 * math.sin(math.radians(a)),
                           10, "#b8702a", DARK, 0.6) for a in range(0, 360, 30))
    ears = circle(45, 88, 6, "#e6c36a", DARK, 0.8) + circle(75, 88, 6, "#e6c36a", DARK, 0.8) \
        + circle(45, 88, 3, "#c89a50") + circle(75, 88, 3, "#c89a50")
    return ("<path d='M60,42C54,34 44,34 44,42C44,50 54,50 60,42C66,34 76,34 76,42"
            "C76,50 66,50 60,42Z' fill='none' stroke='%s' stroke-width='2'/>" % GOLD
            + tufts + circle(60, 108, 30, "#b8702a")
            + ears
            + "<ellipse cx='60' cy='110' rx='21' ry='23' fill='%s' stroke='%s' stroke-width='.8'/>" % ("#e6c36a", DARK)
            + "<path d='M51,102Q53,99 56,102M64,102Q67,99 69,102' fill='none' stroke='%s' stroke-width='1.6' "
              "stroke-linecap='round'/>" % DARK
            + "<ellipse cx='60' cy='120' rx='11' ry='8' fill='%s'/>" % PALE
            + "<path d='M55,112H65L60,118Z' fill='%s'/>" % "#663322"
            + "<path d='M60,118V121M54,123Q60,127 66,123' fill='none' stroke='%s' stroke-width='1.1'/>" % DARK
            + "".join(circle(x, y, 0.7, DARK) for x, y in ((52, 119), (54, 122), (68, 119), (66, 122))))


def major_hermit():
    return ("<path d='M11,172L44,128L62,150L80,122L109,172Z' fill='%s' stroke='%s'/>" % (DEEP, OLIVE)
            + line(86, 44, 86, 164, WOOD, 3)
            + line(50, 58, 50, 70, GOLD, 1.2)
            + "<circle cx='50' cy='88' r='22' fill='%s' opacity='.18'/>" % PALE
            + "<path d='M40,76H60L56,70H44Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (GOLD, DARK)
            + rect(41, 76, 18, 26, DEEP, GOLD, 1.6, 1)
            + star(50, 89, 8, 4, 6, PALE)
            + rect(42, 102, 16, 4, GOLD, DARK, 0.6))


def major_wheel():
    letters = "".join(text(60 + 32 * math.cos(math.radians(a)), 102.5 + 32 * math.sin(math.radians(a)),
                           ch, 7, DARK) for ch, a in zip("TARO", (-90, 0, 90, 180)))
    return (circle(60, 99, 38, GOLD, DARK, 0.8) + circle(60, 99, 27, PANEL, DARK, 0.8)
            + rays(60, 99, 8, 27, 8, GOLD, 2, 22.5) + circle(60, 99, 8, PALE, DARK, 0.8)
            + circle(60, 99, 3, RED) + letters)


def major_justice():
    pan = "<path d='M-13,0H13Q13,9 0,9Q-13,9 -13,0Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (GOLD, DARK)
    return ("<path d='M60,36L64,44V140H56V44Z' fill='#eeeeee' stroke='%s' stroke-width='.6'/>" % DARK
            + rect(44, 140, 32, 5, GOLD, DARK, 0.6, 2) + rect(57.5, 145, 5, 13, WOOD)
            + circle(60, 161, 4, GOLD)
            + rect(26, 66, 68, 3.5, GOLD, DARK, 0.6, 1.5) + circle(60, 67.7, 4, PALE, DARK, 0.6)
            + "<path d='M30,69L17,102M30,69L43,102M90,69L77,102M90,69L103,102' stroke='%s' "
              "stroke-width='.8'/>" % PALE
            + place(pan, 30, 102) + place(pan, 90, 102))


def major_hanged():
    return (rect(26, 38, 68, 7, WOOD, DARK, 0.6) + rect(26, 38, 7, 128, WOOD, DARK, 0.6)
            + rect(87, 38, 7, 128, WOOD, DARK, 0.6)
            + line(60, 45, 60, 56, PALE, 1)
            + "<path d='M60,56V92M60,62L74,74L60,86' fill='none' stroke='%s' stroke-width='4' "
              "stroke-linecap='round' stroke-linejoin='round'/>" % RED
            + "<path d='M52,92H68L66,128H54Z' fill='#336699' stroke='%s' stroke-width='.6'/>" % DARK
            + circle(60, 142, 14, "none", PALE, 1.6)
            + circle(60, 138, 8, SKIN, DARK, 0.6))


def major_death():
    return (line(26, 166, 88, 46, WOOD, 3)
            + "<path d='M88,46Q60,28 30,50Q60,40 86,54Z' fill='#dddddd' stroke='%s' stroke-width='.6'/>" % DARK
            + circle(60, 92, 20, "#eeeedd", DARK, 0.8)
            + rect(49, 104, 22, 14, "#eeeedd", DARK, 0.8, 3)
            + circle(52, 92, 5, DARK) + circle(68, 92, 5, DARK)
            + "<path d='M60,98L57,104H63Z' fill='%s'/>" % DARK
            + "<path d='M54,110V118M58,110V118M62,110V118M66,110V118' stroke='%s' stroke-width='.8'/>" % DARK
            + "".join(circle(40 + 4 * math.cos(math.radians(a)), 148 + 4 * math.sin(math.radians(a)),
                             3.2, WHITE, DARK, 0.4) for a in range(-90, 270, 72))
            + circle(40, 148, 2, GOLD))


def major_temperance():
    return (place(CUP, 40, 60, 1.3, 40) + place(CUP, 80, 134, 1.3)
            + "<path d='M50,62Q78,74 80,118' fill='none' stroke='%s' stroke-width='3' "
              "stroke-linecap='round'/>" % WATER
            + rect(22, 130, 26, 26, "none", PALE, 1.4)
            + "<path d='M35,134L45,152H25Z' fill='%s'/>" % GOLD
            + sun(84, 48, 6, 12))


def major_devil():
    points = []
    for k in range(5):
        angle = math.radians(90 + 144 * k)
        points.append((60 + 22 * math.cos(angle), 74 + 22 * math.sin(angle)))
    chain = ""
    for k in range(4):
        chain += "<ellipse cx='%s' cy='%s' rx='3.2' ry='2' fill='none' stroke='#aaaaaa' stroke-width='1.2'/>" % (
            n(44 - 5 * k), n(132 + 7 * k))
        chain += "<ellipse cx='%s' cy='%s' rx='3.2' ry='2' fill='none' stroke='#aaaaaa' stroke-width='1.2'/>" % (
            n(76 + 5 * k), n(132 + 7 * k))
    return ("<path d='M44,58Q30,40 36,28Q40,44 50,52ZM76,58Q90,40 84,28Q80,44 70,52Z' "
            "fill='%s' stroke='%s' stroke-width='.6'/>" % (RED, DARK)
            + "<polygon points='%s' fill='none' stroke='%s' stroke-width='2.4' "
              "stroke-linejoin='round'/>" % (pts(points), GOLD)
            + rect(40, 110, 40, 18, "#111111", OLIVE, 1, 1)
            + chain
            + circle(30, 158, 5, SKIN) + circle(90, 158, 5, SKIN))


def major_tower():
    return ("<path d='M11,172L30,154H90L109,172Z' fill='%s' stroke='%s'/>" % (DEEP, OLIVE)
            + rect(42, 66, 36, 90, "#aaaa88", DARK, 0.8)
            + rect(50, 84, 7, 10, "#ff9900") + rect(63, 84, 7, 10, "#ff9900")
            + rect(56, 112, 8, 12, "#ff9900")
            + "<path d='M42,66V60H48V66M54,66V60H60V66M66,66V60H72V66' fill='none' stroke='%s'/>" % DARK
            + place("<path d='M-10,8L-10,-2L-5,3L0,-6L5,3L10,-2L10,8Z' fill='%s' stroke='%s' "
                    "stroke-width='.6'/>" % (GOLD, DARK), 86, 50, 1.0, 35)
            + "<polygon points='18,30 38,30 30,46 44,46 24,74 30,52 16,52' fill='%s' "
              "stroke='%s' stroke-width='.6'/>" % (PALE, GOLD)
            + "".join(circle(x, y, 1.8, GOLD) for x, y in ((30, 92), (24, 112), (92, 100), (96, 124), (88, 80))))


def major_star():
    small = "".join(star(60 + 36 * math.cos(math.radians(a)), 78 + 34 * math.sin(math.radians(a)),
                         5.5, 2, 8, PALE) for a in (-180, -135, -90, -45, 0, 160, 20))
    return (star(60, 76, 24, 8, 8, GOLD, DARK) + small
            + "<ellipse cx='60' cy='150' rx='40' ry='10' fill='%s'/>" % WATER
            + "<path d='M40,150q10,-4 20,0q10,4 20,0' fill='none' stroke='%s' stroke-width='.8'/>" % WHITE)


def major_moon():
    drops = "".join("<path d='M%s,%sq-2,4 0,5q2,-1 0,-5Z' fill='%s'/>" % (n(x), n(y), GOLD)
                    for x, y in ((38, 84), (50, 92), (70, 92), (82, 84), (60, 96)))
    return (star(60, 58, 30, 23, 16, OLIVE)
            + circle(60, 58, 21, PALE, DARK, 0.6) + circle(66, 55, 18, GOLD)
            + drops
            + rect(18, 104, 14, 40, "#aaaa88", DARK, 0.6) + rect(88, 104, 14, 40, "#aaaa88", DARK, 0.6)
            + "<path d='M18,104V100H22V104M28,104V100H32V104M88,104V100H92V104M98,104V100H102V104' "
              "fill='none' stroke='%s'/>" % DARK
            + "<path d='M60,112Q50,126 60,138Q70,148 60,160' fill='none' stroke='%s' stroke-width='3'/>" % PALE
            + "<ellipse cx='60' cy='162' rx='44' ry='9' fill='%s'/>" % WATER)


def major_sun():
    flower = lambda x: (line(x, 170, x, 150, LEAF, 1.6) + star(x, 146, 8, 4, 10, GOLD, DARK)
                        + circle(x, 146, 3, "#885522"))
    return (rays(60, 80, 30, 40, 16, PALE, 2, 11.25)
            + star(60, 80, 34, 24, 16, GOLD)
            + circle(60, 80, 24, PALE, DARK, 0.8)
            + circle(60, 80, 18, GOLD)
            + rect(11, 140, 98, 8, "#aaaa88", DARK, 0.6)
            + flower(32) + flower(88) + flower(60))


def major_judgement():
    cloud = "".join("<ellipse cx='%s' cy='%s' rx='%s' ry='%s' fill='%s'/>" % (x, y, rx, ry, WHITE)
                    for x, y, rx, ry in ((30, 40, 16, 8), (50, 36, 14, 9), (72, 40, 16, 8), (90, 44, 12, 6)))
    coffins = "".join(rect(x - 9, 150, 18, 12, "#111111", OLIVE, 0.8, 1) for x in (32, 60, 88))
    rising = "".join(figure(x, 150, True) for x in (32, 60, 88))
    return (cloud
            + "<path d='M32,48L82,92L86,86Z' fill='%s' stroke='%s' stroke-width='.6'/>" % (GOLD, DARK)
            + "<ellipse cx='84' cy='89' rx='7' ry='3' transform='rotate(-48 84 89)' fill='%s' "
              "stroke='%s' stroke-width='.6'/>" % (PALE, DARK)
            + rect(48, 66, 16, 14, WHITE, DARK, 0.6)
            + "<path d='M56,67V79M49,73H63' stroke='%s' stroke-width='2'/>" % RED
            + rising + coffins)


def major_world():
    corners = "".join(circle(x, y, 6, PALE, OLIVE, 0.8) for x, y in ((21, 37), (99, 37), (21, 161), (99, 161)))
    return (corners
            + "<ellipse cx='60' cy='99' rx='30' ry='50' fill='none' stroke='#669933' stroke-width='6'/>"
            + "<ellipse cx='60' cy='99' rx='30' ry='50' fill='none' stroke='%s' stroke-width='3' "
              "stroke-dasharray='4 3'/>" % LEAF
            + "<path d='M54,46L66,52M54,52L66,46M54,146L66,152M54,152L66,146' stroke='%s' stroke-width='2'/>" % RED
            + circle(60, 99, 18, "#336699", PALE, 1)
            + "<ellipse cx='60' cy='99' rx='8' ry='18' fill='none' stroke='%s' stroke-width='.8'/>" % PALE
            + "<path d='M42,99H78M45,90H75M45,108H75' stroke='%s' stroke-width='.8'/>" % PALE)


MAJOR_ART = [
    major_fool, major_magician, major_priestess, major_empress, major_emperor,
    major_hierophant, major_lovers, major_chariot, major_strength, major_hermit,
    major_wheel, major_justice, major_hanged, major_death, major_temperance,
    major_devil, major_tower, major_star, major_moon, major_sun, major_judgement,
    major_world,
]


# ---------------------------------------------------------------------------
# Card frame and files

def roman(value):
    if value == 0:
        return "0"
    numerals = [(10, "X"), (9, "IX"), (5, "V"), (4, "IV"), (1, "I")]
    result = ""
    for amount, letters in numerals:
        while value >= amount:
            result += letters
            value -= amount
    return result


def corner_marks(mark):
    return place(mark, 20, 15) + place(mark, 100, 15)


def card_body(label, name, art, mark):
    size = 10 if len(name) <= 14 else 9
    return (rect(0.5, 0.5, 119, 199, DARK, rx=9)
            + rect(4, 4, 112, 192, GREEN, GOLD, 2, 7)
            + rect(11, 26, 98, 146, PANEL, OLIVE, 0.8, 4)
            + "<svg x='11' y='26' width='98' height='146' viewBox='11 26 98 146' "
              "overflow='hidden'>%s</svg>" % art
            + corner_marks(mark)
            + text(60, 19, label, 11)
            + text(60, 187, name, size))


def svg_document(title, body, reversed_):
    if reversed_:
        body = "<g transform='rotate(180 %d %d)'>%s</g>" % (WIDTH // 2, HEIGHT // 2, body)
    return ("<?xml version='1.0' encoding='UTF-8'?>\n"
            "<svg xmlns='http://www.w3.org/2000/svg' width='%d' height='%d' viewBox='0 0 %d %d'>"
            "<title>%s</title>%s</svg>\n") % (WIDTH, HEIGHT, WIDTH, HEIGHT,
                                              escape(title + (" (reversed)" if reversed_ else "")),
                                              body)


def all_cards():
    """(file stem, card name, top label, picture, corner mark) for the 78 cards."""
    major_mark = star(0, 0, 4, 1.6, 4, OLIVE)
    for number, name in enumerate(MAJORS):
        yield "%02d" % number, name, roman(number), MAJOR_ART[number](), major_mark
    for letter, suit_name in SUITS:
        mark = place(SYMBOLS[letter], 0, 0, 0.32)
        for rank_index, (rank_char, rank_name, label) in enumerate(RANKS, start=1):
            if rank_index <= 10:
                art = pips(letter, rank_index)
            else:
                art = court(letter, rank_char)
            yield letter + rank_char, "%s of %s" % (rank_name, suit_name), label, art, mark


def main():
    # An option such as --help would otherwise become a folder of 156 files.
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        print("Usage: make_cards.py [output-directory]", file=sys.stderr)
        sys.exit(0 if sys.argv[1] in ("-h", "--help") else 2)
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "sample", "decks", "Classic Tarot")
    os.makedirs(out, exist_ok=True)
    count = 0
    for stem, name, label, art, mark in all_cards():
        body = card_body(label, name, art, mark)
        for reversed_ in (False, True):
            path = os.path.join(out, stem + ("r" if reversed_ else "") + ".svg")
            with open(path, "w", encoding="ascii", newline="\n") as handle:
                handle.write(svg_document(name, body, reversed_))
            count += 1
    print("%d card pictures written to %s" % (count, os.path.normpath(out)))


if __name__ == "__main__":
    main()
