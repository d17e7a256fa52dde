#!/bin/sh
# End-to-end benchmark of dotm-repair on the ~100 MB generated package, against Python's
# zipfile doing the same inflate-and-deflate work and against `zip -FF`.
#
# Usage: run_cli_bench.sh [BUILD_DIR]   (default: the build folder beside this script's tree)
# Target: dotm-repair takes at most 1.2 times Python's time.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
generator=$build/bench/engine/generate_package
cli=$build/cli/dotm-repair
for tool in "$generator" "$cli"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: build the targets generate_package and dotm-repair first" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/dotm-cli-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/tmp" "$work/out"
package=$work/Bench.dotm

now() { python3 -c 'import time; print(time.monotonic())'; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }

"$generator" "$package"
size_mb=$(python3 -c "import os; print(f'{os.path.getsize(\"$package\") / 1e6:.1f}')")
echo "package: $size_mb MB ($package)"

# Let the file system cache hold the input for every contender alike.
cat "$package" > /dev/null

start=$(now)
TMPDIR=$work/tmp DOTM_REPAIR_TIMINGS=1 "$cli" -o "$work/out" "$package" > /dev/null \
  2> "$work/timings.txt"
end=$(now)
cli_total=$(elapsed "$start" "$end")
repair_time=$(sed -n 's/^repair: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
save_time=$(sed -n 's/^save: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
[ -s "$work/out/ZARVEL_Bench.dotm" ] || { echo "dotm-repair wrote no package" >&2; exit 1; }

start=$(now)
python3 "$here/python_rezip.py" "$package" "$work/python.zip"
end=$(now)
python_total=$(elapsed "$start" "$end")

if ! command -v zip > /dev/null; then
  echo "zip is not installed (apt-get install -y zip)" >&2
  zip_total="n/a"
else
  start=$(now)
  # -FF may ask whether the archive is a single-disk one; the answer is yes.
  yes y 2> /dev/null | zip -q -FF "$package" --out "$work/zipff.zip" > /dev/null 2>&1 || true
  end=$(now)
  zip_total=$(elapsed "$start" "$end")
fi

echo "dotm-repair end to end: $cli_total s (repair $repair_time s, save $save_time s)"
echo "python zipfile re-zip:  $python_total s"
echo "zip -FF:                $zip_total s"
python3 - "$cli_total" "$python_total" << 'PY'
import sys
cli, python = float(sys.argv[1]), float(sys.argv[2])
ratio = cli / python
verdict = "met" if ratio <= 1.2 else "NOT met"
print(f"dotm-repair / python: {ratio:.2f} (target <= 1.20: {verdict})")
PY
