#!/usr/bin/python3
"""The game in the phone, end to end: only what the real phone shows."""
# phone_e2e.py --bin BUILD/bin --work DIR [SCENARIO ...]
#
# The launcher sets the phone up once (a Wine virtual desktop under Xvfb) and must end its first game with
# exit code 0. Then each scenario stores its own settings, starts the phone shell, plays with the keys a
# player uses and watches from outside: the phone's event trace, the desktop's X windows (where they are,
# which one has the keyboard) and the registry. Every wait is for something observable; nothing is retried.
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
INSTALL = r'C:\Program Files\craterDip'
SETTINGS = r'HKEY_CURRENT_USER\Software\tundraBit\craterDip'
WINE64 = '/usr/lib/wine/wine64' if os.path.exists('/usr/lib/wine/wine64') else 'wine'
CHEER, CRASH = r'sound .*\\cheer\.wav$', r'sound .*\\destroyed\.wav$'
# The keys that reach an item of the Options pop-up from its first or its last item, and its command.
MENU = {'About': (['Home'], 113), 'Calibrate Tilt': (['Home', 'Down'], 114), 'Easy': (['End', 'Up'], 120),
        'Exit': (['End'], 119)}

# name: (settings stored before the start, the phone shell's options, tilt script, steps)
SCENARIOS = {
    'play': ({'level': 2, 'tiltX': 5, 'tiltY': 6}, [], '0 0\n', [
        ('window', 'craterDip', '0 52 480 536'),  # between the taskbar and the soft-key bar
        ('trace', '^gsensor ', 1),  # the game woke the sensor service, which wrote the orientation
        ('trace', CRASH, 1), ('trace', 'taskbar vibrator hidden', 3),  # free fall: a crash, three pulses shown
        ('key', 'F1'), ('trace', CRASH, 2),  # Restart, once the explosion has stopped the round
        ('menu', 'Easy'), ('menu', 'Calibrate Tilt'), ('stored', {'level': 2, 'tiltX': 0, 'tiltY': 0}),
        ('menu', 'About'), ('answer', 'About craterDip'),
        ('second start',),
        ('menu', 'Exit'), ('exit',), ('stored', {'level': 0, 'tiltX': 0, 'tiltY': 0})]),
    # The script lands only on Easy with that rest position: the stored settings were read at start-up.
    'stored settings': ({'level': 0, 'tiltX': 400, 'tiltY': -95}, [], 'easy-landing-at-rest.tilt', [
        ('trace', CHEER, 1), ('menu', 'Exit'), ('exit',), ('stored', {'level': 0, 'tiltX': 400, 'tiltY': -95}),
        ('reset',), ('stored', {'level': 1})]),  # forgotten: a first start plays Medium and saves only that
    'no sensor service': ({}, ['--no-service'], '0 0\n', [
        ('box', 'Unable to create Sensor Event'), ('answer', 'Error'), ('key', 'F1'),
        ('menu', 'Exit'), ('box', 'Unable to create Sensor Event'), ('answer', 'Error'), ('exit',)]),
}


def expect(what, get, want, timeout=30):
    deadline = time.monotonic() + timeout
    while get() != want:
        if time.monotonic() > deadline:
            what = what() if callable(what) else what
            raise AssertionError('waited %gs for %s to be %s, not %s' % (timeout, what, want, get()))
        time.sleep(0.05)


class Phone:
    def __init__(self, bin_dir, work):
        self.work, self.prefix = work, os.path.join(work, 'prefix')
        self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', '1', '-screen', '0', '640x800x24', '-nolisten', 'tcp'],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith('CRATERDIP_')}
        self.env.update(DISPLAY=':' + self.xvfb.stdout.readline().decode().strip(), CRATERDIP_PREFIX=self.prefix,
                        CRATERDIP_BIN=bin_dir, WINEPREFIX=self.prefix, WINEDEBUG='-all')
        setup = self.run(os.path.join(HERE, '..', 'craterdip'), '--exit-after', '0', timeout=300)
        if setup.returncode != 0:
            raise AssertionError('the launcher: exit code %d, %s' % (setup.returncode, setup.stdout))

    def run(self, *command, timeout=60):
        # The output goes through a file: Wine's lasting server would keep a pipe open.
        with tempfile.TemporaryFile('w+') as out:
            done = subprocess.run(command, env=self.env, stdout=out, stderr=out, timeout=timeout)
            out.seek(0)
            done.stdout = out.read()
        return done

    def x(self, *args):
        return self.run('xdotool', *args).stdout.strip()

    def store(self, values):
        with open(os.path.join(self.work, 'stored.reg'), 'w') as reg:
            reg.write('Windows Registry Editor Version 5.00\n\n[-%s]\n\n[%s]\n' % (SETTINGS, SETTINGS))
            reg.writelines('"%s"=dword:%08x\n' % (name, value & 0xFFFFFFFF) for name, value in values.items())
        self.run(WINE64, 'regedit', '/S', 'Z:' + reg.name.replace('/', '\\'))

    def stored(self):
        return {name: (int(value, 16) ^ 0x80000000) - 0x80000000 for name, value in
                re.findall(r'(\w+)\s+REG_DWORD\s+0x(\w+)', self.run(WINE64, 'reg', 'query', SETTINGS).stdout)}


class Game:
    """One start of the phone shell with the game, and the player's actions on it."""

    def __init__(self, phone, name, shell_args, script):
        self.phone, self.seen = phone, {}
        self.trace = os.path.join(phone.work, name.replace(' ', '-') + '.trace')
        open(self.trace, 'w').close()  # emptied; the phone appends to it
        if not script.endswith('.tilt'):  # the samples themselves
            open(self.trace + '.tilt', 'w').write(script)
            script = self.trace + '.tilt'
        script = os.path.join(HERE, script)
        env = dict(phone.env, CRATERDIP_SEED='7', CRATERDIP_TILT_SCRIPT='Z:' + script.replace('/', '\\'),
                   CRATERDIP_TRACE='Z:' + self.trace.replace('/', '\\'))
        self.log = open(self.trace + '.log', 'w')
        self.process = subprocess.Popen([WINE64, INSTALL + r'\phone.exe'] + shell_args, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)

    def lines(self):
        return [line.split(' ', 1)[-1] for line in open(self.trace).read().splitlines()]

    def wait_trace(self, pattern, count=1, timeout=30):
        expect(lambda: '%r in the trace (%s)' % (pattern, self.lines()[-10:]), lambda: min(count, sum(
            1 for line in self.lines() if re.search(pattern, line))), count, timeout)

    def counted(self, what):
        self.seen[what] = self.seen.get(what, 0) + 1
        return self.seen[what]

    def windows(self, name):
        # The game's visible X windows of that title; the phone's taskbar shows the game's title too.
        found = self.phone.x('search', '--onlyvisible', '--name', '^%s$' % re.escape(name)).split()
        return [w for w in found if '"craterdip.exe"' in self.phone.run('xprop', '-id', w, 'WM_CLASS').stdout]

    def place(self, name):
        info = ''.join(self.phone.run('xwininfo', '-id', w).stdout for w in self.windows(name)[:1])
        return ' '.join(re.findall(r'(?:Absolute upper-left [XY]|Width|Height): +(\d+)', info))

    def press(self, key, window='craterDip'):
        # A key is pressed once the window meant to get it holds the X keyboard focus.
        expect('the keyboard', lambda: self.phone.x('getwindowfocus', 'getwindowname'), window, 10)
        self.phone.x('key', key)

    def step(self, action, *args):
        if action == 'trace':
            self.wait_trace(*args)
        elif action == 'window':
            expect('"%s"' % args[0], lambda: self.place(args[0]), args[1])
        elif action == 'key':
            self.press(args[0])
            self.wait_trace('^soft key %s$' % args[0][1], self.counted(args[0]), 10)
        elif action == 'menu':
            keys, command = MENU[args[0]]
            self.step('key', 'F2')
            for key in keys + ['Return']:
                self.phone.x('key', key)
            self.wait_trace('^pop-up closed, command %d$' % command, self.counted(args[0]), 10)
        elif action == 'box':
            self.wait_trace('^message box Error: %s$' % args[0], self.counted(args[0]))
        elif action == 'answer':
            self.press('Return', args[0])
            expect('"%s" windows' % args[0], lambda: self.windows(args[0]), [], 10)
        elif action == 'stored':
            expect('the settings', self.phone.stored, args[0], 10)
        elif action == 'second start':
            code = self.phone.run(WINE64, INSTALL + r'\craterDip.exe').returncode
            expect('a second start\'s exit code, and the game windows', lambda: (code, len(self.windows(
                'craterDip'))), (0, 1), 0)
        elif action == 'reset':
            done = self.phone.run(os.path.join(HERE, '..', 'craterdip'), '--reset', '--exit-after', '0')
            expect('the launcher\'s --reset', lambda: (done.returncode, 'forgot' in done.stdout), (0, True), 0)
        elif action == 'exit':
            expect('the exit code', self.process.poll, 0)
            expect('the trace', lambda: 'game exited 0' in self.lines(), True, 0)

    def end(self):
        if self.process.poll() is None:
            self.phone.run('wineserver', '-k')
        self.log.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--bin', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('scenarios', nargs='*', default=list(SCENARIOS))
    args = parser.parse_args()
    started, failed = time.monotonic(), []
    os.makedirs(args.work, exist_ok=True)
    phone = Phone(os.path.abspath(args.bin), os.path.abspath(args.work))
    try:
        for name in args.scenarios:
            stored, shell_args, script, steps = SCENARIOS[name]
            phone.store(stored)
            game = Game(phone, name, shell_args, script)
            try:
                for step in steps:
                    game.step(*step)
                print('ok      %s' % name, flush=True)
            except AssertionError as failure:
                failed.append(name)
                print('FAILED  %s: %s: %s' % (name, step, failure), flush=True)
            finally:
                game.end()
    finally:
        phone.run('wineserver', '-k')
        phone.xvfb.terminate()
    print('phone_e2e: %d of %d scenarios passed in %.0f s'
          % (len(args.scenarios) - len(failed), len(args.scenarios), time.monotonic() - started))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
