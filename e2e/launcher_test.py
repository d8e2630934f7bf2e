#!/usr/bin/python3
"""The launcher's answers before it starts Wine: bad options are refused with a one-line reason (exit 2),
good ones reach the display check, and without a display it says so in one line naming the demo (exit 3)."""
import os
import subprocess
import unittest

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'craterdip')


def launch(*args, display=None):
    env = {k: v for k, v in os.environ.items() if k != 'DISPLAY'}
    env.update({'DISPLAY': display} if display else {}, CRATERDIP_PREFIX='/nonexistent/never-made')
    return subprocess.run([LAUNCHER] + list(args), env=env, capture_output=True, text=True, timeout=30)


class Launcher(unittest.TestCase):
    def test_command_lines(self):
        # (arguments, exit code, a word of the one-line reason); exit 3 is the display check, past the options.
        table = [(['--screen', '480'], 2, 'WxH'), (['--screen', '480x640x2'], 2, 'WxH'),
                 (['--screen', '100x640'], 2, '160 to 4096'), (['--screen'], 2, 'needs'),
                 (['--seed', '-1'], 2, 'whole number'), (['--seed', '18446744073709551616'], 2, 'whole number'),
                 (['--exit-after', '1.5'], 2, 'whole seconds'), (['--exit-after', '90000'], 2, 'whole seconds'),
                 (['--tilt-script', '/nonexistent/x.tilt'], 2, 'cannot read'), (['--fullscreen'], 2, 'unknown'),
                 (['--phone', 'a b'], 2, 'HOST[:PORT]'), (['--phone', 'p:65536'], 2, 'HOST[:PORT]'),
                 (['--phone', 'p:0'], 2, 'HOST[:PORT]'), (['--phone', 'http://192.168.1.23'], 3, 'make demo'),
                 (['--phone', 'http://192.168.1.23:8080/'], 3, 'make demo'),
                 (['--seed', '18446744073709551615'], 3, 'make demo'), (['--exit-after', '0'], 3, 'make demo'),
                 (['--screen', '800x480'], 3, 'make demo'), ([], 3, 'no display')]
        for args, code, reason in table:
            with self.subTest(args=args):
                done = launch(*args, display=':0' if code == 2 else ':987')
                self.assertEqual((code, 1), (done.returncode, len(done.stderr.strip().splitlines())), done.stderr)
                self.assertIn(reason, done.stderr)
        self.assertFalse(os.path.exists('/nonexistent/never-made'))

    def test_help(self):
        done = launch('--help')
        self.assertEqual(0, done.returncode)
        for option in ('--screen', '--tilt-script', '--seed', '--trace', '--exit-after'):
            self.assertIn(option, done.stdout)


if __name__ == '__main__':
    unittest.main()
