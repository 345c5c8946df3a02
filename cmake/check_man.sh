#!/bin/sh
# Renders a man page with groff and fails when groff prints anything on standard error (every
# warning is switched on), when the page renders to nothing, or when a rendered line is wider
# than an 80-column terminal (lines of an example block are never refilled, so a long one would
# run off the screen without any warning), and when a source line is wider than 80 columns.
# Exits 77 (skipped) where groff is missing.
#
# Usage: check_man.sh PAGE
set -u

page=${1:?usage: check_man.sh PAGE}
if ! command -v groff >/dev/null 2>&1; then
  echo "check_man.sh: groff not found, page not checked (apt-get install groff-base)" >&2
  exit 77
fi
if [ ! -r "$page" ]; then
  echo "check_man.sh: cannot read $page" >&2
  exit 1
fi

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

failed=0
LC_ALL=C awk 'length($0) > 80 { printf "source line %d is %d columns wide\n", NR, length($0); bad = 1 }
              END { exit bad }' "$page" >&2 || failed=1

# -ww: all warnings; -b: a backtrace with each, so that the offending line can be found.
# The ASCII rendering is also the one measured: there one character is one column.
for device in utf8 ascii; do
  LC_ALL=C groff -man -T"$device" -ww -b "$page" >"$tmp/$device.out" 2>"$tmp/$device.err"
  status=$?
  if [ "$status" -ne 0 ] || [ -s "$tmp/$device.err" ]; then
    echo "groff -T$device: exit status $status, messages:" >&2
    cat "$tmp/$device.err" >&2
    failed=1
  fi
  if [ ! -s "$tmp/$device.out" ]; then
    echo "groff -T$device: empty rendering" >&2
    failed=1
  fi
done

# Bold and underline come out as character, backspace, character; drop the overstrikes.
LC_ALL=C sed 's/.\x08//g' "$tmp/ascii.out" >"$tmp/plain"
LC_ALL=C awk 'length($0) > 80 { printf "line %d is %d columns wide: %s\n", NR, length($0), $0; bad = 1 }
              END { exit bad }' "$tmp/plain" >&2 || failed=1

lines=$(wc -l <"$tmp/plain")
if [ "$failed" -eq 0 ]; then
  echo "$page: rendered to $lines lines without warnings"
fi
exit "$failed"
