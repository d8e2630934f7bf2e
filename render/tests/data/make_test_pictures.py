#!/usr/bin/python3
"""Writes the small GIF pictures of the presentation tests, and test_pictures.h, which states the colour of
every pixel that was encoded, so that the tests compare what comes out of the picture loader and the drawing
with what went into the file.

    make_test_pictures.py            (writes beside this script)
"""
import os
import random

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)


def save(name, pixels, width, height):
    colours = sorted(set(pixels))
    assert len(colours) <= 256
    img = Image.new("P", (width, height))
    flat = []
    for c in colours:
        flat += list(c)
    img.putpalette(flat + [0] * (768 - len(flat)))
    img.putdata([colours.index(p) for p in pixels])
    img.save(os.path.join(HERE, name), "GIF", optimize=False)


def rgb(c):
    return "0x%06X" % (c[0] | c[1] << 8 | c[2] << 16)  # COLORREF order


def table(name, pixels, width):
    """One line of the table per row of the picture."""
    lines = [", ".join(rgb(p) for p in pixels[i:i + width]) for i in range(0, len(pixels), width)]
    return "const COLORREF %s[] = {\n    %s};\n" % (name, ",\n    ".join(lines))


def main():
    rng = random.Random(5)
    header = ["// Written by make_test_pictures.py beside the GIF files it describes. COLORREF values, rows top to",
              "// bottom.", "// clang-format off", "#pragma once", "", "#include \"coredll.h\"", ""]

    # A sprite keyed by pure red, with red also inside and at every corner, next to colours one unit away.
    red = (255, 0, 0)
    palette = [red, (254, 0, 0), (255, 0, 1), (255, 1, 0), (0, 0, 0), (255, 255, 255), (0, 0, 156), (1, 2, 3),
               (128, 128, 128), (0, 255, 0)]
    w, h = 16, 10
    pixels = [rng.choice(palette) for _ in range(w * h)]
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1), (7, 4)):
        pixels[y * w + x] = red
    save("key_red.gif", pixels, w, h)
    header += ["const int kKeyRedWidth = %d, kKeyRedHeight = %d;" % (w, h), table("kKeyRed", pixels, w)]

    # A strip of 10 frames of 9 px and 5 spare columns. Each frame has its own key colour at its top-left,
    # and also shows the next frame's key colour, which is not transparent there.
    w, h = 95, 6
    keys = [(10 + 20 * f, 200 - 15 * f, 40 + 17 * f) for f in range(10)]
    bodies = [(200 - 9 * f, 30 + 11 * f, 90 + 3 * f) for f in range(10)]
    pixels = []
    for y in range(h):
        for x in range(w):
            f, col = divmod(x, 9)
            if f >= 10:
                pixels.append((250, 250, 0))
            elif (col, y) == (0, 0):
                pixels.append(keys[f])
            else:
                pixels.append(rng.choice((keys[f], bodies[f], keys[(f + 1) % 10])))
    # The tests read this and the scene pictures back through the loader, which key_red.gif checks colour
    # for colour.
    save("strip95.gif", pixels, w, h)

    # Scene pictures of plain colours, so a probe tells which picture is drawn where. Sprites keep the key
    # in their top-left pixel only.
    def block(name, width, height, colour):
        px = [colour] * (width * height)
        px[0] = MAGENTA
        save(name, px, width, height)

    block("lander.gif", 50, 40, (0, 200, 0))
    block("lander_fire.gif", 50, 62, (255, 128, 0))
    block("lander_small.gif", 25, 25, (0, 160, 160))
    block("lander_fire_small.gif", 25, 38, (200, 100, 0))

    # Explosion: 10 frames of 10 x 20, frame f in its own colour, keyed by magenta, and 5 spare columns
    # (their own key at the top, then a colour of their own) that a frame index of 10 would show.
    ew, eh = 10, 20
    frame_colours = [(20 + 20 * f, 10, 200 - 10 * f) for f in range(10)] + [(210, 210, 30)]
    pixels = []
    for y in range(eh):
        for x in range(ew * 10 + 5):
            f, col = divmod(x, ew)
            pixels.append(MAGENTA if (col, y) == (0, 0) else frame_colours[f])
    save("boom.gif", pixels, ew * 10 + 5, eh)

    # Background: four dark quadrants, no white or red anywhere, so text shows as exact white and red.
    quads = [(60, 20, 20), (20, 60, 20), (20, 20, 60), (60, 60, 20)]
    pixels = [quads[(y >= 32) * 2 + (x >= 24)] for y in range(64) for x in range(48)]
    save("quadrants.gif", pixels, 48, 64)
    header += ["const COLORREF kQuadrantColours[] = {%s};  // top-left, top-right, bottom-left, bottom-right"
               % ", ".join(rgb(c) for c in quads), ""]

    with open(os.path.join(HERE, "test_pictures.h"), "w") as f:
        f.write("\n".join(header))


if __name__ == "__main__":
    main()
