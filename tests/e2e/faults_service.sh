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
PAGE_Q='genre=Pop&limit=0,20'
PLS_REQ="GET yp.shoutcast.com $TUNEIN"

# Each case: the fault on one download, then the same command without it
# (checked by then_none NAME COMMAND REQUESTS).
then_none() {
  expect_no_tmp "$1"
  dirsim_ctl clear
  $2
  expect_answer "$1, then none" 1 "${ANSWER[$2]}" "${WANT[$2]}"
  expect_eq "$1, then none: requests" "$3" "$(new_requests)"
}

page_case() { # KIND LOGGED-STATUS FAILED(0|1)
  local c="$1 on the page"
  fresh_root
  fault "$1:limit%3D"
  browse
  if [ "$3" = 1 ]; then
    expect_answer "$c" 0 "$EX/outfile_1" -
    expect_eq "$c: messages" "$(failed_lines page)" "$(messages)"
    expect_eq "$c: requests" "$(reqs "$PAGE_Q:$2")" "$(new_requests)"
    expect_eq "$c: cache" "" "$(cache_files)"
    then_none "$c" browse "$(reqs "$PAGE_Q" genre=Pop)"
  else
    # Fetched, but no station in it: answered, the page file removed.
    expect_answer "$c" 1 "$EX/outfile_1" "$PAGE1_EMPTY"
    local cant="Can't open the file:$PAGE|"
    [ "$1" = notpls ] && cant=   # well-formed XML, only without stations
    expect_eq "$c: messages" "${cant}ERROR:The Sation Total is 0, delete file:$PAGE" "$(messages)"
    expect_eq "$c: requests" "$(reqs "$PAGE_Q" genre=Pop)" "$(new_requests)"
    expect_eq "$c: cache" "PopPageTotal.xml" "$(cache_files)"
    expect_same "$c: total file" "$TOTAL" "$TOTAL_XML"
    then_none "$c" browse "$(reqs "$PAGE_Q")"
  fi
  expect_same "$c, then none: page file" "$PAGE" "$PAGE_XML"
  expect_same "$c, then none: total file" "$TOTAL" "$TOTAL_XML"
}

# Failed, unloadable, or well-formed XML without stations (notpls): page
# total 1, and the total asked for again by the next run.
total_case() { # KIND LOGGED-STATUS FAILED(0|1)
  local c="$1 on the total" msg="Can't open the file:$TOTAL"
  [ "$3" = 1 ] && msg=$(failed_lines total)
  [ "$1" = notpls ] && msg=
  fresh_root
  fault "$1:genre%3DPop:2"   # the page is the first request, the total the second
  browse
  expect_answer "$c" 1 "$EX/outfile_1" "$PAGE1_NO_TOTAL"
  expect_eq "$c: requests" "$(reqs "$PAGE_Q" "genre=Pop:$2")" "$(new_requests)"
  expect_eq "$c: messages" "$msg" "$(messages)"
  expect_eq "$c: cache" "PopPage1.html" "$(cache_files)"
  expect_no_file "$c: no memo" "$TOTAL.count"
  expect_same "$c: page file" "$PAGE" "$PAGE_XML"
  then_none "$c" browse "$(reqs genre=Pop)"
}

# The playlist, of a page's station or of a favourite.
playlist_case() { # KIND LOGGED-STATUS FAILED(0|1) station|fav
  local c="$1 on the playlist ($4)" cmd=$4 out=${ANSWER[$4]} file=${CACHED[$4]} msg=""
  fresh_root
  dirsim_ctl clear
  browse
  fault "$1:tunein-station"
  rm -f "$EX/outfile_2" "$EX/outfile_3"
  $cmd
  expect_eq "$c: requests" "$PLS_REQ $2" "$(new_requests)"
  if [ "$3" = 1 ]; then
    expect_answer "$c" 0 "$out" -
    msg=$(failed_lines "$cmd")
  elif [ "$1" = short ]; then
    # Still a playlist, but entry 1 without its title gives no row: the
    # answer says so, and the file goes, to be fetched again.
    expect_eq "$c: status" 1 "$RC"
    expect_bytes "$c: ${out##*/}" "$out" $'0\n'
    msg="Failed to Search Title in *.pls"
  else
    # Downloaded, but not a playlist (empty, XML, HTML): removed.
    expect_answer "$c" 0 "$out" -
  fi
  expect_eq "$c: messages" "$msg" "$(messages)"
  expect_no_file "$c: cache file" "$file"
  then_none "$c" "$cmd" "$PLS_REQ 200"
  expect_bytes "$c, then none: cache file" "$file" "$PLS_TEXT"
}

for kind in 404 500 empty short malformed notpls close; do
  logged=200 failed=0
  case $kind in 404 | 500) logged=$kind ;; esac
  case $kind in 404 | 500 | close) failed=1 ;; esac
  page_case "$kind" "$logged" "$failed"
  total_case "$kind" "$logged" "$failed"
  playlist_case "$kind" "$logged" "$failed" station
  playlist_case "$kind" "$logged" "$failed" fav
done

finish
