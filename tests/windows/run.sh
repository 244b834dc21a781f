#!/usr/bin/env bash
# The Windows build under Wine, in a fresh prefix and without a display:
#   tests/windows/run.sh WINDOWS_BUILD LINUX_BUILD
# 1. its unit tests; 2. the lister's end-to-end tests (lister.sh); 3. the
# same bytes as the Linux build on the same trees (same-bytes.sh).
set -euo pipefail
WINDOWS_BUILD=$(realpath "$1")
LINUX_BUILD=$(realpath "$2")
HERE=$(dirname "$(realpath "$0")")

WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine)
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
export WINE WINESERVER

export WINEPREFIX=$(mktemp -d /tmp/norvane-wine-XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# One server for every run that follows (started first, kept when idle):
# each run then starts in milliseconds.
"$WINESERVER" -p
"$WINE" wineboot -i >/dev/null 2>&1

echo "== unit tests (Windows build, under Wine)"
# The local time on Windows is the system's time zone, which TZ does not set:
# the test that sets TZ is Linux's alone.
timeout 300 "$WINE" "$WINDOWS_BUILD/norvane_unit_tests.exe" --gtest_brief=1 \
  --gtest_filter=-FileTime.DateTextForEveryTimeInTheTimeZoneOfTheFilesOwnDate

echo "== norvane-list.exe end to end (under Wine)"
bash "$HERE/lister.sh" "$WINDOWS_BUILD/norvane-list.exe"

echo "== the same bytes as the Linux build"
bash "$HERE/same-bytes.sh" "$WINDOWS_BUILD/norvane-list.exe" "$LINUX_BUILD"
