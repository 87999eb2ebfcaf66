# Helpers of the fault scripts (faults_*.sh), on top of lib.sh: runs bounded
# in time, the answers that the Pop listing of tests/data/stations.tsv gives
# when nothing fails, and the checks that every fault case makes.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RUN_LIMIT=20   # a hang shows as status 137, a crash as 128 + its signal


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
# Pop page 1 whole; with page total 1 (no total); without stations: the
# no-station page of Kids, made Pop's.
PAGE1=$EXP/browse_pop_page1.txt
PAGE1_NO_TOTAL=$WORK/page1_no_total.txt
sed '2s/.*/1/' "$PAGE1" >"$PAGE1_NO_TOTAL"
PAGE1_EMPTY=$WORK/page1_empty.txt
sed -e '2s/.*/4/' -e '3,4s/Kids/Pop/' -e '205s/Kids/Pop/' "$EXP/browse_kids_empty.txt" >"$PAGE1_EMPTY"

# Each command's answer file, the whole answer it gives, and the playlist it
# caches.
declare -A ANSWER=([browse]=$EX/outfile_1 [station]=$EX/outfile_2 [fav]=$EX/outfile_3)
declare -A WANT=([browse]=$PAGE1 [station]=$CHANNELS [fav]=$CHANNELS)
declare -A CACHED=([station]=$PLS [fav]=$FAV_PLS)

# The cache as runs that fetched the page, the total and both playlists
# leave it.
seed_page() { cp "$PAGE_XML" "$PAGE"; }
seed_total() { cp "$TOTAL_XML" "$TOTAL"; }
seed_cache() {
  seed_page
  seed_total
  printf '%s' "$PLS_TEXT" >"$PLS"
  printf '%s' "$PLS_TEXT" >"$FAV_PLS"
}

# failed_lines page|total|station|fav [quiet]: the lines that a failed
# download of the Pop page, its total or its station 1 prints (see
# messages); "quiet" when the downloader could say nothing of its own (not
# started, or ended by a signal).
failed_lines() {
  local url="http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop" file=$PAGE lines
  case $1 in
    page) url+="&limit=0,20" lines="failed to Exec cmd|rm $PAGE" ;;
    total) file=$TOTAL lines="failed to Exec cmd|rm $TOTAL" ;;
    *) url=http://yp.shoutcast.com$TUNEIN file=${CACHED[$1]} lines=${CACHED[$1]} ;;
  esac
  [ "${2:-}" = quiet ] || printf 'exec /sbin/wget -t 1 -T 30 -nd %s -O %s failed|' "$url" "$file"
  printf '%s' "$lines"
}
# expect_no_tmp NAME: no temporary file of an answer or a memo anywhere.
expect_no_tmp() {
  expect_eq "$1: no temporary file" "" "$(find /tmp/hdd /usr/local/etc/hdd -name '*.tmp*' 2>/dev/null | paste -sd ' ')"
}
# all_well NAME: every command, one after the other, gives its whole
# answer; new_requests then shows the requests of all three.
all_well() {
  local cmd from
  mark_log
  from=$LOG_AT
  for cmd in browse station fav; do
    $cmd
    expect_answer "$1, $cmd" 1 "${ANSWER[$cmd]}" "${WANT[$cmd]}"
  done
  expect_no_tmp "$1"
  LOG_AT=$from
}
