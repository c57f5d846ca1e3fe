#!/usr/bin/env bash
# Builds the Debian package and checks it as a user meets it: lintian on the
# .deb, desktop-file-validate and appstreamcli on what it installs, whether
# apt can resolve its dependencies, then the package unpacked into a scratch
# root (dpkg-deb -x: nothing is installed on this machine) and its program
# driven in headless Chromium by tests/package. Run scripts/setup.sh
# --with-tests first; scripts/test-all.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
jobs=$(nproc)

echo "== build the package"
cmake --preset package >/dev/null
nice cmake --build --preset package -j "$jobs"
rm -f build/package/sagewend_*.deb
cpack --preset package >build/package/cpack.log 2>&1 || { cat build/package/cpack.log; exit 1; }
debs=(build/package/sagewend_*.deb)
deb=${debs[0]}
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends Section
version=$(dpkg-deb --field "$deb" Version)

echo "== lintian"
# Warnings and notes are shown; errors fail the check.
lintian --fail-on error --display-info --tag-display-limit 0 "$deb"

echo "== apt can install it (simulated)"
apt-get install --simulate --no-install-recommends "$PWD/$deb" >build/package/apt.log 2>&1 ||
    { cat build/package/apt.log; exit 1; }
grep -E '^Inst sagewend ' build/package/apt.log

root=$(mktemp -d "${TMPDIR:-/tmp}/sagewend-root-XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "== the installed program in headless Chromium"
SAGEWEND_ROOT="$root" SAGEWEND_PACKAGE_VERSION="$version" SAGEWEND_DATA_TOOL="$root/usr/bin/sagewend-data" \
    node --test tests/package/*.test.mjs

echo "check-package.sh: $((SECONDS - started)) s"
