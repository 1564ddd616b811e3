#!/usr/bin/env bash
# Lists the process-wide mutable objects of the calculator's floors, each with
# the reason it is held once per process, and counts them. Everything else
# belongs to a session. The objects are read from the built libraries (their
# writable data and zeroed sections), so that none escapes the count.
#   scripts/process_state.sh [BUILD_DIR]
# Exits 1 when an object has no reason below, or when there are more than 10.
set -euo pipefail
build_dir=${1:-build}
limit=10

# name (as the linker shows it, demangled) | reason
reasons=$(cat <<'REASONS'
domain_lock|PolyLib keeps global state (its exception stack, its caches) and is not thread-safe: every PolyLib call of the process runs under this one lock
(anonymous namespace)::gdk_lock|the toolkit's lock is one per process (GDK has one), made a mutex of ours so that thread checkers see it
(anonymous namespace)::holds_domain_lock|per thread, not per process: whether this thread holds domain_lock
(anonymous namespace)::analysis_worker|the analysis worker is a child of the process, shared by its sessions one analysis at a time
(anonymous namespace)::interrupt_state|signal flags: a signal handler has no other place to write
(anonymous namespace)::line_editor|Readline is one per process and its callbacks carry no data: the line it hands over and the names it completes
REASONS
)

reason_of() {
  local name=$1 line
  while IFS= read -r line; do
    if [ "${line%%|*}" = "$name" ]; then
      printf '%s' "${line#*|}"
      return 0
    fi
  done <<<"$reasons"
  return 1
}

# The floors as the build lists them, lowest first.
floors=$(sed -n 's/^QARNEST_FLOORS:INTERNAL=//p' "$build_dir/CMakeCache.txt" 2>/dev/null | tr ';' ' ')
[ -n "$floors" ] || { echo "no floors in $build_dir/CMakeCache.txt (configure first)" >&2; exit 2; }

objects=$(
  for floor in $floors; do
    library=$build_dir/$floor/libqarnest_$floor.a
    [ -f "$library" ] || { echo "missing $library (build first)" >&2; exit 2; }
    objdump -t -C "$library" | awk -v floor="$floor" '
      # Writable sections only: .data, .bss, thread-local data, and data with
      # relocations that stays writable (not .data.rel.ro).
      ($0 ~ / O \.(data|bss)([. \t]|$)/ || $0 ~ / \.(tdata|tbss)[\t ]/) && $0 !~ /\.data\.rel\.ro/ {
        name = $0
        sub(/^[^\t]*\t[0-9a-f]+ +/, "", name)
        sub(/^\.hidden /, "", name)
        if (name ~ /^guard variable for / || name ~ /^DW\.ref\./ || name ~ /^std::/) next
        print floor "\t" name
      }'
  done | sort -u
)

count=0
unexplained=0
while IFS=$'\t' read -r floor name; do
  [ -n "$name" ] || continue
  count=$((count + 1))
  if reason=$(reason_of "$name"); then
    printf '%-12s %s\n             %s\n' "$floor" "$name" "$reason"
  else
    printf '%-12s %s\n             NO REASON: move it into the session, or say here why it is one per process\n' \
      "$floor" "$name"
    unexplained=$((unexplained + 1))
  fi
done <<<"$objects"

echo
echo "$count process-wide mutable objects (at most $limit)"
if [ "$unexplained" -gt 0 ] || [ "$count" -gt "$limit" ]; then
  exit 1
fi
