#!/usr/bin/env bash
# Runs killed as the player's interface may kill a slow one: with SIGKILL,
# by exact pid, while a download is in flight (the service trickles its
# answer), and at the moment a finished answer or count memo is renamed
# into place (strace delivers SIGKILL as the rename is called). The
# downloader dies with the run, and the next run serves no partial file:
# it answers the whole answer, leaves every cache file whole, and clears
# every temporary file the killed run left. GNU wget against tools/dirsim.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim

# downloaders_left: the downloader processes still running in this sandbox.
downloaders_left() {
  local p n=0
  for p in /proc/[0-9]*; do [ "$(cat "$p/comm" 2>/dev/null)" = wget ] && n=$((n + 1)); done
  echo "$n"
}

# --- Killed during a download ---------------------------------------------------
# Each row: NAME, the dirsim fault that makes FILE trickle in, FILE and its
# whole bytes, the command and its arguments. The run is killed while FILE
# is being downloaded; the next run answers whole and leaves FILE whole.
printf 'sgenre=Pop\n' >"$EX/infile_1"
printf '%s' "$FAV1" >"$EX/infile_3"
printf '%s' "$PLS_TEXT" >"$WORK/pls"
while read -r name rule file whole cmd args; do
  fresh_root
  [ "$name" = total ] && seed_page
  fault "$rule"
  # shellcheck disable=SC2086 # the command's words
  "${EMU[@]}" "$BIN" $args >"$OUT" 2>"$ERR" &
  pid=$!
  for i in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  expect_file "$name: download in flight" "$file.downloading"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  for i in $(seq 50); do [ "$(downloaders_left)" = 0 ] && break; sleep 0.1; done
  expect_eq "$name: downloader gone with the run" 0 "$(downloaders_left)"
  dirsim_ctl clear
  $cmd
  expect_answer "$name, next run" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
  expect_same "$name, next run: ${file##*/} whole" "$file" "$whole"
done <<EOF
page    trickle:limit%3D       $PAGE    $PAGE_XML  browse  GetActiveServers
total   trickle:genre%3DPop    $TOTAL   $TOTAL_XML browse  GetActiveServers
station trickle:tunein-station $PLS     $WORK/pls  station GetStationChannelList 1
fav     trickle:tunein-station $FAV_PLS $WORK/pls  fav     GetFavStationChannelList
EOF

# --- Killed as the answer or the memo is renamed into place -----------------------
# killed_at_rename N ARG...: the run dies at its N-th rename.
killed_at_rename() {
  local n=$1
  shift
  RC=0
  strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
    -e inject=rename,renameat,renameat2:signal=KILL:when="$n" "${EMU[@]}" "$BIN" "$@" >"$OUT" 2>"$ERR" || RC=$?
}
leftovers() { find "$EX" -name '*.tmp*' | sed "s|^$EX/||" | sed 's/\.tmp[0-9a-f]*$/.tmp/' | LC_ALL=C sort | paste -sd ' '; }

# A cold count: the memo's rename comes first, the page file's second.
for n in 1 2; do
  fresh_root
  seed_page
  seed_total
  rm -f "$EX/outfile_1"
  killed_at_rename "$n" GetActiveServers
  expect_eq "rename $n: killed" 137 "$RC"
  [ "$n" = 1 ] && want="irf/PopPageTotal.xml.count.tmp" || want="outfile_1.tmp"
  expect_eq "rename $n: left behind" "$want" "$(leftovers)"
  expect_no_file "rename $n: no answer" "$EX/outfile_1"
  browse
  expect_answer "rename $n, next run" 1 "$EX/outfile_1" "$PAGE1"
  expect_no_tmp "rename $n, next run"
done
# A channel list: the next run of either command clears it.
cp "$PAGE1" "$EX/outfile_1"
killed_at_rename 1 GetStationChannelList 1
expect_eq "channel list rename: left behind" "outfile_2.tmp" "$(leftovers)"
fav
expect_answer "channel list rename, next run" 1 "$EX/outfile_3" "$CHANNELS"
expect_no_tmp "channel list rename, next run"
expect_no_file "channel list rename, next run: no answer 2" "$EX/outfile_2"

finish
