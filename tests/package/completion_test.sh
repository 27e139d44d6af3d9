#!/usr/bin/env bash
# The generated completion against the programs' own --help: every command and
# option is offered where the program takes it, and values where it knows them.
#   completion_test.sh COMPLETION KORSYNC KORSIM
set -uo pipefail
completion=$1 korsync=$2 korsim=$3
source "$completion" || { echo "FAIL: $completion does not load"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/dir"
touch "$work/part.txt" "$work/params.koreep"

failures=0
# What bash offers for the words, the last being the one under the cursor.
offered() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _korsync_complete
  printf '%s\n' "${COMPREPLY[@]}"
}
# expect WORDS... -- WANTED... [! UNWANTED...]
expect() {
  local words=() want=() unwant=() got w
  while [ "$1" != -- ]; do words+=("$1"); shift; done
  shift
  while [ $# -gt 0 ] && [ "$1" != '!' ]; do want+=("$1"); shift; done
  [ $# -gt 0 ] && shift && unwant=("$@")
  got=$(offered "${words[@]}")
  for w in "${want[@]}"; do
    grep -qxF -- "$w" <<<"$got" || { echo "FAIL: '${words[*]}' does not offer $w (offers: $(echo $got))"; failures=$((failures + 1)); }
  done
  for w in "${unwant[@]}"; do
    grep -qxF -- "$w" <<<"$got" && { echo "FAIL: '${words[*]}' offers $w"; failures=$((failures + 1)); }
  done
}

# Every command and command group of --help, at its place in the tree.
commands() { "$@" --help | awk '/^Subcommands:/ {on = 1; next} /^[^ ]/ {on = 0} on && /^  [a-z]/ {print $1}'; }
top=$(commands "$korsync")
[ -n "$top" ] || { echo "FAIL: no commands in korsync --help"; exit 1; }
expect korsync '' -- $top '!' --port
for c in $top; do
  expect korsync "${c:0:2}" -- "$c"
  sub=$(commands "$korsync" "$c")
  [ -n "$sub" ] && expect korsync "$c" '' -- $sub
  # Every option its help names, and the program's own options not after it.
  opts=$("$korsync" "$c" --help | grep -o '^  -[^ ]*' | tr ',' '\n' | tr -d ' ')
  expect korsync "$c" - -- $opts '!' --port --json
done
expect korsync - -- $("$korsync" --help | grep -o '^  -[^ ]*' | tr ',' '\n' | tr -d ' ')
expect korsim --f -- --fault '!' --speed

# Values: the words the help lists, a value skipped when it is given.
expect korsync --speed '' -- 200000 115200 2000000 '!' read
expect korsync --speed = '' -- 200000
# bash splits --speed=2 at the '='.
expect korsync --speed = 2 -- 200000 2000000 '!' 115200
expect korsync --port /dev/null --speed 115200 re -- read
expect korsync config --set-fast '' -- 0 1
expect korsync config --set-speed '' -- 115200 200000 2000000
expect korsim --model '' -- 460 461 462 silent
expect korsync read program '' -- all
expect korsync read correction '' -- + -
expect korsync params show x.koreep '' -- 0 7 14
# Files and folders where a command takes them.
expect korsync write program "$work/pa" -- "$work/part.txt"
expect korsync write program --slot 3 "$work/pa" -- "$work/part.txt"
expect korsync --data "$work/d" -- "$work/dir" '!' "$work/part.txt"
expect korsync params edit "$work/par" -- "$work/params.koreep"
expect korsync restore "$work/d" -- "$work/dir"

if [ $failures -ne 0 ]; then
  echo "completion: $failures failed"
  exit 1
fi
echo "completion: ok"
