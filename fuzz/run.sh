#!/usr/bin/env bash
# Runs the libFuzzer targets of the fuzz preset, a few at a time, each for a
# given time, and reports executions, coverage and findings per target.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat <<'EOF'
Aufruf: fuzz/run.sh [-t SEKUNDEN] [-j PARALLEL] [-b BAUVERZEICHNIS] [-w ARBEITSVERZEICHNIS] [ZIEL...]

Laesst die Fuzz-Ziele (format records cards deck; ohne Angabe alle) laufen,
jedes SEKUNDEN lang (Vorgabe 60), PARALLEL zugleich (Vorgabe 2). Die Ziele
kommen aus dem Bauverzeichnis (Vorgabe build/fuzz, die optimierte
Voreinstellung "fuzz": cmake --preset fuzz && cmake --build --preset fuzz;
auch build/asan baut sie, unoptimiert, neben den Tests).
Im Arbeitsverzeichnis (Vorgabe build/fuzz/work) liegen je Ziel der wachsende
Korpus (corpus/ZIEL), die Fundstuecke (artifacts/ZIEL: crash-*, timeout-*,
oom-*, leak-*) und das Protokoll (logs/ZIEL.log); der Startkorpus aus den
Beispielen wird jedes Mal neu erzeugt (seeds/ZIEL).
Rueckgabewert: 0 ohne Fundstueck, 1 mit Fundstueck, 2 bei falschem Aufruf.
EOF
}

seconds=60
parallel=2
build=build/fuzz
work=build/fuzz/work
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        -h|--help) usage; exit 0 ;;
        -t) seconds=${2:?}; shift 2 ;;
        -j) parallel=${2:?}; shift 2 ;;
        -b) build=${2:?}; shift 2 ;;
        -w) work=${2:?}; shift 2 ;;
        format|records|cards|deck) targets+=("$1"); shift ;;
        *) echo "unbekanntes Argument: $1" >&2; usage >&2; exit 2 ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(format records cards deck)
bin=$build/fuzz
for t in "${targets[@]}"; do
    [ -x "$bin/fuzz_$t" ] || { echo "$bin/fuzz_$t fehlt: cmake --preset fuzz && cmake --build --preset fuzz" >&2; exit 2; }
done

mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -rf "$work/seeds"
/usr/bin/python3 fuzz/seed_corpus.py "$work/seeds"

run_target() {
    local t=$1 dict=format.dict
    [ "$t" = deck ] && dict=deck.dict
    mkdir -p "$work/corpus/$t" "$work/artifacts/$t" "$work/logs"
    "$bin/fuzz_$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -dict="fuzz/dict/$dict" -artifact_prefix="$work/artifacts/$t/" \
        "$work/corpus/$t" "$work/seeds/$t" > "$work/logs/$t.log" 2>&1
}

# Findings of earlier runs stay where they are; only new ones count.
declare -A before
for t in "${targets[@]}"; do
    mkdir -p "$work/artifacts/$t"
    before[$t]=$(find "$work/artifacts/$t" -type f | wc -l)
done

# At most $parallel targets at once; every target runs to its end even when
# another has found something.
status=0
running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$parallel" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    echo "fuzz_$t: ${seconds} s"
    run_target "$t" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done

printf '%-8s %12s %8s %8s %8s %8s\n' Ziel Laeufe Laeufe/s cov ft Funde
for t in "${targets[@]}"; do
    log="$work/logs/$t.log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    found=$(( $(find "$work/artifacts/$t" -type f | wc -l) - before[$t] ))
    [ "$found" -eq 0 ] || status=1
    printf '%-8s %12s %8s %8s %8s %8s\n' "$t" "${runs:--}" "${rate:--}" "${cov:--}" "${ft:--}" "$found"
done
if [ "$status" -ne 0 ]; then
    echo "Fundstuecke (nachspielen: $bin/fuzz_ZIEL DATEI; Protokolle in $work/logs):" >&2
    find "$work/artifacts" -type f -newer "$work/seeds" >&2
fi
exit "$status"
