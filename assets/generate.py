#!/usr/bin/env python3
"""Writes the pictures of assets/ that are easier to compute than to draw by hand:
the gears, the disc and the background pictures. Run it from anywhere after changing it;
its output is committed, so the build never needs Python."""

import math
import os

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
            op = 0.085 * math.exp(-(k / 7.0) ** 2)
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
        '<path d="M41.5 62.5 A14 14 0 0 0 64.5 62.5" fill="none" stroke="#6B4510" '
        'stroke-opacity="0.5" stroke-width="1.1" stroke-linecap="round"/>',
        '<path d="M45.5 66 A10 10 0 0 0 60.5 66" fill="none" stroke="#6B4510" '
        'stroke-opacity="0.35" stroke-width="0.8" stroke-linecap="round"/>',
        f'<circle cx="{c}" cy="{c}" r="4.2" fill="#2A2117"/>',
        f'<circle cx="{c}" cy="{c}" r="2.3" fill="#0E0E0E"/>',
        f'<circle cx="{c}" cy="{c}" r="4.2" fill="none" stroke="#FFFFFF" stroke-opacity="0.25" '
        'stroke-width="0.4"/>',
        "</svg>",
    ]
    return "\n".join(out) + "\n"


# --- backgrounds -------------------------------------------------------------------------

# Each picture: base gradient (top-left to bottom-right), soft light blobs
# (cx, cy, r, colour, opacity), and flowing ribbons (y offset, amplitude, colour, opacity).
BACKGROUNDS = {
    # the default: graphite with the accent's warm light
    0: dict(base=("#3A3835", "#262524", "#1B1B1C"),
            blobs=[(420, 40, 260, "#F5CD76", 0.30), (70, 300, 230, "#C9803A", 0.20),
                   (250, 170, 160, "#FFFFFF", 0.05)],
            ribbons=[(205, 34, "#F5CD76", 0.16), (232, 26, "#FFFFFF", 0.07)]),
    # 1 night blue
    1: dict(base=("#1F3558", "#16243D", "#0E1626"),
            blobs=[(410, 60, 250, "#4F8FE0", 0.38), (90, 280, 220, "#2C4F9A", 0.35),
                   (260, 140, 150, "#9CC3FF", 0.10)],
            ribbons=[(190, 40, "#9CC3FF", 0.16), (222, 30, "#FFFFFF", 0.07)]),
    # 2 amber dusk
    2: dict(base=("#5A3520", "#3A2216", "#21140E"),
            blobs=[(120, 50, 240, "#F29A4A", 0.34), (440, 270, 230, "#B8452E", 0.32),
                   (330, 110, 150, "#FFD28A", 0.12)],
            ribbons=[(200, 36, "#FFC98A", 0.15), (230, 24, "#FFFFFF", 0.06)]),
    # 3 deep forest
    3: dict(base=("#1E4236", "#142C25", "#0C1A16"),
            blobs=[(400, 280, 250, "#3FA37C", 0.32), (90, 60, 220, "#7CC48F", 0.22),
                   (260, 160, 150, "#D7F2C4", 0.07)],
            ribbons=[(180, 34, "#A8E6C0", 0.14), (215, 28, "#FFFFFF", 0.06)]),
    # 4 plum
    4: dict(base=("#45244F", "#2E1836", "#1A0E20"),
            blobs=[(430, 70, 240, "#C15FC9", 0.33), (80, 260, 230, "#6E3AA8", 0.34),
                   (250, 200, 140, "#FFB3F0", 0.07)],
            ribbons=[(195, 38, "#F0B2F0", 0.14), (228, 26, "#FFFFFF", 0.06)]),
    # 5 lagoon teal
    5: dict(base=("#154750", "#0F3036", "#091C20"),
            blobs=[(110, 70, 240, "#37B8C4", 0.33), (430, 250, 230, "#1F7C9E", 0.35),
                   (300, 130, 150, "#B5F4F0", 0.09)],
            ribbons=[(205, 32, "#A5ECEB", 0.15), (235, 24, "#FFFFFF", 0.06)]),
    # 6 rose
    6: dict(base=("#55202F", "#391621", "#200C13"),
            blobs=[(400, 50, 250, "#E5607E", 0.33), (90, 280, 230, "#9E2F52", 0.33),
                   (220, 130, 140, "#FFC4CF", 0.08)],
            ribbons=[(190, 36, "#FFB8C6", 0.14), (222, 28, "#FFFFFF", 0.06)]),
    # 7 slate and brass
    7: dict(base=("#3B4148", "#2A2F35", "#191C20"),
            blobs=[(90, 40, 240, "#8FA3B8", 0.26), (440, 280, 220, "#D8A653", 0.24),
                   (300, 150, 160, "#FFFFFF", 0.05)],
            ribbons=[(200, 30, "#E8CC8E", 0.14), (228, 26, "#C8D6E6", 0.08)]),
    # 8 indigo with an aurora
    8: dict(base=("#272356", "#1A173C", "#0E0D24"),
            blobs=[(380, 40, 250, "#5B54D6", 0.36), (120, 250, 220, "#2F8C8A", 0.28),
                   (270, 120, 150, "#9BF0D0", 0.10)],
            ribbons=[(170, 44, "#9BF0D0", 0.18), (205, 34, "#B9B2FF", 0.10)]),
}


def ribbon(y, amp, phase):
    """One smooth band across the picture, as a closed shape between two curves."""
    def curve(y0, a, ph):
        return (f"M-20 {f(y0)} C 120 {f(y0 - a * math.cos(ph))} 220 {f(y0 + a)} 300 {f(y0)} "
                f"S 470 {f(y0 - a * 1.2)} 560 {f(y0 - a * 0.4)}")
    top = curve(y, amp, phase)
    bottom_y = y + 14
    # the lower edge is traced back from right to left
    back = (f"L560 {f(bottom_y - amp * 0.3)} C 470 {f(bottom_y - amp)} 380 {f(bottom_y + 4)} "
            f"300 {f(bottom_y + 2)} S 120 {f(bottom_y - amp * 0.6)} -20 {f(bottom_y + 6)} Z")
    return top + " " + back


def background(n, spec):
    b = spec["base"]
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 520 315" width="1040" height="630">',
        "<defs>",
        '<linearGradient id="base" x1="0" y1="0" x2="520" y2="315" gradientUnits="userSpaceOnUse">',
        f'<stop offset="0" stop-color="{b[0]}"/><stop offset="0.55" stop-color="{b[1]}"/>',
        f'<stop offset="1" stop-color="{b[2]}"/></linearGradient>',
    ]
    for i, (cx, cy, r, col, op) in enumerate(spec["blobs"]):
        out += [
            f'<radialGradient id="blob{i}" cx="{cx}" cy="{cy}" r="{r}" '
            'gradientUnits="userSpaceOnUse">',
            f'<stop offset="0" stop-color="{col}" stop-opacity="{op}"/>',
            f'<stop offset="0.45" stop-color="{col}" stop-opacity="{op * 0.45:.3f}"/>',
            f'<stop offset="1" stop-color="{col}" stop-opacity="0"/></radialGradient>',
        ]
    for i, (_, _, col, op) in enumerate(spec["ribbons"]):
        out += [
            f'<linearGradient id="rib{i}" x1="0" y1="0" x2="520" y2="0" '
            'gradientUnits="userSpaceOnUse">',
            f'<stop offset="0" stop-color="{col}" stop-opacity="0"/>',
            f'<stop offset="0.35" stop-color="{col}" stop-opacity="{op}"/>',
            f'<stop offset="0.7" stop-color="{col}" stop-opacity="{op * 0.6:.3f}"/>',
            f'<stop offset="1" stop-color="{col}" stop-opacity="0"/></linearGradient>',
        ]
    out += [
        # veils: the bars at the top and bottom stay dark enough for white text and glyphs
        '<linearGradient id="veilTop" x1="0" y1="0" x2="0" y2="70" gradientUnits="userSpaceOnUse">',
        '<stop offset="0" stop-color="#000000" stop-opacity="0.38"/>',
        '<stop offset="0.64" stop-color="#000000" stop-opacity="0.16"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0"/></linearGradient>',
        '<linearGradient id="veilBottom" x1="0" y1="190" x2="0" y2="315" '
        'gradientUnits="userSpaceOnUse">',
        '<stop offset="0" stop-color="#000000" stop-opacity="0"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0.34"/></linearGradient>',
        '<radialGradient id="vignette" cx="260" cy="150" r="330" gradientUnits="userSpaceOnUse">',
        '<stop offset="0.55" stop-color="#000000" stop-opacity="0"/>',
        '<stop offset="1" stop-color="#000000" stop-opacity="0.32"/></radialGradient>',
        "</defs>",
        '<rect width="520" height="315" fill="url(#base)"/>',
    ]
    for i in range(len(spec["blobs"])):
        out.append(f'<rect width="520" height="315" fill="url(#blob{i})"/>')
    for i, (y, amp, _, _) in enumerate(spec["ribbons"]):
        out.append(f'<path d="{ribbon(y, amp, 0.6 + i * 0.9 + n * 0.37)}" fill="url(#rib{i})"/>')
    # a few faint rings of light, like a speaker's cone seen from far away
    cx, cy = spec["blobs"][0][0], spec["blobs"][0][1]
    for k, r in enumerate((70, 112, 160)):
        out.append(
            f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="#FFFFFF" '
            f'stroke-opacity="{0.055 - k * 0.014:.3f}" stroke-width="0.8"/>'
        )
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
