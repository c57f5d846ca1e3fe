#!/usr/bin/env bash
# Installs what Sagewend needs to build, run and test on Debian 12: the
# compilers and libraries from Debian's packages, Chromium for the window and
# the browser tests, and the npm packages of the browser tests.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# clang only recommends libclang-rt-14-dev, which holds the fuzzer runtime.
packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config coreutils
    libboost-dev nlohmann-json3-dev libgumbo-dev libsqlite3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    chromium
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--with-tests" ]; then
    (cd tests/e2e && npm install --no-audit --no-fund --loglevel=error)
fi
