#!/usr/bin/env bash
# GetActiveServers end to end on the disk storage root: GNU wget as the
# downloader against tools/dirsim (tests/data/stations.tsv: 63 stations, 45
# of them Pop). Page files are compared byte for byte with the files under
# tests/e2e/expected/, which the player's interface reads; the request log
# of dirsim shows what was downloaded and what was reused.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1   # a shell run by mistake would leave its files here

KEY=Lq3Vt8Nw5Rz1Hk6P
EXP=$SRC/tests/e2e/expected
GENRE_Q="GET api.shoutcast.com /legacy/genresearch?k=$KEY&genre="
SEARCH_Q="GET api.shoutcast.com /legacy/stationsearch?k=$KEY&search="
TABS='\t\t\t\t\t\t\t\t'

# browse LINK [SEARCH [KEY]]: the interface's page link, then one run.
browse() {
  printf '%s\n' "$1" >"$EX/infile_1"
  shift
  mark_log
  run GetActiveServers "$@"
}
# The directory requests since the last browse.
LOG_AT=0
mark_log() { LOG_AT=$(wc -l <"$DIRSIM_LOG"); }
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG"; }
# dirsim's run-time switches.
dirsim_ctl() { wget -q -O /dev/null "http://127.0.0.1/_dirsim/$1"; }
# The cache files, without the count memos kept beside total files.
root_files() { ls -A "$ROOT" | grep -v -e '\.count$' -e '^\.lock$' | LC_ALL=C sort; }

# expect_page NAME STATUS EXPECTED_FILE: the run's status and page file.
expect_page() {
  expect_eq "$1: status" "$2" "$RC"
  expect_same "$1: page file" "$EX/outfile_1" "$EXP/$3"
}
# expect_failed NAME: status 0 and no page file.
expect_failed() {
  expect_eq "$1: status" 0 "$RC"
  expect_no_file "$1: page file" "$EX/outfile_1"
}

start_udplog
start_dirsim --fault 404:genre=Anime --fault 500:genre=Blues --fault slow:genre=Comedy \
  --fault 404:genre=Dance:2 --fault malformed:genre=Soul --fault '404:genre=y%3B'

# --- First page of a genre: the whole run -------------------------------
clear_udplog
browse "sgenre=Pop"
expect_page "Pop page 1" 1 browse_pop_page1.txt
P1="$GENRE_Q"Pop
expect_bytes "Pop page 1: stdout" "$OUT" "argv[0]=$BIN
argv[1]=GetActiveServers


read pageHref=sgenre=Pop!!!!!!


 794, VxShoutcastGetActiveServers, patch_Zorv_getlpls 
ZORV_IRADIO_FILE_DIR:'/tmp/hdd/root/irf', ZORV_IRADIO_FILE_DIR2:'/usr/local/etc/hdd/root/irf'
ZORV_IRADIO_FILE_DIR:/tmp/hdd/root/irf
pathname:/tmp/hdd/root/irf
href='sgenre=Pop'


zavadod::station path=http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=0,20
zavadod::station down_file=/tmp/hdd/root/irf/PopPage1.html
http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=0,20


zavadod::total path=http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop
zavadod::total down_file=/tmp/hdd/root/irf/PopPageTotal.xml
http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop
parse_homepage::/tmp/hdd/root/irf/PopPage1.html


stationtotal =20
pagetotal=4, pagenum=1
prevpagehref =sgenre=Pop&startat=0
nextpagehref =sgenre=Pop&startat=20
pagefilename = '/tmp/hdd/root/irf/PopPage1'
"
WGET_ARGV="/sbin/wget -t 1 -T 30 -nd"
expect_eq "Pop page 1: datagrams" "${TABS}patch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\\npageHref: sgenre=Pop, SearchKey:\"0\"
${TABS}patch_Zorv_getlpls[0131] : VxOpenDirectory\\n
${TABS}patch_Zorv_getlpls[0141] : VxOpenDirectory\\nNo such file or directory
${TABS}patch_Zorv_getlpls[0152] : VxFileMkdir\\n
${TABS}patch_Zorv_getlpls[0073] : ExecvCmd\\n****argv :  $WGET_ARGV http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=0,20 -O /tmp/hdd/root/irf/PopPage1.html NULL
${TABS}patch_Zorv_getlpls[0073] : ExecvCmd\\n****argv :  $WGET_ARGV http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop -O /tmp/hdd/root/irf/PopPageTotal.xml NULL
${TABS}patch_main[0078] : main\\nVxShoutcastGetActiveServers returned with status=1" "$(datagrams)"
expect_eq "Pop page 1: requests" "$P1&limit=0,20 200
$P1 200" "$(new_requests)"
expect_eq "Pop page 1: cache" "PopPage1.html PopPageTotal.xml" "$(root_files | tr '\n' ' ' | sed 's/ $//')"

# --- Middle and last page: the total listing is not fetched again --------
browse "sgenre=Pop&startat=20"
expect_page "Pop page 2" 1 browse_pop_page2.txt
expect_eq "Pop page 2: requests" "$P1&limit=20,20 200" "$(new_requests)"
browse "sgenre=Pop&startat=40"
expect_page "Pop page 3 (last, links to itself)" 1 browse_pop_page3.txt
expect_eq "Pop page 3: requests" "$P1&limit=40,20 200" "$(new_requests)"
expect_eq "Pop pages: total fetched once" 1 "$(grep -c "genre=Pop 200" "$DIRSIM_LOG")"

# --- Cached pages are reused on disk -------------------------------------
browse "sgenre=Pop"
expect_page "Pop page 1 again" 1 browse_pop_page1.txt
expect_eq "Pop page 1 again: no request" "" "$(new_requests)"
expect_eq "Pop page 1 again: reuse messages" \
  "/tmp/hdd/root/irf/PopPage1.html is exist|/tmp/hdd/root/irf/PopPageTotal.xml is exist" \
  "$(grep 'is exist' "$OUT" | paste -sd '|')"

# An empty cached page is fetched again; so is an empty total file.
: >"$ROOT/PopPage2.html"
: >"$ROOT/PopPageTotal.xml"
browse "sgenre=Pop&startat=20"
expect_page "empty cached page" 1 browse_pop_page2.txt
expect_eq "empty cached page: requests" "$P1&limit=20,20 200
$P1 200" "$(new_requests)"

# A cached page is reused without looking into it: its stations are shown.
cp "$ROOT/PopPage3.html" "$WORK/page3"
cp "$ROOT/PopPage1.html" "$ROOT/PopPage3.html"
browse "sgenre=Pop&startat=40"
expect_eq "stale cached page: status" 1 "$RC"
expect_eq "stale cached page: first station" "Pop Central" "$(sed -n 47p "$EX/outfile_1")"
expect_eq "stale cached page: no request" "" "$(new_requests)"
cp "$WORK/page3" "$ROOT/PopPage3.html"

# --- All stations --------------------------------------------------------
browse "startat=0"
expect_page "all stations page 1" 1 browse_all_page1.txt
expect_eq "all stations page 1: requests" "${GENRE_Q}all&limit=0,20 200
${GENRE_Q}all 200" "$(new_requests)"
browse "startat=60"
expect_page "all stations page 4" 1 browse_all_page4.txt
expect_eq "all stations page 4: requests" "${GENRE_Q}all&limit=60,20 200" "$(new_requests)"

# --- Searches: each search text is its own query -------------------------
browse "startat=0" rock
expect_page "search rock" 1 browse_search_rock.txt
expect_eq "search rock: requests" "${SEARCH_Q}rock&limit=0,20 200
${SEARCH_Q}rock 200" "$(new_requests)"
browse "startat=0" jazz
expect_page "search jazz from the same link" 1 browse_search_jazz.txt
expect_eq "search jazz: requests" "${SEARCH_Q}jazz&limit=0,20 200
${SEARCH_Q}jazz 200" "$(new_requests)"
browse "startat=0" rock
expect_page "search rock again" 1 browse_search_rock.txt
expect_eq "search rock again: cached" "" "$(new_requests)"
# The all-stations page of the same link is still its own.
browse "startat=0" 0
expect_page "all stations after searches" 1 browse_all_page1.txt
expect_eq "all stations after searches: cached" "" "$(new_requests)"
# "&s=" in the link: the search text does not make a search.
browse "startat=0&s=rock" rock
expect_eq "&s= link: status" 1 "$RC"
expect_eq "&s= link: all stations, cached" "" "$(new_requests)"
expect_eq "&s= link: page file name" "/tmp/hdd/root/irf/Page1" "$(sed -n 205p "$EX/outfile_1")"

# --- Genre names that need encoding or would leave the storage root ------
browse "sgenre=Rock & Roll"
expect_page "Rock & Roll" 1 browse_rock_and_roll.txt
expect_eq "Rock & Roll: requests" "${GENRE_Q}Rock%20%26%20Roll&limit=0,20 200
${GENRE_Q}Rock%20%26%20Roll 200" "$(new_requests)"
expect_file "Rock & Roll: cache file" "$ROOT/Rock & RollPage1.html"
expect_file "Rock & Roll: total file" "$ROOT/Rock & RollPageTotal.xml"

browse "sgenre=../../x"
expect_eq "../../x: status" 1 "$RC"
expect_eq "../../x: requests" "${GENRE_Q}..%2F..%2Fx&limit=0,20 200
${GENRE_Q}..%2F..%2Fx 200" "$(new_requests)"
# The listing is empty, so neither its page nor its total file is kept.
expect_eq "../../x: nothing named after it" "" "$(find /tmp /usr/local/etc -name '*xPage*' 2>/dev/null | paste -sd '|')"
expect_eq "../../x: page file name" "/tmp/hdd/root/irf/.._.._xPage1" "$(sed -n 205p "$EX/outfile_1")"

# A genre holding "Page" has its own total file, not that of all stations.
browse "sgenre=Page 3"
expect_eq "Page 3: status" 1 "$RC"
expect_eq "Page 3: requests" "${GENRE_Q}Page%203&limit=0,20 200
${GENRE_Q}Page%203 200" "$(new_requests)"
expect_eq "Page 3: page total" 1 "$(sed -n 2p "$EX/outfile_1")"
expect_no_file "Page 3: its empty total not kept" "$ROOT/Page 3PageTotal.xml"

# Genre text that a shell would run: nothing is run, the files go as named.
browse 'sgenre=x;touch ran1;$(touch ran2)`touch ran3`'
expect_eq "shell text: status" 1 "$RC"
expect_no_file "shell text: page removed" "$ROOT/x;touch ran1;\$(touch ran2)\`touch ran3\`Page1.html"
browse 'sgenre=y;touch ran4'
expect_failed "shell text, failed download"
expect_eq "shell text: nothing ran" "" "$(ls "$WORK" | grep '^ran')"

# --- Long values ---------------------------------------------------------
browse "sgenre=Talk"
expect_page "Talk: name cut on a character boundary" 1 browse_talk.txt

# A search text whose URL would not fit: refused, nothing fetched.
browse "startat=0" "$(printf '%100s' '')"
expect_failed "search URL too long"
expect_eq "search URL too long: no request" "" "$(new_requests)"

# --- A page without stations ---------------------------------------------
browse "sgenre=Kids"
expect_page "Kids: no stations" 1 browse_kids_empty.txt
expect_no_file "Kids: page removed" "$ROOT/KidsPage1.html"
# A listing without stations is not kept either: asked for again next time.
expect_no_file "Kids: total removed" "$ROOT/KidsPageTotal.xml"
expect_eq "Kids: message" "ERROR:The Sation Total is 0, delete file:/tmp/hdd/root/irf/KidsPage1.html" \
  "$(grep ERROR "$OUT")"
browse "sgenre=Kids"
expect_eq "Kids again: page and total fetched again" "${GENRE_Q}Kids&limit=0,20 200
${GENRE_Q}Kids 200" "$(new_requests)"

# --- Download failures ---------------------------------------------------
before=$(root_files)
browse "sgenre=Anime"
expect_failed "404"
expect_bytes "404: stdout" "$OUT" "argv[0]=$BIN
argv[1]=GetActiveServers


read pageHref=sgenre=Anime!!!!!!


 794, VxShoutcastGetActiveServers, patch_Zorv_getlpls 
ZORV_IRADIO_FILE_DIR:'/tmp/hdd/root/irf', ZORV_IRADIO_FILE_DIR2:'/usr/local/etc/hdd/root/irf'
href='sgenre=Anime'


zavadod::station path=http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Anime&limit=0,20
zavadod::station down_file=/tmp/hdd/root/irf/AnimePage1.html
http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Anime&limit=0,20
exec $WGET_ARGV http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Anime&limit=0,20 -O /tmp/hdd/root/irf/AnimePage1.html failed
failed to Exec cmd
rm /tmp/hdd/root/irf/AnimePage1.html
"
expect_eq "404: requests" "${GENRE_Q}Anime&limit=0,20 404" "$(new_requests)"
browse "sgenre=Blues&startat=20"
expect_failed "500"
expect_eq "500: requests" "${GENRE_Q}Blues&limit=20,20 500" "$(new_requests)"
start=$SECONDS
browse "sgenre=Comedy"
expect_failed "time-out"
elapsed=$((SECONDS - start))
if [ "$elapsed" -ge 25 ] && [ "$elapsed" -le 45 ]; then pass; else fail "time-out: took ${elapsed}s"; fi
expect_eq "failures: no cache file left" "$before" "$(root_files)"

# The total listing fails, the page does not: one page, page total 1, and
# the next run asks for the total again.
browse "sgenre=Dance"
expect_page "total fails" 1 browse_dance_no_total.txt
expect_eq "total fails: requests" "${GENRE_Q}Dance&limit=0,20 200
${GENRE_Q}Dance 404" "$(new_requests)"
expect_no_file "total fails: no total file" "$ROOT/DancePageTotal.xml"
expect_eq "total fails: messages" "failed to Exec cmd|rm /tmp/hdd/root/irf/DancePageTotal.xml" \
  "$(grep -e '^failed' -e '^rm' "$OUT" | paste -sd '|')"

# Unloadable page and total listing: both removed, the next run fetches both.
browse "sgenre=Soul"
expect_eq "malformed: status" 1 "$RC"
expect_eq "malformed: station total" 0 "$(sed -n 204p "$EX/outfile_1")"
expect_eq "malformed: page total" 1 "$(sed -n 2p "$EX/outfile_1")"
expect_eq "malformed: nothing kept" "" "$(root_files | grep Soul)"
dirsim_ctl clear
browse "sgenre=Soul"
expect_eq "malformed, then good: both fetched" "${GENRE_Q}Soul&limit=0,20 200
${GENRE_Q}Soul 200" "$(new_requests)"
# Soul has no station: its empty listing is not kept.
expect_eq "malformed, then good: nothing kept" "" "$(root_files | grep Soul)"

# --- The page file cannot be put in place --------------------------------
rm -f "$EX/outfile_1"
mkdir "$EX/outfile_1"
browse "sgenre=Pop"
expect_eq "page file blocked: status" 0 "$RC"
expect_eq "page file blocked: nothing left behind" "infile_1 irf outfile_1" "$(ls -A "$EX" | paste -sd ' ')"
rmdir "$EX/outfile_1"

finish
