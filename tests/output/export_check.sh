#!/bin/sh
# tvbench export on a hostile log, checked against what awk reads from the log
# itself: every hit and byte counted, links only to web addresses, UTF-8 in
# every shipped language, and no page at all without a template.
# usage: export_check.sh TVBENCH LOG
set -eu
bench=$1
log=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
  echo "export_check: $*" >&2
  exit 1
}
# Shipped files are found from the program, wherever it runs from.
cd /

# Hits and bytes per status, as logged: the status and size follow the request.
awk '{ if (match($0, /" [0-9][0-9][0-9] [0-9]+ "/)) { split(substr($0, RSTART + 2, RLENGTH - 4), f, " ");
       n[f[1]]++; b[f[1]] += f[2] } }
     END { for (s in n) print s, n[s], b[s] }' "$log" | sort >"$out/expected"
"$bench" export "$log" --kind 23 --csv "$out/status.csv" 2>/dev/null
awk -F'","' 'NR > 1 { sub(/^"/, "", $1); sub(/"$/, "", $5); split($1, s, " "); print s[1], $2, $5 }' "$out/status.csv" | sort >"$out/got"
cmp -s "$out/expected" "$out/got" || fail "hits per status differ: $(diff "$out/expected" "$out/got" | tr '\n' ' ')"

"$bench" export "$log" --csv-hits "$out/hits.csv" 2>/dev/null
[ "$(awk 'END { print NR }' "$log")" -eq "$(awk 'END { print NR - 1 }' "$out/hits.csv")" ] || fail "a hit is not one CSV line"
# No field from the log may start a formula.
if grep -E '(^|,)"[-=+@]' "$out/hits.csv" | grep -vE '(^|,)"-"(,|$)' >/dev/null; then
  fail "a CSV field starts a formula"
fi

for kind in 3 36 43; do
  "$bench" export "$log" --kind $kind --html "$out/page.html" 2>/dev/null
  if grep -o 'href="[^"]*"' "$out/page.html" | grep -viE '^href="https?:' >/dev/null; then
    fail "kind $kind links to another scheme: $(grep -o 'href="[^"]*"' "$out/page.html" | grep -viE '^href="https?:' | head -1)"
  fi
  ! grep -qi '<script' "$out/page.html" || fail "kind $kind lets markup through"
done

for case in "French Éléments" "German Einträge"; do
  set -- $case
  "$bench" export "$log" --kind 43 --language "$1" --html "$out/$1.html" 2>/dev/null
  iconv -f UTF-8 -t UTF-8 "$out/$1.html" >/dev/null || fail "$1 page is not UTF-8"
  grep -q "$2" "$out/$1.html" || fail "$1 page lacks $2"
done

mkdir "$out/bin" "$out/home"
cp "$bench" "$out/bin/tvbench"
if TRAILVANE_HOME="$out/home" "$out/bin/tvbench" export "$log" --kind 1 --html "$out/none.html" 2>/dev/null; then
  fail "an export without a template reported success"
fi
[ ! -e "$out/none.html" ] || fail "an export without a template left a file"
