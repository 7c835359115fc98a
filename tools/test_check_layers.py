#!/usr/bin/env python3
"""The layer check's reading of a record kept below app/: which declarations it refuses."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_layers import record_globals  # noqa: E402


class RecordGlobals(unittest.TestCase):
    def test_a_record_kept_by_a_file_is_refused(self):
        for text in ["TunerState tuner;",
                     "extern TunerState tuner;",
                     "static TunerState spare;",
                     "inline TunerState shared{};",
                     "TunerState tuner = {};",
                     "void f() {\n  static TunerState kept;\n}"]:
            self.assertEqual(len(record_globals(text)), 1, text)

    def test_a_record_passed_down_or_made_for_a_run_is_not(self):
        for text in ["void detectNotes(TunerState& tuner, NoteDetection& detection);",
                     "bool toneIdle(const TunerState& record);",
                     "struct AudioShared {\n  TunerState& record;\n};",
                     "  const auto record = std::make_unique<TunerState>();",
                     "TunerState* record = nullptr;",
                     "// extern TunerState tuner; is gone",
                     "struct TunerState;",
                     "struct TunerState {\n  int markA = 0;\n};"]:
            self.assertEqual(record_globals(text), [], text)


if __name__ == "__main__":
    unittest.main()
