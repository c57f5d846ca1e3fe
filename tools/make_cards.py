#!/usr/bin/env python3
"""Draws the 78 card pictures of the "Classic Tarot" sample deck as SVG.

For every card two files are written: "<nn>.svg" upright and "<nn>r.svg",
the same picture turned over.  <nn> is the card's two-character number:
00..21 for the major arcana, and for the minors a suit letter (W, C, S, P)
followed by 1..9, T (ten), P (page), N (knight), Q (queen) or K (king).

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

# Pip positions for ranks 1 to 10, and the size the pips are drawn at.
LEFT, RIGHT = 38, 82
PIPS = {
    2: [(CX, 62), (CX, 136)],
    3: [(CX, 52), (CX, 99), (CX, 146)],
    4: [(LEFT, 64), (RIGHT, 64), (LEFT, 134), (RIGHT, 134)],
    5: [(LEFT, 60), (RIGHT, 60), (CX, 99), (LEFT, 138), (RIGHT, 138)],
    6: [(LEFT, 56), (RIGHT, 56), (LEFT, 99), (RIGHT, 99), (LEFT, 142), (RIGHT, 142)],
    7: [(LEFT, 56), (RIGHT, 56), (CX, 77), (LEFT, 99), (RIGHT, 99), (LEFT, 142),
        (RIGHT, 142)],
    8: [(LEFT, 56), (RIGHT, 56), (CX, 77), (LEFT, 99), (RIGHT, 99), (CX, 121),
        (LEFT, 142), (RIGHT, 142)],
    9: [(LEFT, 50), (RIGHT, 50), (LEFT, 83), (RIGHT, 83), (CX, 99), (LEFT, 115),
        (RIGHT, 115), (LEFT, 148), (RIGHT, 148)],
    10: [(LEFT, 50), (RIGHT, 50), (CX, 66), (LEFT, 83), (RIGHT, 83), (LEFT, 115),
         (RIGHT, 115), (CX, 132), (LEFT, 148), (RIGHT, 148)],
}
PIP_SCALE = {2: 1.35, 3: 1.2, 4: 1.2, 5: 1.05, 6: 1.0, 7: 0.95, 8: 0.95, 9: 0.85, 10: 0.85}


def pips(suit, rank):
    symbol = SYMBOLS[suit]
    if rank == 1:
        return (circle(CX, CY, 40, "none", OLIVE, 0.8)
                + rays(CX, CY, 30, 38, 24, OLIVE, 1.2, 7.5)
                + place(symbol, CX, CY, 2.4))
    return "".join(place(symbol, x, y, PIP_SCALE[rank]) for x, y in PIPS[rank])


# ---------------------------------------------------------------------------
# Court figures

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


def court(suit, rank):
    parts = []
    head_y = 70
    robes = {"P": OLIVE, "N": "#aaaaaa", "Q": "#88aa88", "K": GOLD}
    if rank in ("Q", "K"):
        # A throne behind the seated figure.
        parts.append(rect(30, 50, 60, 112, DEEP, OLIVE, 1, 4))
        parts.append(rect(26, 120, 68, 10, DEEP, OLIVE, 1, 2))
    gown = ("M50,84L70,84L%s,156L%s,156Z" % ("86", "34")) if rank == "Q" else \
        "M50,84L70,84L78,156L42,156Z"
    parts.append("<path d='%s' fill='%s' stroke='%s' stroke-width='.8'/>" % (gown, robes[rank], DARK))
    parts.append(line(60, 86, 60, 154, DARK, 0.6))
    if rank == "N":
        # Armour bands and a shield.
        parts.append(line(51, 100, 69, 100, DARK, 0.8) + line(50, 116, 70, 116, DARK, 0.8))
        parts.append("<path d='M30,96H46V112Q46,122 38,126Q30,122 30,112Z' fill='%s' "
                     "stroke='%s' stroke-width='.8'/>" % (GOLD, DARK))
        parts.append(place(SYMBOLS[suit], 38, 110, 0.42))
    if rank == "K":
        parts.append(circle(42, 112, 4, GOLD, DARK, 0.6) + line(42, 108, 42, 102, GOLD, 1.5))
    # The arm reaching to the suit symbol on the figure's left.
    parts.append(line(66, 90, 80, 104, robes[rank], 4))
    parts.append(circle(81, 105, 2.6, SKIN))
    parts.append(place(SYMBOLS[suit], 84, 98, 0.9))
    # Head and headgear.
    parts.append(circle(60, head_y, 9, SKIN, DARK, 0.6))
    if rank == "P":
        parts.append("<path d='M50,66Q60,54 70,66Z' fill='%s' stroke='%s' stroke-width='.6'/>"
                     % (RED, DARK))
        parts.append("<path d='M66,60Q76,50 80,56Q74,56 68,62Z' fill='%s'/>" % PALE)
    elif rank == "N":
        parts.append("<path d='M50.5,72V66Q51,58 60,58Q69,58 69.5,66V72Z' fill='#cccccc' "
                     "stroke='%s' stroke-width='.6'/>" % DARK)
        parts.append(rect(53, 68, 14, 2.2, DARK))
        parts.append("<path d='M60,58Q56,46 66,44Q62,50 64,58Z' fill='%s'/>" % RED)
    elif rank == "Q":
        parts.append("<path d='M51,66Q48,84 44,90L50,86Q52,76 53,68Z' fill='%s'/>" % PALE)
        parts.append("<path d='M69,66Q72,84 76,90L70,86Q68,76 67,68Z' fill='%s'/>" % PALE)
        parts.append(crown(60, 53, 18, 9, 3))
    else:
        parts.append("<path d='M53,74Q60,90 67,74Q60,78 53,74Z' fill='#dddddd' stroke='%s' "
                     "stroke-width='.4'/>" % DARK)
        parts.append(crown(60, 50, 20, 12, 5))
    parts.append(circle(57, head_y - 1, 0.9, DARK) + circle(63, head_y - 1, 0.9, DARK))
    return "".join(parts)


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
    return ("<path d='M60,42C54,34 44,34 44,42C44,50 54,50 60,42C66,34 76,34 76,42"
            "C76,50 66,50 60,42Z' fill='none' stroke='%s' stroke-width='2'/>" % GOLD
            + star(60, 108, 38, 27, 18, "#cc8833", DARK)
            + circle(60, 108, 22, "#e6c36a", DARK, 0.8)
            + circle(52, 102, 2.6, DARK) + circle(68, 102, 2.6, DARK)
            + "<path d='M56,110H64L60,116Z' fill='%s'/>" % DARK
            + "<path d='M52,120Q60,126 68,120' fill='none' stroke='%s' stroke-width='1.2'/>" % DARK)


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
