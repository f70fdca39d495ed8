#!/bin/bash
# The manual page as man shows it: the formatter has nothing to warn about (lintian asks the
# same), and every option `visomorf --help` lists is described, under the section it belongs to.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
visomorf=$build/src/app/visomorf
page=$build/src/manpage/visomorf.1
for file in "$visomorf" "$page" "$page.gz"; do
    if [[ ! -f $file ]]; then
        echo "missing $file (build all targets first)" >&2
        exit 1
    fi
done
if ! command -v man >/dev/null; then
    echo "man is not installed (Debian package man-db)" >&2
    exit 1
fi
status=0
if ! gzip -dc "$page.gz" | cmp -s - "$page"; then
    echo "$page.gz is not $page compressed" >&2
    status=1
fi
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
    echo "man warns about $page:" >&2
    echo "$warnings" >&2
    status=1
fi
shown=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
options=$(awk '/^OPTIONS/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' <<<"$shown")
count=0
for option in $("$visomorf" --help | grep -oE '^  --[a-z][a-z-]*'); do
    count=$((count + 1))
    if ! grep -qE -- "^ +$option( |$)" <<<"$options"; then
        echo "the OPTIONS section does not describe $option" >&2
        status=1
    fi
done
if [[ $count -lt 10 ]]; then
    echo "visomorf --help lists only $count options" >&2
    status=1
fi
version=$("$visomorf" --version | awk '{ print $2 }')
if ! tail -n 1 <<<"$shown" | grep -q "Visomorf $version"; then
    echo "the page's footer does not name version $version: $(tail -n 1 <<<"$shown")" >&2
    status=1
fi
for section in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT FILES; do
    grep -qx "$section" <<<"$shown" || { echo "no section $section" >&2; status=1; }
done
exit $status
