#!/usr/bin/env bash
# Sets up, builds and starts Sagewend: installs what building and running
# need, builds both programs (sagewend and sagewend-data), and starts the
# program on your own data folder, $XDG_DATA_HOME/sagewend (by default
# ~/.local/share/sagewend), which it makes from sample/ the first time, so
# layouts saved while trying it never change the repository's files. Set
# SAGEWEND_DIR to work from another folder instead (filled from sample/ when
# it holds no data yet). Options after run.sh go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ -n "${SAGEWEND_DIR:-}" ]; then
    if [ ! -e "$SAGEWEND_DIR/data/decks.dat" ]; then
        mkdir -p "$SAGEWEND_DIR"
        cp -r -n sample/. "$SAGEWEND_DIR/"
    fi
    exec build/default/sagewend -C "$SAGEWEND_DIR" "$@"
fi
# The repository's root holds no data/decks.dat, so the program goes on to
# your own data folder.
exec build/default/sagewend "$@"
