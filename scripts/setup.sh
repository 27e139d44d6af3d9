#!/usr/bin/env bash
# Installs the Debian packages a build needs, only what is missing. Works as root
# (CI) and as a user with sudo.
#   scripts/setup.sh native   what the Linux programs and their tests need
#   scripts/setup.sh [all]    also the Windows cross-build, Wine and the packaging tools
set -euo pipefail
profile=${1:-all}

native=(
  cmake make g++ googletest libgtest-dev libgmock-dev
  socat libserialport-dev libcli11-dev nlohmann-json3-dev nettle-dev pkg-config python3 binutils
)
full=(
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-apps imagemagick
  locales  # localedef: a Russian UTF-8 locale, so Wine can make Russian file names
  help2man man-db dpkg-dev file lintian
)

case "$profile" in
  native) packages=("${native[@]}") ;;
  all) packages=("${native[@]}" "${full[@]}") ;;
  *) echo "setup: unknown profile $profile (native or all)" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
