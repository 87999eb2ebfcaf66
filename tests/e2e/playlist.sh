#!/usr/bin/env bash
# GetStationChannelList and GetFavStationChannelList end to end on the disk
# storage root: GNU wget against tools/dirsim (tests/data/stations.tsv; its
# playlists hold "streams" entries "File<n>=http://127.0.0.1:8000/stream/<id>/<n>",
# "Title<n>=(#<n>) <name>"). Channel list files, standard output and trace
# datagrams are compared byte for byte; dirsim's request log shows which
# playlists were fetched and which were reused from the cache.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1

KEY=Lq3Vt8Nw5Rz1Hk6P
YP=http://yp.shoutcast.com
TABS='\t\t\t\t\t\t\t\t'
LOGIC="${TABS}patch_Zorv_getlpls"

# Playlist paths as the page file carries them (keyed listing), and the
# 32-bit FNV-1a of each, which names its cache file.
tp() { printf '/sbin/tunein-station.pls?id=%s&k=%s' "$1" "$KEY"; }
#   id=99001 8bcbecdc  id=99038 3afe8440  id=99075 d04542b1  id=99149 17545a01
#   id=99630 4cc07cf6  id=99926 c07843b4  id=101147 92fd557b id=100666 8060112c
#   unkeyed id=99001 f50825fe

LOG_AT=0
mark_log() { LOG_AT=$(wc -l <"$DIRSIM_LOG"); }
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG"; }
dirsim_ctl() { wget -q -O /dev/null "http://127.0.0.1/_dirsim/$1"; }
pls_request() { printf 'GET yp.shoutcast.com %s 200' "$(tp "$1")"; }
root_pls() { (cd "$ROOT" && ls -A | grep '\.pls' | LC_ALL=C sort); }

# station RUN-ARGS: one GetStationChannelList run, datagrams and requests
# of this run only.
station() {
  clear_udplog
  mark_log
  run GetStationChannelList "$@"
}
fav() {
  printf '%s' "$1" >"$EX/infile_3"
  clear_udplog
  mark_log
  run GetFavStationChannelList
}
browse() {
  printf '%s\n' "$1" >"$EX/infile_1"
  run GetActiveServers
  expect_eq "browse $1: status" 1 "$RC"
}

# Expected standard output.
argv_out() { # INDEX
  printf 'argv[0]=%s\nargv[1]=GetStationChannelList\nargv[2]=%s\n' "$BIN" "$1"
}
page_out() { # PAGEFILENAME
  printf "pagefilename line='%s\n'\npagefilename='%s'\n" "$1" "$1"
}
fav_argv_out() { printf 'argv[0]=%s\nargv[1]=GetFavStationChannelList\n' "$BIN"; }
PARSE_OUT=$'\n 259, parse_pls, patch_Zorv_getlpls \n'
READ_OUT=$'\n 185, read_file, patch_Zorv_getlpls \n'
fetch_out() { # CACHE-NAME TUNEINPATH
  printf "prefix:'%s'\npath:'%s'\n%s\n" "$1" "$YP$2" "$YP$2"
}
reuse_out() { printf '%s is exist\n' "$1"; }
wget_failed_out() { # CACHE-NAME TUNEINPATH
  printf 'exec /sbin/wget -t 1 -T 30 -nd %s -O %s failed\n%s\n' "$YP$2" "$1" "$1"
}

# Expected datagrams.
D_STATION="$LOGIC[1003] : VxGetStationChannelList\\n"
D_FAV="$LOGIC[1038] : VxGetFavStationChannelList\\n"
D_PARSE="$LOGIC[0258] : parse_pls\\n
$LOGIC[0246] : sPlayListInit\\n"
D_READ="$LOGIC[0184] : read_file\\n
$LOGIC[0237] : free_file\\n"
d_exec() { # CACHE-NAME TUNEINPATH
  printf '%s[0073] : ExecvCmd\\n****argv :  /sbin/wget -t 1 -T 30 -nd %s -O %s NULL' "$LOGIC" "$YP$2" "$1"
}
d_main() { # LINE OPERATION STATUS
  printf '%s[%04d] : main\\n%s returned with status=%d' "${TABS}patch_main" "$1" "$2" "$3"
}
d_station_status() { d_main 93 VxGetStationChannelList "$1"; }
d_fav_status() { d_main 107 VxGetFavStationChannelList "$1"; }

# A channel list file: count, then url and title per stream of station ID
# NAME with N streams.
channel_list() { # ID NAME N
  local k
  printf '%d\n' "$3"
  for ((k = 1; k <= $3; k++)); do printf 'http://127.0.0.1:8000/stream/%s/%d\n(#%d) %s\n' "$1" "$k" "$k" "$2"; done
}

# expect_failed NAME OUTFILE: status 0 and no output file.
expect_failed() {
  expect_eq "$1: status" 0 "$RC"
  expect_no_file "$1: output file" "$2"
  expect_eq "$1: no temporary file" "" "$(ls -A "$EX" | grep '\.tmp')"
}

start_udplog
start_dirsim

# --- Without a page file ----------------------------------------------------
station 1
expect_failed "no page file" "$EX/outfile_2"
expect_bytes "no page file: stdout" "$OUT" "$(argv_out 1)
"
expect_eq "no page file: datagrams" "$D_STATION
$(d_station_status 0)" "$(datagrams)"
expect_eq "no page file: no request" "" "$(new_requests)"

# --- A page of 20 Pop stations ------------------------------------------------
browse "sgenre=Pop"
P1=$ROOT/PopPage1

# Station 1: fetched, parsed, written; the whole run byte for byte.
N1=${P1}_station1_8bcbecdc.pls
station 1
expect_eq "station 1: status" 1 "$RC"
expect_bytes "station 1: outfile_2" "$EX/outfile_2" "$(channel_list 99001 "Pop Central" 1)
"
expect_bytes "station 1: stdout" "$OUT" "$(argv_out 1)
$(page_out "$P1")
$PARSE_OUT$(fetch_out "$N1" "$(tp 99001)")
$READ_OUT"
expect_eq "station 1: datagrams" "$D_STATION
$D_PARSE
$(d_exec "$N1" "$(tp 99001)")
$D_READ
$(d_station_status 1)" "$(datagrams)"
expect_eq "station 1: request" "$(pls_request 99001)" "$(new_requests)"
expect_bytes "station 1: cache file" "$N1" "[playlist]
numberofentries=1
File1=http://127.0.0.1:8000/stream/99001/1
Title1=(#1) Pop Central
Length1=-1
Version=2
"

# The same station again: the cached playlist, no request.
station 1
expect_eq "station 1 cached: status" 1 "$RC"
expect_bytes "station 1 cached: outfile_2" "$EX/outfile_2" "$(channel_list 99001 "Pop Central" 1)
"
expect_bytes "station 1 cached: stdout" "$OUT" "$(argv_out 1)
$(page_out "$P1")
$PARSE_OUT$(reuse_out "$N1")
$READ_OUT"
expect_eq "station 1 cached: datagrams" "$D_STATION
$D_PARSE
$D_READ
$(d_station_status 1)" "$(datagrams)"
expect_eq "station 1 cached: no request" "" "$(new_requests)"

# Two streams, and the last row of the page.
station 14
expect_eq "station 14: status" 1 "$RC"
expect_bytes "station 14: outfile_2" "$EX/outfile_2" "$(channel_list 99630 "Pop Express" 2)
"
expect_eq "station 14: request" "$(pls_request 99630)" "$(new_requests)"
station 20
expect_eq "station 20: status" 1 "$RC"
expect_bytes "station 20: outfile_2" "$EX/outfile_2" "$(channel_list 99926 "Glitter FM" 1)
"
expect_file "station 20: cache file" "${P1}_station20_c07843b4.pls"

# Outside the page: no download, no answer; the previous answer is gone.
for idx in 0 21 abc 65536; do
  station "$idx"
  expect_failed "station $idx" "$EX/outfile_2"
  expect_bytes "station $idx: stdout" "$OUT" "$(argv_out "$idx")
$(page_out "$P1")
"
  expect_eq "station $idx: datagrams" "$D_STATION
$(d_station_status 0)" "$(datagrams)"
  expect_eq "station $idx: no request" "" "$(new_requests)"
done
expect_eq "cached playlists of page 1" "PopPage1_station14_4cc07cf6.pls
PopPage1_station1_8bcbecdc.pls
PopPage1_station20_c07843b4.pls" "$(root_pls)"

# --- A last page of 5 stations -------------------------------------------------
browse "sgenre=Pop&startat=40"
station 5
expect_eq "page 3 station 5: status" 1 "$RC"
expect_bytes "page 3 station 5: outfile_2" "$EX/outfile_2" "$(channel_list 101147 "Last Pop Station" 1)
"
expect_file "page 3 station 5: cache file" "$ROOT/PopPage3_station5_92fd557b.pls"
station 6
expect_failed "page 3 station 6" "$EX/outfile_2"
expect_eq "page 3 station 6: no request" "" "$(new_requests)"

# --- Download failures ---------------------------------------------------------
browse "sgenre=Pop"
N2=${P1}_station2_3afe8440.pls
dirsim_ctl "fault?rule=404:id=99038"
station 2
expect_failed "404" "$EX/outfile_2"
expect_bytes "404: stdout" "$OUT" "$(argv_out 2)
$(page_out "$P1")
$PARSE_OUT$(fetch_out "$N2" "$(tp 99038)")
$(wget_failed_out "$N2" "$(tp 99038)")
"
expect_eq "404: datagrams" "$D_STATION
$D_PARSE
$(d_exec "$N2" "$(tp 99038)")
$(d_station_status 0)" "$(datagrams)"
expect_no_file "404: cache file" "$N2"
expect_eq "404: request" "GET yp.shoutcast.com $(tp 99038) 404" "$(new_requests)"

# A connection cut half way leaves nothing behind either.
dirsim_ctl clear
dirsim_ctl "fault?rule=close:id=99038"
station 2
expect_failed "cut connection" "$EX/outfile_2"
expect_no_file "cut connection: cache file" "$N2"
dirsim_ctl clear
station 2
expect_eq "after the failures: status" 1 "$RC"
expect_bytes "after the failures: outfile_2" "$EX/outfile_2" "$(channel_list 99038 "Hit Parade FM" 1)
"

# --- A downloaded or cached file that is not a playlist is removed -------------
N3=${P1}_station3_d04542b1.pls
dirsim_ctl "fault?rule=notpls:id=99075"
station 3
expect_failed "not a playlist" "$EX/outfile_2"
expect_bytes "not a playlist: stdout" "$OUT" "$(argv_out 3)
$(page_out "$P1")
$PARSE_OUT$(fetch_out "$N3" "$(tp 99075)")
$READ_OUT"
expect_eq "not a playlist: datagrams" "$D_STATION
$D_PARSE
$(d_exec "$N3" "$(tp 99075)")
$D_READ
$(d_station_status 0)" "$(datagrams)"
expect_no_file "not a playlist: cache file removed" "$N3"
dirsim_ctl clear
station 3
expect_eq "not a playlist, next run: status" 1 "$RC"
expect_bytes "not a playlist, next run: outfile_2" "$EX/outfile_2" "$(channel_list 99075 "Sunny Pop Radio" 1)
"
expect_eq "not a playlist, next run: fetched again" "$(pls_request 99075)" "$(new_requests)"

# An empty answer: a successful download of nothing.
dirsim_ctl "fault?rule=empty:id=99075"
rm -f "$N3"
station 3
expect_failed "empty answer" "$EX/outfile_2"
expect_no_file "empty answer: cache file removed" "$N3"
dirsim_ctl clear

# A cached playlist without its count key: its own message, then removed.
printf '[playlist]\nNumberOfEntries=1\nFile1=http://x/\nTitle1=x\n' >"$N3"
station 3
expect_failed "no count key" "$EX/outfile_2"
expect_bytes "no count key: stdout" "$OUT" "$(argv_out 3)
$(page_out "$P1")
$PARSE_OUT$(reuse_out "$N3")
${READ_OUT}Failed to Searchnumberofentries in * pls
"
expect_no_file "no count key: cache file removed" "$N3"
expect_eq "no count key: no request" "" "$(new_requests)"

# An empty cached file is removed and fetched again.
: >"$N3"
station 3
expect_eq "empty cache file: status" 1 "$RC"
expect_eq "empty cache file: fetched again" "$(pls_request 99075)" "$(new_requests)"
expect_bytes "empty cache file: refilled" "$N3" "[playlist]
numberofentries=1
File1=http://127.0.0.1:8000/stream/99075/1
Title1=(#1) Sunny Pop Radio
Length1=-1
Version=2
"

# A cached playlist whose entry 1 lacks its title: status 1, count 0.
printf '[playlist]\nnumberofentries=1\nFile1=http://x/\n' >"$N3"
station 3
expect_eq "no title: status" 1 "$RC"
expect_bytes "no title: outfile_2" "$EX/outfile_2" "0
"
expect_bytes "no title: stdout" "$OUT" "$(argv_out 3)
$(page_out "$P1")
$PARSE_OUT$(reuse_out "$N3")
${READ_OUT}Failed to Search Title in *.pls
"
rm -f "$N3"

# --- Another station at the same position after the page changed ---------------
# Row 3 of the page file now holds station 99149: its own playlist, not the
# one cached for position 3.
station 3
cp "$EX/outfile_1" "$WORK/page1"
sed "61s/id=99075/id=99149/" "$WORK/page1" >"$EX/outfile_1"
station 3
expect_eq "page changed: status" 1 "$RC"
expect_bytes "page changed: outfile_2" "$EX/outfile_2" "$(channel_list 99149 "Bubblegum Beats" 1)
"
expect_eq "page changed: fetched" "$(pls_request 99149)" "$(new_requests)"
expect_file "page changed: old playlist kept" "$N3"
expect_file "page changed: new playlist" "${P1}_station3_17545a01.pls"

# A cache name that cannot fit its buffer: no download, status 0.
awk 'NR == 205 { $0 = "/tmp/hdd/root/irf/" sprintf("%070d", 0) } { print }' "$WORK/page1" >"$EX/outfile_1"
LONG=/tmp/hdd/root/irf/$(printf '%070d' 0)
station 1
expect_failed "long cache name" "$EX/outfile_2"
expect_bytes "long cache name: stdout" "$OUT" "$(argv_out 1)
$(page_out "$LONG")
$PARSE_OUT"
expect_eq "long cache name: no request" "" "$(new_requests)"
cp "$WORK/page1" "$EX/outfile_1"

# --- Favourites -------------------------------------------------------------
# The interface's record keeps the line feed of its tuneinpath line; the URL
# does not, and the page file plays no part.
rm -f "$EX/outfile_1"
F3=$ROOT/favorite_station3_8060112c.pls
TRIPLE="3
$(tp 100666)
Pop
Triple Stream Pop
785
1
128
audio
"
fav "$TRIPLE"
expect_eq "favourite: status" 1 "$RC"
expect_bytes "favourite: outfile_3" "$EX/outfile_3" "$(channel_list 100666 "Triple Stream Pop" 3)
"
expect_bytes "favourite: stdout" "$OUT" "$(fav_argv_out)
$PARSE_OUT$(fetch_out "$F3" "$(tp 100666)")
$READ_OUT"
expect_eq "favourite: datagrams" "$D_FAV
$D_PARSE
$(d_exec "$F3" "$(tp 100666)")
$D_READ
$(d_fav_status 1)" "$(datagrams)"
expect_eq "favourite: request" "$(pls_request 100666)" "$(new_requests)"
expect_no_file "favourite: no outfile_2" "$EX/outfile_2"

fav "$TRIPLE"
expect_eq "favourite cached: status" 1 "$RC"
expect_bytes "favourite cached: stdout" "$OUT" "$(fav_argv_out)
$PARSE_OUT$(reuse_out "$F3")
$READ_OUT"
expect_eq "favourite cached: no request" "" "$(new_requests)"
expect_bytes "favourite cached: outfile_3" "$EX/outfile_3" "$(channel_list 100666 "Triple Stream Pop" 3)
"

# Another favourite at the same position: its own playlist; then the first
# one again, still its own.
fav "3
$(tp 99630)
Pop
Pop Express
941
1
192
audio
"
expect_eq "second favourite at 3: status" 1 "$RC"
expect_bytes "second favourite at 3: outfile_3" "$EX/outfile_3" "$(channel_list 99630 "Pop Express" 2)
"
expect_eq "second favourite at 3: fetched" "$(pls_request 99630)" "$(new_requests)"
fav "$TRIPLE"
expect_bytes "first favourite again: outfile_3" "$EX/outfile_3" "$(channel_list 100666 "Triple Stream Pop" 3)
"
expect_eq "first favourite again: no request" "" "$(new_requests)"

# Position 0, an unkeyed path without a final line feed, a record of one line.
F0=$ROOT/favorite_station0_f50825fe.pls
fav "0
/sbin/tunein-station.pls?id=99001"
expect_eq "favourite 0: status" 1 "$RC"
expect_bytes "favourite 0: outfile_3" "$EX/outfile_3" "$(channel_list 99001 "Pop Central" 1)
"
expect_eq "favourite 0: request" "GET yp.shoutcast.com /sbin/tunein-station.pls?id=99001 200" "$(new_requests)"
expect_file "favourite 0: cache file" "$F0"

# A favourite whose download fails: status 0, no file, the cache file removed.
dirsim_ctl "fault?rule=404:id=99926"
FF=$ROOT/favorite_station7_c07843b4.pls
fav "7
$(tp 99926)
"
expect_failed "favourite 404" "$EX/outfile_3"
expect_bytes "favourite 404: stdout" "$OUT" "$(fav_argv_out)
$PARSE_OUT$(fetch_out "$FF" "$(tp 99926)")
$(wget_failed_out "$FF" "$(tp 99926)")
"
expect_eq "favourite 404: datagrams" "$D_FAV
$D_PARSE
$(d_exec "$FF" "$(tp 99926)")
$(d_fav_status 0)" "$(datagrams)"
expect_no_file "favourite 404: cache file" "$FF"
dirsim_ctl clear

expect_eq "cached favourites" "favorite_station0_f50825fe.pls
favorite_station3_4cc07cf6.pls
favorite_station3_8060112c.pls" "$(root_pls | grep favorite)"

# --- An exchange directory that cannot take the answer --------------------------
# The page file, the favourite and the cache in place, then the exchange
# directory read-only: the playlists are parsed, the answers cannot be
# written, and both commands fail without leaving any file.
cp "$WORK/page1" "$EX/outfile_1"
printf '%s' "$TRIPLE" >"$EX/infile_3"
rm -f "$EX/outfile_2" "$EX/outfile_3"
mkdir "$WORK/exchange"
cp -a "$EX/." "$WORK/exchange/"
mount -t tmpfs -o mode=0755 ro-exchange "$EX"
cp -a "$WORK/exchange/." "$EX/"
mount -o remount,ro "$EX"
clear_udplog
mark_log
run GetStationChannelList 1
expect_failed "read-only exchange, station 1" "$EX/outfile_2"
expect_bytes "read-only exchange, station 1: stdout" "$OUT" "$(argv_out 1)
$(page_out "$P1")
$PARSE_OUT$(reuse_out "$N1")
$READ_OUT"
expect_eq "read-only exchange, station 1: datagrams" "$D_STATION
$D_PARSE
$D_READ
$(d_station_status 0)" "$(datagrams)"
clear_udplog
run GetFavStationChannelList
expect_failed "read-only exchange, favourite" "$EX/outfile_3"
expect_eq "read-only exchange, favourite: datagrams" "$D_FAV
$D_PARSE
$D_READ
$(d_fav_status 0)" "$(datagrams)"
expect_eq "read-only exchange: no request" "" "$(new_requests)"
umount "$EX"
expect_eq "read-only exchange: nothing below" "" "$(ls -A "$EX" | grep 'outfile_[23]')"

finish
