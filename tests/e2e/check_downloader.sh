#!/usr/bin/env bash
# tools/check-downloader, run by dash (as plain a shell as a player's ash),
# on GNU wget and on a downloader that crashes at once (tests/e2e/bin/
# wget-fault): its report, seconds left out, and its exit status. The stall
# is dirsim's answer that never comes, bounded by GNU wget's -T 2.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

start_dirsim --fault slow=60:genre=Comedy
YP=http://yp.shoutcast.com
while IFS='|' read -r signal status report; do
  rc=0
  WGET_FAULT_SIGNAL=$signal dash "$SRC/tools/check-downloader" -s 2 "$SRC/tests/e2e/bin/wget-fault" \
    "$YP$TUNEIN" "$YP/sbin/newxml.phtml?genre=Comedy" >"$WORK/report" || rc=$?
  expect_eq "${signal:-GNU wget}: status" "$status" "$rc"
  expect_eq "${signal:-GNU wget}: report" "$report" \
    "$(sed -n -E '/^(end|arguments|file|stall|verdict) /{s/ +/ /;s/,? after [0-9]+ s//;p}' "$WORK/report" | paste -sd '|')"
done <<'CASES'
|0|end exit code 0|arguments taken|file written, 117 bytes|stall exit code 4 with -T 2: -T bounds a stalled download|verdict fit to be radiodir's /sbin/wget
SEGV|1|end killed by signal 11 (SIGSEGV)|arguments not taken: it crashed|file not written|stall killed by signal 11 (SIGSEGV): it crashed|verdict NOT fit to be radiodir's /sbin/wget
CASES

finish
