#!/bin/sh
# Builds the Debian package in a configured and built tree and checks that it holds the program,
# its man page, completion, copyright and changelog, that the packaged program runs, and, where
# lintian is installed, that lintian finds nothing the package's overrides do not explain.
#
# Usage: check_deb.sh BUILD-DIR
set -eu

build=${1:?usage: check_deb.sh BUILD-DIR}
here=$(cd "$(dirname "$0")" && pwd)
cd "$build"

log=$(mktemp)
tmp=$(mktemp -d)
trap 'rm -rf "$log" "$tmp"' EXIT

cpack -G DEB >"$log" 2>&1 || { cat "$log"; echo "check_deb.sh: cpack failed" >&2; exit 1; }
cat "$log"
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$log")
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check_deb.sh: cpack named no package file" >&2
  exit 1
fi

echo "package: $deb"
dpkg-deb -f "$deb" Package Version Architecture Section Depends
dpkg-deb -c "$deb" >"$tmp/contents"

failed=0
# Field 1 is the mode, field 6 the path. A regular file is required, the program executable.
check() {
  entry=$(awk -v path="$1" '$6 == path' "$tmp/contents")
  case "$entry" in
    $2*) echo "found: $entry" ;;
    '') echo "MISSING: $1" >&2; failed=1 ;;
    *) echo "WRONG MODE (want $2...): $entry" >&2; failed=1 ;;
  esac
}
check ./usr/bin/tolvane '-rwxr-xr-x'
for file in man/man1/tolvane.1.gz bash-completion/completions/tolvane zsh/vendor-completions/_tolvane \
  fish/vendor_completions.d/tolvane.fish doc/tolvane/copyright doc/tolvane/changelog.gz \
  lintian/overrides/tolvane; do
  check "./usr/share/$file" '-rw-r--r--'
done

if grep -q site-functions "$tmp/contents"; then
  echo "check_deb.sh: the package puts a zsh completion where Debian's zsh does not look" >&2
  failed=1
fi

if [ "$(dpkg-deb -f "$deb" Package)" != tolvane ]; then
  echo "check_deb.sh: package name is not tolvane" >&2
  failed=1
fi

if [ "$failed" -eq 0 ]; then
  dpkg-deb -x "$deb" "$tmp/root"
  answer=$("$tmp/root/usr/bin/tolvane" -verifypan -pan 4111111111111111) || answer="exit status $?"
  if [ "$answer" = Y ]; then
    echo "packaged program answers -verifypan: $answer"
  else
    echo "check_deb.sh: packaged program answered '$answer', not Y" >&2
    failed=1
  fi
  # zsh's own completion, run from where the package put it, and that folder is one zsh searches.
  if command -v zsh >/dev/null 2>&1; then
    if ! zsh -fc 'print -l $fpath' | grep -qx /usr/share/zsh/vendor-completions; then
      echo "check_deb.sh: this zsh does not search /usr/share/zsh/vendor-completions" >&2
      failed=1
    fi
    bash "$here/../tests/completion_test.sh" zsh "$tmp/root/usr/bin/tolvane" \
      "$tmp/root/usr/share/zsh/vendor-completions" || failed=1
  else
    echo "check_deb.sh: zsh not found, the packaged zsh completion not run (apt-get install zsh)"
  fi
fi

# Pedantic and informational tags too; overridden ones are not printed.
if command -v lintian >/dev/null 2>&1; then
  status=0
  lintian --pedantic --display-info --display-experimental "$deb" >"$tmp/lintian" \
    2>"$tmp/lintian.err" || status=$?
  if [ -s "$tmp/lintian" ] || [ "$status" -ne 0 ]; then
    echo "check_deb.sh: lintian (exit status $status):" >&2
    cat "$tmp/lintian" "$tmp/lintian.err" >&2
    failed=1
  else
    echo "lintian --pedantic: no findings"
  fi
else
  echo "check_deb.sh: lintian not found, package not linted (apt-get install lintian)"
fi

if [ "$failed" -ne 0 ]; then
  echo "check_deb.sh: FAILED" >&2
  exit 1
fi
echo "check_deb.sh: package passed"
