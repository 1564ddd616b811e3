#!/usr/bin/env bash
# card of large polytopes without parameters, by two calculators side by
# side in one run: each script declares K := { | } and one polytope, then
# counts it. Each cell gives the wall time of the script without the card
# statement (the program's start and the declaration), then with it
# (medians of 5 runs); their difference is the card's, within the noise of
# a loaded machine.
#   bench/card_routes.sh BEFORE_BINARY AFTER_BINARY [LIMIT_SECONDS]
# A run past LIMIT_SECONDS (default 30) is stopped and reported as such.
set -euo pipefail
before=$1 after=$2 limit=${3:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

box() {   # box SIDE: the 4-D box [0, SIDE]^4
  echo "P := { a, b, c, d | 0 <= a <= $1, 0 <= b <= $1, 0 <= c <= $1, 0 <= d <= $1 } ;"
}
cross() {   # the 5-D cross-polytope of radius $1
  local rows="" signs k
  for signs in $(seq 0 31); do
    local row=""
    for k in 0 1 2 3 4; do
      local name=$(echo abcde | cut -c$((k + 1)))
      if (( (signs >> k) & 1 )); then row+="-$name"; else row+="${row:++}$name"; fi
    done
    rows+="${rows:+, }$row <= $1"
  done
  echo "P := { a, b, c, d, e | $rows } ;"
}
declare -A sets=(
  [box_300]="$(box 300)"
  [box_1000]="$(box 1000)"
  [box_1000000]="$(box 1000000)"
  [simplex_100]="P := { a, b, c, d, e, f | a >= 0, b >= 0, c >= 0, d >= 0, e >= 0, f >= 0, a+b+c+d+e+f <= 100 } ;"
  [cross_polytope_50]="$(cross 50)"
)

# Median wall time in ms of 5 runs of BINARY on SCRIPT; "stopped" past the limit.
median_ms() {
  local binary=$1 script=$2 times=() k start end
  for k in 1 2 3 4 5; do
    start=$(date +%s%N)
    if ! DISPLAY= timeout "$limit" "$binary" "$script" > "$work/out" 2>&1; then
      echo stopped
      return
    fi
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{ printf "%.1f\n", $1 / 1000 }'
}

printf '| Set | points | before: without card / with card | after: without card / with card |\n|---|---|---|---|\n'
for name in box_300 box_1000 box_1000000 simplex_100 cross_polytope_50; do
  printf 'K := { | } ;\n%s\n' "${sets[$name]}" > "$work/start.q"
  printf 'K := { | } ;\n%s\ncard (P, K) ;\n' "${sets[$name]}" > "$work/card.q"
  cells=()
  for binary in "$before" "$after"; do
    base=$(median_ms "$binary" "$work/start.q")
    full=$(median_ms "$binary" "$work/card.q")
    if [ "$full" = stopped ]; then
      cells+=("$base ms / stopped after $limit s")
    else
      cells+=("$base ms / $full ms")
    fi
  done
  points=$(DISPLAY= timeout "$limit" "$after" "$work/card.q" 2>/dev/null | sed -n 's/^<3> > \([0-9]*\) points$/\1/p')
  printf '| %s | %s | %s | %s |\n' "$name" "${points:-?}" "${cells[0]}" "${cells[1]}"
done
