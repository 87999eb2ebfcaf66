#!/usr/bin/env bash
# Two runs of the same command at once, on the same listing or station, from
# a cold cache, several rounds; GNU wget against tools/dirsim. Runs take
# turns (a lock file in the storage root), so the second never reads the
# first's download half written: both runs succeed and give the whole
# answer, no temporary file is left, each cache file is the service's whole
# answer, and a run on its own afterwards gives the whole answer.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim
ROUNDS=16

# pair ARGS...: two runs at once; their statuses in RC1 and RC2.
pair() {
  local p1 p2
  (timeout -s KILL 20 "${EMU[@]}" "$BIN" "$@" >"$WORK/out1" 2>&1; echo $? >"$WORK/rc1") &
  p1=$!
  (timeout -s KILL 20 "${EMU[@]}" "$BIN" "$@" >"$WORK/out2" 2>&1; echo $? >"$WORK/rc2") &
  p2=$!
  wait "$p1" "$p2"
  RC1=$(cat "$WORK/rc1") RC2=$(cat "$WORK/rc2")
}
# expect_whole_or_absent NAME FILE EXPECTED_FILE
expect_whole_or_absent() {
  if [ ! -e "$2" ] || cmp -s "$2" "$3"; then pass; else fail "$1: ${2##*/} is neither whole nor absent"; fi
}
# which_of FILE EXPECTED_FILE...: the index (from 1) of the one that FILE
# equals, 0 when none does.
which_of() {
  local file=$1 i=1
  shift
  for want; do
    if cmp -s "$file" "$want"; then echo "$i"; return; fi
    i=$((i + 1))
  done
  echo 0
}

# --- GetActiveServers -------------------------------------------------------------
printf 'sgenre=Pop\n' >"$EX/infile_1"
declare -A seen=()
for ((r = 1; r <= ROUNDS; r++)); do
  c="pages, round $r"
  # Odd rounds: no storage root, both runs create it.
  rm -rf "$ROOT" "$EX/outfile_1"
  [ $((r % 2)) = 0 ] && mkdir "$ROOT"
  pair GetActiveServers
  expect_eq "$c: statuses" "1 1" "$RC1 $RC2"
  k=$(which_of "$EX/outfile_1" "$PAGE1" "$PAGE1_NO_TOTAL" "$PAGE1_EMPTY" "$PAGE1_EMPTY_NO_TOTAL")
  expect_eq "$c: the page file is the whole page" 1 "$k"
  seen[$k]=$((${seen[$k]:-0} + 1))
  expect_no_tmp "$c"
  expect_whole_or_absent "$c" "$PAGE" "$PAGE_XML"
  expect_whole_or_absent "$c" "$TOTAL" "$TOTAL_XML"
  browse
  expect_status "$c, then alone" 1
  expect_answer "$c, then alone" "$EX/outfile_1" "$PAGE1"
done
echo "page files of the pairs: whole ${seen[1]:-0}, page total 1 ${seen[2]:-0}," \
  "no stations ${seen[3]:-0}, both ${seen[4]:-0}"

# --- The channel list commands ----------------------------------------------------
# A run that read the other's playlist half written may have answered with
# fewer rows, or a title cut short: still a whole channel list, whose lines
# begin the right ones.
TITLE=$(sed -n 3p "$CHANNELS")
expect_channel_list() { # NAME FILE
  [ -e "$2" ] || { pass; return; }
  local n url title
  n=$(sed -n 1p "$2") url=$(sed -n 2p "$2") title=$(sed -n 3p "$2")
  if cmp -s "$2" "$CHANNELS" || [ "$(cat "$2")" = 0 ] ||
    { [ "$n" = 1 ] && [ "$(wc -l <"$2")" = 3 ] && [ "$url" = "$(sed -n 2p "$CHANNELS")" ] &&
      [ "${TITLE#"$title"}" != "$TITLE" ]; }; then
    pass
  else
    fail "$1: ${2##*/} is no whole channel list"
  fi
}
for cmd in station fav; do
  out=$EX/outfile_2 file=$PLS args=(GetStationChannelList 1)
  [ $cmd = fav ] && out=$EX/outfile_3 file=$FAV_PLS args=(GetFavStationChannelList)
  printf '1\n%s\n' "$TUNEIN" >"$EX/infile_3"
  cp "$PAGE1" "$EX/outfile_1"
  fails=0
  for ((r = 1; r <= ROUNDS; r++)); do
    c="$cmd, round $r"
    rm -f "$file" "$out"
    pair "${args[@]}"
    expect_eq "$c: statuses" "1 1" "$RC1 $RC2"
    expect_answer "$c: answer" "$out" "$CHANNELS"
    [ "$RC1" = 0 ] && fails=$((fails + 1))
    [ "$RC2" = 0 ] && fails=$((fails + 1))
    expect_channel_list "$c" "$out"
    # No answer when both failed.
    [ "$RC1 $RC2" = "0 0" ] && expect_no_file "$c: no answer" "$out"
    expect_no_tmp "$c"
    expect_whole_or_absent "$c" "$file" <(printf '%s' "$PLS_TEXT")
    $cmd
    expect_status "$c, then alone" 1
    expect_answer "$c, then alone" "$out" "$CHANNELS"
  done
  echo "$cmd: $fails of $((2 * ROUNDS)) runs of the pairs failed"
done

# --- The lock held by another -----------------------------------------------------
# A run waits while the lock is held, and goes on once it is free; it never
# goes on unlocked: held longer than a run can take (two downloads at the
# deadline, shortened here to 1 s, and a margin), the run fails. The
# interface's files are left as they were.
browse
flock "$ROOT/.lock" sleep 2 &
holder=$!
sleep 0.5
start=$SECONDS
browse
expect_status "lock held 2 s: waited" 1
expect_answer "lock held 2 s" "$EX/outfile_1" "$PAGE1"
[ $((SECONDS - start)) -ge 1 ] && pass || fail "lock held 2 s: did not wait"
wait "$holder"
flock "$ROOT/.lock" sleep 30 &
holder=$!
sleep 0.5
start=$SECONDS
RADIODIR_DOWNLOAD_DEADLINE=1 station
took=$((SECONDS - start))
expect_status "lock held for good" 0
expect_answer "lock held for good" "$EX/outfile_2" -
[ "$took" -ge 6 ] && [ "$took" -le 12 ] && pass || fail "lock held for good: gave up after $took s"
kill "$holder"
wait "$holder" 2>/dev/null

finish
