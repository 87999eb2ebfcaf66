#!/usr/bin/env bash
# The storage root on flash: the sandbox (--flash) makes the file-system
# status query on "/tmp/hdd/root/" fail while the directory exists, so every
# command takes "/usr/local/etc/hdd/root/irf" as its cache directory. The
# downloader is tests/e2e/bin/wget-argv-log, which records its calls and fails.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WGET_LOG=/tmp/wget-argv.log
export WGET_ARGV_LOG=$WGET_LOG
D='\t\t\t\t\t\t\t\t'  # the eight tabs of a datagram, escaped

echo_of() {
  local i=0 a
  for a in "$BIN" "$@"; do
    printf 'argv[%d]=%s\n' "$i" "$a"
    i=$((i + 1))
  done
}
wget_out_paths() { [ -f "$WGET_LOG" ] && awk 'prev == "-O" { print } { prev = $0 }' "$WGET_LOG"; }
fresh() {
  rm -rf "${EX:?}"/* /usr/local/etc/hdd/root/* "$WGET_LOG"
  clear_udplog
}

start_udplog

# A link without either key stops right after the storage root was made
# ready: the whole output shows the root that was chosen.
fresh
printf 'nothing\n' >"$EX/infile_1"
run GetActiveServers
expect_eq "flash: exit status" 0 "$RC"
expect_bytes "flash: stdout" "$OUT" "$(echo_of GetActiveServers)


read pageHref=nothing!!!!!!


 794, VxShoutcastGetActiveServers, patch_Zorv_getlpls 
ZORV_IRADIO_FILE_DIR:'/usr/local/etc/hdd/root/irf', ZORV_IRADIO_FILE_DIR2:'/usr/local/etc/hdd/root/irf'
rm /usr/local/etc/hdd/root/irf/*.htmlZORV_IRADIO_FILE_DIR:/usr/local/etc/hdd/root/irf
pathname:/usr/local/etc/hdd/root/irf
href='nothing'
"
expect_eq "flash: datagrams" "${D}patch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\\npageHref: nothing, SearchKey:\"0\"
${D}patch_Zorv_getlpls[0131] : VxOpenDirectory\\n
${D}patch_Zorv_getlpls[0141] : VxOpenDirectory\\nNo such file or directory
${D}patch_Zorv_getlpls[0152] : VxFileMkdir\\n
${D}patch_main[0078] : main\\nVxShoutcastGetActiveServers returned with status=0" "$(datagrams)"
expect_eq "flash: the flash root was created" "irf" "$(ls /usr/local/etc/hdd/root)"
expect_no_file "flash: no disk root" "$ROOT"

# A second run finds the root in place; a failed download goes to flash.
clear_udplog
printf 'sgenre=Rock\n' >"$EX/infile_1"
run GetActiveServers
expect_eq "flash download: exit status" 0 "$RC"
expect_eq "flash download: output path" "$FLASH/RockPage1.html" "$(wget_out_paths)"
expect_eq "flash download: storage-root line" \
  "ZORV_IRADIO_FILE_DIR:'$FLASH', ZORV_IRADIO_FILE_DIR2:'$FLASH'" "$(sed -n 9p "$OUT")"
expect_eq "flash download: status datagram" \
  "${D}patch_main[0078] : main\\nVxShoutcastGetActiveServers returned with status=0" "$(datagrams | tail -n 1)"
expect_no_file "flash download: no disk root" "$ROOT"

# The favourite's playlist is cached on flash too.
fresh
mkdir -p "$FLASH"
printf '4\n/sbin/tunein-station.pls?id=777\nJazz\nFavourite\n9\n1\n64\naudio\n' >"$EX/infile_3"
run GetFavStationChannelList
expect_eq "flash favourite: exit status" 0 "$RC"
out=$(wget_out_paths)
expect_eq "flash favourite: playlist cached on flash" "$FLASH/favorite_station4_" "${out%????????.pls}"

# Unknown words and usage errors answer as on disk.
fresh
run getactive
expect_eq "flash unknown word: exit status" 0 "$RC"
expect_bytes "flash unknown word: stdout" "$OUT" "$(echo_of getactive)
not implement the request:getactive
"
run
expect_bytes "flash no arguments: stdout" "$OUT" $'parameter error, must >= 2!\n'
expect_eq "flash usage errors: no datagram" "" "$(datagrams)"

finish
