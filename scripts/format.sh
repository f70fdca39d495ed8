#!/usr/bin/env bash
# Formats every C++ file of the project with the style in .clang-format (clang-format 16 or
# newer: the style inserts braces, which older versions do not know).
#
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   list the files that differ from the style; exit 1 if any
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=
for candidate in clang-format-16 clang-format-17 clang-format-18 clang-format-19 clang-format; do
    if command -v "$candidate" >/dev/null; then
        version=$("$candidate" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
        if [[ -n $version && $version -ge 16 ]]; then
            tool=$candidate
            break
        fi
    fi
done
if [[ -z $tool ]]; then
    echo "format.sh: needs clang-format 16 or newer (Debian: clang-format-16," \
        "installed by scripts/install-deps.sh)" >&2
    exit 2
fi
cd "$root"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
case ${1:-} in
--check)
    bad=0
    for f in "${files[@]}"; do
        if ! "$tool" --dry-run -Werror "$f" >/dev/null 2>&1; then
            echo "$f"
            bad=1
        fi
    done
    if [[ $bad -ne 0 ]]; then
        echo "format.sh: the files above differ from .clang-format; run scripts/format.sh" >&2
    fi
    exit $bad ;;
"") "$tool" -i "${files[@]}" ;;
*) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
