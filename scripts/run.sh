#!/usr/bin/env bash
# Sets up, builds and starts Sagewend on the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target sagewend
# The sample is copied so that layouts saved while trying the program do not
# change the repository's files.
workdir="${SAGEWEND_DIR:-$HOME/.local/share/sagewend}"
if [ ! -d "$workdir/data" ]; then
    mkdir -p "$workdir"
    cp -r sample/. "$workdir/"
fi
exec build/default/sagewend -C "$workdir" "$@"
