#!/usr/bin/env bash
# Someone who can write the storage root (a USB disk) while a run is in
# flight: tools/linkswap renames a link over a cache file the moment the
# program creates it, before the downloader opens it by name, or swaps the
# storage root itself for a link to a directory of planted files, while a
# run waits for the lock or downloads slowly. Whatever they do, nothing
# outside the storage root and the exchange directory's answers changes: no
# file written, truncated, removed or made. Each race is tried TRIES times;
# a try is the attacker's when anything outside changed, and the wins per
# target are reported (and must be none). After each try the next run,
# alone, answers whole. The races need the downloader to run as another user
# than the program (65534): a sandbox started by an ordinary user has only
# root, and they are skipped there. Also: a planted ".lock.downloading"
# never frees the lock, and a directory with contents at a cache name or
# the lock's name is removed with them. GNU wget against tools/dirsim.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim
TRIES=20
OUTSIDE=/tmp/outside    # the attacker's directory, outside the storage root
AWAY=$WORK/away         # where the swapped storage root goes
ATTACK_LOG=$WORK/linkswap.log
printf '%s' "$FAV1" >"$EX/infile_3"

# The planted directory: files owned by root, mode 0644, which a link may
# point at: a victim X, marks of downloads of X, of the lock and of the
# page, the page itself.
plant() {
  local f
  rm -rf "$OUTSIDE"
  mkdir -m 0755 "$OUTSIDE"
  for f in X X.downloading .lock .lock.downloading PopPage1.html PopPage1.html.downloading; do
    printf 'planted %s\n' "$f" >"$OUTSIDE/$f"
  done
  chmod 0644 "$OUTSIDE"/* "$OUTSIDE"/.lock*
}
# Everything under /tmp and /usr/local/etc but the storage root, the
# exchange directory's requests and answers and this script's own files:
# each entry's type, mode, owner and link target, each file's bytes. Taken
# once the directory is planted, as each try starts from there.
outside() {
  find /tmp /usr/local/etc -xdev \( -path "$WORK" -o -path "$ROOT" -o -path "$EX/outfile_*" -o -path "$EX/infile_*" \) \
    -prune -o \( -printf '%p %y %m %u:%g %l\n' -type f -exec md5sum {} + \) | LC_ALL=C sort
}
plant
BEFORE=$(outside)
# A line from what the script starts in the background ("watching", "held"),
# at most 5 s waited for: a FIFO, so that nothing polls.
READY=$WORK/ready
mkfifo "$READY"
await() { read -r -t 5 _ <>"$READY"; }
# attack ARGS...: linkswap ARGS... in the background, watching once it returns.
attack() {
  "$TOOLS/linkswap" --ready "$READY" "$@" 2>>"$ATTACK_LOG" &
  ATTACKER=$!
  await
}
stop_attack() { kill "$ATTACKER" 2>/dev/null; wait "$ATTACKER" 2>/dev/null; }
swapped() { local l; while read -r l; do [[ $l == *swapped* ]] && return 0; done <"$ATTACK_LOG"; return 1; }

# What each race's try starts from, besides a fresh storage root and the
# planted directory: the page cached; another run holding the lock until
# the attacker has struck (at most 3 s); the page trickling in.
HOLDER='' FAULTED=0
hold_lock() {
  flock "$ROOT/.lock" bash -c 'echo held >"$1"; for i in $(seq 300); do grep -qs swapped "$2" && break; sleep 0.01; done' \
    _ "$READY" "$ATTACK_LOG" &
  HOLDER=$!
  await
}
slow_page() { fault "trickle:limit%3D" && FAULTED=1; }

# race TARGET COMMAND SETUP LINKSWAP-ARGS...: TRIES tries of COMMAND, the
# attacker watching; the wins, and the next runs that did not answer whole.
race() {
  local target=$1 cmd=$2 setup=$3 try wins=0 swaps=0 bad=0 after start=$SECONDS
  shift 3
  cp "$PAGE1" "$EX/outfile_1"
  for ((try = 1; try <= TRIES; try++)); do
    fresh_root
    rm -rf "$AWAY"
    plant
    : >"$ATTACK_LOG"
    $setup
    attack "$@"
    RADIODIR_DOWNLOAD_DEADLINE=1 $cmd
    stop_attack
    [ -z "$HOLDER" ] || wait "$HOLDER"
    [ "$FAULTED" = 0 ] || dirsim_ctl clear
    HOLDER='' FAULTED=0
    after=$(outside)
    if swapped; then
      swaps=$((swaps + 1))
    elif [ $((try - swaps)) = 1 ]; then   # the first try without one
      echo "$target, try $try: no swap; the run gave status $RC: $(messages); $(paste -sd '|' "$ATTACK_LOG")" >&2
    fi
    if [ "$after" != "$BEFORE" ]; then
      wins=$((wins + 1))
      if [ "$wins" = 1 ]; then
        echo "$target, try $try: outside changed:" >&2
        diff <(echo "$BEFORE") <(echo "$after") | grep '^[<>]' | head -n 12 >&2
        cat "$ATTACK_LOG" >&2
      fi
    fi
    $cmd
    if [ "$RC" != 1 ] || ! cmp -s "${ANSWER[$cmd]}" "${WANT[$cmd]}"; then
      bad=$((bad + 1))
      [ "$bad" = 1 ] && echo "$target, try $try: the next run, alone, gave status $RC: $(messages)" >&2
    fi
  done
  echo "race $target: the attacker swapped in $swaps of $TRIES tries and won $wins ($((SECONDS - start)) s)"
  expect_eq "race $target: tries the attacker won" 0 "$wins"
  expect_eq "race $target: next runs that did not answer whole" 0 "$bad"
}

# --- The races ------------------------------------------------------------------
# Started by root (root is root outside too), the sandbox has user 65534.
read -r _ outer_root _ </proc/self/uid_map
if [ "$outer_root" = 0 ]; then
  setpriv --reuid 65534 --regid 65534 --clear-groups true && pass || fail "sandbox started by root: no user 65534"
  # A link to the victim renamed over the file the program just created.
  race page browse : name "$ROOT" "${PAGE##*/}" "$OUTSIDE/X"
  race total browse seed_page name "$ROOT" "${TOTAL##*/}" "$OUTSIDE/X"
  race station station : name "$ROOT" "${PLS##*/}" "$OUTSIDE/X"
  race fav fav : name "$ROOT" "${FAV_PLS##*/}" "$OUTSIDE/X"
  # The storage root swapped for a link to the planted directory: as the run
  # opens the lock that another run holds; while the page trickles in.
  race "root, waiting for the lock" browse hold_lock root "$ROOT" .lock "$OUTSIDE" "$AWAY"
  race "root, slow download" browse slow_page --delay 200 root "$ROOT" "${PAGE##*/}" "$OUTSIDE" "$AWAY"
else
  echo "SKIP the races: no user 65534 in this sandbox (not started by root), the downloader cannot change user"
fi

# --- A planted ".lock.downloading" -------------------------------------------------
# Taken for a download's mark, it must not make a run remove its own lock:
# the next run still waits while the page trickles in (2 s) for the first.
fresh_root
printf 'planted\n' >"$ROOT/.lock.downloading"
fault "trickle:limit%3D"
(OUT=$WORK/out_first ERR=$WORK/err_first RADIODIR_DOWNLOAD_DEADLINE=2 browse) &
first=$!
for i in $(seq 500); do [ -e "$PAGE" ] && break; sleep 0.01; done
start=$EPOCHREALTIME
fav
took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
expect_answer "planted .lock.downloading: the next run" 1 "$EX/outfile_3" "$CHANNELS"
[ "$took" -ge 1000 ] && pass || fail "planted .lock.downloading: the next run did not wait (took $took ms)"
wait "$first"
dirsim_ctl clear

# --- Directories with contents at cache names and at the lock ----------------------
# A file, a subdirectory with one, links to the planted directory and to
# its victim inside: all removed, nothing followed, and the run answers whole.
while read -r name cmd; do
  c="${name##*/} a full directory"
  fresh_root
  seed_cache
  cp "$PAGE1" "$EX/outfile_1"
  plant
  rm -f "$name"
  mkdir -p "$name/sub" && touch "$name/file" "$name/sub/file"
  ln -s "$OUTSIDE" "$name/link" && ln -s "$OUTSIDE/X" "$name/sub/x"
  $cmd
  expect_answer "$c" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
  [ -d "$name" ] && fail "$c: still a directory" || pass
  expect_eq "$c: nothing outside changed" "$BEFORE" "$(outside)"
done <<EOF
$PAGE browse
$TOTAL browse
$ROOT/.lock browse
$PLS station
$FAV_PLS fav
EOF

finish
