#!/usr/bin/python3
"""Note-level evaluation: how many of the written notes `sonavel --headless --midi` gives back.

Renders the level sweep's corpus (single notes, a melody, fast scales, chords, open guitar
chords) and three harder materials (octave doublings, a melody in the low register, a note
struck again 0.15 s after itself) through fluidsynth with each SoundFont, peak-normalises
every piece to each level, replays it with `--midi`, reads the notes back with mido and
scores them with mir_eval's transcription metrics, the field's standard: a note matches
when its onset is within 50 ms and its pitch within 50 cents, and, for the second figure,
its end within 20 % of the note's length (at least 50 ms).

usage: note_eval.py SONAVEL_BINARY [WORK_DIR]   (run where font.tga is; Debian's python3 with
       python3-mir-eval and python3-mido, which tools/install-deps.sh sweep installs)

EVAL_FONTS=fluid,musescore, EVAL_TIMBRES=piano,guitar and EVAL_LEVELS=-30,-6 limit a run.
"""

import os
import subprocess
import sys

import mido
import mir_eval
import numpy

import level_sweep as sweep

ONSET_TOLERANCE = 0.05  # s
PITCH_TOLERANCE = 50.0  # cents
OFFSET_RATIO = 0.2      # of the note's length
RESTRIKE_AFTER = 0.15   # s between a note and the same note struck again


def octaves(name):
    """Each note with the octave above it, held together (as guitars and pianos double them)."""
    low, high = sweep.RANGES[name]
    if name not in ("piano", "guitar"):
        return []
    roots = [m for m in range(low, high - 11, 5)]
    return [(i * 1.2, 1.1, m + k) for i, m in enumerate(roots) for k in (0, 12)]


def low_melody(name):
    """The sweep's melody moved down to the E2 register, where low partials mislead most."""
    if name not in ("piano", "guitar"):
        return []
    steps = [0, 2, 4, 5, 7, 5, 4, 2, 0, 4, 7, 12, 7, 4, 0]
    return [(i * 0.3, 0.28, 40 + s) for i, s in enumerate(steps)]


def restrikes(name):
    """A note, then the same note again 0.15 s after its start: two notes, not one."""
    if name not in ("piano", "guitar"):
        return []
    low, high = sweep.RANGES[name]
    notes, t = [], 0.0
    for m in range(low + 4, high - 4, 7):
        notes += [(t, RESTRIKE_AFTER - 0.01, m), (t + RESTRIKE_AFTER, 0.5, m)]
        t += 1.0
    return notes


MATERIALS = [("single", sweep.single_notes), ("melody", sweep.melody), ("scale", sweep.fast_scale),
             ("chords", sweep.chords), ("open", sweep.open_chords), ("octaves", octaves),
             ("low melody", low_melody), ("re-strike", restrikes)]


def read_notes(path):
    """(onset s, end s, MIDI key) of every note in the file."""
    held, notes, now = {}, [], 0.0
    for message in mido.MidiFile(path):
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            held[message.note] = now
        elif message.type in ("note_off", "note_on") and message.note in held:
            notes.append((held.pop(message.note), now, message.note))
    return notes


def as_arrays(notes):
    if not notes:
        return numpy.zeros((0, 2)), numpy.zeros(0)
    intervals = numpy.array([[start, max(end, start + 1e-3)] for start, end, _ in notes])
    pitches = numpy.array([440.0 * 2 ** ((m - 69) / 12) for _, _, m in notes])
    return intervals, pitches


def score(written, played):
    """Precision, recall and F1 without and with ends, and the matched written notes."""
    ref_i, ref_p = as_arrays(written)
    est_i, est_p = as_arrays(played)
    if len(ref_p) == 0 or len(est_p) == 0:
        return (0.0, 0.0, 0.0, 0.0), set()
    p, r, f, _ = mir_eval.transcription.precision_recall_f1_overlap(
        ref_i, ref_p, est_i, est_p, onset_tolerance=ONSET_TOLERANCE, pitch_tolerance=PITCH_TOLERANCE, offset_ratio=None)
    _, _, f_ends, _ = mir_eval.transcription.precision_recall_f1_overlap(
        ref_i, ref_p, est_i, est_p, onset_tolerance=ONSET_TOLERANCE, pitch_tolerance=PITCH_TOLERANCE,
        offset_ratio=OFFSET_RATIO)
    matched = mir_eval.transcription.match_notes(ref_i, ref_p, est_i, est_p, onset_tolerance=ONSET_TOLERANCE,
                                                 pitch_tolerance=PITCH_TOLERANCE, offset_ratio=None)
    return (p, r, f, f_ends), {ref for ref, _ in matched}


def replay_notes(binary, sound, work):
    out = os.path.join(work, "notes.mid")
    subprocess.run([binary, "--headless", sound, "--midi", out], check=True)
    return read_notes(out)


def chosen(variable, default):
    value = os.environ.get(variable)
    return value.split(",") if value else default


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    work = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "note-eval-work")
    os.makedirs(work, exist_ok=True)
    fonts = [f for f in sweep.FONTS if f[0] in chosen("EVAL_FONTS", [f[0] for f in sweep.FONTS])]
    timbres = chosen("EVAL_TIMBRES", list(sweep.INSTRUMENTS))
    levels = [int(v) for v in chosen("EVAL_LEVELS", [str(v) for v in sweep.LEVELS])]
    rows = {}  # (material, tuned or held out): lists of figures
    restruck = [0, 0]
    for font, path, kind in fonts:
        for timbre in timbres:
            for material, make in MATERIALS:
                written = make(timbre)
                if not written:
                    continue
                piece = os.path.join(work, f"{font}-{timbre}-{material.replace(' ', '_')}.wav")
                sweep.render(written, sweep.INSTRUMENTS[timbre], path, piece, work)
                notes = [(start, start + length, m) for start, length, m in written]
                for level in levels:
                    levelled = os.path.join(work, "levelled.wav")
                    sweep.normalise(piece, level, levelled)
                    figures, matched = score(notes, replay_notes(binary, levelled, work))
                    rows.setdefault((material, kind), []).append(figures)
                    if material == "re-strike":
                        pairs = range(0, len(notes), 2)
                        restruck[0] += sum(1 for k in pairs if k in matched and k + 1 in matched)
                        restruck[1] += len(pairs)
                print(f"note_eval: {font} {timbre} {material} done", file=sys.stderr)
    kinds = {kind: [name for name, _, k in fonts if k == kind] for _, _, kind in fonts}
    print(f"Note-level evaluation (make note-eval), levels {', '.join(map(str, levels))} dBFS, "
          f"{'; '.join(f'{kind}: ' + ', '.join(names) for kind, names in kinds.items())}; {', '.join(timbres)}.")
    print("A note matches with its onset within 50 ms and its pitch within 50 cents; "
          "'with ends' also wants its end within 20 % of its length.\n")
    print("| material | fonts | precision | recall | F1 | worst F1 | F1 with ends |")
    print("|---|---|---|---|---|---|---|")
    for (material, kind), figures in rows.items():
        mean = [sum(f[i] for f in figures) / len(figures) for i in range(4)]
        worst = min(f[2] for f in figures)
        print(f"| {material} | {kind} | {mean[0]:.3f} | {mean[1]:.3f} | {mean[2]:.3f} | {worst:.3f} | {mean[3]:.3f} |")
    if restruck[1]:
        print(f"\nre-struck 0.15 s after itself, both notes found: {restruck[0]} of {restruck[1]} "
              f"({100.0 * restruck[0] / restruck[1]:.1f} %)")


if __name__ == "__main__":
    main()
