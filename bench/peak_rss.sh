#!/usr/bin/env bash
# Peak memory of radiodir on the worst files its bounds admit, against the
# usage path. Every file is in the disk storage root beforehand and the
# downloader fails, so nothing is fetched (a download would show):
#   (a) GetActiveServers with a cached page of exactly the size cap, holding
#       as many nodes as the document bound admits (the most the program
#       itself still loads, found by bisection), in several shapes;
#   (b) GetActiveServers with a cached total file of exactly the total cap,
#       which the count walks in chunks, in its densest shapes;
#   (c) GetFavStationChannelList with a cached playlist at its 64 KiB cap.
# Peak RSS is the largest of RSS_RUNS runs under GNU time (%M); wall time is
# hyperfine's mean over BENCH_RUNS runs. Prints a table and writes it as the
# section "## Peak memory ..." of bench/RESULTS.md (replacing an earlier one).
#
# usage: bench/peak_rss.sh
#   Builds radiodir as scripts/bench does (build/bench, or
#   RADIODIR_BENCH_BUILD), then runs itself inside tools/sandbox.
# Environment: RSS_RUNS (default 5), BENCH_RUNS (default 10).
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  cd "$(dirname "$0")/.."
  scripts/setup
  build=${RADIODIR_BENCH_BUILD:-build/bench}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRADIODIR_STATIC=ON -UTINYXML_LIBRARY \
    --no-warn-unused-cli >/dev/null
  cmake --build "$build" -j2 --target radiodir
  exec tools/sandbox --downloader bench/fail-downloader -- bash bench/peak_rss.sh --inside \
    "$(readlink -f "$build/radiodir")" "$(readlink -f bench/RESULTS.md)"
fi

BIN=$2 OUT=$3
RSS_RUNS=${RSS_RUNS:-5}
RUNS=${BENCH_RUNS:-10}
TARGET_KB=$((16 * 1000))  # 16 MB
grep -q '^sandbox-tmp /tmp ' /proc/self/mounts || { echo "peak_rss.sh: run it inside tools/sandbox" >&2; exit 2; }
source "$(dirname "$0")/lib.sh"

# The caps as the program has them.
limit() { echo $(($(sed -n "s/.*$1 = \([^;]*\);.*/\1/p" platform/limits.h | tr -d u))); }
CAP=$(limit kXmlMaxFileSize)
TOTAL_CAP=$(limit kTotalCap)
PLS_CAP=$(limit kPlaylistCap)

EX=/tmp/hdd/root
ROOT=$EX/irf
PAGE=$ROOT/Page1.html
TOTAL=$ROOT/PageTotal.xml
WORK=$(mktemp -d /tmp/peak.XXXXXX)
mkdir -p "$ROOT"
printf 'startat=0' >"$EX/infile_1"

# repeat TEXT N: TEXT N times, on one line.
repeat() { [ "$2" -gt 0 ] && yes "$1" | head -n "$2" | tr -d '\n' || true; }

stations() {  # stations N: N station elements, one a line
  local i
  for ((i = 1; i <= $1; i++)); do
    printf '<station name="Pop Radio %d" mt="audio/mpeg" id="%d" br="128" genre="Pop" ct="Artist %d - Track" lc="%d"/>\n' \
      "$i" $((1000 + i)) "$i" $((i * 7))
  done
}

# listing PATH SIZE HEAD STATIONS TOKEN N FILL [CLOSE]: exactly SIZE bytes:
# HEAD, then a root element holding STATIONS stations, N copies of TOKEN,
# bytes FILL, and CLOSE before its end tag. 1 when that does not fit.
listing() {
  local path=$1 size=$2 head=$3 n_st=$4 token=$5 n=$6 fill=$7 tail=${8:-}'</stationlist>'$'\n' used
  { printf '%s<stationlist>\n' "$head"; stations "$n_st"; repeat "$token" "$n"; } >"$path"
  used=$(($(stat -c %s "$path") + ${#tail}))
  [ "$used" -le "$size" ] || return 1
  head -c $((size - used)) /dev/zero | tr '\0' "$fill" >>"$path"
  printf '%s' "$tail" >>"$path"
}

# The other file of each case: a small page and a small total file, both
# loaded and kept.
stations 20 | sed '1i <stationlist>' | sed '$a </stationlist>' >"$WORK/small-page.html"
stations 40 | sed '1i <stationlist>' | sed '$a </stationlist>' >"$WORK/small-total.xml"

# prep CASE FILE: a script that puts FILE in place as the case's worst file
# (a: the page, b: the total file, without its count memo), and the small
# file of the other kind beside it. Prints its path.
prep() {
  local script=$WORK/prep-$1-${2##*/}.sh
  case $1 in
    a) printf '#!/bin/sh\ncp %s %s\ncp %s %s\n' "$2" "$PAGE" "$WORK/small-total.xml" "$TOTAL" ;;
    b) printf '#!/bin/sh\ncp %s %s\ncp %s %s\nrm -f %s\n' "$WORK/small-page.html" "$PAGE" "$2" "$TOTAL" "$TOTAL.count" ;;
  esac >"$script"
  echo "$script"
}
# Did the run in $WORK/run.out load the case's worst file?
loaded_a() { grep -q '^stationtotal =20$' "$WORK/run.out"; }
loaded_b() { grep -qE '^pagetotal=([3-9]|[1-9][0-9]+),' "$WORK/run.out"; }  # 40 stations or more: 2 pages, + 1
run() { sh "$1"; "$BIN" "$2" >"$WORK/run.out" 2>&1 || true; }

# most TOKEN FILL: the most copies of TOKEN that the program still loads in
# a page; the file is left in $WORK/a-file.
most() {
  local token=$1 fill=$2 lo=0 hi mid file=$WORK/a-file
  hi=$((CAP / ${#token} + 1))
  while [ $((hi - lo)) -gt 1 ]; do
    mid=$(((lo + hi) / 2))
    if listing "$file" "$CAP" '' 20 "$token" "$mid" "$fill" && run "$(prep a "$file")" GetActiveServers && loaded_a; then
      lo=$mid
    else
      hi=$mid
    fi
  done
  listing "$file" "$CAP" '' 20 "$token" "$lo" "$fill"
  echo "$lo"
}

mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
ROWS=() CHECKS=()
check() {  # check TEXT CONDITION...
  local text=$1
  shift
  if "$@"; then CHECKS+=("- $text: yes"); else CHECKS+=("- $text: **NO**"); fi
}

u_rss=$(peak_kb "" "$BIN")
read -r u_m u_s < <(mean_ms "$RUNS" "" "$BIN")
ROWS+=("| usage path (\`radiodir\`, no arguments) | | $u_m ± $u_s ms | $(mb "$u_rss") MB | baseline |")

# TOKEN FILL LABEL: the shapes of a dense file.
shapes=(
  '<>|| empty unknown nodes `<>`'
  '<a/>|| empty elements `<a/>`'
  '<>|x| unknown nodes `<>` and one text of the rest'
  '<station name="Pop Radio" mt="audio/mpeg" id="1001" br="128" genre="Pop" ct="Artist - Track" lc="7"/>|| stations of 7 attributes'
)
worst=0
# measure CASE FILE LABEL: one row for the case's worst file.
measure() {
  local c=$1 file=$2 label=$3 script rss m sd
  script=$(prep "$c" "$file")
  rss=$(peak_kb "sh $script" "$BIN" GetActiveServers)
  read -r m sd < <(mean_ms "$RUNS" "sh $script" "$BIN" GetActiveServers)
  run "$script" GetActiveServers
  check "($c) $label: loaded" "loaded_$c"
  ROWS+=("| $label | $(($(stat -c %s "$file") / 1024)) KiB | $m ± $sd ms | $(mb "$rss") MB | $(awk -v a="$rss" -v b="$u_rss" 'BEGIN { printf "%+.1f MB", (a - b) / 1024 }') |")
  [ "$rss" -gt "$worst" ] && worst=$rss
  return 0
}

ROWS+=("| **(a) GetActiveServers, cached page of $((CAP / 1024)) KiB** | | | | |")
for s in "${shapes[@]}"; do
  IFS='|' read -r token fill label <<<"$s"
  n=$(most "$token" "${fill:- }")
  cp "$WORK/a-file" "$WORK/a-$n.xml"
  measure a "$WORK/a-$n.xml" "$n$label"
done

# (b) Totals of the cap, walked in chunks: TOKEN N FILL CLOSE LABEL.
ROWS+=("| **(b) GetActiveServers, cached total file of $((TOTAL_CAP / 1024 / 1024)) MiB** | | | | |")
station='<station name="Pop Radio" mt="audio/mpeg" id="1001" br="128" genre="Pop" ct="Artist - Track" lc="7"/>'
totals=(
  "<a/>|$((TOTAL_CAP / 4 - 2048))| || empty elements \`<a/>\`"
  "$station|$((TOTAL_CAP / ${#station} - 100))| || stations of 7 attributes"
  '<station name="&#x|1|<|x;"/>| one character reference over the whole file, through "<" bytes'
)
for t in "${totals[@]}"; do
  IFS='|' read -r token n fill close label <<<"$t"
  listing "$WORK/b-$n.xml" "$TOTAL_CAP" '' 40 "$token" "$n" "${fill:- }" "$close"
  measure b "$WORK/b-$n.xml" "$([ "$n" -gt 1 ] && echo "$n ")${label# }"
done

# (c) A favourite's playlist: its cache name comes from a first run, whose
# download fails.
printf '3\n/sbin/tunein-station.pls?id=1003&k=Lq3Vt8Nw5Rz1Hk6P\nJazz\nLate Night Jazz\n12\n1\n128\naudio\n' >"$EX/infile_3"
"$BIN" GetFavStationChannelList >"$WORK/fav.out" 2>&1 || true
rm -f /tmp/bench-downloads
pls=$(sed -n "s/^prefix:'\(.*\)'$/\1/p" "$WORK/fav.out")
{
  printf '[playlist]\nnumberofentries=50\n'
  for ((i = 1; i <= 50; i++)); do
    printf 'File%d=http://203.0.113.7:8000/stream/1003/%d\nTitle%d=(#%d - 12/500) Late Night Jazz\nLength%d=-1\n' "$i" "$i" "$i" "$i" "$i"
  done
  printf 'Version=2\n'
} >"$WORK/fav.pls"
used=$(($(stat -c %s "$WORK/fav.pls") + 1))
{ printf 'Padding='; head -c $((PLS_CAP - used - 8)) /dev/zero | tr '\0' x; printf '\n'; } >>"$WORK/fav.pls"
printf '#!/bin/sh\ncp %s %s\n' "$WORK/fav.pls" "$pls" >"$WORK/prep-c.sh"
rss=$(peak_kb "sh $WORK/prep-c.sh" "$BIN" GetFavStationChannelList)
read -r m sd < <(mean_ms "$RUNS" "sh $WORK/prep-c.sh" "$BIN" GetFavStationChannelList)
run "$WORK/prep-c.sh" GetFavStationChannelList
check "(c) 50 channels listed from the playlist" test "$(grep -c '^http://203.0.113.7' "$EX/outfile_3" 2>/dev/null)" = 50
ROWS+=("| **(c) GetFavStationChannelList, cached playlist** | | | | |")
ROWS+=("| 50 entries and padding | $(($(stat -c %s "$WORK/fav.pls") / 1024)) KiB | $m ± $sd ms | $(mb "$rss") MB | $(awk -v a="$rss" -v b="$u_rss" 'BEGIN { printf "%+.1f MB", (a - b) / 1024 }') |")
[ "$rss" -gt "$worst" ] && worst=$rss

check "no download was attempted" test ! -e /tmp/bench-downloads
check "every case under 16 MB (worst $(mb "$worst") MB)" test "$worst" -lt "$TARGET_KB"

section=$WORK/section.md
{
  echo "## Peak memory on the worst files the bounds admit"
  echo
  echo "Written by \`bench/peak_rss.sh\` ($(date -u +%Y-%m-%d), $(nproc) CPUs, $(uname -m), Release build linked statically)."
  echo "Each file is exactly at its cap; (a) holds as many nodes as the program still loads (the"
  echo "document bound, found by bisection on the program's own answer); (b) is counted in chunks."
  echo "Peak RSS is the largest of $RSS_RUNS runs under GNU time (\`%M\`); wall time is hyperfine's mean"
  echo "over $RUNS runs, the files put back before each. The downloader fails, so any download would show."
  echo
  echo "| case | file | wall time | peak RSS | above usage |"
  echo "|---|---|---|---|---|"
  printf '%s\n' "${ROWS[@]}"
  echo
  echo "Checks:"
  echo
  printf '%s\n' "${CHECKS[@]}"
} >"$section"

# The section replaces its earlier copy; whatever else the file holds stays.
{
  [ ! -f "$OUT" ] || awk '/^## Peak memory/ { skip = 1; next } /^#/ { skip = 0 } skip { next }
    /^$/ { blank++; next } { for (; blank > 0; blank--) print ""; print }' "$OUT"
  echo
  cat "$section"
} >"$WORK/results.md"
cp "$WORK/results.md" "$OUT"
cat "$section"
