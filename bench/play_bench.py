#!/usr/bin/python3
"""Benchmark: what a minute of play costs the phone. Plays the committed Medium landing in the phone under
Xvfb (after the touchdown the game goes on ticking and painting ten frames a second, as it does for a
player looking at the score), and reads the game's process from Linux: CPU seconds per minute (the median
of 10-second windows over one minute), and the peak of its private (anonymous resident) memory. The Wine
server's CPU is shown too, since every window-system call of the game is a round trip to it.

With --free-fall the round has no tilt script: the lander falls, crashes, and the game then waits as after
any crash. With --phone HOST:PORT it is so too, with the sensor library polling that phone (a stand-in:
platform/sensorsdk/tests/phone_standin.py), so that the two runs differ by the polling alone.

  play_bench.py --bin BUILD/bin --work BUILD/bench [--seconds 60] [--free-fall | --phone HOST:PORT]
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import phone_session as ph  # noqa: E402

TICKS_PER_SECOND = os.sysconf('SC_CLK_TCK')
WINDOW = 10  # seconds


def find_process(program, prefix, timeout=60):
    """The pid of the process whose program (first argument) ends with `program`, in the Wine prefix."""
    def search():
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                with open('/proc/%s/cmdline' % pid, 'rb') as cmdline:
                    first = cmdline.read().split(b'\0')[0].decode(errors='replace')
                with open('/proc/%s/environ' % pid, 'rb') as environ:
                    ours = ('WINEPREFIX=' + prefix).encode() in environ.read().split(b'\0')
            except OSError:
                continue
            if ours and first.endswith(program):
                return int(pid)
        return None
    return ph.wait_until(program, search, timeout)


def cpu_seconds(pid):
    with open('/proc/%d/stat' % pid) as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


def status_kb(pid, name):
    with open('/proc/%d/status' % pid) as status:
        for line in status:
            if line.startswith(name + ':'):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--bin', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--seconds', type=int, default=60)
    parser.add_argument('--free-fall', action='store_true')
    parser.add_argument('--phone')
    args = parser.parse_args()
    phone = ph.Phone(os.path.abspath(args.bin), os.path.abspath(args.work))
    trace = os.path.join(phone.work, 'play.trace')
    if os.path.exists(trace):
        os.remove(trace)
    tilt = ['--phone', args.phone] if args.phone else [] if args.free_fall else [
        '--tilt-script', os.path.join(ph.ROOT, 'demo', 'landing-medium.tilt')]
    launcher = phone.launch('--seed', '2027', '--trace', trace, '--exit-after', str(args.seconds + 10), *tilt)
    try:
        ph.wait_until('the game to start', lambda: os.path.exists(trace) and 'game started' in open(trace).read(),
                      120)
        game = find_process('\\craterDip.exe', phone.prefix)
        server = find_process('wineserver64', phone.prefix)
        time.sleep(3)  # past start-up
        # CPU is read in windows of WINDOW seconds and the median window is reported: on a shared virtual
        # machine a neighbour's burst can inflate one window's figure, seldom most of them.
        game_rates, server_rates = [], []
        peak_private = 0
        for _ in range(max(1, args.seconds // WINDOW)):
            game_before, server_before = cpu_seconds(game), cpu_seconds(server)
            deadline = time.monotonic() + WINDOW
            while time.monotonic() < deadline:
                peak_private = max(peak_private, status_kb(game, 'RssAnon'))
                time.sleep(0.5)
            game_rates.append((cpu_seconds(game) - game_before) * 60.0 / WINDOW)
            server_rates.append((cpu_seconds(server) - server_before) * 60.0 / WINDOW)
        game_cpu, server_cpu = statistics.median(game_rates), statistics.median(server_rates)
        peak_resident = status_kb(game, 'VmHWM')
        landed = 'cheer.wav' in open(trace).read()
        print('play: %s%s, %d s measured' % (
            'landed, then idling on the score' if landed else 'no landing seen',
            ', phone %s' % ('connected' if 'connected' in open(trace).read() else 'never connected')
            if args.phone else '', args.seconds))
        print('CPU per minute of play: game %.2f s (%.2f %% of a core), Wine server %.2f s (%.2f %%)'
              % (game_cpu, game_cpu / 0.6, server_cpu, server_cpu / 0.6))
        print('    game per %d-s window, as s per minute: %s'
              % (WINDOW, ' '.join('%.2f' % rate for rate in game_rates)))
        print('peak private memory: %.1f MB (anonymous resident); peak resident %.1f MB'
              % (peak_private / 1024.0, peak_resident / 1024.0))
    finally:
        launcher.wait(120)
        phone.stop()


if __name__ == '__main__':
    main()
