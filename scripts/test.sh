#!/usr/bin/env bash
# Sets up, builds all three configurations and runs every test: native, then the
# Windows tests under Wine; then the native tests again under the address and
# undefined-behaviour sanitizers, and the fuzz targets for their fixed times;
# last it builds the zip and the Debian package and checks both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/build.sh" sanitize
"$root/scripts/build.sh" fuzz

source "$root/scripts/wine-env.sh"
wine_start
trap wine_stop EXIT

status=0
echo "== native tests"
# One X server for the whole run: the Wine end-to-end tests open windows too.
# The end-to-end runs answer within milliseconds in real time: a run that a
# busy machine made miss its deadline gets one more try, and says so.
(cd "$root/build/native" && xvfb-run -a -s "-screen 0 1024x768x24" \
   ctest -j "$(nproc)" --output-on-failure --timeout 300 --repeat until-pass:2) || status=1
echo "== Windows tests under Wine"
(cd "$root/build/win64" && xvfb-run -a -s "-screen 0 1024x768x24" \
   ctest -j "$(nproc)" --output-on-failure --timeout 300 --repeat until-pass:2) || status=1
echo "== native tests under the sanitizers"
# The end-to-end runs stay out: instrumented, their real-time runs through
# korsim take several times as long, and the same code runs under the
# sanitizers in the in-process tests and the soak.
(cd "$root/build/sanitize" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest -j "$(nproc)" --output-on-failure --timeout 300 -LE e2e) || status=1
echo "== fuzzing"
(cd "$root/build/fuzz" && ctest -j "$(nproc)" --output-on-failure --timeout 300) || status=1
echo "== packages"
# Out of Wine's locale, which this machine's Perl and bash do not have.
(export LC_ALL=C.UTF-8
 "$root/scripts/package.sh" && "$root/tests/package/check_packages.sh" "$root/build/packages") || status=1
exit $status
