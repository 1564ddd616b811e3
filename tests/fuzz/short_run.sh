#!/usr/bin/env bash
# The interpreter fuzzer in the suite, with AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer: every past finding is run again, then one
# minute of fuzzing from the seeds. Fails on any crash, hang, leak or
# undefined behaviour. Builds the fuzzer with clang when no fuzzer is given;
# exits 77 (skipped) when clang or its fuzzer runtime is missing.
#   short_run.sh SOURCE_DIR WORK_DIR [FUZZER]
# QARNEST_FUZZ_SECONDS changes the length of the run.
set -euo pipefail
source_dir=$(cd "$1" && pwd)
mkdir -p "$2"
work_dir=$(cd "$2" && pwd)
fuzzer=${3:-}
seconds=${QARNEST_FUZZ_SECONDS:-60}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

if [ -z "$fuzzer" ]; then
  command -v clang++ >/dev/null || skip "clang++ is not installed (apt-get install clang libclang-rt-14-dev)"
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$work_dir/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$work_dir/probe.cpp" -o "$work_dir/probe" 2>"$work_dir/probe.log" ||
    skip "clang's fuzzer runtime is missing (apt-get install libclang-rt-14-dev): $(head -c 300 "$work_dir/probe.log")"
  CC=clang CXX=clang++ cmake -S "$source_dir" -B "$work_dir/build" -DQARNEST_FUZZ=ON -DQARNEST_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work_dir/configure.log"
  cmake --build "$work_dir/build" --target interpreter_fuzzer -j2 >"$work_dir/build.log" 2>&1 || {
    tail -50 "$work_dir/build.log"
    exit 1
  }
  fuzzer=$work_dir/build/tests/fuzz/interpreter_fuzzer
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$source_dir" "$work_dir" "$fuzzer"
fi

rm -rf "$work_dir/corpus" "$work_dir/artifacts"
mkdir -p "$work_dir/corpus" "$work_dir/artifacts"
cd "$source_dir"   # the viewer reads its icons from the working directory
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The analyses run in a child process; a sanitized child must still compute.
QARNEST_FUZZ_SHOW_OUTPUT=1 "$fuzzer" "$source_dir/examples/ehrhart" >"$work_dir/ehrhart.out" 2>&1
grep -q "( 1/2 \* N^2 + 3/2 \* N + 1 )" "$work_dir/ehrhart.out" || {
  echo "The Ehrhart example gives no polynomial in the fuzzing build:"
  cat "$work_dir/ehrhart.out"
  exit 1
}

# Every input the fuzzer once found crashing, hanging, leaking or undefined.
"$fuzzer" -timeout=20 -rss_limit_mb=4096 "$source_dir"/tests/fuzz/regressions/*

"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len=4096 \
  -dict="$source_dir/tests/fuzz/statements.dict" -artifact_prefix="$work_dir/artifacts/" -print_final_stats=1 \
  "$work_dir/corpus" "$source_dir/tests/fuzz/seeds" "$source_dir/tests/fuzz/regressions" "$source_dir/examples"
