#!/usr/bin/python3
"""The fault matrix: the real game in the phone (one Xvfb, one Wine prefix) started once per row with broken
pictures, sounds, registry values, sensor pieces or odd screens, and checked from outside: no crash or
undefined-behaviour trap, no hang (every wait is bounded), the fallback on screen probed at the layout's
coordinates, the trace of sounds and vibration, the message boxes, exit code 0 and the settings afterwards.

  fault_matrix.py --bin BUILD/bin --faults BUILD/faults --work BUILD/faults/work [ROW ...]

Rows that cannot hide each other's faults share a run (a broken lander picture and a broken explosion strip,
say: the strip is only drawn once the lander is gone); a baseline run on each screen shows that every probe
sees the picture it looks for when nothing is broken.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
import phone as ph  # noqa: E402
from phone import Failure, wait_until  # noqa: E402
import autopilot  # noqa: E402  (tools/, put on the path by phone.py)
import lander_model  # noqa: E402
from PIL import Image  # noqa: E402

REPO = ph.ROOT
GAME_DIR = r'C:\faults\game'
ASSET_DIR = r'C:\faults\assets'
DEFAULT_DIR = r'C:\Program Files\craterDip'  # what "\Program Files\craterDip" names from the game's drive
SETTINGS_KEY = r'HKEY_CURRENT_USER\Software\tundraBit\craterDip'
INSTALL_KEY = r'HKEY_LOCAL_MACHINE\Software\Apps\tundraBit craterDip'
CRASH_PATTERNS = ('Unhandled exception', 'illegal instruction', 'page fault')

LARGE = (480, 640)
SMALL = (240, 320)
TINY_COLOUR = (0, 160, 0)
BLACK = (0, 0, 0)
LONG_259 = 'C:\\faults\\' + '\\'.join(['d' * 60] * 4) + '\\' + 'e' * (259 - 10 - 4 * 61)
LONG_300 = 'C:\\faults\\' + '\\'.join(['d' * 60] * 4) + '\\' + 'e' * (300 - 10 - 4 * 61)
SEED = 7
DRAW = next(lander_model.randoms(SEED)) % 10


# ---- the broken files ---------------------------------------------------------------------------------
def picture_variant(kind, name, folder):
    """Writes the `kind` of broken picture `name` into folder; returns its path, or None for 'missing'."""
    path = os.path.join(folder, kind + '-' + name)
    if kind == 'missing':
        return None
    if os.path.exists(path):
        return path
    if kind == 'empty':
        open(path, 'wb').close()
    elif kind == 'truncated':
        with open(os.path.join(REPO, 'assets', name), 'rb') as good:
            data = good.read()
        with open(path, 'wb') as out:
            out.write(data[:len(data) // 2])
    elif kind == 'text':
        with open(path, 'w') as out:
            out.write('This is a text file, not a picture.\n')
    elif kind in ('tiny', 'huge', 'strip9'):
        size = {'tiny': (1, 1), 'huge': (10000, 10000), 'strip9': (9, 60)}[kind]
        image = Image.new('P', size, 0)
        # One colour: a few kilobytes on disk even at 10000 x 10000. The 9-pixel strip is fire-coloured
        # but for its top-left key pixel, so any frame drawn from it would show.
        image.putpalette(list(TINY_COLOUR) + [255, 90, 0] + [0] * 762)
        if kind == 'strip9':
            image.paste(1, (0, 0, 9, 60))
            image.putpixel((0, 0), 0)
        image.save(path)
    return path


def sound_variant(kind, name, folder):
    path = os.path.join(folder, kind + '-' + name)
    if kind == 'missing':
        return None
    with open(path, 'wb') as out:
        out.write(b'RIFF\x04\x00\x00\x00WAVE' if kind == 'corrupt' else b'')
    return path


# ---- registry -----------------------------------------------------------------------------------------
def reg_string(text):
    return '"%s"' % text.replace('\\', '\\\\')


def reg_data(kind, value):
    """The .reg notation of one value."""
    if kind == 'dword':
        return 'dword:%08x' % (value & 0xFFFFFFFF)
    if kind == 'sz':
        return reg_string(value)
    if kind == 'binary':
        return 'hex:' + ','.join('%02x' % b for b in value)
    if kind == 'qword':
        return 'hex(b):' + ','.join('%02x' % b for b in (value & (1 << 64) - 1).to_bytes(8, 'little'))
    raise ValueError(kind)


def parse_reg_query(text):
    """{name: (type, value)} from `reg query`: DWORDs as signed numbers, other data as printed."""
    values = {}
    for line in text.splitlines():
        match = re.match(r'\s+(\S+)\s+(REG_\w+)\s*(.*)$', line)
        if match:
            name, kind, data = match.groups()
            if kind == 'REG_DWORD':
                number = int(data, 16)
                data = number - (1 << 32) if number >= 1 << 31 else number
            values[name] = (kind, data)
    return values


# ---- the rows -----------------------------------------------------------------------------------------
class Row:
    """One run of the game and what it must show. `pictures` and `sounds` map a file to its fault;
    `settings` are the values stored before the run as (name, kind, value); `kept` the values expected
    afterwards (None: the stored ones, with "level" rewritten as a REG_DWORD of `level`)."""

    def __init__(self, name, screen=LARGE, pictures=None, sounds=None, install_dir=ASSET_DIR, settings=(),
                 level=1, sensor='real', shell='real', service=True, flight='crash', samples=None, rest=(0, 0),
                 boxes=(), exit_boxes=(), folder_files=True, tried=''):
        self.name = name
        self.screen = screen
        self.pictures = pictures or {}
        self.sounds = sounds or {}
        self.install_dir = install_dir
        self.settings = list(settings)
        self.level = level
        self.sensor = sensor
        self.shell = shell
        self.service = service
        self.flight = flight
        self.samples = samples
        self.rest = rest
        self.boxes = boxes
        self.exit_boxes = exit_boxes
        self.folder_files = folder_files
        self.tried = tried

    @property
    def small(self):
        return lander_model.scale(self.screen[0], 480) < 0.8 or lander_model.scale(self.screen[1], 640) < 0.8

    def fault(self, name):
        return self.pictures.get(name)

    def lander_file(self):
        return 'mlander_small.gif' if self.small else 'mlander.gif'

    def flame_file(self):
        return 'mlander_fire_small.gif' if self.small else 'mlander_fire.gif'

    def assets_reachable(self):
        """Whether the game finds its files: the folder it names exists and every name fits."""
        return self.folder_files


KINDS = ('missing', 'empty', 'truncated', 'text', 'tiny', 'huge')
SENSOR_FOR_KIND = {'missing': 'missing', 'empty': 'noopen', 'truncated': 'nodata', 'text': 'noclose',
                   'tiny': 'nullopen'}
SENSOR_BOX = {'missing': 'Unable to load Sensor DLL', 'noopen': 'Unable to find entry point',
              'nodata': 'Unable to find entry point', 'noclose': 'Unable to find entry point'}
EXTREME = [(32767, 32767), (-32768, -32768), (-32768, -32768), (32767, -32767), (-32768, 32767),
           (32767, -32768), (-32767, -32768), (0, -32768)]


def picture_rows():
    rows = []
    for kind in KINDS:
        sensor = SENSOR_FOR_KIND.get(kind, 'real')
        rows.append(Row(
            'large-lander-' + kind, LARGE,
            pictures={'back.gif': kind, 'mlander.gif': kind, 'explosion.gif': kind},
            sounds={'destroyed.wav': {'missing': 'missing', 'text': 'corrupt'}.get(kind, 'good')},
            sensor=sensor, boxes=(SENSOR_BOX[sensor],) if sensor in SENSOR_BOX else (),
            samples=[(0, -200)] * 60 if sensor != 'real' else None))
        rows.append(Row(
            'large-flame-' + kind, LARGE, pictures={'mlander_fire.gif': kind},
            sounds={'cheer.wav': {'missing': 'missing', 'empty': 'corrupt'}.get(kind, 'good')},
            shell='nonotify' if kind == 'huge' else 'real', flight='land'))
    rows.append(Row('large-strip9', LARGE, pictures={'explosion.gif': 'strip9'}, sounds={'destroyed.wav': 'missing'}))
    for kind in KINDS:
        rows.append(Row('small-lander-' + kind, SMALL, pictures={'mlander_small.gif': kind}))
        rows.append(Row('small-flame-' + kind, SMALL, pictures={'mlander_fire_small.gif': kind}, flight='land'))
    return rows


def registry_rows():
    level = 'level'
    return [
        Row('installdir-empty', install_dir='', folder_files=True, flight='land', level=1,
            settings=[(level, 'sz', '3')]),
        Row('installdir-259', install_dir=LONG_259, folder_files=False, flight='land', level=1,
            settings=[(level, 'binary', b'\x03\x00')]),
        Row('installdir-300', install_dir=LONG_300, folder_files=True, flight='land', level=1,
            settings=[(level, 'qword', 3)]),
        Row('installdir-backslash', install_dir=ASSET_DIR + '\\', flight='land', level=-1,
            settings=[(level, 'dword', -1)]),
        Row('installdir-nowhere', install_dir=r'C:\faults\nowhere', folder_files=False, flight='land', level=7,
            settings=[(level, 'dword', 7)]),
        Row('level-intmax-tilt-intmin', flight='land', level=2147483647, rest=(-2147483648, 0),
            settings=[(level, 'dword', 2147483647), ('tiltX', 'dword', -2147483648), ('tiltY', 'dword', 0)]),
    ]


def sensor_rows():
    return [
        Row('extreme-samples-no-service', flight='crash', samples=EXTREME, service=False,
            boxes=('Unable to create Sensor Event',), exit_boxes=('Unable to create Sensor Event',)),
    ]


def screen_rows():
    return [Row('screen-120x160', (120, 160)), Row('screen-1080x1920', (1080, 1920))]


def baseline(screen):
    return Row('baseline-%dx%d' % screen, screen, flight='land-then-crash')


def all_rows():
    return ([baseline(LARGE)] + [r for r in picture_rows() if r.screen == LARGE] + registry_rows() +
            sensor_rows() + [baseline(SMALL)] + [r for r in picture_rows() if r.screen == SMALL] +
            screen_rows())


# ---- flights ------------------------------------------------------------------------------------------
def thrust_landing(level, width, height, draw, rest=(0, 0)):
    """A landing whose last burn keeps the engine on for at least 8 ticks in a row: (samples, the stretch of
    sample numbers (from 1) whose ticks thrust, the model round)."""
    game = lander_model.Round(level, width, height, draw)
    window = autopilot.landing_window(game)
    if window is None:
        raise Failure('no landing on level %d, draw %d' % (level, draw))
    for free_fall in range(200, -1, -1):
        result, samples = autopilot.fly(level, width, height, draw, rest, free_fall, 8)
        if not result.round_over or result.crashed:
            continue
        thrusting = [s[1] - rest[1] < -59 for s in samples]
        stretch = longest_run(thrusting)
        if stretch[1] - stretch[0] >= 8:
            return samples, stretch, result
    raise Failure('no landing with a long burn on level %d, draw %d' % (level, draw))


def longest_run(flags):
    best = (0, 0)
    start = None
    for i, flag in enumerate(flags + [False]):
        if flag and start is None:
            start = i
        elif not flag and start is not None:
            if i - start > best[1] - best[0]:
                best = (start + 1, i + 1)
            start = None
    return best


def model_flight(level, screen, samples, rest=(0, 0), reads=True):
    """The model's first round: the round and the lander's columns along the way."""
    game = lander_model.Round(level, screen[0], screen[1], DRAW, rest)
    used = 0
    xs = {game.lander_x}
    while not game.round_over:
        if game.reads_sample():
            sample = samples[used] if reads and used < len(samples) else (0, 0)
            used += 1
            game.tick(*sample)
        else:
            game.tick()
        xs.add(game.lander_x)
    return game, sorted(xs)


# ---- the phone ----------------------------------------------------------------------------------------
class FaultPhone(ph.Phone):
    """The harness's phone with a screen large enough for 1080 x 1920, the game installed in a folder whose
    libraries each row chooses, and one probe per desktop shared by the rows."""

    def __init__(self, bin_dir, faults, work):
        super().__init__(bin_dir, work)
        self.faults = faults
        self.drive_c = os.path.join(self.prefix, 'drive_c')
        self.screen = None
        self.probe = None
        self.variants = os.path.join(work, 'variants')
        os.makedirs(self.variants, exist_ok=True)
        self.baselines = {}

    def start(self):
        super().start('1152x1984x24')  # room for the 1080x1920 phone
        if not os.path.exists(os.path.join(self.prefix, 'system.reg')):
            subprocess.run(['wineboot', '-i'], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           stdin=subprocess.DEVNULL, timeout=300)
        subprocess.run(['wineserver', '-p600'], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        default = self.unix(DEFAULT_DIR)
        os.makedirs(default, exist_ok=True)
        for name in os.listdir(os.path.join(REPO, 'assets')):
            if name.endswith(('.gif', '.wav')):
                shutil.copy(os.path.join(REPO, 'assets', name), default)

    def stop(self):
        self.quit_probe()
        super().stop()

    def unix(self, windows_path):
        assert windows_path[:3].upper() == 'C:\\'
        return os.path.join(self.drive_c, *windows_path[3:].split('\\'))

    def regedit(self, lines, name):
        path = os.path.join(self.work, name + '.reg')
        with open(path, 'w') as out:
            out.write('Windows Registry Editor Version 5.00\n\n' + '\n'.join(lines) + '\n')
        self.wine_to_file('regedit', '/S', 'Z:' + path.replace('/', '\\'))

    def wine_to_file(self, *args):
        """Runs a Wine command with its output in a file: a pipe would stay open in the desktop process that
        the first Wine program of a session starts."""
        path = os.path.join(self.work, 'wine-output.txt')
        with open(path, 'w') as out:
            subprocess.run([ph.WINE64] + list(args), env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                           stdin=subprocess.DEVNULL, timeout=60)
        with open(path, errors='replace') as out:
            return out.read()

    def quit_probe(self):
        ph.quit_probe(self.probe)
        self.probe = None

    def use_screen(self, screen):
        """A desktop of the screen's size with the probe in it; a new size needs a new Wine session."""
        if self.screen == screen and self.probe and self.probe.poll() is None:
            return
        self.quit_probe()
        self.regedit(['[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]', '"Desktop"="craterDip"', '',
                      '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]', '"craterDip"="%dx%d"' % screen, '',
                      '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]', '"ShowCrashDialog"=dword:00000000'],
                     'desktop')
        subprocess.run(['wineserver', '-k'], env=self.env, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(['wineserver', '-w'], env=self.env, timeout=60)
        subprocess.run(['wineserver', '-p600'], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self.probe = subprocess.Popen([ph.WINE64, os.path.join(self.bin, 'probe.exe')], env=self.env,
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        if self.probe.stdout.readline().strip() != 'ready':
            raise Failure('the probe did not start')
        self.screen = screen

    def lost(self):
        """After a run had to be killed: the next row starts a fresh session."""
        self.screen = None
        self.probe = None

    def install(self, row):
        """The game's folder with the row's libraries, the asset folder with its files, the registry."""
        game = self.unix(GAME_DIR)
        shutil.rmtree(game, ignore_errors=True)
        os.makedirs(game)
        for name in ('craterDip.exe', 'phone.exe'):
            shutil.copy(os.path.join(self.bin, name), game)
        shell = os.path.join(self.faults, 'aygshell-nonotify') if row.shell == 'nonotify' else self.bin
        shutil.copy(os.path.join(shell, 'aygshell.dll'), game)
        if row.sensor == 'real':
            shutil.copy(os.path.join(self.bin, 'HTCSensorSDK.dll'), game)
        elif row.sensor != 'missing':
            shutil.copy(os.path.join(self.faults, 'sensor-' + row.sensor, 'HTCSensorSDK.dll'), game)

        assets = self.unix(ASSET_DIR)
        shutil.rmtree(assets, ignore_errors=True)
        os.makedirs(assets)
        for name in os.listdir(os.path.join(REPO, 'assets')):
            if not name.endswith(('.gif', '.wav')):
                continue
            kind = row.pictures.get(name) or row.sounds.get(name, 'good')
            if kind == 'good':
                source = os.path.join(REPO, 'assets', name)
            elif name.endswith('.gif'):
                source = picture_variant(kind, name, self.variants)
            else:
                source = sound_variant(kind, name, self.variants)
            if source:
                shutil.copy(source, os.path.join(assets, name))
        if row.install_dir == LONG_259:
            # The folder exists with every file: only the names' length keeps the game from them.
            long_folder = self.unix(LONG_259)
            if not os.path.isdir(long_folder):
                os.makedirs(long_folder)
                for name in os.listdir(os.path.join(REPO, 'assets')):
                    shutil.copy(os.path.join(REPO, 'assets', name), long_folder)

        lines = ['[-%s]' % SETTINGS_KEY, '']
        if row.settings:
            lines += ['[%s]' % SETTINGS_KEY] + ['"%s"=%s' % (n, reg_data(k, v)) for n, k, v in row.settings] + ['']
        lines += ['[%s]' % INSTALL_KEY, '"InstallDir"=%s' % reg_string(row.install_dir)]
        self.regedit(lines, 'row')

    def settings(self):
        return parse_reg_query(self.wine_to_file('reg', 'query', SETTINGS_KEY))

    def samples_so_far(self):
        answer = self.ask('samples 0 0')
        return int(answer.split()[1]) if answer.startswith('ok') else 0

    def ask(self, command):
        return ph.ask_probe(self.probe, command)


class FaultRun(ph.Run):
    """One start of the phone shell from the row's game folder, seen through the shared probe."""

    def __init__(self, phone, row, samples):
        self.phone = phone
        self.name = row.name
        self.width, self.height = row.screen
        self.layout = ph.Layout(*row.screen)
        self.seed = SEED
        self.script = os.path.join(phone.work, 'tilt.txt')
        with open(self.script, 'w') as out:
            out.write(''.join('%d %d\n' % s for s in samples))
        self.trace = os.path.join(phone.work, 'trace.txt')
        if os.path.exists(self.trace):
            os.remove(self.trace)
        self.log_path = os.path.join(phone.work, row.name + '.log')
        self.log = open(self.log_path, 'w')
        self.probe = phone.probe
        self.client = None
        self.base = phone.samples_so_far()
        env = dict(phone.env)
        env.update(CRATERDIP_SEED=str(SEED), CRATERDIP_TILT_SCRIPT='Z:' + self.script.replace('/', '\\'),
                   CRATERDIP_TRACE='Z:' + self.trace.replace('/', '\\'))
        command = [ph.WINE64, GAME_DIR + r'\phone.exe'] + ([] if row.service else ['--no-service'])
        self.process = subprocess.Popen(command, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.wait_trace('game started', timeout=60)
        except Exception:
            self.kill()
            raise

    def samples_read(self):
        return self.phone.samples_so_far() - self.base

    def close_probe(self):
        if not self.log.closed:
            self.log.close()

    def kill(self):
        if self.process.poll() is None:
            subprocess.run(['wineserver', '-k'], env=self.phone.env, stderr=subprocess.DEVNULL)
            self.process.wait(30)
            self.phone.lost()
        self.close_probe()

    def log_text(self):
        with open(self.log_path, errors='replace') as log:
            return log.read()


# ---- looking at the screen ----------------------------------------------------------------------------
class View:
    """One screenshot of the client area and the probes at the layout's coordinates."""

    def __init__(self, image, row):
        self.image = image
        self.px = image.load()
        self.w, self.h = image.size
        self.row = row
        self.layout = ph.Layout(*row.screen)
        self.sx, self.sy = self.layout.sx, self.layout.sy
        self.lander_x = row.screen[0] // 2

    def background(self, xs):
        """The pixels that only the background covers: above the pad, left of the score, and away from the
        columns the lander may be in."""
        t = lander_model.trunc
        reach = t(30.0 * self.sx) + 2
        right = min(self.w, t(160.0 * self.sx))
        bottom = min(self.h, self.layout.pad_y - self.layout.pad_width)
        columns = [x for x in range(right) if all(abs(x - lander) > reach for lander in xs)]
        return [self.px[x, y] for y in range(bottom) for x in columns]

    def gold(self, crashed_at=None):
        """The bounds of the lander's foil colour; after a crash only where the explosion is drawn, as the
        score's red text blends into foil-like colours on some backgrounds."""
        box = (0, 0, self.w, self.h) if crashed_at is None else self.explosion_box(crashed_at)
        found = [(x, y) for y in range(box[1], box[3]) for x in range(box[0], box[2]) if ph.is_gold(self.px[x, y])]
        if not found:
            return None
        return min(p[0] for p in found), min(p[1] for p in found), max(p[0] for p in found) + 1, \
            max(p[1] for p in found) + 1

    def explosion_box(self, lander_x):
        """Where the explosion is drawn: from the lander's left edge, 60 design pixels wide, around the
        ground."""
        t = lander_model.trunc
        left = lander_x - t(25.0 * self.sx)
        return (max(0, left), max(0, t(400.0 * self.sy)), min(self.w, left + t(60.0 * self.sx)),
                min(self.h, t(560.0 * self.sy)))

    def fire(self, lander_x):
        left, top, right, bottom = self.explosion_box(lander_x)
        return sum(1 for y in range(top, bottom) for x in range(left, right) if ph.is_fire(self.px[x, y]))

    def ellipse(self, lander_x=None):
        """The fallback lander in the lander's column: a white run between two black outline pixels, as long
        as the ellipse's unscaled 20-pixel box allows once its top and bottom are scaled, above the pad.
        Returns its top or None."""
        t = lander_model.trunc
        tall = t(510.0 * self.sy) - t(490.0 * self.sy)
        x = self.lander_x if lander_x is None else lander_x
        column = [self.px[x, y] for y in range(min(self.h, self.layout.pad_y))]
        for top in range(len(column)):
            if column[top] != BLACK:
                continue
            length = 0
            while top + 1 + length < len(column) and column[top + 1 + length] == ph.WHITE:
                length += 1
            end = top + 1 + length
            if tall - 4 <= length <= tall and end < len(column) and column[end] == BLACK:
                return top
        return None

    def pad_extent(self):
        """The first and last column of the pad's colour on the pad line's row, or None."""
        y = self.layout.pad_y
        if y >= self.h:
            return None
        xs = [x for x in range(self.w) if self.px[x, y] == ph.PAD]
        return (xs[0], xs[-1]) if xs else None

    def red_score(self):
        left, top, right, bottom = self.layout.score
        return any(self.px[x, y] == ph.RED for y in range(top, min(bottom, self.h)) for x in range(left, min(right, self.w)))


def client_image(run):
    bar = ph.bar_height(run.width, run.height)
    return run.phone.screenshot(run.width, run.height).crop((0, bar, run.width, run.height - bar))


def expect(run, row, what, check, timeout=15, interval=0.1):
    """Screenshots until check(view) answers None (all well); fails with its last complaint."""
    deadline = time.monotonic() + timeout
    while True:
        view = View(client_image(run), row)
        complaint = check(view)
        if complaint is None:
            return view
        if time.monotonic() > deadline:
            folder = os.path.join(run.phone.work, 'screens')
            os.makedirs(folder, exist_ok=True)
            view.image.save(os.path.join(folder, '%s-%s.png' % (row.name, what.replace(' ', '-'))))
            raise Failure('%s: %s: %s' % (row.name, what, complaint))
        time.sleep(interval)


# ---- one row ------------------------------------------------------------------------------------------
CHEER = 'cheer.wav'
CRASH = 'destroyed.wav'


class Expected:
    """What the row's faults leave on screen and in the trace, from the fallback rules."""

    def __init__(self, row):
        def kind(name):
            return row.pictures.get(name, 'good') if row.assets_reachable() else 'missing'
        back = kind('back.gif')
        self.background = 'picture' if back == 'good' else 'tiny' if back == 'tiny' else 'white'
        lander = kind(row.lander_file())
        self.lander = 'sprite' if lander == 'good' else 'none' if lander == 'tiny' else 'ellipse'
        self.flame = 'sprite' if kind(row.flame_file()) == 'good' else 'none'
        self.explosion = 'fire' if kind('explosion.gif') == 'good' else 'none'
        folder = row.install_dir if row.install_dir and len(row.install_dir) < 260 else '\\Program Files\\craterDip'
        self.sounds = {}
        for name in (CHEER, CRASH):
            if row.assets_reachable() and row.sounds.get(name, 'good') != 'missing':
                self.sounds[name] = folder + '\\' + name
        self.pad_level = row.level if row.level in (0, 1, 2) else 3


def check_first_frame(run, row, expected, xs):
    layout = ph.Layout(*row.screen)
    t = lander_model.trunc
    fuel, pad_left, pad_right = lander_model.pad_for(expected.pad_level, layout.sx, DRAW)
    sprite_w = layout.sprite[0]
    lefts = {x - t(25.0 * layout.sx) for x in xs}
    baseline = run.phone.baselines.get(row.screen)

    def check(view):
        background = view.background(xs)
        if expected.background == 'picture':
            if baseline is not None and \
                    view.background(xs + [baseline[1]]) != View(baseline[0], row).background(xs + [baseline[1]]):
                return 'the background picture differs from the baseline run'
        else:
            colour = ph.WHITE if expected.background == 'white' else TINY_COLOUR
            wrong = [c for c in background if c != colour]
            if wrong:
                return 'background not plain %s: %d other pixels, e.g. %s' % (colour, len(wrong), wrong[:3])
        extent = view.pad_extent()
        if layout.pad_y < view.h:
            reach = layout.pad_width
            if extent is None or abs(extent[0] - pad_left) > reach or abs(extent[1] - pad_right) > reach:
                return 'pad at %s, expected %d..%d' % (extent, pad_left, pad_right)
        gold = view.gold()
        if expected.lander == 'sprite' and gold is None and expected.flame == 'none':
            pass  # the burn may have begun, hiding the lander; the landed frame shows it
        elif expected.lander == 'sprite':
            if gold is None or gold[2] - gold[0] > sprite_w or not any(l <= gold[0] and gold[2] <= l + sprite_w for l in lefts):
                return 'lander sprite at %s, expected at a left edge of %s, %d wide' % (gold, sorted(lefts), sprite_w)
        else:
            if gold is not None:
                return 'lander pixels at %s, expected %s' % (gold, expected.lander)
            found = [x for x in xs if view.ellipse(x) is not None]
            if expected.lander == 'ellipse' and not found:
                return 'no fallback ellipse in the columns %s' % sorted(xs)
            if expected.lander == 'none' and found:
                return 'an ellipse at column %s' % found
        return None
    expect(run, row, 'first frame', check)
    errors = run.count_windows('#32770', 'Error')
    if errors:
        raise Failure('%s: %d unexpected Error box(es): %s' % (row.name, errors, run.window_texts('#32770', 'Error')))


def check_explosion(run, row, expected, lander_x):
    """From the crash tick: the explosion's fire within a second, or none in any frame of that second."""
    run.wait_trace(r'^led 1 on$', timeout=15)
    if lander_model.trunc(475.0 * ph.Layout(*row.screen).sy) >= row.screen[1] - 2 * ph.bar_height(*row.screen):
        return  # the ground lies below the client area, behind the menu bar: nothing of it shows
    if expected.explosion == 'fire':
        expect(run, row, 'explosion', lambda v: None if v.fire(lander_x) > 20 else 'no fire (%d)' % v.fire(lander_x),
               timeout=5, interval=0)
        return
    started = time.monotonic()
    early = 0
    while time.monotonic() - started < 1.5:
        view = View(client_image(run), row)
        if time.monotonic() - started < 0.9:
            early += 1
        if view.fire(lander_x) or view.gold(lander_x) or view.ellipse(lander_x) is not None:
            view.image.save(os.path.join(run.phone.work, row.name + '-explosion.png'))
            raise Failure('%s: something drawn at the crash: %d fire pixels, lander %s' %
                          (row.name, view.fire(lander_x), view.gold(lander_x)))
    if early == 0:
        raise Failure('%s: no screenshot within the explosion\'s second' % row.name)


def check_burn(run, row, expected, stretch):
    """A frame from inside the plan's long burn: the flame sprite, or no lander without the flame picture."""
    first, last = stretch
    run.wait_samples(run.base + first + 1, 30)
    for attempt in range(40):
        before = run.samples_read()
        view = View(client_image(run), row)
        after = run.samples_read()
        if first < before and after < last - 1:
            gold = view.gold()
            if expected.flame == 'sprite' and expected.lander == 'sprite' and gold is None:
                raise Failure('%s: no flame sprite while the engine fires' % row.name)
            if expected.flame == 'none' and expected.lander == 'sprite' and gold is not None:
                view.image.save(os.path.join(run.phone.work, row.name + '-burn.png'))
                raise Failure('%s: lander pixels %s while the engine fires without a flame picture' % (row.name, gold))
            return
        if before >= last:
            break
    raise Failure('%s: no screenshot caught the burn of samples %d..%d' % (row.name, first, last))


def check_landed(run, row, expected, game):
    layout = ph.Layout(*row.screen)
    box = layout.lander_box(game.lander_x, 0)

    def check(view):
        gold = view.gold()
        if expected.lander == 'sprite':
            if gold is None or not (box[0] <= gold[0] and box[1] <= gold[1] and gold[2] <= box[2] and gold[3] <= box[3]):
                return 'lander %s outside its place on the pad %s' % (gold, box)
        elif expected.lander == 'ellipse':
            view.lander_x = game.lander_x
            if view.ellipse() is None:
                return 'no fallback ellipse on the pad'
        if view.red_score() != (game.score != 0):
            return 'red score shown: %s, score %d' % (view.red_score(), game.score)
        return None
    view = expect(run, row, 'landed', check, timeout=10)
    if row.name.startswith('baseline'):
        run.phone.baselines[row.screen] = (view.image, game.lander_x)


def sound_lines(run):
    return [line[6:] for line in run.trace_lines() if line.startswith('sound ')]


def run_row(phone, row):
    started = time.monotonic()
    phone.use_screen(row.screen)
    phone.install(row)
    expected = Expected(row)
    width, height = row.screen
    reads = row.sensor in ('real',)
    plan, stretch = None, None
    if row.flight in ('land', 'land-then-crash'):
        plan, stretch, _ = thrust_landing(row.level, width, height, DRAW)
        samples = plan
    else:
        samples = row.samples if row.samples is not None else [(0, 0)] * 40
    game, xs = model_flight(row.level, row.screen, samples, row.rest, reads)
    if row.flight.startswith('land') and game.crashed:
        raise Failure('%s: the model crashes the planned landing' % row.name)

    run = FaultRun(phone, row, samples)
    try:
        for text in row.boxes:
            run.dismiss_error(text, timeout=30)
        bar = ph.bar_height(width, height)
        fitted = (0, bar, width, height - 2 * bar)
        wait_until('the fitted game window', lambda: run.game_window() == fitted, 30, 0.1)
        check_first_frame(run, row, expected, xs)
        if row.flight == 'crash':
            if not game.crashed:
                raise Failure('%s: the model lands this flight' % row.name)
            check_explosion(run, row, expected, game.lander_x)
            run.wait_trace(r'^led 1 off$', 3, timeout=10)
        else:
            if reads:
                check_burn(run, row, expected, stretch)
                run.wait_samples(run.base + len(plan), 30)
            if expected.sounds.get(CHEER):
                run.wait_trace(r'^sound .*cheer', timeout=15)
            check_landed(run, row, expected, game)
            if row.flight == 'land-then-crash':
                run.soft_key('left')
                check_explosion(run, row, expected, width // 2)
                run.wait_trace(r'^led 1 off$', 3, timeout=10)
        want = [expected.sounds[CRASH]] if row.flight != 'land' and CRASH in expected.sounds else []
        if row.flight != 'crash' and CHEER in expected.sounds:
            want.insert(0, expected.sounds[CHEER])
        if sound_lines(run) != want:
            raise Failure('%s: sounds requested %s, expected %s' % (row.name, sound_lines(run), want))
        pulses = 0 if row.flight == 'land' else 3
        if run.count_trace(r'^led 1 on$') != pulses:
            raise Failure('%s: %d pulses, expected %d' % (row.name, run.count_trace(r'^led 1 on$'), pulses))

        run.menu('Exit')
        for text in row.exit_boxes:
            run.dismiss_error(text, timeout=30)
        code = run.wait_exit(60)
    except Exception:
        run.kill()
        raise
    log = run.log_text()
    for pattern in CRASH_PATTERNS:
        if pattern in log:
            raise Failure('%s: %r in the output:\n%s' % (row.name, pattern, log))
    if code != 0 or run.count_trace(r'^game exited 0$') != 1:
        raise Failure('%s: exit code %s, trace %s' % (row.name, code, run.trace_lines()[-3:]))
    kept = {name: ('REG_DWORD', value) for name, kind, value in row.settings if name != 'level'}
    kept['level'] = ('REG_DWORD', row.level)
    stored = phone.settings()
    if stored != kept:
        raise Failure('%s: settings after exit %s, expected %s' % (row.name, stored, kept))
    return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--bin', required=True)
    parser.add_argument('--faults', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('rows', nargs='*', help='names of rows to run (default: all)')
    args = parser.parse_args()
    rows = [r for r in all_rows() if not args.rows or r.name in args.rows or r.name.startswith('baseline')]
    phone = FaultPhone(os.path.abspath(args.bin), os.path.abspath(args.faults), os.path.abspath(args.work))
    started = time.monotonic()
    failures = []
    phone.start()
    try:
        for row in rows:
            try:
                seconds = run_row(phone, row)
                print('ok    %-32s %5.1f s' % (row.name, seconds), flush=True)
            except Failure as failure:
                failures.append(row.name)
                print('FAIL  %-32s %s' % (row.name, failure), flush=True)
    finally:
        phone.stop()
    print('fault matrix: %d rows, %d failed, %.0f s' % (len(rows), len(failures), time.monotonic() - started))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
