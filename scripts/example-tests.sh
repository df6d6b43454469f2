#!/usr/bin/env bash
# The framework as another project uses it: installed with `cmake --install --component framework`
# into a prefix of its own, found with find_package(bw) by examples/hello, a separate CMake project.
#   Linux: built with the host compiler, run under Xvfb: its self-test (the program clicks its own
#   button, answers into the page, reads values back, closes its window), and a plain run whose
#   window is closed from outside, as a user does.
#   Windows: cross-built with the mingw-w64 toolchain, run under Wine with the stand-in WebView2
#   engine beside it (which understands literal invoke_extern calls, not clicks).
#
#   scripts/example-tests.sh [--linux-build DIR] [--windows-build DIR]
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux_build="$top/build/linux"
windows_build="$top/build/windows"
while [ $# -gt 0 ]; do
  case "$1" in
    --linux-build) linux_build="$(realpath "$2")"; shift 2 ;;
    --windows-build) windows_build="$(realpath "$2")"; shift 2 ;;
    --close-from-outside) close_from_outside=1; hello="$2"; x_tool="$3"; shift 3 ;;
    *) echo "usage: $0 [--linux-build DIR] [--windows-build DIR]" >&2; exit 2 ;;
  esac
done

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# Runs the command quietly; shows its output when it fails.
quiet() {
  local what="$1" log
  shift
  log="$(mktemp)"
  if "$@" >"$log" 2>&1; then
    pass "$what"
    rm -f "$log"
  else
    fail "$what"
    cat "$log"
    rm -f "$log"
    return 1
  fi
}
expect_line() {
  grep -qxF "$2" <<<"$1" && pass "$3 prints: $2" || fail "$3 prints: $2"
}

# Inside the Xvfb display: the window stays after the program's task has ended, until it is closed.
if [ "${close_from_outside:-0}" = 1 ]; then
  "$hello" &
  pid=$!
  if ! id="$("$x_tool" wait-title Hello 30)"; then
    echo "no Hello window"
    kill "$pid"
    wait "$pid"
    exit 1
  fi
  "$x_tool" wait-drawn "$id" 15 || echo "the Hello window shows nothing"
  "$x_tool" close "$id"
  for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
  wait "$pid"
  exit $?
fi

work="$(mktemp -d /tmp/tarnwick-example-XXXXXX)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
export NO_AT_BRIDGE=1
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; }
# The Linux example in a test sandbox: its engine's cache and data go to a temporary home.
sandboxed_xvfb() { "$linux_build/tests/test_sandbox" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; }
# Warnings in the installed headers are the users' warnings.
warnings="-Wall -Wextra -Werror"

# The component holds the framework and nothing else.
install_framework() {
  local build="$1" prefix="$2"
  quiet "the framework installs from $build" cmake --install "$build" --prefix "$prefix" --component framework || return 1
  [ -f "$prefix/lib/cmake/bw/bwConfig.cmake" ] && [ ! -e "$prefix/bin" ] && [ ! -e "$prefix/share" ] &&
    pass "the component installs the framework only" || fail "the component installs the framework only: $(cd "$prefix" && ls)"
}

# The framework page shows the example's whole source: the two must not drift apart.
documented="$(sed -n '/^## A complete example/,$p' "$top/docs/framework.md" | sed -n '/^```cpp$/,/^```$/p' | sed '1d;$d')"
[ "$documented" = "$(cat "$top/examples/hello/hello.cpp")" ] && pass "docs/framework.md shows the example as it is" ||
  fail "docs/framework.md shows the example as it is"

echo "--- Linux ($linux_build)"
prefix="$work/linux-prefix"
if install_framework "$linux_build" "$prefix" &&
  quiet "the example configures with find_package(bw)" cmake -S "$top/examples/hello" -B "$work/linux-hello" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$warnings" &&
  quiet "the example builds" cmake --build "$work/linux-hello"; then
  output="$(sandboxed_xvfb timeout 120 "$work/linux-hello/hello" --self-test 2>"$work/hello.err")"
  status=$?
  [ $status -eq 0 ] && pass "the self-test ends with 0" || { fail "the self-test ends with 0 (it ended with $status)"; cat "$work/hello.err"; }
  expect_line "$output" "clicked: 1" "the click handler"
  expect_line "$output" 'answer: "Hello from C++, answer 1"' "the page, answered with exec_js,"
  expect_line "$output" "value: [1,2]" "eval_js"
  quiet "the window closed from outside ends the program with 0" \
    sandboxed_xvfb "$0" --close-from-outside "$work/linux-hello/hello" "$linux_build/tests/x_window_tool"
fi

echo "--- Windows ($windows_build)"
prefix="$work/windows-prefix"
# The cross compiler must not search the host's /usr/include: the Boost headers come through a
# directory that holds only a link to them.
mkdir -p "$work/boost-only"
ln -s /usr/include/boost "$work/boost-only/boost"
if install_framework "$windows_build" "$prefix" &&
  quiet "the example configures with find_package(bw) for Windows" cmake -S "$top/examples/hello" -B "$work/windows-hello" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -Dbw_DIR="$prefix/lib/cmake/bw" \
    -DBW_BOOST_INCLUDE_DIR="$work/boost-only" -DCMAKE_CXX_FLAGS="$warnings" &&
  quiet "the example builds for Windows" cmake --build "$work/windows-hello"; then
  cp "$windows_build/tests/WebView2Loader.dll" "$work/windows-hello/"
  export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
  output="$(cd "$work/windows-hello" && xvfb timeout 300 "$top/scripts/wine-run.sh" hello.exe --self-test=call 2>"$work/hello.err" | tr -d '\r')"
  status=$?
  [ $status -eq 0 ] && pass "the self-test under Wine ends with 0" || { fail "the self-test under Wine ends with 0 (it ended with $status)"; cat "$work/hello.err"; }
  expect_line "$output" "clicked: 1" "the message handler"
  expect_line "$output" "value: [1,2]" "eval_js"
  wineserver=/usr/lib/wine/wineserver
  command -v wineserver >/dev/null 2>&1 && wineserver="$(command -v wineserver)"
  timeout 60 "$wineserver" -w 2>/dev/null
fi

echo "example tests: $failures failed"
[ $failures -eq 0 ]
