#!/usr/bin/env bash
# The speed figures side by side, from one run on this machine:
#  - start-up to the address line on a large generated catalogue, against
#    coreutils `base64 -d` over the same stored bytes (CPU time);
#  - the same with ten times the decks, to see it grow linearly;
#  - start-up on the bundled data against a one-card folder;
#  - click latency in headless Chromium (p95 until the page marks a click
#    handled) against a click nothing answers, and resident memory after
#    1,000 clicks on the bundled data;
#  - a Celtic Cross dealt on the 1909 deck until the frame showing it is
#    drawn, against the same update applied by the page to itself (the
#    floor), and the first deal of a run, whose pictures are not yet seen.
# Builds the benchmarks in Release first (preset "bench").
#
#   bench/speed.sh            RUNS=7 by default
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-7}

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build=build/bench
time_it=$build/bench/startup_time

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "wall cpu rss" of the median run
startup() { "$time_it" --url "$runs" "$build/sagewend" --no-browser -C "$1"; }
base64_over() {
    find "$1" -name '*.dat' -print0 | sort -z | xargs -0 cat > "$work/stored.all"
    "$time_it" --exit "$runs" base64 -d -i "$work/stored.all"
}
stored_mb() { find "$1" -name '*.dat' -print0 | xargs -0 cat | wc -c | awk '{printf "%.1f", $1 / 1e6}'; }
field() { echo "$1" | awk -v n="$2" '{print $n}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

echo "machine: $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

"$build/bench/store_bench" --write-catalogue "$work/large" 100 120 2048
"$build/bench/store_bench" --write-catalogue "$work/larger" 1000 120 256
"$build/bench/store_bench" --write-catalogue "$work/tiny" 1 1 0
cp -r sample/images "$work/tiny/"

large=$(startup "$work/large"); large_b64=$(base64_over "$work/large")
larger=$(startup "$work/larger"); larger_b64=$(base64_over "$work/larger")
bundled=$(startup sample); tiny=$(startup "$work/tiny")

printf '\n%-58s %10s %10s %10s\n' "start-up to the address line (median of $runs)" "wall ms" "CPU ms" "ratio"
printf '%-58s %10s %10s\n' "100 decks x 120 cards x 2 KB ($(stored_mb "$work/large") MB stored)" "$(field "$large" 1)" "$(field "$large" 2)"
printf '%-58s %10s %10s %10s\n' "  base64 -d over the same bytes" "$(field "$large_b64" 1)" "$(field "$large_b64" 2)" \
    "$(ratio "$(field "$large" 2)" "$(field "$large_b64" 2)")"
printf '%-58s %10s %10s\n' "1000 decks x 120 cards x 256 B ($(stored_mb "$work/larger") MB stored)" "$(field "$larger" 1)" "$(field "$larger" 2)"
printf '%-58s %10s %10s %10s\n' "  base64 -d over the same bytes" "$(field "$larger_b64" 1)" "$(field "$larger_b64" 2)" \
    "$(ratio "$(field "$larger" 2)" "$(field "$larger_b64" 2)")"
printf '%-58s %10s %10s %10s\n' "  CPU per stored MB, larger over large" "" "" \
    "$(awk -v a="$(field "$larger" 2)" -v am="$(stored_mb "$work/larger")" -v b="$(field "$large" 2)" -v bm="$(stored_mb "$work/large")" 'BEGIN {printf "%.2f", (a / am) / (b / bm)}')"
printf '%-58s %10s %10s %10s\n' "bundled data, against a one-card folder" "$(field "$bundled" 1)" "$(field "$bundled" 2)" \
    "$(ratio "$(field "$bundled" 1)" "$(field "$tiny" 1)")"
printf '%-58s %10s\n' "  resident memory at start, large catalogue (MB)" "$(awk -v k="$(field "$large" 3)" 'BEGIN {printf "%.1f", k / 1024}')"

if [ -d tests/e2e/node_modules/playwright-core ]; then
    cp -r sample "$work/clicks"
    clicks=$(node bench/click_latency.mjs "$build/sagewend" "$work/clicks" 200)
    echo
    node -e '
      const r = JSON.parse(process.argv[1]);
      console.log("click until handled, p95 of 200 each (ms)        p95     ratio to no-op   until drawn");
      for (const [kind, name] of [["noop", "no-op click"], ["deal", "deal (Celtic Cross)"], ["meaning", "card meaning"], ["editor", "editor list"]])
        console.log(`  ${name.padEnd(46)} ${r[kind].toFixed(2).padStart(7)} ${(r[kind] / r.noop).toFixed(2).padStart(9)} ${r.drawn[kind].toFixed(2).padStart(13)}`);
      console.log(`resident memory after ${r.clicks} clicks, bundled data: ${(r.residentKb / 1024).toFixed(1)} MB`);
    ' "$clicks"
    cp -r sample "$work/deals"
    deals=$(node bench/deal_frame.mjs "$build/sagewend" "$work/deals" 200)
    echo
    node -e '
      const r = JSON.parse(process.argv[1]);
      console.log("a deal until its frame is drawn, 1909 deck (ms)   p95     ratio to floor   goal");
      console.log(`  ${"floor: the same update, no program".padEnd(46)} ${r.floor.toFixed(2).padStart(7)}`);
      console.log(`  ${"deal (Celtic Cross), pictures seen".padEnd(46)} ${r.deal.toFixed(2).padStart(7)} ${(r.deal / r.floor).toFixed(2).padStart(9)}   <= 1.5`);
      console.log(`  ${"first deal of a run, question typed (2 s)".padEnd(46)} ${r.firstTyped.toFixed(2).padStart(7)} ${(r.firstTyped / r.floor).toFixed(2).padStart(9)}   <= 2`);
      console.log(`  ${"first deal of a run, at once on the form".padEnd(46)} ${r.first.toFixed(2).padStart(7)} ${(r.first / r.floor).toFixed(2).padStart(9)}`);
    ' "$deals"
else
    echo "(click latency skipped: run 'cd tests/e2e && npm install' first)"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
