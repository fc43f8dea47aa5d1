#!/usr/bin/env bash
# Runs a command in a process group of its own and, however the command
# ends, ends what it left in that group: the tandrel-sim processes a test
# program started. Without it, Mono dying before it stops its simulators
# leaves them running, holding the output pipe CTest reads, and the test
# waits out its time-out. Exits with the command's status (128 + the
# signal's number when a signal killed it).
# Usage: with_own_group.sh COMMAND [ARGS...]
set -m  # job control: the background command leads a new process group
"$@" &
pid=$!
trap 'kill -TERM -- "-$pid" 2>/dev/null' INT TERM
wait "$pid"
status=$?
kill -KILL -- "-$pid" 2>/dev/null
exit "$status"
