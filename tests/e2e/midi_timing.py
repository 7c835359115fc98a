#!/usr/bin/env python3
"""The live MIDI test's measuring side.

  make OUT.wav OUT.notes      a melody, then a chord sequence, as float WAV at 44100 Hz, and
                              each onset's sample and MIDI keys, one a line
  record SOURCE OUT.raw OUT.stamps
                              parec of SOURCE, each chunk stamped with CLOCK_MONOTONIC as it
                              arrives, until SIGTERM
  compare OUT.notes OUT.wav OUT.raw OUT.stamps MIDI.txt SESSION.wav
                              finds the tune in the recording and in sonavel's (it must be
                              there sample for sample: no dropout), maps each onset to the clock, matches the
                              MIDI note-ons to the onsets and prints the latencies; exit 1 on a
                              missing, extra or stuck note or a latency over target
"""

import math
import os
import signal
import struct
import subprocess
import sys
import time
import wave

RATE = 44100
LEVEL = 0.05                 # per note: one note alone lights its row at 0.03
RAMP = int(0.005 * RATE)     # soft edges: no click to light other rows
PARTIALS = 4                 # at 1/n each: a plucked string's first partials
DECAY = 0.6 * RATE           # samples to fall by 1/e, as a struck note does
LEAD_IN = int(0.5 * RATE)
MELODY = [60, 62, 64, 65, 67, 69, 71, 72]         # C4 .. C5
MELODY_NOTE, MELODY_GAP = int(0.45 * RATE), int(0.15 * RATE)
CHORDS = [[60, 64, 67], [65, 69, 72], [67, 71, 74], [64, 67, 72]]  # no octaves: a partial-based ear hears none
CHORD_NOTE, CHORD_GAP = int(1.0 * RATE), int(0.3 * RATE)
TAIL = int(0.8 * RATE)
MEAN_TARGET_MS, MOST_TARGET_MS = 100.0, 150.0
MATCH_BEFORE_MS, MATCH_AFTER_MS = 30.0, 400.0    # a note-on this near its onset answers it
FOUND_AT = 1e-3              # the first recorded sample this loud starts the tune
SAME_SAMPLE = 1e-6
# A key sounds from the block that first names it; a row named in one block only sounds that
# block: a blip, heard as a click of a note. A few at chords' attacks, never a lasting wrong note.
BLIP_MS = 100.0
MOST_BLIPS = 2


def hz(key):
    return 440.0 * 2.0 ** ((key - 69) / 12.0)


def tune():
    """The samples and the onsets: [(sample, [keys])]."""
    parts = [(MELODY_NOTE, MELODY_GAP, [key]) for key in MELODY] + [(CHORD_NOTE, CHORD_GAP, c) for c in CHORDS]
    total = LEAD_IN + sum(n + g for n, g, _ in parts) + TAIL
    samples = [0.0] * total
    onsets = []
    at = LEAD_IN
    for length, gap, keys in parts:
        onsets.append((at, keys))
        steps = [2.0 * math.pi * hz(k) * n / RATE for k in keys for n in range(1, PARTIALS + 1)]
        weights = [1.0 / n for _ in keys for n in range(1, PARTIALS + 1)]
        for i in range(length):
            edge = min(1.0, i / RAMP, (length - 1 - i) / RAMP) * math.exp(-i / DECAY)
            samples[at + i] = LEVEL * edge * sum(w * math.sin(step * i) for w, step in zip(weights, steps))
        at += length + gap
    return samples, onsets


def write_float_wav(path, samples):
    data = struct.pack("<%df" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 3, 1, RATE, RATE * 4, 4, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def make(wav_path, notes_path):
    samples, onsets = tune()
    write_float_wav(wav_path, samples)
    with open(notes_path, "w") as f:
        for at, keys in onsets:
            f.write("%d %s\n" % (at, ",".join(map(str, keys))))


def record(source, raw_path, stamps_path):
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    parec = subprocess.Popen(["parec", "--latency-msec=10", "-d", source, "--rate=%d" % RATE, "--channels=1",
                              "--format=float32le", "--raw"], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    got = 0
    with open(raw_path, "wb") as raw, open(stamps_path, "w") as stamps:
        while not stop:
            try:
                chunk = os.read(parec.stdout.fileno(), 4096)
            except InterruptedError:
                continue
            now = time.monotonic_ns()
            if not chunk:
                break
            raw.write(chunk)
            got += len(chunk)
            stamps.write("%d %d\n" % (got // 4, now))
    parec.terminate()
    parec.wait()


def read_floats(path, skip=0):
    with open(path, "rb") as f:
        f.seek(skip)
        data = f.read()
    return struct.unpack("<%df" % (len(data) // 4), data[: len(data) // 4 * 4])


def wav_samples(path):
    with open(path, "rb") as f:
        data = f.read()
    at = data.index(b"data") + 8
    return struct.unpack("<%df" % ((len(data) - at) // 4), data[at:])


def clock_of_first_sample(stamps_path):
    """The time recorded sample 0 was heard: samples arrive after they sound, so the earliest
    chunk, less its own length, bounds it from above."""
    best = None
    with open(stamps_path) as f:
        for line in f:
            count, ns = map(int, line.split())
            start = ns - count * 1e9 / RATE
            best = start if best is None else min(best, start)
    return best


def find_whole(played, heard, name):
    """Where the tune starts in `heard`, which must hold it sample for sample; None after a problem line."""
    first_played = next(i for i, s in enumerate(played) if abs(s) >= FOUND_AT)
    first_heard = next((i for i, s in enumerate(heard) if abs(s) >= FOUND_AT), None)
    if first_heard is None:
        print("problem: %s holds no tune" % name)
        return None
    offset = first_heard - first_played
    end = min(len(played), len(heard) - offset)
    worst = max(abs(played[i] - heard[i + offset]) for i in range(first_played, end))
    if end < len(played) - TAIL or worst > SAME_SAMPLE:
        print("problem: %s does not hold the tune whole (%d of %d samples, largest difference %g)"
              % (name, end, len(played), worst))
        return None
    return offset


def compare(notes_path, wav_path, raw_path, stamps_path, midi_path, session_path):
    onsets = [(int(a), [int(k) for k in ks.split(",")]) for a, ks in (line.split() for line in open(notes_path))]
    played = wav_samples(wav_path)
    offset = find_whole(played, read_floats(raw_path), "the input sink's recording")
    if offset is None or find_whole(played, wav_samples(session_path), "sonavel's --record") is None:
        return 1
    sample0 = clock_of_first_sample(stamps_path)
    messages = [tuple(map(int, line.split())) for line in open(midi_path)]
    ons = [(ns, key, vel) for ns, status, key, vel in messages if status & 0xF0 == 0x90 and vel > 0]
    offs = [(ns, key) for ns, status, key, vel in messages if status & 0xF0 == 0x80 or (status & 0xF0 == 0x90 and vel == 0)]
    problems = []
    latencies = []
    used = set()
    slowest = (0.0, 0, 0.0)
    for at, keys in onsets:
        onset_ns = sample0 + (at + offset) * 1e9 / RATE
        for key in keys:
            match = [i for i, (ns, k, _) in enumerate(ons) if k == key and i not in used and
                     -MATCH_BEFORE_MS <= (ns - onset_ns) / 1e6 <= MATCH_AFTER_MS]
            if not match:
                problems.append("no note-on for key %d at %.2f s" % (key, at / RATE))
                continue
            used.add(match[0])
            latencies.append((ons[match[0]][0] - onset_ns) / 1e6)
            slowest = max(slowest, (latencies[-1], key, at / RATE))
    extra = [ons[i] for i in range(len(ons)) if i not in used]
    blips = [key for ns, key, _ in extra if any(k == key and 0 <= (off - ns) / 1e6 <= BLIP_MS for off, k in offs)]
    lasting = [key for _, key, _ in extra if key not in blips]
    if blips:
        print("blips: %d, keys %s (sounded from the block that showed them, dropped the next)" % (len(blips), blips))
    if lasting:
        problems.append("note-ons no onset asked for: keys %s" % lasting)
    if len(blips) > MOST_BLIPS:
        problems.append("%d blips, more than %d" % (len(blips), MOST_BLIPS))
    for key in set(k for _, k, _ in ons):
        if sum(1 for _, k, _ in ons if k == key) != sum(1 for _, k in offs if k == key):
            problems.append("key %d: %d note-ons, %d note-offs" % (key, sum(1 for _, k, _ in ons if k == key),
                                                                  sum(1 for _, k in offs if k == key)))
    if latencies:
        mean = sum(latencies) / len(latencies)
        print("latency: mean %.1f ms, max %.1f ms (key %d at %.2f s), min %.1f ms over %d notes"
              % (mean, slowest[0], slowest[1], slowest[2], min(latencies), len(latencies)))
        if mean > MEAN_TARGET_MS or max(latencies) > MOST_TARGET_MS:
            problems.append("onset to note-on over target (mean %d ms, max %d ms)" % (MEAN_TARGET_MS, MOST_TARGET_MS))
    for problem in problems:
        print("problem: " + problem)
    return 1 if problems else 0


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "make" and len(sys.argv) == 4:
        return make(*sys.argv[2:]) or 0
    if len(sys.argv) >= 2 and sys.argv[1] == "record" and len(sys.argv) == 5:
        return record(*sys.argv[2:]) or 0
    if len(sys.argv) >= 2 and sys.argv[1] == "compare" and len(sys.argv) == 8:
        return compare(*sys.argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
