#!/usr/bin/env bash
# The package as a user gets it: builds it (scripts/package.sh), installs it with apt-get, runs
# the installed program (version, a saved document, the automatic fit on the test portrait,
# the window), checks that the desktop finds its menu entry, document type, AppStream metadata,
# icons and manual page, then purges it and checks that nothing of it is left.
# Needs root (or sudo) and a machine where Visomorf is not installed from elsewhere.
# With a path as argument, checks that package instead of building one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if [ $# -ge 1 ]; then
  deb=$(realpath "$1")
  scripts/install-deps.sh --packaging
else
  scripts/package.sh
  deb=$(realpath build/package/visomorf_*.deb)
fi

failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}
expect_file() { [ -f "$1" ] || fail "missing $1"; }

if dpkg-query -W -f='${db:Status-Status}' visomorf 2>/dev/null | grep -qv '^not-installed$'; then
  echo "check-package: visomorf is already installed; purge it first (apt-get purge visomorf)" >&2
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
echo "package: $deb"
echo "Installed-Size: $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')

installed() {
  dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 ~ /^ii/ { print $2 }' | sort
}
before=$(installed)
# Takes the package away again, with whatever apt brought along for it (its recommendations,
# and dependencies a machine without the build packages lacks), so the machine is as before.
remove() {
  $SUDO apt-get purge -y -q visomorf
  local pulled
  pulled=$(comm -13 <(echo "$before") <(installed))
  if [ -n "$pulled" ]; then
    echo "check-package: removing what came with the package:" $pulled
    # shellcheck disable=SC2086
    $SUDO apt-get purge -y -q $pulled
  fi
}
scratch=$(mktemp -d)
chmod 755 "$scratch"
cleanup() {
  rm -rf "$scratch"
  # Never leave the package behind when a check fails half-way.
  if dpkg-query -W -f='${db:Status-Status}' visomorf 2>/dev/null | grep -qv '^not-installed$'; then
    remove >/dev/null || true
  fi
}
trap cleanup EXIT

$SUDO apt-get install -y -q "$deb"

# --- The installed program ---------------------------------------------------------------------
[ "$(command -v visomorf)" = /usr/bin/visomorf ] || fail "visomorf on the PATH is $(command -v visomorf)"
reported=$(/usr/bin/visomorf --version)
[ "$reported" = "visomorf $version" ] || fail "--version says \"$reported\", the package is $version"

portrait=$root/tests/autofit/data/astronaut.jpg
cp "$portrait" "$scratch/front.jpg"
# The fit must succeed (not only be tried): it reads the models of the packages Depends names.
(cd "$scratch" && /usr/bin/visomorf --save head.vmf --auto-fit --front front.jpg) ||
  fail "--save --auto-fit on the test portrait failed"
if [ -f "$scratch/head.vmf" ]; then
  /usr/bin/visomorf --info "$scratch/head.vmf" > "$scratch/info.json" || fail "--info failed"
  jq -e '.photoSize.front == [512, 512] and .points.front > 0' "$scratch/info.json" >/dev/null ||
    fail "--info on the saved document says: $(tr -d '\n' < "$scratch/info.json")"
  /usr/bin/visomorf --export "$scratch/face.glb" "$scratch/head.vmf" >/dev/null ||
    fail "--export from the saved document failed"
  [ -s "$scratch/face.glb" ] || fail "--export wrote no face.glb"
fi
# The window comes up from the installed program, with the help pages where it looks for them.
if command -v xvfb-run >/dev/null; then
  ready=$(VISOMORF_EXIT_WHEN_READY=1 VISOMORF_SPLASH_MS=0 timeout 120 xvfb-run -a \
    /usr/bin/visomorf 2>/dev/null) || fail "the window did not start (status $?)"
  grep -q '^ready ' <<<"$ready" || fail "the window did not say it was ready: $ready"
else
  fail "xvfb-run is missing (Debian package xvfb), cannot start the window"
fi
expect_file /usr/share/visomorf/help/visomorf.htm
expect_file /usr/share/visomorf/help/tutorial.htm

# --- Where the desktop looks --------------------------------------------------------------------
desktop=/usr/share/applications/org.vendal.Visomorf.desktop
expect_file "$desktop"
desktop-file-validate "$desktop" || fail "$desktop does not validate"
grep -qx 'Exec=visomorf %f' "$desktop" || fail "$desktop does not start visomorf"
expect_file /usr/share/icons/hicolor/256x256/apps/visomorf.png
expect_file /usr/share/icons/hicolor/256x256/mimetypes/application-x-visomorf.png
expect_file /usr/share/mime/packages/visomorf.xml
# The triggers of shared-mime-info and desktop-file-utils have taken the type into their caches.
expect_file /usr/share/mime/application/x-visomorf.xml
grep -q ':\*\.vmf$' /usr/share/mime/globs2 || fail "the MIME database has no *.vmf pattern"
grep -q '^application/x-visomorf=.*org\.vendal\.Visomorf\.desktop' \
  /usr/share/applications/mimeinfo.cache || fail "mimeinfo.cache does not offer Visomorf for .vmf"
metainfo=/usr/share/metainfo/org.vendal.Visomorf.metainfo.xml
expect_file "$metainfo"
appstreamcli validate --no-net "$metainfo" || fail "$metainfo does not validate"
grep -q '<launchable type="desktop-id">org.vendal.Visomorf.desktop</launchable>' "$metainfo" ||
  fail "$metainfo does not name the desktop entry"
[ "$(man -w visomorf)" = /usr/share/man/man1/visomorf.1.gz ] || fail "man -w visomorf: $(man -w visomorf)"
manual=$(MANWIDTH=80 man visomorf 2>&1)
for option in $(/usr/bin/visomorf --help | grep -oE '^  --[a-z-]+'); do
  grep -qe "$option" <<<"$manual" || fail "the manual page does not describe $option"
done
# What the program reads (the manual page's FILES, written from the program's own paths) is
# there: the packages Depends names bring the models.
read_files=$(awk '/^FILES/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' <<<"$manual" |
  grep -oE '^ +/[^ ]+' | tr -d ' ')
[ "$(wc -w <<<"$read_files")" -ge 2 ] || fail "the manual page lists too few FILES: $read_files"
for file in $read_files; do expect_file "$file"; done
expect_file /usr/share/doc/visomorf/copyright

# --- Gone without a trace ----------------------------------------------------------------------
remove
status=$(dpkg-query -W -f='${db:Status-Status}' visomorf 2>/dev/null || echo not-installed)
[ "$status" = not-installed ] || fail "after the purge dpkg says: $status"
for file in "${files[@]}"; do
  [ ! -e "$file" ] || fail "left behind: $file"
done
for dir in /usr/share/visomorf /usr/share/doc/visomorf; do
  [ ! -e "$dir" ] || fail "left behind: $dir"
done
[ ! -e /usr/share/mime/application/x-visomorf.xml ] || fail "the MIME database still knows x-visomorf"
if grep -q 'org\.vendal\.Visomorf' /usr/share/applications/mimeinfo.cache 2>/dev/null; then
  fail "mimeinfo.cache still names org.vendal.Visomorf.desktop"
fi
[ "$(installed)" = "$before" ] ||
  fail "the installed packages differ from before:" $(diff <(echo "$before") <(installed) | grep '^[<>]')

if [ $failures -ne 0 ]; then
  echo "check-package: $failures checks failed" >&2
  exit 1
fi
echo "check-package: installed, used and purged $(basename "$deb") cleanly"
