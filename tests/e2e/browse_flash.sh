#!/usr/bin/env bash
# GetActiveServers end to end on the flash storage root (the sandbox's
# --flash makes the file-system status query fail while "/tmp/hdd/root/"
# exists): the flash root is chosen and created, every page is fetched anew,
# a total file goes once counted and its count memo stands for it, the
# "*.html" clean-up leaves the memos and everything else alone, and a cache
# name longer than its buffer is refused before any download. What
# the page request prints beyond that is pinned on the disk (browse.sh).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

start_udplog
start_dirsim
flash_head() { # LINK [SEARCH]: the run's stdout up to the link it acts on
  browse_head "$FLASH" "$@"
  printf '\nrm %s/*.html' "$FLASH"
}

# --- A link without either key, on a fresh device: the flash root is made ---
browse nothing
expect_eq "flash root made: status" 0 "$RC"
expect_bytes "flash root made: stdout" "$OUT" "$(flash_head nothing)ZORV_IRADIO_FILE_DIR:$FLASH
pathname:$FLASH
href='nothing'
"
expect_eq "flash root made: datagrams" "${LOGIC}[0793] : VxShoutcastGetActiveServers\\npageHref: nothing, SearchKey:\"0\"
${LOGIC}[0131] : VxOpenDirectory\\n
${LOGIC}[0141] : VxOpenDirectory\\nNo such file or directory
${LOGIC}[0152] : VxFileMkdir\\n
$(d_status browse 0)" "$(datagrams)"
expect_eq "flash root made: only it" "irf" "$(ls -A /usr/local/etc/hdd/root)"
expect_eq "flash root made: no request" "" "$(new_requests)"

# --- A page: downloaded to flash ------------------------------------------
LINK="sgenre=Pop&startat=20"
browse "$LINK"
expect_answer "flash page 2" 1 "$EX/outfile_1" "$EXP/browse_flash_pop_page2.txt"
expect_eq "flash page 2: stdout" "$(flash_head "$LINK")href='$LINK'" "$(head -n 10 "$OUT")"
expect_eq "flash page 2: files on flash" "zavadod::station down_file=$FLASH/PopPage2.html|zavadod::total down_file=$FLASH/PopPageTotal.xml|parse_homepage::$FLASH/PopPage2.html|pagefilename = '$FLASH/PopPage2'" \
  "$(grep -e down_file -e parse_homepage -e pagefilename "$OUT" | paste -sd '|')"
expect_eq "flash page 2: requests" "$(reqs 'genre=Pop&limit=20,20' genre=Pop)" "$(new_requests)"
expect_eq "flash page 2: cache" "PopPage2.html PopPageTotal.xml.count" "$(root_files "$FLASH")"
expect_no_file "flash page 2: nothing on the disk root" "$ROOT"

# The same page again: fetched anew, the count from the memo. Other files
# in the storage root stay; only regular "*.html" files go.
mkdir "$FLASH/keep.html"
: >"$FLASH/keep.html/inner.html"
echo x >"$FLASH/3_0a0b0c0d.pls"
echo x >"$FLASH/note.html.txt"
echo x >"$FLASH/PopPage1.html"
browse "$LINK"
expect_answer "flash again" 1 "$EX/outfile_1" "$EXP/browse_flash_pop_page2.txt"
expect_eq "flash again: stdout" "$(flash_head "$LINK")href='$LINK'" "$(head -n 10 "$OUT")"
expect_eq "flash again: page fetched, count from the memo" "$(reqs 'genre=Pop&limit=20,20')" "$(new_requests)"
expect_eq "flash again: memo used" "$FLASH/PopPageTotal.xml.count is exist" "$(grep 'is exist' "$OUT")"
expect_eq "flash again: cache" "3_0a0b0c0d.pls PopPage2.html PopPageTotal.xml.count keep.html note.html.txt" \
  "$(root_files "$FLASH")"
expect_file "flash again: directory contents untouched" "$FLASH/keep.html/inner.html"

# --- Searches keep their own count memos ----------------------------------
browse "startat=0" rock
expect_eq "flash search rock: status" 1 "$RC"
browse "startat=0" jazz
expect_eq "flash search jazz: status" 1 "$RC"
expect_eq "flash search jazz: fetched" "$(reqs 'search=jazz&limit=0,20' search=jazz)" "$(new_requests)"
expect_eq "flash searches: cache" \
  "3_0a0b0c0d.pls PopPageTotal.xml.count Search_153ddef0Page1.html Search_153ddef0PageTotal.xml.count Search_3a1b4ab4PageTotal.xml.count keep.html note.html.txt" \
  "$(root_files "$FLASH")"
browse "startat=0" rock
expect_eq "flash search rock again: page fetched, count from the memo" "$(reqs 'search=rock&limit=0,20')" "$(new_requests)"

# --- A cache name that would not fit: refused before any download ---------
# 27 + "/" + 47 + "Search_3a1b4ab4" + "Page1" + ".html" = 100 characters.
G47=$(printf 'G%.0s' {1..47})
browse "sgenre=$G47" rock
expect_answer "cache name too long" 0 "$EX/outfile_1" -
expect_eq "cache name too long: no request" "" "$(new_requests)"
expect_bytes "cache name too long: stdout" "$OUT" "$(flash_head "sgenre=$G47" rock)href='sgenre=$G47'
"
# One character less fits.
browse "sgenre=${G47:1}" rock
expect_eq "cache name of 99: status" 1 "$RC"
expect_eq "cache name of 99: fetched, with its own total" "$(reqs 'search=rock&limit=0,20' search=rock)" "$(new_requests)"

finish
