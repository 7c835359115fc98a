#!/usr/bin/env python3
"""Runs the commands the documents show, so that they cannot drift from the program.

Commands are shown in fenced blocks. A block tagged `sh` is run by this check, one
shell per block, starting in a scratch folder laid out like the source tree with a
build folder in it (build/sonavel, build/font.tga, build/tools/sonavel_make_melody;
build/ is on PATH, so `sonavel ...` runs the build's program). A command passes when
it exits with status 0, or with N where its line ends in a comment `# exit status N`;
a block stops at its first failure. A block tagged `sh nocheck` is shown only: it is
for what needs a sound device, a window, root or minutes; a `text` block holds output
and synopses. A `sonavel --headless`, `--help` or `--version` command in any other
block or in indented code is itself a failure, and so is an option that
`sonavel --help` lists with no entry in docs/manual.md, or an entry there that
`sonavel --help` does not list.

Prints one line per failure, with the file and line, and exits 1 if there was any.

usage: check_docs.py --source ROOT --program SONAVEL --font FONT --melody MAKE_MELODY
"""

import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

BLOCK_SECONDS = 60            # a block that runs longer has hung
DEVICE_FREE = ("--headless", "--help", "-h", "--version")
SHELL_TAGS = ("sh", "bash", "shell", "console")  # other tags (`text`) hold output and synopses
EXPECTED_STATUS = re.compile(r"#\s*exit status (\d+)\s*$")
MANUAL_ENTRY = re.compile(r"^#{2,4} `(--[a-z0-9-]+)")
HELP_OPTION = re.compile(r"^\s*(--[a-z0-9-]+)")


class Command:
    def __init__(self, path, line, text, checked, block=0, shell=True):
        self.path, self.line, self.text, self.checked, self.block = path, line, text, checked, block
        self.shell = shell  # shown as a command: not a `text` block of output or a synopsis
        match = EXPECTED_STATUS.search(text)
        self.status = int(match.group(1)) if match else 0


def commands_in(path, lines):
    """Every command of every fenced block (numbered from 1), and the indented lines of code."""
    found, fence, checked, shell, pending, start, block = [], None, False, True, "", 0, 0
    for number, raw in enumerate(lines, 1):
        stripped = raw.strip()
        if fence is None:
            if stripped.startswith("```"):
                fence, block = "```", block + 1
                words = stripped[3:].split()
                checked = bool(words) and words[0] == "sh" and "nocheck" not in words[1:]
                shell = not words or words[0] in SHELL_TAGS
            elif raw.startswith("    ") and stripped:
                found.append(Command(path, number, stripped, False))  # indented code is never run
            continue
        if stripped.startswith(fence):
            fence = None
            continue
        if not pending and (not stripped or stripped.startswith("#")):
            continue
        if not pending:
            start = number
        if stripped.endswith("\\"):
            pending += stripped[:-1].rstrip() + " "
            continue
        found.append(Command(path, start, pending + stripped, checked, block, shell))
        pending = ""
    return found


def device_free(text):
    """True where the command runs the program without a sound device or a window."""
    words = text.split()
    for index, word in enumerate(words):
        if os.path.basename(word) == "sonavel":
            return any(w.split("=")[0] in DEVICE_FREE for w in words[index + 1:])
    return False


def shown(text):
    return " ".join(text.split())


def unchecked_failures(commands):
    return [f"{c.path}:{c.line}: '{shown(c.text)}' runs without a device but is not in a checked `sh` block"
            for c in commands if c.shell and not c.checked and device_free(c.text)]


def block_script(commands, scratch, logs):
    """One shell for a block: each command's status is compared with what its line expects."""
    out = ["cd " + quoted(scratch)]
    for index, command in enumerate(commands):
        log = quoted(os.path.join(logs, str(index)))
        out.append(f"{{ {command.text}\n}} >{log}.out 2>{log}.err </dev/null; s=$?")
        out.append(f'if [ "$s" -ne {command.status} ]; then echo "{index} $s" >{quoted(os.path.join(logs, "failed"))}; exit; fi')
    return "\n".join(out) + "\n"


def quoted(text):
    return "'" + text.replace("'", "'\\''") + "'"


def run_block(commands, scratch, logs, env):
    """The failure line of the block's first failing command, or None."""
    failed_file = os.path.join(logs, "failed")
    if os.path.exists(failed_file):
        os.remove(failed_file)
    shell = subprocess.Popen(["bash", "-c", block_script(commands, scratch, logs)], env=env, start_new_session=True,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        shell.wait(timeout=BLOCK_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(shell.pid, signal.SIGKILL)  # the block's own group: the shell and what it started
        shell.wait()
        return f"{commands[0].path}:{commands[0].line}: the block did not finish in {BLOCK_SECONDS} s"
    if not os.path.exists(failed_file):
        return None
    with open(failed_file, encoding="utf-8") as f:
        index, status = f.read().split()
    command = commands[int(index)]
    log = os.path.join(logs, index)
    why = reason_in(log)
    return (f"{command.path}:{command.line}: '{shown(command.text)}' exited with status {status}, "
            f"expected {command.status}" + (f": {why}" if why else ""))


def reason_in(log):
    """What a failed command said: its first line starting "sonavel", else its last line."""
    lines = []
    for path in (log + ".err", log + ".out"):
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = [line.strip() for line in f if line.strip()]
        except OSError:
            continue
        if lines:
            break
    said = [line for line in lines if line.startswith("sonavel")]
    return said[0] if said else (lines[-1] if lines else "")


def blocks_of(commands):
    """The checked commands, grouped by the block they came from."""
    blocks = {}
    for command in commands:
        if command.checked:
            blocks.setdefault(command.block, []).append(command)
    return [blocks[number] for number in sorted(blocks)]


def make_scratch(root, program, font, melody):
    """The folder the blocks run in, with the inputs they name that only a device or a long run makes."""
    build = os.path.join(root, "build")
    os.makedirs(os.path.join(build, "tools"))
    os.makedirs(os.path.join(build, "level-sweep-work"))
    os.makedirs(os.path.join(root, "docs"))
    os.symlink(program, os.path.join(build, "sonavel"))
    os.symlink(melody, os.path.join(build, "tools", "sonavel_make_melody"))
    shutil.copy(font, os.path.join(build, "font.tga"))
    # Stand-ins: take.wav for a recording from the microphone, the sweep's piano renders.
    for made in ("take.wav", "build/level-sweep-work/piano_melody.wav", "build/level-sweep-work/piano_chords.wav"):
        subprocess.run([melody, os.path.join(root, made)], check=True)
    return build


def option_failures(source, program):
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True, check=False).stdout
    listed = {m.group(1) for m in map(HELP_OPTION.match, help_text.splitlines()) if m}
    manual = os.path.join(source, "docs", "manual.md")
    documented = {}
    if not os.path.exists(manual):
        return ["docs/manual.md is missing: it documents every option"]
    with open(manual, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            match = MANUAL_ENTRY.match(line)
            if match:
                documented.setdefault(match.group(1), number)
    failures = [f"docs/manual.md:{line}: {name} is not an option of sonavel --help"
                for name, line in sorted(documented.items()) if name not in listed]
    failures += [f"docs/manual.md: {name} (in sonavel --help) has no entry" for name in sorted(listed - set(documented))]
    return failures


def main():
    parser = argparse.ArgumentParser()
    for name in ("--source", "--program", "--font", "--melody"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    program, melody = os.path.realpath(args.program), os.path.realpath(args.melody)
    documents = [os.path.join(args.source, "README.md")] + sorted(glob.glob(os.path.join(args.source, "docs", "*.md")))

    failures, ran = option_failures(args.source, program), 0
    for document in documents:
        name = os.path.relpath(document, args.source)
        with open(document, encoding="utf-8") as f:
            commands = commands_in(name, f.read().splitlines())
        failures += unchecked_failures(commands)
        with tempfile.TemporaryDirectory(prefix="sonavel-docs.") as work:
            scratch, logs = os.path.join(work, "tree"), os.path.join(work, "logs")
            os.makedirs(logs)
            build = make_scratch(scratch, program, args.font, melody)
            env = dict(os.environ, PATH=build + os.pathsep + os.environ.get("PATH", ""))
            for block in blocks_of(commands):
                ran += len(block)
                failure = run_block(block, scratch, logs, env)
                if failure:
                    failures.append(failure)
    if ran == 0:
        failures.append("no command ran: README.md and docs/*.md have no block tagged `sh`")
    for failure in failures:
        print("sonavel: " + failure)
    if not failures:
        print(f"sonavel: {ran} documented commands ran as shown")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
