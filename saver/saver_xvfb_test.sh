#!/bin/sh
# Runs the saver's test program ($VELK_SAVER_TEST) on an X server of its own (Xvfb, on a display
# number it finds free), so that velksaver can be given a real window. Skips (exit 77) without
# Xvfb.
test_program=${VELK_SAVER_TEST:?set VELK_SAVER_TEST to the saver test program}
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed (apt-get install xvfb)"
  exit 77
fi
dir=$(mktemp -d) || exit 1
mkfifo "$dir/display" || exit 1
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
# Xvfb writes its display number once it accepts clients.
display=$(timeout 30 head -n 1 "$dir/display")
if [ -z "$display" ]; then
  echo "Xvfb did not start:"; cat "$dir/xvfb.log"
  kill "$xvfb" 2>/dev/null; rm -rf "$dir"; exit 1
fi
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$test_program"
status=$?
kill "$xvfb"
wait "$xvfb" 2>/dev/null
rm -rf "$dir"
exit $status
