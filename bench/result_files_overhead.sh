#!/usr/bin/env bash
# What the result files for other tools add to whole runs: each full-grid deck
# run alternately without and with all three (--netcdf, --vtk, --csv), every
# run in a fresh folder; medians of the wall time and of the CPU time
# (user + system, which other work on the machine disturbs less), and the
# median of the pairs' wall-time ratios (a drift of the machine's speed
# during the measurement moves it least).
#   bench/result_files_overhead.sh [GRUV3D] [DECKS] [RUNS]
# DECKS is a folder of decks, one folder each holding its GRUVAT.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$top/build/release/src/gruv3d}")
decks=${2:-$top/bench/decks}
runs=${3:-9}
[ -x "$exe" ] || { echo "Programm $exe nicht gebaut" >&2; exit 1; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-18s %10s %10s %8s %10s %10s %8s %11s\n' deck wall_plain wall_all added cpu_plain cpu_all added pair_added
for deck in "$decks"/*/; do
  [ -f "$deck/GRUVAT" ] || continue
  name=$(basename "$deck")
  : >"/tmp/overhead.$$.plain"
  : >"/tmp/overhead.$$.all"
  for _ in $(seq "$runs"); do
    for mode in plain all; do
      work=$(mktemp -d)
      cp "$deck/GRUVAT" "$work/"
      args=()
      [ "$mode" = all ] && args=(--netcdf run.nc --vtk vtk --csv csv)
      TIMEFORMAT='%3R %3U %3S'
      { time (cd "$work" && "$exe" "${args[@]}" </dev/null >/dev/null); } 2>>"/tmp/overhead.$$.$mode"
      rm -rf "$work"
    done
  done
  wp=$(awk '{print $1}' "/tmp/overhead.$$.plain" | median)
  wa=$(awk '{print $1}' "/tmp/overhead.$$.all" | median)
  cp_=$(awk '{print $2 + $3}' "/tmp/overhead.$$.plain" | median)
  ca=$(awk '{print $2 + $3}' "/tmp/overhead.$$.all" | median)
  pair=$(paste -d' ' "/tmp/overhead.$$.plain" "/tmp/overhead.$$.all" | awk '{print 100 * ($4 / $1 - 1)}' | median)
  printf '%-18s %10.3f %10.3f %7.1f%% %10.3f %10.3f %7.1f%% %10.1f%%\n' "$name" "$wp" "$wa" \
    "$(echo "$wa $wp" | awk '{print 100 * ($1 / $2 - 1)}')" "$cp_" "$ca" \
    "$(echo "$ca $cp_" | awk '{print 100 * ($1 / $2 - 1)}')" "$pair"
done
rm -f "/tmp/overhead.$$.plain" "/tmp/overhead.$$.all"
