#!/usr/bin/env bash
# Installs everything Velkin and Orvane need to build, test and benchmark on Debian 12;
# with --fuzz also clang and libFuzzer, for the fuzz build (docs/fuzzing.md); with
# --bench also pandas, the yardstick of scripts/bench.sh.
set -euo pipefail
packages=(
    build-essential cmake pkg-config python3 python3-jsonschema
    libgtest-dev libgmock-dev libbenchmark-dev
    libfast-float-dev libcli11-dev nlohmann-json3-dev
    libcairo2-dev fontconfig fonts-liberation locales
    qt6-base-dev chromium
)
if [ "${1:-}" = "--fuzz" ]; then packages+=(clang libclang-rt-14-dev); fi
# The text-parsing yardstick scripts/bench.sh times beside our own reader.
if [ "${1:-}" = "--bench" ]; then packages+=(python3-pandas); fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${packages[@]}"; do
    # A package removed but for its configuration files is missing too.
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] ||
        missing+=("$p")
done
# The package lists are refreshed on every run, so a fresh machine never installs
# from a stale or empty list.
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
