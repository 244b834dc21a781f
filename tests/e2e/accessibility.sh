#!/usr/bin/env bash
# The program as a screen reader reaches it: starts build/norvane on a tree
# of three files under Xvfb, in a D-Bus session with the accessibility bus,
# and runs accessibility.py against it over AT-SPI.
#   accessibility.sh NORVANE
set -euo pipefail
norvane=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
# Xvfb is waited for: one that is still ending could take away the socket of
# the next run's display, which may have the same number.
trap 'kill "${xvfb_pid:-}" 2>/dev/null && wait "$xvfb_pid"; rm -rf "$work"' EXIT

mkdir -p "$work/tree" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
printf 'a' >"$work/tree/a.txt"
head -c 300 /dev/zero >"$work/tree/b.txt"
printf 'cc' >"$work/tree/c.txt"

# A display of its own, whose number Xvfb picks and tells once it is ready;
# it is not reset when its last client leaves (a reset turns away the
# clients that come meanwhile).
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(head -n 1 "$work/display")
[ -n "$display" ] || { cat "$work/xvfb.log" >&2; exit 1; }

export DISPLAY=":$display" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
# A copy of the program keeps its settings file beside it, in the test's
# folder: the build's own stays as it was.
cp "$norvane" "$work/norvane"
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  "$0" "$1" >"$2/norvane.log" 2>&1 &
  app=$!
  /usr/bin/python3 "$3"
  rc=$?
  kill "$app" "$launcher" 2>/dev/null
  wait
  exit $rc
' "$work/norvane" "$work/tree" "$work" "$here/accessibility.py" 2>"$work/dbus.log" || {
  rc=$?
  cat "$work/norvane.log" >&2 || true
  exit "$rc"
}
