#!/usr/bin/python3
"""The autopilot's landings, checked on the independent model: every difficulty can be won for every pad
position at 480x640, exactly the out-of-reach pads of narrow screens are refused, and the tilt readings it
writes give the steps and thrusts it means."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tools')
sys.path.insert(0, TOOLS)
import autopilot  # noqa: E402
import lander_model  # noqa: E402

LEVELS = ('Easy', 'Medium', 'Hard', 'Expert')


def fly_script(level, width, height, draw, samples, rest=(0, 0)):
    """Plays the samples on a fresh model round, one per tick that reads the sensor, as the game does."""
    game = lander_model.Round(level, width, height, draw, rest)
    feed = iter(samples)
    while not game.round_over:
        game.tick(*next(feed, (0, 0))) if game.reads_sample() else game.tick()
    return game, list(feed)


class Landings(unittest.TestCase):
    def test_every_pad_is_won_at_480x640(self):
        for level in range(4):
            for draw in range(10):
                with self.subTest(level=LEVELS[level], draw=draw):
                    samples = autopilot.plan(level, 480, 640, draw)
                    game, unused = fly_script(level, 480, 640, draw, samples)
                    self.assertFalse(game.crashed)
                    self.assertGreater(game.score, 0)
                    self.assertEqual([], unused, 'one line per tick that reads the sensor')

    def test_out_of_reach_pads(self):
        # (screen, level): the draws whose pad lies past the clamp of the lander's centre.
        table = [
            ((240, 320), 0, []), ((240, 320), 1, []), ((240, 320), 2, [9]), ((240, 320), 3, [5, 6, 7, 8, 9]),
            ((480, 800), 3, []), ((800, 480), 3, []), ((800, 480), 2, []),
        ]
        for (width, height), level, refused in table:
            for draw in range(10):
                with self.subTest(screen='%dx%d' % (width, height), level=LEVELS[level], draw=draw):
                    if draw in refused:
                        with self.assertRaisesRegex(ValueError, 'cannot be reached'):
                            autopilot.plan(level, width, height, draw)
                    else:
                        game, _ = fly_script(level, width, height, draw, autopilot.plan(level, width, height, draw))
                        self.assertFalse(game.crashed)

    def test_a_stored_rest_position_is_allowed_for(self):
        rest = (-120, 35)
        samples = autopilot.plan(2, 480, 640, 7, rest)
        game, _ = fly_script(2, 480, 640, 7, samples, rest)
        self.assertFalse(game.crashed)
        self.assertTrue(game.round_over)


class Readings(unittest.TestCase):
    def test_each_step_reading_moves_exactly_that_far(self):
        for step in range(-1638, 1639):
            reading = autopilot.tilt_for_step(step)
            if abs(step) == 7 or 17 <= abs(step) <= 24:
                self.assertIsNone(reading, step)
                continue
            game = lander_model.Round(1, 100000, 640, 0)  # wide enough that nothing clamps
            start = game.lander_x
            game.tick(reading, 0)
            self.assertEqual(step, game.lander_x - start, 'reading %d' % reading)

    def test_each_thrust_reading_fires_exactly_that_much(self):
        for thrust in range(7):
            game = lander_model.Round(1, 480, 640, 0)
            game.tick(0, autopilot.tilt_for_thrust(thrust))
            self.assertEqual(240 - thrust, game.fuel)

    def test_gaps_are_crossed_in_two_ticks(self):
        for distance in (7, -7, 17, 20, -24):
            first = autopilot.next_step(distance)
            self.assertIsNotNone(autopilot.tilt_for_step(first))
            self.assertIsNotNone(autopilot.tilt_for_step(distance - first))


class CommandLine(unittest.TestCase):
    def run_pilot(self, *args):
        return subprocess.run([sys.executable, os.path.join(TOOLS, 'autopilot.py')] + list(args),
                              capture_output=True, text=True)

    def test_writes_a_script_the_model_lands(self):
        with tempfile.TemporaryDirectory() as folder:
            script = os.path.join(folder, 'land.tilt')
            done = self.run_pilot('--seed', '42', '--level', '1', '--out', script)
            self.assertEqual(0, done.returncode, done.stderr)
            game = lander_model.play(42, 1, 480, 640, lander_model.read_script(script))
            self.assertFalse(game.crashed)

    def test_says_when_the_pad_cannot_be_reached(self):
        done = self.run_pilot('--seed', '1', '--level', '3', '--screen', '240x320', '--draw', '8')
        self.assertEqual(autopilot.UNREACHABLE, done.returncode)
        self.assertIn('cannot be reached', done.stderr)
        self.assertEqual('', done.stdout)


if __name__ == '__main__':
    unittest.main()
