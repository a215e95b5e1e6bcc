#!/usr/bin/env bash
# Times the whole program against a plain copy of the same data file.
#
#   bench/whole_program.sh [N] [REPETITIONS]
#
# Builds the default (Release) preset, writes N daily records (default
# 10,000,000, about 390 MB) and the shipped "ls.ini" into a temporary tree,
# then times, interleaved over REPETITIONS rounds (default 5):
#   (a) the program converting the file, and
#   (b) dd bs=1M copying the same file to a new file.
# Prints the medians, the ratio (a)/(b), records per second and the
# program's peak resident memory, then the time of a typical small file
# (36,525 records, a century of days) from process start to exit.
set -euo pipefail

records=${1:-10000000}
rounds=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/default

cd "$root"
[ -f "$build/build.ninja" ] || cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
program=$build/kw_tai2utc
timed=$build/bench/kw_timed_run

tree=$(mktemp -d "${TMPDIR:-/tmp}/kw_bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/big/site/run" "$tree/small/site/run"
cp examples/station/run/ls.ini "$tree/big/site/run/"
cp examples/station/run/ls.ini "$tree/small/site/run/"
"$build/bench/kw_make_data" "$records" >"$tree/big/KW_PVZ.DAT"
"$build/bench/kw_make_data" 36525 >"$tree/small/KW_PVZ.DAT"
bytes=$(stat -c %s "$tree/big/KW_PVZ.DAT")
cat "$tree/big/KW_PVZ.DAT" >/dev/null  # both start from the page cache

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run_program() {
  rm -f "$tree/big/site/run/new.txt" "$tree/big/site/run/lsconv.lst"
  sync
  "$timed" "$tree/big/site/run" "$program" >>"$tree/program.times"
}
run_copy() {
  rm -f "$tree/big/copy.dat"
  sync
  "$timed" "$tree/big" dd if=KW_PVZ.DAT of=copy.dat bs=1M status=none >>"$tree/copy.times"
}

: >"$tree/program.times"
: >"$tree/copy.times"
for ((i = 1; i <= rounds; ++i)); do
  if ((i % 2)); then run_copy; run_program; else run_program; run_copy; fi
done
rm -f "$tree/big/copy.dat"

out_bytes=$(stat -c %s "$tree/big/site/run/new.txt")
if [ "$out_bytes" -ne $((records * 38)) ]; then
  echo "new.txt has $out_bytes bytes, not $((records * 38))" >&2
  exit 1
fi

echo "program times: $(cut -d" " -f1 "$tree/program.times" | tr "\n" " ")" >&2
echo "copy times: $(cut -d" " -f1 "$tree/copy.times" | tr "\n" " ")" >&2
program_s=$(cut -d' ' -f1 "$tree/program.times" | median)
copy_s=$(cut -d' ' -f1 "$tree/copy.times" | median)
peak_kib=$(cut -d' ' -f2 "$tree/program.times" | sort -n | tail -1)

small_times=$tree/small.times
: >"$small_times"
for ((i = 1; i <= 21; ++i)); do
  rm -f "$tree/small/site/run/new.txt"
  "$timed" "$tree/small/site/run" "$program" >>"$small_times"
done
small_s=$(cut -d' ' -f1 "$small_times" | median)
small_max=$(cut -d' ' -f1 "$small_times" | sort -g | tail -1)

echo "machine: $(nproc) cores, $(uname -sr)"
printf 'data file: %d records, %d bytes; %d interleaved rounds\n' "$records" "$bytes" "$rounds"
awk -v p="$program_s" -v c="$copy_s" -v n="$records" -v b="$bytes" -v k="$peak_kib" 'BEGIN {
  printf "program (median): %.3f s  %.1f M records/s  %.0f MB/s\n", p, n / p / 1e6, b / p / 1e6
  printf "dd bs=1M copy (median): %.3f s  %.0f MB/s\n", c, b / c / 1e6
  printf "ratio program/copy: %.2f\n", p / c
  printf "program peak resident memory: %.2f MiB\n", k / 1024
}'
awk -v s="$small_s" -v m="$small_max" 'BEGIN {
  printf "small file (36,525 records), start to exit: median %.1f ms, slowest %.1f ms of 21\n", s * 1000, m * 1000
}'
