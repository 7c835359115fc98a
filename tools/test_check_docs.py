#!/usr/bin/env python3
"""The documentation check's reading of Markdown: which lines are commands, and which it runs."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_docs import blocks_of, commands_in, device_free, unchecked_failures  # noqa: E402

DOCUMENT = """Prose that names sonavel --headless in passing.

```sh
# a comment is not a command
cd build
./sonavel --headless a.wav \\
    --picture a.png
./sonavel --headless a.wav --gain 30   # exit status 2
```

```sh nocheck
sonavel --list-devices
```

```text
sonavel --headless INPUT [--steps N]
```

    sonavel --version

```
./sonavel --help
```
""".splitlines()


class Extraction(unittest.TestCase):
    def setUp(self):
        self.commands = commands_in("doc.md", DOCUMENT)

    def test_checked_block_joins_continuations_and_reads_expected_status(self):
        (block,) = blocks_of(self.commands)
        self.assertEqual([(c.line, c.status) for c in block], [(5, 0), (6, 0), (8, 2)])
        self.assertEqual(block[1].text, "./sonavel --headless a.wav --picture a.png")

    def test_device_free_commands_outside_checked_blocks_fail(self):
        failing = [f.split(":")[1] for f in unchecked_failures(self.commands)]
        self.assertEqual(failing, ["19", "22"])  # indented code and an untagged block; not text or nocheck

    def test_device_free_is_about_the_program_and_its_options(self):
        cases = [("sonavel --headless x.wav", True), ("../sonavel --help", True), ("cd build && ./sonavel --version", True),
                 ("sonavel piece.flac", False), ("sonavel --list-devices", False), ("sox --help", False),
                 ("sonavel_make_melody --headless", False), ("sonavel --headless=x.wav", True)]
        for text, expected in cases:
            self.assertEqual(device_free(text), expected, text)


if __name__ == "__main__":
    unittest.main()
