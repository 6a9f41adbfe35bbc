#!/usr/bin/env bash
# By hand, not in CI: a run on a generated pair whose files pass 4 GiB each
# (file positions beyond 2^32), checked against the independent reference
# merge of reference_merge.awk and for frame numbers without a gap.
# Usage: bench/check_large_run.sh BUILD_FOLDER WORK_FOLDER [generator options]
set -euo pipefail
build=$1 work=$2; shift 2
options=("$@")
[ ${#options[@]} -gt 0 ] || options=(--columns 100 --rows 80 --step-minutes 360 --scale 12 --forecast-days 184)
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
"$build/examples/make_sample_pair" "${options[@]}" "$work"
ls -l "$work/tempr"
cp "$work/tempr/20250101_regl_tmp.r2c" "$work/regional.orig"
echo "reference merge..."
mawk -f "$here/reference_merge.awk" "$work/regional.orig" "$work/tempr/20250101_RDPS_tmp.r2c" > "$work/expected"
echo "the tool..."
( cd "$work" && /usr/bin/time -v "$build/src/quiltgrid" > console.txt 2> time.txt ) || { tail -n 30 "$work/time.txt"; exit 1; }
grep -E 'Elapsed|Maximum resident|Exit status' "$work/time.txt"
cmp "$work/expected" "$work/tempr/merged_regl_tmp.r2c" && echo "merged file: as the reference merge"
cmp "$work/expected" "$work/tempr/20250101_regl_tmp.r2c" && echo "regional file: replaced by it"
# Frame numbers: each composed or copied marker line one more than the last.
mawk 'substr($0,1,6) == ":Frame" { n = substr($0, 7, 10) + 0; if (seen && n != last + 1) { print "gap after " last; bad = 1 } last = n; seen = 1 }
      END { print "frame numbers 1 to " last (bad ? " with gaps" : " without a gap"); exit bad }' "$work/expected"
