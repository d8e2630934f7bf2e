#!/usr/bin/python3
"""Benchmark: how long the launcher takes from its start to the game's first frame on screen, warm (the
prefix set up, the Wine server running). Prints the figures; the target is under 2 s after the first start.

  first_frame_bench.py --bin BUILD/bin --work BUILD/bench [--runs 5]
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import phone_session as ph  # noqa: E402

WHITE = (255, 255, 255)
# The status text's first line at 480x640: x 310 to 480, from y 20 of the game's window, 52 pixels down.
STATUS_COLUMNS, STATUS_ROWS = range(310, 480), range(52 + 20, 52 + 36)


def first_frame(phone, name):
    """Seconds from the launcher's start to a screenshot showing the status text in the game's client area."""
    trace = os.path.join(phone.work, name + '.trace')
    if os.path.exists(trace):
        os.remove(trace)
    started = time.monotonic()
    process = phone.launch('--trace', trace, '--exit-after', '5')

    marks = {}

    def shown():
        for line in open(trace).read().splitlines() if os.path.exists(trace) else []:
            text = line.split(' ', 1)[1]
            marks.setdefault(text, time.monotonic() - started)
        image = phone.screenshot(480, 640)
        return any(image.getpixel((x, y)) == WHITE for y in STATUS_ROWS for x in STATUS_COLUMNS)
    ph.wait_until('the first frame', shown, 120, 0.02)
    elapsed = time.monotonic() - started
    process.wait(60)
    print('  %s: phone up %.2f s, game started %.2f s, first frame seen %.2f s'
          % (name, marks.get('phone up 480x640', -1), marks.get('game started', -1), elapsed))
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--bin', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    phone = ph.Phone(os.path.abspath(args.bin), os.path.abspath(args.work))
    try:
        cold = first_frame(phone, 'first')
        print('first start (prefix set up as needed): %.2f s' % cold)
        warm = [first_frame(phone, 'warm%d' % i) for i in range(args.runs)]
        print('warm starts: %s s; worst %.2f s (target under 2 s)' % (', '.join('%.2f' % t for t in warm), max(warm)))
    finally:
        phone.stop()


if __name__ == '__main__':
    main()
