#!/usr/bin/python3
"""Autopilot: writes a tilt script that lands the first round of a run, or says the pad cannot be reached.

The round is worked out with the independent model (lander_model.py): the pad comes from the run's first
Random value (the first round starts at start-up), and the game reads one script line per flight tick while
the round runs and fuel is left, so the script holds exactly one line per such tick.

Plan: step sideways at once to the middle of the stretch where the lander's centre may touch down, fall
freely for k ticks, then fire the engine each tick so that the next speed is the hold speed h (thrust
clamped to 0..6) until touchdown. The plan with the longest free fall that the model lands is taken.

  autopilot.py --seed N --level L [--screen WxH] [--draw R] [--rest X,Y] [--out FILE]
Exit status 0: the script was written; 3: the pad cannot be reached (the reason on stderr).
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lander_model  # noqa: E402

UNREACHABLE = 3


def tilt_for_step(step):
    """A tiltX offset from rest that moves the lander by exactly `step` pixels in one tick, or None when
    no reading does (7 and 17 to 24 fall between the bands)."""
    size = abs(step)
    sign = 1 if step >= 0 else -1
    if size == 0:
        return 0
    if size == 1:
        dx = 70
    elif size <= 6:
        dx = 40 * size + 10
    elif 8 <= size <= 16:
        dx = 30 * size + 15
    elif 25 <= size <= 1638:
        dx = 20 * size + 10
    else:
        return None
    return sign * min(dx, 32767)


def next_step(remaining):
    """The step to take this tick towards a target `remaining` pixels away: the whole way when one
    reading does it, else the largest step below it (at most two ticks in all)."""
    if tilt_for_step(remaining) is not None:
        return remaining
    size = abs(remaining)
    sign = 1 if remaining > 0 else -1
    return sign * (6 if size == 7 else 16)


def tilt_for_thrust(thrust):
    """A tiltY offset from rest that gives exactly `thrust` (0..6)."""
    return 0 if thrust == 0 else -(30 * thrust + 15)


def landing_window(game):
    """The stretch of centres that land, within the clamp; None when it is empty."""
    low = max(game.pad_left + lander_model.trunc(game.sx * 20.0), game.margin())
    high = min(game.pad_right - lander_model.trunc(game.sx * 12.0), game.width - game.margin())
    return (low, high) if low <= high else None


def fly(level, width, height, draw, rest, free_fall, hold):
    """Flies one plan on the model; returns (round, samples)."""
    game = lander_model.Round(level, width, height, draw, rest)
    low, high = landing_window(game)
    target = (low + high) // 2
    samples = []
    while not game.round_over and game.ticks < 10000:
        if not game.reads_sample():
            game.tick()
            continue
        step = next_step(target - game.lander_x)
        if game.ticks < free_fall:
            thrust = 0
        else:
            thrust = max(0, min(6, int(game.speed) + 4 - hold))
        sample = (rest[0] + tilt_for_step(step), rest[1] + tilt_for_thrust(thrust))
        samples.append(sample)
        game.tick(*sample)
    return game, samples


def plan(level, width, height, draw, rest=(0, 0)):
    """The samples of a landing, or raises ValueError with the reason it cannot be had."""
    game = lander_model.Round(level, width, height, draw, rest)
    if landing_window(game) is None:
        raise ValueError('the pad (%d to %d) cannot be reached: the lander centre is kept between %d and %d'
                         % (game.pad_left, game.pad_right, game.margin(), width - game.margin()))
    for free_fall in range(200, -1, -1):
        for hold in (8, 6, 4, 2):
            result, samples = fly(level, width, height, draw, rest, free_fall, hold)
            if result.round_over and not result.crashed:
                return samples
    raise ValueError('no burn brings the lander down slowly enough with the fuel of this difficulty')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--seed', type=int, required=True)
    parser.add_argument('--level', type=int, required=True, help='0 Easy, 1 Medium, 2 Hard, 3 Expert')
    parser.add_argument('--screen', default='480x640')
    parser.add_argument('--draw', type=int, help='the round draw 0..9 instead of the one the seed gives')
    parser.add_argument('--rest', default='0,0', help='the stored rest position X,Y')
    parser.add_argument('--out', help='the script file (default: standard output)')
    args = parser.parse_args()
    width, height = (int(v) for v in args.screen.lower().split('x'))
    rest = tuple(int(v) for v in args.rest.split(','))
    draw = args.draw if args.draw is not None else next(lander_model.randoms(args.seed)) % 10
    try:
        samples = plan(args.level, width, height, draw, rest)
    except ValueError as reason:
        print('autopilot: %s' % reason, file=sys.stderr)
        return UNREACHABLE
    lines = ['# autopilot: seed %d, level %d, screen %dx%d, draw %d, rest %d,%d'
             % (args.seed, args.level, width, height, draw, rest[0], rest[1])]
    lines += ['%d %d' % sample for sample in samples]
    text = '\n'.join(lines) + '\n'
    if args.out:
        with open(args.out, 'w') as out:
            out.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
