#!/usr/bin/python3
"""The launcher's answers before it starts Wine: bad options are refused with a one-line reason (exit 2),
good ones reach the display check, and without a display it says so in one line naming the demo (exit 3).
Install (with CRATERDIP_TEST_BUILD and CRATERDIP_TEST_VERSION): one DESTDIR install, what it must hold, its
launcher playing a scripted round with no checkout beside it, the Debian package made from it with lintian's
verdict, and its uninstall."""
import glob
import os
import subprocess
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
LAUNCHER = os.path.join(ROOT, 'craterdip')
BUILD, VERSION = os.environ.get('CRATERDIP_TEST_BUILD'), os.environ.get('CRATERDIP_TEST_VERSION')


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


# What an install holds under PREFIX: the launcher, the programs, the assets, the menu entry, icons, manual.
HOLDS = ['bin/craterdip', 'share/applications/craterdip.desktop', 'share/man/man6/craterdip.6',
         'share/icons/hicolor/48x48/apps/craterdip.png', 'share/icons/hicolor/256x256/apps/craterdip.png'] + [
    'lib/craterdip/' + name for name in ('craterDip.exe', 'phone.exe', 'aygshell.dll', 'HTCSensorSDK.dll')] + [
    'share/craterdip/' + os.path.basename(f) for f in glob.glob(ROOT + '/assets/*.[gw][ia][fv]') + ['version']]


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)


def files(top):
    return sorted(os.path.relpath(os.path.join(d, f), top) for d, _, names in os.walk(top) for f in names)


@unittest.skipUnless(BUILD, 'CRATERDIP_TEST_BUILD names no build folder')
class Install(unittest.TestCase):
    def test_install(self):
        with tempfile.TemporaryDirectory() as tmp:
            stage, prefix = tmp + '/stage', tmp + '/stage/usr/local'
            run('cmake', '--install', BUILD, '--prefix', '/usr/local', env=dict(os.environ, DESTDIR=stage))
            self.assertEqual(sorted(HOLDS), files(prefix))
            self.assertEqual(['craterdip %s\n' % VERSION, '', True], [
                run(prefix + '/bin/craterdip', '--version').stdout,
                run('desktop-file-validate', prefix + '/share/applications/craterdip.desktop').stdout,
                '.SH ENVIRONMENT' in open(prefix + '/share/man/man6/craterdip.6').read()])

            # The player's prefix stays in the build folder: only the first run sets one up.
            data, trace = os.path.abspath(BUILD) + '/install-test', tmp + '/trace'
            with subprocess.Popen(['Xvfb', '-displayfd', '1', '-nolisten', 'tcp'], stdout=subprocess.PIPE) as xvfb, \
                    open(tmp + '/out', 'w') as out:  # not a pipe: Wine's lasting server would hold it open
                env = {k: v for k, v in os.environ.items() if not k.startswith(('CRATERDIP_', 'WINE'))}
                env.update(DISPLAY=':' + xvfb.stdout.readline().decode().strip(), HOME=tmp, XDG_DATA_HOME=data)
                try:
                    code = subprocess.run([prefix + '/bin/craterdip', '--seed', '2027', '--tilt-script', ROOT +
                                           '/demo/landing-medium.tilt', '--trace', trace, '--exit-after', '4'],
                                          env=env, stdout=out, stderr=out, timeout=300).returncode
                finally:
                    run('wineserver', '-k', env=dict(env, WINEPREFIX=data + '/craterdip/prefix'))
                    xvfb.kill()
            self.assertEqual(0, code, open(tmp + '/out').read())
            self.assertRegex(open(trace).read(), r'sound .*\\cheer\.wav\n(.*\n)*\d+ game exited 0\n')

            deb = run(ROOT + '/package/make-deb', BUILD, VERSION, tmp).stdout.strip()
            fields = dict(line.split(': ', 1) for line in run('dpkg-deb', '-f', deb).stdout.splitlines() if ': ' in line)
            self.assertEqual(['craterdip', VERSION, 'amd64', 'games', 'wine, wine64, x11-utils'],
                             [fields.get(k) for k in ('Package', 'Version', 'Architecture', 'Section', 'Depends')])
            # Debian's places: games in /usr/games, manual pages compressed, a copyright and a changelog.
            moved = {'bin/craterdip': 'games/craterdip', 'share/man/man6/craterdip.6': 'share/man/man6/craterdip.6.gz'}
            self.assertEqual(sorted([moved.get(f, f) for f in HOLDS] + ['share/doc/craterdip/changelog.gz',
                                                                        'share/doc/craterdip/copyright']),
                             run('dpkg-deb', '-x', deb, tmp + '/deb') and files(tmp + '/deb/usr'))
            self.assertNotRegex(run('lintian', deb).stdout, '(?m)^E:')

            run(ROOT + '/package/uninstall', BUILD, stage, '/usr/local')
            self.assertEqual([], files(stage))


if __name__ == '__main__':
    unittest.main()
