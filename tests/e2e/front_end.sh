#!/usr/bin/env bash
# The command front end: argument checks, the argument echo, command words,
# the output files removed before each command, the arguments handed to the
# operations and the status datagram after each command. Runs in the sandbox
# with tests/e2e/bin/wget-argv-log as the downloader, which records its calls
# and fails, so no command here gets further than its first download.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WGET_LOG=/tmp/wget-argv.log
export WGET_ARGV_LOG=$WGET_LOG
TABS=$'\t\t\t\t\t\t\t\t'
KEY=Lq3Vt8Nw5Rz1Hk6P

# The argument echo radiodir prints for ARGS (argv[0] is the program).
echo_of() {
  local i=0 a
  for a in "$BIN" "$@"; do
    printf 'argv[%d]=%s\n' "$i" "$a"
    i=$((i + 1))
  done
}
# The status datagram of main, escaped as udplog --escape shows it.
status_dgram() { printf '\\t\\t\\t\\t\\t\\t\\t\\tpatch_main[%04d] : main\\n%s returned with status=%d\n' "$1" "$2" "$3"; }
# The URL slot (the argument after -nd) of every downloader call so far.
wget_urls() { [ -f "$WGET_LOG" ] && awk 'prev == "-nd" { print } { prev = $0 }' "$WGET_LOG"; }

# A fresh exchange directory and storage root, no downloader calls and no
# datagrams yet.
fresh() {
  rm -rf "${EX:?}"/* "$WGET_LOG"
  clear_udplog
}

# expect_run NAME RC STDOUT: the last run's exit status, stdout and stderr.
expect_run() {
  expect_eq "$1: exit status" "$2" "$RC"
  expect_bytes "$1: stdout" "$OUT" "$3"
  expect_bytes "$1: stderr" "$ERR" ""
}

start_udplog

# --- Usage and unknown command words -------------------------------------
fresh
run
expect_run "no arguments" 0 "parameter error, must >= 2!"$'\n'
expect_eq "no arguments: no datagram" "" "$(datagrams)"
expect_eq "no arguments: nothing created" "" "$(ls -A "$EX")"

fresh
run Hello "two words" "" 'x%sy%n' "tab"$'\t'"end"
expect_run "argv echo" 0 "$(echo_of Hello "two words" "" 'x%sy%n' "tab"$'\t'"end")
not implement the request:Hello
"
expect_eq "argv echo: no datagram" "" "$(datagrams)"

for word in GetActive GetActiveServer GetActiveServersX GetStationChannel GetFavStationChannelLis \
            " GetActiveServers" GetActiveServers: ""; do
  fresh
  echo "sgenre=Pop" >"$EX/infile_1"
  echo "old" >"$EX/outfile_1"
  run "$word" 1
  expect_run "prefix or near word [$word]" 0 "$(echo_of "$word" 1)
not implement the request:$word
"
  expect_bytes "near word [$word]: outfile_1 untouched" "$EX/outfile_1" $'old\n'
  expect_eq "near word [$word]: no datagram" "" "$(datagrams)"
done

# --- Command words in any case -------------------------------------------
for word in getactiveservers GETACTIVESERVERS gEtAcTiVeSeRvErS; do
  fresh
  echo "sgenre=Pop" >"$EX/infile_1"
  run "$word" a b c
  expect_run "$word" 0 "$(echo_of "$word" a b c)


read pageHref=sgenre=Pop!!!!!!

"
  expect_eq "$word: status datagram" "$(status_dgram 78 VxShoutcastGetActiveServers 0)" "$(datagrams)"
done
for word in getstationchannellist GETSTATIONCHANNELLIST GetStationChannelLIST; do
  fresh
  run "$word"
  expect_run "$word" 0 "$(echo_of "$word")
parameter error, must >= 3!
"
done
for word in getfavstationchannellist GETFAVSTATIONCHANNELLIST; do
  fresh
  echo old >"$EX/outfile_3"
  run "$word"
  expect_run "$word" 0 "$(echo_of "$word")
"
  expect_no_file "$word: outfile_3 removed" "$EX/outfile_3"
done

# --- GetStationChannelList without its index -----------------------------
fresh
echo "old answer" >"$EX/outfile_2"
run GetStationChannelList
expect_run "GetStationChannelList alone" 0 "$(echo_of GetStationChannelList)
parameter error, must >= 3!
"
expect_no_file "GetStationChannelList alone: outfile_2 removed first" "$EX/outfile_2"
expect_eq "GetStationChannelList alone: no datagram" "" "$(datagrams)"
expect_eq "GetStationChannelList alone: no download" "" "$(wget_urls)"

# --- GetActiveServers: 5 or more arguments make no request ---------------
for extra in "a b c" "a b c d"; do
  read -r -a args <<<"$extra"
  fresh
  printf 'sgenre=Pop\n' >"$EX/infile_1"
  printf 'old page\n' >"$EX/outfile_1"
  run GetActiveServers "${args[@]}"
  expect_run "GetActiveServers + $extra" 0 "$(echo_of GetActiveServers "${args[@]}")


read pageHref=sgenre=Pop!!!!!!

"
  expect_no_file "GetActiveServers + $extra: outfile_1 removed" "$EX/outfile_1"
  expect_eq "GetActiveServers + $extra: status datagram" \
    $'\\t\\t\\t\\t\\t\\t\\t\\tpatch_main[0078] : main\\nVxShoutcastGetActiveServers returned with status=0' \
    "$(datagrams)"
  expect_eq "GetActiveServers + $extra: no download" "" "$(wget_urls)"
  expect_no_file "GetActiveServers + $extra: no storage root" "$ROOT"
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
  "${TABS}patch_main[0078] : main"$'\n'"VxShoutcastGetActiveServers returned with status=0"

# --- GetActiveServers without its page link ------------------------------
fresh
printf 'old page\n' >"$EX/outfile_1"
run GetActiveServers
expect_run "GetActiveServers without infile_1" 0 "$(echo_of GetActiveServers)
"
expect_bytes "GetActiveServers without infile_1: old answer kept" "$EX/outfile_1" $'old page\n'
expect_eq "GetActiveServers without infile_1: no datagram" "" "$(datagrams)"
expect_eq "GetActiveServers without infile_1: no download" "" "$(wget_urls)"

# --- GetActiveServers: search text and key from the argument count -------
# 2 arguments: search "0" and the built-in key.
fresh
printf 'sgenre=Pop\n' >"$EX/infile_1"
printf 'old page\n' >"$EX/outfile_1"
run GetActiveServers
expect_eq "2 arguments: exit status" 0 "$RC"
expect_eq "2 arguments: URL" "http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=0,20" "$(wget_urls)"
expect_no_file "2 arguments: outfile_1 removed" "$EX/outfile_1"
expect_eq "2 arguments: datagrams" \
'\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\npageHref: sgenre=Pop, SearchKey:"0"
\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0131] : VxOpenDirectory\n
\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0141] : VxOpenDirectory\nNo such file or directory
\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0152] : VxFileMkdir\n
\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0073] : ExecvCmd\n****argv :  /sbin/wget -t 1 -T 30 -nd http://api.shoutcast.com/legacy/genresearch?k=Lq3Vt8Nw5Rz1Hk6P&genre=Pop&limit=0,20 -O /tmp/hdd/root/irf/PopPage1.html NULL
\t\t\t\t\t\t\t\tpatch_main[0078] : main\nVxShoutcastGetActiveServers returned with status=0' \
  "$(datagrams)"

# 3 arguments: argv[2] is the search text, with the built-in key.
fresh
printf 'startat=0\n' >"$EX/infile_1"
run GetActiveServers rock
expect_eq "3 arguments: exit status" 0 "$RC"
expect_eq "3 arguments: URL" "http://api.shoutcast.com/legacy/stationsearch?k=$KEY&search=rock&limit=0,20" "$(wget_urls)"
expect_eq "3 arguments: entry datagram" \
  '\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\npageHref: startat=0, SearchKey:"rock"' \
  "$(datagrams | head -n 1)"

# 4 arguments: argv[3] is the developer key.
fresh
printf 'startat=20\n' >"$EX/infile_1"
run GetActiveServers 0 MyKey
expect_eq "4 arguments: exit status" 0 "$RC"
expect_eq "4 arguments: URL" "http://api.shoutcast.com/legacy/genresearch?k=MyKey&genre=all&limit=20,20" "$(wget_urls)"
expect_eq "4 arguments: status datagram" "$(status_dgram 78 VxShoutcastGetActiveServers 0)" "$(datagrams | tail -n 1)"

# --- GetStationChannelList: the index is atoi modulo 65536 ---------------
# A page file with three stations.
write_page_fixture() {
  local k
  {
    printf '1\n2\n\n\nsgenre=\n'
    for k in $(seq 38); do echo; done
    for k in $(seq 20); do
      if [ "$k" -le 3 ]; then
        printf '%d\n/sbin/tunein-station.pls?id=%d\nPop\nStation %d\n5\n1\n128\naudio\n' "$k" $((100 + k)) "$k"
      else
        printf '0\n\n\n\n0\n0\n0\n\n'
      fi
    done
    printf '3\n/tmp/hdd/root/irf/PopPage1\n'
  } >"$EX/outfile_1"
}
# Beyond 32 bits atoi saturates as on the device, where a long has 32 bits.
for case in "2 102" "3 103" "65538 102" "-65534 102" "1x 101" "abc -" "0 -" "65536 -" "4 -" \
            "4294967298 -" "-4294967294 -"; do
  read -r index station <<<"$case"
  fresh
  mkdir -p "$ROOT"
  write_page_fixture
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
  expect_eq "station index $index: status datagram" "$(status_dgram 93 VxGetStationChannelList 0)" \
    "$(datagrams | tail -n 1)"
done

# --- GetFavStationChannelList --------------------------------------------
fresh
echo old >"$EX/outfile_3"
run GetFavStationChannelList
expect_run "GetFavStationChannelList without infile_3" 0 "$(echo_of GetFavStationChannelList)
"
expect_no_file "GetFavStationChannelList without infile_3: outfile_3 removed" "$EX/outfile_3"
expect_eq "GetFavStationChannelList without infile_3: no datagram" "" "$(datagrams)"

fresh
mkdir -p "$ROOT"
printf '4\n/sbin/tunein-station.pls?id=777\nJazz\nFavourite\n9\n1\n64\naudio\n' >"$EX/infile_3"
echo old >"$EX/outfile_3"
run GetFavStationChannelList ignored
expect_eq "favourite: exit status" 0 "$RC"
expect_eq "favourite: playlist of the station of infile_3" \
  "http://yp.shoutcast.com/sbin/tunein-station.pls?id=777" "$(wget_urls)"
expect_no_file "favourite: outfile_3 removed" "$EX/outfile_3"
expect_eq "favourite: status datagram" "$(status_dgram 107 VxGetFavStationChannelList 0)" "$(datagrams | tail -n 1)"

finish
