#!/usr/bin/python3
"""Draws the game's pictures and its icon.

    make_pictures.py OUTPUT_DIR

Writes back.gif (the moonscape, 480 x 536: the client area of a VGA phone, its screen less the 52-px
taskbar and menu bar, so that there the game's per-frame stretch is a plain copy), mlander.gif and
mlander_fire.gif (the lander for full-size screens, 50 px wide, with its top edge 40 px above its feet so
that at altitude 0 the feet stand on the pad line at y 515), mlander_small.gif and mlander_fire_small.gif
(the same for half-size screens, 25 px wide, 5 px taller in proportion because the game draws small sprites
5 px higher), explosion.gif (ten 50 x 50 frames side by side), craterDip.ico (8-bit images of 48, 32 and
16 px) and the same icon for the Linux desktop's menu, craterdip-48.png and craterdip-256.png.

Every sprite, and every explosion frame, has the key colour in its top-left pixel and nowhere else but in
its transparent area; the game treats that colour as transparent. Shapes are drawn four times larger and
reduced, and the result is reduced to an exact palette, so the output is the same on every run.
"""
import math
import os
import random
import sys

from PIL import Image, ImageDraw

KEY = (255, 0, 255)  # transparent colour of every sprite; used nowhere else
SS = 4  # supersampling factor

# Lander geometry on the full-size 50 x 40 grid.
LANDER_W, LANDER_H = 50, 40
FLAME_LEN = 22


def to_sprite(rgba, size):
    """Reduces a supersampled RGBA drawing to `size`; pixels at least half covered become opaque, the rest
    the key colour. Returns a palette image whose top-left pixel is the key."""
    small = rgba.resize(size, Image.Resampling.LANCZOS)
    out = Image.new("RGB", size, KEY)
    src = small.load()
    dst = out.load()
    for y in range(size[1]):
        for x in range(size[0]):
            r, g, b, a = src[x, y]
            if a >= 128:
                # Keep clear of the key so that no visible pixel is ever transparent.
                if (r, g, b) == KEY:
                    g = 1
                dst[x, y] = (r, g, b)
    return out


def to_palette(rgb, key=KEY):
    """Exact palette image: the key gets its own entry, every other colour is reduced to 255 entries."""
    w, h = rgb.size
    mask = [rgb.getpixel((x, y)) == key for y in range(h) for x in range(w)]
    fill = rgb.copy()
    fill_px = fill.load()
    for i, is_key in enumerate(mask):
        if is_key:
            fill_px[i % w, i // w] = (0, 0, 0)
    quant = fill.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = quant.getpalette()[: 255 * 3]
    palette += [0] * (255 * 3 - len(palette))
    for i in range(255):
        assert tuple(palette[3 * i: 3 * i + 3]) != key, "a visible colour equals the key"
    palette += list(key)
    qpx = quant.load()
    for i, is_key in enumerate(mask):
        if is_key:
            qpx[i % w, i // w] = 255
    quant.putpalette(palette)
    return quant


def save_gif(image, path):
    image.save(path, "GIF", optimize=False)


# ---- The lander --------------------------------------------------------------------------------------------


def draw_lander(height, flame):
    """The lander on a 50-unit-wide grid, `height` units from the top to the feet; with `flame`, the engine
    plume below it. Returns an RGBA drawing at SS times 50 by (height + flame length)."""
    total = height + (FLAME_LEN * height // LANDER_H if flame else 0)
    img = Image.new("RGBA", (LANDER_W * SS, total * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)

    def s(v):
        return v * SS

    def poly(points, fill, outline=None):
        d.polygon([(s(x), s(y)) for x, y in points], fill=fill, outline=outline)

    def line(points, fill, width):
        d.line([(s(x), s(y)) for x, y in points], fill=fill, width=int(width * SS))

    foot = height - 1.2  # foot pad centre line
    body_top = 0.42 * height + 1
    body_bot = 0.72 * height

    if flame:
        fl = FLAME_LEN * height / LANDER_H
        nozzle = body_bot + 0.11 * height
        cx = 25
        outer = [(cx - 5.5, nozzle), (cx + 5.5, nozzle), (cx + 3, nozzle + fl * 0.55), (cx, nozzle + fl),
                 (cx - 3, nozzle + fl * 0.55)]
        poly(outer, (255, 110, 20, 255))
        mid = [(cx - 3.8, nozzle), (cx + 3.8, nozzle), (cx + 1.8, nozzle + fl * 0.5), (cx, nozzle + fl * 0.78),
               (cx - 1.8, nozzle + fl * 0.5)]
        poly(mid, (255, 200, 40, 255))
        core = [(cx - 2, nozzle), (cx + 2, nozzle), (cx + 0.8, nozzle + fl * 0.35), (cx, nozzle + fl * 0.5),
                (cx - 0.8, nozzle + fl * 0.35)]
        poly(core, (255, 250, 220, 255))

    # Legs: a main strut from the body's lower corners out to the feet, and a brace.
    leg = (150, 150, 160, 255)
    for side in (-1, 1):
        hip = (25 + side * 12, body_bot - 1)
        knee = (25 + side * 19.5, body_bot + 0.05 * height)
        footc = (25 + side * 21, foot)
        line([(25 + side * 11, body_top + 3), knee, footc], leg, 1.6)
        line([hip, footc], (120, 120, 130, 255), 1.2)
        d.ellipse([s(footc[0] - 3.4), s(foot - 1.2), s(footc[0] + 3.4), s(foot + 1.2)], fill=(200, 200, 210, 255))

    # Engine bell under the descent stage.
    poly([(21.5, body_bot), (28.5, body_bot), (30, body_bot + 0.11 * height), (20, body_bot + 0.11 * height)],
         (70, 70, 80, 255))
    poly([(22.5, body_bot), (27.5, body_bot), (28.6, body_bot + 0.09 * height), (21.4, body_bot + 0.09 * height)],
         (110, 110, 120, 255))

    # Descent stage: an octagonal box in gold foil, lit from the upper left.
    poly([(13, body_top + 2), (16, body_top), (34, body_top), (37, body_top + 2), (37, body_bot - 2), (34, body_bot),
          (16, body_bot), (13, body_bot - 2)], (196, 148, 36, 255))
    poly([(13, body_top + 2), (16, body_top), (25, body_top), (25, body_bot), (16, body_bot), (13, body_bot - 2)],
         (232, 190, 70, 255))
    for i in range(4):
        y0 = body_top + 1.5 + i * (body_bot - body_top - 2) / 4
        line([(14.5, y0), (35.5, y0)], (160, 115, 25, 255), 0.5)
    line([(25, body_top), (25, body_bot)], (150, 105, 20, 255), 0.6)

    # Ascent stage: the crew cabin with its window and the antenna.
    cab_top = 0.1 * height + 2.0
    cab_bot = body_top + 0.4
    poly([(15, cab_bot), (14, cab_top + 6), (18, cab_top + 1), (32, cab_top + 1), (36, cab_top + 6), (35, cab_bot)],
         (176, 180, 192, 255))
    poly([(15, cab_bot), (14, cab_top + 6), (18, cab_top + 1), (25, cab_top + 1), (25, cab_bot)],
         (222, 226, 236, 255))
    poly([(17, cab_top + 5), (20, cab_top + 3), (23.5, cab_top + 3), (23.5, cab_top + 8), (18, cab_top + 8)],
         (28, 40, 70, 255))
    poly([(18.5, cab_top + 4.5), (20.5, cab_top + 3.6), (21.5, cab_top + 3.6), (19, cab_top + 6)],
         (110, 150, 210, 255))
    poly([(27, cab_top + 4), (33, cab_top + 4), (33, cab_bot - 1), (27, cab_bot - 1)], (150, 154, 168, 255))
    line([(30, cab_top + 1), (33, cab_top - 2.6)], (200, 200, 210, 255), 0.8)
    d.ellipse([s(31), s(cab_top - 5), s(36), s(cab_top - 1.5)], fill=(235, 235, 240, 255))
    d.ellipse([s(32.2), s(cab_top - 4.2), s(34.8), s(cab_top - 2.4)], fill=(170, 170, 180, 255))
    return img


def lander(height, flame, width):
    img = draw_lander(height, flame)
    size = (width, round(img.size[1] / SS * width / LANDER_W))
    return to_palette(to_sprite(img, size))


# ---- The explosion -----------------------------------------------------------------------------------------


def explosion_strip():
    frame = 50
    rng = random.Random(7)
    debris = [(rng.uniform(0, 2 * math.pi), rng.uniform(0.5, 1.0), rng.uniform(1.0, 2.2)) for _ in range(16)]
    strip = Image.new("RGB", (frame * 10, frame), KEY)
    for f in range(10):
        t = (f + 1) / 10.0
        img = Image.new("RGBA", (frame * SS, frame * SS), (0, 0, 0, 0))
        d = ImageDraw.Draw(img)
        cx, cy = 25 * SS, 25 * SS
        r = (6 + 14 * math.sqrt(t)) * SS
        heat = max(0.0, 1.0 - t * 1.15)
        # Smoke grows and lingers; the fireball burns out inside it.
        smoke = int(95 - 30 * t)
        for k in range(7):
            a = k * 2 * math.pi / 7 + f * 0.3
            ox, oy = math.cos(a) * r * 0.45, math.sin(a) * r * 0.35 - t * 3 * SS
            rr = r * (0.55 + 0.1 * (k % 3))
            d.ellipse([cx + ox - rr, cy + oy - rr, cx + ox + rr, cy + oy + rr], fill=(smoke + 20, smoke, smoke - 16, 255))
        if heat > 0:
            for frac, col in ((0.85, (230, 80, 20)), (0.62, (255, 160, 30)), (0.38, (255, 235, 120)),
                              (0.18, (255, 255, 235))):
                rr = r * frac * (0.55 + 0.45 * heat)
                d.ellipse([cx - rr, cy - rr * 0.9, cx + rr, cy + rr * 0.9], fill=col + (255,))
        else:
            rr = r * 0.35
            d.ellipse([cx - rr, cy - rr, cx + rr, cy + rr], fill=(150, 60, 30, 255))
        # Pieces of the lander flying out.
        for a, speed, size in debris:
            dist = (4 + 22 * t * speed) * SS
            if dist < r * 0.6 * heat:
                continue  # still inside the fireball
            px, py = cx + math.cos(a) * dist, cy + math.sin(a) * dist * 0.8 + (t * t * 6) * SS
            sz = size * SS
            colour = (232, 190, 70, 255) if int(a * 10) % 2 else (200, 200, 210, 255)
            d.rectangle([px - sz, py - sz, px + sz, py + sz], fill=colour)
        sprite = to_sprite(img, (frame, frame))
        strip.paste(sprite, (f * frame, 0))
    return to_palette(strip)


# ---- The background ----------------------------------------------------------------------------------------


def moonscape():
    # Laid out on the 480 x 640 grid of the game's layout, then reduced once, here, to the client area.
    w, h = 480, 640
    rng = random.Random(1969)
    img = Image.new("RGB", (w, h))
    px = img.load()
    # Black sky, turning a little blue towards the horizon.
    for y in range(h):
        t = min(1.0, y / 500.0)
        col = (int(2 + 10 * t * t), int(3 + 14 * t * t), int(10 + 34 * t * t))
        for x in range(w):
            px[x, y] = col
    d = ImageDraw.Draw(img)
    # Stars; fewer and dimmer in the status corner so the white text stays legible.
    for _ in range(260):
        x, y = rng.randrange(w), rng.randrange(420)
        level = rng.choice((90, 120, 150, 190, 230))
        if 300 <= x <= 480 and y <= 80:
            level //= 3
        px[x, y] = (level, level, min(255, level + 15))
    for _ in range(14):
        x, y = rng.randrange(w), rng.randrange(380)
        if 290 <= x and y <= 90:
            continue
        d.point([(x, y)], fill=(255, 255, 255))
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            d.point([(x + dx, y + dy)], fill=(120, 120, 150))

    # The Earth, low in the left of the sky, half lit.
    earth = Image.new("RGBA", (64 * SS, 64 * SS), (0, 0, 0, 0))
    e = ImageDraw.Draw(earth)
    e.ellipse([0, 0, 64 * SS - 1, 64 * SS - 1], fill=(40, 90, 190, 255))
    for bx, by, br, col in ((20, 22, 12, (60, 130, 70)), (40, 36, 10, (70, 140, 80)), (30, 44, 7, (150, 130, 80)),
                            (18, 14, 9, (235, 240, 250)), (44, 18, 8, (235, 240, 250)), (36, 52, 9, (230, 235, 245))):
        e.ellipse([(bx - br) * SS, (by - br) * SS, (bx + br) * SS, (by + br) * SS], fill=col + (255,))
    shade = Image.new("L", earth.size, 0)
    ImageDraw.Draw(shade).ellipse([22 * SS, -6 * SS, 92 * SS, 70 * SS], fill=170)
    earth_rgb = Image.composite(Image.new("RGBA", earth.size, (3, 6, 20, 255)), earth, shade)
    earth_rgb.putalpha(earth.getchannel("A"))
    earth_small = earth_rgb.resize((64, 64), Image.Resampling.LANCZOS)
    img.paste(earth_small, (46, 92), earth_small)

    # Far mountains, then nearer hills, then the plain whose edge lies just under the pad line.
    def ridge(base, amp, seed, colour, step):
        r = random.Random(seed)
        pts = []
        y = base
        for x in range(-step, w + 2 * step, step):
            y = max(base - amp, min(base + amp // 3, y + r.randint(-amp // 3, amp // 3)))
            pts.append((x, y))
        d.polygon(pts + [(w + step, h), (-step, h)], fill=colour)
        return pts

    ridge(455, 40, 3, (48, 50, 62), 16)
    ridge(488, 22, 5, (74, 76, 86), 10)
    ground = 518
    d.rectangle([0, ground, w, h], fill=(112, 112, 118))
    # The plain darkens towards the bottom.
    for y in range(ground, h):
        t = (y - ground) / (h - ground)
        shade_c = int(118 - 40 * t)
        d.line([(0, y), (w, y)], fill=(shade_c - 4, shade_c - 4, shade_c))
    d.line([(0, ground), (w, ground)], fill=(160, 160, 166), width=2)
    # Craters in perspective: dark bowls with a lit rim.
    for _ in range(26):
        cx = rng.randrange(-10, w + 10)
        cy = rng.randrange(ground + 10, h + 5)
        depth = (cy - ground) / (h - ground)
        rx = rng.uniform(6, 18) * (0.5 + depth)
        ry = rx * 0.28
        d.ellipse([cx - rx, cy - ry, cx + rx, cy + ry], fill=(150, 150, 156))
        d.ellipse([cx - rx + 2, cy - ry + 1, cx + rx - 1, cy + ry], fill=(58, 58, 64))
    for _ in range(900):
        x, y = rng.randrange(w), rng.randrange(ground + 2, h)
        v = rng.randint(70, 140)
        px[x, y] = (v, v, v + 4)
    img = img.resize((480, 536), Image.Resampling.LANCZOS)
    return img.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


# ---- The icon ----------------------------------------------------------------------------------------------


def icon_image(size):
    big = 256
    img = Image.new("RGBA", (big, big), (8, 12, 34, 255))
    d = ImageDraw.Draw(img)
    d.ellipse([-60, 170, big + 60, 400], fill=(120, 120, 128, 255))
    d.ellipse([40, 200, 110, 225], fill=(70, 70, 78, 255))
    d.ellipse([170, 215, 225, 235], fill=(80, 80, 88, 255))
    d.line([(70, 176), (186, 176)], fill=(40, 60, 220, 255), width=12)
    body = draw_lander(LANDER_H, True).resize((150, int(150 * (LANDER_H + FLAME_LEN) / LANDER_W)),
                                              Image.Resampling.LANCZOS)
    img.alpha_composite(body, (53, 56))
    rgb = img.convert("RGB").resize((size, size), Image.Resampling.LANCZOS)
    return rgb.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_pictures.py OUTPUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    save_gif(moonscape(), os.path.join(out, "back.gif"))
    save_gif(lander(LANDER_H, False, 50), os.path.join(out, "mlander.gif"))
    save_gif(lander(LANDER_H, True, 50), os.path.join(out, "mlander_fire.gif"))
    save_gif(lander(50, False, 25), os.path.join(out, "mlander_small.gif"))
    save_gif(lander(50, True, 25), os.path.join(out, "mlander_fire_small.gif"))
    save_gif(explosion_strip(), os.path.join(out, "explosion.gif"))
    icons = [icon_image(s) for s in (48, 32, 16)]
    icons[0].save(os.path.join(out, "craterDip.ico"), "ICO", bitmap_format="bmp",
                  sizes=[(48, 48), (32, 32), (16, 16)], append_images=icons[1:])
    for size in (48, 256):
        icon_image(size).save(os.path.join(out, "craterdip-%d.png" % size), "PNG")


if __name__ == "__main__":
    main()
