#!/bin/sh
# Checks the layers from what the build made, not from how the code is
# spelled: no product object includes a header of a layer above its own
# (the headers the compiler read, as Ninja recorded them), and no layer's
# library calls a function or uses an object that only a layer above it
# defines (its undefined symbols, by nm). The layers, lowest first, and
# what each may use besides itself:
#
#   platform/           (the operating system)
#   records/            platform
#   timescale/          platform records
#   conversion/tiers/   platform records timescale
#   conversion/         platform records timescale conversion/tiers
#   lsini/              platform records timescale
#
#   cmake/check-layers.sh BUILD_DIR SOURCE_DIR    (a Ninja build, after it is built)
set -eu
build=$1
source=$2
layers="platform records timescale conversion/tiers conversion lsini"

allowed() {
  case $1 in
    platform) echo "platform" ;;
    records) echo "platform records" ;;
    timescale) echo "platform records timescale" ;;
    conversion/tiers) echo "platform records timescale conversion/tiers" ;;
    conversion) echo "platform records timescale conversion/tiers conversion" ;;
    lsini) echo "platform records timescale lsini" ;;
  esac
}

# The layer of a file of the source tree, or nothing for the rest (tests,
# benchmarks, the build's own generated headers).
layer_of() {
  case $1 in
    "$source"/conversion/tiers/*) echo conversion/tiers ;;
    "$source"/conversion/*) echo conversion ;;
    "$source"/platform/* | "$source"/records/* | "$source"/timescale/* | "$source"/lsini/*)
      rel=${1#"$source"/}
      echo "${rel%%/*}"
      ;;
  esac
}

library_of() {
  case $1 in
    platform) echo kw_platform ;;
    records) echo kw_records ;;
    timescale) echo kw_timescale ;;
    conversion/tiers) echo kw_tiers ;;
    conversion) echo kw_lsconv ;;
    lsini) echo kw_lsini ;;
  esac
}

work=$(mktemp -d "${TMPDIR:-/tmp}/kw_layers.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0

# 1. Headers the compiler read.
ninja -C "$build" -t deps >"$work/deps" || {
  echo "layers: no dependency record (is $build a built Ninja tree?)" >&2
  exit 1
}
awk -v source="$source" '
  function layer_of(file,   rel) {
    if (index(file, source "/") != 1) return ""
    rel = substr(file, length(source) + 2)
    if (rel ~ /^conversion\/tiers\//) return "conversion/tiers"
    if (rel ~ /^(conversion|platform|records|timescale|lsini)\//) return substr(rel, 1, index(rel, "/") - 1)
    return ""
  }
  BEGIN {
    allowed["platform"] = " platform "
    allowed["records"] = " platform records "
    allowed["timescale"] = " platform records timescale "
    allowed["conversion/tiers"] = " platform records timescale conversion/tiers "
    allowed["conversion"] = " platform records timescale conversion/tiers conversion "
    allowed["lsini"] = " platform records timescale lsini "
  }
  /^[^ ]/ { object = ""; next }
  {
    file = $0; sub(/^ +/, "", file)
    if (object == "") { object = file; layer = layer_of(file); next }
    if (layer == "") next
    used = layer_of(file)
    if (used != "" && index(allowed[layer], " " used " ") == 0) {
      printf "%s includes %s, from a layer it may not use\n", substr(object, length(source) + 2),
             substr(file, length(source) + 2) > "/dev/stderr"
      bad = 1
    }
  }
  END { exit bad }
' "$work/deps" || status=1

# 2. Symbols each layer's library needs, against what the layers define.
for l in $layers; do
  lib=$build/lib$(library_of "$l").a
  [ -f "$lib" ] || { echo "layers: $lib is missing" >&2; exit 1; }
  nm -g --defined-only "$lib" 2>/dev/null | awk '$2 ~ /^[TDBR]$/ { print $3 }' | sort -u \
    >"$work/defined.$(library_of "$l")"
done
for l in $layers; do
  lib=$build/lib$(library_of "$l").a
  nm -g -u "$lib" 2>/dev/null | awk '{ print $NF }' | sort -u >"$work/needed"
  for other in $layers; do
    ok=0
    for a in $(allowed "$l"); do
      [ "$other" = "$a" ] && ok=1
    done
    [ $ok = 1 ] && continue
    comm -12 "$work/needed" "$work/defined.$(library_of "$other")" | while IFS= read -r symbol; do
      echo "$l/ uses $(echo "$symbol" | c++filt), which only $other/ defines" >&2
      echo x >>"$work/upward"
    done
  done
done
[ -f "$work/upward" ] && status=1
[ $status = 0 ] && echo "layers: no include from above, no symbol from above"
exit $status
