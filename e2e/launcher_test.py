#!/usr/bin/python3
"""The launcher's answers before it starts Wine: bad options are refused with a reason, and without a display
it says so in one line and names the demo command."""
import os
import subprocess
import unittest

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'craterdip')


def launch(*args, display=None):
    env = {k: v for k, v in os.environ.items() if k != 'DISPLAY'}
    if display is not None:
        env['DISPLAY'] = display
    env['CRATERDIP_PREFIX'] = '/nonexistent/never-made'  # nothing here may reach Wine
    return subprocess.run([LAUNCHER] + list(args), env=env, capture_output=True, text=True, timeout=30)


class Options(unittest.TestCase):
    def test_refusals(self):
        table = [
            (['--screen', '480'], 'WxH'),
            (['--screen', '480x640x2'], 'WxH'),
            (['--screen', '100x640'], '160 to 4096'),
            (['--screen'], 'needs'),
            (['--seed', '-1'], 'whole number'),
            (['--seed', '18446744073709551616'], 'whole number'),
            (['--seed', 'abc'], 'whole number'),
            (['--exit-after', '1.5'], 'whole seconds'),
            (['--exit-after', '90000'], 'whole seconds'),
            (['--tilt-script', '/nonexistent/x.tilt'], 'cannot read'),
            (['--fullscreen'], 'unknown option'),
            (['--phone', 'a b'], 'HOST[:PORT]'),
            (['--phone', 'p:65536'], 'HOST[:PORT]'),
        ]
        for args, reason in table:
            with self.subTest(args=args):
                done = launch(*args, display=':0')
                self.assertEqual(2, done.returncode)
                self.assertIn(reason, done.stderr)
                self.assertEqual(1, len(done.stderr.strip().splitlines()))

    def test_accepted_edges_reach_the_display_check(self):
        for args in (['--seed', '18446744073709551615'], ['--seed', '0'], ['--exit-after', '0'],
                     ['--screen', '240x320'], ['--screen', '800x480'], ['--phone', 'http://192.168.1.23:8080/']):
            with self.subTest(args=args):
                done = launch(*args)
                self.assertEqual(3, done.returncode, done.stderr)

    def test_no_display_names_the_demo(self):
        for display in (None, ':987'):
            with self.subTest(display=display):
                done = launch(display=display)
                self.assertEqual(3, done.returncode)
                lines = done.stderr.strip().splitlines()
                self.assertEqual(1, len(lines), lines)
                self.assertIn('no display', lines[0])
                self.assertIn('make demo', lines[0])
                self.assertFalse(os.path.exists('/nonexistent/never-made'))

    def test_help(self):
        done = launch('--help')
        self.assertEqual(0, done.returncode)
        for option in ('--screen', '--tilt-script', '--seed', '--trace', '--exit-after'):
            self.assertIn(option, done.stdout)


if __name__ == '__main__':
    unittest.main()
