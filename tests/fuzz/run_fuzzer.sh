#!/usr/bin/env bash
# Runs the fuzzer for a bounded time from the seed corpus, one job per core,
# on a scratch copy so the repository's corpus stays as it is. Fails on any
# finding, and prints how many inputs ran.
set -u
fuzzer=${1:?usage: run_fuzzer.sh FUZZER CORPUS SECONDS}
corpus=${2:?}
seconds=${3:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$corpus" "$work/corpus"
cd "$work" || exit
# Allocation stacks are not recorded: each costs more than the tool's whole
# run, and a finding still reports where it happened.
started=$(date +%s)
ASAN_OPTIONS=malloc_context_size=0 "$fuzzer" -fork="$(nproc)" \
  -max_total_time="$seconds" -max_len=512 -timeout=10 corpus > log 2>&1
status=$?
elapsed=$(($(date +%s) - started))
runs=$(sed -n 's/^#\([0-9]*\): cov.*/\1/p' log | tail -n 1)
echo "fuzzer: ${runs:-0} inputs in $elapsed s, $((${runs:-0} / (elapsed > 0 ? elapsed : 1))) per second"
if [ "$status" -ne 0 ]; then
  grep -E -A 40 'ERROR|invariant broken' log | head -n 60
  echo "fuzzer finding (exit status $status)"
fi
exit "$status"
