#!/usr/bin/env bash
# Installs what is needed, builds both platforms and runs every test:
#   Linux (GTK/WebKitGTK) under Xvfb, the same under AddressSanitizer + UndefinedBehaviorSanitizer,
#   the dispatch and executor tests under ThreadSanitizer, the Windows build under Wine in Xvfb,
#   and a short run of the fuzzers.
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

"$top/scripts/install-deps.sh" || exit 1

build() {
  cmake --preset "$1" >/dev/null && cmake --build "build/$1" -j2
}
for preset in linux linux-asan linux-tsan windows; do
  echo "=== build $preset"
  build "$preset" || { echo "build $preset failed"; exit 1; }
done

passed=0
failed=0
failures=()
suite() {
  local name="$1"
  shift
  echo "=== test $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

# No accessibility bus under Xvfb; death tests re-run the test program instead of forking threads.
export NO_AT_BRIDGE=1
export GTEST_DEATH_TEST_STYLE=threadsafe
linux_ctest() { xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir "build/$1" -j2 --output-on-failure --timeout 300; }

asan_ctest() {
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 linux_ctest linux-asan
}
tsan_ctest() { TSAN_OPTIONS=halt_on_error=1 linux_ctest linux-tsan; }

suite linux linux_ctest linux
suite linux-asan asan_ctest
suite linux-tsan tsan_ctest
suite windows xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$top/scripts/windows-tests.sh"
if [ -x "$top/scripts/fuzz-javascript.sh" ]; then
  suite fuzz-javascript "$top/scripts/fuzz-javascript.sh" 30
fi
suite package "$top/scripts/package-tests.sh"
suite examples "$top/scripts/example-tests.sh"

echo
[ ${#failures[@]} -eq 0 ] || echo "failed suites: ${failures[*]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
