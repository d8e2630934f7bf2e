#!/usr/bin/python3
"""A model of craterDip's round arithmetic, written from the game's rules, apart from the game's own code.

The autopilot plans landings with it, and the replay records are worked out with it, so that a fault in the
game's arithmetic shows as a difference instead of being copied into the expected values.

Number rules: 32-bit integers, truncation toward zero, scale factors stored in single precision and widened
to double for products, except the products the rules form in single precision (Easy's pad end).

Command line: lander_model.py --seed N --level L --screen WxH [--rest X,Y] SCRIPT
prints the end-of-round record of the first round as JSON.
"""
import argparse
import json
import math
import struct
import sys

MASK64 = (1 << 64) - 1


def randoms(seed):
    """The phone's Random(): SplitMix64 from the seed, high 32 bits of each output."""
    state = seed & MASK64
    while True:
        state = (state + 0x9E3779B97F4A7C15) & MASK64
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        z ^= z >> 31
        yield z >> 32


def f32(value):
    """Rounds a double to the nearest single-precision value."""
    return struct.unpack('<f', struct.pack('<f', value))[0]


def scale(pixels, design):
    """A scale factor as start-up stores it: pixels times the double nearest 1/design, rounded to float."""
    return f32(pixels * (1.0 / design))


def trunc(value):
    return int(math.trunc(value))


def tdiv(a, b):
    """Integer division truncating toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def s16(value):
    value &= 0xFFFF
    return value - 0x10000 if value >= 0x8000 else value


def s32(value):
    value &= 0xFFFFFFFF
    return value - 0x100000000 if value >= 0x80000000 else value


def pad_for(level, sx, r):
    """(fuel, padLeft, padRight) of a round started on `level` with draw r."""
    if level == 0:
        return 300, trunc(sx * 160.0), trunc(f32(sx * f32(320.0)))
    if level == 1:
        left = trunc((sx * 24.0) * r + sx * 100.0)
        return 240, left, trunc(left + sx * 100.0)
    if level == 2:
        left = trunc((sx * 40.0) * r + 40.0)
        return 200, left, trunc(sx * 75.0 + left)
    return 170, 40 * (r + 1), 40 * (r + 1) + 65


class Round:
    """One round on a phone screen of width x height (the game window spans the screen's width)."""

    def __init__(self, level, width, height, r, rest=(0, 0)):
        self.level = level
        self.width = width
        self.sx = scale(width, 480)
        self.sy = scale(height, 640)
        self.rest_x, self.rest_y = rest
        self.r = r
        self.lander_x = width // 2
        self.fuel, self.pad_left, self.pad_right = pad_for(level, self.sx, r)
        self.altitude = trunc(self.sy * 450.0)
        self.speed = 12.0
        self.score = 0
        self.round_over = False
        self.crashed = False
        self.thrusting = False
        self.ticks = 0

    def margin(self):
        return trunc(self.sx * 30.0)

    def reads_sample(self):
        """Whether the next tick reads a tilt sample (and so consumes a script line)."""
        return not self.round_over and self.fuel > 0

    def tick(self, tilt_x=0, tilt_y=0):
        """One flight tick with the given sample (ignored when the tick reads none)."""
        self.thrusting = False
        if self.round_over:
            return
        self.ticks += 1
        thrust = 0
        if self.fuel > 0:
            dy = s16(tilt_y - self.rest_y)
            thrust = min(tdiv(dy, -30), 6)
            if thrust > 0:
                self.thrusting = True
            else:
                thrust = 0
            dx = s16(tilt_x - self.rest_x)
            if abs(dx) > 500:
                step = tdiv(dx, 20)
            elif abs(dx) > 250:
                step = tdiv(dx, 30)
            elif abs(dx) > 60:
                step = tdiv(dx, 40)
            else:
                step = 0
            self.lander_x += step
            margin = self.margin()
            if self.lander_x < margin:
                self.lander_x = margin
            if self.lander_x > self.width - margin:
                self.lander_x = self.width - margin
        new_speed = (self.speed - thrust) + 4.0
        self.fuel = max(self.fuel - thrust, 0)
        new_altitude = max(trunc(self.altitude - (self.speed + new_speed) * 0.5), 0)
        self.speed = new_speed
        self.altitude = new_altitude
        if new_altitude > 0:
            return
        self.round_over = True
        judged = new_speed - 4.0 if self.level == 0 else new_speed
        crash = (judged > 8.0 or self.lander_x - trunc(self.sx * 20.0) < self.pad_left
                 or self.lander_x + trunc(self.sx * 12.0) > self.pad_right)
        if crash:
            self.crashed = True
            self.score = trunc(self.fuel // 2 - new_speed * 25.0)
        else:
            self.score = s32((self.fuel // 2 + 25 * (12 - trunc(judged))) * s32(self.level + 1))

    def record(self):
        return {
            'outcome': 'crash' if self.crashed else ('landing' if self.round_over else 'flying'),
            'score': self.score,
            'fuel': self.fuel,
            'speed': self.speed,
            'ticks': self.ticks,
        }


def read_script(path):
    """The samples of a tilt script: 'tiltX tiltY' lines; blank lines and '#' comments are skipped."""
    samples = []
    with open(path) as script:
        for line in script:
            text = line.split('#', 1)[0].strip()
            if text:
                x, y = text.split()
                samples.append((int(x), int(y)))
    return samples


def play(seed, level, width, height, samples, rest=(0, 0), max_ticks=100000):
    """Plays the first round of a run (its draw is the run's first Random value) to its touchdown."""
    r = next(randoms(seed)) % 10
    game = Round(level, width, height, r, rest)
    feed = iter(samples)
    while not game.round_over and game.ticks < max_ticks:
        if game.reads_sample():
            game.tick(*next(feed, (0, 0)))
        else:
            game.tick()
    return game


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--seed', type=int, required=True)
    parser.add_argument('--level', type=int, required=True)
    parser.add_argument('--screen', default='480x640')
    parser.add_argument('--rest', default='0,0')
    parser.add_argument('script')
    args = parser.parse_args()
    width, height = (int(v) for v in args.screen.lower().split('x'))
    rest = tuple(int(v) for v in args.rest.split(','))
    game = play(args.seed, args.level, width, height, read_script(args.script), rest)
    json.dump(game.record(), sys.stdout)
    print()


if __name__ == '__main__':
    main()
