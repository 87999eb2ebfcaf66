#!/usr/bin/env bash
# GetActiveServers end to end on the flash storage root (the sandbox's
# --flash makes the file-system status query fail): every page is fetched
# anew, the "*.html" clean-up leaves total files and everything else alone,
# and a cache name longer than its buffer is refused before any download.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1

KEY=Lq3Vt8Nw5Rz1Hk6P
EXP=$SRC/tests/e2e/expected
GENRE_Q="GET api.shoutcast.com /legacy/genresearch?k=$KEY&genre="
SEARCH_Q="GET api.shoutcast.com /legacy/stationsearch?k=$KEY&search="
TABS='\t\t\t\t\t\t\t\t'

browse() {
  printf '%s\n' "$1" >"$EX/infile_1"
  shift
  LOG_AT=$(wc -l <"$DIRSIM_LOG")
  run GetActiveServers "$@"
}
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG"; }
flash_files() { ls -A "$FLASH" | grep -v -e '\.count$' -e '^\.lock$' | LC_ALL=C sort | paste -sd '|'; }
# head_of_run LINK [SEARCH]: the stdout of one run up to its storage-root line.
head_of_run() {
  printf 'argv[0]=%s\nargv[1]=GetActiveServers\n' "$BIN"
  [ $# -gt 1 ] && printf 'argv[2]=%s\n' "$2"
  printf '\n\nread pageHref=%s!!!!!!\n\n\n 794, VxShoutcastGetActiveServers, patch_Zorv_getlpls \n' "$1"
  printf "ZORV_IRADIO_FILE_DIR:'%s', ZORV_IRADIO_FILE_DIR2:'%s'\\n" "$FLASH" "$FLASH"
}

start_udplog
start_dirsim

# --- First request: the storage root is created --------------------------
clear_udplog
browse "sgenre=Pop&startat=20"
expect_eq "flash page 2: status" 1 "$RC"
expect_same "flash page 2: page file" "$EX/outfile_1" "$EXP/browse_flash_pop_page2.txt"
expect_bytes "flash page 2: stdout" "$OUT" "$(head_of_run "sgenre=Pop&startat=20")
rm $FLASH/*.htmlZORV_IRADIO_FILE_DIR:$FLASH
pathname:$FLASH
href='sgenre=Pop&startat=20'


zavadod::station path=http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=20,20
zavadod::station down_file=$FLASH/PopPage2.html
http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop&limit=20,20


zavadod::total path=http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop
zavadod::total down_file=$FLASH/PopPageTotal.xml
http://api.shoutcast.com/legacy/genresearch?k=$KEY&genre=Pop
parse_homepage::$FLASH/PopPage2.html


stationtotal =20
pagetotal=4, pagenum=2
prevpagehref =sgenre=Pop&startat=0
nextpagehref =sgenre=Pop&startat=40
pagefilename = '$FLASH/PopPage2'
"
expect_eq "flash page 2: entry datagram" \
  "${TABS}patch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\\npageHref: sgenre=Pop&startat=20, SearchKey:\"0\"" \
  "$(datagrams | grep VxShoutcastGetActiveServers | grep -v patch_main)"
expect_eq "flash page 2: requests" "${GENRE_Q}Pop&limit=20,20 200
${GENRE_Q}Pop 200" "$(new_requests)"
expect_eq "flash page 2: files" "PopPage2.html|PopPageTotal.xml" "$(flash_files)"
expect_no_file "flash page 2: nothing on the disk root" "$ROOT"

# --- The same page again: fetched anew, the total file reused ------------
# Other files in the storage root stay; only regular "*.html" files go.
mkdir "$FLASH/keep.html"
: >"$FLASH/keep.html/inner.html"
echo x >"$FLASH/3_0a0b0c0d.pls"
echo x >"$FLASH/note.html.txt"
echo x >"$FLASH/PopPage1.html"
browse "sgenre=Pop&startat=20"
expect_eq "flash again: status" 1 "$RC"
expect_same "flash again: page file" "$EX/outfile_1" "$EXP/browse_flash_pop_page2.txt"
expect_eq "flash again: page fetched, total reused" "${GENRE_Q}Pop&limit=20,20 200" "$(new_requests)"
expect_eq "flash again: stdout" "$(head_of_run "sgenre=Pop&startat=20")
rm $FLASH/*.htmlhref='sgenre=Pop&startat=20'" "$(head -n 10 "$OUT")"
expect_eq "flash again: total reused" "$FLASH/PopPageTotal.xml is exist" "$(grep 'is exist' "$OUT")"
expect_eq "flash again: files" "3_0a0b0c0d.pls|PopPage2.html|PopPageTotal.xml|keep.html|note.html.txt" \
  "$(flash_files)"
expect_file "flash again: directory contents untouched" "$FLASH/keep.html/inner.html"

# --- Searches keep their own total files ----------------------------------
browse "startat=0" rock
expect_eq "flash search rock: status" 1 "$RC"
browse "startat=0" jazz
expect_eq "flash search jazz: status" 1 "$RC"
expect_eq "flash search jazz: fetched" "${SEARCH_Q}jazz&limit=0,20 200
${SEARCH_Q}jazz 200" "$(new_requests)"
expect_eq "flash searches: files" \
  "3_0a0b0c0d.pls|PopPageTotal.xml|Search_153ddef0Page1.html|Search_153ddef0PageTotal.xml|Search_3a1b4ab4PageTotal.xml|keep.html|note.html.txt" \
  "$(flash_files)"
browse "startat=0" rock
expect_eq "flash search rock again: page fetched, total reused" "${SEARCH_Q}rock&limit=0,20 200" "$(new_requests)"

# --- A cache name that would not fit: refused before any download ---------
# 27 + "/" + 47 + "Search_3a1b4ab4" + "Page1" + ".html" = 100 characters.
G47=$(printf 'G%.0s' {1..47})
browse "sgenre=$G47" rock
expect_eq "cache name too long: status" 0 "$RC"
expect_no_file "cache name too long: page file" "$EX/outfile_1"
expect_eq "cache name too long: no request" "" "$(new_requests)"
expect_bytes "cache name too long: stdout" "$OUT" "$(head_of_run "sgenre=$G47" rock)
rm $FLASH/*.htmlhref='sgenre=$G47'
"
# One character less fits.
browse "sgenre=${G47:1}" rock
expect_eq "cache name of 99: status" 1 "$RC"
expect_eq "cache name of 99: fetched, with its own total" "${SEARCH_Q}rock&limit=0,20 200
${SEARCH_Q}rock 200" "$(new_requests)"

finish
