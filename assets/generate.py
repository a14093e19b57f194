#!/usr/bin/env python3
"""Writes the pictures of assets/ that are easier to compute than to draw by hand:
the gears, the disc and the background pictures. Run it from anywhere after changing it;
its output is committed, so the build never needs Python."""

import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
ACCENT = "#F5CD76"


def write(rel, text):
    with open(os.path.join(HERE, rel), "w", encoding="utf-8") as f:
        f.write(text)


def f(v):
    s = f"{v:.2f}".rstrip("0").rstrip(".")
    return "0" if s == "-0" else s


# --- gears -------------------------------------------------------------------------------


def gear(teeth, outer, root, tip_share, hole):
    """An outlined gear on the 24-unit grid, centred at 12, 12."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        tip = step * tip_share / 2          # half the tooth's angle at the tip
        base = tip + step * 0.11            # flanks lean outwards a little
        for ang, r in ((a - base, root), (a - tip, outer), (a + tip, outer), (a + base, root)):
            pts.append((12 + r * math.cos(ang), 12 + r * math.sin(ang)))
    d = "M" + " L".join(f"{f(x)} {f(y)}" for x, y in pts) + "Z"
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" width="24" height="24">\n'
        '<g fill="none" stroke="#FFFFFF" stroke-width="1.5" stroke-linecap="round" '
        'stroke-linejoin="round">\n'
        f'<path d="{d}"/>\n<circle cx="12" cy="12" r="{f(hole)}"/>\n</g>\n</svg>\n'
    )


# --- disc --------------------------------------------------------------------------------


def disc():
    c, R = 53, 52.5
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 106 106" width="106" height="106">',
        "<defs>",
        '<radialGradient id="vinyl" cx="53" cy="53" r="52.5" gradientUnits="userSpaceOnUse">',
        '<stop offset="0.3" stop-color="#1C1C1E"/><stop offset="0.92" stop-color="#121213"/>',
        '<stop offset="1" stop-color="#0B0B0C"/></radialGradient>',
        '<radialGradient id="label" cx="49" cy="47" r="22" gradientUnits="userSpaceOnUse">',
        f'<stop offset="0" stop-color="#FBE3A6"/><stop offset="0.65" stop-color="{ACCENT}"/>',
        '<stop offset="1" stop-color="#D9A94E"/></radialGradient>',
        '<linearGradient id="sheen" x1="0" y1="0" x2="1" y2="0">',
        '<stop offset="0" stop-color="#FFFFFF" stop-opacity="0"/>',
        '<stop offset="0.5" stop-color="#FFFFFF" stop-opacity="1"/>',
        '<stop offset="1" stop-color="#FFFFFF" stop-opacity="0"/></linearGradient>',
        "</defs>",
        f'<circle cx="{c}" cy="{c}" r="{R}" fill="url(#vinyl)"/>',
    ]
    # Fine grooves: thin rings of slightly varying brightness, with three wider gaps between
    # "tracks" so that the record reads as one at a glance.
    r = 49.6
    i = 0
    gaps = (41.0, 33.5, 27.0)
    while r > 23.6:
        shade = "#FFFFFF" if i % 2 else "#000000"
        op = 0.055 if i % 2 else 0.28
        out.append(
            f'<circle cx="{c}" cy="{c}" r="{f(r)}" fill="none" stroke="{shade}" '
            f'stroke-opacity="{op}" stroke-width="0.42"/>'
        )
        r -= 0.62
        i += 1
        for g in gaps:
            if abs(r - g) < 0.31:
                out.append(
                    f'<circle cx="{c}" cy="{c}" r="{f(g - 0.3)}" fill="none" stroke="#000000" '
                    'stroke-opacity="0.55" stroke-width="1.1"/>'
                )
                r -= 1.2
    # Soft highlight: two opposite fans of thin wedges whose opacity follows a bell curve.
    for centre in (-58, 122):
        for k in range(-14, 15):
            a0 = math.radians(centre + k * 1.6 - 0.8)
            a1 = math.radians(centre + k * 1.6 + 0.8)
            op = 0.17 * math.exp(-(k / 8.0) ** 2)
            rin, rout = 24.5, 51.5
            p = [
                (c + rin * math.cos(a0), c + rin * math.sin(a0)),
                (c + rout * math.cos(a0), c + rout * math.sin(a0)),
                (c + rout * math.cos(a1), c + rout * math.sin(a1)),
                (c + rin * math.cos(a1), c + rin * math.sin(a1)),
            ]
            d = "M" + " L".join(f"{f(x)} {f(y)}" for x, y in p) + "Z"
            out.append(f'<path d="{d}" fill="#FFFFFF" fill-opacity="{op:.4f}"/>')
    out += [
        # rim and the smooth band around the label
        f'<circle cx="{c}" cy="{c}" r="52" fill="none" stroke="#FFFFFF" stroke-opacity="0.10" '
        'stroke-width="0.8"/>',
        f'<circle cx="{c}" cy="{c}" r="23.2" fill="#161617"/>',
        f'<circle cx="{c}" cy="{c}" r="23.2" fill="none" stroke="#FFFFFF" stroke-opacity="0.08" '
        'stroke-width="0.6"/>',
        # the label in the accent, with a darker arc and a printed line so the turning shows
        f'<circle cx="{c}" cy="{c}" r="19" fill="url(#label)"/>',
        f'<path d="M{c} 34 A19 19 0 0 1 71.06 46.9 L{c} {c} Z" fill="#C98F33" fill-opacity="0.55"/>',
        f'<circle cx="{c}" cy="{c}" r="15.6" fill="none" stroke="#8A5A14" stroke-opacity="0.35" '
        'stroke-width="0.5"/>',
        # two printed lines of the label
        '<path d="M45 43.5 H61 M48 46.8 H58" fill="none" stroke="#6B4510" stroke-opacity="0.55" '
        'stroke-width="1.1" stroke-linecap="round"/>',
        f'<circle cx="{c}" cy="{c}" r="4.2" fill="#2A2117"/>',
        f'<circle cx="{c}" cy="{c}" r="2.3" fill="#0E0E0E"/>',
        f'<circle cx="{c}" cy="{c}" r="4.2" fill="none" stroke="#FFFFFF" stroke-opacity="0.25" '
        'stroke-width="0.4"/>',
        "</svg>",
    ]
    return "\n".join(out) + "\n"


# --- backgrounds -------------------------------------------------------------------------

# Each picture: a base gradient (top-left to bottom-right), large glows of two or three related
# hues (cx, cy, r, colour, opacity), flowing ribbons (y, amplitude, colour, opacity) and a few
# out-of-focus lights. The veils at the end keep white text readable everywhere.
BACKGROUNDS = {
    # the default: graphite warmed by the accent
    0: dict(base=("#33302D", "#232120", "#151515"),
            glows=[(440, 20, 300, "#F0A04A", 0.40), (30, 330, 260, "#C25E3A", 0.26),
                   (350, 70, 140, "#F5CD76", 0.20)],
            ribbons=[(200, 34, "#F5CD76", 0.24), (226, 26, "#FFFFFF", 0.09)],
            lights="#FFE3A0"),
    # 1 night blue
    1: dict(base=("#24406B", "#182B4B", "#0E182C"),
            glows=[(420, 50, 290, "#4C9BFF", 0.50), (60, 300, 260, "#3A4FC0", 0.45),
                   (250, 130, 170, "#A8D4FF", 0.12)],
            ribbons=[(190, 40, "#A8D4FF", 0.22), (220, 30, "#FFFFFF", 0.09)],
            lights="#CDE6FF"),
    # 2 amber dusk
    2: dict(base=("#6A3B20", "#43261A", "#24150F"),
            glows=[(110, 30, 290, "#FFA24E", 0.48), (450, 290, 260, "#D0473A", 0.42),
                   (330, 110, 170, "#FFD998", 0.13)],
            ribbons=[(200, 36, "#FFCF92", 0.20), (230, 24, "#FFFFFF", 0.08)],
            lights="#FFE0B0"),
    # 3 deep forest
    3: dict(base=("#21503F", "#16342A", "#0C1D17"),
            glows=[(420, 290, 290, "#3FC08A", 0.44), (70, 40, 260, "#9FD66E", 0.30),
                   (250, 150, 170, "#D9F7C8", 0.09)],
            ribbons=[(180, 34, "#B4F0C8", 0.20), (214, 28, "#FFFFFF", 0.08)],
            lights="#DFFBE0"),
    # 4 plum
    4: dict(base=("#532A5E", "#351B3F", "#1C0F23"),
            glows=[(440, 60, 290, "#D867D8", 0.46), (60, 280, 260, "#7340C8", 0.46),
                   (250, 200, 160, "#FFB8EC", 0.09)],
            ribbons=[(195, 38, "#F7BFF4", 0.20), (228, 26, "#FFFFFF", 0.08)],
            lights="#FFD6F6"),
    # 5 lagoon teal
    5: dict(base=("#17535C", "#10383F", "#091F24"),
            glows=[(100, 50, 290, "#2FD0D0", 0.44), (450, 270, 270, "#2378C8", 0.46),
                   (310, 120, 170, "#BFFAF2", 0.11)],
            ribbons=[(205, 32, "#AFF3EE", 0.20), (235, 24, "#FFFFFF", 0.08)],
            lights="#D8FFFA"),
    # 6 rose
    6: dict(base=("#652638", "#431927", "#240D15"),
            glows=[(410, 40, 290, "#FF6F8C", 0.46), (70, 290, 260, "#B03080", 0.40),
                   (220, 130, 160, "#FFD0D8", 0.10)],
            ribbons=[(190, 36, "#FFC2CE", 0.20), (222, 28, "#FFFFFF", 0.08)],
            lights="#FFE0E6"),
    # 7 slate and brass
    7: dict(base=("#424951", "#2E343B", "#1A1D22"),
            glows=[(80, 30, 290, "#9FB6D0", 0.34), (450, 290, 260, "#E6B25A", 0.36),
                   (300, 150, 180, "#FFFFFF", 0.06)],
            ribbons=[(200, 30, "#F0D498", 0.20), (228, 26, "#D0DEEE", 0.10)],
            lights="#F6E6C4"),
    # 8 indigo with an aurora
    8: dict(base=("#2C2766", "#1D1946", "#0F0E28"),
            glows=[(380, 20, 290, "#6A5CFF", 0.50), (110, 260, 260, "#22A89A", 0.40),
                   (270, 120, 170, "#A8FFDD", 0.12)],
            ribbons=[(170, 44, "#A8FFDD", 0.22), (205, 34, "#C4BCFF", 0.12)],
            lights="#D6FFF0"),
}


def ribbon_edges(y, amp, phase):
    """The upper and lower edge of one smooth band across the picture."""
    top = (f"M-20 {f(y)} C 120 {f(y - amp * math.cos(phase))} 220 {f(y + amp)} 300 {f(y)} "
           f"S 470 {f(y - amp * 1.2)} 560 {f(y - amp * 0.4)}")
    yb = y + 16
    back = (f"L560 {f(yb - amp * 0.3)} C 470 {f(yb - amp)} 380 {f(yb + 4)} "
            f"300 {f(yb + 2)} S 120 {f(yb - amp * 0.6)} -20 {f(yb + 6)} Z")
    return top, top + " " + back


def background(n, spec):
    rnd = random.Random(1000 + n)
    b = spec["base"]
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 520 315" width="1040" height="630">',
        "<defs>",
        '<linearGradient id="base" x1="0" y1="0" x2="520" y2="315" gradientUnits="userSpaceOnUse">',
        f'<stop offset="0" stop-color="{b[0]}"/><stop offset="0.55" stop-color="{b[1]}"/>',
        f'<stop offset="1" stop-color="{b[2]}"/></linearGradient>',
    ]
    for i, (cx, cy, r, col, op) in enumerate(spec["glows"]):
        out += [
            f'<radialGradient id="glow{i}" cx="{cx}" cy="{cy}" r="{r}" '
            'gradientUnits="userSpaceOnUse">',
            f'<stop offset="0" stop-color="{col}" stop-opacity="{op}"/>',
            f'<stop offset="0.3" stop-color="{col}" stop-opacity="{op * 0.62:.3f}"/>',
            f'<stop offset="0.62" stop-color="{col}" stop-opacity="{op * 0.22:.3f}"/>',
            f'<stop offset="1" stop-color="{col}" stop-opacity="0"/></radialGradient>',
        ]
    for i, (_, _, col, op) in enumerate(spec["ribbons"]):
        out += [
            f'<linearGradient id="rib{i}" x1="0" y1="0" x2="520" y2="0" '
            'gradientUnits="userSpaceOnUse">',
            f'<stop offset="0" stop-color="{col}" stop-opacity="0"/>',
            f'<stop offset="0.35" stop-color="{col}" stop-opacity="{op}"/>',
            f'<stop offset="0.72" stop-color="{col}" stop-opacity="{op * 0.55:.3f}"/>',
            f'<stop offset="1" stop-color="{col}" stop-opacity="0"/></linearGradient>',
            f'<linearGradient id="edge{i}" x1="0" y1="0" x2="520" y2="0" '
            'gradientUnits="userSpaceOnUse">',
            f'<stop offset="0.05" stop-color="{col}" stop-opacity="0"/>',
            f'<stop offset="0.4" stop-color="{col}" stop-opacity="{min(1, op * 1.5):.3f}"/>',
            f'<stop offset="0.95" stop-color="{col}" stop-opacity="0"/></linearGradient>',
        ]
    out += [
        '<radialGradient id="light" cx="0.5" cy="0.5" r="0.5" gradientUnits="objectBoundingBox" '
        'fx="0.5" fy="0.5">',
        f'<stop offset="0" stop-color="{spec["lights"]}" stop-opacity="0.5"/>',
        f'<stop offset="0.7" stop-color="{spec["lights"]}" stop-opacity="0.28"/>',
        f'<stop offset="1" stop-color="{spec["lights"]}" stop-opacity="0"/></radialGradient>',
        # veils: the bars at the top and bottom stay dark enough for white text and glyphs
        '<linearGradient id="veilTop" x1="0" y1="0" x2="0" y2="70" gradientUnits="userSpaceOnUse">',
        '<stop offset="0" stop-color="#000000" stop-opacity="0.34"/>',
        '<stop offset="0.64" stop-color="#000000" stop-opacity="0.12"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0"/></linearGradient>',
        '<linearGradient id="veilBottom" x1="0" y1="190" x2="0" y2="315" '
        'gradientUnits="userSpaceOnUse">',
        '<stop offset="0" stop-color="#000000" stop-opacity="0"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0.36"/></linearGradient>',
        '<radialGradient id="vignette" cx="260" cy="150" r="330" gradientUnits="userSpaceOnUse">',
        '<stop offset="0.55" stop-color="#000000" stop-opacity="0"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0.34"/></radialGradient>',
        "</defs>",
        '<rect width="520" height="315" fill="url(#base)"/>',
    ]
    # each glow is painted only where it shows: its gradient ends at its radius
    for i, (cx, cy, r, _, _) in enumerate(spec["glows"]):
        out.append(f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#glow{i})"/>')
    # faint rings of light around the main glow, like a speaker's cone seen from far away
    cx, cy = spec["glows"][0][0], spec["glows"][0][1]
    for k, r in enumerate((64, 104, 150, 202)):
        out.append(
            f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="#FFFFFF" '
            f'stroke-opacity="{0.07 - k * 0.015:.3f}" stroke-width="0.7"/>'
        )
    for i, (y, amp, _, _) in enumerate(spec["ribbons"]):
        edge, band = ribbon_edges(y, amp, 0.6 + i * 0.9 + n * 0.37)
        out.append(f'<path d="{band}" fill="url(#rib{i})"/>')
        out.append(f'<path d="{edge}" fill="none" stroke="url(#edge{i})" stroke-width="0.7"/>')
    # out-of-focus lights, mostly small, drifting along the upper half
    placed = 0
    while placed < 11:
        r = rnd.choice((2.5, 3.5, 4.5, 6, 8, 11))
        x = rnd.uniform(20, 500)
        y = rnd.uniform(40, 190) if rnd.random() < 0.75 else rnd.uniform(190, 290)
        op = rnd.uniform(0.14, 0.34) * (0.7 if r > 7 else 1)
        if 175 - r < x < 465 + r and 105 - r < y < 230 + r:
            continue  # not behind the singer and the song name
        placed += 1
        out.append(f'<circle cx="{f(x)}" cy="{f(y)}" r="{r}" fill="url(#light)" '
                   f'opacity="{op:.2f}"/>')
    out += [
        '<rect width="520" height="315" fill="url(#vignette)"/>',
        '<rect width="520" height="70" fill="url(#veilTop)"/>',
        '<rect y="190" width="520" height="125" fill="url(#veilBottom)"/>',
        "</svg>",
    ]
    return "\n".join(out) + "\n"


def main():
    write("glyphs/settings.svg", gear(8, 8.6, 6.4, 0.42, 2.75))
    write("glyphs/settings-small.svg", gear(6, 7.8, 5.7, 0.42, 2.4))
    write("pictures/disc.svg", disc())
    for n, spec in BACKGROUNDS.items():
        write(f"pictures/background-{n}.svg", background(n, spec))


if __name__ == "__main__":
    main()
