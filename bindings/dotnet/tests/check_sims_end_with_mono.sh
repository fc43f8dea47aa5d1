#!/usr/bin/env bash
# Mono killed while its simulators run: the wrapper the test runs under
# (with_own_group.sh) must end them, so that the output pipe closes (CTest
# stops waiting at once instead of at its time-out), no tandrel-sim is left,
# and the run reports Mono's death. Starts the .NET test program through the
# wrapper, kills Mono with SIGKILL once it has started a simulator, and
# checks all three.
# Usage: check_sims_end_with_mono.sh WRAPPER COMMAND [ARGS...]
set -euo pipefail
wrapper=$1; shift
work=$(mktemp -d)
sims="" reader="" run=""
# A failed check leaves no simulator behind either.
trap 'kill $sims $reader $run 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "check_sims_end_with_mono: $*" >&2; cat "$work/log" >&2 2>/dev/null; exit 1; }
# A process that ended, even if nobody has reaped it yet.
gone() { [[ ! -e /proc/$1 ]] || grep -q '^[0-9]* (.*) Z ' "/proc/$1/stat" 2>/dev/null; }
# Waits for what another process does; the limit only ends a hung run.
await() {
  local until=$((SECONDS + 30))
  while ((SECONDS < until)); do eval "$1" && return 0; sleep 0.05; done
  return 1
}
# Mono: the wrapper's child, or the wrapper itself if it replaced itself with it.
mono_of() { { grep -qx 'mono.*' "/proc/$1/comm" && echo "$1"; } || pgrep -P "$1" '^mono'; }

mkfifo "$work/out"
cat "$work/out" >"$work/log" &  # ends when every holder of the pipe is gone
reader=$!
bash "$wrapper" "$@" >"$work/out" 2>&1 &
run=$!

await 'mono=$(mono_of "$run") && [[ -n "$mono" ]]' || fail "the test program did not start"
await 'sims=$(pgrep -P "$mono" -x tandrel-sim) && [[ -n "$sims" ]]' || fail "no simulator started"
kill -KILL "$mono"

await 'gone "$reader"' || fail "the output pipe is still open after Mono died: simulators $(echo $sims)"
set +e; wait "$run"; status=$?; set -e
[[ $status == 137 ]] || fail "the wrapper exited with $status, not 137 (Mono killed)"
for sim in $sims; do gone "$sim" || fail "tandrel-sim $sim outlived Mono"; done
echo "check_sims_end_with_mono: Mono killed, its simulators ended with it"
