#!/usr/bin/env bash
# Runs each libFuzzer target of a fuzz build for a short while, starting from its seed corpus.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
for target in "$build"/bin/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  cp -r "$here/corpus/$name/." "$work/" 2>/dev/null || true
  echo "== $name ($seconds s)"
  "$target" -max_total_time="$seconds" "$work"
  rm -rf "$work"
done
