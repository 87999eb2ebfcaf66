#!/usr/bin/env bash
# Playlists on the flash storage root (run with tools/sandbox --flash): every
# request removes all cached playlists first, favourites included, so every
# request downloads again; pages, total files, other files and directories
# stay. GNU wget against tools/dirsim (tests/data/stations.tsv).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

flash_files() { (cd "$FLASH" && find . -mindepth 1 | LC_ALL=C sort); }
start_dirsim

browse
expect_eq "browse: status" 1 "$RC"
P1=$FLASH/PopPage1
N1=${P1}_station1_8bcbecdc.pls
N2=${P1}_station2_3afe8440.pls
F3=$FLASH/favorite_station3_8060112c.pls

# Station 1, twice: downloaded to flash both times.
for run in 1 2; do
  station 1
  expect_answer "station 1 ($run)" 1 "$EX/outfile_2" <(channel_list 99001 "Pop Central" 1)
  expect_eq "station 1 ($run): downloaded" "$(pls_req 99001)" "$(new_requests)"
  expect_file "station 1 ($run): on flash" "$N1"
done
expect_eq "station 1 again: not reused" "" "$(grep 'is exist' "$OUT")"

# Things the clean-up must leave: other files, a directory named like a
# playlist and what it holds, the disk root's playlists.
mkdir -p "$FLASH/keep.pls" "$ROOT"
: >"$FLASH/keep.pls/inner.pls"
echo note >"$FLASH/notes.txt"
echo stale >"$FLASH/stale.pls"
echo disk >"$ROOT/disk.pls"

station 2
expect_answer "station 2" 1 "$EX/outfile_2" <(channel_list 99038 "Hit Parade FM" 1)
expect_eq "station 2: playlists and the page" \
  "./PopPage1.html ./PopPage1_station2_3afe8440.pls ./keep.pls ./keep.pls/inner.pls ./notes.txt" \
  "$(flash_files | grep -E '\.(pls|html|xml|txt)$' | paste -sd ' ')"
expect_file "station 2: disk root untouched" "$ROOT/disk.pls"

# A favourite removes the page's playlists too, and is itself gone after the
# next request.
printf -v TRIPLE '3\n%s\nPop\nTriple Stream Pop\n785\n1\n128\naudio\n' "$(tunein 100666)"
for run in 1 2; do
  fav "$TRIPLE"
  expect_answer "favourite ($run)" 1 "$EX/outfile_3" <(channel_list 100666 "Triple Stream Pop" 3)
  expect_eq "favourite ($run): downloaded" "$(pls_req 100666)" "$(new_requests)"
done
expect_no_file "favourite: station 2's playlist gone" "$N2"
expect_file "favourite: its own playlist" "$F3"
station 1
expect_no_file "station 1 after favourite: favourite's playlist gone" "$F3"
expect_file "station 1 after favourite: its own playlist" "$N1"

# An index outside the page fails before the playlist step: nothing removed.
station 21
expect_eq "station 21: status" 0 "$RC"
expect_file "station 21: station 1's playlist kept" "$N1"
expect_eq "station 21: no request" "" "$(new_requests)"

# A failed download still clears the cache first.
fault "404:id=99038"
station 2
expect_answer "station 2, 404" 0 "$EX/outfile_2" -
expect_eq "station 2, 404: no playlist left" "" "$(flash_files | grep '\.pls$' | grep -v keep.pls)"

finish
