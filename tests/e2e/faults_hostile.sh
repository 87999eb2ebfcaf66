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

fault() { dirsim_ctl clear; dirsim_ctl "fault?rule=$1"; }

# Hostile bodies.
{ printf '<stationlist>'; head -c 120000 /dev/zero | tr '\0' '\n' | sed 's/^/<a>/' | tr -d '\n'; } >"$WORK/deep.xml"
{ printf '<stationlist><station id="1"'; seq 80000 | awk '{printf " a%d=\"\"", $1}'; printf '/></stationlist>\n'; } \
  >"$WORK/attrs.xml"
sed -e 's|<tunein base="/sbin/tunein-station.pls"[^>]*>|&<tunein base="@evil.example:81/x.pls"/>|' \
    -e "0,/name=\"[^\"]*\"/s//name=\"Evil\&#27;[31m\&#127;Radio\"/" "$PAGE_XML" >"$WORK/evil.xml"
TITLE=$(printf 'a%.0s' $(seq 126))
printf '[playlist]\nnumberofentries=1\nFile1=http://127.0.0.1:8000/s\nTitle1=%s\xc3\xa9x\n' "$TITLE" >"$WORK/title.pls"
printf '1\nhttp://127.0.0.1:8000/s\n%s\n' "$TITLE" >"$WORK/title.txt"

# check NAME STATUS ANSWER-FILE EXPECTED|- MESSAGES [GONE-FILE]
check() {
  expect_status "$1" "$2"
  expect_answer "$1" "$3" "$4"
  expect_eq "$1: messages" "$5" "$(messages)"
  [ -z "${6:-}" ] || expect_no_file "$1: bad file gone" "$6"
  expect_no_tmp "$1"
  expect_eq "$1: no download left marked" "" "$(ls -A "$ROOT" | grep '\.downloading$')"
}
# then_well NAME COMMAND ANSWER-FILE EXPECTED: the service well again.
then_well() {
  dirsim_ctl clear
  $2
  expect_status "$1, then well" 1
  expect_answer "$1, then well" "$3" "$4"
}

# --- The page -------------------------------------------------------------------
cant_page="Can't open the file:$PAGE|ERROR:The Sation Total is 0, delete file:$PAGE"
for c in "deep body=$WORK/deep.xml" "attrs body=$WORK/attrs.xml"; do
  set -- $c
  fresh_root
  fault "$2:limit%3D"
  browse
  check "$1 page" 1 "$EX/outfile_1" "$PAGE1_EMPTY" "$cant_page" "$PAGE"
  then_well "$1 page" browse "$EX/outfile_1" "$PAGE1"
done
for kind in endless trickle; do
  fresh_root
  fault "$kind:limit%3D"
  start=$SECONDS
  browse
  check "$kind page" 0 "$EX/outfile_1" - "failed to Exec cmd|rm $PAGE" "$PAGE"
  [ $((SECONDS - start)) -le 10 ] && pass || fail "$kind page: took $((SECONDS - start)) s"
  then_well "$kind page" browse "$EX/outfile_1" "$PAGE1"
done

# --- The total listing: the page shows one page, the next run asks again ----------
for c in "deep body=$WORK/deep.xml Can't open the file:$TOTAL" "endless endless failed to Exec cmd|rm $TOTAL" \
         "trickle trickle failed to Exec cmd|rm $TOTAL"; do
  set -- $c
  name=$1 rule=$2
  shift 2
  fresh_root
  fault "$rule:genre%3DPop:2"
  browse
  check "$name total" 1 "$EX/outfile_1" "$PAGE1_NO_TOTAL" "$*" "$TOTAL"
  expect_no_file "$name total: no memo" "$TOTAL.count"
  then_well "$name total" browse "$EX/outfile_1" "$PAGE1"
done

# --- The playlist ----------------------------------------------------------------------
for kind in endless trickle; do
  fresh_root
  dirsim_ctl clear
  browse
  fault "$kind:tunein-station"
  rm -f "$EX/outfile_2"
  station
  check "$kind playlist" 0 "$EX/outfile_2" - "$PLS" "$PLS"
  then_well "$kind playlist" station "$EX/outfile_2" "$CHANNELS"
done
# A title too long for its field is cut before the character it would split.
fresh_root
fault "body=$WORK/title.pls:tunein-station"
fav
check "long title" 1 "$EX/outfile_3" "$WORK/title.txt" ""

# --- Values that try to leave their place -----------------------------------------------
# A tunein base naming another host is ignored (the one before stays), and
# control bytes in a name become blanks; the station plays from the
# directory's own host.
fresh_root
fault "body=$WORK/evil.xml:limit%3D"
browse
expect_status "evil page" 1
expect_eq "evil page: first station" "1|$TUNEIN|Pop|Evil [31m Radio" "$(sed -n '44,47p' "$EX/outfile_1" | paste -sd '|')"
expect_eq "evil page: no control byte" "" "$(LC_ALL=C grep -n '[[:cntrl:]]' "$EX/outfile_1" | grep -v $'\t')"
dirsim_ctl clear
mark_log
station
expect_status "evil page, station" 1
expect_answer "evil page, station" "$EX/outfile_2" "$CHANNELS"
expect_eq "evil page, station: request" "GET yp.shoutcast.com $TUNEIN 200" "$(new_requests)"

finish
