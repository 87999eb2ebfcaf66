# Shared helpers for the end-to-end scripts. Each script runs inside one
# tools/sandbox (see tests/CMakeLists.txt), sources this file, runs the
# program and compares exact bytes, then calls `finish`.
#
# Environment from CTest: RADIODIR_BIN (the program), RADIODIR_TOOLS (built
# tools: dirsim, udplog), RADIODIR_SRC (the checkout), RADIODIR_EMULATOR
# (prefix such as qemu-mipsel for a cross build; usually empty),
# RADIODIR_DOWNLOADER (what tools/sandbox put at /sbin/wget: "gnu", the
# default, or "busybox"; checks of GNU wget's own behaviour look at it).
set -uo pipefail

BIN=${RADIODIR_BIN:?RADIODIR_BIN is not set}
TOOLS=${RADIODIR_TOOLS:?RADIODIR_TOOLS is not set}
SRC=${RADIODIR_SRC:?RADIODIR_SRC is not set}
read -r -a EMU <<<"${RADIODIR_EMULATOR:-}"
DOWNLOADER=${RADIODIR_DOWNLOADER:-gnu}
WORK=$(mktemp -d /tmp/e2e.XXXXXX)
chmod 755 "$WORK"  # test downloaders, run as the downloader's user, read their bodies here
EXP=$SRC/tests/e2e/expected
EX=/tmp/hdd/root          # exchange directory
ROOT=/tmp/hdd/root/irf    # disk storage root
FLASH=/usr/local/etc/hdd/root/irf
KEY=Lq3Vt8Nw5Rz1Hk6P      # the built-in developer key
# The Pop page's cache files; the playlist path of its station 1.
PAGE=$ROOT/PopPage1.html
TOTAL=$ROOT/PopPageTotal.xml
PLS=$ROOT/PopPage1_station1_8bcbecdc.pls        # station 1 of Pop page 1
FAV_PLS=$ROOT/favorite_station1_8bcbecdc.pls    # the same station as favourite 1
TUNEIN="/sbin/tunein-station.pls?id=99001&k=$KEY"
# Where the test downloader tests/e2e/bin/wget-argv-log records its calls.
export WGET_ARGV_LOG=/tmp/wget-argv.log

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy
cd "$WORK" || exit 1      # a shell run by mistake would leave its files here
BG_PIDS=()
cleanup() {
  local p
  for p in "${BG_PIDS[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  return 0
}
trap cleanup EXIT

# --- Running the program ----------------------------------------------------
# run ARGS...: runs radiodir; stdout in $OUT, stderr in $ERR, exit status in
# $RC. With RUN_LIMIT set, the run is killed after that many seconds (a hang
# shows as status 137). With RADIODIR_VALGRIND=1 the program runs under
# valgrind memcheck; any error or block left at exit fails the script.
# With CLOSED set ("1", "0 1 2"), those descriptors are closed instead.
OUT=$WORK/stdout
ERR=$WORK/stderr
RC=0
VG=()
if [ "${RADIODIR_VALGRIND:-0}" = 1 ]; then
  VG=(valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all --show-leak-kinds=all -q
      --log-file="$WORK/valgrind.log")
fi
run() {
  local limit=()
  [ -n "${RUN_LIMIT:-}" ] && limit=(timeout -s KILL "$RUN_LIMIT")
  RC=0
  (for fd in ${CLOSED:-}; do eval "exec $fd>&-"; done; exec "${limit[@]}" "${EMU[@]}" "${VG[@]}" "$BIN" "$@") \
    >"$OUT" 2>"$ERR" || RC=$?
  if [ ${#VG[@]} -gt 0 ] && [ -s "$WORK/valgrind.log" ]; then
    fail "valgrind: radiodir $*"
    cat "$WORK/valgrind.log" >&2
    : >"$WORK/valgrind.log"
  fi
}

# The three commands as the interface starts them; each first marks the
# request log and clears the datagrams, so that both show this run only.
# browse [LINK [ARG...]]: LINK (default sgenre=Pop) in infile_1.
browse() {
  printf '%s\n' "${1:-sgenre=Pop}" >"$EX/infile_1"
  shift
  mark
  run GetActiveServers "$@"
}
# station [INDEX]: station INDEX (default 1) of the page file.
station() { mark; run GetStationChannelList "${1:-1}"; }
# fav [RECORD]: RECORD in infile_3; by default favourite 1, station 1 of
# the Pop page.
FAV1="1
$TUNEIN
"
fav() {
  printf '%s' "${1-$FAV1}" >"$EX/infile_3"
  mark
  run GetFavStationChannelList
}
mark() { mark_log; clear_udplog; }
fresh_root() { rm -rf "$ROOT"; mkdir -p "$ROOT"; }

# --- Checks -------------------------------------------------------------------
PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); }
fail() {
  FAILED=$((FAILED + 1))
  echo "FAIL: $*" >&2
}
# expect_eq NAME EXPECTED ACTUAL
expect_eq() {
  if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi
}
# expect_bytes NAME FILE EXPECTED: FILE holds exactly the bytes EXPECTED
# (use $'...' or printf for control characters).
expect_bytes() {
  local name=$1 file=$2 expected=$3
  if [ ! -f "$file" ]; then fail "$name: $file is missing"; return; fi
  if cmp -s "$file" <(printf '%s' "$expected"); then
    pass
  else
    fail "$name: $file differs"
    diff <(printf '%s' "$expected") "$file" | head -n 20 >&2
  fi
}
# expect_same NAME FILE EXPECTED_FILE (a pipe such as <(...) too)
expect_same() {
  local want=$3
  if [ ! -f "$2" ]; then fail "$1: $2 is missing"; return; fi
  [ -f "$want" ] || { want=$WORK/expected; cat "$3" >"$want"; }
  if cmp -s "$2" "$want"; then pass; else fail "$1: $2 differs from $3"; diff "$want" "$2" | head -n 20 >&2; fi
}
expect_file() { if [ -f "$2" ]; then pass; else fail "$1: $2 is missing"; fi; }
expect_no_file() { if [ -e "$2" ]; then fail "$1: $2 should not exist"; else pass; fi; }
# expect_answer NAME STATUS FILE EXPECTED_FILE|-: the exit status (0 or 1;
# anything else is a crash, a hang or a usage error) and the whole answer
# file, or none ("-").
expect_answer() {
  expect_eq "$1: status" "$2" "$RC"
  if [ "$4" = - ]; then expect_no_file "$1: no ${3##*/}" "$3"; else expect_same "$1: ${3##*/}" "$3" "$4"; fi
}
# finish: the summary line CTest shows, and the script's exit status.
finish() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

# --- What the program leaves and prints -------------------------------------
# The storage root's files (of DIR, default the disk root), names only, on
# one line; the runs' lock file (".lock") left out, and by cache_files the
# count memos kept beside total files too.
root_files() { ls -A "${1:-$ROOT}" 2>/dev/null | grep -v '^\.lock$' | LC_ALL=C sort | paste -sd ' '; }
cache_files() { root_files "$@" | tr ' ' '\n' | grep -v '\.count$' | paste -sd ' '; }
# The failure and error lines on standard output, joined by "|".
messages() {
  grep -E -e '^exec ' -e '^failed to Exec cmd' -e '^rm ' -e "^Can't open" -e '^ERROR:' -e '^Failed' \
    -e 'mkdir error' -e '^/tmp/hdd/root/irf/.*\.pls$' "$OUT" | paste -sd '|'
}
# The argument echo radiodir prints for ARGS (argv[0] is the program).
echo_of() {
  local i=0 a
  for a in "$BIN" "$@"; do
    printf 'argv[%d]=%s\n' "$i" "$a"
    i=$((i + 1))
  done
}
# browse_head DIR LINK [ARG...]: what GetActiveServers ARG... prints up to
# the line naming DIR, the storage root it chose, having read LINK.
browse_head() {
  local dir=$1 link=$2
  shift 2
  echo_of GetActiveServers "$@"
  printf "\n\nread pageHref=%s!!!!!!\n\n\n 794, VxShoutcastGetActiveServers, patch_Zorv_getlpls \n" "$link"
  printf "ZORV_IRADIO_FILE_DIR:'%s', ZORV_IRADIO_FILE_DIR2:'%s'" "$dir" "$FLASH"
}
# The playlist path of station ID as a keyed page carries it, and the
# channel list of its N streams (the playlists of tests/data/stations.tsv:
# "File<n>=http://127.0.0.1:8000/stream/<id>/<n>", "Title<n>=(#<n>) <name>").
tunein() { printf '/sbin/tunein-station.pls?id=%s&k=%s' "$1" "$KEY"; }
channel_list() { # ID NAME N
  local k
  printf '%d\n' "$3"
  for ((k = 1; k <= $3; k++)); do printf 'http://127.0.0.1:8000/stream/%s/%d\n(#%d) %s\n' "$1" "$k" "$k" "$2"; done
}

# --- Trace datagrams ------------------------------------------------------------
# start_udplog: every datagram, one escaped line each, into $UDP (appended,
# so that clear_udplog truncates it without leaving a hole of zero bytes).
UDP=$WORK/udp.log
UDPLOG=0
start_udplog() {
  rm -f "$WORK/udplog.ready"
  "$TOOLS/udplog" --escape --ready "$WORK/udplog.ready" >>"$UDP" &
  BG_PIDS+=($!)
  UDPLOG=1
  wait_for "$WORK/udplog.ready"
}
# The datagrams received so far (lets in-flight ones arrive first).
datagrams() { sleep 0.2; cat "$UDP"; }
clear_udplog() { [ "$UDPLOG" = 0 ] || { sleep 0.2; : >"$UDP"; }; }
# A datagram's eight tabs as udplog --escape shows them; the source label
# of all but main's status line; main's status line after COMMAND (browse,
# station or fav) ended with STATUS.
TABS='\t\t\t\t\t\t\t\t'
LOGIC="${TABS}patch_Zorv_getlpls"
d_status() { # COMMAND STATUS
  local line op
  case $1 in
    browse) line=0078 op=VxShoutcastGetActiveServers ;;
    station) line=0093 op=VxGetStationChannelList ;;
    fav) line=0107 op=VxGetFavStationChannelList ;;
  esac
  printf '%spatch_main[%s] : main\\n%s returned with status=%d' "$TABS" "$line" "$op" "$2"
}

# --- The directory service --------------------------------------------------------
# start_dirsim ARGS...: the local directory service on 127.0.0.1:80; its
# request log in $DIRSIM_LOG.
DIRSIM_LOG=$WORK/dirsim.log
start_dirsim() {
  rm -f "$WORK/dirsim.ready"
  "$TOOLS/dirsim" --port 80 --log "$DIRSIM_LOG" --ready "$WORK/dirsim.ready" "$@" >"$WORK/dirsim.out" 2>&1 &
  BG_PIDS+=($!)
  wait_for "$WORK/dirsim.ready"
}
# Waits until FILE exists (a tool's ready mark), at most 10 s.
wait_for() {
  local i
  for i in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done
  echo "timed out waiting for $1" >&2
  return 1
}
# dirsim's run-time switches, through GNU wget (/sbin/wget may be another):
# dirsim_ctl clear, or fault RULE... (each percent-encoded) alone from now on.
dirsim_ctl() { /usr/bin/wget -q -O /dev/null "http://127.0.0.1/_dirsim/$1"; }
fault() {
  local r
  dirsim_ctl clear
  for r; do dirsim_ctl "fault?rule=$r"; done
}
# The requests since the last mark_log, joined by "|".
LOG_AT=0
mark_log() { LOG_AT=0; [ -f "$DIRSIM_LOG" ] && LOG_AT=$(wc -l <"$DIRSIM_LOG"); return 0; }
new_requests() { tail -n +$((LOG_AT + 1)) "$DIRSIM_LOG" | paste -sd '|'; }
# What the log says of requests, joined by "|": reqs QUERY[:STATUS]... for
# directory queries, given by what follows the key ("genre=Pop&limit=0,20",
# "search=rock"), pls_req ID for a station's playlist.
GENRE_Q="GET api.shoutcast.com /legacy/genresearch?k=$KEY&"
SEARCH_Q="GET api.shoutcast.com /legacy/stationsearch?k=$KEY&"
reqs() {
  local q
  for q; do
    case $q in *:*) ;; *) q+=:200 ;; esac
    case $q in genre=*) printf '%s' "$GENRE_Q" ;; *) printf '%s' "$SEARCH_Q" ;; esac
    printf '%s %s\n' "${q%:*}" "${q##*:}"
  done | paste -sd '|'
}
pls_req() { printf 'GET yp.shoutcast.com %s 200' "$(tunein "$1")"; }
