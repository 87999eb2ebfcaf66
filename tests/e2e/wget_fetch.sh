#!/usr/bin/env bash
# The downloader as radiodir runs it (/sbin/wget -t 1 -T 30 -nd URL -O FILE,
# GNU wget in the sandbox) against dirsim on port 80, reached through the
# directory host names: genre pages, a search, keyed queries, the total
# listing and a playlist arrive byte for byte; error answers and faults end
# in the exit codes that make a download fail; dirsim logs every request.
source "$(dirname "$0")/lib.sh"

KEY=Lq3Vt8Nw5Rz1Hk6P
YP=http://yp.shoutcast.com
API=http://api.shoutcast.com
HEAD='<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<stationlist>
<tunein base="/sbin/tunein-station.pls" base-m3u="/sbin/tunein-station.m3u" base-xspf="/sbin/tunein-station.xspf"/>
'

# fetch URL FILE: the downloader with exactly the program's vector; exit
# code in $WRC.
WRC=0
fetch() {
  WRC=0
  /sbin/wget -t 1 -T 30 -nd "$1" -O "$2" 2>>"$WORK/wget.err" || WRC=$?
}

start_dirsim || { echo "dirsim did not start" >&2; exit 1; }

# Last page of a three-page genre.
fetch "$YP/sbin/newxml.phtml?genre=Pop&limit=40,20" "$WORK/pop3.html"
expect_eq "pop page 3: exit" 0 "$WRC"
expect_bytes "pop page 3" "$WORK/pop3.html" "$HEAD"'<station name="Pop Silver" mt="audio/mpeg" id="100962" br="320" genre="Pop" ct="Artist 54 - Song 54" lc="169"/>
<station name="Pop Bronze" mt="audio/mpeg" id="100999" br="96" genre="Pop" ct="Artist 55 - Song 55" lc="342" logo="http://127.0.0.1:8000/logo/100999.png"/>
<station name="Pop Nation" mt="audio/mpeg" id="101073" br="64" genre="Pop" ct="Artist 57 - Song 57" lc="688"/>
<station name="Pop Planet" mt="audio/mpeg" id="101110" br="192" genre="Pop" ct="Artist 58 - Song 58" lc="861" logo="http://127.0.0.1:8000/logo/101110.png"/>
<station name="Last Pop Station" mt="audio/mpeg" id="101147" br="320" genre="Pop" ct="Artist 59 - Song 59" lc="34"/>
</stationlist>
'

# A genre with "&" and blanks, percent-encoded as the program sends it.
fetch "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" "$WORK/rock.html"
expect_eq "rock & roll: exit" 0 "$WRC"
expect_bytes "rock & roll" "$WORK/rock.html" "$HEAD"'<station name="Rock &amp; Roll Heaven" mt="audio/aacp" id="99112" br="320" genre="Rock &amp; Roll" ct="Artist 4 - Song 4" lc="519" logo="http://127.0.0.1:8000/logo/99112.png"/>
<station name="Oldies Rock &amp; Roll" mt="audio/aacp" id="100592" br="320" genre="Rock &amp; Roll" ct="Artist 44 - Song 44" lc="439"/>
<station name="Jukebox Rock &amp; Roll" mt="audio/mpeg" id="101221" br="128" genre="Rock &amp; Roll" ct="Artist 61 - Song 61" lc="380" logo="http://127.0.0.1:8000/logo/101221.png"/>
</stationlist>
'

# A legacy search for "<", and a keyed genre query.
fetch "$YP/sbin/newxml.phtml?search=%3C&limit=0,20" "$WORK/search.html"
expect_eq "search: exit" 0 "$WRC"
expect_bytes "search" "$WORK/search.html" "$HEAD"'<station name="Less &lt;Than&gt; Three" mt="audio/mpeg" id="99445" br="192" genre="Pop" ct="Artist 13 - Song 13" lc="76" logo="http://127.0.0.1:8000/logo/99445.png"/>
<station name="Opera &lt;Live&gt;" mt="audio/aacp" id="101036" br="128" genre="Classical" ct="Artist 56 - Song 56" lc="515"/>
</stationlist>
'
fetch "$API/legacy/genresearch?k=$KEY&genre=Top%2040&limit=0,20" "$WORK/top40.html"
expect_eq "keyed top 40: exit" 0 "$WRC"
expect_bytes "keyed top 40" "$WORK/top40.html" "$HEAD"'<station name="Top 40 Hits Now" mt="audio/aacp" id="99260" br="192" genre="Top 40" ct="Artist 8 - Song 8" lc="211"/>
<station name="Chart Attack 40" mt="audio/aacp" id="100444" br="96" genre="Top 40" ct="Artist 40 - Song 40" lc="747" logo="http://127.0.0.1:8000/logo/100444.png"/>
<station name="Countdown 40" mt="audio/aacp" id="101184" br="96" genre="Top 40" ct="Artist 60 - Song 60" lc="207"/>
</stationlist>
'

# The total listing (no limit): every station, the same as --dump gives.
fetch "$YP/sbin/newxml.phtml?genre=all" "$WORK/total.html"
expect_eq "total: exit" 0 "$WRC"
"$TOOLS/dirsim" --dump 'genre=all' >"$WORK/total.expected"
expect_same "total" "$WORK/total.html" "$WORK/total.expected"
expect_eq "total: stations" 63 "$(grep -c '^<station ' "$WORK/total.html")"

# A playlist with three entries.
fetch "$YP/sbin/tunein-station.pls?id=100666" "$WORK/triple.pls"
expect_eq "playlist: exit" 0 "$WRC"
expect_bytes "playlist" "$WORK/triple.pls" '[playlist]
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
fetch "$YP/sbin/tunein-station.pls?id=1" "$WORK/none.pls"
expect_eq "unknown station: exit" 8 "$WRC"
expect_bytes "unknown station: file" "$WORK/none.pls" ""
fetch "$API/legacy/stationsearch?k=WRONG&search=Pop&limit=0,20" "$WORK/badkey.html"
expect_eq "unknown key: exit" 6 "$WRC"
expect_bytes "unknown key: file" "$WORK/badkey.html" ""

# A fault added at run time hits once; the next run succeeds. A connection
# closed mid-answer is a network failure (exit code 4).
/sbin/wget -q -O "$WORK/ctl" "http://127.0.0.1/_dirsim/fault?rule=500:Jazz:1"
fetch "$YP/sbin/newxml.phtml?genre=Jazz&limit=0,20" "$WORK/jazz.html"
expect_eq "500 fault: exit" 8 "$WRC"
fetch "$YP/sbin/newxml.phtml?genre=Jazz&limit=0,20" "$WORK/jazz.html"
expect_eq "after the fault: exit" 0 "$WRC"
expect_eq "after the fault: stations" 2 "$(grep -c '^<station ' "$WORK/jazz.html")"
/sbin/wget -q -O "$WORK/ctl" "http://127.0.0.1/_dirsim/fault?rule=close:id=99112"
fetch "$YP/sbin/tunein-station.pls?id=99112" "$WORK/cut.pls"
expect_eq "closed connection: exit" 4 "$WRC"
/sbin/wget -q -O "$WORK/ctl" "http://127.0.0.1/_dirsim/clear"
fetch "$YP/sbin/tunein-station.pls?id=99112" "$WORK/cut.pls"
expect_eq "after clear: exit" 0 "$WRC"
expect_eq "after clear: first line" "[playlist]" "$(head -n 1 "$WORK/cut.pls")"

# What the downloader makes of the other faults: each is a successful
# download whose file the program must judge. The second of two matching
# requests only, for "short".
ctl() { /sbin/wget -q -O "$WORK/ctl" "http://127.0.0.1/_dirsim/$1"; }
ctl "fault?rule=empty:id=99260"
ctl "fault?rule=short:Rock%2520%2526:2"  # MATCH is the raw, encoded target
ctl "fault?rule=malformed:genre=News"
ctl "fault?rule=notpls:id=99149"
ctl "fault?rule=slow%3D1:genre=Talk"
fetch "$YP/sbin/tunein-station.pls?id=99260" "$WORK/empty.pls"
expect_eq "empty: exit" 0 "$WRC"
expect_bytes "empty: file" "$WORK/empty.pls" ""
fetch "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" "$WORK/rock1.html"
expect_same "short, first request whole" "$WORK/rock1.html" "$WORK/rock.html"
fetch "$YP/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=0,20" "$WORK/rock2.html"
expect_eq "short: exit" 0 "$WRC"
head -c $(($(wc -c <"$WORK/rock.html") / 2)) "$WORK/rock.html" >"$WORK/rock.half"
expect_same "short: first half" "$WORK/rock2.html" "$WORK/rock.half"
fetch "$YP/sbin/newxml.phtml?genre=News&limit=0,20" "$WORK/news.html"
expect_eq "malformed: exit" 0 "$WRC"
expect_bytes "malformed" "$WORK/news.html" '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<stationlist>
<tunein base="/sbin/tunein-station.pls"/>
<station name="Broken &amp Radio" id="1" br="128" genre="Pop">
</stationlist>
<station name="after the end"
'
fetch "$YP/sbin/tunein-station.pls?id=99149" "$WORK/html.pls"
expect_eq "notpls: exit" 0 "$WRC"
expect_bytes "notpls" "$WORK/html.pls" '<html><head><title>Service unavailable</title></head>
<body>The station is not available.</body></html>
'
start=$(date +%s%N)
fetch "$YP/sbin/newxml.phtml?genre=Talk&limit=0,20" "$WORK/talk.html"
waited=$((($(date +%s%N) - start) / 1000000))
expect_eq "slow: exit" 0 "$WRC"
expect_eq "slow: waited at least 1 s" yes "$([ "$waited" -ge 1000 ] && echo yes || echo "no, ${waited} ms")"
expect_eq "slow: stations" 2 "$(grep -c '^<station ' "$WORK/talk.html")"
ctl clear

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
