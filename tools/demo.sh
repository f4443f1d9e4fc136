#!/usr/bin/env bash
# The demo: the whole chain on one machine, nothing to configure. A scratch registry, two
# simulated players, the data service finding them over UPnP, the time provider drawing on the
# first and (where python3 can serve a local feed) the news-feed provider on the second, which
# also takes a call that a scripted telephone line rings a few seconds after the start; the
# first player's display is shown live in the terminal. Everything runs in a private network
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
rss_server='{E05BD3C7-7B79-4C59-A6CC-49B21F612047}'
generic_renderer='{3DF377CA-5671-4382-815A-E55BD22A145B}'
caller_id_server='{71BBF737-52C6-49EB-855A-6F957546B3BC}'

step() { printf '\033[1m$ %s\033[0m\n' "$*"; "$@"; }

# Little-endian bytes in hex, and a picture as its count and bytes.
le() { local value=$1 width=$2; for ((i = 0; i < width; i++)); do printf '%02x' $(((value >> (8 * i)) & 255)); done; }
hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
picture() { le "${#1}" 4; hex "$1"; }

echo "Velk demo: registry in $scratch, network namespace of its own"
step "$bin/velk" --service

printf '\033[1m$ %s\033[0m\n' "velk-sim --players 2 &"
exec {sim_out}< <(exec "$bin/velk-sim" --players 2)
pids+=($!)
ready=
read -r ready <&"$sim_out" || true
case "$ready" in
  "velk-sim: ready"*) echo "$ready" ;;
  *) echo "velk-sim did not start" >&2; exit 1 ;;
esac
{
  IFS=$'\t' read -r address name _ _ _ udn _
  IFS=$'\t' read -r news_address news_name _ _ _ news_udn _
} < <("$bin/velk-sim" players)
echo "player \"$name\" at $address, $udn"
echo "player \"$news_name\" at $news_address, $news_udn"

# The player shows the time provider: its "Classes", and its device state (font 3, menu
# time-out 5 s, always show content; then the date and time pictures).
player_key="HKLM\\SOFTWARE\\Velk\\DataServer\\DataProviders\\${udn#uuid:}"
state="$(le 3 2)$(le 3 2)$(le 5000 4)$(le 0 2)$(picture 'ddd d MMM yyyy')$(picture 'HH:mm:ss')"
step "$bin/velkreg" add "$player_key" --value Classes --data "$time_server"
step "$bin/velkreg" add "$player_key\\$time_server" --value Parameters --type REG_BINARY --data "$state"

news_classes=()
news_key="HKLM\\SOFTWARE\\Velk\\DataServer\\DataProviders\\${news_udn#uuid:}"
# The second player shows a feed from a web server on loopback: the feed's subkey (its
# renderer and the renderer's state, the URL with its zero and no credentials), then the
# player's list of feeds after the host header.
if command -v python3 >/dev/null; then
  mkdir "$scratch/www"
  cat > "$scratch/www/news.xml" <<'FEED'
<?xml version="1.0"?>
<rss version="2.0"><channel><title>Velk demo</title><ttl>1</ttl>
<item><title>Velk demo: these headlines come from a feed on this machine</title></item>
<item><title>The news-feed provider shows the next one every 7 seconds</title></item>
<item><title>Feeds are downloaded again on their own schedule</title></item>
</channel></rss>
FEED
  (cd "$scratch/www" && exec python3 -m http.server 8080 --bind 127.0.0.1 >/dev/null 2>&1) &
  pids+=($!)
  feed='{6D7E1A2B-3C4D-4E5F-8A9B-0C1D2E3F4A5B}'
  url='http://127.0.0.1:8080/news.xml'
  feed_key="HKLM\\SOFTWARE\\Velk\\DataServer\\RSS Feeds\\$feed"
  step "$bin/velkreg" add "$feed_key" --value '' --data 'Velk demo'
  step "$bin/velkreg" add "$feed_key" --value Parser --data "$generic_renderer"
  step "$bin/velkreg" add "$feed_key" --value Flags --type REG_DWORD --data 1
  step "$bin/velkreg" add "$feed_key" --value RSSParserConfig --type REG_BINARY \
    --data "$(le $((${#url} + 1)) 4)$(hex "$url")00$(le 0 4)"
  news_classes=("$rss_server")
  step "$bin/velkreg" add "$news_key\\$rss_server" --value Parameters --type REG_BINARY \
    --data "$(le 3 2)$(le 3 2)$(le 5000 4)$(le 0 2)$(le 1 4)$(picture "$feed")"
fi

# The second player takes calls too: the caller-ID provider's line is a scripted one that rings
# once, 8 seconds after the service takes the player on, with the caller's number and name.
cat > "$scratch/call.txt" <<'CALL'
WAIT 8000
RING
DATE = 1224
TIME = 1800
NMBR = 5551234
NAME = VELK DEMO
RING
CALL
step "$bin/velkreg" add "HKLM\\SOFTWARE\\Velk\\DataServer\\Globals\\$caller_id_server" \
  --value Lines --data "script:$scratch/call.txt"
step "$bin/velkreg" add "$news_key\\$caller_id_server" --value Parameters --type REG_BINARY \
  --data "$(le 3 2)$(le 3 2)$(le 5000 4)$(le 0 2)"
classes=()
for class in "${news_classes[@]}" "$caller_id_server"; do classes+=(--data "$class"); done
step "$bin/velkreg" add "$news_key" --value Classes --type REG_MULTI_SZ "${classes[@]}"

printf '\033[1m$ %s\033[0m\n' "velk &"
"$bin/velk" &
pids+=($!)

echo
echo "The player's display, live. From another terminal, press EXIT on its remote:"
echo "  $bin/velk-sim key $address CK_EXIT --control $VELK_SIM_CONTROL"
if [ -n "${feed:-}" ]; then
  echo "The second player scrolls the news, and a call rings on it 8 seconds after the start;"
else
  echo "A call rings on the second player 8 seconds after the start;"
fi
echo "watch it from another terminal:"
echo "  $bin/velk-sim show $news_address --control $VELK_SIM_CONTROL"
echo "Ctrl-C ends the demo."
"$bin/velk-sim" show "$address" &
pids+=($!)
wait "${pids[-1]}"
