#!/usr/bin/env bash
# The journal at any size, from one run on this machine: journals of 10,
# 1,000, 10,000 and 100,000 copies of one kept Celtic Cross reading (made by
# journal_fill through the store), each browsed in headless Chromium by the
# real program (bench/journal_browse.mjs): the first visit (which opens the
# file and starts checking it; the rest is timed once the check has ended),
# a visit, the next page, a search that finds every entry ("Death") and its
# next page, a search that finds one ("needle"), the Insights page; the
# median ms of each until the page shows it, and of that the program's part
# (until its frame arrives; the rest is the page laying out what it wrote),
# each with its ratio to the 10-entry journal; the program's resident
# memory after browsing; how long the check ran on; and exporting
# everything as JSON Lines through the download (time, size, peak resident
# memory).
# Builds in Release first (preset "bench"). The largest journal takes a few
# GB of disk under $TMPDIR and some minutes to make.
#
#   bench/journal.sh            REPEATS=7, SIZES="10 1000 10000 100000" by default
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=${REPEATS:-7}
sizes=${SIZES:-10 1000 10000 100000}

if [ ! -d tests/e2e/node_modules/playwright-core ]; then
    echo "run 'cd tests/e2e && npm install' first" >&2
    exit 1
fi
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build=$PWD/build/bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "machine: $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
results=()
for size in $sizes; do
    cp -r sample "$work/$size"
    (cd "$work/$size" && "$build/bench/journal_fill" "$size" >/dev/null)
    results+=("$size $(node bench/journal_browse.mjs "$build/sagewend" "$work/$size" "$repeats")")
    rm -rf "$work/$size"
done

printf '%s\n' "${results[@]}" | node -e '
  const rows = require("fs").readFileSync(0, "utf8").trim().split("\n").map((line) => {
    const at = line.indexOf(" ");
    return { size: Number(line.slice(0, at)), ...JSON.parse(line.slice(at + 1)) };
  });
  const base = rows[0];
  const keys = ["firstVisit", "visit", "page", "search", "searchPage", "searchOne", "insights"];
  const heads = ["first visit", "visit", "next page", "search", "its next page", "search (one)", "Insights"];
  const cell = (r, key) => `${r[key].toFixed(1)} (${(r[key] / base[key]).toFixed(2)})`.padStart(15);
  const table = (title, suffix, memory) => {
    console.log(`\n${title}`);
    console.log("entries".padStart(9) + heads.map((h) => h.padStart(15)).join("") + (memory ? "   RSS MB  peak MB" : ""));
    for (const r of rows)
      console.log(r.size.toLocaleString("en").padStart(9) + keys.map((k) => cell(r, k + suffix)).join("") +
        (memory ? (r.residentKb / 1024).toFixed(1).padStart(9) + (r.peakBeforeExportKb / 1024).toFixed(1).padStart(9) : ""));
  };
  table(`ms until the page shows it, median of ${process.argv[1]} (ratio to the ${base.size.toLocaleString("en")}-entry journal); the first visit also opens the file`, "", true);
  table("of that, the program: ms until its frame arrives", "Program", false);
  console.log("\nthe integrity check that opening the file starts, on a thread of its own: ms it ran on after the first visit");
  for (const r of rows) console.log(`${r.size.toLocaleString("en").padStart(9)}  ${String(r.checkMs).padStart(8)}`);
  console.log("\nexport of every entry as JSON Lines, through the download");
  for (const r of rows)
    console.log(`${r.size.toLocaleString("en").padStart(9)}  ${(r.exportBytes / 1e6).toFixed(1).padStart(8)} MB in ${(r.exportMs / 1000).toFixed(1).padStart(6)} s, peak resident memory ${(r.peakKb / 1024).toFixed(1)} MB`);
  if (rows[0].rows < 50) console.log(`\n(the ${rows[0].size}-entry journal has one page: its "next page" is its first)`);
' "$repeats"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
