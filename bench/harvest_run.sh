#!/usr/bin/env bash
# End-to-end harvest benchmark against the demo site on loopback.
#   bench/harvest_run.sh [build-dir]      (default: build)
# Workload 1: 3 keywords x 5 pages x 20 entries = 300 rows, 50 ms latency per
# request, 20 workers. Latency-bound ideal: 15 x 50 ms + 300/20 x 50 ms = 1.5 s.
# Workload 2: 10 keywords x 50 pages x 20 entries = 10,000 rows, no latency.
# Prints wall time, CPU time and peak RSS of zorvane-harvest for each.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
site_bin=$build/tools/demo-site/zorvane-demo-site
cli_bin=$build/src/app/cli/zorvane-harvest

run_workload() {
  local name=$1 latency=$2 pages=$3 rows_expected=$4; shift 4
  local out url pid
  out=$(mktemp -d)
  "$site_bin" --port 0 --latency-ms "$latency" --entries-per-page 20 --pages-per-keyword 50 >"$out/site" &
  pid=$!
  for _ in $(seq 100); do [ -s "$out/site" ] && break; sleep 0.05; done
  url=$(head -n1 "$out/site")
  /usr/bin/time -f '%e %U %S %M' -o "$out/time" \
    "$cli_bin" --site "$url" "$@" --pages "$pages" --threads 20 --tsv >"$out/tsv" 2>/dev/null
  kill "$pid"; wait "$pid" 2>/dev/null || true
  local rows; rows=$(($(wc -l <"$out/tsv") - 1))
  read -r wall user sys rss <"$out/time"
  awk -v n="$name" -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" -v rows="$rows" -v expected="$rows_expected" \
    'BEGIN { printf "%-28s rows %d/%d  wall %.2f s  cpu %.2f s (%.2f ms/row)  peak RSS %.1f MiB  rows/s %.0f\n",
             n, rows, expected, w, u + s, (u + s) * 1000 / rows, r / 1024, rows / w }'
  rm -rf "$out"
}

keywords() { for k in "$@"; do printf -- '--keyword %s ' "$k"; done; }
# shellcheck disable=SC2046
run_workload "300 rows, 50 ms, 20 workers" 50 5 300 $(keywords 美食 旅游 读书)
# shellcheck disable=SC2046
run_workload "10000 rows, 0 ms, 20 workers" 0 50 10000 $(keywords a b c d e f g h i j)
