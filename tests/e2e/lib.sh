# Sourced by the end-to-end scripts: start korsim, check what korsync says.
set -euo pipefail
KORSIM=$1
KORSYNC=$2
work=$(mktemp -d)
# Settings of whoever runs the tests stay out of them.
export KORSYNC_CONFIG="$work/settings.ini"
sims=()
# The unit answers within milliseconds and korsync waits only a few dozen: on a
# busy machine both should get the processor as soon as they wake. Real-time
# scheduling where we may, a higher priority where that is all we may.
rt=()
if chrt -f 10 true 2>/dev/null; then rt=(chrt -f 10)
elif [ -z "$(nice -n -10 true 2>&1)" ]; then rt=(nice -n -10)  # refused, it only warns
fi

cleanup() {
  for p in "${sims[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# start_sim NAME ARGS...: runs korsim, sets $pty to its device path.
start_sim() {
  local name=$1; shift
  "${rt[@]}" "$KORSIM" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  sims+=($!)
  for _ in $(seq 100); do
    if [ -s "$work/$name.out" ]; then pty=$(head -n1 "$work/$name.out"); return 0; fi
    sleep 0.05
  done
  echo "korsim did not start: $(cat "$work/$name.err")"; exit 1
}

stop_sims() {
  local p rc
  for p in "${sims[@]:-}"; do
    [ -n "$p" ] || continue
    kill "$p" 2>/dev/null || true
    rc=0; wait "$p" 2>/dev/null || rc=$?
    # A korsim that died on its own would otherwise end the script without a word.
    if [ "$rc" != 0 ]; then echo "korsim ended with status $rc:"; tail -n 5 "$work"/*.err 2>/dev/null; exit 1; fi
  done
  sims=()
}

# run_korsync EXPECTED_STATUS ARGS...: runs korsync, output in $out and $err.
run_korsync() {
  local want=$1; shift
  local rc=0
  timeout "${KORSYNC_TIMEOUT:-60}" "${rt[@]}" "$KORSYNC" "$@" >"$work/stdout" 2>"$work/stderr" || rc=$?
  out=$(cat "$work/stdout"); err=$(cat "$work/stderr")
  if [ "$rc" != "$want" ]; then
    echo "korsync $*: exit $rc, wanted $want"; echo "stdout: $out"; echo "stderr: $err"; exit 1
  fi
}

expect_in() {  # TEXT HAYSTACK
  case "$2" in
    *"$1"*) ;;
    *) echo "expected '$1' in: $2"; exit 1 ;;
  esac
}
