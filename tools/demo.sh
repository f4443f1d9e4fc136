#!/usr/bin/env bash
# The demo: what the suite can show today, on a scratch configuration that is thrown away after.
set -euo pipefail
build=${1:-build}
bin="$build/bin"
scratch=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export VELK_REGISTRY_DIR="$scratch"

step() { printf '\n\033[1m$ %s\033[0m\n' "$*"; "$@"; }

echo "Velk registry on a scratch hive in $scratch"
step "$bin/velkreg" add 'HKLM\SOFTWARE\Velk\DataServer' --value AnsiCodePage --type REG_SZ --data WINDOWS-1252
step "$bin/velkreg" query 'HKLM\SOFTWARE\Velk\DataServer'

# A simulated player on its own loopback address. The demo talks to it over plain sockets only,
# so it leaves UPnP out (UPnP runs in private network namespaces only).
address=127.0.0.2
control="$scratch/velk-sim.sock"
printf '\n\033[1m$ %s\033[0m\n' "velk-sim --no-upnp --address $address &"
exec {sim_out}< <(exec "$bin/velk-sim" --no-upnp --address "$address" --control "$control")
sim_pid=$!
ready=
read -r ready <&"$sim_out" || true
case "$ready" in
  "velk-sim: ready"*) echo "$ready" ;;
  *) echo "velk-sim did not start (is another one using $address:4444?)" >&2; exit 1 ;;
esac

# The player's shell on port 4444, through bash's /dev/tcp: each answer ends with the prompt.
exec {player}<>"/dev/tcp/$address/4444"
read_answer() {
  local answer
  IFS= read -r -d '>' answer <&"$player"
  answer=${answer%Melodeck}
  answer=${answer//$'\r'/}
  printf '%s' "$answer" | sed '/^$/d'
}
shell() {
  printf '\033[1m%s> %s\033[0m\n' "$address" "$1"
  printf '%s\r\n' "$1" >&"$player"
  read_answer
}
read_answer >/dev/null # the greeting

echo
shell "displaytype"
shell "version"
shell "sketch -c font list"
shell "sketch -c clear"
shell "sketch -c font 3"
shell 'sketch -c text 4 0 "Velk"'
shell "sketch -c framerect 124 0 511 31"
shell "sketch -c font 2"
shell 'sketch -c text 134 1 "Melodeck simulator"'
shell "sketch -c font 1"
shell 'sketch -c text 134 20 "drawn with sketch commands"'
shell "sketch -c line 400 24 500 6"
step "$bin/velk-sim" show "$address" --once --control "$control"

# Handing the display back: the player shows its own screen; a remote key starts the music.
echo
shell "sketch -c quit"
step "$bin/velk-sim" key "$address" CK_PLAY --control "$control"
step "$bin/velk-sim" show "$address" --once --control "$control"
step "$bin/velk-sim" state "$address" --control "$control"
exec {player}>&-

printf '\n\033[1m$ %s\033[0m\n' "kill velk-sim"
kill "$sim_pid"
wait "$sim_pid" || true
sim_pid=
echo "velk-sim stopped"
