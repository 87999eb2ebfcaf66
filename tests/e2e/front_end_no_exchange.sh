#!/usr/bin/env bash
# A device without "/tmp/hdd/root/" (sandbox --no-exchange): the storage root
# is the flash path, no request file and no page file can be read, and every
# command still answers with its usual messages and exit status 0 without
# creating anything. (The front end's answers themselves: front_end.sh.)
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

start_udplog
expect_no_file "no exchange directory" /tmp/hdd

for args in GetActiveServers GetFavStationChannelList "GetStationChannelList 1"; do
  read -r -a argv <<<"$args"
  run "${argv[@]}"
  expect_eq "$args: exit status" 0 "$RC"
  expect_bytes "$args: stdout" "$OUT" "$(echo_of "${argv[@]}")
"
  expect_bytes "$args: no stderr" "$ERR" ""
done
# Only the station command gets as far as its operation, which fails.
expect_eq "datagrams" "${LOGIC}[1003] : VxGetStationChannelList\\n
$(d_status station 0)" "$(datagrams)"

expect_no_file "nothing created under /tmp/hdd" /tmp/hdd
expect_no_file "no flash root created" "$FLASH"
expect_no_file "no download" "$WGET_ARGV_LOG"

finish
