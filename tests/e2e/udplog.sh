#!/usr/bin/env bash
# udplog, the datagram listener that the other end-to-end tests read their
# trace datagrams through: its three output forms, --count, --timeout,
# --port, --ready and its option errors. Datagrams are sent to 127.0.0.1
# through bash's /dev/udp.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

UL=$TOOLS/udplog

# send PORT BYTES...: one datagram for each BYTES (a printf format).
send() {
  local port=$1 f
  shift
  for f; do
    printf "$f" >"$WORK/dgram"
    cat "$WORK/dgram" >"/dev/udp/127.0.0.1/$port"
  done
}
# listen OUTFILE ARGS...: starts udplog in the background, ready to receive.
listen() {
  local out=$1
  shift
  rm -f "$WORK/ul.ready"
  "$UL" --ready "$WORK/ul.ready" "$@" >"$out" 2>"$WORK/ul.err" &
  UL_PID=$!
  wait_for "$WORK/ul.ready"
}
# finished NAME: udplog ended by itself, with exit status 0.
finished() {
  local i rc=0
  for i in $(seq 50); do kill -0 "$UL_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$UL_PID" 2>/dev/null; then
    kill "$UL_PID"
    fail "$1: udplog still running"
    return
  fi
  wait "$UL_PID" || rc=$?
  expect_eq "$1: exit status" 0 "$rc"
}

# --escape: one line per datagram, C-style escapes.
listen "$WORK/esc" --escape --count 3
send 8888 'a\tb\001\\\r\n' 'plain text' '\377\177 ~'
finished "escape"
expect_bytes "escape: lines" "$WORK/esc" 'a\tb\x01\\\r\n
plain text
\xff\x7f ~
'

# --raw: the bytes as received, nothing added.
listen "$WORK/raw" --raw --count 3
send 8888 'abc' 'd\n' '\t\000x'
finished "raw"
# (a zero byte included, so compared with cmp)
if cmp -s "$WORK/raw" <(printf 'abcd\n\t\000x'); then pass; else fail "raw: bytes differ"; od -c "$WORK/raw" >&2; fi

# Default: as received, plus a line feed where a datagram lacks one.
listen "$WORK/human" --count 3
send 8888 '\t\tpatch_main[0078] : main\nstatus=0' 'ends in a line feed\n' 'x'
finished "human"
expect_bytes "human: lines" "$WORK/human" $'\t\tpatch_main[0078] : main\nstatus=0\nends in a line feed\nx\n'

# --port: only that port is heard.
listen "$WORK/port" --escape --port 9999 --count 1
send 8888 'not for 9999'
send 9999 'for 9999'
finished "port"
expect_bytes "port: datagram" "$WORK/port" $'for 9999\n'

# --timeout: ends after the given silence; each datagram starts it anew.
start=$(date +%s%N)
listen "$WORK/quiet" --timeout 0.5
finished "timeout"
ms=$((($(date +%s%N) - start) / 1000000))
if [ "$ms" -ge 500 ] && [ "$ms" -lt 4000 ]; then pass; else fail "timeout: ended after $ms ms"; fi
expect_bytes "timeout: nothing printed" "$WORK/quiet" ""
listen "$WORK/renew" --escape --timeout 1.5
for i in 1 2 3; do
  sleep 0.6
  send 8888 "$i"
done
finished "timeout renewed"
expect_bytes "timeout renewed: every datagram" "$WORK/renew" $'1\n2\n3\n'

# Options.
"$UL" --help >"$WORK/help" 2>&1
expect_eq "help: exit status" 0 "$?"
expect_eq "help: first line" "usage: udplog [--port N] [--count N] [--timeout SEC] [--raw | --escape] [--ready FILE]" \
  "$(head -n 1 "$WORK/help")"
for bad in "--count 0" "--count x" "--port 0" "--port 65536" "--timeout -1" "--timeout" "--bogus"; do
  read -r -a args <<<"$bad"
  rc=0
  "$UL" "${args[@]}" >"$WORK/bad.out" 2>"$WORK/bad.err" || rc=$?
  expect_eq "option error [$bad]: exit status" 2 "$rc"
  expect_bytes "option error [$bad]: no output" "$WORK/bad.out" ""
done
expect_bytes "unknown option message" "$WORK/bad.err" $'udplog: unknown option \'--bogus\' (see --help)\n'

finish
