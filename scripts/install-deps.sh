#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Installs the Debian packages needed to build and test KTR Control.
# Does nothing when everything is already there; uses sudo when not root.
set -euo pipefail

packages=(build-essential cmake pkg-config ccache qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          libqt5network5 libqt5sql5-sqlite libqt5charts5-dev libmosquitto-dev mosquitto mosquitto-clients
          mpg123 lame sox "$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
