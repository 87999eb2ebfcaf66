#!/usr/bin/env bash
# A device without "/tmp/hdd/root/" (sandbox --no-exchange): the storage root
# is the flash path, no request file can be read, and every command still
# answers with its usual messages and exit status 0 without creating anything.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WGET_LOG=/tmp/wget-argv.log
export WGET_ARGV_LOG=$WGET_LOG
D='\t\t\t\t\t\t\t\t'

echo_of() {
  local i=0 a
  for a in "$BIN" "$@"; do
    printf 'argv[%d]=%s\n' "$i" "$a"
    i=$((i + 1))
  done
}

start_udplog
expect_no_file "no exchange directory" /tmp/hdd

run
expect_eq "no arguments: exit status" 0 "$RC"
expect_bytes "no arguments: stdout" "$OUT" $'parameter error, must >= 2!\n'

run Other x
expect_eq "unknown word: exit status" 0 "$RC"
expect_bytes "unknown word: stdout" "$OUT" "$(echo_of Other x)
not implement the request:Other
"

run GetActiveServers
expect_eq "GetActiveServers: exit status" 0 "$RC"
expect_bytes "GetActiveServers: stdout" "$OUT" "$(echo_of GetActiveServers)
"
run GetFavStationChannelList
expect_eq "GetFavStationChannelList: exit status" 0 "$RC"
expect_bytes "GetFavStationChannelList: stdout" "$OUT" "$(echo_of GetFavStationChannelList)
"
run GetStationChannelList
expect_eq "GetStationChannelList alone: exit status" 0 "$RC"
expect_bytes "GetStationChannelList alone: stdout" "$OUT" "$(echo_of GetStationChannelList)
parameter error, must >= 3!
"
expect_eq "usage errors and missing request files: no datagram" "" "$(datagrams)"

# With an index the command runs and fails: there is no page file.
run GetStationChannelList 1
expect_eq "GetStationChannelList 1: exit status" 0 "$RC"
expect_bytes "GetStationChannelList 1: stdout" "$OUT" "$(echo_of GetStationChannelList 1)
"
expect_eq "GetStationChannelList 1: datagrams" "${D}patch_Zorv_getlpls[1003] : VxGetStationChannelList\\n
${D}patch_main[0093] : main\\nVxGetStationChannelList returned with status=0" "$(datagrams)"

expect_no_file "nothing created under /tmp/hdd" /tmp/hdd
expect_no_file "no flash root created" "$FLASH"
expect_no_file "no download" "$WGET_LOG"
expect_bytes "no stderr" "$ERR" ""

finish
