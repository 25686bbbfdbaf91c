#!/usr/bin/env bash
# Runs gruv3d on a bundled example deck in a fresh scratch directory, with
# the fields in a NetCDF file and in ParaView files and the CSV tables, makes
# the figures of the run, and says where the listing and the results went.
#   tools/run_example.sh [DECK | EXAMPLE_FOLDER] [GRUV3D]
# The deck is read in place (files it reads are found next to it); everything
# the run writes lands in scratch/<name>/, never in the source tree.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deck=${1:-$top/examples/borehole_heat_exchanger/borehole_heat_exchanger.gruv}
exe=${2:-$top/build/release/src/gruv3d}
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
# An example folder stands for the deck of the same name inside it.
[ -d "$deck" ] && deck=${deck%/}/$(basename "$deck").gruv
[ -f "$deck" ] || { echo "Beispieldatei $deck nicht gefunden" >&2; exit 1; }
[ -x "$exe" ] || { echo "Programm $exe nicht gebaut" >&2; exit 1; }
deck=$(cd "$(dirname "$deck")" && pwd)/$(basename "$deck")
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
name=$(basename "$deck" .gruv)
work=$top/scratch/$name
rm -rf "$work"
mkdir -p "$work"
cd "$work"
set +e
"$exe" "$deck" --netcdf results.nc --vtk vtk --csv csv </dev/null
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
listing=$(grep -l "Zusammenfassung der Eingangsparameter" -- * 2>/dev/null | head -n 1 || true)
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
