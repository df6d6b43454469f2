#!/usr/bin/env bash
# Fuzzes JsValue (from_json, from_string, the display form) with libFuzzer for SECONDS seconds.
# Builds with clang++-14 into build/fuzz/ and keeps its corpus in build/fuzz/corpus-javascript.
# Exits non-zero when the fuzzer finds a crash, a leak, undefined behaviour or a failed check;
# the input that caused it is written to build/fuzz/.
set -euo pipefail

seconds=${1:?usage: scripts/fuzz-javascript.sh SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
mkdir -p "$out/obj" "$out/corpus-javascript"

cxx=${CXX_FUZZ:-clang++-14}
flags=(-std=c++20 -O1 -g -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -I"$root/framework/src")
# The JsValue sources are the ones the framework's build lists, so the two cannot drift apart.
mapfile -t js_sources < <(sed -n 's|.*${CMAKE_CURRENT_LIST_DIR}/\(.*\.cpp\).*|'"$root"'/framework/src/javascript/\1|p' \
  "$root/framework/src/javascript/javascript.cmake")
sources=("$root/framework/src/core/utf8.cpp" "${js_sources[@]}" "$root/fuzz/js_value_fuzzer.cpp")

# Two compilers at a time; a source is compiled again only when it or a header changed.
headers_newest=$(find "$root/framework/src/javascript" "$root/framework/src/core" -name '*.hpp' -newer "$out/obj/.built" 2>/dev/null | head -1 || true)
objects=()
pids=()
for src in "${sources[@]}"; do
  obj=$out/obj/$(basename "${src%.cpp}").o
  objects+=("$obj")
  if [[ ! -f $obj || $src -nt $obj || -n $headers_newest || ! -f $out/obj/.built ]]; then
    "$cxx" "${flags[@]}" -c "$src" -o "$obj" &
    pids+=($!)
    if (( ${#pids[@]} >= 2 )); then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done
"$cxx" "${flags[@]}" "${objects[@]}" -o "$out/js_value_fuzzer"
touch "$out/obj/.built"

"$out/js_value_fuzzer" \
  -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus-javascript" "$root/fuzz/seeds"
