#!/usr/bin/env bash
# Builds the fuzz targets and runs each one for a bounded time, starting from its
# committed seeds in fuzz/corpus/<target>/. Fails when any target finds an input that
# crashes it or breaks one of its properties; such inputs are kept in
# build/fuzz/findings/. FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
cmake --preset fuzz
cmake --build --preset fuzz -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
findings=build/fuzz/findings
mkdir -p "$findings"

failed=0
for target in build/fuzz/fuzz/*_fuzzer; do
  name="$(basename "$target")"
  mkdir -p "$work/$name"
  echo "== $name (${seconds}s)"
  # New inputs go to the scratch folder; the committed seeds are only read.
  if "$target" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$findings/$name-" \
    "$work/$name" "fuzz/corpus/$name" >"$work/$name.log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done )' "$work/$name.log" | tail -n 2
  else
    tail -n 60 "$work/$name.log"
    echo "== $name FAILED; the input is in $findings/"
    failed=1
  fi
done
exit "$failed"
