#!/bin/sh
# Whether this machine can start a Wine loader (default: the 32-bit one).
# Some kernels refuse every 32-bit x86 program ("Exec format error"); the
# exit status alone does not tell (126 through /usr/bin/wine, 2 under
# timeout), so the loader's answer is read: it starts with "wine-".
#
#   cmake/wine-probe.sh [LOADER]     exit 0: it starts; 1: it does not
loader=${1:-/usr/lib/wine/wine}
[ -x "$loader" ] || exit 1
version=$(timeout 60 "$loader" --version 2>/dev/null </dev/null) || true
case "$version" in
  wine-*) exit 0 ;;
  *) exit 1 ;;
esac
