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
# killed_during NAME RULE FILE COMMAND ARG... : FILE is being downloaded
# when the run is killed.
killed_during() {
  local name=$1 rule=$2 file=$3 pid i
  shift 3
  dirsim_ctl clear
  dirsim_ctl "fault?rule=$rule"
  "${EMU[@]}" "$BIN" "$@" >"$OUT" 2>"$ERR" &
  pid=$!
  for i in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  expect_file "$name: download in flight" "$file.downloading"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  for i in $(seq 50); do [ "$(downloaders_left)" = 0 ] && break; sleep 0.1; done
  expect_eq "$name: downloader gone with the run" 0 "$(downloaders_left)"
  dirsim_ctl clear
}

fresh_root
printf 'sgenre=Pop\n' >"$EX/infile_1"
killed_during "page" "trickle:limit%3D" "$PAGE" GetActiveServers
browse
expect_status "page, next run" 1
expect_answer "page, next run" "$EX/outfile_1" "$PAGE1"
expect_same "page, next run: page file whole" "$PAGE" "$PAGE_XML"

fresh_root
seed_page
killed_during "total" "trickle:genre%3DPop" "$TOTAL" GetActiveServers
browse
expect_status "total, next run" 1
expect_answer "total, next run" "$EX/outfile_1" "$PAGE1"
expect_same "total, next run: total file whole" "$TOTAL" "$TOTAL_XML"

for cmd in station fav; do
  file=$PLS out=$EX/outfile_2 args=(GetStationChannelList 1)
  [ $cmd = fav ] && file=$FAV_PLS out=$EX/outfile_3 args=(GetFavStationChannelList)
  fresh_root
  cp "$PAGE1" "$EX/outfile_1"
  printf '1\n%s\n' "$TUNEIN" >"$EX/infile_3"
  killed_during "$cmd playlist" "trickle:tunein-station" "$file" "${args[@]}"
  $cmd
  expect_status "$cmd playlist, next run" 1
  expect_answer "$cmd playlist, next run" "$out" "$CHANNELS"
  expect_bytes "$cmd playlist, next run: playlist file whole" "$file" "$PLS_TEXT"
done

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
  expect_status "rename $n, next run" 1
  expect_answer "rename $n, next run" "$EX/outfile_1" "$PAGE1"
  expect_no_tmp "rename $n, next run"
done
# A channel list: the next run of either command clears it.
cp "$PAGE1" "$EX/outfile_1"
killed_at_rename 1 GetStationChannelList 1
expect_eq "channel list rename: left behind" "outfile_2.tmp" "$(leftovers)"
fav
expect_status "channel list rename, next run" 1
expect_answer "channel list rename, next run" "$EX/outfile_3" "$CHANNELS"
expect_no_tmp "channel list rename, next run"
expect_no_file "channel list rename, next run: no answer 2" "$EX/outfile_2"

finish
