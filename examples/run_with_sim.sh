#!/bin/sh
# Runs a host program against a simulated em235 on a free loopback port:
#   run_with_sim.sh SIM PROGRAM [ARGS...]   runs PROGRAM ARGS... 127.0.0.1 PORT
# The simulator is stopped by its process id whatever the program's result.
set -eu
sim=$1
shift
log=$(mktemp)
"$sim" --model em235 --address 127.0.0.1 --port 0 --deterministic >"$log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$log"' EXIT

port=""
tries=0
while [ -z "$port" ] && [ "$tries" -lt 100 ]; do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$log")
    if [ -z "$port" ]; then
        kill -0 "$sim_pid" 2>/dev/null || { cat "$log" >&2; exit 1; }
        sleep 0.1
        tries=$((tries + 1))
    fi
done
if [ -z "$port" ]; then
    echo "simulator did not start:" >&2
    cat "$log" >&2
    exit 1
fi
"$@" 127.0.0.1 "$port" </dev/null
