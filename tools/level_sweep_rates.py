#!/usr/bin/env python3
"""Level sweep: how well the played note is shown at input levels from -40 to -1 dBFS.

Renders a corpus (sines, and single notes, melodies, fast scales and chords in four
instruments through fluidsynth), peak-normalises every piece to each level with sox,
replays it through `sonavel --headless --scores`, with and without --auto-gain, and
compares the scores with the notes that were written. Prints one table per timbre.

usage: level_sweep_rates.py SONAVEL_BINARY [WORK_DIR] [--rate HZ | --rates HZ,HZ,...]   (run where font.tga is)

--rate HZ renders the corpus at that rate (sonavel converts it to 44100 Hz as it reads it) and
prints the same tables. --rates compares rates on one performance: fluidsynth plays at a rate
of its own (its rendering at each rate is a different performance), the pieces are levelled
there and then brought to each rate with sox's best converter, as a studio bounces one master;
the sines are computed at each rate. All in 32-bit float. The first rate is the reference.
"""

import argparse

import math
import os
import random
import struct
import subprocess
import sys
import wave

RATE = 44100  # Hz: the analysis rate, and the corpus's unless another is asked for
MASTER_RATE = 96000  # Hz: where the instruments are played when rates are compared
CONTROL_BITS = 24  # the control: the reference files rounded to this many bits, a change 144 dB down
CONTROL = f"{CONTROL_BITS}-bit"
BLOCK = 2048
BUFFER = 512
LIT = 0.5
LEVELS = [-40, -30, -20, -12, -6, -1]
FIRST_ROW_MIDI = 33  # row 0 is A1
ROWS = 72
SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
INSTRUMENTS = {"piano": 0, "guitar": 24, "violin": 40, "flute": 73}
# Highest and lowest notes each instrument plays here, as MIDI numbers.
RANGES = {"piano": (36, 96), "guitar": (40, 76), "violin": (55, 93), "flute": (60, 96)}
GAP = 0.25  # seconds of silence between pieces


# ---- the written notes: (start s, length s, midi) --------------------------------------

def single_notes(low, high):
    notes, t = [], 0.0
    for midi in range(low, high + 1, 5):
        notes.append((t, 1.0, midi))
        t += 1.0 + GAP
    return notes


def melody(low, high):
    base = max(low, min(high - 12, 67))
    steps = [0, 2, 4, 5, 7, 5, 4, 2, 0, 4, 7, 12, 7, 4, 0]
    return [(i * 0.3, 0.28, base + s) for i, s in enumerate(steps)]


def fast_scale(low, high):
    base = max(low, min(high - 14, 60))
    up = [0, 2, 4, 5, 7, 9, 11, 12, 14]
    steps = (up + up[-2:0:-1]) * 2 + [0]
    return [(i * 0.16, 0.15, base + s) for i, s in enumerate(steps)]  # six notes a second


def chords(low, high):
    base = max(low, min(high - 12, 60))
    shapes = [(0, 4, 7), (5, 9, 12), (7, 11, 14), (0, 4, 7)]
    return [(i * 1.0, 0.95, base + s) for i, shape in enumerate(shapes) for s in shape]


MATERIALS = [("single", single_notes), ("melody", melody), ("scale", fast_scale), ("chords", chords)]


# ---- files -------------------------------------------------------------------------------

def write_wav(path, samples, rate=RATE, floating=False):
    if floating:
        raw = path + ".f32"
        with open(raw, "wb") as f:
            f.write(struct.pack(f"<{len(samples)}f", *samples))
        subprocess.run(["sox", "-t", "f32", "-r", str(rate), "-c", "1", raw, "-b", "32", "-e", "floating-point", path],
                       check=True)
        os.remove(raw)
        return
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
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


def render(notes, program, path, work, rate=RATE):
    mid = os.path.join(work, "piece.mid")
    raw = os.path.join(work, "piece_raw.wav")
    write_midi(mid, notes, program)
    subprocess.run(["fluidsynth", "-ni", "-q", "-R", "0", "-C", "0", "-g", "0.5", "-r", str(rate),
                    "-F", raw, SOUNDFONT, mid], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["sox", "-D", raw, "-c", "1", "-b", "32", "-e", "floating-point", path, "remix", "-"], check=True)


def sine_notes():
    """Row centres from 55 Hz up to about 3 kHz, in tune and 30 cents either side."""
    notes, t = [], 0.0
    for midi in list(range(33, 103, 7)) + [102]:
        for cents in (0, 30, -30):
            notes.append((t, 0.8, midi + cents / 100.0))
            t += 0.8 + GAP
    return notes


def render_sines(notes, path, rate=RATE, floating=False):
    total = int((notes[-1][0] + notes[-1][1] + GAP) * rate)
    samples = [0.0] * total
    for start, length, midi in notes:
        hz = 440.0 * 2 ** ((midi - 69) / 12)
        first, count = int(start * rate), int(length * rate)
        step = 2 * math.pi * hz / rate
        for n in range(count):
            samples[first + n] = 0.5 * math.sin(step * n)
    write_wav(path, samples, rate, floating)


def concatenate(parts, path, rate=RATE):
    """Joins pieces with a gap; returns the written notes shifted to their place, tagged by material."""
    silence = path + ".gap.wav"
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", "1", silence, "trim", "0", str(GAP)], check=True)
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


def soxi_rate(path):
    return int(subprocess.run(["soxi", "-r", path], check=True, capture_output=True, text=True).stdout)


def normalise(source, level, path):
    subprocess.run(["sox", "-D", source, "-b", "32", "-e", "floating-point", path, "gain", "-n", str(level)], check=True)


# ---- scoring -------------------------------------------------------------------------------

def replay(binary, sound, auto_gain, work):
    scores = os.path.join(work, "scores.csv")
    command = [binary, "--headless", sound, "--scores", scores] + (["--auto-gain"] if auto_gain else [])
    subprocess.run(command, check=True)
    blocks = []
    with open(scores) as f:
        next(f)
        for line in f:
            fields = line.rstrip("\n").split(",")
            step = int(fields[0])
            blocks.append((step * BUFFER - BLOCK, [float(v) for v in fields[2:]]))
    return blocks


def judge(blocks, notes):
    """Per material: [true lit, neighbour instead, notes judged, rows lit, blocks judged].

    A block is judged against the notes that sound through the whole of it (a note's first
    50 ms are its attack and are left out); a block with no such note is not judged.
    """
    totals = {}
    for first, scores in blocks:
        begin, end = first / RATE, (first + BLOCK) / RATE
        sounding = [(m, round(midi)) for m, start, length, midi in notes
                    if start + 0.05 <= begin and end <= start + length]
        if not sounding:
            continue
        material = sounding[0][0]
        t = totals.setdefault(material, [0, 0, 0, 0, 0])
        lit = [r for r in range(ROWS) if scores[r] >= LIT]
        for _, midi in sounding:
            row = midi - FIRST_ROW_MIDI
            if not 0 <= row < ROWS:
                continue
            t[2] += 1
            if row in lit:
                t[0] += 1
            elif (row - 1) in lit or (row + 1) in lit:
                t[1] += 1
        t[3] += len(lit)
        t[4] += 1
    return totals


def silence_then_noise(binary, work):
    """Ten seconds of silence, then ten of white noise peaking at -70 dBFS: blocks with a lit row."""
    random.seed(9)
    samples = [0.0] * (10 * RATE) + [random.uniform(-1, 1) for _ in range(10 * RATE)]
    raw = os.path.join(work, "noise_raw.wav")
    write_wav(raw, samples)
    path = os.path.join(work, "noise.wav")
    subprocess.run(["sox", raw, "-b", "32", "-e", "floating-point", path, "trim", "10", "gain", "-n", "-70"],
                   check=True)
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "32", "-e", "floating-point",
                    os.path.join(work, "silence.wav"), "trim", "0", "10"], check=True)
    joined = os.path.join(work, "silence_noise.wav")
    subprocess.run(["sox", os.path.join(work, "silence.wav"), path, joined], check=True)
    out = {}
    for auto in (False, True):
        blocks = replay(binary, joined, auto, work)
        lit = sum(1 for _, s in blocks if max(s) >= LIT)
        out[auto] = 100.0 * lit / max(1, len(blocks))
    return out


def level_step(binary, source, midi, work):
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
            for first, scores in replay(binary, joined, auto, work):
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


def percent(part, whole):
    return f"{100.0 * part / whole:5.1f}" if whole else "    -"


def sine_corpus(work, rate, floating=False):
    sines = os.path.join(work, "sines.wav")
    notes = sine_notes()
    render_sines(notes, sines, rate, floating)
    return sines, [("single", start, length, midi) for start, length, midi in notes]


def corpus(work, rate, only, sines=True):
    """Every timbre's joined pieces rendered at `rate`, with the notes written in them."""
    os.makedirs(work, exist_ok=True)
    timbres = {}
    if sines and (not only or "sine" in only):
        timbres["sine"] = sine_corpus(work, rate)
    for name, program in INSTRUMENTS.items():
        if only and name not in only:
            continue
        low, high = RANGES[name]
        parts = []
        for material, make in MATERIALS:
            piece = os.path.join(work, f"{name}_{material}.wav")
            piece_notes = make(low, high)
            render(piece_notes, program, piece, work, rate)
            parts.append((material, piece, piece_notes))
        joined = os.path.join(work, f"{name}.wav")
        timbres[name] = (joined, concatenate(parts, joined, rate))
    return timbres


def sweep(binary, work, timbres, rate=None, bits=None):
    """Per timbre, level and automatic gain off or on: judge()'s totals per material. With a
    rate, each levelled piece is brought to that rate before it is replayed; with bits, it is
    then rounded to that many bits."""
    results = {}
    for name, (source, notes) in timbres.items():
        by_level = results[name] = {}
        for level in LEVELS:
            path = os.path.join(work, f"{name}_{-level}.wav")
            normalise(source, level, path)
            if rate is not None and soxi_rate(path) != rate:
                converted = os.path.join(work, f"{name}_{-level}_{rate}.wav")
                subprocess.run(["sox", "-D", path, "-b", "32", "-e", "floating-point", converted, "rate", "-v", str(rate)],
                               check=True)
                path = converted
            if bits is not None:
                rounded = os.path.join(work, f"{name}_{-level}_{bits}bit.wav")
                subprocess.run(["sox", "-D", path, "-b", str(bits), rounded], check=True)
                path = rounded
            by_level[level] = {auto: judge(replay(binary, path, auto, work), notes) for auto in (False, True)}
    return results


def materials_of(name):
    return [m for m, _ in MATERIALS] if name != "sine" else ["single"]


def print_tables(results):
    print("Level sweep: true = the played note's row lit (score >= 0.5), in % of note-blocks;")
    print("nbr = a neighbouring row lit instead, in %; rows = mean rows lit per block.")
    print("Each piece is peak-normalised to the level; blocks inside a note's first 50 ms are not judged.")
    for name, by_level in results.items():
        print(f"\n== {name}")
        print(f"{'material':8} {'dBFS':>5} | {'off: true':>9} {'nbr':>5} {'rows':>5} | {'auto: true':>10} {'nbr':>5} {'rows':>5}")
        for material in materials_of(name):
            for level in LEVELS:
                cells = []
                for auto in (False, True):
                    t = by_level[level][auto].get(material, [0, 0, 0, 0, 0])
                    rows = f"{t[3] / t[4]:5.1f}" if t[4] else "    -"
                    cells.append(f"{percent(t[0], t[2]):>9} {percent(t[1], t[2])} {rows}")
                print(f"{material:8} {level:5d} | {cells[0]} | {cells[1]:>22}")


def lit_share(totals, materials):
    """The played row lit, in % of the note-blocks of these materials together."""
    lit = sum(totals.get(m, [0, 0, 0])[0] for m in materials)
    judged = sum(totals.get(m, [0, 0, 0])[2] for m in materials)
    return 100.0 * lit / judged if judged else float("nan")


def print_rate_comparison(by_rate):
    """Each rate's played-row-lit shares against the first rate's, per timbre (all its materials
    together) and per material, GAIN 1 and automatic gain; the largest difference closes each."""
    rates = list(by_rate)
    reference = by_rate[rates[0]]
    print(f"Level sweep at other rates: one performance at each rate (instruments played at {MASTER_RATE} Hz and")
    print(f"brought to the rate by sox, sines computed at it), converted to {RATE} Hz as sonavel reads it.")
    print(f"Played row lit (score >= 0.5), in % of note-blocks, at {rates[0]} Hz; then each rate's difference")
    print("from it in percentage points. 'all' pools a timbre's materials; the design's detector. The last")
    print(f"column, {CONTROL}, is the control: the {rates[0]} Hz files themselves rounded to {CONTROL_BITS} bits, a change")
    print("144 dB down that no conversion comes near; it shows how far the shares move for no audible reason.")
    worst = {rate: 0.0 for rate in rates[1:]}
    worst_material = dict(worst)
    labels = {rate: (f"{rate} Hz" if rate != CONTROL else f"{CONTROL} control") for rate in rates[1:]}
    for name, by_level in reference.items():
        print(f"\n== {name}")
        header = " | ".join(f"{r:>6}" for r in rates[1:])
        print(f"{'material':8} {'dBFS':>5} {'gain':>4} | {rates[0]:>6} | {header}")
        groups = [("all", materials_of(name))] + ([(m, [m]) for m in materials_of(name)] if name != "sine" else [])
        for label, materials in groups:
            for level in LEVELS:
                for auto in (False, True):
                    base = lit_share(by_level[level][auto], materials)
                    cells = []
                    for rate in rates[1:]:
                        diff = lit_share(by_rate[rate][name][level][auto], materials) - base
                        if label == "all":
                            worst[rate] = max(worst[rate], abs(diff))
                        elif not math.isnan(diff):
                            worst_material[rate] = max(worst_material[rate], abs(diff))
                        cells.append(f"{diff:+6.1f}")
                    print(f"{label:8} {level:5d} {'auto' if auto else '1':>4} | {base:6.1f} | " + " | ".join(cells))
    print("\n== largest difference over every timbre (all materials), level and gain, in percentage points")
    print(", ".join(f"{labels[rate]}: {worst[rate]:.1f}" for rate in rates[1:]))
    print("== the same over every single material")
    print(", ".join(f"{labels[rate]}: {worst_material[rate]:.1f}" for rate in rates[1:]))


def main():
    parser = argparse.ArgumentParser(prog="level_sweep.py")
    parser.add_argument("binary")
    parser.add_argument("work", nargs="?", default="level-sweep-work")
    parser.add_argument("--rate", type=int, default=RATE, help="render the corpus at this rate (Hz)")
    parser.add_argument("--rates", help="render at each of these rates (Hz, comma-separated) and compare with the first")
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)

    # SWEEP_TIMBRES=piano,sine limits a run to some timbres (and skips the noise and step checks).
    only = [t for t in os.environ.get("SWEEP_TIMBRES", "").split(",") if t]
    if args.rates:
        # Each rate's column, then the control: the reference rate's files rounded to 24 bits.
        rates = [int(r) for r in args.rates.split(",")]
        columns = [(str(rate), rate, None) for rate in rates] + [(CONTROL, rates[0], CONTROL_BITS)]
        master = corpus(os.path.join(work, "master"), MASTER_RATE, only, sines=False)
        by_rate = {}
        for label, rate, bits in columns:
            rate_work = os.path.join(work, label)
            os.makedirs(rate_work, exist_ok=True)
            timbres = {"sine": sine_corpus(rate_work, rate, floating=True)} if not only or "sine" in only else {}
            timbres.update(master)
            by_rate[label] = sweep(binary, rate_work, timbres, rate, bits)
        print_rate_comparison(by_rate)
        return
    print_tables(sweep(binary, work, corpus(work, args.rate, only)))

    # The noise floor and the level steps are made at the analysis rate only.
    if only or args.rate != RATE:
        return
    noise = silence_then_noise(binary, work)
    print(f"\n== 10 s silence, then 10 s white noise at -70 dBFS: blocks with a lit row")
    print(f"off {noise[False]:.1f} %, auto {noise[True]:.1f} %")

    print("\n== a held note stepping by 20 dB at 2 s: seconds to the first right block (row lit, no")
    print("neighbour), then the share of right blocks to the note's end (- = never right)")
    flute = os.path.join(work, "flute_held.wav")
    render([(0.0, 4.5, 72)], INSTRUMENTS["flute"], flute, work)
    sine = os.path.join(work, "sine_held.wav")
    render_sines([(0.0, 4.5, 69)], sine)
    for label, source, midi in (("sine A4", sine, 69), ("flute C5", flute, 72)):
        r = level_step(binary, source, midi, work)
        cells = []
        for auto in (False, True):
            for step_db in (+20, -20):
                v = r[(auto, step_db)]
                shown = "-" if v is None else f"{v[0]:.2f} s, {v[1]:.0f} %"
                cells.append(f"{'auto' if auto else 'off'} {step_db:+d} dB: {shown}")
        print(f"{label:9} " + ", ".join(cells))


if __name__ == "__main__":
    main()
