#!/usr/bin/python3
"""The launcher's answers before it starts Wine: bad options are refused with a one-line reason (exit 2),
good ones reach the display check, and without a display it says so in one line naming the demo (exit 3)."""
import os
import subprocess
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
LAUNCHER = os.path.join(ROOT, 'craterdip')


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
        # Each option, and the prefix that holds the settings, as this launcher would use it.
        for option in ('--screen', '--tilt-script', '--seed', '--trace', '--exit-after', '--reset', 'never-made,'):
            self.assertIn(option, done.stdout)


    def test_packages(self):
        # Playing needs no test tools; a user (not root) missing a package is told to install as root, then
        # to play as themselves.
        plan = subprocess.run(['make', '-s', '-n', '-C', ROOT, 'play'], capture_output=True, text=True).stdout
        self.assertFalse({'googletest', 'xdotool', 'imagemagick'} & set(plan.split()), plan)
        with tempfile.TemporaryDirectory() as fake:  # an `id` that says the caller is not root
            with open(os.path.join(fake, 'id'), 'w') as user:
                user.write('#!/bin/sh\necho 1000\n')
            os.chmod(os.path.join(fake, 'id'), 0o755)
            done = subprocess.run([os.path.join(ROOT, 'tools', 'ensure-packages'), '--then', 'make play', 'no-such'],
                                  env=dict(os.environ, PATH=fake + ':' + os.environ['PATH']), capture_output=True,
                                  text=True)
        self.assertEqual([1, 'sudo make deps', 'then, as yourself:  make play'],
                         [done.returncode] + [line.split('with:  ')[-1] for line in done.stderr.splitlines()[1:]])


if __name__ == '__main__':
    unittest.main()
