#!/usr/bin/env bash
# GetActiveServers end to end with station values that test the page file's
# line discipline (tests/e2e/data/browse_values.tsv): line ends inside names,
# genres and media types become blanks, values cut to their fields are cut
# on a UTF-8 character boundary, numbers keep 16 bits, and a playlist path
# with a long key is cut to 60 characters. Also: a page link longer than 63
# characters is cut.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

KEY=ValuesKey_12345678901
GENRE_Q="GET api.shoutcast.com /legacy/genresearch?k=$KEY&"
start_dirsim --data "$SRC/tests/e2e/data/browse_values.tsv" --key "$KEY"

browse "startat=0" 0 "$KEY"
expect_answer "values" 1 "$EX/outfile_1" "$EXP/browse_values.txt"
expect_eq "values: 205 lines" 205 "$(wc -l <"$EX/outfile_1")"
expect_eq "values: requests" "$(reqs 'genre=all&limit=0,20' genre=all)" "$(new_requests)"

# The link copy holds 63 characters; the page is the same (cached) one.
X60=$(printf 'x%.0s' {1..60})
browse "startat=0&$X60" 0 "$KEY"
expect_eq "long link: status" 1 "$RC"
expect_eq "long link: cut" "href='startat=0&${X60:0:53}'" "$(grep "^href=" "$OUT")"
expect_eq "long link: cached page" "" "$(new_requests)"
expect_eq "long link: links" "startat=0|startat=0" "$(sed -n 3,4p "$EX/outfile_1" | paste -sd '|')"

finish
