#!/bin/sh
# Checks the layers from what the build made and from each header on its
# own, not from how the code is spelled. The layers, what each may use and
# the targets built from each are in cmake/layers.txt, the one list. Fails
# when:
#  - a product header includes, directly or through others, a header of a
#    layer its own folder may not use (each header is preprocessed alone,
#    so a header that no object of its own layer reads is judged too), or
#    a product file spells such an include under any condition (another
#    system's side of an #ifdef too);
#  - an object of a layer's target reads such a header, or is compiled
#    from a source outside that layer's folder (a source in no layer
#    included);
#  - a layer's library needs a symbol that only a layer it may not use
#    defines (its undefined symbols, by nm);
#  - the check matched nothing: a layer with no object in the build's
#    dependency record, a header the compiler gave no dependencies for, a
#    layer without a library (paths are compared with their links
#    resolved, so a source folder named through a link is checked too);
#  - the README or ARCHITECTURE.md no longer shows the list as it is.
#
#   cmake/check-layers.sh BUILD_DIR SOURCE_DIR CXX   (a Ninja build, after it is built)
set -eu
build=$(cd "$1" && pwd -P)
source=$(cd "$2" && pwd -P)
cxx=$3
list=$source/cmake/layers.txt

work=$(mktemp -d "${TMPDIR:-/tmp}/kw_layers.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0

# The list as "layer<TAB>may use<TAB>targets", slashes dropped: "records",
# "platform records", "kw_records".
awk -F'|' '
  /^#/ || NF == 0 { next }
  NF != 3 { print "layers: " FILENAME ":" NR ": not \"layer | may use | built into\"" > "/dev/stderr"; bad = 1; next }
  {
    for (i = 1; i <= 3; ++i) { gsub(/^ +| +$/, "", $i); gsub(/\/( |$)/, " ", $i); gsub(/ +$/, "", $i) }
    if ($2 ~ /^\(/) $2 = ""
    printf "%s\t%s\t%s\n", $1, $2, $3
  }
  END { exit bad }
' "$list" >"$work/layers" || exit 1
[ -s "$work/layers" ] || { echo "layers: $list lists no layer" >&2; exit 1; }
layers=$(cut -f1 "$work/layers")

# The list as the documentation shows it: each of its lines, as they are.
doc=$source/README.md
[ -f "$source/ARCHITECTURE.md" ] && doc=$source/ARCHITECTURE.md
grep -v '^#' "$list" | grep -v '^$' | while IFS= read -r line; do
  grep -qxF "$line" "$doc" || {
    echo "layers: ${doc#"$source"/} does not show this line of cmake/layers.txt: $line" >&2
    echo x >>"$work/stale"
  }
done
[ -f "$work/stale" ] && status=1

# 1. Each product header alone: the headers the preprocessor reads for it.
# (A subfolder that is not a layer of its own belongs to its folder's.)
for l in $layers; do
  find "$source/$l" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.inl' \)
done | sort -u >"$work/headers"
[ -s "$work/headers" ] || { echo "layers: no product header found under $source" >&2; exit 1; }
xargs "$cxx" -std=c++20 -x c++ -I"$source" -I"$build/generated" -MM -MG <"$work/headers" \
  >"$work/header-deps" || { echo "layers: the product headers do not preprocess alone" >&2; exit 1; }
# As rules of the form "HEADER: DEP DEP ...", one a line.
awk '
  { line = $0; joined = (sub(/\\$/, "", line) ? joined line : joined line "\n") }
  !/\\$/ { printf "%s", joined; joined = "" }
' "$work/header-deps" | awk '{ $1 = ""; sub(/^ /, ""); print }' >"$work/header-rules"

# Every include as it is spelled in a product file, under any condition:
# the preprocessor sees only this system's side of an "#ifdef _WIN32". A
# quoted name is looked for beside the file first, any name then under the
# source folder; names found in neither (the system's) are left out.
for l in $layers; do
  find "$source/$l" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.inl' -o -name '*.cpp' \)
done | sort -u | tr '\n' '\0' |
  xargs -0 grep -HE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' |
  awk -v source="$source" '
    function exists(path,   r, x) { r = (getline x < path); close(path); return r >= 0 }
    {
      file = substr($0, 1, index($0, ":") - 1)
      name = substr($0, index($0, ":") + 1)
      sub(/^[^"<]*["<]/, "", name); sub(/[">].*$/, "", name)
      dir = file; sub(/\/[^\/]*$/, "", dir)
      if (exists(dir "/" name)) print file, dir "/" name
      else if (exists(source "/" name)) print file, source "/" name
    }' >"$work/spelled-rules"
[ -s "$work/spelled-rules" ] || { echo "layers: no include found in the product files" >&2; exit 1; }

# 2. The objects the build made, and what each read.
ninja -C "$build" -t deps >"$work/deps" || {
  echo "layers: no dependency record (is $build a built Ninja tree?)" >&2
  exit 1
}

# Every absolute path either pass names, with its links resolved.
{
  awk '/^ / { sub(/^ +/, ""); print }' "$work/deps"
  tr ' ' '\n' <"$work/header-rules"
  tr ' ' '\n' <"$work/spelled-rules"
} | grep '^/' | sort -u >"$work/paths"
tr '\n' '\0' <"$work/paths" | xargs -0 realpath -m -- >"$work/real"
paste "$work/paths" "$work/real" >"$work/path-map"

awk -v source="$source" -v header_count="$(wc -l <"$work/headers")" '
  function real(path) { return (path in canonical) ? canonical[path] : path }
  # The layer of a file of the source tree: its deepest listed folder, or
  # nothing for the rest (tests, benchmarks, the build'"'"'s own headers).
  function layer_of(file,   l, best) {
    file = real(file)
    if (index(file, source "/") != 1) return ""
    best = ""
    for (l in allowed)
      if (index(file, source "/" l "/") == 1 && length(l) > length(best)) best = l
    return best
  }
  function shown(file) { file = real(file); return index(file, source "/") == 1 ? substr(file, length(source) + 2) : file }
  function judge(who, layer, file,   used) {
    used = layer_of(file)
    if (used != "" && index(" " allowed[layer] " ", " " used " ") == 0) {
      said = sprintf("%s includes %s, from %s/, which %s/ may not use", shown(who), shown(file), used, layer)
      if (!(said in already)) print said > "/dev/stderr"
      already[said] = 1
      bad = 1
    }
  }
  FILENAME ~ /path-map$/ { canonical[$1] = $2; next }
  FILENAME ~ /layers$/ {
    split($0, f, "\t")
    allowed[f[1]] = f[1] " " f[2]
    n = split(f[3], t, " ")
    for (i = 1; i <= n; ++i) layer_of_target[t[i]] = f[1]
    next
  }
  # Headers, each by its own folder.
  FILENAME ~ /header-rules$/ {
    rules++
    header = $1
    layer = layer_of(header)
    if (layer == "") { printf "layers: %s lies in no layer\n", shown(header) > "/dev/stderr"; bad = 1; next }
    for (i = 2; i <= NF; ++i) judge(header, layer, $i)
    next
  }
  # Includes as spelled, each by the folder of the file that spells it.
  FILENAME ~ /spelled-rules$/ {
    layer = layer_of($1)
    if (layer != "") judge($1, layer, $2)
    next
  }
  # Objects, each by the layer of the target it is built into.
  /^[^ ]/ {
    object = $1; sub(/:$/, "", object); layer = ""; first = 1
    target = object
    if (match(target, /(^|\/)CMakeFiles\/[^\/]+\.dir\//)) {
      target = substr(target, RSTART, RLENGTH); sub(/^\/?CMakeFiles\//, "", target); sub(/\.dir\/$/, "", target)
      if (target in layer_of_target) layer = layer_of_target[target]
    }
    next
  }
  /^ / {
    if (layer == "") next
    file = $0; sub(/^ +/, "", file)
    if (first) {
      first = 0
      src = file
      if (layer_of(file) != layer) {
        printf "%s compiles %s, which lies outside %s/ (in %s)\n", target, shown(file), layer,
               layer_of(file) == "" ? "no layer" : layer_of(file) "/" > "/dev/stderr"
        bad = 1
      } else {
        objects[layer]++
      }
      next
    }
    judge(src, layer, file)
  }
  END {
    if (rules != header_count) {
      printf "layers: %d product headers, but the compiler gave the dependencies of %d\n", header_count, rules > "/dev/stderr"
      bad = 1
    }
    for (l in allowed) {
      if (!(l in objects)) {
        printf "layers: no object of %s/ in the build'"'"'s record: nothing of it was checked (is %s the source folder the build was made from?)\n", l, source > "/dev/stderr"
        bad = 1
      }
    }
    exit bad
  }
' "$work/path-map" "$work/layers" "$work/header-rules" "$work/spelled-rules" "$work/deps" ||
  status=1

# 3. Symbols each layer's libraries need, against what the layers define.
libraries_of() {
  # shellcheck disable=SC2013 # (the targets are words of one line)
  for t in $(awk -F'\t' -v l="$1" '$1 == l { print $3 }' "$work/layers"); do
    [ -f "$build/lib$t.a" ] && echo "$build/lib$t.a"
  done
  return 0
}
for l in $layers; do
  libraries=$(libraries_of "$l")
  [ -n "$libraries" ] || { echo "layers: no library of $l/ in $build" >&2; exit 1; }
  # shellcheck disable=SC2086
  nm -g --defined-only $libraries 2>/dev/null | awk '$2 ~ /^[TDBR]$/ { print $3 }' | sort -u \
    >"$work/defined.$(echo "$l" | tr / _)"
done
for l in $layers; do
  # shellcheck disable=SC2046
  nm -g -u $(libraries_of "$l") 2>/dev/null | awk '{ print $NF }' | sort -u >"$work/needed"
  may_use=" $l $(awk -F'\t' -v l="$l" '$1 == l { print $2 }' "$work/layers") "
  for other in $layers; do
    case $may_use in *" $other "*) continue ;; esac
    comm -12 "$work/needed" "$work/defined.$(echo "$other" | tr / _)" | while IFS= read -r symbol; do
      echo "$l/ uses $(echo "$symbol" | c++filt), which only $other/ defines" >&2
      echo x >>"$work/upward"
    done
  done
done
[ -f "$work/upward" ] && status=1
[ $status = 0 ] &&
  echo "layers: $(wc -l <"$work/headers") headers and the build's objects, no include from above, no symbol from above"
exit $status
