#!/usr/bin/env bash
# Checks the packages scripts/package.sh made, as an operator and Debian's tools
# would find them, and prints the sizes of what ships.
#   tests/package/check_packages.sh [DIR]   (default build/packages)
# Every check runs; exit 1 when any failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(cd "${1:-$root/build/packages}" && pwd) || exit 1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/native/CMakeCache.txt")
[ -n "$version" ] || { echo "check: no project version in build/native"; exit 1; }
# What Explorer calls 1.5 MB.
gui_limit=$((3 * 1024 * 1024 / 2))

zip=$dir/korsync-$version-win32.zip
deb=$dir/korsync_${version}_amd64.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
size() { stat -c %s "$1"; }

wine32_start() (  # unpacked folder
  source "$root/scripts/wine-env.sh" 2>/dev/null
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
  out=$(timeout 120 wine "$1/korsync-cli.exe" --version 2>&1)
  rc=$?
  echo "korsync-cli.exe --version under Wine: status $rc: $(head -1 <<<"$out")"
  [ $rc -eq 0 ] && grep -q "^korsync $version" <<<"$out" || exit 1
  # The window has no --version: started, it must still be up after a few seconds.
  timeout -k 5 10 xvfb-run -a wine "$1/KorSync.exe" >/dev/null 2>&1
  rc=$?
  wineserver -k >/dev/null 2>&1
  echo "KorSync.exe under Wine: $([ $rc -eq 124 ] && echo "still running after 10 s" || echo "ended with status $rc")"
  [ $rc -eq 124 ]
)

echo "== $(basename "$zip")"
if [ ! -f "$zip" ]; then
  fail "no $zip"
else
  (cd "$work" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
  top=$work/korsync-$version-win32
  listed=$(cd "$work" && find . -type f | sort | tr '\n' ' ')
  [ "$listed" = "./korsync-$version-win32/KorSync.exe ./korsync-$version-win32/README.txt ./korsync-$version-win32/korsync-cli.exe " ] ||
    fail "the zip holds $listed"
  for exe in KorSync.exe korsync-cli.exe; do
    f=$top/$exe
    [ -f "$f" ] || continue
    heads=$(i686-w64-mingw32-objdump -h "$f")
    grep -q "file format pei-i386" <<<"$heads" || fail "$exe is not a 32-bit program"
    grep -q "\.debug_" <<<"$heads" && fail "$exe is not stripped"
    # Static: nothing from the MinGW runtime to ship beside it.
    dlls=$(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    grep -Eq "libstdc|libgcc|libwinpthread" <<<"$dlls" && fail "$exe needs $dlls"
    grep -qaF "$version" "$f" || fail "$exe does not carry version $version"
    echo "$exe: $(size "$f") bytes, imports $dlls"
  done
  [ -f "$top/KorSync.exe" ] && [ "$(size "$top/KorSync.exe")" -ge $gui_limit ] &&
    fail "KorSync.exe is $(size "$top/KorSync.exe") bytes, 1.5 MB ($gui_limit) at most"

  readme=$top/README.txt
  if [ -f "$readme" ]; then
    iconv -f utf-8 -t utf-8 "$readme" >/dev/null 2>&1 && fail "README.txt is UTF-8, not code page 1251"
    [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "README.txt has lines without CR LF"
    if ! iconv -f cp1251 -t utf-8 "$readme" >"$work/readme.utf8" 2>/dev/null; then
      fail "README.txt is not code page 1251"
    else
      grep -q "KorSync $version" "$work/readme.utf8" || fail "README.txt does not name version $version"
      grep -q "Распакуйте" "$work/readme.utf8" || fail "README.txt does not say how to install"
      # Every command the program lists, so the guide cannot fall behind it.
      for c in $("$root/build/native/src/cli/korsync" --help |
                 awk '/^Subcommands:/ {on = 1; next} /^[^ ]/ {on = 0} on && /^  [a-z]/ {print $1}'); do
        grep -q "^  $c\b" "$work/readme.utf8" || fail "README.txt does not describe the command $c"
      done
    fi
  fi

  # The zip's programs are 32-bit: they need Wine's 32-bit side (wine32), which
  # not every machine can install.
  if ! compgen -G '/usr/lib*/wine/i386-windows/kernel32.dll' >/dev/null &&
     ! compgen -G '/usr/lib/*/wine/i386-windows/kernel32.dll' >/dev/null; then
    echo "skipped: this Wine cannot run 32-bit programs (no wine32), so the zip's programs are not started"
  else
    wine32_start "$top" || fail "the zip's programs do not start under Wine"
  fi
fi

echo "== $(basename "$deb")"
if [ ! -f "$deb" ]; then
  fail "no $deb"
else
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = korsync ] && [ "$(field Version)" = "$version" ] && [ "$(field Architecture)" = amd64 ] ||
    fail "control: $(field Package) $(field Version) $(field Architecture)"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  # Depends as dpkg-shlibdeps computes it from the programs' libraries.
  for lib in libc6 libserialport0 libnettle8; do
    grep -q "\b$lib\b" <<<"$(field Depends)" || fail "Depends lacks $lib: $(field Depends)"
  done
  dpkg-deb -x "$deb" "$work/deb" || fail "dpkg-deb -x failed"
  d=$work/deb
  for f in usr/bin/korsync usr/bin/korsim usr/share/man/man1/korsync.1.gz usr/share/man/man1/korsim.1.gz \
           usr/share/bash-completion/completions/korsync usr/share/bash-completion/completions/korsim \
           usr/share/doc/korsync/copyright usr/share/doc/korsync/changelog.gz \
           usr/share/doc/korsync/examples/60-korsync-ftdi.rules; do
    [ -e "$d/$f" ] || fail "the package lacks /$f"
  done
  # The rule is an example: nothing is installed where udev would read it.
  find "$d" -path '*udev/rules.d*' | grep -q . && fail "the package installs an active udev rule"
  grep -q 'ATTRS{idVendor}=="0403".*GROUP="dialout"' "$d/usr/share/doc/korsync/examples/60-korsync-ftdi.rules" ||
    fail "the udev example does not give dialout the FTDI adapter"
  for prog in korsync korsim; do
    out=$("$d/usr/bin/$prog" --version 2>&1)
    [ "$(head -1 <<<"$out")" = "$prog $version" ] || fail "$prog --version: $out"
    file "$d/usr/bin/$prog" | grep -q ", stripped" || fail "$prog is not stripped"
    echo "$prog: $(size "$d/usr/bin/$prog") bytes, $(head -1 <<<"$out")"
    page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$d/usr/share/man/man1/$prog.1.gz" 2>"$work/man.err")
    [ -s "$work/man.err" ] && fail "man -l $prog.1.gz: $(cat "$work/man.err")"
    grep -q "^NAME" <<<"$page" && grep -q "$prog $version" <<<"$page" || fail "man -l $prog.1.gz renders no page"
  done
  page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$d/usr/share/man/man1/korsync.1.gz" 2>/dev/null)
  for c in "read program" "write params" "flash" "restore" "--set-fast"; do
    grep -q -- "$c" <<<"$page" || fail "the korsync page does not describe $c"
  done
  (source "$d/usr/share/bash-completion/completions/korsync" && complete -p korsync korsim >/dev/null) ||
    fail "the completion does not register korsync and korsim"

  # Lintian as Debian's archive would run it; warnings are listed, errors fail.
  if command -v lintian >/dev/null; then
    lintian --fail-on error --display-info "$deb" >"$work/lintian" 2>&1
    rc=$?
    tags=$(grep -v "running with root privileges" "$work/lintian")
    echo "lintian: ${tags:-no tags}"
    [ "$rc" -eq 0 ] || fail "lintian reports errors"
  else
    echo "skipped: lintian is not installed (scripts/setup.sh all)"
  fi
fi
echo "$(basename "$zip"): $(size "$zip" 2>/dev/null) bytes; $(basename "$deb"): $(size "$deb" 2>/dev/null) bytes"

if [ $failures -ne 0 ]; then
  echo "packages: $failures failed"
  exit 1
fi
echo "packages: ok"
