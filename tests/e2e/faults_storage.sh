#!/usr/bin/env bash
# The disk failing under the three commands: a storage root that is full (a
# small tmpfs), read-only, or a regular file, and an exchange directory
# "/tmp/hdd/root/" that cannot take the answer. GNU wget against
# tools/dirsim. A download that cannot be written fails and leaves nothing;
# a file that cannot be removed stays as it was; an answer that cannot be
# written gives status 0 and no answer file; a memo that cannot be written
# costs nothing. Once the disk is well again every command succeeds.
source "$(dirname "${BASH_SOURCE[0]}")/faults_lib.sh"

start_dirsim
PS=$(getconf PAGESIZE)
blocks() { echo $((($(wc -c <"$1") + PS - 1) / PS)); }

# fails NAME [quiet] COMMAND...: each COMMAND's download cannot be written
# (PAGE1 the page file): status 0, no answer, the failed download's lines.
# With "quiet" the downloader is not even started: on a read-only disk the
# download could not be recorded, so nothing is fetched.
fails() {
  local name=$1 quiet='' cmd
  shift
  [ "$1" = quiet ] && { quiet=quiet; shift; }
  for cmd; do
    cp "$PAGE1" "$EX/outfile_1"
    $cmd
    expect_answer "$name, $cmd" 0 "${ANSWER[$cmd]}" -
    expect_eq "$name, $cmd: messages" "$(failed_lines "${cmd/browse/page}" $quiet)" "$(messages)"
  done
  expect_no_tmp "$name"
}
# tmpfs [OPTIONS]: a fresh tmpfs as the storage root.
tmpfs() { mount -t tmpfs ${1:+-o "$1"} rootfs "$ROOT"; }

fresh_root

# --- Full ---------------------------------------------------------------------
# Room for the page only: the total listing does not fit, page total 1.
tmpfs size=$(($(blocks "$PAGE_XML") * PS))
browse
expect_answer "room for the page" 1 "$EX/outfile_1" "$PAGE1_NO_TOTAL"
expect_eq "room for the page: messages" "$(failed_lines total)" "$(messages)"
expect_eq "room for the page: cache" "PopPage1.html" "$(root_files)"
expect_same "room for the page: page file" "$PAGE" "$PAGE_XML"
expect_no_tmp "room for the page"
# Now no room for a playlist either.
fails "full" station fav
expect_eq "full: cache" "PopPage1.html" "$(root_files)"
umount "$ROOT"

# Room for page and total, none for the count memo: a whole answer all the
# same, and again on the next run.
tmpfs size=$((($(blocks "$PAGE_XML") + $(blocks "$TOTAL_XML")) * PS))
for run in 1 2; do
  browse
  expect_answer "no room for the memo ($run)" 1 "$EX/outfile_1" "$PAGE1"
  expect_eq "no room for the memo ($run): cache" "PopPage1.html PopPageTotal.xml" "$(root_files)"
  expect_no_tmp "no room for the memo ($run)"
done
umount "$ROOT"

# No room at all: nothing fetched, nothing left; room again: all fetched.
tmpfs size=64k
head -c 1M /dev/zero >"$ROOT/filler" 2>/dev/null
fails "no room" browse station fav
expect_eq "no room: cache" "filler" "$(root_files)"
rm "$ROOT/filler"
all_well "room again"
expect_eq "room again: all fetched" 4 "$(new_requests | tr '|' '\n' | grep -c ' 200$')"
umount "$ROOT"

# --- Past the cache's budget (256 MiB) -----------------------------------------
# Sparse files, used long ago, oldest first: A, B (a total with its memo), C;
# and a file that is no cache file. The run's own downloads are spared; the
# oldest go until the cache is within its budget.
fresh_root
old() { truncate -s "$2" "$ROOT/$1" && touch -a -d "$3" "$ROOT/$1"; }
old AOldPage1.html 10M 2001-01-01
old BOldPageTotal.xml 100M 2002-01-01
old BOldPageTotal.xml.count 52 2002-01-01
old COld_station1_00000000.pls 200M 2003-01-01
old notes.txt 300M 2000-01-01
browse
expect_answer "past the budget" 1 "$EX/outfile_1" "$PAGE1"
expect_eq "past the budget: the oldest gone" \
  "COld_station1_00000000.pls PopPage1.html PopPageTotal.xml PopPageTotal.xml.count notes.txt" "$(root_files)"
# Within the budget, nothing goes: a cached page counts as used.
old DOldPage2.html 40M 2004-01-01
touch -a -d 2001-01-01 "$PAGE"
before=$(date +%s)
browse
expect_eq "within the budget: all stay" \
  "COld_station1_00000000.pls DOldPage2.html PopPage1.html PopPageTotal.xml PopPageTotal.xml.count notes.txt" \
  "$(root_files)"
[ "$(stat -c %X "$PAGE")" -ge "$before" ] && pass || fail "within the budget: the reused page not counted as used"

# --- Read-only ----------------------------------------------------------------
tmpfs ro
fails "read-only, empty" quiet browse station fav
umount "$ROOT"

# A whole cache on a read-only disk serves every command without a download.
tmpfs
seed_cache
mount -o remount,ro "$ROOT"
all_well "read-only, whole cache"
expect_eq "read-only, whole cache: no request" "" "$(new_requests)"
umount "$ROOT"

# Files that would be removed stay: an empty page (fetched again, which
# fails), an unloadable total (page total 1), a cached text that is no
# playlist.
tmpfs
: >"$PAGE"
printf '<stationlist>\n' >"$TOTAL"
printf '<html></html>\n' >"$PLS"
mount -o remount,ro "$ROOT"
fails "read-only, empty page" quiet browse
expect_eq "read-only, empty page: still there" 0 "$(wc -c <"$PAGE")"
mount -o remount,rw "$ROOT"
seed_page
mount -o remount,ro "$ROOT"
browse
expect_answer "read-only, unloadable total" 1 "$EX/outfile_1" "$PAGE1_NO_TOTAL"
expect_eq "read-only, unloadable total: messages" "Can't open the file:$TOTAL" "$(messages)"
expect_bytes "read-only, unloadable total: still there" "$TOTAL" $'<stationlist>\n'
station
expect_answer "read-only, no playlist" 0 "$EX/outfile_2" -
expect_bytes "read-only, no playlist: still there" "$PLS" $'<html></html>\n'
expect_no_tmp "read-only, files to remove"
umount "$ROOT"
all_well "writable again"

# --- A regular file in place of the storage root ----------------------------------
rm -rf "$ROOT"
printf 'not a directory\n' >"$ROOT"
browse
expect_answer "regular file" 0 "$EX/outfile_1" -
expect_eq "regular file: messages" "File exists, mkdir error: '$ROOT'" "$(messages)"
# The playlist commands cannot even take the cache's lock: they fail at once.
cp "$PAGE1" "$EX/outfile_1"
for cmd in station fav; do
  $cmd
  expect_eq "regular file, $cmd: status" 0 "$RC"
  expect_eq "regular file, $cmd: messages" "" "$(messages)"
done
expect_bytes "regular file: untouched" "$ROOT" $'not a directory\n'
rm "$ROOT"
all_well "directory again"

# --- The exchange directory read-only --------------------------------------------
# A prepared exchange directory bound over "/tmp/hdd/root/" and made
# read-only; the storage root inside it stays writable. Each command gets as
# far as its answer, which it cannot write: status 0, no answer file.
mkdir -p "$WORK/exchange/irf" "$WORK/irf"
printf 'sgenre=Pop\n' >"$WORK/exchange/infile_1"
printf '%s' "$FAV1" >"$WORK/exchange/infile_3"
bind_exchange() { # [OLD-PAGE-FILE]: left there as outfile_1
  rm -f "$WORK/exchange/outfile_1"
  [ -z "${1:-}" ] || cp "$1" "$WORK/exchange/outfile_1"
  mount --bind "$WORK/exchange" "$EX"
  mount -o remount,bind,ro "$EX"
  mount --bind "$WORK/irf" "$ROOT"
}
unbind_exchange() { umount "$ROOT"; umount "$EX"; }
bind_exchange
mark_log
run GetActiveServers
expect_answer "read-only exchange" 0 "$EX/outfile_1" -
expect_eq "read-only exchange: messages" "" "$(messages)"
expect_eq "read-only exchange: fetched" 2 "$(new_requests | tr '|' '\n' | grep -c ' 200$')"
run GetFavStationChannelList
expect_answer "read-only exchange, favourite" 0 "$EX/outfile_3" -
expect_eq "read-only exchange, favourite: playlist read" 1 "$(grep -c ' read_file,' "$OUT")"
expect_no_tmp "read-only exchange"
unbind_exchange
# An old answer that cannot be removed stays whole; as the page file, its
# station's answer cannot be written either.
bind_exchange "$PAGE1_EMPTY"
run GetActiveServers
expect_answer "read-only exchange, old answer" 0 "$EX/outfile_1" "$PAGE1_EMPTY"
unbind_exchange
bind_exchange "$PAGE1"
run GetStationChannelList 1
expect_answer "read-only exchange, station" 0 "$EX/outfile_2" -
expect_eq "read-only exchange, station: playlist read" 1 "$(grep -c ' read_file,' "$OUT")"
expect_no_tmp "read-only exchange, old answer"
# Writable again: the page fetched by the failed runs is reused.
mount -o remount,bind,rw "$EX"
mark_log
run GetActiveServers
expect_answer "exchange writable again" 1 "$EX/outfile_1" "$PAGE1"
expect_eq "exchange writable again: no request" "" "$(new_requests)"
unbind_exchange

# --- The exchange directory full --------------------------------------------------
# The answers are written, but not to the end: each command gives status 0
# and leaves neither the answer nor its temporary file.
mount -t tmpfs -o size=64k exfull "$EX"
mkdir "$ROOT"
mount --bind "$WORK/irf" "$ROOT"
printf 'sgenre=Pop\n' >"$EX/infile_1"
printf '%s' "$FAV1" >"$EX/infile_3"
cp "$PAGE1" "$EX/outfile_1"
head -c 1M /dev/zero >"$EX/filler" 2>/dev/null
run GetStationChannelList 1
expect_answer "full exchange, station" 0 "$EX/outfile_2" -
run GetFavStationChannelList
expect_answer "full exchange, favourite" 0 "$EX/outfile_3" -
# The old page file is gone before the new one is written: its room too.
rm "$EX/outfile_1"
head -c 1M /dev/zero >>"$EX/filler" 2>/dev/null
run GetActiveServers
expect_answer "full exchange, page" 0 "$EX/outfile_1" -
expect_no_tmp "full exchange"
rm "$EX/filler"
all_well "exchange with room again"
umount "$ROOT"
umount "$EX"

# --- Started with standard descriptors closed: nothing printed into a file -------
for closed in 1 2 "0 1 2"; do
  fresh_root
  CLOSED=$closed all_well "closed $closed"
  expect_eq "closed $closed: printed into" "" "$(grep -rlF -e 'argv[0]=' -e 'HTTP request sent' /tmp/hdd)"
done

finish
