#!/usr/bin/env bash
# What syncing costs a page request on a disk: GetActiveServers from an
# empty storage root (page and total downloaded from dirsim, each synced
# before its in-flight mark goes; the answer synced before its rename),
# timed as built and with every sync made a no-op by eatmydata, side by
# side in one run. The storage root is a directory on this machine's own
# disk (where /tmp lives), bound into the sandbox: on the sandbox's tmpfs a
# sync would cost nothing. Appends a section to bench/RESULTS.md.
#
# usage: bench/fsync_cost.sh [STATIONS]   (default 10000)
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  cd "$(dirname "$0")/.."
  scripts/setup
  build=${RADIODIR_BENCH_BUILD:-build/bench}/dynamic
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" -j2 --target radiodir dirsim
  disk=$(mktemp -d /tmp/radiodir-disk.XXXXXX)
  trap 'rm -rf "$disk"' EXIT
  tools/sandbox --keep "$disk" -- bash bench/fsync_cost.sh --inside "$(readlink -f "$build/radiodir")" \
    "$(readlink -f "$build/tools/dirsim")" "$disk" "$(readlink -f bench/RESULTS.md)" "${1:-10000}"
  exit
fi

BIN=$2 DIRSIM=$3 DISK=$4 OUT=$5 N=$6
grep -q '^sandbox-tmp /tmp ' /proc/self/mounts || { echo "fsync_cost.sh: run it inside tools/sandbox" >&2; exit 2; }
ROOT=/tmp/hdd/root/irf
WORK=$(mktemp -d /tmp/bench.XXXXXX)
mkdir -p "$ROOT"
mount --bind "$DISK" "$ROOT"
"$DIRSIM" --port 80 --generate "$N" --ready "$WORK/ready" >/dev/null 2>&1 &
dirsim=$!
trap 'kill "$dirsim" 2>/dev/null; umount "$ROOT"' EXIT
for _ in $(seq 100); do [ -e "$WORK/ready" ] && break; sleep 0.1; done
printf 'startat=0' >/tmp/hdd/root/infile_1
prepare="find $ROOT -mindepth 1 -delete"
hyperfine -N -i --style none --warmup 2 --runs 20 --prepare "$prepare" --export-csv "$WORK/hf.csv" \
  "$BIN GetActiveServers" "eatmydata $BIN GetActiveServers" >/dev/null 2>&1
read -r synced synced_sd nosync nosync_sd < <(awk -F, 'NR > 1 { printf "%.2f %.2f ", $2 * 1000, $3 * 1000 } END { print "" }' "$WORK/hf.csv")
$prepare && "$BIN" GetActiveServers >/dev/null 2>&1 || true
ok=$(test -s /tmp/hdd/root/outfile_1 && test -s "$ROOT/PageTotal.xml" && echo yes || echo "**NO**")
{
  echo
  echo "## Syncing a page request to the disk"
  echo
  echo "Written by \`bench/fsync_cost.sh\` ($(date -u +%Y-%m-%d), $(nproc) CPUs, $(uname -m), Release build)."
  echo "GetActiveServers \`startat=0\` from an empty storage root on this machine's disk ($(stat -f -c %T "$DISK")):"
  echo "page and total of $N stations downloaded from dirsim, hyperfine's mean over 20 runs."
  echo
  echo "| case | wall time | ratio |"
  echo "|---|---|---|"
  echo "| every sync made a no-op (\`eatmydata\`) | $nosync ± $nosync_sd ms | baseline |"
  echo "| as built: each download and the answer synced | $synced ± $synced_sd ms | $(awk -v a="$synced" -v b="$nosync" 'BEGIN { printf "%.2fx", a / b }') |"
  echo
  echo "Check: a whole answer and the total file in place after a synced run: $ok"
} >>"$OUT"
