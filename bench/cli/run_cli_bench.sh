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
# A second round gives dotm-repair four files at once (copies of a quarter of the package), with
# all cores and with one thread, against Python's zipfile on the four one after the other.
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

# A quarter of the package's parts (every fourth, with the content types), copied four times:
# several files of one run, for the round of files worked on at once.
python3 - "$package" "$work/Quarter.dotm" << 'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as source, zipfile.ZipFile(sys.argv[2], "w") as target:
    for index, info in enumerate(source.infolist()):
        if index == 0 or index % 4 == 1:
            target.writestr(info, source.read(info), compress_type=info.compress_type)
PY
mkdir -p "$work/many"
for copy in 1 2 3 4; do cp "$work/Quarter.dotm" "$work/many/Copy$copy.dotm"; done
cat "$work"/many/*.dotm > /dev/null

# run_cli NAME THREADS FILE...: one dotm-repair run; appends "NAME seconds maxrss_kb repair
# save" and keeps each saved package as $work/NAME-<file name>.
run_cli() {
  name=$1
  threads=$2
  shift 2
  rm -rf "$work/tmp" "$work/out"
  mkdir -p "$work/tmp" "$work/out"
  if [ "$threads" = machine ]; then
    threads_env=""
  else
    threads_env="DOTM_REPAIR_THREADS=$threads"
  fi
  # The generated parts are cut inside their last tag, so the repair closes them and says so:
  # status 3 (saved, parts rebuilt) is the expected outcome, anything else a failure.
  status=0
  env $threads_env TMPDIR="$work/tmp" DOTM_REPAIR_TIMINGS=1 /usr/bin/time -f '%e %M' \
    -o "$work/time.txt" "$cli" -o "$work/out" "$@" > /dev/null 2> "$work/timings.txt" ||
    status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || {
    echo "dotm-repair exited with $status" >&2
    exit 1
  }
  for file in "$@"; do
    base=$(basename "$file")
    [ -s "$work/out/ZARVEL_$base" ] || { echo "dotm-repair wrote no package for $base" >&2; exit 1; }
    cp "$work/out/ZARVEL_$base" "$work/$name-$base"
  done
  repair=$(sed -n 's/^repair: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
  save=$(sed -n 's/^save: \([0-9.]*\) s$/\1/p' "$work/timings.txt")
  echo "$name $(tail -n 1 "$work/time.txt") ${repair:-0} ${save:-0}" >> "$results"
}

# Python's zipfile on each of the four copies, one after the other.
run_python_many() {
  /usr/bin/time -f '%e %M' -o "$work/time.txt" sh -c \
    "for f in '$work'/many/*.dotm; do python3 '$here/python_rezip.py' \"\$f\" \"\$f.py.zip\" || exit 1; done"
  echo "manypython $(tail -n 1 "$work/time.txt") 0 0" >> "$results"
}

run_python() {
  /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    python3 "$here/python_rezip.py" "$package" "$work/python.zip"
  echo "python $(tail -n 1 "$work/time.txt") 0 0" >> "$results"
}

run_zipff() {
  command -v zip > /dev/null || return 0
  rm -f "$work/zipff.zip"
  # -FF may ask whether the archive is a single-disk one; the answer is yes.
  /usr/bin/time -f '%e %M' -o "$work/time.txt" sh -c \
    "yes y 2> /dev/null | zip -FF '$package' --out '$work/zipff.zip' > /dev/null 2>&1 || true"
  # A package of only its end record means zip gave up: no figure then.
  [ "$(wc -c < "$work/zipff.zip" 2> /dev/null || echo 0)" -gt 22 ] || return 0
  echo "zipff $(tail -n 1 "$work/time.txt") 0 0" >> "$results"
}

round=1
while [ "$round" -le "$rounds" ]; do
  run_cli cores machine "$package"
  run_cli one 1 "$package"
  run_python
  run_zipff
  run_cli manycores machine "$work"/many/*.dotm
  run_cli manyone 1 "$work"/many/*.dotm
  run_python_many
  round=$((round + 1))
done

# Both thread counts, and several files at once, must have saved the same parts with the same
# content.
python3 - "$work" << 'PY'
import sys, zipfile
work = sys.argv[1]
def facts(path):
    return [(i.filename, i.CRC, i.compress_size) for i in zipfile.ZipFile(path).infolist()]
pairs = [("cores-Bench.dotm", "one-Bench.dotm")] + [
    (f"manycores-Copy{n}.dotm", f"manyone-Copy{n}.dotm") for n in range(1, 5)]
same = all(facts(f"{work}/{a}") == facts(f"{work}/{b}") for a, b in pairs)
print("saved packages (all cores, 1 thread; one file and four at once): "
      + ("same parts, same compressed bytes" if same else "DIFFERENT"))
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
          "python": "python zipfile re-zip", "zipff": "zip -FF",
          "manycores": f"4 files, {cores} threads", "manyone": "4 files, 1 thread",
          "manypython": "4 files, python zipfile"}
print(f"{'contender':<26} {'best s':>7} {'worst s':>8} {'spread':>7} "
      f"{'repair s':>9} {'save s':>7} {'peak MB':>8}")
for name in ("cores", "one", "python", "zipff", "manycores", "manyone", "manypython"):
    if name not in rows:
        continue
    runs = rows[name]
    best = min(runs)
    worst = max(r[0] for r in runs)
    peak = max(r[1] for r in runs) / 1024
    extra = (f"{best[2]:>9.2f} {best[3]:>7.2f}" if name in ("cores", "one", "manycores", "manyone")
             else f"{'':>9} {'':>7}")
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
many_python = min(r[0] for r in rows["manypython"])
for name in ("manycores", "manyone"):
    best = min(r[0] for r in rows[name])
    same_round = [c[0] / p[0] for c, p in zip(rows[name], rows["manypython"])]
    print(f"{labels[name]} / python: best {best / many_python:.2f}, per round "
          + ", ".join(f"{r:.2f}" for r in same_round))
same_round = [m[0] / o[0] for m, o in zip(rows["manycores"], rows["manyone"])]
print("4 files, all cores / 1 thread, per round: " + ", ".join(f"{r:.2f}" for r in same_round))
limit = 64 * 1024 * 1024 + 2 * cores * largest
peak = max(r[1] for r in rows["cores"]) * 1024
print(f"peak memory, {cores} threads: {peak / 2**20:.1f} MiB (target < 64 MiB + 2 x {cores} x "
      f"{largest / 2**20:.1f} MiB = {limit / 2**20:.1f} MiB: "
      f"{'met' if peak < limit else 'NOT met'})")
peak = max(r[1] for r in rows["manycores"]) * 1024
print(f"peak memory, 4 files, {cores} threads: {peak / 2**20:.1f} MiB "
      f"({'within' if peak < limit else 'BEYOND'} the same bound)")
PY
echo "rounds: $rounds; load after: $(cat /proc/loadavg)"
