#!/usr/bin/env bash
# The downloader failing, for each download of the three commands. Run in
# three sandboxes (tests/CMakeLists.txt), told apart by what is at /sbin/wget:
#   killed   tests/e2e/bin/wget-fault: GNU wget that dies by SIGKILL or
#            SIGSEGV before writing, after half the answer, or after all of
#            it; or that writes more than the cap at once and exits 0
#   missing  no /sbin/wget
#   noexec   tests/e2e/bin/wget-not-executable, mode 0644
# A download whose downloader did not exit with 0 failed, whatever it wrote:
# its file is removed; GetActiveServers then fails (page) or answers with
# page total 1 (total), the channel list commands fail. Files already cached
# need no downloader. After each fault the next run without it succeeds.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

if [ ! -e /sbin/wget ]; then
  MODE=missing
elif grep -q WGET_FAULT_SIGNAL /sbin/wget; then
  MODE=killed
elif grep -q 'cannot be run' /sbin/wget; then
  MODE=noexec
  # The sandbox copied it: its mode must still forbid running it.
  if [ -x /sbin/wget ]; then fail "noexec: /sbin/wget is executable"; finish; exit; fi
else
  fail "unknown downloader at /sbin/wget"
  finish
  exit
fi

start_dirsim

# failed NAME DOWNLOAD CACHE...: what a failed download prints (nothing of
# the downloader's own when a signal ended it) and leaves: no temporary
# file, nothing in the cache but the files CACHE.
QUIET=
[ "$MODE" = killed ] && QUIET=quiet
failed() {
  local name=$1 download=$2
  shift 2
  expect_eq "$name: messages" "$(failed_lines "$download" $QUIET)" "$(messages)"
  expect_eq "$name: cache" "$*" "$(cache_files)"
  expect_no_tmp "$name"
}
# The four downloads, each from a cache that lacks just that file.
page_run() { # NAME
  fresh_root
  browse
  expect_answer "$1" 0 "$EX/outfile_1" -
  failed "$1" page
}
total_run() {
  fresh_root
  seed_page
  browse
  expect_answer "$1" 1 "$EX/outfile_1" "$PAGE1_NO_TOTAL"
  failed "$1" total PopPage1.html
}
playlist_run() { # NAME station|fav
  fresh_root
  cp "$PAGE1" "$EX/outfile_1"
  rm -f "$EX/outfile_2" "$EX/outfile_3"
  $2
  expect_answer "$1" 0 "${ANSWER[$2]}" -
  failed "$1" "$2"
}
# The same from a cache that has everything: no download, whole answers.
cached_runs() { # NAME
  fresh_root
  seed_cache
  all_well "$1"
  expect_eq "$1: no request" "" "$(new_requests)"
}

if [ "$MODE" = killed ]; then
  # wget-fault's switches reach it through the program's environment.
  for sig in KILL SEGV; do
    for at in start half end; do
      c="SIG$sig at $at"
      export WGET_FAULT_SIGNAL=$sig WGET_FAULT_AT=$at
      WGET_FAULT_MATCH='*limit=*' page_run "$c: page"
      WGET_FAULT_MATCH='*genre=Pop' total_run "$c: total"
      WGET_FAULT_MATCH='*tunein-station*' playlist_run "$c: playlist" station
      WGET_FAULT_MATCH='*tunein-station*' playlist_run "$c: favourite" fav
    done
  done
  unset WGET_FAULT_SIGNAL
  # A body past its kind's cap written at once, the downloader gone before
  # any look at its size: the download fails all the same.
  WGET_FAULT_MATCH='*limit=*' WGET_FAULT_BURST=1048577 page_run "burst past the cap: page"
  WGET_FAULT_MATCH='*genre=Pop' WGET_FAULT_BURST=67108865 total_run "burst past the cap: total"
  WGET_FAULT_MATCH='*tunein-station*' WGET_FAULT_BURST=65537 playlist_run "burst past the cap: playlist" station
  # Without the fault every download works again.
  fresh_root
  all_well "no fault"
  expect_eq "no fault: requests" "$(reqs 'genre=Pop&limit=0,20' genre=Pop)|GET yp.shoutcast.com $TUNEIN 200|GET yp.shoutcast.com $TUNEIN 200" \
    "$(new_requests)"
  seed_page
  rm -f "$TOTAL"
  browse
  expect_answer "no fault: total again" 1 "$EX/outfile_1" "$PAGE1"
else
  page_run "$MODE: page"
  total_run "$MODE: total"
  playlist_run "$MODE: playlist" station
  playlist_run "$MODE: favourite" fav
fi
cached_runs "$MODE: all cached"

finish
