#!/bin/sh
# Runs the UPnP checks of velk-sim inside a private network namespace with its own loopback
# interface: SSDP multicast then never leaves it. Skips (exit 77) where such a namespace cannot
# be made.
test_program=${1:?usage: upnp_namespace_test.sh path/to/sim_upnp_test}
if ! unshare -rn true 2>/dev/null; then
  echo "SKIPPED: unshare -rn is not allowed here; the UPnP checks need a private network namespace"
  exit 77
fi
exec unshare -rn sh -c 'ip link set lo up && ip link set lo multicast on && exec "$0"' "$test_program"
