#!/usr/bin/env bash
# The directory service failing, for each download the program makes: the
# page and the total listing of GetActiveServers, the playlist of
# GetStationChannelList and of GetFavStationChannelList. Each answer fault of
# tools/dirsim (404, 500, empty body, body cut to half, malformed XML, a text
# that is neither XML listing nor playlist, connection closed half way) hits
# one download from a clean storage root; then the fault is cleared and the
# same command runs again. Checked every time: the status, the whole answer
# file or none, the failure lines on standard output, what stays in the
# storage root (a failed download, an unloadable page or total file, a total
# without stations, a text that is not a playlist or one that gives no stream
# are removed; only what answers well is kept and reused), the requests, and
# that no temporary file is left.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim

# fault RULE: this one fault from now on (RULE percent-encoded).
fault() { dirsim_ctl clear; dirsim_ctl "fault?rule=$1"; }

PAGE_REQ="GET api.shoutcast.com ${PAGE_URL#http://api.shoutcast.com}"
TOTAL_REQ="GET api.shoutcast.com ${TOTAL_URL#http://api.shoutcast.com}"
PLS_REQ="GET yp.shoutcast.com $TUNEIN"

# --- The page ---------------------------------------------------------------
page_case() { # KIND LOGGED-STATUS
  local c="$1 on the page"
  fresh_root
  fault "$1:limit%3D"
  mark_log
  browse
  case $1 in
    404 | 500 | close)
      expect_status "$c" 0
      expect_answer "$c" "$EX/outfile_1" -
      expect_eq "$c: messages" "$(exec_failed "$PAGE_URL" "$PAGE")|failed to Exec cmd|rm $PAGE" "$(messages)"
      expect_eq "$c: requests" "$PAGE_REQ $2" "$(new_requests)"
      expect_eq "$c: cache" "" "$(cache_files)"
      after="$PAGE_REQ 200|$TOTAL_REQ 200"
      ;;
    *)
      # Fetched, but no station in it: answered, the page file removed.
      expect_status "$c" 1
      expect_answer "$c" "$EX/outfile_1" "$PAGE1_EMPTY"
      local cant="Can't open the file:$PAGE|"
      [ "$1" = notpls ] && cant=   # well-formed XML, only without stations
      expect_eq "$c: messages" "${cant}ERROR:The Sation Total is 0, delete file:$PAGE" "$(messages)"
      expect_eq "$c: requests" "$PAGE_REQ 200|$TOTAL_REQ 200" "$(new_requests)"
      expect_eq "$c: cache" "PopPageTotal.xml" "$(cache_files)"
      expect_same "$c: total file" "$TOTAL" "$TOTAL_XML"
      after="$PAGE_REQ 200"
      ;;
  esac
  expect_no_tmp "$c"
  dirsim_ctl clear
  mark_log
  browse
  expect_status "$c, then none" 1
  expect_answer "$c, then none" "$EX/outfile_1" "$PAGE1"
  expect_eq "$c, then none: requests" "$after" "$(new_requests)"
  expect_same "$c, then none: page file" "$PAGE" "$PAGE_XML"
  expect_same "$c, then none: total file" "$TOTAL" "$TOTAL_XML"
}

# --- The total listing --------------------------------------------------------
total_case() { # KIND LOGGED-STATUS
  local c="$1 on the total"
  fresh_root
  fault "$1:genre%3DPop:2"   # the page is the first request, the total the second
  mark_log
  browse
  expect_status "$c" 1
  expect_eq "$c: requests" "$PAGE_REQ 200|$TOTAL_REQ $2" "$(new_requests)"
  # Failed, unloadable, or well-formed XML without stations (notpls): page
  # total 1, and the total asked for again by the next run.
  expect_answer "$c" "$EX/outfile_1" "$PAGE1_NO_TOTAL"
  case $1 in
    404 | 500 | close)
      expect_eq "$c: messages" "$(exec_failed "$TOTAL_URL" "$TOTAL")|failed to Exec cmd|rm $TOTAL" "$(messages)" ;;
    notpls) expect_eq "$c: messages" "" "$(messages)" ;;
    *) expect_eq "$c: messages" "Can't open the file:$TOTAL" "$(messages)" ;;
  esac
  expect_eq "$c: cache" "PopPage1.html" "$(cache_files)"
  expect_no_file "$c: no memo" "$TOTAL.count"
  after="$TOTAL_REQ 200" want=$PAGE1
  expect_same "$c: page file" "$PAGE" "$PAGE_XML"
  expect_no_tmp "$c"
  dirsim_ctl clear
  mark_log
  browse
  expect_status "$c, then none" 1
  expect_answer "$c, then none" "$EX/outfile_1" "$want"
  expect_eq "$c, then none: requests" "$after" "$(new_requests)"
}

# --- The playlist, of a page's station or of a favourite ----------------------
playlist_case() { # KIND LOGGED-STATUS station|fav
  local c="$1 on the playlist ($3)" cmd=$3 out=$EX/outfile_2 file=$PLS
  [ "$3" = fav ] && out=$EX/outfile_3 file=$FAV_PLS
  fresh_root
  dirsim_ctl clear
  browse
  fault "$1:tunein-station"
  mark_log
  rm -f "$EX/outfile_2" "$EX/outfile_3"
  $cmd
  expect_eq "$c: requests" "$PLS_REQ $2" "$(new_requests)"
  case $1 in
    404 | 500 | close)
      expect_status "$c" 0
      expect_answer "$c" "$out" -
      expect_eq "$c: messages" "$(exec_failed "$PLS_URL" "$file")|$file" "$(messages)"
      expect_no_file "$c: cache file" "$file"
      after="$PLS_REQ 200" want=$CHANNELS
      ;;
    short)
      # Still a playlist, but entry 1 without its title gives no row: the
      # answer says so, and the file goes, to be fetched again.
      expect_status "$c" 1
      expect_bytes "$c: ${out##*/}" "$out" $'0\n'
      expect_eq "$c: messages" "Failed to Search Title in *.pls" "$(messages)"
      expect_no_file "$c: cache file" "$file"
      after="$PLS_REQ 200" want=$CHANNELS
      ;;
    *)
      # Downloaded, but not a playlist (empty, XML, HTML): removed.
      expect_status "$c" 0
      expect_answer "$c" "$out" -
      expect_eq "$c: messages" "" "$(messages)"
      expect_no_file "$c: cache file" "$file"
      after="$PLS_REQ 200" want=$CHANNELS
      ;;
  esac
  expect_no_tmp "$c"
  dirsim_ctl clear
  mark_log
  $cmd
  expect_status "$c, then none" 1
  expect_answer "$c, then none" "$out" "$want"
  expect_eq "$c, then none: requests" "$after" "$(new_requests)"
  expect_bytes "$c, then none: cache file" "$file" "$PLS_TEXT"
}

for kind in 404 500 empty short malformed notpls close; do
  logged=200
  case $kind in 404 | 500) logged=$kind ;; esac
  page_case "$kind" "$logged"
  total_case "$kind" "$logged"
  playlist_case "$kind" "$logged" station
  playlist_case "$kind" "$logged" fav
done

finish
