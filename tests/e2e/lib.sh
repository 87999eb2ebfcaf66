# Shared helpers for the end-to-end scripts. Each script runs inside one
# tools/sandbox (see tests/CMakeLists.txt), sources this file, runs the
# program and compares exact bytes, then calls `finish`.
#
# Environment from CTest: RADIODIR_BIN (the program), RADIODIR_TOOLS (built
# tools: dirsim, udplog), RADIODIR_SRC (the checkout), RADIODIR_EMULATOR
# (prefix such as qemu-mipsel for a cross build; usually empty).
set -uo pipefail

BIN=${RADIODIR_BIN:?RADIODIR_BIN is not set}
TOOLS=${RADIODIR_TOOLS:?RADIODIR_TOOLS is not set}
SRC=${RADIODIR_SRC:?RADIODIR_SRC is not set}
read -r -a EMU <<<"${RADIODIR_EMULATOR:-}"
WORK=$(mktemp -d /tmp/e2e.XXXXXX)
EX=/tmp/hdd/root          # exchange directory
ROOT=/tmp/hdd/root/irf    # disk storage root
FLASH=/usr/local/etc/hdd/root/irf
PASSED=0
FAILED=0
BG_PIDS=()

cleanup() {
  local p
  for p in "${BG_PIDS[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  return 0
}
trap cleanup EXIT

# run ARGS...: runs radiodir; stdout in $OUT, stderr in $ERR, exit status in $RC.
# With RADIODIR_VALGRIND=1 the program runs under valgrind memcheck; any
# error or block left at exit fails the script (the report is shown).
OUT=$WORK/stdout
ERR=$WORK/stderr
RC=0
VG=()
if [ "${RADIODIR_VALGRIND:-0}" = 1 ]; then
  VG=(valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all --show-leak-kinds=all -q
      --log-file="$WORK/valgrind.log")
fi
run() {
  RC=0
  "${EMU[@]}" "${VG[@]}" "$BIN" "$@" >"$OUT" 2>"$ERR" || RC=$?
  if [ ${#VG[@]} -gt 0 ] && [ -s "$WORK/valgrind.log" ]; then
    fail "valgrind: radiodir $*"
    cat "$WORK/valgrind.log" >&2
    : >"$WORK/valgrind.log"
  fi
}

pass() { PASSED=$((PASSED + 1)); }
fail() {
  FAILED=$((FAILED + 1))
  echo "FAIL: $*" >&2
}

# expect_eq NAME EXPECTED ACTUAL
expect_eq() {
  if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi
}

# expect_bytes NAME FILE EXPECTED: FILE holds exactly the bytes EXPECTED
# (use $'...' or printf for control characters).
expect_bytes() {
  local name=$1 file=$2 expected=$3
  if [ ! -f "$file" ]; then fail "$name: $file is missing"; return; fi
  if cmp -s "$file" <(printf '%s' "$expected"); then
    pass
  else
    fail "$name: $file differs"
    diff <(printf '%s' "$expected") "$file" | head -n 20 >&2
  fi
}

# expect_same NAME FILE EXPECTED_FILE
expect_same() {
  if [ ! -f "$2" ]; then fail "$1: $2 is missing"; return; fi
  if cmp -s "$2" "$3"; then pass; else fail "$1: $2 differs from $3"; diff "$3" "$2" | head -n 20 >&2; fi
}

expect_file() { if [ -f "$2" ]; then pass; else fail "$1: $2 is missing"; fi; }
expect_no_file() { if [ -e "$2" ]; then fail "$1: $2 should not exist"; else pass; fi; }

# Waits until FILE exists (a tool's ready mark), at most 10 s.
wait_for() {
  local i
  for i in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done
  echo "timed out waiting for $1" >&2
  return 1
}

# start_udplog: every datagram, one escaped line each, into $UDP (appended,
# so that clear_udplog truncates it without leaving a hole of zero bytes).
UDP=$WORK/udp.log
start_udplog() {
  rm -f "$WORK/udplog.ready"
  "$TOOLS/udplog" --escape --ready "$WORK/udplog.ready" >>"$UDP" &
  BG_PIDS+=($!)
  wait_for "$WORK/udplog.ready"
}
# The datagrams received so far (lets in-flight ones arrive first).
datagrams() { sleep 0.2; cat "$UDP"; }
clear_udplog() { sleep 0.2; : >"$UDP"; }

# start_dirsim ARGS...: the local directory service on 127.0.0.1:80; its
# request log in $DIRSIM_LOG.
DIRSIM_LOG=$WORK/dirsim.log
start_dirsim() {
  rm -f "$WORK/dirsim.ready"
  "$TOOLS/dirsim" --port 80 --log "$DIRSIM_LOG" --ready "$WORK/dirsim.ready" "$@" >"$WORK/dirsim.out" 2>&1 &
  BG_PIDS+=($!)
  wait_for "$WORK/dirsim.ready"
}

# finish: the summary line CTest shows, and the script's exit status.
finish() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}
