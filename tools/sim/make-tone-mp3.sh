#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Makes tone.mp3, the recording that the simulated acoustic sensor sends:
# two seconds of a 440 Hz tone, mono, MPEG-2 Layer III at 8 kHz and 8 kbit/s,
# small enough for a few packets. Needs sox and lame.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 16000 -c 1 -b 16 "$work/tone.wav" synth 2.0 sine 440 vol 0.5
lame --quiet -m m -b 8 --resample 8 "$work/tone.wav" tone.mp3
