#!/usr/bin/env bash
# Trace datagrams never change a run: the same commands give the same stdout,
# stderr, exit status, answer files, cache files and downloader calls whether
# every sendto fails (sandbox --no-broadcast: no route for 255.255.255.255)
# or the datagrams go out (the route added afterwards). The commands cover a
# whole page request, both playlist commands, failed downloads and usage
# errors; tests/e2e/bin/wget-argv-log serves small fixed answers.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

cat >"$WORK/page.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<stationlist>
<tunein base="/sbin/tunein-station.pls"/>
<station name="Alpha FM" mt="audio/mpeg" id="101" br="128" genre="Pop" lc="7"/>
<station name="Beta Radio" mt="audio/aacp" id="102" br="64" genre="Pop" lc="3"/>
</stationlist>
EOF
printf '[playlist]\nnumberofentries=2\nFile1=http://127.0.0.1:8000/a\nTitle1=(#1) A\nFile2=http://127.0.0.1:8000/b\nTitle2=(#2) B\nLength1=-1\nVersion=2\n' \
  >"$WORK/playlist.pls"

T=""  # the transcript being written
note() { printf '%s\n' "$@" >>"$T"; }
# note_file TITLE FILE: the file's bytes as they are.
note_file() {
  note "$1"
  cat "$2" >>"$T"
  note "<end>"
}
# step BODY ARGS...: one run (BODY: file the downloader serves, or - to make
# it fail) and everything it left behind, appended to the transcript.
step() {
  local body=$1 f
  shift
  if [ "$body" = - ]; then unset WGET_ARGV_BODY; else export WGET_ARGV_BODY=$body; fi
  run "$@"
  STATUSES+="${STATUSES:+ }$RC"
  note "=== run: $*" "exit status: $RC"
  note_file "--- stdout:" "$OUT"
  note_file "--- stderr:" "$ERR"
  for f in "$EX"/*; do
    [ -f "$f" ] && note_file "--- $f:" "$f"
  done
  note "--- storage root:" "$(ls -A "$ROOT" 2>&1)"
  [ -f "$WGET_ARGV_LOG" ] && note_file "--- downloader calls:" "$WGET_ARGV_LOG"
  rm -f "$WGET_ARGV_LOG"
}
# scenario TRANSCRIPT: the same commands from a clean exchange directory.
scenario() {
  T=$1
  STATUSES=""
  : >"$T"
  rm -rf "${EX:?}"/* "$WGET_ARGV_LOG"
  step -
  step - Unknown x
  printf 'sgenre=Pop\n' >"$EX/infile_1"
  step "$WORK/page.xml" GetActiveServers
  step - GetActiveServers                       # the cached page is reused
  step "$WORK/playlist.pls" GetStationChannelList 2
  step - GetStationChannelList 2                # the cached playlist is reused
  step - GetStationChannelList 7                # no such station
  printf '3\n/sbin/tunein-station.pls?id=555\nJazz\nFav\n1\n1\n32\naudio\n' >"$EX/infile_3"
  step "$WORK/playlist.pls" GetFavStationChannelList
  printf 'sgenre=Jazz&startat=40\n' >"$EX/infile_1"
  step - GetActiveServers rock MyKey            # the download fails
  step - GetActiveServers a b c
  step - GetStationChannelList
  rm -f "$EX/infile_1"
  step - GetActiveServers
}

start_udplog

# Without the broadcast route: nothing is heard.
scenario "$WORK/without-route"
expect_eq "without route: no datagram heard" "" "$(datagrams)"
# The scenario did reach the answers it is meant to compare.
expect_eq "without route: exit statuses" "0 0 1 1 1 1 0 1 0 0 0 0" "$STATUSES"
expect_eq "without route: files left" "infile_3 irf outfile_3" "$(cd "$EX" && echo *)"

# With the route the datagrams go out, and nothing else changes.
ip route add broadcast 255.255.255.255 dev lo
clear_udplog
scenario "$WORK/with-route"
heard=$(datagrams | wc -l)
if [ "$heard" -ge 20 ]; then pass; else fail "with route: only $heard datagrams heard"; fi
expect_same "same stdout, files and exit status with and without the route" \
  "$WORK/with-route" "$WORK/without-route"

finish
