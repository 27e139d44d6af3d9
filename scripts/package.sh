#!/usr/bin/env bash
# Builds the two packages with CPack into build/packages (or DIR):
#   korsync-VERSION-win32.zip   KorSync.exe, korsync-cli.exe and the operator's README
#   korsync_VERSION_amd64.deb   korsync, korsim, their manual pages, the bash
#                               completion and an example udev rule
#   scripts/package.sh [DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/packages}
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$root/scripts/build.sh" win32
"$root/scripts/build.sh" native

rm -f "$out"/korsync-*.zip "$out"/korsync_*.deb
for dir in win32 native; do
  log="$out/cpack-$dir.log"
  if ! (cd "$root/build/$dir" && cpack -B "$out") >"$log" 2>&1; then
    cat "$log" >&2
    echo "package: cpack failed in build/$dir" >&2
    exit 1
  fi
  rm -f "$log"
done
rm -rf "$out/_CPack_Packages"
ls -l "$out"/korsync-*-win32.zip "$out"/korsync_*_amd64.deb
