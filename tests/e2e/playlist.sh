#!/usr/bin/env bash
# GetStationChannelList and GetFavStationChannelList end to end on the disk
# storage root: GNU wget against tools/dirsim (tests/data/stations.tsv).
# Channel list files are compared byte for byte; dirsim's request log shows
# which playlists were fetched and which were reused from the cache. The
# standard output and datagrams of a playlist fetched, reused and failing
# are pinned here whole. (The service's faults, per command: faults_service.)
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The 32-bit FNV-1a of each playlist path, which names its cache file:
#   id=99001 8bcbecdc  id=99038 3afe8440  id=99075 d04542b1  id=99149 17545a01
#   id=99630 4cc07cf6  id=99926 c07843b4  id=101147 92fd557b id=100666 8060112c
#   unkeyed id=99001 f50825fe
YP=http://yp.shoutcast.com
# root_pls PREFIX: the cached playlists whose names begin with PREFIX.
root_pls() { (cd "$ROOT" && ls -A | grep "^$1.*\.pls" | LC_ALL=C sort | paste -sd ' '); }

# Expected standard output: the page file's last line (PAGEFILENAME), the
# playlist step, its download (CACHE-NAME ID), and the read.
page_out() { printf "pagefilename line='%s\n'\npagefilename='%s'\n" "$1" "$1"; }
PARSE_OUT=$'\n 259, parse_pls, patch_Zorv_getlpls \n'
fetch_out() { printf "prefix:'%s'\npath:'%s'\n%s\n" "$1" "$YP$(tunein "$2")" "$YP$(tunein "$2")"; }
READ_OUT=$'\n 185, read_file, patch_Zorv_getlpls \n'
# Expected datagrams.
D_STATION="${LOGIC}[1003] : VxGetStationChannelList\\n"
D_FAV="${LOGIC}[1038] : VxGetFavStationChannelList\\n"
D_PARSE="${LOGIC}[0258] : parse_pls\\n
${LOGIC}[0246] : sPlayListInit\\n"
d_exec() { # CACHE-NAME ID
  printf '%s[0073] : ExecvCmd\\n****argv :  /sbin/wget -t 1 -T 30 -nd %s -O %s NULL' "$LOGIC" "$YP$(tunein "$2")" "$1"
}
D_READ="${LOGIC}[0184] : read_file\\n
${LOGIC}[0237] : free_file\\n"

start_udplog
start_dirsim

# --- Favourites, the first on a fresh device --------------------------------
# No page request has made the storage root yet: it is made (mode 744, and
# searchable for the downloader's user: 755) and the playlist fetched. The interface's record keeps the line feed of its
# tuneinpath line; the URL does not, and the page file plays no part.
expect_no_file "fresh device: no storage root yet" "$ROOT"
F3=$ROOT/favorite_station3_8060112c.pls
printf -v TRIPLE '3\n%s\nPop\nTriple Stream Pop\n785\n1\n128\naudio\n' "$(tunein 100666)"
fav "$TRIPLE"
expect_answer "favourite" 1 "$EX/outfile_3" <(channel_list 100666 "Triple Stream Pop" 3)
expect_bytes "favourite: stdout" "$OUT" "$(echo_of GetFavStationChannelList)
$PARSE_OUT$(fetch_out "$F3" 100666)
$READ_OUT"
expect_eq "favourite: datagrams" "$D_FAV
$D_PARSE
$(d_exec "$F3" 100666)
$D_READ
$(d_status fav 1)" "$(datagrams)"
expect_eq "favourite: request" "$(pls_req 100666)" "$(new_requests)"
expect_eq "favourite: storage root mode" 755 "$(stat -c %a "$ROOT")"
expect_no_file "favourite: no outfile_2" "$EX/outfile_2"

fav "$TRIPLE"
expect_answer "favourite cached" 1 "$EX/outfile_3" <(channel_list 100666 "Triple Stream Pop" 3)
expect_eq "favourite cached: reused" "$F3 is exist" "$(grep 'is exist' "$OUT")"
expect_eq "favourite cached: no request" "" "$(new_requests)"

# Another favourite at the same position: its own playlist; then the first
# one again, still its own.
fav "$(printf '3\n%s\nPop\nPop Express\n941\n1\n192\naudio' "$(tunein 99630)")
"
expect_answer "second favourite at 3" 1 "$EX/outfile_3" <(channel_list 99630 "Pop Express" 2)
expect_eq "second favourite at 3: fetched" "$(pls_req 99630)" "$(new_requests)"
fav "$TRIPLE"
expect_answer "first favourite again" 1 "$EX/outfile_3" <(channel_list 100666 "Triple Stream Pop" 3)
expect_eq "first favourite again: no request" "" "$(new_requests)"

# Position 0, an unkeyed path without a final line feed, a record of one line.
fav "0
/sbin/tunein-station.pls?id=99001"
expect_answer "favourite 0" 1 "$EX/outfile_3" <(channel_list 99001 "Pop Central" 1)
expect_eq "favourite 0: request" "GET yp.shoutcast.com /sbin/tunein-station.pls?id=99001 200" "$(new_requests)"
expect_eq "cached favourites" "favorite_station0_f50825fe.pls favorite_station3_4cc07cf6.pls favorite_station3_8060112c.pls" \
  "$(root_pls favorite)"

# --- Without a page file ----------------------------------------------------
station 1
expect_answer "no page file" 0 "$EX/outfile_2" -
expect_bytes "no page file: stdout" "$OUT" "$(echo_of GetStationChannelList 1)
"
expect_eq "no page file: datagrams" "$D_STATION
$(d_status station 0)" "$(datagrams)"
expect_eq "no page file: no request" "" "$(new_requests)"

# --- A page of 20 Pop stations ------------------------------------------------
browse
expect_eq "browse: status" 1 "$RC"
P1=$ROOT/PopPage1
N1=${P1}_station1_8bcbecdc.pls

# Station 1: fetched, parsed, written; the whole run byte for byte.
station 1
expect_answer "station 1" 1 "$EX/outfile_2" <(channel_list 99001 "Pop Central" 1)
expect_bytes "station 1: stdout" "$OUT" "$(echo_of GetStationChannelList 1)
$(page_out "$P1")
$PARSE_OUT$(fetch_out "$N1" 99001)
$READ_OUT"
expect_eq "station 1: datagrams" "$D_STATION
$D_PARSE
$(d_exec "$N1" 99001)
$D_READ
$(d_status station 1)" "$(datagrams)"
expect_eq "station 1: request" "$(pls_req 99001)" "$(new_requests)"
expect_bytes "station 1: cache file" "$N1" "[playlist]
numberofentries=1
File1=http://127.0.0.1:8000/stream/99001/1
Title1=(#1) Pop Central
Length1=-1
Version=2
"

# The same station again: the cached playlist, no request.
station 1
expect_answer "station 1 cached" 1 "$EX/outfile_2" <(channel_list 99001 "Pop Central" 1)
expect_bytes "station 1 cached: stdout" "$OUT" "$(echo_of GetStationChannelList 1)
$(page_out "$P1")
${PARSE_OUT}$N1 is exist
$READ_OUT"
expect_eq "station 1 cached: datagrams" "$D_STATION
$D_PARSE
$D_READ
$(d_status station 1)" "$(datagrams)"
expect_eq "station 1 cached: no request" "" "$(new_requests)"

# LINK INDEX ID NAME STREAMS CACHE-FILE: the page's station INDEX, its
# channel list, request and cache file. Two streams; the last row of a full
# page; the last of a page of 5.
while IFS='|' read -r link idx id name n file; do
  c="$link, station $idx"
  browse "$link"
  station "$idx"
  expect_answer "$c" 1 "$EX/outfile_2" <(channel_list "$id" "$name" "$n")
  expect_eq "$c: request" "$(pls_req "$id")" "$(new_requests)"
  expect_file "$c: cache file" "$ROOT/$file"
done <<'EOF'
sgenre=Pop|14|99630|Pop Express|2|PopPage1_station14_4cc07cf6.pls
sgenre=Pop|20|99926|Glitter FM|1|PopPage1_station20_c07843b4.pls
sgenre=Pop&startat=40|5|101147|Last Pop Station|1|PopPage3_station5_92fd557b.pls
EOF

# Outside the page (of 5, of 20): no download, no answer; the previous
# answer is gone. (Which index names which station: front_end.sh.)
station 6
expect_answer "page 3, station 6" 0 "$EX/outfile_2" -
expect_eq "page 3, station 6: no request" "" "$(new_requests)"
browse
station 21
expect_answer "station 21" 0 "$EX/outfile_2" -
expect_bytes "station 21: stdout" "$OUT" "$(echo_of GetStationChannelList 21)
$(page_out "$P1")
"
expect_eq "station 21: datagrams" "$D_STATION
$(d_status station 0)" "$(datagrams)"
expect_eq "station 21: no request" "" "$(new_requests)"
expect_eq "cached playlists of page 1" "PopPage1_station14_4cc07cf6.pls PopPage1_station1_8bcbecdc.pls PopPage1_station20_c07843b4.pls" \
  "$(root_pls PopPage1)"

# --- A failed download ---------------------------------------------------------
N2=${P1}_station2_3afe8440.pls
fault "404:id=99038"
station 2
expect_answer "404" 0 "$EX/outfile_2" -
expect_bytes "404: stdout" "$OUT" "$(echo_of GetStationChannelList 2)
$(page_out "$P1")
$PARSE_OUT$(fetch_out "$N2" 99038)
exec /sbin/wget -t 1 -T 30 -nd $YP$(tunein 99038) -O $N2 failed
$N2
"
expect_eq "404: datagrams" "$D_STATION
$D_PARSE
$(d_exec "$N2" 99038)
$(d_status station 0)" "$(datagrams)"
expect_no_file "404: cache file" "$N2"
expect_eq "404: request" "GET yp.shoutcast.com $(tunein 99038) 404" "$(new_requests)"
dirsim_ctl clear

# --- An empty cached file is removed and fetched again -------------------------
N3=${P1}_station3_d04542b1.pls
: >"$N3"
station 3
expect_eq "empty cache file: status" 1 "$RC"
expect_eq "empty cache file: fetched again" "$(pls_req 99075)" "$(new_requests)"
expect_bytes "empty cache file: refilled" "$N3" "[playlist]
numberofentries=1
File1=http://127.0.0.1:8000/stream/99075/1
Title1=(#1) Sunny Pop Radio
Length1=-1
Version=2
"

# --- Another station at the same position after the page changed ---------------
# Row 3 of the page file now holds station 99149: its own playlist, not the
# one cached for position 3.
cp "$EX/outfile_1" "$WORK/page1"
sed "61s/id=99075/id=99149/" "$WORK/page1" >"$EX/outfile_1"
station 3
expect_answer "page changed" 1 "$EX/outfile_2" <(channel_list 99149 "Bubblegum Beats" 1)
expect_eq "page changed: fetched" "$(pls_req 99149)" "$(new_requests)"
expect_file "page changed: old playlist kept" "$N3"
expect_file "page changed: new playlist" "${P1}_station3_17545a01.pls"

# A cache name that cannot fit its buffer: no download, status 0.
LONG=$ROOT/$(printf '%070d' 0)
sed "205s|.*|$LONG|" "$WORK/page1" >"$EX/outfile_1"
station 1
expect_answer "long cache name" 0 "$EX/outfile_2" -
expect_bytes "long cache name: stdout" "$OUT" "$(echo_of GetStationChannelList 1)
$(page_out "$LONG")
$PARSE_OUT"
expect_eq "long cache name: no request" "" "$(new_requests)"

finish
