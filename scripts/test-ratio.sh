#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Non-blank, non-comment lines of C++ under tests/ against the program and its
# tools (everything outside tests/, bench/ and fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    xargs -r cat | sed -E 's#//.*$##' | grep -vE '^\s*(\*|/\*|\*/)' | grep -cvE '^\s*$' || true
}
files() { git ls-files -co --exclude-standard -- '*.cpp' '*.h'; }
tests=$(files | grep -E '^tests/' | count)
code=$(files | grep -vE '^(tests|bench|fuzz)/' | count)
echo "tests $tests, code $code, ratio $(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.2f", t / c }')"
