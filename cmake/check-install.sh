#!/bin/sh
# Installs the build in BUILD_DIR into an empty prefix and packs it as a
# .deb and a .tar.gz, and checks that each holds the two programs in bin/,
# the documentation under share/doc/kw-tai2utc/ and the manual pages (where
# help2man made them); then, where lintian is installed, that it finds no
# error and no warning in the .deb.
#
#   cmake/check-install.sh BUILD_DIR
set -eu
build=$1
for tool in file dpkg-shlibdeps; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "the package needs $tool: install the Debian packages file and dpkg-dev" >&2
    exit 1
  }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kw_install.XXXXXX")
trap 'rm -rf "$work"' EXIT
expected="bin/kw_lsini
bin/kw_tai2utc
share/doc/kw-tai2utc/LICENSE
share/doc/kw-tai2utc/README.md
share/doc/kw-tai2utc/changelog.Debian.gz
share/doc/kw-tai2utc/copyright
share/doc/kw-tai2utc/ls.ini"
if [ -f "$build/packaging/kw_tai2utc.1.gz" ]; then
  expected="$expected
share/man/man1/kw_lsini.1.gz
share/man/man1/kw_tai2utc.1.gz"
  suppressed=""
else
  echo "no manual pages in this build (help2man was not found)"
  # A build without help2man packs no manual page, knowingly: lintian is
  # not asked for them.
  suppressed="--suppress-tags no-manual-page"
fi

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
# Its dependencies, computed from the programs (dpkg-shlibdeps): a package
# without them would install where the programs cannot run.
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
  *libc6*) ;;
  *) echo "$deb has no computed Depends (\"$depends\")" >&2; exit 1 ;;
esac
tarball=$(ls "$work"/packages/*.tar.gz)
listing=$(tar -tzf "$tarball")
printf '%s\n' "$listing" | grep '/bin/kw_lsini$' >/dev/null
printf '%s\n' "$listing" | grep '/share/doc/kw-tai2utc/LICENSE$' >/dev/null
if command -v lintian >/dev/null 2>&1; then
  status=0
  # shellcheck disable=SC2086 # $suppressed is empty or an option and its value
  lintian --fail-on error,warning --display-info $suppressed "$deb" >"$work/lintian" 2>&1 ||
    status=$?
  grep -v 'root privileges' "$work/lintian" || true
  [ "$status" = 0 ] || { echo "lintian: errors or warnings (status $status)" >&2; exit 1; }
  echo "lintian: no error or warning"
else
  echo "lintian is not installed: the package was not checked with it"
fi
echo "install and packages: $(basename "$deb"), $(basename "$tarball")"
