#!/usr/bin/env python3
"""The soak's findings: a gap is set against the stall of the whole machine that came with it."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soak_analyse  # noqa: E402

HELD_AT = 1000.0  # wall-clock second the hold began


def gap_at(at_s, samples=4410):
    return {"tone_seconds": 87.0, "gaps": [{"at_s": at_s, "samples": samples}], "breaks": []}


class StallsNearGaps(unittest.TestCase):
    def test_a_stall_is_set_against_the_gap_it_overlaps_or_nears(self):
        # (stall start s after the hold, its ms, gap at s, ms expected against the gap)
        for start, ms, at, expected in [(30.0, 100.0, 30.05, 100.0),   # the stall, then the gap it caused
                                        (30.0, 100.0, 29.6, 100.0),    # a gap a little before: within reach
                                        (30.0, 60.0, 30.7, 0.0),       # a stall ended 0.6 s before the gap
                                        (31.0, 100.0, 30.0, 0.0)]:     # one that began 0.9 s after the gap
            result = gap_at(at)
            soak_analyse.stalls_near([(HELD_AT + start, ms)], HELD_AT, result)
            self.assertEqual(result["gaps"][0]["machine_stall_ms"], expected, (start, ms, at))

    def test_the_longest_near_stall_counts_and_the_summary_tells_the_machine_gaps(self):
        result = gap_at(50.0)
        result["breaks"] = [{"at_s": 10.0, "interval": 130.0}]
        soak_analyse.stalls_near([(HELD_AT + 49.9, 30.0), (HELD_AT + 50.1, 80.0), (HELD_AT + 70.0, 120.0)],
                                 HELD_AT, result)
        self.assertEqual(result["gaps"][0]["machine_stall_ms"], 80.0)
        self.assertEqual(result["breaks"][0]["machine_stall_ms"], 0.0)
        self.assertEqual(result["probe_stall_max_ms"], 120.0)
        self.assertEqual(soak_analyse.machine_events(result), 1)  # the gap; the break is the program's


if __name__ == "__main__":
    unittest.main()
