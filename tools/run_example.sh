#!/usr/bin/env bash
# Runs gruv3d on a bundled example deck in a fresh scratch directory and says
# where the listing and the other result files went.
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
"$exe" </dev/null
status=$?
set -e
# The listing is the file that holds the input summary.
listing=$(grep -l "Zusammenfassung der Eingangsparameter" -- * 2>/dev/null | grep -v '^GRUVAT$' | head -n 1 || true)
echo
echo "Arbeitsverzeichnis: $work"
if [ -n "$listing" ]; then
  echo "Ergebnisliste:      $work/$listing"
else
  echo "Ergebnisliste:      auf der Konsole (TERMINAL)"
fi
echo "Dateien:            $(ls | tr '\n' ' ')"
echo "Rueckgabewert:      $status"
exit $status
