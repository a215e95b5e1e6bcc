#!/usr/bin/env bash
# Times the whole program against a plain copy of the same data file, in
# each of the layouts real data files have.
#
#   bench/whole_program.sh [N] [ROUNDS] [LAYOUT...]
#
# Builds the default (Release) preset; for each layout (default: all
# thirteen of kw_make_data: single, single_lf, padded, blank_dates, output,
# commas, tabs, python, decimals, mixed, fixed3, fixed5, indented) writes N
# daily records (default 5,000,000) and the shipped "ls.ini" into a
# temporary tree, then times, interleaved over ROUNDS rounds (default 5),
# like for like:
#   (a) the program converting the file over the new.txt of the run
#       before (a first run makes it), and
#   (b) dd bs=1M conv=notrunc copying the same file over a copy of it,
#   (b') the cut copy, kw_io_floor --copy: the same file copied in 1 MiB
#       blocks over another copy through the program's file layer, cut
#       after its first block as the program cuts new.txt after its first
#       records (the old contents go, their pages with them),
#   (c) the named form, file to file: kw_tai2utc --table ls.ini F out.txt,
#   (d) the named form through pipes: cat F | kw_tai2utc --table ls.ini - > out,
#   (e) the I/O floor, kw_io_floor: 1 MiB blocks read, each line found, 38
#       bytes written for it, its output used as the program uses new.txt.
# Prints each round's times, then per layout the medians, the ratio
# (a)/(b), the ratio (a)/(b'), the program's processor time per record, its
# peak resident memory, the ratios (c)/(b), (d)/(b) and (e)/(b), and, where
# valgrind is installed, the instructions a record of the whole program and of the
# I/O floor, counted by callgrind on the first 200,000 records; then the
# time of a typical small file (36,525 records, a century of days) from
# process start to exit, against cat of the same file.
set -euo pipefail

records=${1:-5000000}
rounds=${2:-5}
shift $(($# < 2 ? $# : 2))
layouts=("$@")
[ ${#layouts[@]} -gt 0 ] || layouts=(single single_lf padded blank_dates output commas tabs python
  decimals mixed fixed3 fixed5 indented)
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/default

cd "$root"
[ -f "$build/build.ninja" ] || cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
program=$build/kw_tai2utc
timed=$build/bench/kw_timed_run

tree=$(mktemp -d "${TMPDIR:-/tmp}/kw_bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "machine: $(nproc) cores, $(uname -sr); $records records, $rounds interleaved rounds"
summary=$tree/summary
: >"$summary"
for layout in "${layouts[@]}"; do
  dir=$tree/$layout
  mkdir -p "$dir/site/run"
  cp examples/station/run/ls.ini "$dir/site/run/"
  "$build/bench/kw_make_data" "$records" "$layout" >"$dir/KW_PVZ.DAT"
  cat "$dir/KW_PVZ.DAT" >/dev/null  # both start from the page cache
  # Both write over a file of the size they write: a first run and a copy.
  (cd "$dir/site/run" && "$program")
  cp "$dir/KW_PVZ.DAT" "$dir/copy.dat"
  cp "$dir/KW_PVZ.DAT" "$dir/cut_copy.dat"
  : >"$dir/program.times"
  : >"$dir/copy.times"
  : >"$dir/cut_copy.times"
  : >"$dir/named.times"
  : >"$dir/piped.times"
  : >"$dir/floor.times"
  run_named_form() {
    sync
    "$timed" "$dir/site/run" "$program" --table ls.ini ../../KW_PVZ.DAT named.txt \
      >>"$dir/named.times"
  }
  run_piped() {
    sync
    "$timed" "$dir/site/run" sh -c "cat ../../KW_PVZ.DAT | '$program' --table ls.ini - > piped.txt" \
      >>"$dir/piped.times"
  }
  run_program() {
    sync
    "$timed" "$dir/site/run" "$program" >>"$dir/program.times"
  }
  run_floor() {
    sync
    "$timed" "$dir" "$build/bench/kw_io_floor" KW_PVZ.DAT floor.out >>"$dir/floor.times"
  }
  run_copy() {
    sync
    "$timed" "$dir" dd if=KW_PVZ.DAT of=copy.dat bs=1M conv=notrunc status=none \
      >>"$dir/copy.times"
  }
  run_cut_copy() {
    sync
    "$timed" "$dir" "$build/bench/kw_io_floor" --copy KW_PVZ.DAT cut_copy.dat \
      >>"$dir/cut_copy.times"
  }
  for ((i = 1; i <= rounds; ++i)); do
    if ((i % 2)); then run_copy; run_program; run_cut_copy; else run_cut_copy; run_program; run_copy; fi
    run_named_form
    run_piped
    run_floor
  done
  out_bytes=$(stat -c %s "$dir/site/run/new.txt")
  if [ "$out_bytes" -ne $((records * 38)) ]; then
    echo "$layout: new.txt has $out_bytes bytes, not $((records * 38))" >&2
    exit 1
  fi
  for form in named piped; do
    cmp -s "$dir/site/run/new.txt" "$dir/site/run/$form.txt" || {
      echo "$layout: the $form form wrote other bytes than the fixed run" >&2
      exit 1
    }
  done
  echo "$layout: program $(cut -d" " -f1 "$dir/program.times" | tr "\n" " ")" \
    "/ copy $(cut -d" " -f1 "$dir/copy.times" | tr "\n" " ")" \
    "/ cut copy $(cut -d" " -f1 "$dir/cut_copy.times" | tr "\n" " ")" \
    "/ named $(cut -d" " -f1 "$dir/named.times" | tr "\n" " ")" \
    "/ piped $(cut -d" " -f1 "$dir/piped.times" | tr "\n" " ")" \
    "/ floor $(cut -d" " -f1 "$dir/floor.times" | tr "\n" " ")"
  # Instructions a record, of the whole program and of the floor.
  program_ir=- floor_ir=-
  if command -v valgrind >/dev/null; then
    mkdir -p "$dir/head/site/run"
    cp examples/station/run/ls.ini "$dir/head/site/run/"
    head -n 200000 "$dir/KW_PVZ.DAT" >"$dir/head/KW_PVZ.DAT"
    count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 |
      awk '/refs:/ { gsub(",", "", $4); printf "%.0f", $4 / 200000 }'; }
    program_ir=$(cd "$dir/head/site/run" && count "$program")
    floor_ir=$(cd "$dir/head" && count "$build/bench/kw_io_floor" KW_PVZ.DAT floor.out)
    rm -rf "$dir/head"
  fi
  printf '%s %s %s %s %s %s %s %s %s %s %s %s\n' "$layout" "$(stat -c %s "$dir/KW_PVZ.DAT")" \
    "$(cut -d' ' -f1 "$dir/program.times" | median)" \
    "$(cut -d' ' -f1 "$dir/copy.times" | median)" \
    "$(cut -d' ' -f2 "$dir/program.times" | sort -n | tail -1)" \
    "$(cut -d' ' -f3 "$dir/program.times" | median)" \
    "$(cut -d' ' -f1 "$dir/named.times" | median)" \
    "$(cut -d' ' -f1 "$dir/piped.times" | median)" \
    "$(cut -d' ' -f1 "$dir/floor.times" | median)" "$program_ir" "$floor_ir" \
    "$(cut -d' ' -f1 "$dir/cut_copy.times" | median)" >>"$summary"
  rm -f "$dir/KW_PVZ.DAT" "$dir/copy.dat" "$dir/cut_copy.dat" "$dir/floor.out" "$dir"/site/run/*.txt
done

echo
printf '%-12s %6s %9s %8s %7s %9s %13s %9s %7s %7s %7s %10s %8s\n' layout MB program_s copy_s ratio \
  cut_ratio cpu_ns/record peak_MiB named piped floor ir/record floor_ir
awk -v n="$records" '{ printf "%-12s %6.0f %9.3f %8.3f %7.2f %9.2f %13.1f %9.2f %7.2f %7.2f %7.2f %10s %8s\n",
  $1, $2 / 1e6, $3, $4, $3 / $4, $3 / $12, $6 / n * 1e9, $5 / 1024, $7 / $4, $8 / $4, $9 / $4, $10, $11 }' "$summary"

# A small file: a century of days, from start to exit, against cat.
small=$tree/small
mkdir -p "$small/site/run"
cp examples/station/run/ls.ini "$small/site/run/"
"$build/bench/kw_make_data" 36525 >"$small/KW_PVZ.DAT"
: >"$small/program.times"
: >"$small/cat.times"
for ((i = 1; i <= 21; ++i)); do
  rm -f "$small/site/run/new.txt"
  "$timed" "$small/site/run" "$program" >>"$small/program.times"
  "$timed" "$small" sh -c 'cat KW_PVZ.DAT > copy.dat' >>"$small/cat.times"
done
awk -v p="$(cut -d' ' -f1 "$small/program.times" | median)" \
  -v c="$(cut -d' ' -f1 "$small/cat.times" | median)" 'BEGIN {
  printf "small file (36,525 records), start to exit, median of 21: program %.1f ms, cat %.1f ms, ratio %.2f\n", p * 1000, c * 1000, p / c
}'
