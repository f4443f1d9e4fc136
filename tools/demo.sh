#!/usr/bin/env bash
# The demo: what the suite can show today, on a scratch configuration that is thrown away after.
set -euo pipefail
build=${1:-build}
bin="$build/bin"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VELK_REGISTRY_DIR="$scratch"

step() { printf '\n\033[1m$ %s\033[0m\n' "$*"; "$@"; }

echo "Velk registry on a scratch hive in $scratch"
step "$bin/velkreg" add 'HKLM\SOFTWARE\Velk\DataServer' --value AnsiCodePage --type REG_SZ --data WINDOWS-1252
step "$bin/velkreg" add 'HKLM\SOFTWARE\Velk\DataServer\DataProviders\5f1e2d3c-0000-4000-8000-00000000c0de' \
    --value Classes --type REG_MULTI_SZ --data '{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}'
step "$bin/velkreg" add 'HKLM\SOFTWARE\Velk\DataServer\Globals' --value Parameters --type REG_BINARY --data '0c 00 00 00 48 65 6c 6c 6f'
step "$bin/velkreg" query 'HKLM\SOFTWARE\Velk\DataServer'
step "$bin/velkreg" export 'HKLM\SOFTWARE\Velk' "$scratch/velk.txt"
step cat "$scratch/velk.txt"
step "$bin/velkreg" delete 'HKLM\SOFTWARE\Velk'
step "$bin/velkreg" import "$scratch/velk.txt"
step "$bin/velkreg" query 'HKLM\SOFTWARE\Velk\DataServer\Globals' --value Parameters
