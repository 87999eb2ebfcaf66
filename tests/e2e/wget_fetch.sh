#!/usr/bin/env bash
# The downloader as radiodir runs it (/sbin/wget -t 1 -T 30 -nd URL -O FILE,
# GNU wget in the sandbox, or BusyBox's) against dirsim on port 80, reached
# through the directory host names: genre pages, a search, keyed queries,
# the total listing and a playlist arrive byte for byte; error answers and
# faults end in a non-zero exit code, which makes a download fail (GNU
# wget's own codes, and the empty file it leaves, checked for it alone);
# dirsim logs every request.
source "$(dirname "$0")/lib.sh"

YP=http://yp.shoutcast.com
API=http://api.shoutcast.com
HEAD='<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<stationlist>
<tunein base="/sbin/tunein-station.pls" base-m3u="/sbin/tunein-station.m3u" base-xspf="/sbin/tunein-station.xspf"/>
'

# fetch NAME URL EXIT [BYTES]: the downloader with exactly the program's
# vector, into $WORK/NAME: its exit code, and the file's bytes if given.
fetch() {
  local rc=0
  /sbin/wget -t 1 -T 30 -nd "$2" -O "$WORK/$1" 2>>"$WORK/wget.err" || rc=$?
  if [ "$3" != 0 ] && [ "$DOWNLOADER" != gnu ]; then
    expect_eq "$1: fails" yes "$([ "$rc" != 0 ] && echo yes)"
    return
  fi
  expect_eq "$1: exit" "$3" "$rc"
  [ $# -lt 4 ] || expect_bytes "$1" "$WORK/$1" "$4"
}

start_dirsim || { echo "dirsim did not start" >&2; exit 1; }

# Last page of a three-page genre.
fetch pop3.html "$YP/sbin/newxml.phtml?genre=Pop&limit=40,20" 0 "$HEAD"'<station name="Pop Silver" mt="audio/mpeg" id="100962" br="320" genre="Pop" ct="Artist 54 - Song 54" lc="169"/>
<station name="Pop Bronze" mt="audio/mpeg" id="100999" br="96" genre="Pop" ct="Artist 55 - Song 55" lc="342" logo="http://127.0.0.1:8000/logo/100999.png"/>
<station name="Pop Nation" mt="audio/mpeg" id="101073" br="64" genre="Pop" ct="Artist 57 - Song 57" lc="688"/>
<station name="Pop Planet" mt="audio/mpeg" id="101110" br="192" genre="Pop" ct="Artist 58 - Song 58" lc="861" logo="http://127.0.0.1:8000/logo/101110.png"/>
<station name="Last Pop Station" mt="audio/mpeg" id="101147" br="320" genre="Pop" ct="Artist 59 - Song 59" lc="34"/>
</stationlist>
'

# A genre with "&" and blanks, percent-encoded as the program sends it.
fetch rock.html "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" 0 "$HEAD"'<station name="Rock &amp; Roll Heaven" mt="audio/aacp" id="99112" br="320" genre="Rock &amp; Roll" ct="Artist 4 - Song 4" lc="519" logo="http://127.0.0.1:8000/logo/99112.png"/>
<station name="Oldies Rock &amp; Roll" mt="audio/aacp" id="100592" br="320" genre="Rock &amp; Roll" ct="Artist 44 - Song 44" lc="439"/>
<station name="Jukebox Rock &amp; Roll" mt="audio/mpeg" id="101221" br="128" genre="Rock &amp; Roll" ct="Artist 61 - Song 61" lc="380" logo="http://127.0.0.1:8000/logo/101221.png"/>
</stationlist>
'

# A legacy search for "<", and a keyed genre query.
fetch search.html "$YP/sbin/newxml.phtml?search=%3C&limit=0,20" 0 "$HEAD"'<station name="Less &lt;Than&gt; Three" mt="audio/mpeg" id="99445" br="192" genre="Pop" ct="Artist 13 - Song 13" lc="76" logo="http://127.0.0.1:8000/logo/99445.png"/>
<station name="Opera &lt;Live&gt;" mt="audio/aacp" id="101036" br="128" genre="Classical" ct="Artist 56 - Song 56" lc="515"/>
</stationlist>
'
fetch top40.html "$API/legacy/genresearch?k=$KEY&genre=Top%2040&limit=0,20" 0 "$HEAD"'<station name="Top 40 Hits Now" mt="audio/aacp" id="99260" br="192" genre="Top 40" ct="Artist 8 - Song 8" lc="211"/>
<station name="Chart Attack 40" mt="audio/aacp" id="100444" br="96" genre="Top 40" ct="Artist 40 - Song 40" lc="747" logo="http://127.0.0.1:8000/logo/100444.png"/>
<station name="Countdown 40" mt="audio/aacp" id="101184" br="96" genre="Top 40" ct="Artist 60 - Song 60" lc="207"/>
</stationlist>
'

# The total listing (no limit): every station, the same as --dump gives.
fetch total.html "$YP/sbin/newxml.phtml?genre=all" 0
"$TOOLS/dirsim" --dump 'genre=all' >"$WORK/total.expected"
expect_same "total" "$WORK/total.html" "$WORK/total.expected"
expect_eq "total: stations" 63 "$(grep -c '^<station ' "$WORK/total.html")"

# A playlist with three entries.
fetch triple.pls "$YP/sbin/tunein-station.pls?id=100666" 0 '[playlist]
numberofentries=3
File1=http://127.0.0.1:8000/stream/100666/1
Title1=(#1) Triple Stream Pop
Length1=-1
File2=http://127.0.0.1:8000/stream/100666/2
Title2=(#2) Triple Stream Pop
Length2=-1
File3=http://127.0.0.1:8000/stream/100666/3
Title3=(#3) Triple Stream Pop
Length3=-1
Version=2
'

# Errors: an unknown station (404) leaves an empty file and exit code 8; an
# unknown key (401) fails too.
fetch none.pls "$YP/sbin/tunein-station.pls?id=1" 8 ""
fetch badkey.html "$API/legacy/stationsearch?k=WRONG&search=Pop&limit=0,20" 6 ""

# A fault added at run time hits once; the next run succeeds. A connection
# closed mid-answer is a network failure (exit code 4).
dirsim_ctl "fault?rule=500:Jazz:1"
fetch jazz.html "$YP/sbin/newxml.phtml?genre=Jazz&limit=0,20" 8
fetch jazz.html "$YP/sbin/newxml.phtml?genre=Jazz&limit=0,20" 0
expect_eq "after the fault: stations" 2 "$(grep -c '^<station ' "$WORK/jazz.html")"
dirsim_ctl "fault?rule=close:id=99112"
fetch cut.pls "$YP/sbin/tunein-station.pls?id=99112" 4
dirsim_ctl clear
fetch cut.pls "$YP/sbin/tunein-station.pls?id=99112" 0
expect_eq "after clear: first line" "[playlist]" "$(head -n 1 "$WORK/cut.pls")"

# What the downloader makes of the other faults: each is a successful
# download whose file the program must judge. The second of two matching
# requests only, for "short".
dirsim_ctl "fault?rule=empty:id=99260"
dirsim_ctl "fault?rule=short:Rock%2520%2526:2"  # MATCH is the raw, encoded target
dirsim_ctl "fault?rule=malformed:genre=News"
dirsim_ctl "fault?rule=notpls:id=99149"
dirsim_ctl "fault?rule=slow%3D1:genre=Talk"
fetch empty.pls "$YP/sbin/tunein-station.pls?id=99260" 0 ""
fetch rock1.html "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" 0
expect_same "short, first request whole" "$WORK/rock1.html" "$WORK/rock.html"
fetch rock2.html "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" 0
head -c $(($(wc -c <"$WORK/rock.html") / 2)) "$WORK/rock.html" >"$WORK/rock.half"
expect_same "short: first half" "$WORK/rock2.html" "$WORK/rock.half"
fetch news.html "$YP/sbin/newxml.phtml?genre=News&limit=0,20" 0 '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<stationlist>
<tunein base="/sbin/tunein-station.pls"/>
<station name="Broken &amp Radio" id="1" br="128" genre="Pop">
</stationlist>
<station name="after the end"
'
fetch html.pls "$YP/sbin/tunein-station.pls?id=99149" 0 '<html><head><title>Service unavailable</title></head>
<body>The station is not available.</body></html>
'
start=$(date +%s%N)
fetch talk.html "$YP/sbin/newxml.phtml?genre=Talk&limit=0,20" 0
waited=$((($(date +%s%N) - start) / 1000000))
expect_eq "slow: waited at least 1 s" yes "$([ "$waited" -ge 1000 ] && echo yes || echo "no, ${waited} ms")"
expect_eq "slow: stations" 2 "$(grep -c '^<station ' "$WORK/talk.html")"
dirsim_ctl clear

expect_bytes "request log" "$DIRSIM_LOG" "GET yp.shoutcast.com /sbin/newxml.phtml?genre=Pop&limit=40,20 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20 200
GET yp.shoutcast.com /sbin/newxml.phtml?search=%3C&limit=0,20 200
GET api.shoutcast.com /legacy/genresearch?k=$KEY&genre=Top%2040&limit=0,20 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=all 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=100666 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=1 404
GET api.shoutcast.com /legacy/stationsearch?k=WRONG&search=Pop&limit=0,20 401
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Jazz&limit=0,20 500
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Jazz&limit=0,20 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=99112 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=99112 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=99260 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=News&limit=0,20 200
GET yp.shoutcast.com /sbin/tunein-station.pls?id=99149 200
GET yp.shoutcast.com /sbin/newxml.phtml?genre=Talk&limit=0,20 200
"

finish
