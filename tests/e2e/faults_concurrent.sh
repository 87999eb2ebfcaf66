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
  (OUT=$WORK/out1 ERR=$WORK/err1; run "$@"; echo "$RC" >"$WORK/rc1") &
  p1=$!
  (OUT=$WORK/out2 ERR=$WORK/err2; run "$@"; echo "$RC" >"$WORK/rc2") &
  p2=$!
  wait "$p1" "$p2"
  RC1=$(cat "$WORK/rc1") RC2=$(cat "$WORK/rc2")
}
# expect_whole_or_absent NAME FILE EXPECTED_FILE
expect_whole_or_absent() {
  if [ ! -e "$2" ] || cmp -s "$2" "$3"; then pass; else fail "$1: ${2##*/} is neither whole nor absent"; fi
}

printf '%s' "$PLS_TEXT" >"$WORK/pls"
printf 'sgenre=Pop\n' >"$EX/infile_1"
printf '%s' "$FAV1" >"$EX/infile_3"
declare -A ARGS=([browse]=GetActiveServers [station]="GetStationChannelList 1" [fav]=GetFavStationChannelList)
for cmd in browse station fav; do
  for ((r = 1; r <= ROUNDS; r++)); do
    c="$cmd, round $r"
    rm -f "${ANSWER[$cmd]}"
    if [ $cmd = browse ]; then
      # Odd rounds: no storage root, both runs create it.
      rm -rf "$ROOT"
      [ $((r % 2)) = 0 ] && mkdir "$ROOT"
    else
      rm -f "${CACHED[$cmd]}"
    fi
    # shellcheck disable=SC2086 # the command's words
    pair ${ARGS[$cmd]}
    expect_eq "$c: statuses" "1 1" "$RC1 $RC2"
    expect_same "$c: the whole answer" "${ANSWER[$cmd]}" "${WANT[$cmd]}"
    expect_no_tmp "$c"
    if [ $cmd = browse ]; then
      expect_whole_or_absent "$c" "$PAGE" "$PAGE_XML"
      expect_whole_or_absent "$c" "$TOTAL" "$TOTAL_XML"
    else
      expect_whole_or_absent "$c" "${CACHED[$cmd]}" "$WORK/pls"
    fi
    $cmd
    expect_answer "$c, then alone" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
  done
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
expect_answer "lock held 2 s: waited" 1 "$EX/outfile_1" "$PAGE1"
[ $((SECONDS - start)) -ge 1 ] && pass || fail "lock held 2 s: did not wait"
wait "$holder"
flock "$ROOT/.lock" sleep 30 &
holder=$!
sleep 0.5
start=$SECONDS
RADIODIR_DOWNLOAD_DEADLINE=1 station
took=$((SECONDS - start))
expect_answer "lock held for good" 0 "$EX/outfile_2" -
[ "$took" -ge 6 ] && [ "$took" -le 12 ] && pass || fail "lock held for good: gave up after $took s"
kill "$holder"
wait "$holder" 2>/dev/null

finish
