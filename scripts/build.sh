#!/usr/bin/env bash
# Builds the three configurations: native (build/native), Windows 64-bit with
# tests (build/win64, run under Wine) and Windows 32-bit, the shipped program
# (build/win32). Pass a configuration name to build only that one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}
which=${1:-all}

# ccache, where installed, makes rebuilds of unchanged sources cheap (also
# across checkouts of the same tree: paths are taken relative to the root).
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$root/build/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  cmake --build "$root/build/$dir" -j "$jobs"
}

if [ "$which" = all ] || [ "$which" = win64 ]; then
  build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
fi
if [ "$which" = all ] || [ "$which" = win32 ]; then
  # Built for size: with static libstdc++ an -O2 KorSync.exe is 1.6 MB stripped,
  # -Os brings it under the 1.5 MB it must stay below (the packages check it).
  build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DKORSYNC_TESTS=OFF -DCMAKE_BUILD_TYPE=MinSizeRel
fi
if [ "$which" = all ] || [ "$which" = native ]; then
  win64=""
  [ -d "$root/build/win64" ] && win64="$root/build/win64"
  build native -DKORSYNC_WIN64_DIR="$win64"
fi
if [ "$which" = sanitize ]; then
  # Any report stops the program, so a test that triggers one fails.
  san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  build sanitize -DKORSYNC_SANITIZE=ON -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san"
fi
if [ "$which" = fuzz ]; then
  build fuzz -DCMAKE_CXX_COMPILER=clang++ -DKORSYNC_FUZZ=ON -DKORSYNC_TESTS=OFF
fi
