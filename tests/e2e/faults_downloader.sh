#!/usr/bin/env bash
# The downloader failing, for each download of the three commands. Run in
# three sandboxes (tests/CMakeLists.txt), told apart by what is at /sbin/wget:
#   killed   tests/e2e/bin/wget-fault: GNU wget that dies by SIGKILL or
#            SIGSEGV before writing, after half the answer, or after all of it
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

# failed_lines URL FILE: what a failed download prints: the "exec" line when
# the downloader exited with a code, nothing of its own when a signal ended it.
failed_lines() {
  [ "$MODE" = killed ] || printf '%s|' "$(exec_failed "$1" "$2")"
}

# The four downloads, each from a cache that lacks just that file; the
# downloader fails (or not, with $2 = none).
page_run() { # NAME
  fresh_root
  browse
  expect_status "$1" 0
  expect_answer "$1" "$EX/outfile_1" -
  expect_eq "$1: messages" "$(failed_lines "$PAGE_URL" "$PAGE")failed to Exec cmd|rm $PAGE" "$(messages)"
  expect_eq "$1: cache" "" "$(cache_files)"
  expect_no_tmp "$1"
}
total_run() {
  fresh_root
  seed_page
  browse
  expect_status "$1" 1
  expect_answer "$1" "$EX/outfile_1" "$PAGE1_NO_TOTAL"
  expect_eq "$1: messages" "$(failed_lines "$TOTAL_URL" "$TOTAL")failed to Exec cmd|rm $TOTAL" "$(messages)"
  expect_eq "$1: cache" "PopPage1.html" "$(cache_files)"
  expect_no_tmp "$1"
}
playlist_run() { # NAME station|fav
  local out=$EX/outfile_2 file=$PLS
  [ "$2" = fav ] && out=$EX/outfile_3 file=$FAV_PLS
  fresh_root
  cp "$PAGE1" "$EX/outfile_1"
  rm -f "$EX/outfile_2" "$EX/outfile_3"
  $2
  expect_status "$1" 0
  expect_answer "$1" "$out" -
  expect_eq "$1: messages" "$(failed_lines "$PLS_URL" "$file")$file" "$(messages)"
  expect_eq "$1: cache" "" "$(cache_files)"
  expect_no_tmp "$1"
}

# The same from a cache that has everything: no download, whole answers.
cached_runs() { # NAME
  fresh_root
  seed_page
  seed_total
  printf '%s' "$PLS_TEXT" >"$PLS"
  printf '%s' "$PLS_TEXT" >"$FAV_PLS"
  mark_log
  browse
  expect_status "$1, page" 1
  expect_answer "$1, page" "$EX/outfile_1" "$PAGE1"
  station
  expect_status "$1, station" 1
  expect_answer "$1, station" "$EX/outfile_2" "$CHANNELS"
  fav
  expect_status "$1, favourite" 1
  expect_answer "$1, favourite" "$EX/outfile_3" "$CHANNELS"
  expect_eq "$1: no request" "" "$(new_requests)"
  expect_no_tmp "$1"
}

if [ "$MODE" != killed ]; then
  page_run "$MODE: page"
  total_run "$MODE: total"
  playlist_run "$MODE: playlist" station
  playlist_run "$MODE: favourite" fav
  cached_runs "$MODE: all cached"
  finish
  exit
fi

# killed: wget-fault's switches reach it through the program's environment.
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

# Without the fault every download works again.
unset WGET_FAULT_SIGNAL
fresh_root
mark_log
browse
expect_status "no fault: page" 1
expect_answer "no fault: page" "$EX/outfile_1" "$PAGE1"
station
expect_status "no fault: station" 1
expect_answer "no fault: station" "$EX/outfile_2" "$CHANNELS"
fav
expect_status "no fault: favourite" 1
expect_answer "no fault: favourite" "$EX/outfile_3" "$CHANNELS"
expect_eq "no fault: requests" "GET api.shoutcast.com ${PAGE_URL#http://api.shoutcast.com} 200|GET api.shoutcast.com ${TOTAL_URL#http://api.shoutcast.com} 200|GET yp.shoutcast.com $TUNEIN 200|GET yp.shoutcast.com $TUNEIN 200" "$(new_requests)"
seed_page
rm -f "$TOTAL"
browse
expect_answer "no fault: total again" "$EX/outfile_1" "$PAGE1"
cached_runs "no fault: all cached"

finish
