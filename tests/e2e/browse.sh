#!/usr/bin/env bash
# GetActiveServers end to end on the disk storage root: GNU wget as the
# downloader against tools/dirsim (tests/data/stations.tsv: 63 stations, 45
# of them Pop). Page files are compared byte for byte with the files under
# tests/e2e/expected/, which the player's interface reads; the request log
# of dirsim shows what was downloaded and what was reused. The standard
# output and datagrams of a page fetched, a page cached and a page whose
# download fails are pinned here whole.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

start_udplog
start_dirsim --fault 404:genre=Anime --fault slow:genre=Comedy --fault '404:genre=y%3B'

# --- First page of a genre: the whole run -------------------------------
URL="http://api.shoutcast.com/legacy/genresearch?k=$KEY"
WGET="/sbin/wget -t 1 -T 30 -nd"
D_ENTRY="${LOGIC}[0793] : VxShoutcastGetActiveServers\\npageHref: sgenre=Pop, SearchKey:\"0\"
${LOGIC}[0131] : VxOpenDirectory\\n"
TAIL_OUT="parse_homepage::$ROOT/PopPage1.html


stationtotal =20
pagetotal=4, pagenum=1
prevpagehref =sgenre=Pop&startat=0
nextpagehref =sgenre=Pop&startat=20
pagefilename = '$ROOT/PopPage1'
"
browse
expect_answer "Pop page 1" 1 "$EX/outfile_1" "$EXP/browse_pop_page1.txt"
expect_bytes "Pop page 1: stdout" "$OUT" "$(browse_head "$ROOT" sgenre=Pop)
ZORV_IRADIO_FILE_DIR:$ROOT
pathname:$ROOT
href='sgenre=Pop'


zavadod::station path=$URL&genre=Pop&limit=0,20
zavadod::station down_file=$ROOT/PopPage1.html
$URL&genre=Pop&limit=0,20


zavadod::total path=$URL&genre=Pop
zavadod::total down_file=$ROOT/PopPageTotal.xml
$URL&genre=Pop
$TAIL_OUT"
expect_eq "Pop page 1: datagrams" "$D_ENTRY
${LOGIC}[0141] : VxOpenDirectory\\nNo such file or directory
${LOGIC}[0152] : VxFileMkdir\\n
${LOGIC}[0073] : ExecvCmd\\n****argv :  $WGET $URL&genre=Pop&limit=0,20 -O $ROOT/PopPage1.html NULL
${LOGIC}[0073] : ExecvCmd\\n****argv :  $WGET $URL&genre=Pop -O $ROOT/PopPageTotal.xml NULL
$(d_status browse 1)" "$(datagrams)"
expect_eq "Pop page 1: requests" "$(reqs 'genre=Pop&limit=0,20' genre=Pop)" "$(new_requests)"
expect_eq "Pop page 1: cache" "PopPage1.html PopPageTotal.xml" "$(cache_files)"

# --- The same page again: both files reused from the disk -----------------
browse
expect_answer "Pop page 1 cached" 1 "$EX/outfile_1" "$EXP/browse_pop_page1.txt"
expect_bytes "Pop page 1 cached: stdout" "$OUT" "$(browse_head "$ROOT" sgenre=Pop)
href='sgenre=Pop'
$ROOT/PopPage1.html is exist


zavadod::total path=$URL&genre=Pop
zavadod::total down_file=$ROOT/PopPageTotal.xml
$ROOT/PopPageTotal.xml is exist
$TAIL_OUT"
expect_eq "Pop page 1 cached: datagrams" "$D_ENTRY
${LOGIC}[0162] : VxCloseDirectory\\n
$(d_status browse 1)" "$(datagrams)"
expect_eq "Pop page 1 cached: no request" "" "$(new_requests)"

# --- Pages, all stations and searches -----------------------------------
# page LINK SEARCH|- EXPECTED-FILE|"" REQUEST...: one run, its status 1,
# its page file and its requests (none: the page and its total reused). The
# first page of a listing brings its total listing; each search text is its
# own listing.
page() {
  local link=$1 search=$2 want=$3 c="$1 $2"
  shift 3
  if [ "$search" = - ]; then browse "$link"; else browse "$link" "$search"; fi
  expect_eq "$c: status" 1 "$RC"
  [ -z "$want" ] || expect_same "$c: page file" "$EX/outfile_1" "$EXP/$want"
  expect_eq "$c: requests" "$(reqs "$@")" "$(new_requests)"
}
page "sgenre=Pop&startat=20" - browse_pop_page2.txt 'genre=Pop&limit=20,20'
page "sgenre=Pop&startat=40" - browse_pop_page3.txt 'genre=Pop&limit=40,20'   # the last links to itself
page "startat=0" - browse_all_page1.txt 'genre=all&limit=0,20' genre=all
page "startat=60" - browse_all_page4.txt 'genre=all&limit=60,20'
page "startat=0" rock browse_search_rock.txt 'search=rock&limit=0,20' search=rock
page "startat=0" jazz browse_search_jazz.txt 'search=jazz&limit=0,20' search=jazz
page "startat=0" rock browse_search_rock.txt
page "startat=0" 0 browse_all_page1.txt   # the all-stations page of the same link is its own
page "sgenre=Rock & Roll" - browse_rock_and_roll.txt 'genre=Rock%20%26%20Roll&limit=0,20' 'genre=Rock%20%26%20Roll'
expect_file "Rock & Roll: cache file" "$ROOT/Rock & RollPage1.html"
expect_file "Rock & Roll: total file" "$ROOT/Rock & RollPageTotal.xml"
page "sgenre=Talk" - browse_talk.txt 'genre=Talk&limit=0,20' genre=Talk   # a name cut on a character boundary

# "&s=" in the link: the search text does not make a search.
page "startat=0&s=rock" rock ""   # all stations, cached
expect_eq "&s= link: page file name" "$ROOT/Page1" "$(sed -n 205p "$EX/outfile_1")"

# --- Cached files ---------------------------------------------------------
# An empty cached page is fetched again; so is an empty total file.
: >"$ROOT/PopPage2.html"
: >"$TOTAL"
page "sgenre=Pop&startat=20" - browse_pop_page2.txt 'genre=Pop&limit=20,20' genre=Pop
# A cached page is reused without looking into it: its stations are shown.
cp "$ROOT/PopPage3.html" "$WORK/page3"
cp "$PAGE" "$ROOT/PopPage3.html"
browse "sgenre=Pop&startat=40"
expect_eq "stale cached page: status" 1 "$RC"
expect_eq "stale cached page: first station" "Pop Central" "$(sed -n 47p "$EX/outfile_1")"
expect_eq "stale cached page: no request" "" "$(new_requests)"
cp "$WORK/page3" "$ROOT/PopPage3.html"
# A link whose offset is no whole page neither reuses nor leaves a page
# cache file: page 1's stays that of startat=0, however often asked.
cp "$PAGE" "$WORK/page1"
for run in 1 2; do
  page "sgenre=Pop&startat=10" - "" 'genre=Pop&limit=10,20'
  expect_eq "offset 10 ($run): first station, the 11th" "$(sed -n 127p "$EXP/browse_pop_page1.txt")" "$(sed -n 47p "$EX/outfile_1")"
  expect_same "offset 10 ($run): page 1's cache file untouched" "$PAGE" "$WORK/page1"
  expect_eq "offset 10 ($run): no temporary file" "" "$(find "$ROOT" -name '*.tmp*')"
done

# --- Genre names that would leave the storage root or run -----------------
page "sgenre=../../x" - "" 'genre=..%2F..%2Fx&limit=0,20' 'genre=..%2F..%2Fx'
# The listing is empty, so neither its page nor its total file is kept.
expect_eq "../../x: nothing named after it" "" "$(find /tmp /usr/local/etc -name '*xPage*' 2>/dev/null | paste -sd '|')"
expect_eq "../../x: page file name" "$ROOT/.._.._xPage1" "$(sed -n 205p "$EX/outfile_1")"

# A genre holding "Page" has its own total file, not that of all stations.
page "sgenre=Page 3" - "" 'genre=Page%203&limit=0,20' 'genre=Page%203'
expect_eq "Page 3: page total" 1 "$(sed -n 2p "$EX/outfile_1")"
expect_no_file "Page 3: its empty total not kept" "$ROOT/Page 3PageTotal.xml"

# Genre text that a shell would run: nothing is run, the files go as named.
browse 'sgenre=x;touch ran1;$(touch ran2)`touch ran3`'
expect_eq "shell text: status" 1 "$RC"
expect_no_file "shell text: page removed" "$ROOT/x;touch ran1;\$(touch ran2)\`touch ran3\`Page1.html"
browse 'sgenre=y;touch ran4'
expect_answer "shell text, failed download" 0 "$EX/outfile_1" -
expect_eq "shell text: nothing ran" "" "$(ls "$WORK" | grep '^ran')"

# A search text whose URL would not fit: refused, nothing fetched.
browse "startat=0" "$(printf '%100s' '')"
expect_answer "search URL too long" 0 "$EX/outfile_1" -
expect_eq "search URL too long: no request" "" "$(new_requests)"

# --- A page without stations ---------------------------------------------
# Neither the page nor the listing is kept: both asked for again next time.
for run in 1 2; do
  page "sgenre=Kids" - browse_kids_empty.txt 'genre=Kids&limit=0,20' genre=Kids
  expect_eq "Kids: message" "ERROR:The Sation Total is 0, delete file:$ROOT/KidsPage1.html" "$(messages)"
  expect_eq "Kids: page and total removed" "" "$(cache_files | tr ' ' '\n' | grep Kids)"
done

# --- Download failures ---------------------------------------------------
before=$(cache_files)
browse "sgenre=Anime"
expect_answer "404" 0 "$EX/outfile_1" -
expect_bytes "404: stdout" "$OUT" "$(browse_head "$ROOT" sgenre=Anime)
href='sgenre=Anime'


zavadod::station path=$URL&genre=Anime&limit=0,20
zavadod::station down_file=$ROOT/AnimePage1.html
$URL&genre=Anime&limit=0,20
exec $WGET $URL&genre=Anime&limit=0,20 -O $ROOT/AnimePage1.html failed
failed to Exec cmd
rm $ROOT/AnimePage1.html
"
expect_eq "404: datagrams" "${D_ENTRY/=Pop/=Anime}
${LOGIC}[0162] : VxCloseDirectory\\n
${LOGIC}[0073] : ExecvCmd\\n****argv :  $WGET $URL&genre=Anime&limit=0,20 -O $ROOT/AnimePage1.html NULL
$(d_status browse 0)" "$(datagrams)"
expect_eq "404: requests" "$(reqs 'genre=Anime&limit=0,20:404')" "$(new_requests)"
# A service that does not answer: the download gives up after its 30 s.
start=$SECONDS
browse "sgenre=Comedy"
expect_answer "time-out" 0 "$EX/outfile_1" -
elapsed=$((SECONDS - start))
if [ "$elapsed" -ge 25 ] && [ "$elapsed" -le 45 ]; then pass; else fail "time-out: took ${elapsed}s"; fi
expect_eq "failures: no cache file left" "$before" "$(cache_files)"

finish
