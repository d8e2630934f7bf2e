#!/usr/bin/python3
"""Writes the replay set: tilt logs (tests/replay/*.tilt) and their expected end-of-round records
(tests/replay/records.txt), worked out with the independent model in lander_model.py.

Each case is one run's first round: a seed, a difficulty, a screen, rest values and a tilt log. The logs
come from a small pilot (landings), from fixed patterns (crashes, climbs, extreme samples) or from seeded
noise, so that the set covers both outcomes, every difficulty, several screens and the wrap-arounds.
Run it again only when a case is added; the game must reproduce the records exactly.
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lander_model as model  # noqa: E402

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'replay')


def tilt_for_step(step):
    """A sideways tilt whose step is at most `step` pixels, as close to it as the bands allow."""
    size = abs(step)
    if size >= 25:
        tilt = min(size, 1638) * 20
    elif size >= 8:
        tilt = min(size, 16) * 30
    elif size >= 1:
        tilt = min(size, 6) * 40
    else:
        tilt = 0
    return tilt if step >= 0 else -tilt


def pilot(seed, level, width, height, rest=(0, 0), touchdown=6.0):
    """Flies the round to a landing if it can: steers to the pad's safe band, falls freely and brakes late
    (full thrust slows the lander by 2 a tick), so that it arrives at about `touchdown` speed."""
    r = next(model.randoms(seed)) % 10
    game = model.Round(level, width, height, r, rest)
    samples = []
    while not game.round_over and len(samples) < 5000:
        if not game.reads_sample():
            game.tick()
            continue
        low = game.pad_left + model.trunc(game.sx * 20.0)
        high = game.pad_right - model.trunc(game.sx * 12.0)
        target = (low + high) // 2
        step = target - game.lander_x if not low <= game.lander_x <= high or abs(target - game.lander_x) > 3 else 0
        desired = (touchdown * touchdown + 3.0 * game.altitude) ** 0.5
        thrust = max(0, min(6, int(game.speed + 4.0 - desired + 0.999)))
        tilt_y = -(30 * thrust + 5) if thrust else 0
        sample = (tilt_for_step(step) + rest[0], tilt_y + rest[1])
        samples.append(sample)
        game.tick(*sample)
    return samples


def noise(seed, count, spread_x, spread_y):
    rng = random.Random(seed)
    return [(rng.randint(-spread_x, spread_x), rng.randint(-spread_y, spread_y)) for _ in range(count)]


def wrap(value):
    """A value as a 16-bit sensor reading holds it."""
    return model.s16(value)


CASES = [
    # name, seed, level, (width, height), rest, samples
    ('land-easy-480x640', 1, 0, (480, 640), (0, 0), lambda: pilot(1, 0, 480, 640)),
    ('land-medium-480x640', 7, 1, (480, 640), (0, 0), lambda: pilot(7, 1, 480, 640)),
    ('land-hard-480x640', 42, 2, (480, 640), (0, 0), lambda: pilot(42, 2, 480, 640)),
    ('land-expert-480x640', 2026, 3, (480, 640), (0, 0), lambda: pilot(2026, 3, 480, 640)),
    ('land-medium-240x320', 5, 1, (240, 320), (0, 0), lambda: pilot(5, 1, 240, 320)),
    ('land-hard-800x480', 11, 2, (800, 480), (0, 0), lambda: pilot(11, 2, 800, 480)),
    ('land-easy-480x800', 3, 0, (480, 800), (0, 0), lambda: pilot(3, 0, 480, 800)),
    ('land-level7-480x640', 9, 7, (480, 640), (0, 0), lambda: pilot(9, 7, 480, 640)),
    ('land-rest-offset', 13, 1, (480, 640), (-120, 35), lambda: pilot(13, 1, 480, 640, (-120, 35))),
    ('crash-free-fall', 5, 1, (480, 640), (0, 0), lambda: []),
    ('crash-too-fast-easy', 21, 0, (480, 640), (0, 0), lambda: [(0, -35)] * 20),
    ('crash-beside-pad', 4, 3, (480, 640), (0, 0), lambda: [(32767, -100)] * 3 + pilot(4, 3, 480, 640)[3:]),
    ('crash-climb-then-fuel-out', 8, 2, (480, 640), (0, 0), lambda: [(0, -32768)] * 40),
    ('crash-extreme-samples', 17, 1, (480, 640), (0, 0),
     lambda: [(32767, -32768), (-32768, 32767), (-32767, -32767)] * 30),
    ('crash-rest-wraps', 23, 1, (480, 640), (-32768, 32767), lambda: [(32767, -32768)] * 10 + noise(23, 60, 600, 120)),
    ('noise-medium-240x320', 31, 1, (240, 320), (0, 0), lambda: noise(31, 200, 900, 200)),
    ('noise-expert-800x480', 37, 3, (800, 480), (0, 0), lambda: noise(37, 200, 900, 200)),
    ('noise-level-minus1', 41, -1, (480, 640), (0, 0), lambda: noise(41, 200, 400, 200)),
]


def main():
    os.makedirs(OUT, exist_ok=True)
    lines = ['# name seed level WxH restX restY | outcome score fuel speed ticks',
             '# Worked out by tools/make_replays.py with the independent model tools/lander_model.py.']
    for name, seed, level, (width, height), rest, make in CASES:
        samples = [(wrap(x), wrap(y)) for x, y in make()]
        with open(os.path.join(OUT, name + '.tilt'), 'w') as log:
            log.write('# %s: seed %d, level %d, %dx%d, rest %d %d\n' % (name, seed, level, width, height, *rest))
            for x, y in samples:
                log.write('%d %d\n' % (x, y))
        game = model.play(seed, level, width, height, samples, rest)
        rec = game.record()
        lines.append('%s %d %d %dx%d %d %d | %s %d %d %r %d' % (
            name, seed, level, width, height, rest[0], rest[1],
            rec['outcome'], rec['score'], rec['fuel'], rec['speed'], rec['ticks']))
        print(lines[-1])
    with open(os.path.join(OUT, 'records.txt'), 'w') as records:
        records.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
