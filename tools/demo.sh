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
DIRSIM=$BUILD/tools/dirsim
STATIONS=tests/data/stations.tsv
EX=/tmp/hdd/root

DEMOS=(demo_front_end demo_directory)

# --- helpers -------------------------------------------------------------

in_sandbox() { awk '$2 == "/usr/local/etc" && $1 == "sandbox-etc" { found = 1 } END { exit !found }' /proc/self/mounts; }

if ! in_sandbox; then
  echo "demo: run me inside the sandbox: tools/sandbox -- bash tools/demo.sh $BUILD" >&2
  exit 2
fi
for f in "$BIN" "$UDPLOG" "$DIRSIM"; do
  [ -x "$f" ] || { echo "demo: $f is missing; build first (cmake --build --preset release)" >&2; exit 2; }
done

WORK=$(mktemp -d /tmp/demo.XXXXXX)
UDP=$WORK/udp.log
UDP_SEEN=0
UDP_PID=""
DIRSIM_PID=""
cleanup() {
  [ -n "$UDP_PID" ] && kill "$UDP_PID" 2>/dev/null
  [ -n "$DIRSIM_PID" ] && kill "$DIRSIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
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

# start_dirsim: the directory service on 127.0.0.1:80, where the sandbox
# resolves the directory's host names; its request log in $NET.
NET=$WORK/dirsim.log
NET_SEEN=0
start_dirsim() {
  printf '\n%s$ dirsim --port 80 --data %s --log %s &%s\n' "$B" "$STATIONS" "$NET" "$N"
  "$DIRSIM" --port 80 --data "$STATIONS" --log "$NET" --ready "$WORK/dirsim.ready" >"$WORK/dirsim.out" 2>&1 &
  DIRSIM_PID=$!
  local i
  for i in $(seq 100); do [ -e "$WORK/dirsim.ready" ] && return 0; sleep 0.05; done
  echo "demo: dirsim did not start:" >&2
  cat "$WORK/dirsim.out" >&2
  exit 1
}

# The requests that reached dirsim since the last call.
new_requests() {
  local lines
  lines=$(wc -l <"$NET")
  if [ "$lines" -gt "$NET_SEEN" ]; then
    tail -n +"$((NET_SEEN + 1))" "$NET" | head -n "$((lines - NET_SEEN))" | sed 's/^/  net| /'
  else
    echo "  net| (no request: nothing was downloaded)"
  fi
  NET_SEEN=$lines
}

# fetch ARGS...: a run that may download; shows the requests too.
fetch() {
  show "$@"
  new_requests
}

# page_table: the page file (205 lines) as the interface shows it.
page_table() {
  printf '\n%s%s, read back:%s\n' "$B" "$EX/outfile_1" "$N"
  awk '{ line[NR] = $0 }
    END {
      printf "  page %d of %d (pagetotal line: %d), %d stations, cached as %s.html\n",
             line[1], line[2] - 1, line[2], line[204], line[205]
      printf "  %3s  %6s  %9s  %-5s  %-12s  %s\n", "#", "kbit/s", "listeners", "type", "genre", "station"
      for (k = 1; k <= 20; k++) {
        b = 36 + 8 * k   # index, tuneinpath, genre, name, lc, used, br, mt
        if (line[b + 5] != 1) continue
        printf "  %3d  %6d  %9d  %-5s  %-12s  %s\n", line[b], line[b + 6], line[b + 4], line[b + 7], line[b + 2], line[b + 3]
      }
      printf "  previous page link: %s\n  next page link:     %s\n", line[3], line[4]
      genres = line[6]
      for (g = 7; g <= 24; g++) genres = genres ", " line[g]
      printf "  genre links (%s<name>): %s\n", line[5], genres
    }' "$EX/outfile_1"
}

# channel_table FILE: a channel list file (count, then url and title lines).
channel_table() {
  printf '\n%s%s, read back:%s\n' "$B" "$EX/$1" "$N"
  awk 'NR == 1 { printf "  %d stream(s)\n", $0; next }
       NR % 2 == 0 { url = $0; next }
       { printf "  %d. %-28s %s\n", (NR - 1) / 2, $0, url }' "$EX/$1"
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

demo_directory() {
  heading "A directory service in the sandbox"
  say "tools/dirsim answers for the directory's hosts, which the sandbox resolves to 127.0.0.1."
  say "'net|' lines are the requests that reached it (the downloader is GNU wget at /sbin/wget)."
  start_dirsim

  heading "Browse a genre: GetActiveServers"
  put infile_1 $'sgenre=Pop\n'
  fetch GetActiveServers
  say "One query for the page, one for the listing's total; both are cached in /tmp/hdd/root/irf."
  page_table

  heading "A station's streams: GetStationChannelList"
  say "Station 14 of the page file: its playlist is fetched, parsed and written to outfile_2."
  fetch GetStationChannelList 14
  channel_table outfile_2
  say "Asked again, the cached playlist is used:"
  fetch GetStationChannelList 14
  channel_table outfile_2

  heading "The next page"
  put infile_1 "$(sed -n 4p "$EX/outfile_1")"$'\n'
  fetch GetActiveServers
  say "The page was fetched; the listing's total came from the cache."
  page_table

  heading "A favourite's streams: GetFavStationChannelList"
  say "The interface keeps a station record (eight lines, as in the page file) as a favourite:"
  say "here row 15 of this page. It is handed over in infile_3; the page file plays no part."
  put infile_3 "$(sed -n 156,163p "$EX/outfile_1")"$'\n'
  fetch GetFavStationChannelList
  channel_table outfile_3
}

# --- main ----------------------------------------------------------------

start_udplog
say "radiodir from $BUILD; trace datagrams to 255.255.255.255:8888 are shown as 'udp|'."
for demo in "${DEMOS[@]}"; do "$demo"; done
echo
