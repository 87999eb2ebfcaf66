#!/usr/bin/env bash
# Started with standard descriptors closed, as an interface may start a
# helper: whatever the program or the downloader opens first would take the
# closed number, and the printed lines or the downloader's progress would
# land in the lock file, a download or an answer. Every command still gives
# its whole answer, and the cache holds exactly what the service sent. GNU
# wget against tools/dirsim.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim
printf '%s' "$PLS_TEXT" >"$WORK/pls.txt"

for closed in 1 2 "0 1 2"; do
  name="closed $closed"
  fresh_root
  CLOSED=$closed all_well "$name"
  expect_eq "$name: cache" "PopPage1.html PopPage1_station1_8bcbecdc.pls PopPageTotal.xml favorite_station1_8bcbecdc.pls" \
    "$(cache_files)"
  expect_same "$name: page" "$PAGE" "$PAGE_XML"
  expect_same "$name: total" "$TOTAL" "$TOTAL_XML"
  expect_same "$name: playlist" "$PLS" "$WORK/pls.txt"
  expect_same "$name: favourite playlist" "$FAV_PLS" "$WORK/pls.txt"
  expect_bytes "$name: lock file" "$ROOT/.lock" ""
  # Neither the program's lines nor wget's progress anywhere on the disk.
  expect_eq "$name: nothing printed into files" "" "$(grep -rlF -e 'argv[0]=' -e 'HTTP request sent' /tmp/hdd)"
done

finish
