#!/bin/sh
# Copies the browser libraries the page uses from the npm registry into
# res/vendor/, where the build embeds them in the program (the program
# must run without npm). Run it after changing package.json.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../../res/vendor"
cd "$here"
npm ci --no-audit --no-fund --loglevel=error
mkdir -p "$out"
cp node_modules/dompurify/dist/purify.min.js "$out/purify.min.js"
cp node_modules/dompurify/LICENSE "$out/purify.LICENSE"
echo "vendored: dompurify $(node -p "require('./node_modules/dompurify/package.json').version")"
