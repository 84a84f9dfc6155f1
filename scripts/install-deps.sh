#!/usr/bin/env bash
# Installs everything Velkin and Orvane need to build, test and benchmark on Debian 12.
set -euo pipefail
packages=(
    build-essential cmake pkg-config python3
    libgtest-dev libgmock-dev libbenchmark-dev
    libfast-float-dev libcli11-dev nlohmann-json3-dev
    libcairo2-dev fontconfig fonts-liberation
    qt6-base-dev chromium
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
