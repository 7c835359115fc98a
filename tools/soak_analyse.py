#!/usr/bin/python3
"""Judges the soak's runs (tools/soak.sh).

  soak_analyse.py run OUT.raw SONAVEL.log KEYLAG.txt   one run's findings as JSON
  soak_analyse.py line N RESULT.json                   one line on run N
  soak_analyse.py summary RESULT.json...               the runs together, gaps per hour

A gap is a run of at least 32 samples of silence inside the tone, or a break in
its phase: a rising zero crossing more than 5 % away from where the tone's own
period puts it, not within a gap of silence already counted.
"""

import array
import json
import re
import statistics
import sys

MIN_GAP = 32          # samples of silence that make a gap
SILENT = 1e-4         # below the tone's least sample near a crossing (about 0.01)
TONE = 0.02           # a sample at least this large is the tone
PERIOD_SLACK = 0.05   # a crossing interval this far from the period is a break
RATE = 44100.0


def silent_runs(x):
    runs, start = [], None
    for i, v in enumerate(x):
        if -SILENT < v < SILENT:
            if start is None:
                start = i
        elif start is not None:
            if i - start >= MIN_GAP:
                runs.append((start, i - start))
            start = None
    if start is not None and len(x) - start >= MIN_GAP:
        runs.append((start, len(x) - start))
    return runs


def rising_crossings(x):
    # where the line between the two samples crosses
    return [i + x[i] / (x[i] - x[i + 1]) for i in range(len(x) - 1) if x[i] <= 0 < x[i + 1]]


def judge(samples):
    loud = [i for i, v in enumerate(samples) if abs(v) >= TONE]
    if not loud:
        return {"tone_seconds": 0.0, "gaps": [], "breaks": [], "error": "no tone in the recording"}
    tone = samples[loud[0]:loud[-1] + 1]
    gaps = silent_runs(tone)
    crossings = rising_crossings(tone)
    intervals = [b - a for a, b in zip(crossings, crossings[1:])]
    period = statistics.median(intervals) if intervals else 0.0
    breaks = []
    for k, interval in enumerate(intervals):
        if abs(interval - period) <= PERIOD_SLACK * period:
            continue
        at, end = crossings[k], crossings[k + 1]
        if any(at <= start + length and start <= end for start, length in gaps):
            continue  # the interval spans a gap of silence already counted
        breaks.append({"at_s": round(at / RATE, 3), "interval": round(interval, 2)})
    return {
        "tone_seconds": round(len(tone) / RATE, 3),
        "frequency": round(RATE / period, 2) if period else 0.0,
        "gaps": [{"at_s": round(start / RATE, 3), "samples": length} for start, length in gaps],
        "breaks": breaks,
    }


def number(pattern, text, kind=float):
    m = re.search(pattern, text)
    return kind(m.group(1)) if m else None


def report(log):
    text = open(log, encoding="utf-8", errors="replace").read()
    found = {"relay": number(r"audio: captured .*?in (\d+) gaps", text, int),
             "relay_silence_ms": number(r"audio: captured .*?, ([\d.]+) ms of it silence", text),
             "relay_dropped_ms": number(r"silence in \d+ gaps, ([\d.]+) ms composed but dropped", text),
             "carried_ms": number(r"([\d.]+) ms of the tone carried on", text),
             "carries": number(r"where the relay ran dry (\d+) times", text, int),
             "fill_least_ms": number(r"relay fill: least ([\d.]+) ms", text),
             "block_to_picture_mean_ms": number(r"block to picture: mean ([\d.]+) ms", text),
             "block_to_picture_max_ms": number(r"block to picture: mean [\d.]+ ms, max ([\d.]+) ms", text),
             "passed_by": number(r"blocks, (\d+) passed by", text, int)}
    m = re.search(r"least per [\d.]+ s, in ms:(.*)", text)
    found["fill_least_per_stretch_ms"] = [float(v) for v in m.group(1).split()] if m else []
    for side in ("capture", "playback", "duplex"):
        m = re.search(side + r" callback: (\d+) calls, period ([\d.]+) ms, interval max ([\d.]+) ms, "
                      r"p99 ([\d.]+) ms, most late ([-\d.]+) ms; input overflows (\d+), output underflows (\d+)", text)
        if m:
            found[side] = {"calls": int(m.group(1)), "period_ms": float(m.group(2)), "max_ms": float(m.group(3)),
                           "p99_ms": float(m.group(4)), "late_ms": float(m.group(5)),
                           "overflows": int(m.group(6)), "underflows": int(m.group(7))}
    return found


def run(raw, log, keylag):
    samples = array.array("f")
    with open(raw, "rb") as f:
        data = f.read()
    samples.frombytes(data[:len(data) // 4 * 4])  # little-endian float32, as parec writes here
    result = judge(samples)
    result.update(report(log))
    try:
        result["key_to_picture"] = open(keylag, encoding="utf-8").read().strip()
    except OSError:
        result["key_to_picture"] = ""
    print(json.dumps(result))


def events(result):
    return len(result["gaps"]) + len(result["breaks"])


def side_text(result, side):
    s = result.get(side)
    if not s:
        return ""
    return (f"; {side} interval max {s['max_ms']:.1f} ms p99 {s['p99_ms']:.2f} ms"
            f" (period {s['period_ms']:.1f}), overflows {s['overflows']}")


def line(n, path):
    r = json.load(open(path, encoding="utf-8"))
    where = ", ".join([f"{g['samples']} silent at {g['at_s']} s" for g in r["gaps"]] +
                      [f"break at {b['at_s']} s" for b in r["breaks"]])
    text = (f"soak: run {n}: {r['tone_seconds']:.1f} s of tone at {r.get('frequency', 0)} Hz, "
            f"{events(r)} gaps{' (' + where + ')' if where else ''}")
    if r.get("relay") is not None:  # the program's own report; a control run has none
        text += (f"; relay gaps {r['relay']}"
                 + (f", tone carried {r['carried_ms']} ms in {r['carries']}" if r.get("carried_ms") is not None else "")
                 + f", fill least {r.get('fill_least_ms')} ms"
                 + side_text(r, "capture") + side_text(r, "playback")
                 + f"; block to picture mean {r.get('block_to_picture_mean_ms')} ms max {r.get('block_to_picture_max_ms')} ms")
    print(text + (f"; {r['key_to_picture']}" if r.get("key_to_picture") else ""))


def summary(paths):
    results = [json.load(open(p, encoding="utf-8")) for p in paths]
    if not results:
        print("soak: no run finished")
        return
    hours = sum(r["tone_seconds"] for r in results) / 3600.0
    total = sum(events(r) for r in results)
    with_gap = sum(1 for r in results if events(r))
    fills = [r["fill_least_ms"] for r in results if r.get("fill_least_ms") is not None]
    print(f"soak: {len(results)} runs, {hours * 60:.1f} min of tone: {total} gaps in {with_gap} runs, "
          f"{total / hours if hours else 0:.1f} an hour; longest silence "
          f"{max([g['samples'] for r in results for g in r['gaps']], default=0)} samples")
    if fills:
        print(f"soak: relay fill least {min(fills):.1f} ms (per run: {' '.join(f'{f:.0f}' for f in fills)})")
    for side in ("capture", "playback", "duplex"):
        sides = [r[side] for r in results if side in r]
        if sides:
            print(f"soak: {side} callback: interval max {max(s['max_ms'] for s in sides):.1f} ms, "
                  f"p99 worst {max(s['p99_ms'] for s in sides):.2f} ms, median of runs' p99 "
                  f"{sorted(s['p99_ms'] for s in sides)[len(sides) // 2]:.2f} ms (period {sides[0]['period_ms']:.1f} ms), "
                  f"input overflows {sum(s['overflows'] for s in sides)}, output underflows "
                  f"{sum(s['underflows'] for s in sides)}")
    means = [r["block_to_picture_mean_ms"] for r in results if r.get("block_to_picture_mean_ms") is not None]
    if means:
        print(f"soak: block to picture: mean of runs {sum(means) / len(means):.1f} ms, max "
              f"{max(r['block_to_picture_max_ms'] for r in results if r.get('block_to_picture_max_ms') is not None):.1f} ms")
    keys = [float(m.group(1)) for r in results
            for m in [re.search(r"mean ([\d.]+) ms", r.get("key_to_picture", ""))] if m]
    if keys:
        print(f"soak: key to picture (before the hold, unloaded): mean of runs {sum(keys) / len(keys):.1f} ms")


def main(argv):
    if len(argv) >= 5 and argv[1] == "run":
        run(argv[2], argv[3], argv[4])
    elif len(argv) == 4 and argv[1] == "line":
        line(argv[2], argv[3])
    elif len(argv) >= 2 and argv[1] == "summary":
        summary(argv[2:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
