#!/usr/bin/env bash
# The command front end: argument checks, the argument echo, command words,
# the output files removed before each command, the arguments handed to the
# operations and the status datagram after each command. Runs in the sandbox
# with tests/e2e/bin/wget-argv-log as the downloader, which records its calls
# and fails, so no command here gets further than its first download.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The URL slot (the argument after -nd) of every downloader call so far.
wget_urls() { [ -f "$WGET_ARGV_LOG" ] && awk 'prev == "-nd" { print } { prev = $0 }' "$WGET_ARGV_LOG"; }
# A fresh exchange directory, no downloader calls and no datagrams yet.
fresh() {
  rm -rf "${EX:?}"/* "$WGET_ARGV_LOG"
  clear_udplog
}
# expect_run NAME STDOUT: the last run's exit status 0, stdout and no stderr.
expect_run() {
  expect_eq "$1: exit status" 0 "$RC"
  expect_bytes "$1: stdout" "$OUT" "$2"
  expect_bytes "$1: stderr" "$ERR" ""
}

start_udplog

# --- Usage and unknown command words -------------------------------------
fresh
run
expect_run "no arguments" "parameter error, must >= 2!"$'\n'
expect_eq "no arguments: no datagram" "" "$(datagrams)"
expect_eq "no arguments: nothing created" "" "$(ls -A "$EX")"

fresh
run Hello "two words" "" 'x%sy%n' "tab"$'\t'"end"
expect_run "argv echo" "$(echo_of Hello "two words" "" 'x%sy%n' "tab"$'\t'"end")
not implement the request:Hello
"
expect_eq "argv echo: no datagram" "" "$(datagrams)"

for word in GetActive GetActiveServer GetActiveServersX GetStationChannel GetFavStationChannelLis \
            " GetActiveServers" GetActiveServers: ""; do
  fresh
  echo "sgenre=Pop" >"$EX/infile_1"
  echo "old" >"$EX/outfile_1"
  run "$word" 1
  expect_run "prefix or near word [$word]" "$(echo_of "$word" 1)
not implement the request:$word
"
  expect_bytes "near word [$word]: outfile_1 untouched" "$EX/outfile_1" $'old\n'
  expect_eq "near word [$word]: no datagram" "" "$(datagrams)"
done

# --- Command words in any case, and arguments they cannot take -----------
# GetActiveServers with 5 or more arguments reads its link and stops.
for args in "getactiveservers a b c" "GETACTIVESERVERS a b c" "gEtAcTiVeSeRvErS a b c" \
            "GetActiveServers a b c" "GetActiveServers a b c d"; do
  read -r -a argv <<<"$args"
  fresh
  printf 'sgenre=Pop\n' >"$EX/infile_1"
  printf 'old page\n' >"$EX/outfile_1"
  run "${argv[@]}"
  expect_run "$args" "$(echo_of "${argv[@]}")


read pageHref=sgenre=Pop!!!!!!

"
  expect_no_file "$args: outfile_1 removed" "$EX/outfile_1"
  expect_eq "$args: status datagram" "$(d_status browse 0)" "$(datagrams)"
  expect_eq "$args: no download" "" "$(wget_urls)"
  expect_no_file "$args: no storage root" "$ROOT"
done
# The datagram's exact bytes, as received.
fresh
rm -f "$WORK/raw.ready"
"$TOOLS/udplog" --raw --count 1 --timeout 10 --ready "$WORK/raw.ready" >"$WORK/raw" &
raw_pid=$!
wait_for "$WORK/raw.ready"
printf 'sgenre=Pop\n' >"$EX/infile_1"
run GetActiveServers a b c
wait "$raw_pid"
expect_bytes "status datagram bytes" "$WORK/raw" \
  $'\t\t\t\t\t\t\t\tpatch_main[0078] : main\nVxShoutcastGetActiveServers returned with status=0'

# GetStationChannelList without its index; the old answer is removed first.
for word in getstationchannellist GETSTATIONCHANNELLIST GetStationChannelLIST GetStationChannelList; do
  fresh
  echo "old answer" >"$EX/outfile_2"
  run "$word"
  expect_run "$word" "$(echo_of "$word")
parameter error, must >= 3!
"
  expect_no_file "$word alone: outfile_2 removed first" "$EX/outfile_2"
  expect_eq "$word alone: no datagram" "" "$(datagrams)"
  expect_eq "$word alone: no download" "" "$(wget_urls)"
done

# Without their request files: GetActiveServers keeps the old answer,
# GetFavStationChannelList removes it; neither does anything else.
for word in GetActiveServers getfavstationchannellist GETFAVSTATIONCHANNELLIST GetFavStationChannelList; do
  fresh
  echo old >"$EX/outfile_1"
  echo old >"$EX/outfile_3"
  run "$word"
  expect_run "$word without its request file" "$(echo_of "$word")
"
  expect_bytes "$word without its request file: outfile_1 kept" "$EX/outfile_1" $'old\n'
  [ "$word" = GetActiveServers ] || expect_no_file "$word without infile_3: outfile_3 removed" "$EX/outfile_3"
  expect_eq "$word without its request file: no datagram" "" "$(datagrams)"
  expect_eq "$word without its request file: no download" "" "$(wget_urls)"
done

# --- GetActiveServers: search text and key from the argument count -------
# LINK|ARGUMENTS|URL|SEARCH KEY: 2 arguments, search "0" and the built-in
# key; 3, argv[2] is the search text; 4, argv[3] is the developer key.
API=http://api.shoutcast.com/legacy
while IFS='|' read -r link args url search; do
  read -r -a argv <<<"$args"
  c="GetActiveServers $args"
  fresh
  printf '%s\n' "$link" >"$EX/infile_1"
  printf 'old page\n' >"$EX/outfile_1"
  run GetActiveServers "${argv[@]}"
  expect_eq "$c: exit status" 0 "$RC"
  expect_eq "$c: URL" "$url" "$(wget_urls)"
  expect_no_file "$c: outfile_1 removed" "$EX/outfile_1"
  expect_eq "$c: entry and status datagrams" \
    "${LOGIC}[0793] : VxShoutcastGetActiveServers\\npageHref: $link, SearchKey:\"$search\"|$(d_status browse 0)" \
    "$(datagrams | sed -n '1p;$p' | paste -sd '|')"
done <<EOF
sgenre=Pop||$API/genresearch?k=$KEY&genre=Pop&limit=0,20|0
startat=0|rock|$API/stationsearch?k=$KEY&search=rock&limit=0,20|rock
startat=20|0 MyKey|$API/genresearch?k=MyKey&genre=all&limit=20,20|0
EOF

# --- GetStationChannelList: the index is atoi modulo 65536 ---------------
# A page file with three stations.
{
  printf '1\n2\n\n\nsgenre=\n'
  printf '\n%.0s' {1..38}
  for k in 1 2 3; do printf '%d\n/sbin/tunein-station.pls?id=%d\nPop\nStation %d\n5\n1\n128\naudio\n' $k $((100 + k)) $k; done
  printf '0\n\n\n\n0\n0\n0\n\n%.0s' {4..20}
  printf '3\n/tmp/hdd/root/irf/PopPage1\n'
} >"$WORK/page3"
# Beyond 32 bits atoi saturates as on the device, where a long has 32 bits.
for case in "2 102" "3 103" "65538 102" "-65534 102" "1x 101" "abc -" "0 -" "65536 -" "4 -" \
            "4294967298 -" "-4294967294 -"; do
  read -r index station <<<"$case"
  fresh
  mkdir -p "$ROOT"
  cp "$WORK/page3" "$EX/outfile_1"
  echo "old" >"$EX/outfile_2"
  run GetStationChannelList "$index"
  expect_eq "station index $index: exit status" 0 "$RC"
  if [ "$station" = - ]; then
    expect_eq "station index $index: no station, no download" "" "$(wget_urls)"
  else
    expect_eq "station index $index: playlist of station $station" \
      "http://yp.shoutcast.com/sbin/tunein-station.pls?id=$station" "$(wget_urls)"
  fi
  expect_no_file "station index $index: outfile_2 removed" "$EX/outfile_2"
  expect_eq "station index $index: status datagram" "$(d_status station 0)" "$(datagrams | tail -n 1)"
done

# --- GetFavStationChannelList: the station of infile_3 -------------------
fresh
mkdir -p "$ROOT"
printf '4\n/sbin/tunein-station.pls?id=777\nJazz\nFavourite\n9\n1\n64\naudio\n' >"$EX/infile_3"
echo old >"$EX/outfile_3"
run GetFavStationChannelList ignored
expect_eq "favourite: exit status" 0 "$RC"
expect_eq "favourite: playlist of the station of infile_3" \
  "http://yp.shoutcast.com/sbin/tunein-station.pls?id=777" "$(wget_urls)"
expect_no_file "favourite: outfile_3 removed" "$EX/outfile_3"
expect_eq "favourite: status datagram" "$(d_status fav 0)" "$(datagrams | tail -n 1)"

finish
