#!/bin/sh
# Runs the add-feed end-to-end check inside a private network namespace with its own loopback
# interface (the simulated player's UPnP stays in it). Skips (exit 77) where such namespaces
# cannot be made.
test_program=${1:?usage: rss_wizard_namespace_test.sh path/to/rss_wizard_nstest}
if ! unshare -rn true 2>/dev/null; then
  echo "SKIPPED: unshare -rn is not allowed here; the end-to-end check needs a private network namespace"
  exit 77
fi
exec unshare -rn sh -c 'ip link set lo up && ip link set lo multicast on && exec "$0"' "$test_program"
