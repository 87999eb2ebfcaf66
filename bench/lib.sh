# Helpers shared by the benchmark scripts that run inside tools/sandbox
# (bench/measure.sh, bench/peak_rss.sh). They expect WORK (a scratch
# directory) and RSS_RUNS to be set.

# mean_ms RUNS PREPARE CMD...: mean and standard deviation in ms ("M S");
# PREPARE (a command line, or empty) runs before each run, untimed.
mean_ms() {
  local runs=$1 prepare=$2
  shift 2
  local args=(-N --style none --warmup 2 --runs "$runs" --export-csv "$WORK/hf.csv")
  [ -n "$prepare" ] && args+=(--prepare "$prepare")
  hyperfine "${args[@]}" -i -- "$*" >/dev/null 2>&1
  awk -F, 'NR == 2 { printf "%.2f %.2f\n", $2 * 1000, $3 * 1000 }' "$WORK/hf.csv"
}

# peak_kb PREPARE CMD...: the largest peak RSS (KiB) over RSS_RUNS runs.
peak_kb() {
  local prepare=$1 max=0 kb i
  shift
  for ((i = 0; i < RSS_RUNS; i++)); do
    [ -n "$prepare" ] && $prepare
    /usr/bin/time -f %M -o "$WORK/rss" "$@" >/dev/null 2>&1 || true
    kb=$(tail -n 1 "$WORK/rss")
    [ "$kb" -gt "$max" ] && max=$kb
  done
  echo "$max"
}
