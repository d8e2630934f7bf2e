#!/usr/bin/python3
"""Makes the game's two sounds with sox: a cheer for a landing and an explosion for a crash.

    make_sounds.py OUTPUT_FOLDER

Both are mono, 22050 Hz, 16-bit WAV files of about a second. sox runs in repeatable mode without
dither, so the same sox gives the same bytes on every run.
"""
import os
import subprocess
import sys
import tempfile

FORMAT = ["-r", "22050", "-c", "1", "-b", "16", "-e", "signed-integer"]


def sox(*args):
    subprocess.run(["sox", "-R", "-D", "-V1", *args], check=True)


def synth(path, *effects):
    sox("-n", *FORMAT, path, *effects)


def make_cheer(out, work):
    # A rising fanfare (C major arpeggio, the top note held) over a crowd's roar of band-passed pink noise
    # that swells and fades with a quick tremolo, like many voices at once.
    notes = [("C5", 0.11), ("E5", 0.11), ("G5", 0.11), ("C6", 0.55)]
    parts = []
    for index, (note, length) in enumerate(notes):
        part = os.path.join(work, f"note{index}.wav")
        synth(part, "synth", str(length), "square", note, "synth", str(length), "sine", "mix", note,
              "fade", "q", "0.005", str(length), "0.04", "vol", "0.35")
        parts.append(part)
    fanfare = os.path.join(work, "fanfare.wav")
    sox(*parts, fanfare)
    crowd = os.path.join(work, "crowd.wav")
    synth(crowd, "synth", "0.88", "pinknoise", "band", "1500", "1400", "tremolo", "11", "45",
          "fade", "t", "0.25", "0.88", "0.45", "vol", "0.6")
    sox("-m", fanfare, crowd, *FORMAT, out, "norm", "-1")


def make_explosion(out, work):
    # A burst of low, overdriven brown noise that dies away, under a falling sine thump.
    rumble = os.path.join(work, "rumble.wav")
    synth(rumble, "synth", "1.0", "brownnoise", "lowpass", "900", "overdrive", "12",
          "fade", "q", "0.004", "1.0", "0.92")
    thump = os.path.join(work, "thump.wav")
    synth(thump, "synth", "0.5", "sine", "90-30", "fade", "q", "0.002", "0.5", "0.45", "vol", "0.8")
    sox("-m", rumble, thump, *FORMAT, out, "norm", "-1")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        make_cheer(os.path.join(folder, "cheer.wav"), work)
        make_explosion(os.path.join(folder, "destroyed.wav"), work)


if __name__ == "__main__":
    main()
