#!/usr/bin/env bash
# Answers that an attacker on the network path chooses, for each download:
# XML nested 40,000 deep, an element with 80,000 attributes, a body that
# never ends, a server that trickles one byte a second, and pages whose
# values try to leave their place (a tunein base naming another host,
# escape sequences in names, a title cut inside a character). Each hits one
# download from a clean cache; then the service answers well again and the
# same command runs again. Checked every time: the status (a crash or hang
# shows as another), the whole answer or none, the failure lines, the bad
# file gone, and the good answer on the next run. GNU wget against
# tools/dirsim; the download deadline is shortened to a few seconds.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

export RADIODIR_DOWNLOAD_DEADLINE=3
start_dirsim

# Hostile bodies.
{ printf '<stationlist>'; head -c 120000 /dev/zero | tr '\0' '\n' | sed 's/^/<a>/' | tr -d '\n'; } >"$WORK/deep.xml"
{ printf '<stationlist><station id="1"'; seq 80000 | awk '{printf " a%d=\"\"", $1}'; printf '/></stationlist>\n'; } \
  >"$WORK/attrs.xml"
sed -e 's|<tunein base="/sbin/tunein-station.pls"[^>]*>|&<tunein base="@evil.example:81/x.pls"/>|' \
    -e "0,/name=\"[^\"]*\"/s//name=\"Evil\&#27;[31m\&#127;Radio\"/" "$PAGE_XML" >"$WORK/evil.xml"
TITLE=$(printf 'a%.0s' $(seq 126))
printf '[playlist]\nnumberofentries=1\nFile1=http://127.0.0.1:8000/s\nTitle1=%s\xc3\xa9x\n' "$TITLE" >"$WORK/title.pls"
printf '1\nhttp://127.0.0.1:8000/s\n%s\n' "$TITLE" >"$WORK/title.txt"

# hostile NAME RULE COMMAND STATUS EXPECTED|- MESSAGES [GONE-FILE]: the
# fault RULE from a clean cache (the page file in place for a station); a
# body that never ends given up at the deadline; the bad file (a total with
# no memo) gone; then the service well again.
hostile() {
  local c=$1 cmd=$3 start
  fresh_root
  dirsim_ctl clear
  [ "$cmd" = station ] && browse
  fault "$2"
  rm -f "${ANSWER[$cmd]}"
  start=$SECONDS
  $cmd
  case $2 in endless* | trickle*) [ $((SECONDS - start)) -le 10 ] && pass || fail "$c: took $((SECONDS - start)) s" ;; esac
  expect_answer "$c" "$4" "${ANSWER[$cmd]}" "$5"
  expect_eq "$c: messages" "$6" "$(messages)"
  [ -z "${7:-}" ] || expect_no_file "$c: bad file gone" "$7"
  [ "${7:-}" != "$TOTAL" ] || expect_no_file "$c: no memo" "$TOTAL.count"
  expect_no_tmp "$c"
  expect_eq "$c: no download left marked" "" "$(ls -A "$ROOT" | grep '\.downloading$')"
  [ -z "${7:-}" ] && return
  dirsim_ctl clear
  $cmd
  expect_answer "$c, then well" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
}

# The page: unloadable, or never done in time.
cant_page="Can't open the file:$PAGE|ERROR:The Sation Total is 0, delete file:$PAGE"
hostile "deep page" "body=$WORK/deep.xml:limit%3D" browse 1 "$PAGE1_EMPTY" "$cant_page" "$PAGE"
hostile "attrs page" "body=$WORK/attrs.xml:limit%3D" browse 1 "$PAGE1_EMPTY" "$cant_page" "$PAGE"
for kind in endless trickle; do
  hostile "$kind page" "$kind:limit%3D" browse 0 - "failed to Exec cmd|rm $PAGE" "$PAGE"
  # The total listing: the page shows one page, the next run asks again.
  hostile "$kind total" "$kind:genre%3DPop:2" browse 1 "$PAGE1_NO_TOTAL" "failed to Exec cmd|rm $TOTAL" "$TOTAL"
  hostile "$kind playlist" "$kind:tunein-station" station 0 - "$PLS" "$PLS"
done
hostile "deep total" "body=$WORK/deep.xml:genre%3DPop:2" browse 1 "$PAGE1_NO_TOTAL" "Can't open the file:$TOTAL" "$TOTAL"
# A title too long for its field is cut before the character it would split.
hostile "long title" "body=$WORK/title.pls:tunein-station" fav 1 "$WORK/title.txt" ""

# --- Values that try to leave their place -----------------------------------------------
# A tunein base naming another host is ignored (the one before stays), and
# control bytes in a name become blanks; the station plays from the
# directory's own host.
fresh_root
fault "body=$WORK/evil.xml:limit%3D"
browse
expect_eq "evil page: status" 1 "$RC"
expect_eq "evil page: first station" "1|$TUNEIN|Pop|Evil [31m Radio" "$(sed -n '44,47p' "$EX/outfile_1" | paste -sd '|')"
expect_eq "evil page: no control byte" "" "$(LC_ALL=C grep -n '[[:cntrl:]]' "$EX/outfile_1" | grep -v $'\t')"
dirsim_ctl clear
station
expect_answer "evil page, station" 1 "$EX/outfile_2" "$CHANNELS"
expect_eq "evil page, station: request" "GET yp.shoutcast.com $TUNEIN 200" "$(new_requests)"

finish
