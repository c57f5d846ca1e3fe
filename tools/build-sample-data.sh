#!/bin/sh
# Rebuilds the bundled sample data files from their plain sources in
# tools/sample-src: each text line is stored as the Base64 of its bytes, and
# every stored line ends with CR LF, as the program's own saves do.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src="$here/sample-src"
out="$here/../sample"

encode() {
    while IFS= read -r line || [ -n "$line" ]; do
        if [ -n "$line" ]; then printf '%s' "$line" | base64 -w0; fi
        printf '\r\n'
    done
}

deck="Classic Tarot"
mkdir -p "$out/data" "$out/decks/$deck"
# The 1909 deck comes first: it is the one a fresh user deals.
printf '2\n%s\n%s\n' "Tarot 1909" "$deck" | encode > "$out/data/decks.dat"
cards=$(cat "$src/cards-1.txt" "$src/cards-2.txt" | grep -c '^######CARD######$')
{ echo "$cards"; cat "$src/cards-1.txt" "$src/cards-2.txt"; } | encode > "$out/decks/$deck/index.dat"
drawn=$(grep -c '^######CARD######$' "$src/tarot-1909.txt")
mkdir -p "$out/decks/Tarot 1909"
{ echo "$drawn"; cat "$src/tarot-1909.txt"; } | encode > "$out/decks/Tarot 1909/index.dat"
encode < "$src/layouts.txt" > "$out/data/layouts.dat"
echo "sample data rebuilt: $drawn cards in Tarot 1909, $cards in $deck"
