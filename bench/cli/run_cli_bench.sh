#!/bin/sh
# End-to-end benchmark of dotm-repair on the ~100 MB generated package, against Python's
# zipfile doing the same inflate-and-deflate work (level 8) and against `zip -FF`.
#
# Usage: run_cli_bench.sh [BUILD_DIR] [ROUNDS]
#   BUILD_DIR  default: the build folder beside this script's tree
#   ROUNDS     default 3: every contender runs once per round, in the same round one after the
#              other, so that a loaded machine slows them alike; best and spread are printed.
# dotm-repair runs twice per round: with as many deflate threads as the machine has cores, and
# with DOTM_REPAIR_THREADS=1. Peak memory is /usr/bin/time's maximum resident set size.
# Targets: dotm-repair (all cores) takes at most 0.6 times Python's time; its peak memory stays
# under 64 MB plus 2 parts (the package's largest) in flight per thread.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
rounds=${2:-3}
generator=$build/bench/engine/generate_package
cli=$build/cli/dotm-repair
for tool in "$generator" "$cli" /usr/bin/time; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: build the targets generate_package and dotm-repair first" \
      "(and apt-get install -y time)" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/dotm-cli-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
package=$work/Bench.dotm
results=$work/results.txt
: > "$results"

"$generator" "$package"
size_mb=$(python3 -c "import os; print(f'{os.path.getsize(\"$package\") / 1e6:.1f}')")
largest=$(python3 -c "
import zipfile
print(max(i.file_size for i in zipfile.ZipFile('$package').infolist()))")
cores=$(python3 -c "import os; print(len(os.sched_getaffinity(0)))")
echo "package: $size_mb MB, largest part $largest bytes; $cores cores; load: $(cat /proc/loadavg)"

# Let the file system cache hold the input for every contender alike.
cat "$package" > /dev/null

# run_cli NAME THREADS: one dotm-repair run; appends "NAME seconds maxrss_kb repair save".
run_cli() {
  rm -rf "$work/tmp" "$work/out"
  mkdir -p "$work/tmp" "$work/out"
  if [ "$2" = machine ]; then
    threads_env=""
  else
    threads_env="DOTM_REPAIR_THREADS=$2"
  fi
  env $threads_env TMPDIR="$work/tmp" DOTM_REPAIR_TIMINGS=1 /usr/bin/time -f '%e %M' \
    -o "$work/time.txt" "$cli" -o "$work/out" "$package" > /dev/null 2> "$work/timings.txt"
  [ -s "$work/out/ZARVEL_Bench.dotm" ] || { echo "dotm-repair wrote no package" >&2; exit 1; }
  repair=$(sed -n 's/^repair: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
  save=$(sed -n 's/^save: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
  echo "$1 $(cat "$work/time.txt") ${repair:-0} ${save:-0}" >> "$results"
  cp "$work/out/ZARVEL_Bench.dotm" "$work/$1.zip"
}

run_python() {
  /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    python3 "$here/python_rezip.py" "$package" "$work/python.zip"
  echo "python $(cat "$work/time.txt") 0 0" >> "$results"
}

run_zipff() {
  command -v zip > /dev/null || return 0
  rm -f "$work/zipff.zip"
  # -FF may ask whether the archive is a single-disk one; the answer is yes.
  /usr/bin/time -f '%e %M' -o "$work/time.txt" sh -c \
    "yes y 2> /dev/null | zip -FF '$package' --out '$work/zipff.zip' > /dev/null 2>&1 || true"
  # A package of only its end record means zip gave up: no figure then.
  [ "$(wc -c < "$work/zipff.zip" 2> /dev/null || echo 0)" -gt 22 ] || return 0
  echo "zipff $(cat "$work/time.txt") 0 0" >> "$results"
}

round=1
while [ "$round" -le "$rounds" ]; do
  run_cli cores machine
  run_cli one 1
  run_python
  run_zipff
  round=$((round + 1))
done

# Both thread counts must have saved the same parts with the same content.
python3 - "$work/cores.zip" "$work/one.zip" << 'PY'
import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
same = [(i.filename, i.CRC, i.compress_size) for i in a.infolist()] == \
       [(i.filename, i.CRC, i.compress_size) for i in b.infolist()]
print("saved packages (all cores, 1 thread): " + ("same parts, same compressed bytes" if same
      else "DIFFERENT"))
sys.exit(0 if same else 1)
PY

python3 - "$results" "$cores" "$largest" << 'PY'
import sys
from collections import defaultdict
rows = defaultdict(list)
for line in open(sys.argv[1]):
    name, seconds, rss, repair, save = line.split()
    rows[name].append((float(seconds), int(rss), float(repair), float(save)))
cores, largest = int(sys.argv[2]), int(sys.argv[3])
labels = {"cores": f"dotm-repair, {cores} threads", "one": "dotm-repair, 1 thread",
          "python": "python zipfile re-zip", "zipff": "zip -FF"}
print(f"{'contender':<26} {'best s':>7} {'worst s':>8} {'spread':>7} "
      f"{'repair s':>9} {'save s':>7} {'peak MB':>8}")
for name in ("cores", "one", "python", "zipff"):
    if name not in rows:
        continue
    runs = rows[name]
    best = min(runs)
    worst = max(r[0] for r in runs)
    peak = max(r[1] for r in runs) / 1024
    extra = f"{best[2]:>9.2f} {best[3]:>7.2f}" if name in ("cores", "one") else f"{'':>9} {'':>7}"
    print(f"{labels[name]:<26} {best[0]:>7.2f} {worst:>8.2f} {worst - best[0]:>7.2f} {extra} "
          f"{peak:>8.1f}")
python_best = min(r[0] for r in rows["python"])
for name in ("cores", "one"):
    best = min(r[0] for r in rows[name])
    same_round = [c[0] / p[0] for c, p in zip(rows[name], rows["python"])]
    line = (f"{labels[name]} / python: best {best / python_best:.2f}, per round "
            + ", ".join(f"{r:.2f}" for r in same_round))
    if name == "cores":
        line += f" (target <= 0.60: {'met' if best / python_best <= 0.60 else 'NOT met'})"
    print(line)
limit = 64 * 1024 * 1024 + 2 * cores * largest
peak = max(r[1] for r in rows["cores"]) * 1024
print(f"peak memory, {cores} threads: {peak / 2**20:.1f} MiB (target < 64 MiB + 2 x {cores} x "
      f"{largest / 2**20:.1f} MiB = {limit / 2**20:.1f} MiB: "
      f"{'met' if peak < limit else 'NOT met'})")
PY
echo "rounds: $rounds; load after: $(cat /proc/loadavg)"
