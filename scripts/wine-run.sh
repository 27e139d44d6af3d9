#!/bin/sh
# Runs a Windows test program under Wine for CTest. Rarely, on a busy machine, a
# Wine start fails before the program runs at all: no output, a failing status.
# Such a start is tried again, twice at most; a program that ran and failed is
# never run again. (sh, not bash: bash warns about the Wine locale at start-up.)
out=$(mktemp)
trap 'rm -f "$out" "$out.rc"' EXIT
for attempt in 1 2 3; do
  { wine "$@"; echo $? >"$out.rc"; } | tee "$out"
  rc=$(cat "$out.rc")
  if [ "$rc" = 0 ] || [ -s "$out" ]; then exit "$rc"; fi
  echo "wine-run: $1 did not start (status $rc), attempt $attempt" >&2
  sleep 1
done
exit "$rc"
