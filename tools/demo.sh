#!/usr/bin/env bash
# The demo: the whole chain on one machine, nothing to configure. A scratch registry, one
# simulated player, the data service finding it over UPnP and the time provider drawing on it;
# the player's display is shown live in the terminal. Everything runs in a private network
# namespace, so that nothing is announced beyond this machine's loopback. Ctrl-C ends it all.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin="$build/bin"

if [ "${2:-}" != --inside ]; then
  if ! unshare -rn true 2>/dev/null; then
    echo "The demo needs a private network namespace (unshare -rn), which this system refuses." >&2
    exit 1
  fi
  exec unshare -rn "$0" "$build" --inside
fi

ip link set lo up
ip link set lo multicast on

scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

export VELK_REGISTRY_DIR="$scratch"
export VELK_SYSTEMD_UNIT_DIR="$scratch"
export VELK_SIM_CONTROL="$scratch/velk-sim.sock"
time_server='{D4759F97-ABB6-4DBA-8ECD-9B2B0CEE91DE}'

step() { printf '\033[1m$ %s\033[0m\n' "$*"; "$@"; }

# Little-endian bytes in hex, and a picture as its count and bytes.
le() { local value=$1 width=$2; for ((i = 0; i < width; i++)); do printf '%02x' $(((value >> (8 * i)) & 255)); done; }
picture() { le "${#1}" 4; printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }

echo "Velk demo: registry in $scratch, network namespace of its own"
step "$bin/velk" --service

printf '\033[1m$ %s\033[0m\n' "velk-sim --players 1 &"
exec {sim_out}< <(exec "$bin/velk-sim" --players 1)
pids+=($!)
ready=
read -r ready <&"$sim_out" || true
case "$ready" in
  "velk-sim: ready"*) echo "$ready" ;;
  *) echo "velk-sim did not start" >&2; exit 1 ;;
esac
IFS=$'\t' read -r address name _ _ _ udn _ < <("$bin/velk-sim" players)
echo "player \"$name\" at $address, $udn"

# The player shows the time provider: its "Classes", and its device state (font 3, menu
# time-out 5 s, always show content; then the date and time pictures).
player_key="HKLM\\SOFTWARE\\Velk\\DataServer\\DataProviders\\${udn#uuid:}"
state="$(le 3 2)$(le 3 2)$(le 5000 4)$(le 0 2)$(picture 'ddd d MMM yyyy')$(picture 'HH:mm:ss')"
step "$bin/velkreg" add "$player_key" --value Classes --data "$time_server"
step "$bin/velkreg" add "$player_key\\$time_server" --value Parameters --type REG_BINARY --data "$state"

printf '\033[1m$ %s\033[0m\n' "velk &"
"$bin/velk" &
pids+=($!)

echo
echo "The player's display, live. From another terminal, press EXIT on its remote:"
echo "  $bin/velk-sim key $address CK_EXIT --control $VELK_SIM_CONTROL"
echo "Ctrl-C ends the demo."
"$bin/velk-sim" show "$address" &
pids+=($!)
wait "${pids[-1]}"
