#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a while from its seed
# corpus. The working corpora, logs and any crash inputs stay in build-fuzz, so the seeds in
# tests/fuzz/corpus are never changed; what a run adds to a working corpus is kept for the
# next run. Exits non-zero when a target finds anything.
#
#   FUZZ_SECONDS  seconds per target (60)
#   JOBS          parallel build jobs (number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
build="build-fuzz"
targets=(fuzz_record_line fuzz_history_load fuzz_settings_read fuzz_read_number)

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing; run scripts/install-deps.sh" >&2
  exit 2
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKETATOBI_FUZZ=ON -DKETATOBI_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# The history and settings targets write their file once per input: on a memory file system
# they run several times faster.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi
export UBSAN_OPTIONS=print_stacktrace=1

failed=0
summary=()
for target in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$target
  artifacts=$build/fuzz-artifacts/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  rm -f "$artifacts"/*
  start_units=$(find "$corpus" -type f | wc -l)

  echo "== $target: ${seconds}s from $start_units inputs"
  status=0
  "$build/tests/fuzz/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
  found=$(find "$artifacts" -type f | wc -l)
  if ((status != 0 || found > 0)); then
    failed=1
    result="FOUND $found input(s) in $artifacts (exit $status)"
    echo "-- last lines of $log:"
    tail -n 40 "$log"
  else
    result="nothing found"
  fi
  units=$(find "$corpus" -type f | wc -l)
  line="$target: ${runs:-?} runs, ${coverage:-no coverage line}, corpus $units inputs, $result"
  echo "$line"
  summary+=("$line")
done

echo
echo "== fuzzing summary (${seconds}s per target, logs in $build/fuzz-logs)"
printf '%s\n' "${summary[@]}"
exit "$failed"
