"""The benchmarks' phone: one Xvfb and one Wine prefix, set up by the launcher on its first start."""
import os
import subprocess
import time
from io import BytesIO

from PIL import Image

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))


def wait_until(what, condition, timeout, interval=0.05):
    """Polls condition() until it gives a true value, which is returned; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise RuntimeError('timed out after %gs waiting for %s' % (timeout, what))
        time.sleep(interval)


class Phone:
    def __init__(self, bin_dir, work):
        self.work = work
        os.makedirs(work, exist_ok=True)
        self.prefix = os.path.join(work, 'prefix')
        self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', '1', '-screen', '0', '1024x1024x24', '-nolisten',
                                      'tcp'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith('CRATERDIP_')}
        self.env.update(DISPLAY=':' + self.xvfb.stdout.readline().decode().strip(), CRATERDIP_PREFIX=self.prefix,
                        CRATERDIP_BIN=bin_dir, WINEPREFIX=self.prefix, WINEDEBUG='-all')

    def launch(self, *args):
        return subprocess.Popen([os.path.join(ROOT, 'craterdip')] + list(args), env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def screenshot(self, width, height):
        png = subprocess.run(['import', '-display', self.env['DISPLAY'], '-window', 'root', 'png:-'],
                             capture_output=True, check=True).stdout
        return Image.open(BytesIO(png)).convert('RGB').crop((0, 0, width, height))

    def stop(self):
        subprocess.run(['wineserver', '-k'], env=self.env, stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        self.xvfb.wait()
