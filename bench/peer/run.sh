#!/usr/bin/env bash
# Side-by-side harvest benchmark: zorvane-harvest against a Scrapy peer
# (bench/peer/directory_spider.py) doing the same two phases with the same
# patterns and the same concurrency, both against one demo site on loopback.
#
#   bench/peer/run.sh [build-dir]      (default: build)
#
# Needs zorvane-harvest and zorvane-demo-site built in build-dir, and Debian's
# python3-scrapy (run with /usr/bin/python3).
#
# Workload a: 3 keywords x 5 pages x 20 entries = 300 rows, 50 ms latency per
#   request, 20 at once. Latency-bound ideal: 15 x 50 ms + 300/20 x 50 ms = 1.5 s.
# Workload b: 10 keywords x 50 pages x 20 entries = 10,000 rows, no latency,
#   20 at once.
# Each tool runs once per workload, zorvane first, against the same site
# process; each run is cut off after RUN_TIMEOUT seconds (default 600).
# SITE_BIN names another demo-site binary to serve the workloads.
# Prints, per tool and workload, wall time, CPU time (user + sys), peak RSS and
# rows harvested, then the Scrapy / zorvane ratios. Every row of the two
# outputs is compared (name, URL, source and the seven detail fields); the
# script exits with 1 when a row count or a row differs.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
site_bin=${SITE_BIN:-$build/tools/demo-site/zorvane-demo-site}
cli_bin=$build/src/app/cli/zorvane-harvest
spider=bench/peer/directory_spider.py
run_timeout=${RUN_TIMEOUT:-600}
concurrency=20

for bin in "$site_bin" "$cli_bin"; do
  [ -x "$bin" ] || { echo "missing $bin: build zorvane-harvest and zorvane-demo-site" >&2; exit 2; }
done

work=$(mktemp -d)
site_pid="" site_url=""
cleanup() {
  if [ -n "$site_pid" ]; then kill "$site_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# start_site LATENCY_MS: starts the demo site; sets site_pid and site_url.
start_site() {
  local latency=$1
  "$site_bin" --port 0 --latency-ms "$latency" --entries-per-page 20 --pages-per-keyword 50 \
    >"$work/site" &
  site_pid=$!
  for _ in $(seq 100); do [ -s "$work/site" ] && break; sleep 0.05; done
  site_url=$(head -n1 "$work/site")
}

stop_site() {
  kill "$site_pid"
  wait "$site_pid" 2>/dev/null || true
  site_pid=""
}

# timed NAME CMD...: runs CMD under the time limit and leaves
# "wall user sys maxrss_kib" in $work/NAME.time.
timed() {
  local name=$1; shift
  if ! timeout "$run_timeout" /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" "$@"; then
    echo "$name: failed or timed out after $run_timeout s" >&2
    echo "0 0 0 0" >"$work/$name.time"
  fi
}

# Compares the two outputs row by row and appends one line per tool to the
# results file: workload tool rows expected wall cpu rss_mib ideal.
compare_and_record() {
  local workload=$1 expected=$2 ideal=$3
  /usr/bin/python3 - "$work/zv.tsv" "$work/peer.jsonl" "$work/zv.time" "$work/peer.time" \
    "$workload" "$expected" "$ideal" >>"$work/results" <<'EOF'
import json
import re
import sys

tsv_path, jsonl_path, zv_time, peer_time, workload, expected, ideal = sys.argv[1:]
FIELDS = ["name", "url", "source", "description", "industry", "time", "region", "tags",
          "wechat_id", "qr_image"]
ESCAPES = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}


def unescape(cell):
    return re.sub(r"\\[\\trn]", lambda m: ESCAPES[m.group(0)], cell)


def zorvane_rows():
    with open(tsv_path, encoding="utf-8") as tsv:
        lines = tsv.read().split("\n")[1:]
    rows = {}
    for line in filter(None, lines):
        cells = [unescape(cell) for cell in line.split("\t")]
        rows[int(cells[0])] = dict(zip(FIELDS, cells[1:11]))
    return rows


def peer_rows():
    with open(jsonl_path, encoding="utf-8") as jsonl:
        return {row["id"]: {f: row[f] for f in FIELDS} for row in map(json.loads, jsonl)}


def figures(path):
    with open(path) as f:
        wall, user, system, rss = map(float, f.read().split())
    return wall, user + system, rss / 1024


zv, peer = zorvane_rows(), peer_rows()
differing = [i for i in sorted(zv.keys() | peer.keys()) if zv.get(i) != peer.get(i)]
if differing:
    first = differing[0]
    print(f"{workload}: {len(differing)} rows differ; first, id {first}:\n"
          f"  zorvane {zv.get(first)}\n  scrapy  {peer.get(first)}", file=sys.stderr)
for tool, rows, time_path in (("zorvane", zv, zv_time), ("scrapy", peer, peer_time)):
    wall, cpu, rss = figures(time_path)
    print(workload, tool, len(rows), expected, wall, cpu, rss, ideal, len(differing))
EOF
}

run_workload() {
  local workload=$1 latency=$2 pages=$3 expected=$4 ideal=$5; shift 5
  local keyword_args=()
  for keyword in "$@"; do keyword_args+=(--keyword "$keyword"); done
  rm -f "$work/peer.jsonl"
  start_site "$latency"
  timed zv "$cli_bin" --site "$site_url" "${keyword_args[@]}" --pages "$pages" \
    --threads "$concurrency" --tsv >"$work/zv.tsv" 2>/dev/null
  timed peer /usr/bin/python3 "$spider" --site "$site_url" "${keyword_args[@]}" --pages "$pages" \
    --concurrency "$concurrency" --out "$work/peer.jsonl"
  stop_site
  touch "$work/peer.jsonl"
  compare_and_record "$workload" "$expected" "$ideal"
}

: >"$work/results"
run_workload "a:300rows,50ms" 50 5 300 1.5 美食 旅游 读书
run_workload "b:10000rows,0ms" 0 50 10000 - a b c d e f g h i j

awk '
  BEGIN {
    printf "%-16s %-8s %12s %8s %8s %10s %8s\n", "workload", "tool", "rows", "wall s", "cpu s",
           "RSS MiB", "ideal s"
  }
  {
    printf "%-16s %-8s %6d/%-5d %8.2f %8.2f %10.1f %8s\n", $1, $2, $3, $4, $5, $6, $7, $8
    wall[$1, $2] = $5; cpu[$1, $2] = $6; rss[$1, $2] = $7
    if ($2 == "zorvane") order[++n] = $1
    if ($3 != $4 || $9 != 0) bad = 1
  }
  function ratio(a, b) { return b > 0 ? sprintf("%.1fx", a / b) : "n/a" }
  END {
    print ""
    printf "%-16s %10s %10s %10s\n", "scrapy/zorvane", "wall", "cpu", "RSS"
    for (i = 1; i <= n; ++i) {
      w = order[i]
      printf "%-16s %10s %10s %10s\n", w, ratio(wall[w, "scrapy"], wall[w, "zorvane"]),
             ratio(cpu[w, "scrapy"], cpu[w, "zorvane"]), ratio(rss[w, "scrapy"], rss[w, "zorvane"])
    }
    if (bad) { print "\nrow counts or rows differ (see above)"; exit 1 }
    print "\nboth tools harvested the same rows"
  }
' "$work/results"
