#!/usr/bin/env bash
# Installs from Debian 12's packages what Sagewend needs to build and run: the
# compiler, CMake, Ninja, the libraries it uses (Boost, nlohmann-json, SQLite;
# for the data tool's deck importer libjpeg-turbo, libpng, expat and toml++)
# and Chromium for its window. With --with-tests, also what the tests need:
# clang and its fuzzer runtime, GoogleTest, Google Benchmark, Gumbo, Node.js
# with the browser tests' npm packages, and the tools that build and check
# the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(
    cmake ninja-build g++
    libboost-dev nlohmann-json3-dev libsqlite3-dev
    libturbojpeg0-dev libpng-dev libexpat1-dev libtomlplusplus-dev
    chromium
)
with_tests=false
if [ "${1:-}" = "--with-tests" ]; then
    with_tests=true
    # clang only recommends libclang-rt-14-dev, which holds the fuzzer runtime.
    # CPack's Debian generator needs dpkg-shlibdeps (dpkg-dev) and file; the
    # browser tests look for a stray browser with pgrep (procps, which a
    # minimal Debian lacks).
    packages+=(
        clang libclang-rt-14-dev pkg-config
        libgumbo-dev libgtest-dev libgmock-dev libbenchmark-dev
        dpkg-dev file lintian desktop-file-utils appstream procps
    )
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if $with_tests; then
    command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# tests/e2e holds playwright-core at 1.61, the last release that runs on
# Debian 12's own Node.js (18); a newer Node.js already on the machine is used.
if $with_tests; then
    (cd tests/e2e && npm install --no-audit --no-fund --loglevel=error)
fi
