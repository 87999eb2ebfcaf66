#!/usr/bin/env bash
# tools/sandbox puts a fresh tmpfs over /tmp; a checkout that itself lives
# under /tmp (a CI clone, a scratch copy) must stay visible and writable
# inside, and nothing else of the machine's /tmp may show through.
#
# usage: sandbox_tmp_checkout.sh CHECKOUT
# Runs on the build machine, not inside a sandbox: it only calls
# tools/sandbox, with harmless commands (test, ls, touch) inside.
set -uo pipefail

SRC=$(cd "${1:?usage: sandbox_tmp_checkout.sh CHECKOUT}" && pwd)
PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); }
fail() {
  FAILED=$((FAILED + 1))
  echo "FAIL: $*" >&2
}
expect_eq() { if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi; }

TMP=$(mktemp -d /tmp/sandbox-checkout.XXXXXX)
trap 'rm -rf "$TMP"' EXIT
CO=$TMP/radiodir
NAME=${TMP#/tmp/}

# A clone of the checkout, with the working tree's sandbox and helper.
if git -C "$SRC" rev-parse --git-dir >/dev/null 2>&1; then
  git clone --quiet "$SRC" "$CO"
else
  mkdir -p "$CO" && cp -a "$SRC"/. "$CO" && rm -rf "$CO/build"
fi
cp "$SRC/tools/sandbox" "$SRC/tools/nostatfs.cpp" "$CO/tools/"
mkdir -p "$CO/sub"
echo "host only" >"$TMP/host-marker"
SB=$CO/tools/sandbox

# sandboxed OPTIONS... -- CMD...: runs the clone's sandbox from the clone
# (the sandbox also keeps the current directory, which may be anywhere under
# /tmp, such as a build directory of a checkout there); output in $OUT, exit
# status in $RC.
OUT=""
RC=0
sandboxed() {
  RC=0
  OUT=$(cd "$CO" && "$SB" "$@" 2>&1) || RC=$?
}

for layout in "" --flash --no-exchange; do
  opts=()
  [ -n "$layout" ] && opts=("$layout")
  tag=${layout:-disk}

  # From the checkout, from a directory inside it, and from outside /tmp.
  for cwd in "$CO" "$CO/sub" /; do
    RC=0
    (cd "$cwd" && "$SB" "${opts[@]}" -- test -f "$CO/CMakeLists.txt") || RC=$?
    expect_eq "$tag, run from $cwd: checkout visible" 0 "$RC"
  done

  # Writes into the checkout reach the real one.
  rm -f "$CO/sub/written"
  sandboxed "${opts[@]}" -- touch "$CO/sub/written"
  expect_eq "$tag: write inside: exit status" 0 "$RC"
  if [ -f "$CO/sub/written" ]; then pass; else fail "$tag: a file written inside the checkout is lost"; fi

  # /tmp inside holds the path to the checkout, the exchange directory (and
  # the flash helper), nothing else of the host's /tmp.
  case $tag in
    disk) want=$(printf 'hdd\n%s' "${NAME%%/*}") ;;
    --flash) want=$(printf '.nostatfs\nhdd\n%s' "${NAME%%/*}") ;;
    --no-exchange) want=${NAME%%/*} ;;
  esac
  sandboxed "${opts[@]}" -- bash -c 'LC_ALL=C ls -A /tmp'
  expect_eq "$tag: /tmp inside" "$want" "$OUT"
  sandboxed "${opts[@]}" -- ls -A "$TMP"
  expect_eq "$tag: beside the checkout" "radiodir" "$OUT"
  sandboxed "${opts[@]}" -- test -e "$TMP/host-marker"
  expect_eq "$tag: host file next to the checkout hidden" 1 "$RC"
done

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
