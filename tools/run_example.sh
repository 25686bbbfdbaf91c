#!/usr/bin/env bash
# Runs gruv3d on a bundled example deck in a fresh scratch directory, with
# the fields in a NetCDF file and in ParaView files and the CSV tables, makes
# the figures of the run, and says where the listing and the results went.
#   tools/run_example.sh [DECK] [GRUV3D]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deck=${1:-$top/examples/borehole_heat_exchanger.gruv}
exe=${2:-$top/build/release/src/gruv3d}
[ -f "$deck" ] || { echo "Beispieldatei $deck nicht gefunden" >&2; exit 1; }
[ -x "$exe" ] || { echo "Programm $exe nicht gebaut" >&2; exit 1; }
deck=$(cd "$(dirname "$deck")" && pwd)/$(basename "$deck")
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
name=$(basename "$deck" .gruv)
work=$top/scratch/$name
rm -rf "$work"
mkdir -p "$work"
# The deck becomes GRUVAT; files that belong to it (an additional data file,
# a restart file) sit beside it as <name>.<file>.
cp "$deck" "$work/GRUVAT"
for extra in "$(dirname "$deck")/$name".*; do
  [ "$extra" = "$deck" ] && continue
  [ -e "$extra" ] || continue
  cp "$extra" "$work/${extra##*/$name.}"
done
cd "$work"
set +e
"$exe" --netcdf results.nc --vtk vtk --csv csv </dev/null
status=$?
set -e
# The figures, from whatever the run wrote (it may have stopped early).
plots=""
if [ -f results.nc ] || [ -f csv/solver.csv ]; then
  if /usr/bin/python3 "$top/tools/gruv3d-plot" "$work" --quiet >/dev/null; then
    plots=$work/plots
  fi
fi
# The listing is the file that holds the input summary.
listing=$(grep -l "Zusammenfassung der Eingangsparameter" -- * 2>/dev/null | grep -v '^GRUVAT$' | head -n 1 || true)
echo
echo "Arbeitsverzeichnis: $work"
if [ -n "$listing" ]; then
  echo "Ergebnisliste:      $work/$listing"
else
  echo "Ergebnisliste:      auf der Konsole (TERMINAL)"
fi
echo "NetCDF:             $work/results.nc"
echo "ParaView:           $work/vtk/results.pvd (mit vtk/properties.vtr)"
echo "Tabellen (CSV):     $work/csv"
echo "Abbildungen:        ${plots:-keine (gruv3d-plot fehlgeschlagen)}"
echo "Dateien:            $(ls | tr '\n' ' ')"
echo "Rueckgabewert:      $status"
exit $status
