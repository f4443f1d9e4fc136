#!/bin/sh
# Runs the mail end-to-end checks inside a private network namespace with its own loopback
# interface (the simulated player's UPnP stays in it), as an ordinary user of a nested user
# namespace: Dovecot's login processes refuse to run as root. Skips (exit 77) where such
# namespaces cannot be made.
test_program=${1:?usage: mail_namespace_test.sh path/to/mail_nstest}
if ! unshare -rn true 2>/dev/null; then
  echo "SKIPPED: unshare -rn is not allowed here; the end-to-end checks need a private network namespace"
  exit 77
fi
exec unshare -rn sh -c 'ip link set lo up && ip link set lo multicast on &&
  exec unshare -U --map-user=65534 --map-group=65534 "$0"' "$test_program"
