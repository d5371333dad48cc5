#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Plants each single-line fault of scripts/faults.txt in turn, rebuilds, runs
# the test suite and puts the line back; prints which tests caught each fault.
#   scripts/plant-faults.py [build folder] [fault number...]
# Each fault in faults.txt is four lines: a description, the file, the line as
# it stands and the line as the fault has it, then a blank line.
import pathlib
import re
import subprocess
import sys

root = pathlib.Path(__file__).resolve().parent.parent
build = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "build"
wanted = {int(n) for n in sys.argv[2:]}

faults = []
for block in (root / "scripts" / "faults.txt").read_text().strip().split("\n\n"):
    description, path, before, after = block.split("\n")
    faults.append((description, path, before, after))

env = {"QT_QPA_PLATFORM": "offscreen", "LC_ALL": "C.UTF-8", "PATH": "/usr/bin:/bin:/usr/sbin:/sbin"}
missed = 0
for number, (description, path, before, after) in enumerate(faults, 1):
    if wanted and number not in wanted:
        continue
    source = root / path
    original = source.read_text()
    if original.count(before) != 1:
        print(f"{number:2} NOT PLANTED (line not found once): {description}")
        missed += 1
        continue
    source.write_text(original.replace(before, after))
    try:
        built = subprocess.run(["cmake", "--build", str(build), "-j2"], capture_output=True, text=True)
        if built.returncode != 0:
            print(f"{number:2} does not build: {description}")
            missed += 1
            continue
        run = subprocess.run(["ctest", "--test-dir", str(build), "-j2", "-E", "^(soak|endtoend)$"],
                             capture_output=True, text=True, env=env)
        caught = re.findall(r"\d+ - (\S+) \(", run.stdout)
        if caught:
            print(f"{number:2} caught by {', '.join(caught)}: {description}")
        else:
            print(f"{number:2} MISSED: {description}")
            missed += 1
    finally:
        source.write_text(original)
subprocess.run(["cmake", "--build", str(build), "-j2"], capture_output=True)
print(f"{missed} of {len(faults)} faults not caught")
sys.exit(1 if missed else 0)
