# Helpers of the fault scripts (faults_*.sh), on top of lib.sh: runs bounded
# in time, the answers that the Pop listing of tests/data/stations.tsv gives
# when nothing fails, and the checks that every fault case makes.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1

KEY=Lq3Vt8Nw5Rz1Hk6P
EXP=$SRC/tests/e2e/expected
REAL_WGET=/usr/bin/wget   # /sbin/wget may be missing or faulty here

# trun ARGS...: one run of the program, killed after 20 s: a hang shows as
# status 137, a crash as 128 + its signal; the callers want 0 or 1.
trun() {
  RC=0
  timeout -s KILL 20 "${EMU[@]}" "$BIN" "$@" >"$OUT" 2>"$ERR" || RC=$?
}

# The requests and their files. The page link is written before each run.
PAGE_URL="http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=0,20"
TOTAL_URL="http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop"
TUNEIN="/sbin/tunein-station.pls?id=99001&k=$KEY"
PLS_URL="http://yp.shoutcast.com$TUNEIN"
PAGE=$ROOT/PopPage1.html
TOTAL=$ROOT/PopPageTotal.xml
PLS=$ROOT/PopPage1_station1_8bcbecdc.pls        # station 1 of Pop page 1
FAV_PLS=$ROOT/favorite_station1_8bcbecdc.pls    # the same station as favourite 1
browse() { printf 'sgenre=Pop\n' >"$EX/infile_1"; trun GetActiveServers; }
station() { trun GetStationChannelList 1; }
fav() { printf '1\n%s\n' "$TUNEIN" >"$EX/infile_3"; trun GetFavStationChannelList; }

# What the service answers, and the program's answers made of them.
"$TOOLS/dirsim" --dump 'genre=Pop&limit=0,20' >"$WORK/page.xml"
"$TOOLS/dirsim" --dump 'genre=Pop' >"$WORK/total.xml"
PAGE_XML=$WORK/page.xml
TOTAL_XML=$WORK/total.xml
PLS_TEXT="[playlist]
numberofentries=1
File1=http://127.0.0.1:8000/stream/99001/1
Title1=(#1) Pop Central
Length1=-1
Version=2
"
printf '1\nhttp://127.0.0.1:8000/stream/99001/1\n(#1) Pop Central\n' >"$WORK/channels.txt"
CHANNELS=$WORK/channels.txt
# Pop page 1 whole; with page total 1 (no total); without stations (page
# total 4 or 1): the no-station page of Kids, made Pop's.
PAGE1=$EXP/browse_pop_page1.txt
sed '2s/.*/1/' "$PAGE1" >"$WORK/page1_no_total.txt"
PAGE1_NO_TOTAL=$WORK/page1_no_total.txt
sed -e '2s/.*/4/' -e '3,4s/Kids/Pop/' -e '205s/Kids/Pop/' "$EXP/browse_kids_empty.txt" >"$WORK/page1_empty.txt"
PAGE1_EMPTY=$WORK/page1_empty.txt
sed '2s/.*/1/' "$PAGE1_EMPTY" >"$WORK/page1_empty_no_total.txt"
PAGE1_EMPTY_NO_TOTAL=$WORK/page1_empty_no_total.txt

# The storage root's files, names only, one line.
# The runs' lock file (".lock") is left out.
root_files() { ls -A "$ROOT" 2>/dev/null | grep -v '^\.lock$' | LC_ALL=C sort | paste -sd ' '; }
# The same without the count memos kept beside total files.
cache_files() { ls -A "$ROOT" 2>/dev/null | grep -v -e '\.count$' -e '^\.lock$' | LC_ALL=C sort | paste -sd ' '; }
# A fresh, empty storage root.
fresh_root() { rm -rf "$ROOT"; mkdir -p "$ROOT"; }
# The cache as a run that fetched page, total and playlists leaves it.
seed_page() { cp "$PAGE_XML" "$PAGE"; }
seed_total() { cp "$TOTAL_XML" "$TOTAL"; }

# The program's failure and error lines on standard output, joined by "|".
messages() {
  grep -E -e '^exec ' -e '^failed to Exec cmd' -e '^rm ' -e "^Can't open" -e '^ERROR:' -e '^Failed' \
    -e 'mkdir error' -e '^/tmp/hdd/root/irf/.*\.pls$' "$OUT" | paste -sd '|'
}
exec_failed() { printf 'exec /sbin/wget -t 1 -T 30 -nd %s -O %s failed' "$1" "$2"; }

# expect_status NAME WANT: the exit status (0 or 1; anything else is a
# crash, a hang or a usage error).
expect_status() { expect_eq "$1: status" "$2" "$RC"; }
# expect_no_tmp NAME: no temporary file of an answer or a memo anywhere.
expect_no_tmp() {
  expect_eq "$1: no temporary file" "" "$(find /tmp/hdd /usr/local/etc/hdd -name '*.tmp*' 2>/dev/null | paste -sd ' ')"
}
# expect_answer NAME FILE EXPECTED_FILE|-: the whole answer, or none ("-").
expect_answer() {
  if [ "$3" = - ]; then expect_no_file "$1: no ${2##*/}" "$2"; else expect_same "$1: ${2##*/}" "$2" "$3"; fi
}

# dirsim's run-time switches (fault RULE percent-encoded) and request log.
dirsim_ctl() { "$REAL_WGET" -q -O /dev/null "http://127.0.0.1/_dirsim/$1"; }
LOG_AT=0
mark_log() { LOG_AT=$(wc -l <"$DIRSIM_LOG"); }
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG" | paste -sd '|'; }
