#!/usr/bin/env bash
# A favourite as the very first request on a fresh device: no page request
# has made the storage root yet, and the playlist must still be fetched.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1
start_dirsim --data "$SRC/tests/data/stations.tsv"

expect_no_file "fresh: no storage root yet" "$ROOT"
printf '3\n/sbin/tunein-station.pls?id=100666&k=Lq3Vt8Nw5Rz1Hk6P\nPop\nTriple Stream Pop\n785\n1\n128\naudio\n' >"$EX/infile_3"
run GetFavStationChannelList
expect_eq "fresh favourite: status" 1 "$RC"
expect_bytes "fresh favourite: outfile_3" "$EX/outfile_3" "3
http://127.0.0.1:8000/stream/100666/1
(#1) Triple Stream Pop
http://127.0.0.1:8000/stream/100666/2
(#2) Triple Stream Pop
http://127.0.0.1:8000/stream/100666/3
(#3) Triple Stream Pop
"
expect_eq "fresh favourite: storage root mode" 744 "$(stat -c %a "$ROOT")"
finish
