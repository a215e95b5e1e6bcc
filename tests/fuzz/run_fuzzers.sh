#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset, clang with AddressSanitizer
# and UndefinedBehaviorSanitizer) and fuzzes each for SECONDS (default 60),
# starting from a copy of its seed corpus. Prints each target's executions;
# fails when a target finds an input that breaks a property or crashes.
#
#   tests/fuzz/run_fuzzers.sh [SECONDS]
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

status=0
for target in free_format data_record ls_l run leap_list leap_second_dat tai_utc_dat iers_series; do
  corpus=$root/build/fuzz/corpus/$target
  mkdir -p "$corpus" "$root/build/fuzz/findings/$target"
  cp -n tests/fuzz/corpus/$target/* "$corpus/" 2>/dev/null || true
  log=$root/build/fuzz/$target.log
  quiet=
  # The whole run writes its error 63 lines by the thousand: not to the log.
  [ "$target" = run ] && quiet=-close_fd_mask=2
  if (cd "$root/build/fuzz/findings/$target" &&
      "$root/build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -max_len=4096 -timeout=10 -rss_limit_mb=2048 $quiet "$corpus" >"$log" 2>&1); then
    result=ok
  else
    result="FAILED (see $log and build/fuzz/findings/$target)"
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  printf '%-16s %s executions in %ss, corpus %s files: %s\n' "$target" "$runs" "$seconds" \
    "$(ls "$corpus" | wc -l)" "$result"
done
exit $status
