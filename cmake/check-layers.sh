#!/bin/sh
# Checks that no product file includes a header from a layer above its own.
# The layers, lowest first, and what each may include besides itself:
#
#   platform/           (the operating system)
#   records/            platform
#   timescale/          platform records
#   conversion/tiers/   platform records timescale
#   conversion/         platform records timescale conversion/tiers
#   lsini/              platform records timescale
#
#   cmake/check-layers.sh SOURCE_DIR
set -eu
cd "$1"
status=0
check() {
  layer=$1
  allowed=$2
  for file in "$layer"/*.h "$layer"/*.cpp; do
    [ -f "$file" ] || continue
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
      dir=$(dirname "$header")
      ok=0
      for a in "$layer" $allowed; do
        [ "$dir" = "$a" ] && ok=1
      done
      if [ $ok = 0 ]; then
        echo "$file includes $header, from a layer it may not use" >&2
        status=1
      fi
    done
  done
}
check platform ""
check records "platform"
check timescale "platform records"
check conversion/tiers "platform records timescale"
check conversion "platform records timescale conversion/tiers"
check lsini "platform records timescale"
[ $status = 0 ] && echo "layers: no include from above"
exit $status
