#!/usr/bin/python3
"""Judges the soak's runs (tools/soak.sh).

  soak_analyse.py run OUT.raw SONAVEL.log KEYLAG.txt [STALLS.txt HELD_AT]
                                                       one run's findings as JSON
  soak_analyse.py line N RESULT.json                   one line on run N
  soak_analyse.py summary RESULT.json...               the runs together, gaps per hour
  soak_analyse.py probe STALLS.txt SECONDS             the stall probe (below), for SECONDS

A gap is a run of at least 32 samples of silence inside the tone, or a break in
its phase: a rising zero crossing more than 5 % away from where the tone's own
period puts it, not within a gap of silence already counted.

The stall probe runs beside the program, at a real-time priority above the audio
threads' where the system grants it: it sleeps 2 ms at a time and notes every wake-up
later than 15 ms (wall-clock start, milliseconds). Where it stood still as long as the
output buffer lasts, every thread of the machine did (a virtual machine whose host took
its processors away, say), the sound server's among them: a gap at that moment is the
machine's, and the run says so beside the gap.
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
PROBE_SLEEP = 0.002   # s between the probe's wake-ups
PROBE_LATE = 0.015    # s: a wake-up this late is noted
MACHINE_STALL = 50.0  # ms: a probe stall this long stops the sound server's threads as well
NEAR = 0.5            # s: a stall this close to a gap (the tone reaches the recording ~0.1 s late)


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


def stalls_near(stalls, held_at, result):
    """Each gap and break gets the longest probe stall near it, in ms (0 when none)."""
    for event in result["gaps"] + result["breaks"]:
        length = event.get("samples", 0) / RATE
        at = held_at + event["at_s"]
        near = [ms for start, ms in stalls if at - NEAR <= start + ms / 1000.0 and start <= at + length + NEAR]
        event["machine_stall_ms"] = max(near, default=0.0)
    result["probe_stall_max_ms"] = max((ms for _, ms in stalls), default=0.0)


def read_stalls(path):
    stalls = []
    for text in open(path, encoding="utf-8"):
        fields = text.split()
        if len(fields) == 2:
            stalls.append((float(fields[0]), float(fields[1])))
    return stalls


def probe(path, seconds):
    import time
    end = time.monotonic() + seconds
    with open(path, "w", encoding="utf-8", buffering=1) as out:
        last = time.monotonic()
        while last < end:
            time.sleep(PROBE_SLEEP)
            now = time.monotonic()
            if now - last > PROBE_LATE:
                out.write(f"{time.time() - (now - last):.3f} {(now - last) * 1000.0:.1f}\n")
            last = now


def run(raw, log, keylag, stalls=None, held_at=None):
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
    if stalls is not None and held_at is not None:
        try:
            stalls_near(read_stalls(stalls), float(open(held_at, encoding="utf-8").read()), result)
        except (OSError, ValueError):
            pass
    print(json.dumps(result))


def events(result):
    return len(result["gaps"]) + len(result["breaks"])


def machine_events(result):
    return sum(1 for e in result["gaps"] + result["breaks"] if e.get("machine_stall_ms", 0.0) >= MACHINE_STALL)


def stall_text(event):
    ms = event.get("machine_stall_ms", 0.0)
    return f", the machine stalled {ms:.0f} ms" if ms >= MACHINE_STALL else ""


def side_text(result, side):
    s = result.get(side)
    if not s:
        return ""
    return (f"; {side} interval max {s['max_ms']:.1f} ms p99 {s['p99_ms']:.2f} ms"
            f" (period {s['period_ms']:.1f}), overflows {s['overflows']}")


def line(n, path):
    r = json.load(open(path, encoding="utf-8"))
    where = ", ".join([f"{g['samples']} silent at {g['at_s']} s{stall_text(g)}" for g in r["gaps"]] +
                      [f"break at {b['at_s']} s{stall_text(b)}" for b in r["breaks"]])
    text = (f"soak: run {n}: {r['tone_seconds']:.1f} s of tone at {r.get('frequency', 0)} Hz, "
            f"{events(r)} gaps{' (' + where + ')' if where else ''}")
    if r.get("relay") is not None:  # the program's own report; a control run has none
        text += (f"; relay gaps {r['relay']}"
                 + (f", tone carried {r['carried_ms']} ms in {r['carries']}" if r.get("carried_ms") is not None else "")
                 + f", fill least {r.get('fill_least_ms')} ms"
                 + side_text(r, "capture") + side_text(r, "playback")
                 + f"; block to picture mean {r.get('block_to_picture_mean_ms')} ms max {r.get('block_to_picture_max_ms')} ms")
    if r.get("probe_stall_max_ms") is not None:
        text += f"; longest stall of the machine {r['probe_stall_max_ms']:.0f} ms"
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
    probed = [r for r in results if r.get("probe_stall_max_ms") is not None]
    if probed:
        machine = sum(machine_events(r) for r in probed)
        stalled = sum(1 for r in probed if r["probe_stall_max_ms"] >= MACHINE_STALL)
        print(f"soak: of those, {machine} while the whole machine stood still (the stall probe late by "
              f"{MACHINE_STALL:.0f} ms or more); the machine stalled so in {stalled} of {len(probed)} runs, "
              f"longest {max(r['probe_stall_max_ms'] for r in probed):.0f} ms")
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
        run(*argv[2:7])
    elif len(argv) == 4 and argv[1] == "probe":
        probe(argv[2], float(argv[3]))
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
