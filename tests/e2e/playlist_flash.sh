#!/usr/bin/env bash
# Playlists on the flash storage root (run with tools/sandbox --flash): every
# request removes all cached playlists first, favourites included, so every
# request downloads again; pages, total files, other files and directories
# stay. GNU wget against tools/dirsim (tests/data/stations.tsv).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1

KEY=Lq3Vt8Nw5Rz1Hk6P
YP=http://yp.shoutcast.com
tp() { printf '/sbin/tunein-station.pls?id=%s&k=%s' "$1" "$KEY"; }
#   FNV-1a of the paths: id=99001 8bcbecdc  id=99038 3afe8440  id=100666 8060112c

LOG_AT=0
mark_log() { LOG_AT=$(wc -l <"$DIRSIM_LOG"); }
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG"; }
pls_request() { printf 'GET yp.shoutcast.com %s 200' "$(tp "$1")"; }
flash_files() { (cd "$FLASH" && find . -mindepth 1 | LC_ALL=C sort); }
station() {
  mark_log
  run GetStationChannelList "$@"
}
fav() {
  mark_log
  run GetFavStationChannelList
}

start_dirsim

printf 'sgenre=Pop\n' >"$EX/infile_1"
run GetActiveServers
expect_eq "browse: status" 1 "$RC"
P1=$FLASH/PopPage1
N1=${P1}_station1_8bcbecdc.pls
N2=${P1}_station2_3afe8440.pls
F3=$FLASH/favorite_station3_8060112c.pls

# Station 1, twice: downloaded both times.
station 1
expect_eq "station 1: status" 1 "$RC"
expect_bytes "station 1: outfile_2" "$EX/outfile_2" "1
http://127.0.0.1:8000/stream/99001/1
(#1) Pop Central
"
expect_bytes "station 1: stdout" "$OUT" "argv[0]=$BIN
argv[1]=GetStationChannelList
argv[2]=1
pagefilename line='$P1
'
pagefilename='$P1'

 259, parse_pls, patch_Zorv_getlpls 
prefix:'$N1'
path:'$YP$(tp 99001)'
$YP$(tp 99001)

 185, read_file, patch_Zorv_getlpls 
"
expect_eq "station 1: request" "$(pls_request 99001)" "$(new_requests)"
station 1
expect_eq "station 1 again: status" 1 "$RC"
expect_eq "station 1 again: downloaded again" "$(pls_request 99001)" "$(new_requests)"
expect_eq "station 1 again: not reused" "" "$(grep 'is exist' "$OUT")"

# Things the clean-up must leave: other files, a directory named like a
# playlist and what it holds, the disk root's playlists.
mkdir -p "$FLASH/keep.pls" "$ROOT"
: >"$FLASH/keep.pls/inner.pls"
echo note >"$FLASH/notes.txt"
echo stale >"$FLASH/stale.pls"
echo disk >"$ROOT/disk.pls"

station 2
expect_eq "station 2: status" 1 "$RC"
expect_bytes "station 2: outfile_2" "$EX/outfile_2" "1
http://127.0.0.1:8000/stream/99038/1
(#1) Hit Parade FM
"
expect_eq "station 2: playlists and the page" "./PopPage1.html
./PopPage1_station2_3afe8440.pls
./PopPageTotal.xml
./keep.pls
./keep.pls/inner.pls
./notes.txt" "$(flash_files | grep -E '\.(pls|html|xml|txt)$')"
expect_file "station 2: disk root untouched" "$ROOT/disk.pls"

# A favourite removes the page's playlists too, and is itself gone after the
# next request.
printf '3\n%s\nPop\nTriple Stream Pop\n785\n1\n128\naudio\n' "$(tp 100666)" >"$EX/infile_3"
fav
expect_eq "favourite: status" 1 "$RC"
expect_bytes "favourite: outfile_3" "$EX/outfile_3" "3
http://127.0.0.1:8000/stream/100666/1
(#1) Triple Stream Pop
http://127.0.0.1:8000/stream/100666/2
(#2) Triple Stream Pop
http://127.0.0.1:8000/stream/100666/3
(#3) Triple Stream Pop
"
expect_eq "favourite: request" "$(pls_request 100666)" "$(new_requests)"
expect_no_file "favourite: station 2's playlist gone" "$N2"
expect_file "favourite: its own playlist" "$F3"
fav
expect_eq "favourite again: status" 1 "$RC"
expect_eq "favourite again: downloaded again" "$(pls_request 100666)" "$(new_requests)"
station 1
expect_no_file "station 1 after favourite: favourite's playlist gone" "$F3"
expect_file "station 1 after favourite: its own playlist" "$N1"

# An index outside the page fails before the playlist step: nothing removed.
station 21
expect_eq "station 21: status" 0 "$RC"
expect_file "station 21: station 1's playlist kept" "$N1"
expect_eq "station 21: no request" "" "$(new_requests)"

# A failed download still clears the cache first.
wget -q -O /dev/null "http://127.0.0.1/_dirsim/fault?rule=404:id=99038"
station 2
expect_eq "station 2, 404: status" 0 "$RC"
expect_no_file "station 2, 404: outfile_2" "$EX/outfile_2"
expect_eq "station 2, 404: no playlist left" "" "$(flash_files | grep '\.pls$' | grep -v keep.pls)"

finish
