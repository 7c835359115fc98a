#!/usr/bin/env python3
"""Level sweep: how well the played notes are shown at input levels from -40 to -1 dBFS.

Renders a corpus (sines and pure-sine chords, and single notes, a melody, fast scales and
chords of piano, guitar, violin, cello and flute through fluidsynth, with several SoundFonts:
octave doublings, low notes and a melody in the E2 register, decaying high notes among them),
peak-normalises
every piece to each level with sox, replays it through `sonavel --headless --scores`
(and `--pitch` for the precise detector), with and without --auto-gain, and compares the
scores with the notes that were written. Then silence and white noise, a level step, the
read-out's cents on sines and held notes, and the time each detector takes per block.

usage: level_sweep.py SONAVEL_BINARY [WORK_DIR] [--detector design|precise]   (run where font.tga is)

SWEEP_FONTS=fluid,timgm, SWEEP_TIMBRES=piano,sine and SWEEP_LEVELS=-20,-1 limit a run;
SWEEP_SKIP=noise,step,timing leaves those checks out.
"""

import hashlib
import math
import os
import random
import resource
import statistics
import struct
import subprocess
import sys
import time
import wave

RATE = 44100
BLOCK = 2048
BUFFER = 512
LIT = 0.5
LEVELS = [-40, -30, -20, -12, -6, -1]
FIRST_ROW_MIDI = 33  # row 0 is A1
ROWS = 72
ATTACK = 0.05  # seconds of a note's start left out of judging
# The SoundFonts, in the order shown. The precise detector's constants were set on the
# first two; the others are held out, to see how far those constants carry.
FONTS = [
    ("fluid", "/usr/share/sounds/sf2/FluidR3_GM.sf2", "tuned on"),
    ("timgm", "/usr/share/sounds/sf2/TimGM6mb.sf2", "tuned on"),
    ("musescore", "/usr/share/sounds/sf3/MuseScore_General.sf3", "held out"),
    ("csound", "/usr/share/sounds/sf2/sf_GMbank.sf2", "held out"),
]
INSTRUMENTS = {"piano": 0, "guitar": 24, "violin": 40, "cello": 42, "flute": 73}
# Highest and lowest notes each instrument plays here, as MIDI numbers.
RANGES = {"piano": (36, 96), "guitar": (40, 76), "violin": (55, 93), "cello": (36, 67), "flute": (60, 96)}
GAP = 0.25  # seconds of silence between pieces


# ---- the written notes: (start s, length s, midi) --------------------------------------

def single_notes(name):
    low, high = RANGES[name]
    notes, t = [], 0.0
    for midi in range(low, high + 1, 5):
        notes.append((t, 1.0, midi))
        t += 1.0 + GAP
    return notes


def melody(name):
    low, high = RANGES[name]
    base = max(low, min(high - 12, 67))
    steps = [0, 2, 4, 5, 7, 5, 4, 2, 0, 4, 7, 12, 7, 4, 0]
    return [(i * 0.3, 0.28, base + s) for i, s in enumerate(steps)]


def fast_scale(name):
    """Up and down a major ninth at 0.2, 0.16 and 0.125 s a note (five to eight notes a second)."""
    low, high = RANGES[name]
    base = max(low, min(high - 14, 60))
    up = [0, 2, 4, 5, 7, 9, 11, 12, 14]
    steps = up + up[-2::-1]
    notes, t = [], 0.0
    for spacing in (0.2, 0.16, 0.125):
        for s in steps:
            notes.append((t, spacing * 0.95, base + s))
            t += spacing
        t += GAP
    return notes


# Chords as each instrument plays them: piano triads (root position and inversions, major
# and minor), guitar triads strummed over three strings, violin double stops (fifths, sixths,
# thirds); and apart, the guitar's open chords over four to six strings, whose doubled
# octaves (C3 and C4, E3 and E4) are the hardest case.
PIANO_TRIADS = [(60, 64, 67), (57, 60, 64), (65, 69, 72), (67, 71, 74), (52, 55, 60), (62, 65, 69), (48, 52, 55)]
GUITAR_TRIADS = [(52, 56, 59), (55, 59, 62), (57, 60, 64), (60, 64, 67), (50, 54, 57), (59, 62, 66), (64, 67, 71)]
OPEN_CHORDS = [(48, 52, 55, 60, 64), (43, 47, 50, 55, 59, 67), (50, 57, 62, 66), (45, 52, 57, 60, 64),
               (40, 47, 52, 56, 59, 64), (45, 52, 57, 61, 64)]
DOUBLE_STOPS = [(55, 62), (62, 69), (69, 76), (72, 76), (64, 72), (67, 71), (74, 81)]
STRUM = 0.015  # seconds between a strummed chord's strings


def strummed(shapes):
    return [(i * 1.4 + k * STRUM, 1.3 - k * STRUM, m) for i, shape in enumerate(shapes) for k, m in enumerate(shape)]


def chords(name):
    if name == "piano":
        return [(i * 1.2, 1.1, m) for i, shape in enumerate(PIANO_TRIADS) for m in shape]
    if name == "guitar":
        return strummed(GUITAR_TRIADS)
    if name == "violin":
        return [(i * 1.2, 1.1, m) for i, shape in enumerate(DOUBLE_STOPS) for m in shape]
    return []


def open_chords(name):
    return strummed(OPEN_CHORDS) if name == "guitar" else []


# Octave doublings, piano and guitar: both notes struck together, held.
OCTAVE_PAIRS = [(48, 60), (43, 55), (52, 64), (45, 57), (55, 67), (40, 52), (50, 62), (57, 69)]


def octaves(name):
    if name not in ("piano", "guitar"):
        return []
    return [(i * 1.2, 1.1, m) for i, pair in enumerate(OCTAVE_PAIRS) for m in pair]


def low_notes(name):
    """Piano and cello notes from A1 to A2, whose fundamentals are weak at first; the judging
    from 50 ms into a block puts every judged block's end 96 ms or more after the onset."""
    if name not in ("piano", "cello"):
        return []
    first = 33 if name == "piano" else 36
    return [(i * 1.2, 1.1, m) for i, m in enumerate(range(first, 46, 2))]


def low_melody(name):
    """The melody in the E2 register."""
    if name not in ("piano", "cello"):
        return []
    steps = [0, 2, 4, 5, 7, 5, 4, 2, 0, 4, 7, 12, 7, 4, 0]
    return [(i * 0.3, 0.28, 40 + s) for i, s in enumerate(steps)]


def high_decay(name):
    """High piano notes held for two seconds while they decay."""
    return [(i * 2.2, 2.0, m) for i, m in enumerate((96, 98, 100, 102, 103))] if name == "piano" else []


def only_cello(make):
    return lambda name: make(name) if name != "cello" else []


MATERIALS = [("single", single_notes), ("melody", only_cello(melody)), ("scale", only_cello(fast_scale)),
             ("chords", chords), ("open", open_chords), ("octaves", octaves), ("low", low_notes),
             ("lowmel", low_melody), ("high", high_decay)]
CHORD_MATERIALS = ("chords", "open", "octaves", "sines")


# ---- files -------------------------------------------------------------------------------

def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def write_midi(path, notes, program):
    """One track, 480 ticks a beat at 120 beats a minute: 960 ticks a second."""
    events = []
    for start, length, midi in notes:
        events.append((round(start * 960), 0x90, midi, 90))
        events.append((round((start + length) * 960), 0x80, midi, 0))
    events.sort(key=lambda e: (e[0], e[1] == 0x90))
    track, now = bytearray(), 0
    track += variable_length(0) + bytes([0xC0, program])
    for tick, status, midi, velocity in events:
        track += variable_length(tick - now) + bytes([status, midi, velocity])
        now = tick
    track += variable_length(0) + b"\xff\x2f\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480)
    with open(path, "wb") as f:
        f.write(header + b"MTrk" + struct.pack(">I", len(track)) + bytes(track))


def render(notes, program, font, path, work):
    mid = os.path.join(work, "piece.mid")
    raw = os.path.join(work, "piece_raw.wav")
    write_midi(mid, notes, program)
    subprocess.run(["fluidsynth", "-ni", "-q", "-R", "0", "-C", "0", "-g", "0.5", "-r", str(RATE),
                    "-F", raw, font, mid], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["sox", "-D", raw, "-c", "1", "-b", "32", "-e", "floating-point", path, "remix", "-"], check=True)


def sine_notes():
    """Row centres from 55 Hz up to about 3 kHz, in tune and 30 cents either side."""
    notes, t = [], 0.0
    for midi in list(range(33, 103, 7)) + [102]:
        for cents in (0, 30, -30):
            notes.append((t, 0.8, midi + cents / 100.0))
            t += 0.8 + GAP
    return notes


# Pure-sine chords: triads, fifths and octaves of equal sines, as organ stops and test tones are.
SINE_CHORDS = [(60, 64, 67), (57, 60, 64), (48, 52, 55), (67, 71, 74), (60, 67), (55, 62), (48, 60), (57, 69)]


def sine_chords():
    return [(i * 1.2, 1.1, m) for i, shape in enumerate(SINE_CHORDS) for m in shape]


def render_sines(notes, path):
    total = int((notes[-1][0] + notes[-1][1] + GAP) * RATE)
    samples = [0.0] * total
    for start, length, midi in notes:
        hz = 440.0 * 2 ** ((midi - 69) / 12)
        first, count = int(start * RATE), int(length * RATE)
        step = 2 * math.pi * hz / RATE
        for n in range(count):
            samples[first + n] += 0.5 * math.sin(step * n)
    peak = max(abs(v) for v in samples)
    if peak > 0.5:
        samples = [0.5 * v / peak for v in samples]
    write_wav(path, samples)


def concatenate(parts, path):
    """Joins pieces with a gap; returns the written notes shifted to their place, tagged by material."""
    silence = path + ".gap.wav"
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", silence, "trim", "0", str(GAP)], check=True)
    files, notes, offset = [], [], 0.0
    for material, piece, piece_notes in parts:
        files += [piece, silence]
        for start, length, midi in piece_notes:
            notes.append((material, offset + start, length, midi))
        offset += sound_length(piece) + GAP
    subprocess.run(["sox", "-D"] + files + [path], check=True)
    return notes


def sound_length(path):
    out = subprocess.run(["soxi", "-D", path], check=True, capture_output=True, text=True).stdout
    return float(out)


def normalise(source, level, path):
    subprocess.run(["sox", "-D", source, "-b", "32", "-e", "floating-point", path, "gain", "-n", str(level)], check=True)


# ---- scoring -------------------------------------------------------------------------------

def replay(binary, sound, auto_gain, work, detector, pitch=False):
    """Scored blocks as (first sample, 72 scores, read-out Hz or None)."""
    scores = os.path.join(work, "scores.csv")
    readout = os.path.join(work, "pitch.csv")
    command = [binary, "--headless", sound, "--scores", scores, "--detector", detector]
    command += ["--auto-gain"] if auto_gain else []
    command += ["--pitch", readout] if pitch else []
    subprocess.run(command, check=True)
    blocks = []
    with open(scores) as f:
        next(f)
        for line in f:
            fields = line.rstrip("\n").split(",")
            step = int(fields[0])
            blocks.append([step * BUFFER - BLOCK, [float(v) for v in fields[2:]], None])
    if pitch:
        with open(readout) as f:
            next(f)
            for block, line in zip(blocks, f):
                hz = line.rstrip("\n").split(",")[3]
                block[2] = float(hz) if hz else None
    return blocks


class Tally:
    """What one material showed over its judged blocks."""

    def __init__(self):
        self.notes = self.true = self.neighbour = self.octave = 0
        self.rows = self.blocks = 0
        self.hits = self.lit = 0  # chords: lit rows that are chord notes, all lit rows
        self.errors = {}          # note index: the read-out's cents from the written pitch, per block

    def row(self):
        return (self.true, self.neighbour, self.octave, self.rows)


def judge(blocks, notes):
    """Per material, a Tally. A block is judged against the notes that sound through the whole
    of it (a note's first 50 ms are its attack and are left out); a block with no such note is not."""
    totals = {}
    for first, scores, hz in blocks:
        begin, end = first / RATE, (first + BLOCK) / RATE
        sounding = [(i, m, midi) for i, (m, start, length, midi) in enumerate(notes)
                    if start + ATTACK <= begin and end <= start + length]
        if not sounding:
            continue
        t = totals.setdefault(sounding[0][1], Tally())
        lit = {r for r in range(ROWS) if scores[r] >= LIT}
        played = {round(midi) - FIRST_ROW_MIDI for _, _, midi in sounding}
        for index, _, midi in sounding:
            row = round(midi) - FIRST_ROW_MIDI
            if not 0 <= row < ROWS:
                continue
            t.notes += 1
            if row in lit:
                t.true += 1
            elif (row - 1) in lit or (row + 1) in lit:
                t.neighbour += 1
            elif (row - 12) in lit or (row + 12) in lit:
                t.octave += 1
            if hz is not None and len(sounding) == 1:
                true_hz = 440.0 * 2 ** ((midi - 69) / 12)
                t.errors.setdefault(index, []).append(1200 * math.log2(hz / true_hz))
        t.rows += len(lit)
        t.blocks += 1
        t.hits += len(lit & played)
        t.lit += len(lit)
    return totals


def percent(part, whole):
    return f"{100.0 * part / whole:5.1f}" if whole else "    -"


def cell(t):
    if t is None or not t.notes:
        return f"{'-':>5} {'-':>5} {'-':>5} {'-':>5}"
    rows = f"{t.rows / t.blocks:5.2f}"
    return f"{percent(t.true, t.notes)} {percent(t.neighbour, t.notes)} {percent(t.octave, t.notes)} {rows}"


def chord_cell(t):
    if t is None or not t.notes:
        return f"{'-':>5} {'-':>5}"
    return f"{percent(t.hits, t.lit)} {percent(t.hits, t.notes)}"


def readout_errors(tally):
    """Per written note, the median of its blocks' read-out errors in cents (None: never read)."""
    return {i: statistics.median(e) for i, e in tally.errors.items() if e}


def silence_then_noise(binary, work, detector, level):
    """Ten seconds of silence, then ten of white noise peaking at `level` dBFS: % of blocks with a lit row."""
    random.seed(9)
    raw = os.path.join(work, "noise_raw.wav")
    if not os.path.exists(raw):
        write_wav(raw, [random.uniform(-1, 1) for _ in range(10 * RATE)])
    noise = os.path.join(work, "noise.wav")
    subprocess.run(["sox", raw, "-b", "32", "-e", "floating-point", noise, "gain", "-n", str(level)], check=True)
    silence = os.path.join(work, "silence.wav")
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "32", "-e", "floating-point", silence,
                    "trim", "0", "10"], check=True)
    joined = os.path.join(work, "silence_noise.wav")
    subprocess.run(["sox", silence, noise, joined], check=True)
    out = {}
    for auto in (False, True):
        blocks = replay(binary, joined, auto, work, detector)
        lit = sum(1 for _, s, _ in blocks if max(s) >= LIT)
        out[auto] = 100.0 * lit / max(1, len(blocks))
    return out


def level_step(binary, source, midi, work, detector):
    """A held note whose level steps by +20 dB, then one stepping by -20 dB, at 2 s.

    Right: the note's row lit and neither neighbour. Returns, per case, the seconds from the
    step to the first right block and the share of right blocks from there to the note's end.
    """
    results = {}
    for auto in (False, True):
        for step_db, low in ((+20, -40), (-20, -20)):
            a, b = os.path.join(work, "step_a.wav"), os.path.join(work, "step_b.wav")
            joined = os.path.join(work, "step.wav")
            subprocess.run(["sox", "-D", source, "-b", "32", "-e", "floating-point", a, "trim", "0", "2",
                            "gain", "-n", str(low)], check=True)
            subprocess.run(["sox", "-D", source, "-b", "32", "-e", "floating-point", b, "trim", "2", "2",
                            "gain", "-n", str(low + step_db)], check=True)
            subprocess.run(["sox", "-D", a, b, joined], check=True)
            row = midi - FIRST_ROW_MIDI
            marks = []
            for first, scores, _ in replay(binary, joined, auto, work, detector):
                if first < 2 * RATE or first + BLOCK > 4 * RATE:
                    continue
                lit = scores[row] >= LIT
                marks.append(((first + BLOCK) / RATE - 2.0, lit and scores[row - 1] < LIT and scores[row + 1] < LIT))
            first_right = next((i for i, (_, right) in enumerate(marks) if right), None)
            if first_right is None:
                results[(auto, step_db)] = None
            else:
                rest = marks[first_right:]
                results[(auto, step_db)] = (marks[first_right][0], 100.0 * sum(r for _, r in rest) / len(rest))
    return results


def time_per_block(binary, sound, work, detector, runs=5):
    """The least processor time of a few headless replays, in ms per scored block (the whole step
    and callback). Processor time rather than the clock's: other work on the machine leaves it be."""
    blocks = max(1, int(sound_length(sound) * RATE) // BLOCK)
    best = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run([binary, "--headless", sound, "--detector", detector], check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        spent = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = spent if best is None else min(best, spent)
    return 1000.0 * best / blocks


# ---- the corpus and the tables --------------------------------------------------------------

def build_corpus(work, fonts, only):
    timbres = []
    if not only or "sine" in only:
        parts = []
        for material, notes in (("single", sine_notes()), ("sines", sine_chords())):
            piece = os.path.join(work, f"sine_{material}.wav")
            if not os.path.exists(piece):
                render_sines(notes, piece)
            parts.append((material, piece, notes))
        sines = os.path.join(work, "sines.wav")
        timbres.append(("", "sine", sines, concatenate(parts, sines)))
    for font, path, _ in fonts:
        for name, program in INSTRUMENTS.items():
            if only and name not in only:
                continue
            parts = []
            for material, make in MATERIALS:
                piece_notes = make(name)
                if not piece_notes:
                    continue
                # Renders are kept between runs, under a name that changes with what they hold.
                digest = hashlib.sha1(repr((path, program, piece_notes)).encode()).hexdigest()[:10]
                piece = os.path.join(work, f"{font}_{name}_{material}_{digest}.wav")
                if not os.path.exists(piece):
                    render(piece_notes, program, path, piece, work)
                parts.append((material, piece, piece_notes))
            joined = os.path.join(work, f"{font}_{name}.wav")
            timbres.append((font, name, joined, concatenate(parts, joined)))
    return timbres


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--detector")]
    detector = "design"
    for i, a in enumerate(sys.argv):
        if a == "--detector" and i + 1 < len(sys.argv):
            detector = sys.argv[i + 1]
            args.remove(detector)
        elif a.startswith("--detector="):
            detector = a.split("=", 1)[1]
    if not args or detector not in ("design", "precise"):
        sys.exit("sonavel: usage: level_sweep.py SONAVEL_BINARY [WORK_DIR] [--detector design|precise]")
    binary = os.path.abspath(args[0])
    work = os.path.abspath(args[1] if len(args) > 1 else "level-sweep-work")
    os.makedirs(work, exist_ok=True)
    only = [t for t in os.environ.get("SWEEP_TIMBRES", "").split(",") if t]
    wanted_fonts = [f for f in os.environ.get("SWEEP_FONTS", "").split(",") if f]
    fonts = [f for f in FONTS if not wanted_fonts or f[0] in wanted_fonts]
    levels = [int(v) for v in os.environ.get("SWEEP_LEVELS", "").split(",") if v] or LEVELS
    skip = [s for s in os.environ.get("SWEEP_SKIP", "").split(",") if s]
    readout = detector == "precise"

    print(f"Level sweep of the {detector} detector.")
    print("true = the played note's row lit (score >= 0.5), in % of note-blocks; nbr = a neighbouring row")
    print("lit instead; oct = only a row an octave away lit instead; rows = mean rows lit per block.")
    print("chords: prec = lit rows that are chord notes, rec = chord notes whose row is lit, in %.")
    print("Each piece is peak-normalised to the level; blocks inside a note's first 50 ms are not judged.")
    summary = []
    sine_errors = {}
    held_errors = {}
    for font, name, source, notes in build_corpus(work, fonts, only):
        tag = next((f"{f} ({why})" for f, _, why in FONTS if f == font), "")
        print(f"\n== {name} {tag}".rstrip())
        print(f"{'material':8} {'dBFS':>5} | {'off: true':>9} {'nbr':>5} {'oct':>5} {'rows':>5} |"
              f" {'auto: true':>10} {'nbr':>5} {'oct':>5} {'rows':>5}")
        by_level = {}
        for level in levels:
            path = os.path.join(work, f"{font}_{name}_{-level}.wav")
            normalise(source, level, path)
            by_level[level] = {auto: judge(replay(binary, path, auto, work, detector, readout), notes)
                               for auto in (False, True)}
        materials = ["single", "sines"] if name == "sine" else [m for m, make in MATERIALS if make(name)]
        for material in materials:
            for level in levels:
                tallies = [by_level[level][auto].get(material) for auto in (False, True)]
                if material in CHORD_MATERIALS:
                    print(f"{material:8} {level:5d} | {'prec':>9} {'rec':>5} {chord_cell(tallies[0])} |"
                          f" {'prec':>10} {'rec':>5} {chord_cell(tallies[1])}")
                else:
                    print(f"{material:8} {level:5d} | {cell(tallies[0]):>27} | {cell(tallies[1]):>28}")
                for auto, t in zip((False, True), tallies):
                    if t is not None:
                        summary.append((font, name, material, level, auto, t))
                    if readout and t is not None and material == "single":
                        errors = readout_errors(t)
                        if name == "sine":
                            sine_errors.setdefault((level, auto), []).append((notes, t))
                        elif name in ("flute", "violin"):
                            held_errors.setdefault((font, name), []).extend(errors.values())

    print_summary(summary)
    if readout and sine_errors:
        print_sine_readout(sine_errors)
    if readout and held_errors:
        print("\n== read-out of held single notes: median cents from the written pitch, per note")
        for (font, name), errors in held_errors.items():
            within = sum(1 for e in errors if abs(e) <= 10.0)
            print(f"{font:9} {name:6}: {within} of {len(errors)} within 10 cents, "
                  f"largest {max(abs(e) for e in errors):.1f} cents")

    if only:
        return
    if "noise" not in skip:
        print("\n== 10 s silence, then 10 s white noise peaking at the level: blocks with a lit row")
        for level in (-70, -50):
            noise = silence_then_noise(binary, work, detector, level)
            print(f"{level} dBFS: off {noise[False]:.1f} %, auto {noise[True]:.1f} %")
    if "step" not in skip:
        print("\n== a held note stepping by 20 dB at 2 s: seconds to the first right block (row lit, no")
        print("neighbour), then the share of right blocks to the note's end (- = never right)")
        flute = os.path.join(work, "flute_held.wav")
        render([(0.0, 4.5, 72)], INSTRUMENTS["flute"], FONTS[0][1], flute, work)
        sine = os.path.join(work, "sine_held.wav")
        render_sines([(0.0, 4.5, 69)], sine)
        for label, source, midi in (("sine A4", sine, 69), ("flute C5", flute, 72)):
            r = level_step(binary, source, midi, work, detector)
            cells = []
            for auto in (False, True):
                for step_db in (+20, -20):
                    v = r[(auto, step_db)]
                    shown = "-" if v is None else f"{v[0]:.2f} s, {v[1]:.0f} %"
                    cells.append(f"{'auto' if auto else 'off'} {step_db:+d} dB: {shown}")
            print(f"{label:9} " + ", ".join(cells))
    if "timing" not in skip:
        source = os.path.join(work, f"{FONTS[0][0]}_piano_20.wav")
        if os.path.exists(source):
            print("\n== processor time per block of a headless replay (least of 5, the whole step and callback;")
            print("bench_analysis times the detectors alone)")
            for d in ("design", "precise"):
                print(f"{d}: {time_per_block(binary, source, work, d):.3f} ms")


def print_summary(summary):
    """The worst level of each timbre and material, at GAIN 1 (off) and with automatic gain (auto)."""
    print("\n== worst over the levels, per SoundFont, timbre and material, at GAIN 1 | with automatic gain")
    print("(true, nbr, oct: %; rows: mean rows lit; chords: prec, rec in %)")
    groups = {}
    for font, name, material, level, auto, t in summary:
        if t.notes:
            groups.setdefault((font, name, material), {}).setdefault(auto, []).append(t)
    for (font, name, material), by_auto in groups.items():
        cells = []
        for auto in (False, True):
            tallies = by_auto.get(auto, [])
            if not tallies:
                cells.append("-")
            elif material in CHORD_MATERIALS:
                prec = min(100.0 * t.hits / t.lit if t.lit else 100.0 for t in tallies)
                rec = min(100.0 * t.hits / t.notes for t in tallies)
                cells.append(f"prec {prec:5.1f}  rec {rec:5.1f}")
            else:
                true = min(100.0 * t.true / t.notes for t in tallies)
                nbr = max(100.0 * t.neighbour / t.notes for t in tallies)
                octave = max(100.0 * t.octave / t.notes for t in tallies)
                rows = max(t.rows / t.blocks for t in tallies)
                cells.append(f"true {true:5.1f}  nbr {nbr:4.1f}  oct {octave:4.1f}  rows {rows:4.2f}")
        print(f"{font or '-':9} {name:6} {material:7} {cells[0]:40} | {cells[1]}")


def print_sine_readout(sine_errors):
    print("\n== read-out on sines: cents from the true pitch over every judged block, all levels, both gains")
    by_band = {}
    for (level, auto), runs in sine_errors.items():
        for notes, t in runs:
            for index, errors in t.errors.items():
                midi = notes[index][3]
                hz = 440.0 * 2 ** ((midi - 69) / 12)
                band = "55 Hz" if hz < 100 else "110 Hz-3 kHz"
                by_band.setdefault(band, []).extend(abs(e) for e in errors)
    for band, errors in by_band.items():
        errors.sort()
        p95 = errors[int(0.95 * (len(errors) - 1))]
        print(f"{band:13}: {len(errors)} blocks, median {statistics.median(errors):.2f}, 95th percentile {p95:.2f},"
              f" largest {errors[-1]:.2f} cents")


if __name__ == "__main__":
    main()
