#!/usr/bin/env bash
# Runs inside tools/sandbox (scripts/bench starts it there): times radiodir's
# "GetActiveServers" on the first page of generated listings, with the page
# and the total file already in the storage root, against the program's own
# usage path and "xmllint --stream", and the count step alone beside `cat` of
# the same file (and beside an earlier revision's count step, when given);
# writes Markdown tables.
#
# usage: bench/measure.sh BIN COUNT_BENCH DATA_DIR OUT.md [BEFORE_BIN [BEFORE_COUNT_BENCH]]
#   DATA_DIR holds page-N.xml and total-N.xml for each size, and the
#   variants total-50000-junk.xml and total-50000-pi.xml.
set -euo pipefail

BIN=$1 COUNT=$2 DATA=$3 OUT=$4 BEFORE=${5:-} BEFORE_COUNT=${6:-}
RUNS=${BENCH_RUNS:-30}
SLOW_RUNS=${BENCH_SLOW_RUNS:-10}
RSS_RUNS=${BENCH_RSS_RUNS:-5}
SIZES=(${BENCH_SIZES:-1000 10000 50000})

grep -q '^sandbox-tmp /tmp ' /proc/self/mounts || { echo "measure.sh: run it inside tools/sandbox" >&2; exit 2; }

EX=/tmp/hdd/root
ROOT=$EX/irf
TOTAL=$ROOT/PageTotal.xml
MEMO=$TOTAL.count
WORK=$(mktemp -d /tmp/bench.XXXXXX)
mkdir -p "$ROOT"

source "$(dirname "$0")/lib.sh"

ROWS=()
# row LABEL MEAN SD RSS BASE_MEAN BASE_LABEL BASE_RSS
row() {
  local ratio rssd
  ratio=$(awk -v a="$2" -v b="$5" 'BEGIN { printf "%.2fx", a / b }')
  rssd=$(awk -v a="$4" -v b="$7" 'BEGIN { printf "%+.1f MB", (a - b) / 1024 }')
  ROWS+=("| $1 | $2 ± $3 ms | $ratio $6 | $(awk -v a="$4" 'BEGIN { printf "%.1f", a / 1024 }') MB | $rssd |")
}

setup_page() {  # setup_page N TOTAL_FILE
  rm -f "$ROOT"/* "$EX/outfile_1"
  cp "$DATA/page-$1.xml" "$ROOT/Page1.html"
  cp "$2" "$TOTAL"
  printf 'startat=0' >"$EX/infile_1"
}

CHECKS=()
check() {  # check TEXT CONDITION...
  local text=$1
  shift
  if "$@"; then CHECKS+=("- $text: yes"); else CHECKS+=("- $text: **NO**"); fi
}
le() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }
COUNTS=()

for n in "${SIZES[@]}"; do
  total_src=$DATA/total-$n.xml
  setup_page "$n" "$total_src"
  read -r u_m u_s < <(mean_ms "$RUNS" "" "$BIN")
  u_rss=$(peak_kb "" "$BIN")
  read -r x_m x_s < <(mean_ms "$RUNS" "" xmllint --stream --noout "$total_src")
  x_rss=$(peak_kb "" xmllint --stream --noout "$total_src")
  ROWS+=("| **$n stations** ($(($(stat -c %s "$total_src") / 1024)) KiB) | | | | |")
  ROWS+=("| usage path (\`radiodir\`, no arguments) | $u_m ± $u_s ms | baseline | $(awk -v a="$u_rss" 'BEGIN { printf "%.1f", a / 1024 }') MB | baseline |")
  ROWS+=("| \`xmllint --stream --noout\` on the total file | $x_m ± $x_s ms | baseline | $(awk -v a="$x_rss" 'BEGIN { printf "%.1f", a / 1024 }') MB | $(awk -v a="$x_rss" -v b="$u_rss" 'BEGIN { printf "%+.1f MB", (a - b) / 1024 }') |")

  # Cold: the total file is there, never counted (no memo).
  setup_page "$n" "$total_src"
  "$BIN" GetActiveServers >"$WORK/cold.out" 2>&1 || true
  cp "$EX/outfile_1" "$WORK/outfile_cold" 2>/dev/null || : >"$WORK/outfile_cold"
  read -r c_m c_s < <(mean_ms "$RUNS" "rm -f $MEMO" "$BIN" GetActiveServers)
  c_rss=$(peak_kb "rm -f $MEMO" "$BIN" GetActiveServers)
  row "cold: GetActiveServers, total file not yet counted" "$c_m" "$c_s" "$c_rss" "$x_m" "of xmllint" "$u_rss"

  # Warm: the memo from the run before.
  "$BIN" GetActiveServers >/dev/null 2>&1 || true
  read -r w_m w_s < <(mean_ms "$RUNS" "" "$BIN" GetActiveServers)
  w_rss=$(peak_kb "" "$BIN" GetActiveServers)
  cp "$EX/outfile_1" "$WORK/outfile_warm" 2>/dev/null || : >"$WORK/outfile_warm"
  row "warm: GetActiveServers, count from the memo" "$w_m" "$w_s" "$w_rss" "$u_m" "of usage" "$u_rss"
  check "$n stations: the count kept in a memo" test -s "$MEMO"

  read -r k_m k_s < <(mean_ms "$RUNS" "" "$COUNT" "$total_src")
  k_rss=$(peak_kb "" "$COUNT" "$total_src")
  row "count step alone (\`count_bench\`)" "$k_m" "$k_s" "$k_rss" "$x_m" "of xmllint" "$u_rss"
  read -r d_m d_s < <(mean_ms "$SLOW_RUNS" "" "$COUNT" --document "$total_src")
  d_rss=$(peak_kb "" "$COUNT" --document "$total_src")
  row "count step as before: TinyXML document (\`count_bench --document\`)" "$d_m" "$d_s" "$d_rss" "$x_m" "of xmllint" "$u_rss"

  # The count step beside `cat` of the file, and beside the one before.
  read -r t_m t_s < <(mean_ms "$RUNS" "" cat "$total_src")
  line="| $n | $k_m ± $k_s ms | $t_m ± $t_s ms | $(ratio "$k_m" "$t_m")"
  if [ -n "$BEFORE_COUNT" ]; then
    read -r p_m p_s < <(mean_ms "$RUNS" "" "$BEFORE_COUNT" "$total_src")
    line+=" | $p_m ± $p_s ms | $(ratio "$p_m" "$t_m") | $(ratio "$k_m" "$p_m") |"
    check "$n stations: the count step counts as the one before" \
      test "$("$COUNT" "$total_src")" = "$("$BEFORE_COUNT" "$total_src")"
  else
    line+=" | | | |"
  fi
  COUNTS+=("$line")

  if [ -n "$BEFORE" ]; then
    setup_page "$n" "$total_src"
    "$BEFORE" GetActiveServers >/dev/null 2>&1 || true
    cp "$EX/outfile_1" "$WORK/outfile_before" 2>/dev/null || : >"$WORK/outfile_before"
    read -r b_m b_s < <(mean_ms "$SLOW_RUNS" "" "$BEFORE" GetActiveServers)
    b_rss=$(peak_kb "" "$BEFORE" GetActiveServers)
    row "before: GetActiveServers of the earlier revision" "$b_m" "$b_s" "$b_rss" "$u_m" "of usage" "$u_rss"
    check "$n stations: page file byte for byte that of the previous program" cmp -s "$WORK/outfile_before" "$WORK/outfile_warm"
  fi
  check "$n stations: page file the same cold and warm" cmp -s "$WORK/outfile_cold" "$WORK/outfile_warm"
  check "$n stations: page total $(( (n + 19) / 20 + 1 )) in the page file" \
    test "$(sed -n 2p "$WORK/outfile_warm")" = "$(( (n + 19) / 20 + 1 ))"
  if [ "$n" = 50000 ]; then
    x50_m=$x_m
    check "50,000: warm at most 3x the usage path's time ($w_m vs $u_m ms)" le "$w_m" "$(awk -v u="$u_m" 'BEGIN { print 3 * u }')"
    check "50,000: warm peak RSS at most 2 MB above the usage path's ($w_rss vs $u_rss KiB)" le "$w_rss" "$((u_rss + 2048))"
    check "50,000: cold no slower than xmllint --stream ($c_m vs $x_m ms)" le "$c_m" "$x_m"
    check "50,000: cold peak RSS at most 4 MB above the usage path's ($c_rss vs $u_rss KiB)" le "$c_rss" "$((u_rss + 4096))"
    check "50,000: count step within 3x of cat ($k_m vs $t_m ms)" le "$k_m" "$(awk -v t="$t_m" 'BEGIN { print 3 * t }')"
    [ -z "$BEFORE_COUNT" ] ||
      check "50,000: count step no slower than the one before ($k_m vs $p_m ms)" le "$k_m" "$p_m"
  fi
done

# Listings that are not well-formed XML but that TinyXML loads, walked as
# any other.
for kind in 50000-junk 50000-pi; do
  total_src=$DATA/total-$kind.xml
  [ -f "$total_src" ] || continue
  case $kind in
    *junk) label="stray \"&\", invalid UTF-8 and control bytes in values" ;;
    *pi) label="a processing instruction before the end tag" ;;
  esac
  ROWS+=("| **${kind%%-*} stations, $label** | | | | |")
  setup_page 50000 "$total_src"
  read -r x_m x_s < <(mean_ms "$RUNS" "" xmllint --stream --noout "$total_src")
  ROWS+=("| \`xmllint --stream --noout\` on this file (refuses it) | $x_m ± $x_s ms | | | |")
  x_m=${x50_m:-$x_m}
  read -r c_m c_s < <(mean_ms "$SLOW_RUNS" "rm -f $MEMO" "$BIN" GetActiveServers)
  c_rss=$(peak_kb "rm -f $MEMO" "$BIN" GetActiveServers)
  row "cold: GetActiveServers" "$c_m" "$c_s" "$c_rss" "$x_m" "of xmllint (well-formed)" "$u_rss"
  "$BIN" GetActiveServers >/dev/null 2>&1 || true
  read -r w_m w_s < <(mean_ms "$RUNS" "" "$BIN" GetActiveServers)
  w_rss=$(peak_kb "" "$BIN" GetActiveServers)
  row "warm: GetActiveServers" "$w_m" "$w_s" "$w_rss" "$u_m" "of usage" "$u_rss"
  read -r k_m k_s < <(mean_ms "$SLOW_RUNS" "" "$COUNT" "$total_src")
  k_rss=$(peak_kb "" "$COUNT" "$total_src")
  row "count step alone" "$k_m" "$k_s" "$k_rss" "$x_m" "of xmllint (well-formed)" "$u_rss"
  if [ -n "$BEFORE_COUNT" ]; then
    read -r p_m p_s < <(mean_ms "$SLOW_RUNS" "" "$BEFORE_COUNT" "$total_src")
    p_rss=$(peak_kb "" "$BEFORE_COUNT" "$total_src")
    row "count step before: $("$BEFORE_COUNT" "$total_src" || true)" "$p_m" "$p_s" "$p_rss" "$x_m" "of xmllint (well-formed)" "$u_rss"
  fi
  check "$kind: $("$COUNT" "$total_src") stations counted, as the TinyXML document gives ($("$COUNT" --document "$total_src"))" \
    test "$("$COUNT" "$total_src")" = "$("$COUNT" --document "$total_src")"
done

check "no download was attempted" test ! -e /tmp/bench-downloads

# Sections that other benchmarks keep in the same file ("## " headings,
# after this one's table: peak memory, the device binaries) stay as they are.
others=$(sed -n '/^## /,$p' "$OUT" 2>/dev/null || true)
{
  echo "# Benchmark: GetActiveServers on big listings"
  echo
  echo "Written by \`scripts/bench\` ($(date -u +%Y-%m-%d), $(nproc) CPUs, $(uname -m), Release build linked statically)."
  echo "Each figure is hyperfine's mean over $RUNS runs ($SLOW_RUNS for the slow ones) inside \`tools/sandbox\`,"
  echo "after 2 warm-up runs; peak RSS is the largest of $RSS_RUNS runs under GNU time (\`%M\`)."
  echo "The first page of all stations (\`startat=0\`) and the listing's total file are in the storage"
  echo "root beforehand; the downloader fails, so any download would show as an error."
  echo "Listings come from \`dirsim --generate N --dump genre=all\`."
  [ -n "$BEFORE" ] && echo "\"Before\" is radiodir (and its count_bench) as of git revision ${BENCH_BEFORE_REV:-?}, built the same way."
  echo
  echo "| case | wall time | ratio | peak RSS | RSS above usage |"
  echo "|---|---|---|---|---|"
  printf '%s\n' "${ROWS[@]}"
  echo
  echo "The count step alone (\`count_bench\`, hyperfine's mean over $RUNS runs) beside \`cat\` of the same total file:"
  echo
  echo "| stations | count step | \`cat\` | of \`cat\` | before | before of \`cat\` | of before |"
  echo "|---|---|---|---|---|---|---|"
  printf '%s\n' "${COUNTS[@]}"
  echo
  echo "Checks:"
  echo
  printf '%s\n' "${CHECKS[@]}"
  [ -z "$others" ] || printf '\n%s\n' "$others"
} >"$OUT"
cat "$OUT"
