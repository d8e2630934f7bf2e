"""The harness of the end-to-end tests: one Xvfb, one Wine prefix, and the game run through the launcher
in the phone, looked at from outside (trace file, registry, screenshots, the probe in the phone's desktop)
and driven like a player (soft keys and menu keys through the X server)."""
import os
import re
import shutil
import subprocess
import sys
import time

from PIL import Image

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
sys.path.insert(0, os.path.join(ROOT, 'tools'))
import lander_model  # noqa: E402

WINE64 = '/usr/lib/wine/wine64' if os.path.exists('/usr/lib/wine/wine64') else 'wine'
INSTALL = r'C:\Program Files\craterDip'
SETTINGS_KEY = r'HKCU\Software\tundraBit\craterDip'

# Items of the Options pop-up, by how many Down presses past its first item they lie (separators skipped).
MENU = {'About': 0, 'Calibrate Tilt': 1, 'Expert': 2, 'Hard': 3, 'Medium': 4, 'Easy': 5, 'Exit': 6}
LEVEL_NAMES = ('Easy', 'Medium', 'Hard', 'Expert')

PAD = (0, 0, 156)
WHITE = (255, 255, 255)
RED = (255, 0, 0)


class Failure(AssertionError):
    pass


def wait_until(what, condition, timeout, interval=0.05):
    """Polls condition() until it gives a true value, which is returned; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure('timed out after %gs waiting for %s' % (timeout, what))
        time.sleep(interval)


def bar_height(width, height):
    return 26 if min(width, height) < 480 else 52


class Layout:
    """Where the scene's elements lie in client pixels on a screen, from the layout constants."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.sx = lander_model.scale(width, 480)
        self.sy = lander_model.scale(height, 640)
        t = lander_model.trunc
        f32 = lander_model.f32
        self.pad_y = t(515.0 * self.sy)
        self.pad_width = t(4.0 * self.sy + 1.0)
        self.status = (t(310.0 * self.sx), 20, t(f32(f32(480.0) * self.sx)), t(f32(f32(200.0) * self.sy)))
        self.score = (t(170.0 * self.sx), t(f32(f32(300.0) * self.sy)), t(f32(f32(480.0) * self.sx)),
                      t(f32(f32(400.0) * self.sy)))
        small = self.sx < 1.0 or self.sy < 1.0
        self.sprite = (25, 25) if small else (50, 40)

    def lander_box(self, lander_x, altitude):
        t = lander_model.trunc
        left = lander_x - t(25.0 * self.sx)
        top = t(475.0 * self.sy) - altitude - (5 if self.sy < 1.0 else 0)
        return left, top, left + self.sprite[0], top + self.sprite[1]


def is_gold(p):
    """The lander's foil: a warm yellow the moonscape never has."""
    r, g, b = p[:3]
    return r > 150 and g > 100 and b < 90 and r - b > 100 and r > g


def is_fire(p):
    """The explosion's fire and smoke edges: strongly red-orange or yellow."""
    r, g, b = p[:3]
    return r > 140 and b < 110 and r - b > 90


def ask_probe(probe, command):
    """One line to a running probe and its one-line answer."""
    probe.stdin.write(command + '\n')
    probe.stdin.flush()
    answer = probe.stdout.readline().strip()
    if not answer:
        raise Failure('the probe ended (asked %r)' % command)
    return answer


def quit_probe(probe):
    """Asks a running probe to end, and ends it if it does not."""
    if probe and probe.poll() is None:
        try:
            probe.stdin.write('quit\n')
            probe.stdin.flush()
            probe.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            probe.kill()


class Phone:
    """One Xvfb and one Wine prefix for all the runs of a test session."""

    def __init__(self, bin_dir, work):
        self.bin = bin_dir
        self.work = work
        os.makedirs(work, exist_ok=True)
        self.prefix = os.path.join(work, 'prefix')
        self.xvfb = None
        self.env = dict(os.environ)
        for name in ('CRATERDIP_SEED', 'CRATERDIP_TILT_SCRIPT', 'CRATERDIP_TRACE'):
            self.env.pop(name, None)
        self.env.update(CRATERDIP_PREFIX=self.prefix, CRATERDIP_BIN=bin_dir, WINEPREFIX=self.prefix,
                        WINEDEBUG='-all', WINEDLLOVERRIDES='mscoree,mshtml=')

    def start(self, screen='1024x1024x24'):
        """Starts the Xvfb of the session, with a root window of `screen` (WxHxDEPTH)."""
        self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', '1', '-screen', '0', screen, '-nolisten',
                                      'tcp', '-noreset'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        display = self.xvfb.stdout.readline().decode().strip()
        if not display:
            raise Failure('Xvfb did not start')
        self.env['DISPLAY'] = ':' + display

    def stop(self):
        subprocess.run(['wineserver', '-k'], env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    def wine(self, *args, check=True):
        done = subprocess.run([WINE64] + list(args), env=self.env, capture_output=True, text=True)
        if check and done.returncode != 0:
            raise Failure('wine %s failed: %s' % (' '.join(args), done.stderr))
        return done

    def reg_value(self, name):
        """A DWORD of the settings key as a signed number, or None when it is missing."""
        done = self.wine('reg', 'query', SETTINGS_KEY, '/v', name, check=False)
        match = re.search(r'%s\s+REG_DWORD\s+0x([0-9a-fA-F]+)' % name, done.stdout)
        if not match:
            return None
        value = int(match.group(1), 16)
        return value - (1 << 32) if value >= 1 << 31 else value

    def prefix_screen(self):
        """The screen size the launcher last set the prefix up for, or None before its first run."""
        try:
            with open(os.path.join(self.prefix, '.craterdip', 'screen')) as state:
                return state.read().strip()
        except FileNotFoundError:
            return None

    def clear_settings(self):
        if self.prefix_screen() is not None:  # a prefix not made yet has no settings
            self.wine('reg', 'delete', SETTINGS_KEY, '/f', check=False)

    def screenshot(self, width, height):
        png = subprocess.run(['import', '-display', self.env['DISPLAY'], '-window', 'root', 'png:-'],
                             capture_output=True, check=True).stdout
        from io import BytesIO
        return Image.open(BytesIO(png)).convert('RGB').crop((0, 0, width, height))

    def key(self, *names):
        for name in names:
            subprocess.run(['xdotool', 'key', '--delay', '30', name], env=self.env, check=True)
            time.sleep(0.05)


class Run:
    """One start of the game in the phone: through the launcher, or (direct=True) the phone shell itself
    with extra options, for the runs the launcher does not offer (no service, no sensor library)."""

    def __init__(self, phone, name, screen=(480, 640), seed=7, samples=(), phone_args=(), game=None,
                 launcher_args=()):
        self.phone = phone
        self.name = name
        self.width, self.height = screen
        self.layout = Layout(*screen)
        self.seed = seed
        self.script = os.path.join(phone.work, name + '.tilt')
        with open(self.script, 'w') as out:
            out.write(''.join('%d %d\n' % s for s in samples))
        self.trace = os.path.join(phone.work, name + '.trace')
        if os.path.exists(self.trace):
            os.remove(self.trace)
        self.log = open(os.path.join(phone.work, name + '.log'), 'w')
        self.probe = None
        self.client = None
        env = dict(phone.env)
        if (phone_args or game) and phone.prefix_screen() != '%dx%d' % screen:
            # The phone shell started directly runs on the desktop the launcher last set up: set it up.
            subprocess.run([os.path.join(ROOT, 'craterdip'), '--screen', '%dx%d' % screen, '--exit-after', '0'],
                           env=phone.env, stdout=self.log, stderr=subprocess.STDOUT, timeout=300)
        if phone_args or game:
            env.update(CRATERDIP_SEED=str(seed), CRATERDIP_TILT_SCRIPT='Z:' + self.script.replace('/', '\\'),
                       CRATERDIP_TRACE='Z:' + self.trace.replace('/', '\\'))
            command = [WINE64, INSTALL + r'\phone.exe'] + list(phone_args)
            if game:
                command += ['--game', game]
        else:
            command = [os.path.join(ROOT, 'craterdip'), '--screen', '%dx%d' % screen, '--seed', str(seed),
                       '--tilt-script', self.script, '--trace', self.trace] + list(launcher_args)
        self.process = subprocess.Popen(command, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.wait_trace('game started', timeout=120)
            self.probe = subprocess.Popen([WINE64, os.path.join(phone.bin, 'probe.exe')], env=phone.env,
                                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            if self.probe.stdout.readline().strip() != 'ready':
                raise Failure('the probe did not start')
        except Exception:
            self.kill()
            raise

    # ---- looking ----------------------------------------------------------------------------------------
    def ask(self, command):
        return ask_probe(self.probe, command)

    def wait_window(self, window_class, title, timeout=30):
        answer = self.ask('wait %s %s %d' % (window_class, title.replace(' ', '_'), timeout * 1000))
        if not answer.startswith('ok'):
            raise Failure('no window %s "%s" within %ds' % (window_class, title, timeout))
        return tuple(int(v) for v in answer.split()[1:])

    def wait_gone(self, window_class, title, timeout=30):
        if self.ask('gone %s %s %d' % (window_class, title.replace(' ', '_'), timeout * 1000)) != 'ok':
            raise Failure('window %s "%s" still there after %ds' % (window_class, title, timeout))

    def count_windows(self, window_class, title):
        return int(self.ask('count %s %s' % (window_class, title.replace(' ', '_'))).split()[1])

    def window_texts(self, window_class, title):
        answer = self.ask('texts %s %s' % (window_class, title.replace(' ', '_')))
        return answer[3:].split('|') if answer.startswith('ok') else []

    def wait_samples(self, count, timeout=60):
        answer = self.ask('samples %d %d' % (count, timeout * 1000))
        if not answer.startswith('ok'):
            raise Failure('the game did not read %d tilt samples within %ds (%s)' % (count, timeout, answer))
        return int(answer.split()[1])

    def game_window(self, timeout=60):
        self.wait_window('craterDipClass', 'craterDip', timeout)
        answer = self.ask('client craterDipClass craterDip')
        x, y, w, h = (int(v) for v in answer.split()[1:])
        self.client = (x, y, w, h)
        return self.client

    def trace_lines(self):
        try:
            with open(self.trace) as trace:
                return [line.rstrip('\n').split(' ', 1)[1] for line in trace if ' ' in line]
        except FileNotFoundError:
            return []

    def count_trace(self, pattern):
        return sum(1 for line in self.trace_lines() if re.search(pattern, line))

    def wait_trace(self, pattern, count=1, timeout=60):
        wait_until('%d trace line(s) matching %r in %s' % (count, pattern, self.name),
                   lambda: self.count_trace(pattern) >= count or self.ended(), timeout)
        if self.count_trace(pattern) < count:
            raise Failure('%s ended before %d trace line(s) matching %r; trace: %s'
                          % (self.name, count, pattern, self.trace_lines()))

    def scene(self):
        """A screenshot of the game's client area."""
        x, y, w, h = self.client
        return self.phone.screenshot(self.width, self.height).crop((x, y, x + w, y + h))

    def save(self, image, label):
        folder = os.path.join(self.phone.work, 'screens')
        os.makedirs(folder, exist_ok=True)
        image.save(os.path.join(folder, '%s-%s.png' % (self.name, label)))

    # ---- acting -----------------------------------------------------------------------------------------
    def focus(self):
        # Keys go to the X window that has the keyboard focus, the game's; the pointer rests on the taskbar, out
        # of the game's way.
        subprocess.run(['xdotool', 'mousemove', '3', '3'], env=self.phone.env, check=True)

    def soft_key(self, which):
        # The soft keys reach the bar through the game's keyboard: when another window of the phone is in
        # front, tap the game first, as a player would.
        if self.ask('front') != 'ok craterDipClass':
            x, y, w, _ = self.game_window(10)
            subprocess.run(['xdotool', 'mousemove', str(x + w // 2), str(y + 2), 'click', '1'],
                           env=self.phone.env, check=True)
        self.focus()
        self.phone.key({'left': 'F1', 'right': 'F2'}[which])

    def menu(self, item):
        """Chooses an item of the Options pop-up, with the keys a player would use. A key pressed while the
        machine is busy can be lost on its way through the X server, so the soft key is pressed again when
        no pop-up shows (a press that arrives late and a second one close each other; the third opens)."""
        for attempt in range(3):
            self.soft_key('right')
            try:
                self.wait_window('#32768', '-', 8)
                break
            except Failure:
                if attempt == 2:
                    keys = [line for line in self.trace_lines() if line.startswith('soft key')]
                    raise Failure('no Options pop-up after three presses; in front: %s; %s; keys seen: %s'
                                  % (self.ask('front'), self.ask('input'), keys))
        self.phone.key('Home', *(['Down'] * MENU[item]), 'Return')
        self.wait_gone('#32768', '-', 10)

    def dismiss_error(self, text, timeout=60):
        """Waits for the "Error" message box with `text`, checks it, and presses its OK button."""
        self.wait_window('#32770', 'Error', timeout)
        texts = self.window_texts('#32770', 'Error')
        if text not in texts:
            raise Failure('the Error box says %r, not %r' % (texts, text))
        # The box may take a moment to become the active window after it shows: press again until it goes.
        for attempt in range(5):
            self.focus()
            self.phone.key('Return')
            if self.ask('gone #32770 Error 2000') == 'ok':
                return
        raise Failure('the Error box "%s" did not close on Return' % text)

    # ---- ending -----------------------------------------------------------------------------------------
    def ended(self):
        return self.process.poll() is not None

    def wait_exit(self, timeout=60):
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure('%s did not end within %ds' % (self.name, timeout))
        self.close_probe()
        return code

    def close_probe(self):
        quit_probe(self.probe)
        self.log.close()

    def kill(self):
        if self.process.poll() is None:
            subprocess.run(['wineserver', '-k'], env=self.phone.env, stderr=subprocess.DEVNULL)
            self.process.wait(30)
        self.close_probe()
