#!/usr/bin/env bash
# A disk prepared by an attacker: at each name the program opens or creates
# stands a symbolic link to a victim file, a dangling link (where a file
# would be created), a link to /dev/zero, a FIFO, an empty directory or one
# with something in it. Nothing is ever read, written or created through a
# link, no run hangs, and each command ends as it must: an input that is not
# a regular file fails the command; a cache, memo or lock name is cleared (a
# directory with its contents) and used afresh; an answer name that holds a
# directory (outside the storage root, the program leaves it) fails the
# answer. (Full directories at cache and lock names: faults_race.sh.) GNU
# wget against tools/dirsim.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim
KINDS="link dangling zero fifo dir fulldir"
printf 'victim\n' >"$WORK/victim"
mkdir -p "$WORK/victimdir" && touch "$WORK/victimdir/keep"

place() { # KIND PATH
  rm -rf "$2"
  case $1 in
    link) ln -s "$WORK/victim" "$2" ;;
    dangling) ln -s "$WORK/nowhere" "$2" ;;
    zero) ln -s /dev/zero "$2" ;;
    fifo) mkfifo "$2" ;;
    dir) mkdir "$2" ;;
    fulldir) mkdir "$2" && touch "$2/x" ;;
    rootlink) ln -s "$WORK/victimdir" "$2" ;;
  esac
}
# expect_run NAME STATUS ANSWER-FILE EXPECTED|-|dir: the answer whole, absent,
# or still the directory that stood there; and nothing reached through a link.
expect_run() {
  if [ "$4" = dir ]; then
    expect_eq "$1: status" "$2" "$RC"
    [ -d "$3" ] && [ ! -L "$3" ] && pass || fail "$1: ${3##*/} is no longer the directory"
  else
    expect_answer "$1" "$2" "$3" "$4"
  fi
  expect_bytes "$1: victim untouched" "$WORK/victim" $'victim\n'
  expect_no_file "$1: nothing made through a link" "$WORK/nowhere"
  expect_eq "$1: victim directory untouched" "keep" "$(ls -A "$WORK/victimdir" | paste -sd ' ')"
  expect_no_tmp "$1"
}
seed_all() {
  fresh_root
  seed_cache
  rm -rf "$EX"/outfile_*
  cp "$PAGE1" "$EX/outfile_1"
}

for kind in $KINDS; do
  # --- Inputs: the two request files and the page file read back ------------
  seed_all
  place "$kind" "$EX/infile_1"
  run GetActiveServers
  expect_run "infile_1 $kind" 0 "$EX/outfile_1" "$PAGE1"
  place "$kind" "$EX/infile_3"
  run GetFavStationChannelList
  expect_run "infile_3 $kind" 0 "$EX/outfile_3" -
  rm -rf "$EX/infile_1" "$EX/infile_3"
  place "$kind" "$EX/outfile_1"
  station
  expect_run "outfile_1 read back, $kind" 0 "$EX/outfile_2" -

  # --- Answers: removed before the run, then written anew -------------------
  # (A directory cannot be removed: the answer cannot be put in place.)
  for cmd in browse station fav; do
    seed_all
    place "$kind" "${ANSWER[$cmd]}"
    $cmd
    case $kind in
      dir | fulldir) expect_run "${ANSWER[$cmd]##*/} $kind" 0 "${ANSWER[$cmd]}" dir ;;
      *) expect_run "${ANSWER[$cmd]##*/} $kind" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}" ;;
    esac
  done

  # --- Cache, memo and lock names: cleared, fetched afresh ------------------
  for name in "$PAGE" "$TOTAL" "$TOTAL.count" "$ROOT/.lock" "$PLS" "$FAV_PLS"; do
    [ "$kind" = fulldir ] && [ "$name" != "$TOTAL.count" ] && continue   # faults_race.sh
    c="${name##*/} $kind"
    cmd=browse
    [ "$name" = "$PLS" ] && cmd=station
    [ "$name" = "$FAV_PLS" ] && cmd=fav
    seed_all
    place "$kind" "$name"
    $cmd
    expect_run "$c" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
    # Cleared: absent or a regular file now.
    if [ -L "$name" ] || { [ -e "$name" ] && [ ! -f "$name" ]; }; then
      fail "$c: ${name##*/} still not a regular file"
    else
      pass
    fi
  done
done

# A download recorded as unfinished, its record a link: the record and the
# file it names go, nothing else.
seed_all
ln -s "$WORK/victim" "$PAGE.downloading"
browse
expect_run "download record as a link" 1 "$EX/outfile_1" "$PAGE1"
expect_no_file "download record as a link: gone" "$PAGE.downloading"

# A page file edited or cut short: its last line must name a file directly
# in the storage root, or the station's playlist is not fetched at all.
for last in "$ROOT/../../outside" "$ROOT/sub/PopPage1" "PopPage1" ""; do
  seed_all
  rm -f "$PLS"
  if [ -n "$last" ]; then sed "205s|.*|$last|" "$PAGE1" >"$EX/outfile_1"; else head -n 60 "$PAGE1" >"$EX/outfile_1"; fi
  mark_log
  station
  expect_run "page file naming '$last'" 0 "$EX/outfile_2" -
  expect_eq "page file naming '$last': nothing fetched" "" "$(new_requests)"
  expect_eq "page file naming '$last': no playlist anywhere" "" "$(find /tmp /usr/local/etc -name '*_station1_*' ! -name 'favorite_*' 2>/dev/null)"
done

# The storage root a link to another directory: removed and made anew, by
# the page request and by the playlist requests alike.
for cmd in browse station fav; do
  rm -rf "$ROOT" "$EX"/outfile_*
  place rootlink "$ROOT"
  cp "$PAGE1" "$EX/outfile_1"
  $cmd
  expect_run "storage root a link, $cmd" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
  [ -d "$ROOT" ] && [ ! -L "$ROOT" ] && pass || fail "storage root a link, $cmd: no directory made"
done

finish
