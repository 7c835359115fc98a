#!/usr/bin/python3
"""Note-level evaluation on the recorded piano: the recorded sweep's pieces (built from the
Salamander grand's samples, each note cut after its length with a 30 ms fade, as a damper ends
it) and a note struck again 0.15 s after itself, replayed with `--midi` and scored as
note_eval.py scores them, at -40, -20 and -1 dBFS.

Run by hand, with the samples fetched as tools/recorded_sweep.py says:

usage: recorded_note_eval.py SONAVEL_BINARY SAMPLE_DIR [WORK_DIR]   (Debian's python3, as note_eval.py)
"""

import os
import sys

import note_eval as ne
import recorded_sweep as rs

MATERIALS = rs.MATERIALS + [("re-strike", ne.restrikes("piano"))]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    binary, samples = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else "recorded-note-eval-work")
    os.makedirs(work, exist_ok=True)
    print(f"Recorded piano (Salamander grand, velocity 10), notes from --midi at {', '.join(map(str, rs.LEVELS))} dBFS.")
    print("A note matches with its onset within 50 ms and its pitch within 50 cents; "
          "'with ends' also wants its end within 20 % of its length.\n")
    print("| material | samples | precision | recall | F1 | worst F1 | F1 with ends |")
    print("|---|---|---|---|---|---|---|")
    restruck = [0, 0]
    for tag, names in rs.SETS:
        for material, written in MATERIALS:
            piece = os.path.join(work, f"{material}_{'_'.join(names)}.wav".replace("#", "s"))
            if not os.path.exists(piece):
                rs.build(written, names, samples, piece, work)
            notes = [(start, start + length, m) for start, length, m in written]
            figures = []
            for level in rs.LEVELS:
                levelled = os.path.join(work, "level.wav")
                rs.ls.normalise(piece, level, levelled)
                result, matched = ne.score(notes, ne.replay_notes(binary, levelled, work))
                figures.append(result)
                if material == "re-strike":
                    pairs = range(0, len(notes), 2)
                    restruck[0] += sum(1 for k in pairs if k in matched and k + 1 in matched)
                    restruck[1] += len(pairs)
            mean = [sum(f[i] for f in figures) / len(figures) for i in range(4)]
            worst = min(f[2] for f in figures)
            print(f"| {material} | {tag} | {mean[0]:.3f} | {mean[1]:.3f} | {mean[2]:.3f} | {worst:.3f} | {mean[3]:.3f} |",
                  flush=True)
    print(f"\nre-struck 0.15 s after itself, both notes found: {restruck[0]} of {restruck[1]} "
          f"({100.0 * restruck[0] / restruck[1]:.1f} %)")


if __name__ == "__main__":
    main()
