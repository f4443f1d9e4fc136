#!/bin/sh
# What the data service costs on a quiet network: how long it takes to find the first player
# after start, its CPU time while idle with three simulated players (target: under 1 % of one
# core), and its resident memory. Runs inside a private network namespace, as discovery sends
# SSDP multicast. Usage: bench/service_bench.sh [build dir] [idle seconds]
set -eu
build=${1:-build}
idle=${2:-60}
build=$(cd "$build" && pwd)
if [ -z "${VELK_BENCH_IN_NAMESPACE:-}" ]; then
  if ! unshare -rn true 2>/dev/null; then
    echo "service_bench: a private network namespace cannot be made here" >&2
    exit 77
  fi
  export VELK_BENCH_IN_NAMESPACE=1
  exec unshare -rn sh -c 'ip link set lo up && ip link set lo multicast on && exec "$0" "$1" "$2"' \
    "$0" "$build" "$idle"
fi

scratch=$(mktemp -d)
trap 'kill $velk $sim 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
export VELK_REGISTRY_DIR="$scratch"
unset VELK_DISCOVERY

"$build/bin/velk-sim" --players 3 --control "$scratch/sim.sock" > "$scratch/sim.out" 2>&1 &
sim=$!
until grep -q ready "$scratch/sim.out"; do sleep 0.05; done

start=$(date +%s.%N)
"$build/bin/velk" > "$scratch/velk.out" 2>&1 &
velk=$!
until [ "$("$build/bin/velkctl" VelkDevices.Count 2>/dev/null)" = 3 ]; do sleep 0.02; done
found=$(date +%s.%N)
echo "discovery: three players found $(awk "BEGIN { print $found - $start }") s after start"

# Keep the plain server alive with a client session while it idles.
"$build/bin/velkctl" --events > /dev/null 2>&1 &
client=$!
sleep 1
ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$velk/stat"; }
before=$(cpu)
sleep "$idle"
after=$(cpu)
kill $client
echo "idle: $(awk "BEGIN { printf \"%.3f\", ($after - $before) * 100 / $ticks / $idle }") % of one core over $idle s"
echo "memory: $(awk '/VmRSS/ { print $2, $3 }' "/proc/$velk/status") resident"
