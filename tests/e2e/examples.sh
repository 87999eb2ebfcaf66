#!/usr/bin/env bash
# The example files of docs/examples/ are what the program reads and writes:
# each request file there, given to its command against tools/dirsim, gives
# the answer file there byte for byte (outfile_2 from the page of outfile_1).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

DOC=$SRC/docs/examples
start_dirsim
while IFS='|' read -r request command answer; do
  [ "$request" = - ] || cp "$DOC/$request" "$EX/$request"
  mark
  run $command
  expect_answer "$command" 1 "$EX/$answer" "$DOC/$answer"
done <<'CASES'
infile_1|GetActiveServers|outfile_1
-|GetStationChannelList 4|outfile_2
infile_3|GetFavStationChannelList|outfile_3
CASES

finish
