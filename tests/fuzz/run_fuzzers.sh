#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time, seeded
# with the test fixtures and the sample pair. The regression inputs of each
# target run first. Any crash or sanitizer report fails the script; its
# input is left in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-60}

cmake --workflow --preset fuzz >/dev/null

bin=$PWD/build/fuzz/tests/fuzz
work=$PWD/build/fuzz/work
artifacts=$PWD/build/fuzz/artifacts
rm -rf "$work" && mkdir -p "$work/seeds" "$artifacts"

# Seeds: every fixture file, and short pairs cut from the sample (the
# whole-run target splits its input at the first byte 0xFF).
i=0
while IFS= read -r -d '' f; do
  head -c 20000 "$f" > "$work/seeds/fixture-$i"; i=$((i + 1))
done < <(find tests/fixtures examples/sample -type f -print0 2>/dev/null)
{ head -n 60 examples/sample/tempr/20250101_regl_tmp.r2c; printf '\377';
  head -n 50 examples/sample/tempr/20250101_RDPS_tmp.r2c; } > "$work/seeds/sample-pair"

status=0
for target in free_form_fuzz field_layout_fuzz whole_run_fuzz; do
  corpus=$work/$target && mkdir -p "$corpus"
  log=$work/$target.log
  if ! "$bin/$target" "$PWD"/tests/fuzz/regressions/$target/* >"$log" 2>&1; then
    echo "$target: a regression input fails again"; tail -n 40 "$log"; status=1; continue
  fi
  if "$bin/$target" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
       -artifact_prefix="$artifacts/$target-" "$corpus" "$work/seeds" >"$log" 2>&1; then
    echo "$target: $(grep -E '^#[0-9]+.*DONE' "$log" | tail -n 1)"
  else
    echo "$target: FAILED"; grep -v '^quiltgrid: ' "$log" | tail -n 60; status=1
  fi
done
rm -rf /dev/shm/quiltgrid-fuzz-* 2>/dev/null || true
exit $status
