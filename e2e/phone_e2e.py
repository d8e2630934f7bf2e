#!/usr/bin/python3
"""End-to-end tests: the real game in the phone, under Xvfb, played with scripted tilt and a fixed seed,
driven with the soft keys and menu keys a player uses, and checked from outside through the event trace,
the registry and screenshots probed at the layout's coordinates.

  phone_e2e.py --bin BUILD/bin --work BUILD/e2e [unittest options]
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import phone as ph  # noqa: E402
from phone import Failure, Layout, Run, wait_until  # noqa: E402
import autopilot  # noqa: E402  (tools/, put on the path by phone.py)
import lander_model  # noqa: E402

PHONE = None
CHEER = r'^sound .*\\cheer\.wav$'
CRASH = r'^sound .*\\destroyed\.wav$'


def draws(seed, count):
    values = lander_model.randoms(seed)
    return [next(values) % 10 for _ in range(count)]


def fly(level, screen, draw, samples, rest=(0, 0), level_at_touchdown=None):
    """The model's round for these samples: (round, number of samples it reads)."""
    game = lander_model.Round(level, screen[0], screen[1], draw, rest)
    feed = list(samples)
    used = 0
    while not game.round_over:
        if level_at_touchdown is not None and used >= 1:
            game.level = level_at_touchdown
        if game.reads_sample():
            sample = feed[used] if used < len(feed) else (0, 0)
            used += 1
            game.tick(*sample)
        else:
            game.tick()
    return game, used


def free_fall(level, screen, draw, rest=(0, 0)):
    """Samples that let the lander fall untouched: a crash."""
    game, used = fly(level, screen, draw, [], rest)
    return [rest] * used


def thrust_line(thrust, rest=(0, 0)):
    return (rest[0], rest[1] + autopilot.tilt_for_thrust(thrust))


def slow_landing(level, screen, draw, rest=(0, 0), judged_level=None, hover=30):
    """Samples that hover for a while and touch down between 8 and 12 pixels a tick: a landing only where
    the easy allowance applies. Returns (samples, model round)."""
    judged = level if judged_level is None else judged_level
    target = None
    game = lander_model.Round(level, screen[0], screen[1], draw, rest)
    window = autopilot.landing_window(game)
    target = (window[0] + window[1]) // 2
    for free in range(0, 120):
        game = lander_model.Round(level, screen[0], screen[1], draw, rest)
        samples = []
        while not game.round_over:
            if not game.reads_sample():
                game.tick()
                continue
            n = len(samples)
            if n >= 1:
                game.level = judged
            step = autopilot.next_step(target - game.lander_x)
            if n < 6:
                thrust = 6
            elif n < 6 + hover:
                thrust = 4
            elif n < 6 + hover + free:
                thrust = 0
            else:
                thrust = max(0, min(6, int(game.speed) + 4 - 12))
            sample = (rest[0] + autopilot.tilt_for_step(step), rest[1] + autopilot.tilt_for_thrust(thrust))
            samples.append(sample)
            game.tick(*sample)
        if not game.crashed and game.speed > 8.0:
            return samples, game
    raise AssertionError('no slow landing for draw %d' % draw)


class Scene:
    """Probes of one screenshot of the game's client area at the layout's coordinates."""

    def __init__(self, image, layout):
        self.image = image
        self.px = image.load()
        self.layout = layout
        self.w, self.h = image.size

    def pixels(self, box, test):
        left, top, right, bottom = (max(0, box[0]), max(0, box[1]), min(self.w, box[2]), min(self.h, box[3]))
        return [(x, y) for y in range(top, bottom) for x in range(left, right) if test(self.px[x, y])]

    def bounds(self, test, box=None):
        found = self.pixels(box or (0, 0, self.w, self.h), test)
        if not found:
            return None
        xs = [p[0] for p in found]
        ys = [p[1] for p in found]
        return min(xs), min(ys), max(xs) + 1, max(ys) + 1

    def pad_rows(self, x):
        return [y for y in range(self.h) if self.px[x, y] == ph.PAD]

    def check_pad(self, case, pad_left, pad_right, avoid=None):
        layout = self.layout
        if layout.pad_y - layout.pad_width // 2 >= self.h:
            # A landscape screen's layout puts the pad below the client area, behind the menu bar.
            case.assertEqual([], self.pixels((0, 0, self.w, self.h), lambda p: p == ph.PAD)[:5])
            return
        columns = [x for x in range(pad_left + 3, pad_right - 2) if 0 <= x < self.w and
                   not (avoid and avoid[0] - 2 <= x < avoid[2] + 2)]
        case.assertTrue(columns, 'no pad column to probe')
        for x in columns[:: max(1, len(columns) // 8)]:
            rows = self.pad_rows(x)
            case.assertEqual(layout.pad_width, len(rows), 'pad line width at x %d: rows %s' % (x, rows))
            case.assertEqual(list(range(rows[0], rows[0] + len(rows))), rows)
            case.assertTrue(rows[0] <= layout.pad_y < rows[-1] + 1 or
                            abs((rows[0] + rows[-1]) / 2 - layout.pad_y) <= 1, 'pad rows %s, y %d' % (rows, layout.pad_y))
        # Nothing of the pad's colour beyond its ends (round caps reach half a pen width at most).
        reach = layout.pad_width
        outside = self.pixels((0, 0, max(0, pad_left - reach), self.h), lambda p: p == ph.PAD)
        outside += self.pixels((pad_right + reach + 1, 0, self.w, self.h), lambda p: p == ph.PAD)
        case.assertEqual([], outside[:5])

    def status_box(self):
        """The bounds of the white text, and whether they lie in the status rectangle."""
        box = self.bounds(lambda p: p == ph.WHITE)
        status = self.layout.status
        inside = box is not None and status[0] <= box[0] and status[1] <= box[1] and box[2] <= status[2] and \
            box[3] <= status[3]
        return box, inside

    def score_shown(self):
        box = self.bounds(lambda p: p == ph.RED)
        score = self.layout.score
        return box is not None and score[0] <= box[0] and score[1] <= box[1] and box[2] <= score[2] and \
            box[3] <= score[3]

    def lander_box(self, lander_x, altitude):
        """The bounds of the lander's pixels, and whether they lie in its place."""
        expected = self.layout.lander_box(lander_x, altitude)
        gold = self.bounds(ph.is_gold)
        inside = gold is not None and expected[0] <= gold[0] and expected[1] <= gold[1] and \
            gold[2] <= expected[2] and gold[3] <= expected[3]
        return gold, expected, inside

    def fire(self, lander_x):
        box = self.layout.lander_box(lander_x, 0)
        explosion = (box[0], lander_model.trunc(475.0 * self.layout.sy), box[0] + 50, self.layout.pad_y)
        return len(self.pixels(explosion, ph.is_fire))


class PhoneTest(unittest.TestCase):
    maxDiff = None

    def start(self, name, **options):
        run = Run(PHONE, name, **options)
        self.addCleanup(run.kill)
        return run

    def check_client(self, run):
        width, height = run.width, run.height
        bar = ph.bar_height(width, height)
        expected = (0, bar, width, height - 2 * bar)
        # The window shows before start-up fits it above the menu bar: wait for the fitted place.
        try:
            wait_until('the fitted game window', lambda: run.game_window() == expected, 20, 0.1)
        except Failure:
            pass
        self.assertEqual(expected, run.client, 'the game fills the screen between the taskbar and the menu bar')

    def first_frame(self, run, pad):
        """The first frame: waits until the status text shows, then probes the pad line."""
        def drawn():
            scene = Scene(run.scene(), run.layout)
            return scene if scene.bounds(lambda p: p == ph.WHITE) else None
        scene = wait_until('the first frame', drawn, 30, 0.1)
        run.save(scene.image, 'first')
        scene.check_pad(self, pad.pad_left, pad.pad_right)
        return scene

    def wait_landed(self, run, lander_x, name):
        """The landed frame: the lander at rest in its place on the pad, the status text, the red score.
        The touchdown frame may still show the flame, so the frames after it are awaited."""
        def landed():
            scene = Scene(run.scene(), run.layout)
            ok = scene.score_shown() and scene.status_box()[1] and scene.lander_box(lander_x, 0)[2]
            return scene if ok else None
        try:
            scene = wait_until('the landed frame of ' + name, landed, 20, 0.1)
        except Failure:
            scene = Scene(run.scene(), run.layout)
        run.save(scene.image, name)
        gold, expected, inside = scene.lander_box(lander_x, 0)
        self.assertTrue(inside, 'lander pixels %s outside its place %s' % (gold, expected))
        box, inside = scene.status_box()
        self.assertTrue(inside, 'white text %s outside the status rectangle %s' % (box, run.layout.status))
        self.assertTrue(scene.score_shown(), 'red score in its rectangle %s' % (run.layout.score,))
        return scene

    def wait_crashed(self, run, lander_x, name):
        """The explosion on screen, then a still frame with the red score and no lander."""
        wait_until('the explosion of ' + name, lambda: Scene(run.scene(), run.layout).fire(lander_x) > 20, 10, 0)
        previous = [None]

        def still():
            image = run.scene()
            same = previous[0] is not None and list(image.getdata()) == list(previous[0].getdata())
            previous[0] = image
            return image if same else None
        image = wait_until('a still frame after ' + name, still, 20, 0.3)
        scene = Scene(image, run.layout)
        self.assertTrue(scene.score_shown(), 'red score after ' + name)
        self.assertEqual(0, scene.fire(lander_x), 'the explosion has ended')
        self.assertIsNone(scene.bounds(ph.is_gold), 'no lander after the explosion')
        run.save(image, name)

    def exit_by_menu(self, run):
        run.menu('Exit')
        self.assertEqual(0, run.wait_exit())
        self.assertEqual(1, run.count_trace(r'^game exited 0$'))

    # ---- cases ------------------------------------------------------------------------------------------
    def test_1_screens(self):
        """The layout on each screen: the pad line, the lander's place, the status text, the score."""
        seed = 5
        for screen in ((240, 320), (480, 800), (800, 480)):
            with self.subTest(screen=screen):
                PHONE.clear_settings()
                draw = draws(seed, 1)[0]
                samples = autopilot.plan(1, screen[0], screen[1], draw)
                game, _ = fly(1, screen, draw, samples)
                name = 'screen-%dx%d' % screen
                run = self.start(name, screen=screen, seed=seed, samples=samples)
                self.check_client(run)
                pad = lander_model.Round(1, screen[0], screen[1], draw)
                self.first_frame(run, pad)
                run.wait_trace(CHEER)
                scene = self.wait_landed(run, game.lander_x, 'landed')
                scene.check_pad(self, pad.pad_left, pad.pad_right,
                                avoid=run.layout.lander_box(game.lander_x, 0))
                self.exit_by_menu(run)

    def test_2_rounds_on_every_difficulty(self):
        """A landing and a crash on each difficulty, one after the other in one run through Restart, the
        difficulty chosen from the Options menu between rounds; About on the way; Exit saves the last."""
        seed, screen = 11, (480, 640)
        rounds = [(1, 'land'), (1, 'crash'), (0, 'land'), (0, 'crash'), (2, 'land'), (2, 'crash'),
                  (3, 'land'), (3, 'crash')]
        r = draws(seed, len(rounds))
        scripts = [autopilot.plan(level, 480, 640, r[i]) if outcome == 'land' else free_fall(level, screen, r[i])
                   for i, (level, outcome) in enumerate(rounds)]
        PHONE.clear_settings()
        run = self.start('rounds', seed=seed, samples=[s for script in scripts for s in script])
        self.check_client(run)
        self.first_frame(run, lander_model.Round(1, 480, 640, r[0]))
        read = lands = crashes = 0
        for i, (level, outcome) in enumerate(rounds):
            name = '%d-%s-%s' % (i + 1, ph.LEVEL_NAMES[level], outcome)
            if i > 0:
                if level != rounds[i - 1][0]:
                    run.menu(ph.LEVEL_NAMES[level])
                run.soft_key('left')
            game, used = fly(level, screen, r[i], scripts[i])
            self.assertEqual(outcome == 'crash', game.crashed)
            read += used
            if outcome == 'land':
                lands += 1
                run.wait_trace(CHEER, lands)
                self.wait_landed(run, game.lander_x, name)
            else:
                crashes += 1
                run.wait_trace(CRASH, crashes)
                run.wait_trace(r'^led 1 off$', 3 * crashes)
                self.wait_crashed(run, game.lander_x, name)
            self.assertEqual(crashes, run.count_trace(CRASH), name)
            self.assertEqual(lands, run.count_trace(CHEER), name)
            self.assertEqual(3 * crashes, run.count_trace(r'^led 1 on$'), name)
            self.assertEqual(read, run.wait_samples(read, 5), 'one tilt sample per flying tick, ' + name)
            if i == 0:
                run.menu('About')
                run.wait_window('#32770', 'About craterDip', 10)
                run.phone.key('Return')
                run.wait_gone('#32770', 'About craterDip')
        self.exit_by_menu(run)
        self.assertEqual(3, PHONE.reg_value('level'))

    def test_3_choices_mid_round_and_settings(self):
        """Easy chosen mid-round judges that round; Calibrate Tilt is saved at once; Restart in flight; a
        second start leaves one window; the difficulty is saved at Exit."""
        seed, screen = 23, (480, 640)
        rest = (400, -95)
        r = draws(seed, 3)
        round1, game1 = slow_landing(1, screen, r[0], judged_level=0)
        self.assertTrue(fly(1, screen, r[0], round1)[0].crashed, 'the first round crashes on Medium')
        burn = [thrust_line(6, rest)] * 50  # Easy's 300 units of fuel, then a long fall that reads nothing
        round3 = autopilot.plan(0, 480, 640, r[2], rest)
        PHONE.clear_settings()
        run = self.start('midround', seed=seed, samples=round1 + [rest] + burn + round3)
        self.check_client(run)
        run.wait_samples(1)
        run.menu('Easy')
        run.wait_trace(CHEER)
        self.assertEqual(len(round1), run.wait_samples(len(round1), 5))
        self.assertIsNone(PHONE.reg_value('level'), 'a difficulty is saved only at exit')

        run.menu('Calibrate Tilt')
        wait_until('the calibration in the registry',
                   lambda: PHONE.reg_value('tiltX') == rest[0] and PHONE.reg_value('tiltY') == rest[1], 20, 0.2)

        run.soft_key('left')
        run.wait_samples(len(round1) + 1 + len(burn))
        run.soft_key('left')  # during the flight: the tank is empty, the lander still far up
        run.wait_trace(CHEER, 2)
        self.assertEqual(0, run.count_trace(CRASH), 'the restarted round never touched down')

        second = PHONE.wine(os.path.join(PHONE.prefix, 'drive_c', 'Program Files', 'craterDip', 'craterDip.exe'),
                            check=False)
        self.assertEqual(0, second.returncode)
        self.assertEqual(1, run.count_windows('craterDipClass', 'craterDip'))

        self.exit_by_menu(run)
        self.assertEqual((0, rest[0], rest[1]),
                         (PHONE.reg_value('level'), PHONE.reg_value('tiltX'), PHONE.reg_value('tiltY')))

    def test_4_settings_kept_for_the_next_run(self):
        """The next run starts on the stored difficulty with the stored rest position: a slow touchdown
        that only Easy forgives, flown with readings around the stored rest, lands."""
        seed, screen = 31, (480, 640)
        rest = (400, -95)
        draw = draws(seed, 1)[0]
        samples, game = slow_landing(0, screen, draw, rest, hover=5)
        run = self.start('second-run', seed=seed, samples=samples)
        self.check_client(run)
        run.wait_trace(CHEER)
        self.wait_landed(run, game.lander_x, 'landed')
        self.exit_by_menu(run)

    def test_5_without_the_sensor_library(self):
        """Without HTCSensorSDK.dll the player is told once, and the game plays on with no tilt."""
        install = os.path.join(PHONE.prefix, 'drive_c', 'Program Files', 'craterDip')
        bare = os.path.join(PHONE.prefix, 'drive_c', 'nosensor')
        shutil.rmtree(bare, ignore_errors=True)
        os.makedirs(bare)
        for name in ('craterDip.exe', 'aygshell.dll'):
            shutil.copy(os.path.join(install, name), bare)
        run = self.start('no-sensor-library', seed=3, samples=[(0, -200)] * 50, game=r'C:\nosensor\craterDip.exe')
        run.dismiss_error('Unable to load Sensor DLL')
        self.check_client(run)
        run.wait_trace(CRASH)  # no sample is read: a free fall whatever the script says
        self.exit_by_menu(run)
        self.assertEqual(1, run.count_trace(CRASH))

    def test_6_without_the_sensor_service(self):
        """Without the service the player is told at start and at exit; the game plays in between."""
        seed = 41
        draw = draws(seed, 1)[0]
        PHONE.clear_settings()
        run = self.start('no-service', seed=seed, samples=autopilot.plan(1, 480, 640, draw),
                         phone_args=['--no-service'])
        run.dismiss_error('Unable to create Sensor Event')
        self.check_client(run)
        run.wait_trace(CHEER)
        run.menu('Exit')
        run.dismiss_error('Unable to create Sensor Event')
        self.assertEqual(0, run.wait_exit())

    def test_7_exit_after(self):
        """--exit-after closes the game as Exit does: the difficulty is saved and the exit code is 0."""
        PHONE.clear_settings()
        run = self.start('exit-after', seed=1, launcher_args=['--exit-after', '0'])
        self.assertEqual(0, run.wait_exit())
        self.assertEqual(1, run.count_trace(r'^phone closing the game$'))
        self.assertEqual(1, run.count_trace(r'^game exited 0$'))
        self.assertEqual(1, PHONE.reg_value('level'))


def main():
    global PHONE
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--bin', required=True)
    parser.add_argument('--work', required=True)
    args, rest = parser.parse_known_args()
    missing = [n for n in ('craterDip.exe', 'phone.exe', 'probe.exe', 'aygshell.dll', 'HTCSensorSDK.dll')
               if not os.path.exists(os.path.join(args.bin, n))]
    if missing:
        print('phone_e2e: not built yet: %s' % ', '.join(missing), file=sys.stderr)
        return 1
    PHONE = ph.Phone(os.path.abspath(args.bin), os.path.abspath(args.work))
    PHONE.start()
    started = time.monotonic()
    try:
        program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    finally:
        PHONE.stop()
    print('phone_e2e: %.0f s' % (time.monotonic() - started))
    return 0 if program.result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
