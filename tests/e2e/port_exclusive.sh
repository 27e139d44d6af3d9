#!/usr/bin/env bash
# While korsync holds the port, nothing else may open it (a terminal program
# or a modem manager would take the unit's answers); afterwards it is free.
source "$(dirname "$0")/lib.sh"

# TIOCEXCL does not stop a process with CAP_SYS_ADMIN: the other opener has none.
opener=()
[ "$(id -u)" = 0 ] && opener=(setpriv --bounding-set=-sys_admin --inh-caps=-sys_admin)
other_open() { "${opener[@]}" sh -c 'exec 3<>"$0"' "$pty" 2>"$work/open.err"; }

start_sim held --model 461
"${rt[@]}" "$KORSYNC" --port "$pty" test --count 5 >"$work/test.out" 2>"$work/test.err" &
holder=$!
refused=0
for _ in $(seq 60); do
  kill -0 "$holder" 2>/dev/null || break
  if ! other_open; then refused=1; break; fi
  sleep 0.05
done
[ "$refused" = 1 ] || { echo "the held port was opened by another program"; exit 1; }
expect_in "busy" "$(cat "$work/open.err")"

# A second korsync says why it cannot have the port.
run_korsync 1 --port "$pty" info
expect_in "ошибка: Не удалось открыть порт : порт занят другой программой, закройте её" "$err"

rc=0
wait "$holder" || rc=$?
[ "$rc" = 0 ] || { echo "korsync test: exit $rc: $(cat "$work/test.err")"; exit 1; }
other_open || { echo "the port stayed locked after korsync: $(cat "$work/open.err")"; exit 1; }
run_korsync 0 --port "$pty" info
stop_sims
echo "port_exclusive: ok"
