#!/usr/bin/env bash
# Shows radiodir at work, as the player's interface would drive it, with the
# trace datagrams that a developer would see in udplog. Runs only inside
# tools/sandbox (scripts/demo starts it):
#   tools/sandbox -- bash tools/demo.sh BUILD_DIR
#
# Each part of the demo is a function named demo_*, run in the order of
# DEMOS below; add a function and its name to extend it.
set -euo pipefail

BUILD=${1:-build/release}
BIN=$BUILD/radiodir
UDPLOG=$BUILD/tools/udplog
EX=/tmp/hdd/root

DEMOS=(demo_front_end)

# --- helpers -------------------------------------------------------------

in_sandbox() { awk '$2 == "/usr/local/etc" && $1 == "sandbox-etc" { found = 1 } END { exit !found }' /proc/self/mounts; }

if ! in_sandbox; then
  echo "demo: run me inside the sandbox: tools/sandbox -- bash tools/demo.sh $BUILD" >&2
  exit 2
fi
for f in "$BIN" "$UDPLOG"; do
  [ -x "$f" ] || { echo "demo: $f is missing; build first (cmake --build --preset release)" >&2; exit 2; }
done

WORK=$(mktemp -d /tmp/demo.XXXXXX)
UDP=$WORK/udp.log
UDP_SEEN=0
UDP_PID=""
cleanup() { [ -n "$UDP_PID" ] && kill "$UDP_PID" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT

if [ -t 1 ]; then B=$'\e[1m' D=$'\e[2m' N=$'\e[0m'; else B="" D="" N=""; fi

heading() { printf '\n%s== %s ==%s\n' "$B" "$*" "$N"; }
say() { printf '%s%s%s\n' "$D" "$*" "$N"; }

start_udplog() {
  "$UDPLOG" --ready "$WORK/udplog.ready" >"$UDP" &
  UDP_PID=$!
  local i
  for i in $(seq 100); do [ -e "$WORK/udplog.ready" ] && return 0; sleep 0.05; done
  echo "demo: udplog did not start" >&2
  exit 1
}

# The datagrams that arrived since the last call, their eight leading tabs
# left out.
new_datagrams() {
  sleep 0.2
  local lines
  lines=$(wc -l <"$UDP")
  if [ "$lines" -gt "$UDP_SEEN" ]; then
    tail -n +"$((UDP_SEEN + 1))" "$UDP" | head -n "$((lines - UDP_SEEN))" | sed -e 's/^\t*//' -e 's/^/  udp| /'
  else
    echo "  udp| (no datagram)"
  fi
  UDP_SEEN=$lines
}

# show ARGS...: runs radiodir with ARGS as the interface would, then shows
# its standard output, exit status and datagrams.
show() {
  local rc=0
  local shown=""
  [ $# -gt 0 ] && shown=$(printf ' %q' "$@")
  printf '\n%s$ radiodir%s%s\n' "$B" "$shown" "$N"
  "$BIN" "$@" >"$WORK/out" 2>&1 || rc=$?
  sed 's/^/  out| /' "$WORK/out"
  printf '  exit status %d\n' "$rc"
  new_datagrams
}

# put FILE TEXT: what the interface writes before a command.
put() {
  printf '%s' "$2" >"$EX/$1"
  printf '\n%s(interface writes %s: %q)%s\n' "$D" "$EX/$1" "$2" "$N"
}

answer() {
  if [ -f "$EX/$1" ]; then
    say "  $EX/$1: $(wc -l <"$EX/$1") lines"
  else
    say "  $EX/$1: none"
  fi
}

# --- the demos -----------------------------------------------------------

demo_front_end() {
  heading "The command line"
  say "One run per user action: a command word and its arguments. Exit status 1 means success."
  show
  show hello "two words"
  show GetActive
  say "Command words are matched without regard to case, never by prefix."

  heading "Usage errors"
  put outfile_2 $'an old answer\n'
  show GetStationChannelList
  say "The old answer file is removed before the index is checked:"
  answer outfile_2

  heading "GetActiveServers"
  put infile_1 $'sgenre=Pop\n'
  show getactiveservers a b c
  say "Five arguments are one too many: no request, status 0 in the trace."
  rm -f "$EX/infile_1"
  show GETACTIVESERVERS
  say "Without infile_1 there is nothing to ask for: no trace at all."
}

# --- main ----------------------------------------------------------------

start_udplog
say "radiodir from $BUILD; trace datagrams to 255.255.255.255:8888 are shown as 'udp|'."
for demo in "${DEMOS[@]}"; do "$demo"; done
echo
