# Sourced: a private Wine prefix in code page 1251, kept alive for a test run.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# LANG alone leaves Wine on 1252; LC_ALL makes its ANSI code page 1251.
export LC_ALL=ru_RU.UTF-8 2>/dev/null

wine_start() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
