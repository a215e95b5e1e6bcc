#!/bin/sh
# Installs the build in BUILD_DIR into an empty prefix and packs it as a
# .deb and a .tar.gz, and checks that each holds the two programs in bin/
# and the documentation under share/doc/kw_tai2utc/.
#
#   cmake/check-install.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kw_install.XXXXXX")
trap 'rm -rf "$work"' EXIT
expected="bin/kw_lsini
bin/kw_tai2utc
share/doc/kw_tai2utc/README.md
share/doc/kw_tai2utc/ls.ini"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
installed=$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  printf 'installed:\n%s\nexpected:\n%s\n' "$installed" "$expected" >&2
  exit 1
fi

cpack --config "$build/CPackConfig.cmake" -B "$work/packages" -G "DEB;TGZ" >/dev/null
deb=$(ls "$work"/packages/*.deb)
packed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sed 's|^\./usr/||' | sort)
if [ "$packed" != "$expected" ]; then
  printf '%s holds:\n%s\nexpected:\n%s\n' "$deb" "$packed" "$expected" >&2
  exit 1
fi
tarball=$(ls "$work"/packages/*.tar.gz)
tar -tzf "$tarball" | grep -q '/bin/kw_lsini$'
echo "install and packages: $(basename "$deb"), $(basename "$tarball")"
